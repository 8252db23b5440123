#include "udb/ole_date.hpp"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/parsepos.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_variant.hpp"

namespace {

bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A small scanf for the fixed forms of the date parser: "%d" and "%hd" with an optional width,
// "%s" (a run of non-blank characters), a blank (any run of blanks, possibly none) and literal
// characters. Integers wrap like scanf's conversions do. Returns the number of fields stored and
// sets `used` to the characters consumed.
struct scan_result {
    int count = 0;
    size_t used = 0;
};

scan_result scan(std::string_view text, const char* format, int64_t* numbers, std::string* rest) {
    scan_result result;
    size_t i = 0;
    int number_index = 0;
    for (const char* f = format; *f != 0; ++f) {
        if (*f == ' ') {
            while (i < text.size() && is_space(text[i])) {
                ++i;
            }
            continue;
        }
        if (*f != '%') {
            if (i >= text.size() || text[i] != *f) {
                break;
            }
            ++i;
            continue;
        }
        ++f;
        size_t width = 0;
        while (is_digit(*f)) {
            width = width * 10 + static_cast<size_t>(*f - '0');
            ++f;
        }
        if (width == 0) {
            width = SIZE_MAX;
        }
        if (*f == 'h') {
            ++f;
        }
        while (i < text.size() && is_space(text[i])) {
            ++i;
        }
        if (*f == 's') {
            const size_t start = i;
            while (i < text.size() && !is_space(text[i])) {
                ++i;
            }
            if (i == start) {
                break;
            }
            rest->assign(text.substr(start, i - start));
            ++result.count;
            continue;
        }
        // 'd'
        size_t taken = 0;
        bool negative = false;
        size_t k = i;
        if (k < text.size() && (text[k] == '-' || text[k] == '+') && taken < width) {
            negative = text[k] == '-';
            ++k;
            ++taken;
        }
        uint64_t value = 0;
        size_t digits = 0;
        while (k < text.size() && is_digit(text[k]) && taken < width) {
            if (value < (uint64_t{1} << 62)) {
                value = value * 10 + static_cast<uint64_t>(text[k] - '0');
            }
            ++k;
            ++taken;
            ++digits;
        }
        if (digits == 0) {
            break;
        }
        i = k;
        // Negated as an unsigned number: the most negative value has no positive twin, and
        // only the low bits reach the 16-bit fields anyway.
        numbers[number_index++] = static_cast<int64_t>(negative ? uint64_t{0} - value : value);
        ++result.count;
    }
    result.used = i;
    return result;
}

// Stores a scanned number the way a 16-bit field receives it.
uint16_t word(int64_t value) {
    return static_cast<uint16_t>(static_cast<uint64_t>(value));
}

// The leading decimal number of a text (blanks, sign, digits, point, exponent), 0 when none.
// The milliseconds of a plain decimal seconds text ("30.001", "-5.25") taken from its digits:
// the product of a binary double and 1000 would turn 30.001 into 0.99999... and truncate it to 0.
// Answers false for texts with an exponent, which go the floating-point way.
bool exact_milliseconds(const char* text, int32_t& milliseconds) {
    std::string_view s(text);
    size_t i = 0;
    while (i < s.size() && is_space(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    while (i < s.size() && is_digit(s[i])) {
        ++i;
    }
    int32_t fraction = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        int taken = 0;
        for (; i < s.size() && is_digit(s[i]); ++i) {
            if (taken < 3) {
                fraction = fraction * 10 + (s[i] - '0');
                ++taken;
            }
        }
        for (; taken < 3; ++taken) {
            fraction *= 10;
        }
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        return false;
    }
    milliseconds = negative ? -fraction : fraction;
    return true;
}

double leading_number(const char* text) {
    std::string_view s(text);
    size_t i = 0;
    while (i < s.size() && is_space(s[i])) {
        ++i;
    }
    const size_t start = i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        ++i;
    }
    size_t mantissa_digits = 0;
    while (i < s.size() && is_digit(s[i])) {
        ++i;
        ++mantissa_digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && is_digit(s[i])) {
            ++i;
            ++mantissa_digits;
        }
    }
    if (mantissa_digits == 0) {
        return 0.0;
    }
    size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t k = i + 1;
        if (k < s.size() && (s[k] == '-' || s[k] == '+')) {
            ++k;
        }
        if (k < s.size() && is_digit(s[k])) {
            while (k < s.size() && is_digit(s[k])) {
                ++k;
            }
            end = k;
        }
    }
    size_t from = start;
    if (s[from] == '+') {
        ++from;
    }
    double value = 0.0;
    const auto r = std::from_chars(s.data() + from, s.data() + end, value);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the double range: infinity, or zero for a vanishing value (a negative exponent
        // or no non-zero digit before the point).
        const std::string_view number(s.data() + from, end - from);
        const size_t e = number.find_first_of("eE");
        const std::string_view whole = number.substr(0, std::min(e, number.find('.')));
        const bool vanishing = (e != std::string_view::npos && number[e + 1] == '-') ||
                               whole.find_first_not_of('0') == std::string_view::npos;
        value = vanishing ? 0.0 : HUGE_VAL;
        if (s[start] == '-') {
            value = -value;
        }
    }
    return value;
}

// The date formats of the user's default locale (English, United States, when none is set),
// built once per thread: the locale's date patterns alone and followed by a 24-hour time.
class locale_date_parser {
  public:
    locale_date_parser() {
        icu::Locale locale = icu::Locale::getDefault();
        const std::string_view name = locale.getName();
        if (locale.isBogus() || *locale.getLanguage() == 0 || name == "en_US_POSIX" ||
            name == "c" || name == "C") {
            locale = icu::Locale("en", "US");
        }
        UErrorCode status = U_ZERO_ERROR;
        calendar_.reset(new icu::GregorianCalendar(*icu::TimeZone::getGMT(), locale, status));
        if (U_FAILURE(status)) {
            calendar_.reset();
            return;
        }
        for (char c = '0'; c <= '9'; ++c) {
            allowed_[static_cast<unsigned char>(c)] = true;
        }
        for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
            allowed_[static_cast<unsigned char>(c)] = true;
        }
        allow_symbols(locale);
        const icu::DateFormat::EStyle styles[] = {icu::DateFormat::kShort, icu::DateFormat::kMedium,
                                                  icu::DateFormat::kLong, icu::DateFormat::kFull};
        for (const auto style : styles) {
            std::unique_ptr<icu::DateFormat> base(
                icu::DateFormat::createDateInstance(style, locale));
            auto* simple = dynamic_cast<icu::SimpleDateFormat*>(base.get());
            if (simple == nullptr) {
                continue;
            }
            icu::UnicodeString pattern;
            simple->toPattern(pattern);
            add(pattern, locale);
            add(icu::UnicodeString(pattern).append(u" HH:mm:ss"), locale);
            add(icu::UnicodeString(pattern).append(u" HH:mm"), locale);
            std::unique_ptr<icu::DateFormat> both(
                icu::DateFormat::createDateTimeInstance(style, style, locale));
            if (auto* s = dynamic_cast<icu::SimpleDateFormat*>(both.get())) {
                icu::UnicodeString both_pattern;
                s->toPattern(both_pattern);
                add(both_pattern, locale);
            }
        }
    }

    bool parse(std::string_view text, t_systemtime& out) {
        if (!calendar_) {
            return false;
        }
        // A text with an ASCII character that no pattern, month, weekday, era or AM/PM name of
        // the locale contains cannot match a strict pattern: skip the costly attempts.
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80 && !allowed_[byte]) {
                return false;
            }
        }
        const icu::UnicodeString u = icu::UnicodeString::fromUTF8(
            icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
        for (const auto& format : formats_) {
            icu::ParsePosition position(0);
            const UDate date = format->parse(u, position);
            if (position.getErrorIndex() >= 0 || position.getIndex() != u.length()) {
                continue;
            }
            UErrorCode status = U_ZERO_ERROR;
            calendar_->setTime(date, status);
            const int32_t year = calendar_->get(UCAL_YEAR, status);
            const int32_t era = calendar_->get(UCAL_ERA, status);
            if (U_FAILURE(status) || era == 0 || year < 1 || year > 9999) {
                continue;
            }
            out.year = static_cast<uint16_t>(year);
            out.month = static_cast<uint16_t>(calendar_->get(UCAL_MONTH, status) + 1);
            out.day = static_cast<uint16_t>(calendar_->get(UCAL_DATE, status));
            out.hour = static_cast<uint16_t>(calendar_->get(UCAL_HOUR_OF_DAY, status));
            out.minute = static_cast<uint16_t>(calendar_->get(UCAL_MINUTE, status));
            out.second = static_cast<uint16_t>(calendar_->get(UCAL_SECOND, status));
            out.milliseconds = static_cast<uint16_t>(calendar_->get(UCAL_MILLISECOND, status));
            out.day_of_week = 0;
            if (U_SUCCESS(status)) {
                return true;
            }
        }
        return false;
    }

  private:
    void allow(const icu::UnicodeString& text) {
        for (int32_t i = 0; i < text.length(); ++i) {
            const char16_t c = text.charAt(i);
            if (c < 0x80) {
                allowed_[c] = true;
            }
        }
    }

    void allow_pattern_literals(const icu::UnicodeString& pattern) {
        bool quoted = false;
        for (int32_t i = 0; i < pattern.length(); ++i) {
            const char16_t c = pattern.charAt(i);
            if (c == u'\'') {
                quoted = !quoted;
            } else if (c < 0x80 &&
                       (quoted || !((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))) {
                allowed_[c] = true;
            }
        }
    }

    void allow_symbols(const icu::Locale& locale) {
        UErrorCode status = U_ZERO_ERROR;
        icu::DateFormatSymbols symbols(locale, status);
        if (U_FAILURE(status)) {
            for (bool& a : allowed_) {
                a = true;  // no names known: never skip
            }
            return;
        }
        auto allow_list = [this](const icu::UnicodeString* list, int32_t n) {
            for (int32_t i = 0; list != nullptr && i < n; ++i) {
                allow(list[i]);
            }
        };
        int32_t n = 0;
        const icu::UnicodeString* list = symbols.getMonths(n);
        allow_list(list, n);
        list = symbols.getShortMonths(n);
        allow_list(list, n);
        list = symbols.getWeekdays(n);
        allow_list(list, n);
        list = symbols.getShortWeekdays(n);
        allow_list(list, n);
        list = symbols.getAmPmStrings(n);
        allow_list(list, n);
        list = symbols.getEras(n);
        allow_list(list, n);
    }

    void add(const icu::UnicodeString& pattern, const icu::Locale& locale) {
        UErrorCode status = U_ZERO_ERROR;
        auto format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
        if (U_FAILURE(status)) {
            return;
        }
        allow_pattern_literals(pattern);
        format->setLenient(false);
        format->setTimeZone(*icu::TimeZone::getGMT());
        formats_.push_back(std::move(format));
    }

    std::unique_ptr<icu::Calendar> calendar_;
    std::vector<std::unique_ptr<icu::SimpleDateFormat>> formats_;
    bool allowed_[128] = {};
};

}  // namespace

ole_date::ole_date(const t_systemtime& value) : kind(kind_date_time), time(value) {
    TK_TRACE("ole_date::ole_date(SYSTEMTIME)");
    refine_type();
}

ole_date::ole_date(std::string_view text) {
    TK_TRACE("ole_date::ole_date('%s')", std::string(text).c_str());
    parse_text(text);
}

ole_date::ole_date(std::u16string_view text) {
    const std::string narrow = tk_w2a(text);
    TK_TRACE("ole_date::ole_date('%s')", narrow.c_str());
    parse_text(narrow);
}

void ole_date::parse_text(std::string_view input) {
    time = t_systemtime{};
    kind = kind_invalid;
    std::string text = tk_trim(input);
    TK_TRACE("After tk_trim: %s", text.c_str());
    for (const char* marker : {"AM", "PM", "am", "pm"}) {
        const size_t at = text.find(marker);
        if (at != std::string::npos) {
            text = tk_trim(std::string_view(text).substr(0, at));
            break;
        }
    }
    TK_TRACE("Again buf1=%s", text.c_str());
    if (text.size() < 5) {
        TK_LOG(2, "Invalid date/time format: '%s'", text.c_str());
        return;
    }
    import_from_string(text);
    if ((kind == kind_date_time || kind == kind_date) && time.day > 31 && time.year < 32) {
        std::swap(time.day, time.year);
    }
    const bool pm =
        input.find("PM") != std::string_view::npos || input.find("pm") != std::string_view::npos;
    if (kind != kind_invalid && pm && time.hour < 12) {
        time.hour = static_cast<uint16_t>(time.hour + 12);
    }
}

bool ole_date::import_from_string(std::string_view text) {
    TK_TRACE("ole_date::import_from_string");
    int64_t n[6] = {};
    std::string rest;
    auto clear = [this] {
        time = t_systemtime{};
        kind = kind_invalid;
    };
    clear();

    if (text.size() == 14) {
        TK_TRACE("Trying timestamp format (1)...");
        if (scan(text, "%4d%02d%02d%02d%02d%02d", n, &rest).count == 6) {
            time.year = word(n[0]);
            time.month = word(n[1]);
            time.day = word(n[2]);
            time.hour = word(n[3]);
            time.minute = word(n[4]);
            time.second = word(n[5]);
            kind = kind_date_time;
            if (is_valid()) {
                return true;
            }
        }
        clear();
    }
    if (text.size() == 8) {
        TK_TRACE("Trying timestamp format (2)...");
        if (scan(text, "%4d%02d%02d", n, &rest).count == 3) {
            time.year = word(n[0]);
            time.month = word(n[1]);
            time.day = word(n[2]);
            kind = kind_date;
            if (is_valid()) {
                return true;
            }
        }
        clear();
    }

    TK_TRACE("Trying pure time format...");
    const scan_result pure = scan(text, "%hd:%hd:%s", n, &rest);
    if (pure.count == 3 || (pure.count == 2 && pure.used == text.size())) {
        time.hour = word(static_cast<int16_t>(n[0]));
        time.minute = word(static_cast<int16_t>(n[1]));
        kind = kind_time;
        if (is_valid()) {
            if (pure.count == 3) {
                process_milliseconds(rest.c_str());
            }
            return true;
        }
    }
    clear();

    // No date form of any locale is longer; the locale parser's time grows with the square of
    // a long run of digits, so damaged long texts skip it.
    constexpr size_t longest_locale_date = 200;
    thread_local locale_date_parser locale_parser;
    if (text.size() <= longest_locale_date && locale_parser.parse(text, time)) {
        TK_TRACE("Got datetime using Microsoft API");
        kind = kind_date_time;
        refine_type();
        return true;
    }
    clear();

    static const char* const formats[] = {"%hd-%hd-%hd %hd:%hd:%s", "%hd/%hd/%hd %hd:%hd:%s",
                                          "%hd.%hd.%hd %hd:%hd:%s"};
    for (int f = 0; f < 3; ++f) {
        TK_TRACE("Trying datetime format #%d", f);
        const scan_result r = scan(text, formats[f], n, &rest);
        if (r.count == 3 || r.count == 6) {
            time.year = word(static_cast<int16_t>(n[0]));
            time.month = word(static_cast<int16_t>(n[1]));
            time.day = word(static_cast<int16_t>(n[2]));
        }
        if (r.count == 3) {
            TK_TRACE("Format #%d succeeded (3 items)", f);
            kind = kind_date;
            if (is_valid()) {
                return true;
            }
        } else if (r.count == 6) {
            TK_TRACE("Format #%d succeeded (6 items)", f);
            time.hour = word(static_cast<int16_t>(n[3]));
            time.minute = word(static_cast<int16_t>(n[4]));
            kind = kind_date_time;
            if (is_valid()) {
                process_milliseconds(rest.c_str());
                refine_type();
                return true;
            }
        }
        clear();
    }

    kind = kind_invalid;
    TK_LOG(2, "Invalid date/time format: '%s'", std::string(text).c_str());
    return false;
}

bool ole_date::is_valid() const {
    TK_TRACE("ole_date::is_valid");
    if (kind == kind_invalid) {
        return false;
    }
    if (time.year == 0 && time.month == 0 && time.day == 0) {
        TK_TRACE("DATETIME is a pute time");
    } else {
        if (time.month < 1 || time.month > 12) {
            TK_TRACE("Invalid month");
            return false;
        }
        if (time.day == 0 || time.year == 0 || (time.day >= 32 && time.year >= 32)) {
            TK_TRACE("Invalid day and/or year");
            return false;
        }
    }
    if (time.hour >= 61 || time.minute >= 61 || time.second >= 61) {
        TK_TRACE("Invalid time");
        return false;
    }
    return true;
}

void ole_date::refine_type() {
    TK_TRACE("ole_date::refine_type(%d,%d,%d,%d,%d,%d)", time.year, time.month, time.day, time.hour,
             time.minute, time.second);
    if (time.year == 0 && time.month == 0 && time.day == 0) {
        kind = kind_time;
    } else if (time.hour == 0 && time.minute == 0 && time.second == 0 && time.year != 0 &&
               time.month != 0 && time.day != 0) {
        kind = kind_date;
    }
}

void ole_date::process_milliseconds(const char* rest) {
    TK_ASSERT(rest != nullptr, "ole_date.cpp");
    TK_TRACE("ole_date::process_milliseconds");
    TK_TRACE("Got row sec: '%s'", rest);
    const double x = leading_number(rest);
    // Truncation toward zero, kept inside the range of the 32-bit result.
    const double whole = std::trunc(std::fmax(-2147483648.0, std::fmin(2147483647.0, x)));
    const auto seconds = static_cast<int32_t>(whole);
    TK_TRACE("Got sec: %d", seconds);
    int32_t milliseconds = 0;
    if (!exact_milliseconds(rest, milliseconds)) {
        const double fraction_ms = std::trunc((x - whole) * 1000.0);
        milliseconds = std::isfinite(fraction_ms)
                           ? static_cast<int32_t>(
                                 std::fmax(-2147483648.0, std::fmin(2147483647.0, fraction_ms)))
                           : 0;
    }
    TK_TRACE("Got msec: %d", milliseconds);
    time.second = static_cast<uint16_t>(seconds);
    time.milliseconds = static_cast<uint16_t>(milliseconds);
}

namespace {

std::string format_date(ole_date& d, bool with_milliseconds) {
    t_systemtime& t = d.time;
    if (t.year < 50) {
        t.year = static_cast<uint16_t>(t.year + 2000);
    } else if (t.year < 100) {
        t.year = static_cast<uint16_t>(t.year + 1900);
    }
    char buffer[96];
    switch (d.kind) {
        case ole_date::kind_date_time:
            TK_TRACE("printing datetime...");
            if (t.hour == 0 && t.minute == 0 && t.second == 0 && d.b_short != 0) {
                snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
            } else if (t.milliseconds == 0 || !with_milliseconds) {
                snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month,
                         t.day, t.hour, t.minute, t.second);
            } else {
                snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%d", t.year, t.month,
                         t.day, t.hour, t.minute, t.second, t.milliseconds);
            }
            return buffer;
        case ole_date::kind_date:
            TK_TRACE("printing date...");
            snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
            return buffer;
        case ole_date::kind_time:
            TK_TRACE("printing time...");
            if (t.milliseconds != 0) {
                snprintf(buffer, sizeof buffer, "0000-00-00 %02d:%02d:%02d.%d", t.hour, t.minute,
                         t.second, t.milliseconds);
            } else {
                snprintf(buffer, sizeof buffer, "0000-00-00 %02d:%02d:%02d", t.hour, t.minute,
                         t.second);
            }
            return buffer;
        default:
            return std::string();
    }
}

}  // namespace

std::string ole_date::to_string(bool with_milliseconds) {
    TK_TRACE("ole_date::to_string");
    return format_date(*this, with_milliseconds);
}

std::u16string ole_date::to_wstring(bool with_milliseconds) {
    TK_TRACE("ole_date::to_wstring");
    const std::string text = format_date(*this, with_milliseconds);
    return std::u16string(text.begin(), text.end());  // digits, dashes, colons and a point
}

ole_variant ole_date::to_variant() const {
    TK_TRACE("ole_date::to_variant");
    return ole_variant(time);
}

ole_guid_extractor::ole_guid_extractor(std::u16string_view value) : text(value) {
    locate();
}

ole_guid_extractor::ole_guid_extractor(std::string_view value) : text(tk_a2w(value)) {
    locate();
}

void ole_guid_extractor::locate() {
    TK_LOGW(1, u"ole_guid_extractor::ctor(%s)", text.c_str());
    if (text.size() < 45) {
        return;
    }
    const size_t lower = text.find(u"guid");
    const size_t upper = text.find(u"GUID");
    TK_TRACE("Locating 'guid' (%d : %d)",
             lower == std::u16string::npos ? -1 : static_cast<int>(lower),
             upper == std::u16string::npos ? -1 : static_cast<int>(upper));
    const size_t at = lower != std::u16string::npos ? lower : upper;
    if (at == std::u16string::npos) {
        return;
    }
    const size_t brace = text.find(u'{', at + 4);
    if (brace == std::u16string::npos) {
        return;
    }
    b_found = 1;
    brace_position = static_cast<uint32_t>(brace);
}

std::u16string ole_guid_extractor::get_guid() const {
    if (b_found == 0) {
        return std::u16string();
    }
    const std::u16string_view all(text);
    auto piece = [&](size_t offset, size_t count) {
        const size_t from = brace_position + offset;
        return from < all.size() ? all.substr(from, count) : std::u16string_view();
    };
    std::u16string guid;
    guid.reserve(32);
    guid.append(piece(1, 8));
    guid.append(piece(10, 4));
    guid.append(piece(15, 4));
    guid.append(piece(20, 4));
    guid.append(piece(25, 12));
    return guid;
}
