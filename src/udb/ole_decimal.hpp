#pragma once
// The exact DECIMAL value of OLE Automation: a 96-bit unsigned mantissa, a power-of-ten scale
// from 0 to 28 and a sign, value = (-1)^sign * mantissa / 10^scale. Parsing, rendering and the
// conversions to and from the other numeric kinds follow the published conversion functions
// (VarDecFromStr, VarBstrFromDec, VarDecFromR8, VarI4FromDec, ...) with their rounding and
// their overflow failures, and never depend on the process locale.

#include <cstdint>
#include <string>
#include <string_view>

#include "udb/ole_number_text.hpp"
#include "udb/ole_types.hpp"

struct ole_currency;

struct ole_decimal {
    static constexpr uint8_t max_scale = 28;
    static constexpr uint8_t negative_sign = 0x80;

    uint16_t reserved = 0;
    uint8_t scale = 0;
    uint8_t sign = 0;  // 0 or 0x80
    uint32_t hi32 = 0;
    uint64_t lo64 = 0;

    bool is_negative() const noexcept { return sign == negative_sign; }
    bool is_zero() const noexcept { return hi32 == 0 && lo64 == 0; }
    ole_uint128 mantissa() const noexcept { return (static_cast<ole_uint128>(hi32) << 64) | lo64; }
    // The mantissa must fit in 96 bits.
    void set_mantissa(ole_uint128 m) noexcept {
        hi32 = static_cast<uint32_t>(m >> 64);
        lo64 = static_cast<uint64_t>(m);
    }
    // Equal values (1.50 equals 1.5).
    friend bool operator==(const ole_decimal& a, const ole_decimal& b) noexcept;
};
static_assert(sizeof(ole_decimal) == 16);

constexpr ole_uint128 ole_decimal_max_mantissa = (static_cast<ole_uint128>(1) << 96) - 1;

// Text under the English (United States) rules; up to 29 significant digits are kept, further
// digits round half to even; trailing zeros of the fraction are not kept in the scale.
// DISP_E_TYPEMISMATCH for text that is no number, DISP_E_OVERFLOW beyond
// +-79228162514264337593543950335.
ole_hresult ole_dec_from_str(std::string_view text, ole_decimal& out);
ole_hresult ole_dec_from_str(std::u16string_view text, ole_decimal& out);
ole_hresult ole_dec_from_parsed(const ole_parsed_number& number, ole_decimal& out);

// Plain digits with "." before the fraction, without exponent and without trailing zeros of the
// fraction ("1.5" for 1.50, "1" for 1.000, "-0.0009"); zero is "0".
std::string ole_dec_to_string(const ole_decimal& value);
// Appends the rendering to out (no allocation when out has room).
void ole_dec_append(const ole_decimal& value, std::string& out);

ole_decimal ole_dec_from_i64(int64_t value) noexcept;
ole_decimal ole_dec_from_u64(uint64_t value) noexcept;
// Rounded to 15 significant digits like VarDecFromR8 (7 for a float); overflow beyond the range,
// for infinities and NaN.
ole_hresult ole_dec_from_r8(double value, ole_decimal& out);
ole_hresult ole_dec_from_r4(float value, ole_decimal& out);
ole_decimal ole_dec_from_cy(const ole_currency& value) noexcept;

double ole_dec_to_r8(const ole_decimal& value) noexcept;
// Rounded half to even to an integer in [min, max]; DISP_E_OVERFLOW outside.
ole_hresult ole_dec_to_i64(const ole_decimal& value, int64_t min, int64_t max, int64_t& out);
ole_hresult ole_dec_to_u64(const ole_decimal& value, uint64_t max, uint64_t& out);
// Rounded half to even to four decimals; DISP_E_OVERFLOW beyond the currency range.
ole_hresult ole_dec_to_cy(const ole_decimal& value, ole_currency& out);
// OLE_E_INVALIDARG for a scale above 28 or a sign byte other than 0 and 0x80.
ole_hresult ole_dec_check(const ole_decimal& value);
