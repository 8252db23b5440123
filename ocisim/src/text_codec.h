// Conversions between the client's text encodings (UTF-8, UTF-16) and the database's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ocisim {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
// Decodes `bytes` bytes of host-order UTF-16 starting at `data` (an unaligned buffer).
std::string utf16_bytes_to_utf8(const void* data, size_t bytes);
// Number of UTF-16 code units the UTF-8 text needs (Oracle counts CLOB characters this way).
size_t utf16_length(std::string_view utf8);
// Number of code points in UTF-8 text.
size_t char_count(std::string_view utf8);
// The UTF-8 prefix holding the first `units` UTF-16 code units, and the offset of code unit
// `units` in bytes (text.size() when past the end).
size_t utf8_offset_of_utf16_unit(std::string_view utf8, size_t units);

// Single-byte database character set WE8MSWIN1252: characters outside it become the
// replacement character; returns the text as it will read back (still UTF-8).
std::string through_cp1252(std::string_view utf8, bool* replaced = nullptr);
std::string upper_ascii(std::string_view text);

}  // namespace ocisim
