// Exact decoding of DBF field bytes: every value arrives as the file holds it, as NULL where the
// file marks it unknown, or as an error naming the field, so a value is never invented, rounded
// or cut on the way.

#include <charconv>
#include <cmath>
#include <cstring>

#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_exception.hpp"
#include "dbf/dbf_record.hpp"

namespace {

constexpr int32_t julian_day_one = 1721426;  // 0001-01-01
constexpr int64_t julian_unix_epoch = 2440588;
constexpr int max_number_digits = 38;
// The magnitudes an Oracle NUMBER holds.
constexpr double number_max = 9.999999999999999e125;
constexpr double number_min = 1e-130;

uint32_t le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint32_t>(u[0]) | (static_cast<uint32_t>(u[1]) << 8) |
           (static_cast<uint32_t>(u[2]) << 16) | (static_cast<uint32_t>(u[3]) << 24);
}
uint32_t be32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (static_cast<uint32_t>(u[0]) << 24) | (static_cast<uint32_t>(u[1]) << 16) |
           (static_cast<uint32_t>(u[2]) << 8) | static_cast<uint32_t>(u[3]);
}
uint64_t le64(const char* p) {
    return static_cast<uint64_t>(le32(p)) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}
uint64_t be64(const char* p) {
    return (static_cast<uint64_t>(be32(p)) << 32) | be32(p + 4);
}
double bits_to_double(uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

[[noreturn]] void fail(const dbf_field_descriptor& fd, std::string_view what) {
    std::string message = "Field ";
    message += fd.name_view();
    message += ": ";
    message += what;
    throw dbf_exception(std::move(message), 0);
}

std::string quoted(std::string_view bytes) {
    std::string out = "'";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            out += c;
        } else {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    out += '\'';
    return out;
}

std::string_view trimmed(const char* bytes, uint32_t width) {
    std::string_view text(bytes, width);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\0')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    return text;
}

// ASCII text as the value, in the value's own buffer (no allocation once it has grown).
void set_ascii(ole_variant& out, std::string_view text) {
    std::u16string& buffer = out.wstring_buffer();
    buffer.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        buffer[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    }
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// An N or F field's text as the plain decimal it writes: sign, integer digits without leading
// zeros, and the fraction without trailing zeros. Blanks and asterisks (how DBF programs store
// an unknown or too wide value) are NULL.
void decode_decimal(const char* bytes, const dbf_field_descriptor& fd, uint32_t width,
                    const dbf_exact_field& ef, ole_variant& out, std::string& scratch) {
    const std::string_view text = trimmed(bytes, width);
    if (text.empty() || text.front() == '*') {
        out.set_null();
        return;
    }
    size_t i = 0;
    bool b_negative = false;
    if (text[i] == '-' || text[i] == '+') {
        b_negative = text[i] == '-';
        ++i;
    }
    const size_t int_start = i;
    while (i < text.size() && is_digit(text[i])) {
        ++i;
    }
    const std::string_view whole = text.substr(int_start, i - int_start);
    std::string_view fraction;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        const size_t start = ++i;
        while (i < text.size() && is_digit(text[i])) {
            ++i;
        }
        fraction = text.substr(start, i - start);
    }
    // Some writers put an exponent into wide F fields (1.3945052E+02).
    long exponent = 0;
    bool b_exponent_ok = true;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool b_negative_exponent = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
            b_negative_exponent = text[i] == '-';
            ++i;
        }
        const size_t start = i;
        while (i < text.size() && is_digit(text[i]) && exponent < 1000) {
            exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        b_exponent_ok = i > start;
        exponent = b_negative_exponent ? -exponent : exponent;
    }
    if (i != text.size() || !b_exponent_ok || (whole.empty() && fraction.empty())) {
        fail(fd, "the text " + quoted(text) + " is not a number");
    }
    // The significant digits, and where the point falls among them.
    scratch.assign(whole);
    scratch.append(fraction);
    long point = static_cast<long>(whole.size()) + exponent;
    size_t lead = 0;
    while (lead < scratch.size() && scratch[lead] == '0') {
        ++lead;
    }
    scratch.erase(0, lead);
    point -= static_cast<long>(lead);
    while (!scratch.empty() && scratch.back() == '0') {
        scratch.pop_back();
    }
    if (scratch.empty()) {
        set_ascii(out, "0");
        return;
    }
    const long size = static_cast<long>(scratch.size());
    const long integer_digits = point > 0 ? point : 0;
    const long fraction_digits = size > point ? size - point : 0;
    if (size > max_number_digits || integer_digits > ef.precision - ef.scale ||
        fraction_digits > ef.scale) {
        fail(fd, "the number " + quoted(text) + " has more digits than NUMBER(" +
                     std::to_string(ef.precision) + "," + std::to_string(ef.scale) + ") holds");
    }
    std::u16string& w = out.wstring_buffer();
    if (b_negative) {
        w += u'-';
    }
    if (point <= 0) {
        w += u"0.";
        w.append(static_cast<size_t>(-point), u'0');
    }
    for (long k = 0; k < size; ++k) {
        if (k == point && point > 0) {
            w += u'.';
        }
        w += static_cast<char16_t>(scratch[static_cast<size_t>(k)]);
    }
    if (point > size) {
        w.append(static_cast<size_t>(point - size), u'0');
    }
}

// A double in the shortest text that reads back as the same double.
void decode_double(double value, const dbf_field_descriptor& fd, ole_variant& out,
                   std::string& scratch) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<size_t>(r.ptr - buffer));
    if (!std::isfinite(value) || std::fabs(value) > number_max ||
        (value != 0.0 && std::fabs(value) < number_min)) {
        fail(fd, "the number " + std::string(text) + " is beyond the range of an Oracle NUMBER");
    }
    scratch.assign(text);
    set_ascii(out, scratch);
}

bool is_leap(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int64_t year, unsigned month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

void civil_from_days(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

// A point in time from days since 1970-01-01 and milliseconds of that day.
void set_moment(int64_t days, int64_t milliseconds, const dbf_field_descriptor& fd,
                ole_variant& out) {
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civil_from_days(days, year, month, day);
    if (year < 1 || year > 9999 || milliseconds < 0 || milliseconds >= 86400000) {
        fail(fd, "the date-time of day " + std::to_string(days) + " and millisecond " +
                     std::to_string(milliseconds) + " is no date Oracle holds");
    }
    t_systemtime st;
    st.year = static_cast<uint16_t>(year);
    st.month = static_cast<uint16_t>(month);
    st.day = static_cast<uint16_t>(day);
    st.day_of_week = static_cast<uint16_t>(((days % 7) + 11) % 7);
    st.hour = static_cast<uint16_t>(milliseconds / 3600000);
    st.minute = static_cast<uint16_t>(milliseconds / 60000 % 60);
    st.second = static_cast<uint16_t>(milliseconds / 1000 % 60);
    st.milliseconds = static_cast<uint16_t>(milliseconds % 1000);
    out.set_date(st);
}

void decode_date(const char* bytes, const dbf_field_descriptor& fd, uint32_t width,
                 ole_variant& out, std::vector<std::string>& notes) {
    const std::string_view text = trimmed(bytes, width);
    if (text.find_first_not_of('0') == std::string_view::npos) {
        out.set_null();  // blank or zeros: no date
        return;
    }
    bool b_digits = text.size() == 8;
    for (size_t i = 0; b_digits && i < 8; ++i) {
        b_digits = is_digit(text[i]);
    }
    if (b_digits) {
        int values[3] = {};
        std::from_chars(text.data(), text.data() + 4, values[0]);
        std::from_chars(text.data() + 4, text.data() + 6, values[1]);
        std::from_chars(text.data() + 6, text.data() + 8, values[2]);
        if (values[0] >= 1 && values[1] >= 1 && values[1] <= 12 && values[2] >= 1 &&
            values[2] <= days_in_month(values[0], static_cast<unsigned>(values[1]))) {
            t_systemtime st;
            st.year = static_cast<uint16_t>(values[0]);
            st.month = static_cast<uint16_t>(values[1]);
            st.day = static_cast<uint16_t>(values[2]);
            out.set_date(st);
            return;
        }
    }
    notes.push_back("Field " + std::string(fd.name_view()) + ": the date " + quoted(text) +
                    " does not exist; NULL was written");
    out.set_null();
}

}  // namespace

VARTYPE dbf_get_vartype_exact(const dbf_field_descriptor& fd, uint8_t version, uint32_t& reserved) {
    const bool level7 = dbf_is_level7(version);
    reserved = 0;
    switch (fd.type) {
        case 'N':
        case 'F': {
            // As many integer digits as the field has characters, beside its decimals: writers
            // move the point when a value is too wide for the declared decimals (107.1 in N(5,2)).
            int scale = fd.decimals;
            int precision = fd.length + scale;
            if (precision > max_number_digits) {
                precision = max_number_digits;
            }
            if (precision < scale) {
                precision = scale;
            }
            if (precision < 1) {
                precision = 1;
            }
            if (scale > precision) {
                scale = precision;
            }
            reserved = static_cast<uint32_t>(precision * 256 + scale);
            return VT_DECIMAL;
        }
        case 'I':
        case '+':
            return VT_I4;
        case 'O':
            return VT_R8;
        case 'B':
            return dbf_is_memo_type(fd, level7) ? VT_BLOB : VT_R8;
        case 'D':
            reserved = 2;
            return VT_DATE;
        case 'T':
        case '@':
            reserved = 3;
            return VT_DATE;
        case 'L':
            return VT_BOOL;
        case 'Y':
            return VT_CY;
        case 'M':
            return dbf_is_vfp(version) && (fd.vfp_flags() & 0x04) != 0 ? VT_BLOB : VT_BSTR;
        case 'G':
        case 'P':
        case 'W':
        case 'Q':
            return VT_BLOB;
        default:
            return VT_BSTR;
    }
}

bool dbf_is_vfp(uint8_t version) noexcept {
    return version == 0x30 || version == 0x31 || version == 0x32;
}

bool dbf_is_memo_type(const dbf_field_descriptor& fd, bool level7) {
    switch (fd.type) {
        case 'M':
        case 'G':
        case 'P':
        case 'W':
            return true;
        case 'B':
            // dBASE IV and 7 keep binary memos under B (a 10-digit block reference); Visual
            // FoxPro's B is an 8-byte double.
            return level7 || fd.length == 10;
        default:
            return false;
    }
}

uint32_t dbf_get_size_exact(const dbf_field_descriptor& fd, bool level7) {
    if (dbf_is_memo_type(fd, level7)) {
        return 0;
    }
    return dbf_get_size_2(fd);
}

void dbf_decode_exact(const char* bytes, const dbf_field_descriptor& fd, uint32_t width,
                      const dbf_exact_field& ef, int codepage, ole_variant& out,
                      std::string& scratch, std::vector<std::string>& notes) {
    switch (fd.type) {
        case 'N':
        case 'F':
            decode_decimal(bytes, fd, width, ef, out, scratch);
            return;
        case 'L': {
            switch (bytes[0]) {
                case 'T':
                case 't':
                case 'Y':
                case 'y':
                    out.set_bool(true);
                    return;
                case 'F':
                case 'f':
                case 'N':
                case 'n':
                    out.set_bool(false);
                    return;
                case '?':
                case ' ':
                case '\0':
                    out.set_null();
                    return;
                default:
                    notes.push_back("Field " + std::string(fd.name_view()) + ": the logical " +
                                    quoted(std::string_view(bytes, 1)) +
                                    " is neither true nor false; NULL was written");
                    out.set_null();
                    return;
            }
        }
        case 'D':
            decode_date(bytes, fd, width, out, notes);
            return;
        case 'I':
        case '+':
            if (ef.b_level7) {
                // Big-endian with the sign bit inverted, so that the bytes sort as the numbers.
                const uint32_t raw = be32(bytes);
                if (raw == 0) {
                    out.set_null();
                    return;
                }
                out.set_i4(static_cast<int32_t>(raw ^ 0x80000000u));
                return;
            }
            out.set_i4(static_cast<int32_t>(le32(bytes)));
            return;
        case 'Y':
            out.set_cy(ole_currency{static_cast<int64_t>(le64(bytes))});
            return;
        case 'B':
            decode_double(bits_to_double(le64(bytes)), fd, out, scratch);
            return;
        case 'O': {
            // Order-preserving image of a big-endian double: positive values have the sign bit
            // set, negative ones every bit inverted. Eight zero bytes hold no value.
            uint64_t raw = be64(bytes);
            if (raw == 0) {
                out.set_null();
                return;
            }
            raw = (raw & 0x8000000000000000ull) != 0 ? raw & 0x7FFFFFFFFFFFFFFFull : ~raw;
            decode_double(bits_to_double(raw), fd, out, scratch);
            return;
        }
        case '@': {
            // A big-endian double counting milliseconds from 0000-12-31T00:00.
            const uint64_t raw = be64(bytes);
            if (raw == 0) {
                out.set_null();
                return;
            }
            const double ms = bits_to_double(raw);
            if (!(ms >= 0 && ms < 4e14)) {
                fail(fd,
                     "the time stamp " + quoted(std::string_view(bytes, 8)) + " is no date-time");
            }
            const auto total = static_cast<int64_t>(std::llround(ms));
            const int64_t days = total / 86400000 + julian_day_one - 1 - julian_unix_epoch;
            set_moment(days, total % 86400000, fd, out);
            return;
        }
        case 'T': {
            const auto julian = static_cast<int32_t>(le32(bytes));
            const auto milliseconds = static_cast<int32_t>(le32(bytes + 4));
            if (julian == 0 && milliseconds == 0) {
                out.set_null();
                return;
            }
            if (julian < julian_day_one) {
                fail(fd, "the Julian day " + std::to_string(julian) + " is before the year 1");
            }
            // Visual FoxPro keeps whole seconds, computed through a double: a time one
            // millisecond short of a second (17:13:04.999) is the second it shows (17:13:05).
            int64_t days = julian - julian_unix_epoch;
            int64_t ms = milliseconds;
            if (ms % 1000 == 999) {
                ++ms;
                if (ms == 86400000) {
                    ms = 0;
                    ++days;
                }
            }
            set_moment(days, ms, fd, out);
            return;
        }
        case 'Q':
        case 'G':
        case 'P':
        case 'W':
            out.set_bytes(reinterpret_cast<const unsigned char*>(bytes), width);
            return;
        default:
            break;
    }
    // Text: C loses its trailing blanks; V is exactly as long as its length byte says.
    std::string_view text(bytes, width);
    if (fd.type != 'V') {
        text = std::string_view(bytes, strnlen(bytes, width));
        while (!text.empty() && text.back() == ' ') {
            text.remove_suffix(1);
        }
    }
    dbf_decode_text(text, codepage, out.wstring_buffer());
}
