#pragma once
// The CY (currency) value of OLE Automation: a signed 64-bit count of ten-thousandths. Parsing,
// rendering and conversions follow VarCyFromStr, VarBstrFromCy, VarCyFromR8 and the like, with
// banker's rounding and overflow failures, independent of the process locale.

#include <cstdint>
#include <string>
#include <string_view>

#include "udb/ole_number_text.hpp"
#include "udb/ole_types.hpp"

struct ole_currency {
    static constexpr int64_t scale_factor = 10000;
    int64_t int64 = 0;

    friend bool operator==(const ole_currency&, const ole_currency&) = default;
};
static_assert(sizeof(ole_currency) == 8);

// Text under the English (United States) rules, rounded half to even to four decimals.
ole_hresult ole_cy_from_str(std::string_view text, ole_currency& out);
ole_hresult ole_cy_from_str(std::u16string_view text, ole_currency& out);
ole_hresult ole_cy_from_parsed(const ole_parsed_number& number, ole_currency& out);

// "5" for 5.0000, "1.5", "-0.0009", "922337203685477.5807": no trailing zeros, "." always.
std::string ole_cy_to_string(const ole_currency& value);
void ole_cy_append(const ole_currency& value, std::string& out);

ole_hresult ole_cy_from_i64(int64_t value, ole_currency& out);
ole_hresult ole_cy_from_u64(uint64_t value, ole_currency& out);
// value * 10000 rounded half to even; DISP_E_OVERFLOW outside the range, for infinities and NaN.
ole_hresult ole_cy_from_r8(double value, ole_currency& out);
double ole_cy_to_r8(const ole_currency& value) noexcept;
// Rounded half to even to an integer in [min, max]; DISP_E_OVERFLOW outside.
ole_hresult ole_cy_to_i64(const ole_currency& value, int64_t min, int64_t max, int64_t& out);
ole_hresult ole_cy_to_u64(const ole_currency& value, uint64_t max, uint64_t& out);
