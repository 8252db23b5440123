#pragma once
// Friendly texts for the server errors users meet most, keyed by error code.

#include <cstdint>
#include <map>
#include <string>

struct t_error_message {
    uint32_t code;
    const char* text;
};

class tk_error_converter {
  public:
    tk_error_converter(size_t count, const t_error_message* pairs);

    // A code already present keeps its first text.
    void load_map(size_t count, const t_error_message* pairs);
    // The friendly text, or an empty text when the code has none.
    std::string convert(uint32_t code) const;
    size_t size() const noexcept { return messages_.size(); }

  private:
    std::map<uint32_t, std::string> messages_;
};

// Offset that keeps Oracle error numbers apart from other codes.
inline constexpr uint32_t ora_error_code_base = 0x100000;

// The twelve server errors with friendly texts.
const t_error_message* ora_error_messages(size_t& count) noexcept;
