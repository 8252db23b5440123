#include "date_time.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>

#include "ora_error.h"
#include "text_codec.h"

namespace ocisim {
namespace {

constexpr const char* kMonths[] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                   "MAY",       "JUNE",     "JULY",     "AUGUST",
                                   "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};

bool is_leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// One element of a format model.
enum class Element {
    Literal,
    Punct,
    Year4,
    Year2,
    RoundYear2,
    Month,
    MonName,
    MonthName,
    Day,
    Hour24,
    Hour12,
    Minute,
    Second,
    Meridian,
    Fraction
};

struct Parser {
    std::string_view in;
    size_t pos = 0;
    bool fx = false;

    bool at_end() const { return pos >= in.size(); }

    // Reads up to `max` digits; lenient mode stops at the first non-digit.
    int number(int max_digits) {
        if (at_end()) {
            throw ora(1840);
        }
        if (!std::isdigit(static_cast<unsigned char>(in[pos]))) {
            throw ora(1858);
        }
        int v = 0;
        int n = 0;
        while (n < max_digits && !at_end() && std::isdigit(static_cast<unsigned char>(in[pos]))) {
            v = v * 10 + (in[pos] - '0');
            ++pos;
            ++n;
        }
        return v;
    }

    void skip_separators() {
        while (!at_end() && !std::isalnum(static_cast<unsigned char>(in[pos]))) {
            ++pos;
        }
    }
};

}  // namespace

int days_in_month(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

namespace {

// `value` in exactly `width` decimal digits, zeros in front.
char* put_digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

}  // namespace

std::string DateTime::to_storage(bool fraction) const {
    char buf[48];
    const bool plain = year >= 0 && year <= 9999 && month >= 0 && month <= 99 && day >= 0 &&
                       day <= 99 && hour >= 0 && hour <= 99 && minute >= 0 && minute <= 99 &&
                       second >= 0 && second <= 99 && nanos >= 0 && nanos <= 999999999;
    if (!plain) {
        if (fraction) {
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09d", year, month, day,
                          hour, minute, second, nanos);
        } else {
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                          minute, second);
        }
        return buf;
    }
    // Written digit by digit: a table's dates are written for every row.
    char* p = put_digits(buf, year, 4);
    *p++ = '-';
    p = put_digits(p, month, 2);
    *p++ = '-';
    p = put_digits(p, day, 2);
    *p++ = ' ';
    p = put_digits(p, hour, 2);
    *p++ = ':';
    p = put_digits(p, minute, 2);
    *p++ = ':';
    p = put_digits(p, second, 2);
    if (fraction) {
        *p++ = '.';
        p = put_digits(p, nanos, 9);
    }
    return std::string(buf, static_cast<size_t>(p - buf));
}

bool DateTime::from_storage(std::string_view text, DateTime* out) {
    DateTime d;
    int* const fields[] = {&d.year, &d.month, &d.day, &d.hour, &d.minute, &d.second, &d.nanos};
    static constexpr char separators[] = {'-', '-', ' ', ':', ':', '.'};
    const char* p = text.data();
    const char* const end = p + text.size();
    int n = 0;
    for (; n < 7; ++n) {
        if (n > 0) {
            if (p == end || *p != separators[n - 1]) {
                break;
            }
            ++p;
        }
        const auto r = std::from_chars(p, end, *fields[n]);
        if (r.ec != std::errc()) {
            break;
        }
        p = r.ptr;
    }
    if (n < 3) {
        return false;
    }
    *out = d;
    return true;
}

std::string DateTime::to_default_text() const {
    char buf[32];
    std::string mon = std::string(kMonths[month - 1]).substr(0, 3);
    std::snprintf(buf, sizeof buf, "%02d-%s-%02d", day, mon.c_str(), year % 100);
    return buf;
}

DateTime current_date_time() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    DateTime d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    return d;
}

namespace {

// TO_DATE and TO_TIMESTAMP share one reader; only TO_TIMESTAMP knows the fraction elements.
DateTime parse_date_time(std::string_view text, std::string_view format, bool timestamp) {
    std::string fmt = upper_ascii(format);
    DateTime now = current_date_time();
    // Missing parts: first day of the current month of the current year, midnight.
    DateTime d;
    d.year = now.year;
    d.month = now.month;
    d.day = 1;
    int hour12 = -1;
    bool pm = false;
    Parser p{text};
    size_t f = 0;
    if (fmt.compare(0, 2, "FX") == 0) {
        p.fx = true;
        f = 2;
    }
    auto starts = [&](const char* e) {
        return fmt.compare(f, std::char_traits<char>::length(e), e) == 0;
    };
    while (f < fmt.size()) {
        char c = fmt[f];
        if (c == '"') {
            size_t close = fmt.find('"', f + 1);
            if (close == std::string::npos) {
                throw ora(1821);
            }
            std::string lit = upper_ascii(format.substr(f + 1, close - f - 1));
            std::string got = upper_ascii(text.substr(p.pos, lit.size()));
            if (got != lit) {
                throw ora(1861);
            }
            p.pos += lit.size();
            f = close + 1;
            continue;
        }
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            // Punctuation in the format: strict under FX, otherwise any separators (or none).
            if (p.fx) {
                if (p.at_end() || text[p.pos] != c) {
                    throw ora(1861);
                }
                ++p.pos;
            } else {
                p.skip_separators();
            }
            ++f;
            continue;
        }
        if (!p.fx) {
            p.skip_separators();
        }
        if (starts("YYYY") || starts("RRRR") || starts("SYYYY")) {
            f += starts("SYYYY") ? 5 : 4;
            d.year = p.number(4);
        } else if (starts("YYY")) {
            f += 3;
            d.year = now.year / 1000 * 1000 + p.number(3);
        } else if (starts("YY")) {
            f += 2;
            d.year = now.year / 100 * 100 + p.number(2);
        } else if (starts("RR")) {
            f += 2;
            size_t before = p.pos;
            int y = p.number(4);
            if (p.pos - before <= 2) {
                int cur = now.year % 100;
                int century = now.year / 100 * 100;
                if (y < 50) {
                    y += cur < 50 ? century : century + 100;
                } else {
                    y += cur < 50 ? century - 100 : century;
                }
            }
            d.year = y;
        } else if (starts("MONTH") || starts("MON")) {
            size_t len = starts("MONTH") ? 5 : 3;
            f += len;
            int found = 0;
            for (int m = 0; m < 12 && found == 0; ++m) {
                std::string full = kMonths[m];
                std::string rest = upper_ascii(text.substr(p.pos));
                if (rest.compare(0, full.size(), full) == 0) {
                    p.pos += full.size();
                    found = m + 1;
                } else if (rest.compare(0, 3, full.substr(0, 3)) == 0) {
                    p.pos += 3;
                    found = m + 1;
                }
            }
            if (found == 0) {
                if (p.at_end()) {
                    throw ora(1840);
                }
                throw ora(1843);
            }
            d.month = found;
        } else if (starts("MM")) {
            f += 2;
            d.month = p.number(2);
            if (d.month < 1 || d.month > 12) {
                throw ora(1843);
            }
        } else if (starts("DD")) {
            f += 2;
            d.day = p.number(2);
            if (d.day < 1 || d.day > 31) {
                throw ora(1847);
            }
        } else if (starts("HH24")) {
            f += 4;
            d.hour = p.number(2);
            if (d.hour > 23) {
                throw ora(1850);
            }
        } else if (starts("HH12") || starts("HH")) {
            f += starts("HH12") ? 4 : 2;
            hour12 = p.number(2);
            if (hour12 < 1 || hour12 > 12) {
                throw ora(1850);
            }
        } else if (starts("MI")) {
            f += 2;
            d.minute = p.number(2);
            if (d.minute > 59) {
                throw ora(1851);
            }
        } else if (starts("SS")) {
            f += 2;
            d.second = p.number(2);
            if (d.second > 59) {
                throw ora(1852);
            }
        } else if (timestamp && starts("FF")) {
            // FF reads up to nine digits, FF1..FF9 up to that many; fewer digits are tenths,
            // hundredths and so on, as written.
            f += 2;
            int max_digits = 9;
            if (f < fmt.size() && fmt[f] >= '1' && fmt[f] <= '9') {
                max_digits = fmt[f] - '0';
                ++f;
            }
            size_t before = p.pos;
            int v = p.number(max_digits);
            for (size_t n = p.pos - before; n < 9; ++n) {
                v *= 10;
            }
            d.nanos = v;
        } else if (timestamp && c == 'X') {
            // The radix character: '.' under FX, any separator otherwise.
            ++f;
            if (p.fx) {
                if (p.at_end() || text[p.pos] != '.') {
                    throw ora(1861);
                }
                ++p.pos;
            }
        } else if (starts("AM") || starts("PM")) {
            f += 2;
            std::string m = upper_ascii(text.substr(p.pos, 2));
            if (m != "AM" && m != "PM") {
                throw ora(1855);
            }
            pm = m == "PM";
            p.pos += 2;
        } else {
            throw ora(1821);
        }
    }
    if (!p.fx) {
        while (!p.at_end() && std::isspace(static_cast<unsigned char>(text[p.pos]))) {
            ++p.pos;
        }
    }
    if (!p.at_end()) {
        throw ora(1830);
    }
    if (hour12 >= 0) {
        d.hour = hour12 % 12 + (pm ? 12 : 0);
    }
    if (d.year == 0 || d.year > 9999) {
        throw ora(1841);
    }
    if (d.day > days_in_month(d.year, d.month)) {
        throw ora(1847);
    }
    return d;
}

}  // namespace

DateTime to_date(std::string_view text, std::string_view format) {
    return parse_date_time(text, format, false);
}

DateTime to_timestamp(std::string_view text, std::string_view format) {
    return parse_date_time(text, format, true);
}

DateTime round_fraction(DateTime d, int digits) {
    if (digits >= 9) {
        return d;
    }
    int unit = 1;
    for (int i = digits; i < 9; ++i) {
        unit *= 10;
    }
    d.nanos = (d.nanos + unit / 2) / unit * unit;
    if (d.nanos < 1000000000) {
        return d;
    }
    // The rounding reached the next second: carry it as far as it goes.
    d.nanos = 0;
    if (++d.second < 60) {
        return d;
    }
    d.second = 0;
    if (++d.minute < 60) {
        return d;
    }
    d.minute = 0;
    if (++d.hour < 24) {
        return d;
    }
    d.hour = 0;
    if (++d.day <= days_in_month(d.year, d.month)) {
        return d;
    }
    d.day = 1;
    if (++d.month <= 12) {
        return d;
    }
    d.month = 1;
    ++d.year;
    return d;
}

DateTime text_to_date(std::string_view text) {
    return to_date(text, "DD-MON-RR");
}

}  // namespace ocisim
