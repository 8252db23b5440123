#pragma once
// ole_date: reading date and time texts in the forms DBF files and users write (timestamps
// "20161231235959", times "13:45:30.250", the user's local date forms, "2016-12-31 10:00:00",
// "25.12.2016", with AM/PM), checking them, and printing them in the one form the destination
// uses ("%04d-%02d-%02d %02d:%02d:%02d" and its date-only and time-only variants).
// ole_guid_extractor: the 32 hexadecimal digits of a GUID named in a text.

#include <cstdint>
#include <string>
#include <string_view>

#include "udb/ole_types.hpp"

class ole_variant;

class ole_date {
  public:
    enum : int32_t { kind_invalid = 0, kind_date_time = 1, kind_date = 2, kind_time = 3 };

    explicit ole_date(const t_systemtime& value);
    explicit ole_date(std::string_view text);
    explicit ole_date(std::u16string_view text);

    // The parser proper; true when a form matched (kind is then not 0).
    bool import_from_string(std::string_view text);
    bool is_valid() const;
    void refine_type();
    // Seconds and milliseconds from the text after the minutes ("30.250"); null is an internal
    // error.
    void process_milliseconds(const char* rest);

    // Printing; a year below 100 is made a full year in the object first (below 50: 20xx).
    std::string to_string(bool with_milliseconds = true);
    std::u16string to_wstring(bool with_milliseconds = true);
    ole_variant to_variant() const;

    uint8_t b_short = 1;  // print a date-and-time at 00:00:00 as a date only
    int32_t kind = kind_invalid;
    t_systemtime time{};

  private:
    void parse_text(std::string_view text);
    bool try_locale_date(std::string_view text);
};

class ole_guid_extractor {
  public:
    explicit ole_guid_extractor(std::u16string_view text);
    explicit ole_guid_extractor(std::string_view text);

    // The 32 digits without braces and dashes, or empty when the text names no GUID.
    std::u16string get_guid() const;

    uint32_t brace_position = 0;
    std::u16string text;
    uint8_t b_found = 0;

  private:
    void locate();
};
