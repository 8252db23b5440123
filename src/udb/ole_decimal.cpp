#include "udb/ole_decimal.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "udb/ole_currency.hpp"

namespace {

ole_uint128 power_of_ten(int n) noexcept {
    ole_uint128 p = 1;
    for (int k = 0; k < n; ++k) {
        p *= 10;
    }
    return p;
}

// Rounds m / 10^drop half to even.
ole_uint128 divide_round_even(ole_uint128 m, int drop) noexcept {
    if (drop <= 0) {
        return m;
    }
    const ole_uint128 divisor = power_of_ten(drop);
    ole_uint128 q = m / divisor;
    const ole_uint128 r = m % divisor;
    const ole_uint128 twice = r * 2;  // r < 10^28: no overflow
    if (twice > divisor || (twice == divisor && (q & 1) != 0)) {
        ++q;
    }
    return q;
}

// Removes the trailing zeros of the fraction.
void normalize(ole_uint128& m, uint8_t& scale) noexcept {
    while (scale > 0 && m % 10 == 0) {
        m /= 10;
        --scale;
    }
}

}  // namespace

bool operator==(const ole_decimal& a, const ole_decimal& b) noexcept {
    ole_uint128 ma = a.mantissa();
    ole_uint128 mb = b.mantissa();
    if (ma == 0 && mb == 0) {
        return true;
    }
    uint8_t sa = a.scale;
    uint8_t sb = b.scale;
    normalize(ma, sa);
    normalize(mb, sb);
    return ma == mb && sa == sb && a.sign == b.sign;
}

ole_hresult ole_dec_check(const ole_decimal& value) {
    if (value.scale > ole_decimal::max_scale ||
        (value.sign != 0 && value.sign != ole_decimal::negative_sign)) {
        return OLE_E_INVALIDARG;
    }
    return OLE_S_OK;
}

ole_hresult ole_dec_from_parsed(const ole_parsed_number& n, ole_decimal& out) {
    out = ole_decimal{};
    if (n.is_based) {
        out.lo64 = n.base_value;
        return OLE_S_OK;
    }
    if (n.digit_count == 0) {
        return OLE_S_OK;
    }
    const int64_t integer_digits = static_cast<int64_t>(n.digit_count) + n.exponent;
    if (integer_digits > 29) {
        return DISP_E_OVERFLOW;
    }
    int64_t scale = n.exponent < 0 ? -static_cast<int64_t>(n.exponent) : 0;
    scale = std::min<int64_t>({scale, ole_decimal::max_scale, 29 - integer_digits});
    scale = std::max<int64_t>(scale, 0);
    // The exact value first; when its mantissa does not fit 96 bits, one digit less of the
    // fraction at a time, rounded half to even.
    for (;; --scale) {
        ole_uint128 m = 0;
        if (ole_scaled_magnitude(n, static_cast<int>(scale), m) && m <= ole_decimal_max_mantissa) {
            auto s = static_cast<uint8_t>(scale);
            normalize(m, s);
            out.scale = s;
            out.set_mantissa(m);
            out.sign = (n.negative && m != 0) ? ole_decimal::negative_sign : 0;
            return OLE_S_OK;
        }
        if (scale == 0) {
            return DISP_E_OVERFLOW;
        }
    }
}

ole_hresult ole_dec_from_str(std::string_view text, ole_decimal& out) {
    return ole_parse_into(text, out, ole_dec_from_parsed);
}

ole_hresult ole_dec_from_str(std::u16string_view text, ole_decimal& out) {
    return ole_parse_into(text, out, ole_dec_from_parsed);
}

void ole_dec_append(const ole_decimal& value, std::string& out) {
    ole_append_scaled(value.is_negative(), value.mantissa(), value.scale, out);
}

std::string ole_dec_to_string(const ole_decimal& value) {
    std::string text;
    ole_dec_append(value, text);
    return text;
}

ole_decimal ole_dec_from_i64(int64_t value) noexcept {
    ole_decimal d;
    if (value < 0) {
        d.sign = ole_decimal::negative_sign;
        d.lo64 = 0 - static_cast<uint64_t>(value);
    } else {
        d.lo64 = static_cast<uint64_t>(value);
    }
    return d;
}

ole_decimal ole_dec_from_u64(uint64_t value) noexcept {
    ole_decimal d;
    d.lo64 = value;
    return d;
}

namespace {

ole_hresult dec_from_binary(double value, int significant, ole_decimal& out) {
    if (!std::isfinite(value)) {
        return DISP_E_OVERFLOW;
    }
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                           significant - 1);
    ole_parsed_number n;
    const ole_hresult hr = ole_parse_number(std::string_view(buffer, r.ptr - buffer), n);
    if (ole_failed(hr)) {
        return hr;
    }
    return ole_dec_from_parsed(n, out);
}

}  // namespace

ole_hresult ole_dec_from_r8(double value, ole_decimal& out) {
    return dec_from_binary(value, 15, out);
}

ole_hresult ole_dec_from_r4(float value, ole_decimal& out) {
    return dec_from_binary(static_cast<double>(value), 7, out);
}

ole_decimal ole_dec_from_cy(const ole_currency& value) noexcept {
    ole_decimal d = ole_dec_from_i64(value.int64);
    d.scale = 4;
    return d;
}

double ole_dec_to_r8(const ole_decimal& value) noexcept {
    const ole_uint128 m = value.mantissa();
    double result = 0.0;
    if (m < (static_cast<ole_uint128>(1) << 53) && value.scale <= 22) {
        // Both operands are exact doubles: one correctly rounded division.
        static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        result = static_cast<double>(static_cast<uint64_t>(m)) / powers[value.scale];
    } else {
        char digits[48];
        const int length = ole_magnitude_digits(m, digits);
        char buffer[64];
        char* p = std::copy(digits, digits + length, buffer);
        *p++ = 'e';
        p = std::to_chars(p, buffer + sizeof buffer, -static_cast<int>(value.scale)).ptr;
        std::from_chars(buffer, p, result);
    }
    return value.is_negative() ? -result : result;
}

ole_hresult ole_dec_to_i64(const ole_decimal& value, int64_t min, int64_t max, int64_t& out) {
    const ole_uint128 q = divide_round_even(value.mantissa(), value.scale);
    if (value.is_negative() && q != 0) {
        const ole_uint128 limit = static_cast<ole_uint128>(-(min + 1)) + 1;
        if (q > limit) {
            return DISP_E_OVERFLOW;
        }
        out = -static_cast<int64_t>(q - 1) - 1;
        return OLE_S_OK;
    }
    if (q > static_cast<ole_uint128>(max)) {
        return DISP_E_OVERFLOW;
    }
    out = static_cast<int64_t>(q);
    return OLE_S_OK;
}

ole_hresult ole_dec_to_u64(const ole_decimal& value, uint64_t max, uint64_t& out) {
    const ole_uint128 q = divide_round_even(value.mantissa(), value.scale);
    if ((value.is_negative() && q != 0) || q > max) {
        return DISP_E_OVERFLOW;
    }
    out = static_cast<uint64_t>(q);
    return OLE_S_OK;
}

ole_hresult ole_dec_to_cy(const ole_decimal& value, ole_currency& out) {
    ole_uint128 m = value.mantissa();
    if (value.scale <= 4) {
        m *= power_of_ten(4 - value.scale);
    } else {
        m = divide_round_even(m, value.scale - 4);
    }
    const ole_uint128 limit = static_cast<ole_uint128>(INT64_MAX) + (value.is_negative() ? 1 : 0);
    if (m > limit) {
        return DISP_E_OVERFLOW;
    }
    if (value.is_negative() && m != 0) {
        out.int64 = -static_cast<int64_t>(m - 1) - 1;
    } else {
        out.int64 = static_cast<int64_t>(m);
    }
    return OLE_S_OK;
}
