#include "udb/ole_number_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

// Exponents beyond this cannot change the outcome (every target overflows or reads zero), and
// capping them keeps the arithmetic on exponents free of overflow for absurd texts.
constexpr int32_t exponent_cap = 100000;

template <class Char>
bool is_blank(Char c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

template <class Char>
bool is_digit(Char c) {
    return c >= '0' && c <= '9';
}

template <class Char>
ole_hresult parse(std::basic_string_view<Char> text, ole_parsed_number& n) {
    n.reset();
    const size_t size = text.size();
    size_t i = 0;
    auto at = [&](size_t k) -> Char { return k < size ? text[k] : Char(0); };

    bool leading_plus = false;
    bool leading_minus = false;
    bool currency = false;
    bool parens = false;
    bool decimal = false;
    bool leading_zero = false;
    int digits_seen = 0;  // kept and dropped decimal digits

    auto skip_zeros_after_point = [&] {
        while (at(i) == '0') {
            leading_zero = true;
            ++i;
            if (n.exponent > -exponent_cap) {
                --n.exponent;
            }
        }
    };

    // Signs, blanks, currency symbol, an opening parenthesis, or a point before the digits.
    for (;;) {
        const Char c = at(i);
        if (i >= size) {
            break;
        }
        if (c == '.') {
            decimal = true;
            ++i;
            skip_zeros_after_point();
            break;
        }
        if (is_blank(c)) {
            ++i;
        } else if (c == ',') {
            return DISP_E_TYPEMISMATCH;  // no thousands separator before the first digit
        } else if (c == '+' && !leading_plus) {
            leading_plus = true;
            ++i;
        } else if (c == '-' && !leading_minus) {
            leading_minus = true;
            n.negative = true;
            ++i;
        } else if (c == '$' && !currency) {
            currency = true;
            ++i;
        } else if (c == '(' && !parens) {
            parens = true;
            ++i;
        } else {
            break;
        }
    }

    int base_shift = 0;
    if (!currency && !decimal && at(i) == '&') {
        const Char k = at(i + 1);
        if (k == 'H' || k == 'h') {
            base_shift = 4;
        } else if (k == 'O' || k == 'o') {
            base_shift = 3;
        }
        if (base_shift != 0) {
            n.is_based = true;
            i += 2;
        }
    }

    while (at(i) == '0' && i < size) {
        leading_zero = true;
        ++i;
    }

    bool exponent_seen = false;
    int based_digits = 0;
    while (i < size) {
        const Char c = text[i];
        if (is_digit(c)) {
            const int d = static_cast<int>(c - '0');
            if (n.is_based) {
                if (base_shift == 3 && d > 7) {
                    break;
                }
                if (n.base_value > (std::numeric_limits<uint64_t>::max() >> base_shift)) {
                    return DISP_E_OVERFLOW;
                }
                n.base_value = (n.base_value << base_shift) | static_cast<uint64_t>(d);
                ++based_digits;
            } else {
                if (n.digit_count < ole_parsed_number::max_digits) {
                    n.digits[n.digit_count++] = static_cast<char>(d);
                    if (decimal && n.exponent > -exponent_cap) {
                        --n.exponent;
                    }
                } else {
                    if (d != 0) {
                        n.dropped_nonzero = true;
                    }
                    if (!decimal && n.exponent < exponent_cap) {
                        ++n.exponent;
                    }
                }
                ++digits_seen;
            }
            ++i;
        } else if (c == ',' && !n.is_based) {
            ++i;
        } else if (c == '.' && !n.is_based && !decimal) {
            decimal = true;
            ++i;
            if (digits_seen == 0) {
                skip_zeros_after_point();
            }
        } else if (n.is_based && base_shift == 4 &&
                   ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            const int d =
                (c >= 'a') ? static_cast<int>(c - 'a' + 10) : static_cast<int>(c - 'A' + 10);
            if (n.base_value > (std::numeric_limits<uint64_t>::max() >> 4)) {
                return DISP_E_OVERFLOW;
            }
            n.base_value = (n.base_value << 4) | static_cast<uint64_t>(d);
            ++based_digits;
            ++i;
        } else if ((c == 'e' || c == 'E') && !n.is_based && !currency) {
            exponent_seen = true;
            ++i;
            bool negative_exponent = false;
            if (at(i) == '+' || at(i) == '-') {
                negative_exponent = at(i) == '-';
                ++i;
            }
            if (i >= size || !is_digit(text[i])) {
                return DISP_E_TYPEMISMATCH;  // an exponent without digits
            }
            int32_t value = 0;
            while (i < size && is_digit(text[i])) {
                if (value < exponent_cap) {
                    value = value * 10 + static_cast<int32_t>(text[i] - '0');
                }
                ++i;
            }
            n.exponent += negative_exponent ? -value : value;
            n.exponent = std::max(-2 * exponent_cap, std::min(2 * exponent_cap, n.exponent));
            break;
        } else {
            break;
        }
    }
    (void)exponent_seen;

    // Trailing zeros carry no value: fold them into the exponent.
    while (n.digit_count > 0 && n.digits[n.digit_count - 1] == 0 && !n.dropped_nonzero) {
        --n.digit_count;
        ++n.exponent;
    }
    if (n.digit_count == 0) {
        n.exponent = 0;
        n.dropped_nonzero = false;
    }

    // Blanks, a trailing sign, the closing parenthesis or a currency symbol after the digits.
    bool closed = false;
    for (;;) {
        if (i >= size) {
            break;
        }
        const Char c = text[i];
        if (c == ',' && !n.is_based) {
            ++i;
        } else if (is_blank(c)) {
            ++i;
        } else if (c == '+' && !leading_plus) {
            leading_plus = true;
            ++i;
        } else if (c == '-' && !leading_minus) {
            leading_minus = true;
            n.negative = true;
            ++i;
        } else if (c == ')' && parens && !closed) {
            closed = true;
            n.negative = true;
            ++i;
        } else if (c == '$' && !n.is_based) {
            ++i;
        } else {
            break;
        }
    }
    if (parens && !closed) {
        return DISP_E_TYPEMISMATCH;
    }
    if (i != size) {
        return DISP_E_TYPEMISMATCH;
    }
    const bool any_digit = n.is_based ? based_digits > 0 : (digits_seen > 0 || leading_zero);
    if (!any_digit) {
        return DISP_E_TYPEMISMATCH;
    }
    if (n.is_zero()) {
        n.negative = false;  // no negative zero
    }
    return OLE_S_OK;
}

}  // namespace

ole_hresult ole_parse_number(std::u16string_view text, ole_parsed_number& out) {
    return parse<char16_t>(text, out);
}

ole_hresult ole_parse_number(std::string_view text, ole_parsed_number& out) {
    return parse<char>(text, out);
}

int ole_magnitude_digits(ole_uint128 m, char* buffer) noexcept {
    constexpr uint64_t ten19 = 10000000000000000000ull;
    if (m <= UINT64_MAX) {
        auto r = std::to_chars(buffer, buffer + 40, static_cast<uint64_t>(m));
        return static_cast<int>(r.ptr - buffer);
    }
    const auto high = static_cast<uint64_t>(m / ten19);
    const auto low = static_cast<uint64_t>(m % ten19);
    char* p = std::to_chars(buffer, buffer + 40, high).ptr;
    char tail[20];
    auto t = std::to_chars(tail, tail + 20, low);
    const int tail_length = static_cast<int>(t.ptr - tail);
    p = std::fill_n(p, 19 - tail_length, '0');
    p = std::copy(tail, t.ptr, p);
    return static_cast<int>(p - buffer);
}

void ole_append_scaled(bool negative, ole_uint128 m, int scale, std::string& out) {
    char digits[48];
    const int length = ole_magnitude_digits(m, digits);
    // Trailing zeros of the fraction are not printed.
    int shown = length;
    int fraction = scale;
    while (fraction > 0 && shown > 0 && digits[shown - 1] == '0') {
        --shown;
        --fraction;
    }
    if (m == 0) {
        out += '0';
        return;
    }
    if (negative) {
        out += '-';
    }
    if (fraction == 0) {
        out.append(digits, static_cast<size_t>(shown));
        return;
    }
    if (shown <= fraction) {
        out += "0.";
        out.append(static_cast<size_t>(fraction - shown), '0');
        out.append(digits, static_cast<size_t>(shown));
        return;
    }
    out.append(digits, static_cast<size_t>(shown - fraction));
    out += '.';
    out.append(digits + (shown - fraction), static_cast<size_t>(fraction));
}

bool ole_scaled_magnitude(const ole_parsed_number& n, int shift, ole_uint128& out) {
    out = 0;
    if (n.is_based) {
        out = n.base_value;
        for (int k = 0; k < shift; ++k) {
            out *= 10;  // shift is small (at most 4) for based numbers
        }
        return true;
    }
    if (n.digit_count == 0) {
        return true;
    }
    const int64_t e = static_cast<int64_t>(n.exponent) + shift;
    const int64_t integer_digits = n.digit_count + e;
    if (integer_digits > 38) {
        return false;
    }
    if (e >= 0) {
        for (int k = 0; k < n.digit_count; ++k) {
            out = out * 10 + static_cast<unsigned>(n.digits[k]);
        }
        for (int64_t k = 0; k < e; ++k) {
            out *= 10;
        }
        return true;
    }
    // Keep the leading integer_digits digits and round on the rest, half to even.
    const int64_t keep = integer_digits;
    for (int64_t k = 0; k < keep; ++k) {
        out = out * 10 + static_cast<unsigned>(n.digits[k]);
    }
    int first_dropped = 0;
    bool rest_nonzero = n.dropped_nonzero;
    if (keep >= 0) {
        first_dropped = n.digits[keep];  // keep < digit_count because e < 0
        for (int k = static_cast<int>(keep) + 1; k < n.digit_count; ++k) {
            rest_nonzero = rest_nonzero || n.digits[k] != 0;
        }
    } else {
        rest_nonzero = true;  // a value below a tenth of the last kept unit: digits exist
    }
    const bool round_up =
        first_dropped > 5 || (first_dropped == 5 && (rest_nonzero || (out & 1) != 0));
    if (round_up) {
        ++out;
    }
    return true;
}

ole_hresult ole_parsed_to_double(const ole_parsed_number& n, double& out) {
    if (n.is_based) {
        out = static_cast<double>(n.base_value);
        return OLE_S_OK;
    }
    if (n.digit_count == 0) {
        out = 0.0;
        return OLE_S_OK;
    }
    // d.ddd...[1]e<exp>: an extra 1 stands for dropped non-zero digits so that halfway cases
    // round the way the full text would.
    char buffer[ole_parsed_number::max_digits + 32];
    char* p = buffer;
    *p++ = static_cast<char>('0' + n.digits[0]);
    *p++ = '.';
    for (int k = 1; k < n.digit_count; ++k) {
        *p++ = static_cast<char>('0' + n.digits[k]);
    }
    if (n.dropped_nonzero) {
        *p++ = '1';
    }
    *p++ = 'e';
    const int64_t e10 = static_cast<int64_t>(n.exponent) + n.digit_count - 1;
    auto [end, ec] = std::to_chars(p, buffer + sizeof buffer, e10);
    (void)ec;
    double value = 0.0;
    const auto result = std::from_chars(buffer, end, value);
    if (result.ec == std::errc::result_out_of_range) {
        if (e10 > 0) {
            return DISP_E_OVERFLOW;
        }
        value = 0.0;  // below the smallest double: reads as zero
    }
    out = n.negative ? -value : value;
    return OLE_S_OK;
}

ole_hresult ole_parsed_to_int64(const ole_parsed_number& n, int64_t min, int64_t max,
                                int64_t& out) {
    if (n.is_based) {
        // A hexadecimal or octal number is a bit pattern of the target's width.
        const uint64_t span = static_cast<uint64_t>(max) - static_cast<uint64_t>(min);
        if (n.base_value > span) {
            return DISP_E_OVERFLOW;
        }
        out = n.base_value > static_cast<uint64_t>(max)
                  ? static_cast<int64_t>(n.base_value - span - 1)
                  : static_cast<int64_t>(n.base_value);
        return OLE_S_OK;
    }
    ole_uint128 magnitude = 0;
    if (!ole_scaled_magnitude(n, 0, magnitude)) {
        return DISP_E_OVERFLOW;
    }
    if (n.negative && magnitude != 0) {
        const ole_uint128 limit = static_cast<ole_uint128>(-(min + 1)) + 1;
        if (magnitude > limit) {
            return DISP_E_OVERFLOW;
        }
        out = static_cast<int64_t>(-static_cast<int64_t>(magnitude - 1) - 1);
        return OLE_S_OK;
    }
    if (magnitude > static_cast<ole_uint128>(max)) {
        return DISP_E_OVERFLOW;
    }
    out = static_cast<int64_t>(magnitude);
    return OLE_S_OK;
}

ole_hresult ole_parsed_to_uint64(const ole_parsed_number& n, uint64_t max, uint64_t& out) {
    if (n.is_based) {
        if (n.base_value > max) {
            return DISP_E_OVERFLOW;
        }
        out = n.base_value;
        return OLE_S_OK;
    }
    ole_uint128 magnitude = 0;
    if (!ole_scaled_magnitude(n, 0, magnitude)) {
        return DISP_E_OVERFLOW;
    }
    if (n.negative && magnitude != 0) {
        return DISP_E_OVERFLOW;
    }
    if (magnitude > max) {
        return DISP_E_OVERFLOW;
    }
    out = static_cast<uint64_t>(magnitude);
    return OLE_S_OK;
}
