// The server error every failing operation raises: an ORA number and its message text.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace ocisim {

class OraError : public std::exception {
  public:
    OraError(int code, std::string message) : code_(code), message_(std::move(message)) {}
    int code() const { return code_; }
    // "ORA-NNNNN: text", as OCIErrorGet hands it out (without the trailing line feed).
    const std::string& message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    int code_;
    std::string message_;
};

// Builds the error for an ORA number from the message table, substituting each %s in turn.
OraError ora(int code, const std::vector<std::string>& args = {});
// The message template for a number (empty when the number is unknown).
std::string_view ora_template(int code);

}  // namespace ocisim
