#include "udb/ole_currency.hpp"

#include <cmath>

namespace {

constexpr int64_t max_whole_units = INT64_MAX / ole_currency::scale_factor;  // 922337203685477

ole_hresult from_magnitude(bool negative, ole_uint128 m, ole_currency& out) {
    const ole_uint128 limit = static_cast<ole_uint128>(INT64_MAX) + (negative ? 1 : 0);
    if (m > limit) {
        return DISP_E_OVERFLOW;
    }
    if (negative && m != 0) {
        out.int64 = -static_cast<int64_t>(m - 1) - 1;
    } else {
        out.int64 = static_cast<int64_t>(m);
    }
    return OLE_S_OK;
}

// Rounds int64 / 10000 half to even.
void split_round_even(int64_t c, bool& negative, uint64_t& q) {
    negative = c < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(c) : static_cast<uint64_t>(c);
    q = magnitude / ole_currency::scale_factor;
    const uint64_t r = magnitude % ole_currency::scale_factor;
    if (r > 5000 || (r == 5000 && (q & 1) != 0)) {
        ++q;
    }
}

}  // namespace

ole_hresult ole_cy_from_parsed(const ole_parsed_number& n, ole_currency& out) {
    ole_uint128 m = 0;
    if (!ole_scaled_magnitude(n, 4, m)) {
        return DISP_E_OVERFLOW;
    }
    return from_magnitude(n.negative && !n.is_based, m, out);
}

ole_hresult ole_cy_from_str(std::string_view text, ole_currency& out) {
    return ole_parse_into(text, out, ole_cy_from_parsed);
}

ole_hresult ole_cy_from_str(std::u16string_view text, ole_currency& out) {
    return ole_parse_into(text, out, ole_cy_from_parsed);
}

void ole_cy_append(const ole_currency& value, std::string& out) {
    const bool negative = value.int64 < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(value.int64) : static_cast<uint64_t>(value.int64);
    ole_append_scaled(negative, magnitude, 4, out);
}

std::string ole_cy_to_string(const ole_currency& value) {
    std::string text;
    ole_cy_append(value, text);
    return text;
}

ole_hresult ole_cy_from_i64(int64_t value, ole_currency& out) {
    // The range is not symmetric in whole units: -922337203685478 would need
    // -9223372036854780000, below the smallest 64-bit count.
    if (value > max_whole_units || value < -max_whole_units) {
        return DISP_E_OVERFLOW;
    }
    out.int64 = value * ole_currency::scale_factor;
    return OLE_S_OK;
}

ole_hresult ole_cy_from_u64(uint64_t value, ole_currency& out) {
    if (value > static_cast<uint64_t>(max_whole_units)) {
        return DISP_E_OVERFLOW;
    }
    out.int64 = static_cast<int64_t>(value) * ole_currency::scale_factor;
    return OLE_S_OK;
}

ole_hresult ole_cy_from_r8(double value, ole_currency& out) {
    const double scaled = value * static_cast<double>(ole_currency::scale_factor);
    // NaN fails both comparisons.
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) {
        return DISP_E_OVERFLOW;
    }
    double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    if (!(whole < 9223372036854775808.0)) {
        return DISP_E_OVERFLOW;
    }
    out.int64 = static_cast<int64_t>(whole);
    return OLE_S_OK;
}

double ole_cy_to_r8(const ole_currency& value) noexcept {
    return static_cast<double>(value.int64) / static_cast<double>(ole_currency::scale_factor);
}

ole_hresult ole_cy_to_i64(const ole_currency& value, int64_t min, int64_t max, int64_t& out) {
    bool negative = false;
    uint64_t q = 0;
    split_round_even(value.int64, negative, q);
    if (negative && q != 0) {
        if (q > static_cast<uint64_t>(-(min + 1)) + 1) {
            return DISP_E_OVERFLOW;
        }
        out = -static_cast<int64_t>(q - 1) - 1;
        return OLE_S_OK;
    }
    if (q > static_cast<uint64_t>(max)) {
        return DISP_E_OVERFLOW;
    }
    out = static_cast<int64_t>(q);
    return OLE_S_OK;
}

ole_hresult ole_cy_to_u64(const ole_currency& value, uint64_t max, uint64_t& out) {
    bool negative = false;
    uint64_t q = 0;
    split_round_even(value.int64, negative, q);
    if ((negative && q != 0) || q > max) {
        return DISP_E_OVERFLOW;
    }
    out = q;
    return OLE_S_OK;
}
