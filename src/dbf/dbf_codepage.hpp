#pragma once
// Code pages of DBF text. The language driver id of a table header (or the one the user chose)
// selects a Windows code page through codepage_table; codepage_names gives each id the name the
// encoding page lists. Code page 0 stands for the Windows ANSI code page of the user's locale
// (BRIXEL_ANSI_CODEPAGE overrides it). The Czech Kamenicky (895) and Polish Mazovia (620) DOS
// code pages are decoded by tables of our own; every other code page goes through the toolkit.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Language driver id -> Windows code page; built once, never changed.
const std::map<unsigned char, int>& codepage_table();
// (language driver id, display name) pairs in ascending id order.
const std::vector<std::pair<unsigned char, std::u16string>>& codepage_names();

// The code page of a language driver id; 0 for an id that is not in codepage_table.
int dbf_codepage_of(unsigned char language_driver_id);

// The code page text is actually decoded with: a code page that cannot be decoded here falls
// back to 0, the ANSI code page.
int dbf_effective_codepage(int codepage);

// DBF text bytes to UTF-16 under a code page that dbf_effective_codepage gave; `out` is replaced
// and keeps its capacity.
void dbf_decode_text(std::string_view bytes, int codepage, std::u16string& out);

// The table of one of our own code pages (the 128 characters of bytes 0x80..0xFF), or null.
const char16_t* dbf_own_codepage_upper_half(int codepage);
