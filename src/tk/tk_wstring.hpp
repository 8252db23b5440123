#pragma once
// Text conversions and the small text operations the rest of the system relies on. Wide text is
// UTF-16 (std::u16string); narrow text is UTF-8, which is also this system's "ANSI" code page
// for log lines, messages, paths and profiles. DBF text bytes convert through their own code page.

#include <string>
#include <string_view>
#include <vector>

// Raising conversions (tk_exception_ex of level 0 with the failure text and the system's text).
std::string tk_to_utf8(std::u16string_view text);    // "Cannot convert to UTF8 string: "
std::u16string tk_from_utf8(std::string_view text);  // "Cannot convert to UNICODE string: "
// Wide to a code page; -1 means the narrow (UTF-8) code page, 0 the Windows ANSI code page of
// the user's locale (BRIXEL_ANSI_CODEPAGE overrides it). Characters the code page lacks
// become its substitution character; only a system failure raises.
std::string tk_to_ansi(std::u16string_view text,
                       int codepage = -1);  // "Cannot convert to ANSI string: "
// Bytes in a Windows/DOS code page (437, 850, 866, 1250..1258, 874, 932, 936, 949, 950, ...) to
// UTF-16, precomposed; 0 is the Windows ANSI code page of the user's locale, and a code page
// this build cannot convert falls back to it. The overload with `out` reuses its capacity (the
// record path calls it).
std::u16string tk_ansi_to_ucs2(std::string_view bytes, int codepage);
void tk_ansi_to_ucs2(std::string_view bytes, int codepage, std::u16string& out);
// True when this build can convert the code page.
bool tk_codepage_supported(int codepage);

// Non-raising conversions between the narrow code page and UTF-16 (invalid input becomes U+FFFD).
std::u16string tk_a2w(std::string_view text);
std::string tk_w2a(std::u16string_view text);

// Removes leading and trailing blanks (code 32 only).
std::string tk_trim(std::string_view text);
std::u16string tk_trim(std::u16string_view text);
std::string tk_trim_left(std::string_view text);
std::u16string tk_trim_left(std::u16string_view text);
std::string tk_trim_right(std::string_view text);
std::u16string tk_trim_right(std::u16string_view text);

// Two upper-case hexadecimal digits per byte. tk_hex_dump's result lives in a per-thread
// buffer that the next call overwrites.
const char* tk_hex_dump(std::string_view bytes);
void tk_bytes_to_hex(size_t count, const unsigned char* bytes, char* out);

namespace tk_wstring {
// Simple (one code point for one) case mapping, so a text keeps its length.
std::u16string& to_upper(std::u16string& text);
std::u16string& to_lower(std::u16string& text);
std::u16string replace_all(std::u16string text, std::u16string_view from, std::u16string_view to);
bool split(std::u16string_view text, char16_t separator, std::vector<std::u16string>& out);
// Case-insensitive equality under the user's locale (names are compared this way).
bool iequals(std::u16string_view a, std::u16string_view b);
}  // namespace tk_wstring
