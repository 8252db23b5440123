#pragma once
// The exception family through which every error travels to the error handler. The level
// decides what the handler does: 0 the user may continue, 1 fatal for the current operation,
// 2 internal error.

#include <cstdint>
#include <exception>
#include <string>

class tk_exception : public std::exception {
  public:
    // An empty text becomes "Unknown exception".
    tk_exception(std::string text, int level);
    // Wide text is kept as UTF-8.
    tk_exception(const std::u16string& text, int level);
    ~tk_exception() override = default;

    const char* what() const noexcept override { return message.c_str(); }

    std::string message;
    uint32_t code = 0;  // the system error number when there is one
    int level = 0;
};

// A failed system call: the text is followed by the system's description of errno.
class tk_exception_ex : public tk_exception {
  public:
    tk_exception_ex();
    tk_exception_ex(const std::string& text, int level = 1);
    // For failures whose error number is not errno (ICU status codes and the like).
    tk_exception_ex(const std::string& text, int level, int error_number,
                    const std::string& system_text);

  private:
    // errno is taken before anything else in the constructor can change it.
    struct errno_tag {
        int number;
    };
    tk_exception_ex(errno_tag error, const std::string& text, int level);
    void set_system_error(int error_number, const std::string& text,
                          const std::string& system_text);
};

// An internal consistency check failed: "Internal error: \ncode=" and the hexadecimal digits of
// "<source tag>\<line>". Level 2.
class tk_mail_assertion : public tk_exception {
  public:
    tk_mail_assertion(const char* source_tag, int line);
};

// Ends the current run quietly once the user has been told. Deliberately not a tk_exception.
class tk_final_exception : public std::exception {
  public:
    tk_final_exception();
    const char* what() const noexcept override { return "tk_final_exception"; }
};

// TK_ASSERT(cond, "unit.cpp"): the internal assertion. The tag is the short source unit name
// that goes into the error code the user reports to us.
#define TK_ASSERT(cond, source_tag)                          \
    do {                                                     \
        if (!(cond)) {                                       \
            throw tk_mail_assertion((source_tag), __LINE__); \
        }                                                    \
    } while (0)
#define TK_FAIL(source_tag) throw tk_mail_assertion((source_tag), __LINE__)
