// DATE and TIMESTAMP values, and TO_DATE / TO_TIMESTAMP with Oracle's format models.
#pragma once

#include <string>
#include <string_view>

namespace ocisim {

struct DateTime {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int nanos = 0;

    // Storage form, sortable as text: "YYYY-MM-DD HH:MM:SS" (+ ".FFFFFFFFF" when `fraction`).
    std::string to_storage(bool fraction = false) const;
    static bool from_storage(std::string_view text, DateTime* out);
    // The session's default display format, NLS_DATE_FORMAT 'DD-MON-RR'.
    std::string to_default_text() const;
};

int days_in_month(int year, int month);
// TO_DATE(text, format); throws OraError for input that does not match the format.
DateTime to_date(std::string_view text, std::string_view format);
// TO_TIMESTAMP(text, format): TO_DATE's models plus FF, FF1..FF9 and X (the radix character).
DateTime to_timestamp(std::string_view text, std::string_view format);
// The value with its fraction rounded to `digits` places, as a TIMESTAMP(digits) column keeps it.
DateTime round_fraction(DateTime d, int digits);
// Implicit conversion of text to DATE, with the session's default format.
DateTime text_to_date(std::string_view text);
DateTime current_date_time();

}  // namespace ocisim
