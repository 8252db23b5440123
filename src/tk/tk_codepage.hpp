#pragma once
// Windows code page numbers as this system knows them, and the ICU converters behind them.

#include <unicode/ucnv.h>

#include <string_view>

// The ICU converter name for a Windows/DOS/Mac code page number; null when ICU has none.
const char* tk_codepage_icu_name(int codepage);

// The Windows ANSI code page of a POSIX locale name ("ru_RU.UTF-8" -> 1251, "de_DE" -> 1252,
// "ja_JP" -> 932); 1252 for languages without one of their own and for "C"/"POSIX".
int tk_ansi_codepage_for_locale(std::string_view locale_name);

// The code page that stands for "the system's ANSI code page" (code page 0) when decoding
// bytes: BRIXEL_ANSI_CODEPAGE when set to a supported number, else the one of the user's locale
// (LC_ALL, LC_CTYPE, LANG). Fixed for the life of the process.
int tk_default_ansi_codepage();
// The rule behind it: `forced` (the override's text, may be null) when it names a supported
// code page, else the code page of `locale_name` (may be null: 1252).
int tk_ansi_codepage_from(const char* forced, const char* locale_name);

// This thread's converter for the code page (0 is the default ANSI code page), opened on first
// use and kept until the thread ends; null when the code page cannot be converted. Converters
// substitute '?' for characters the code page lacks and use ICU's fallback mappings, like the
// Windows conversions do.
UConverter* tk_codepage_converter(int codepage);
