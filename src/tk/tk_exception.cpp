#include "tk/tk_exception.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

std::string text_or_unknown(std::string text) {
    if (text.empty()) {
        return "Unknown exception";
    }
    return text;
}

// "tag\line" written as two lower-case hexadecimal digits per character.
std::string assertion_code(const char* source_tag, int line) {
    char location[512];
    snprintf(location, sizeof location, "%s\\%d", source_tag != nullptr ? source_tag : "", line);
    std::string code;
    code.reserve(strlen(location) * 2);
    static constexpr char digits[] = "0123456789abcdef";
    for (const char* p = location; *p != 0; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        code += digits[byte >> 4];
        code += digits[byte & 0x0F];
    }
    return code;
}

}  // namespace

tk_exception::tk_exception(std::string text, int level_)
    : message(text_or_unknown(std::move(text))), level(level_) {}

tk_exception::tk_exception(const std::u16string& text, int level_)
    : message(text_or_unknown(tk_w2a(text))), level(level_) {}

tk_exception_ex::tk_exception_ex() : tk_exception_ex(errno_tag{errno}, std::string(), 1) {}

tk_exception_ex::tk_exception_ex(const std::string& text, int level_)
    : tk_exception_ex(errno_tag{errno}, text, level_) {}

tk_exception_ex::tk_exception_ex(errno_tag error, const std::string& text, int level_)
    : tk_exception(text, level_) {
    // strerrordesc_np answers null for a number the system has no text for.
    const char* system_text = strerrordesc_np(error.number);
    set_system_error(error.number, text, system_text != nullptr ? system_text : "");
}

tk_exception_ex::tk_exception_ex(const std::string& text, int level_, int error_number,
                                 const std::string& system_text)
    : tk_exception(text, level_) {
    set_system_error(error_number, text, system_text);
}

void tk_exception_ex::set_system_error(int error_number, const std::string& text,
                                       const std::string& system_text) {
    code = static_cast<uint32_t>(error_number);
    if (!system_text.empty()) {
        message = text + system_text;
        TK_LOG(2, "GetLastError: %s", system_text.c_str());
    }
}

tk_mail_assertion::tk_mail_assertion(const char* source_tag, int line)
    : tk_exception("Internal error: \ncode=" + assertion_code(source_tag, line), 2) {
    TK_LOG(2, "tk_mail_assertion::ctor(%s)", message.c_str() + message.find('=') + 1);
}

tk_final_exception::tk_final_exception() {
    TK_LOG(2, "tk_final_exception::ctor");
}
