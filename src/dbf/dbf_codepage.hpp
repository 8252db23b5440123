#pragma once
// Code pages of DBF text. The language driver id of a table header (or the one the user chose)
// selects a Windows code page through codepage_table; codepage_names gives each id the name the
// encoding page lists. Code page 0 stands for the Windows ANSI code page of the user's locale
// (BRIXEL_ANSI_CODEPAGE overrides it). The Czech Kamenicky (895) and Polish Mazovia (620) DOS
// code pages are decoded by tables of our own; every other code page goes through the toolkit.

#include <cstdint>
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

// Marks a DOS code page decoded with Microsoft's byte tables: 0x1A, 0x1C and 0x7F stay the
// control characters they are, 0xE6 is the micro sign in 437, 861 and 865, 0xAA the not sign in
// 852 (the conversion library's IBM tables differ there). dbf_decode_text understands it.
inline constexpr int dbf_microsoft_dos = 0x100000;

// Which code page a table's text is decoded with under exact values, and why.
struct dbf_codepage_choice {
    int codepage = 0;  // as dbf_decode_text takes it (0: the system's ANSI code page)
    std::string why;   // "user choice 0x65", ".cpg file 'CP1251'", "driver name DB866RU0", ...
};

// The code page of a .cpg file's first line (GDAL and shapefile tools write one): a number
// (437..950, 1250..1258, 65001), "CP1251", "ANSI 1251", "8859-5"/"ISO-8859-5", "UTF-8"; 0 when
// the text names none of those.
int dbf_codepage_of_cpg(std::string_view text);
// The code page a dBASE 7 language driver name stands for ("DB866RU0", "DBWINUS0",
// "FOXCZ895", ...), compared without regard to case; 0 when the name is unknown.
int dbf_codepage_of_driver_name(std::string_view name);
// The code page of a language driver id by the whole table in common use (the ids of other
// programs beside the ones this system lists); 0x57 and unknown ids give 0.
int dbf_codepage_of_id_exact(unsigned char language_driver_id);

// Exact values: the user's id when it is not 0, else the .cpg file beside the table, else the
// dBASE 7 driver name (header bytes 32-63 of a level-7 table), else the language driver byte.
// `table_path` is the .dbf file really opened; `driver_name` is empty for other layouts.
dbf_codepage_choice dbf_resolve_codepage(unsigned char user_language_driver_id,
                                         const std::string& table_path,
                                         std::string_view driver_name,
                                         unsigned char header_language_driver_id);
