// Conversions between the client's text encodings (UTF-8, UTF-16) and the database's.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Text through a database character set: on a single-byte set the characters it lacks become
// its replacement character; returns the text as it will read back (still UTF-8). Unicode sets
// keep everything.
std::string through_charset(std::string_view utf8, std::string_view charset,
                            bool* replaced = nullptr);
std::string upper_ascii(std::string_view text);
// Database character sets: AL32UTF8, UTF8 and the single-byte sets of legacy data (Windows and
// ISO 8859 code pages, US7ASCII).
bool single_byte_charset(std::string_view name);
bool known_charset(std::string_view name);
uint16_t charset_id(std::string_view name);  // Oracle's number for the set

}  // namespace ocisim
