#pragma once
// Reading numbers from text the way OLE Automation reads them under the English (United States)
// rules: optional blanks around, a leading or trailing sign, parentheses for negative numbers, a
// "$" before or after, "," as thousands separator anywhere after the first digit, "." as decimal
// point, an exponent ("1.5E-3"), and the "&H" / "&O" forms for hexadecimal and octal integers.
// The whole text must be used. Digits are kept exactly (up to ole_parsed_number::max_digits
// significant digits, with a note whether non-zero digits were dropped beyond them), so the
// conversions to DECIMAL, CY and the integers round exactly.

#include <cstdint>
#include <string>
#include <string_view>

#include "udb/ole_types.hpp"

__extension__ typedef unsigned __int128 ole_uint128;

struct ole_parsed_number {
    // Enough for the nearest double of any text to come out exact (a halfway point between two
    // doubles has at most 767 significant digits).
    static constexpr int max_digits = 800;

    bool negative = false;
    // "&H" or "&O" form: the value is base_value (the sign still applies).
    bool is_based = false;
    uint64_t base_value = 0;
    // Decimal form: value = 0.d1d2d3... shifted so that value = digits * 10^exponent, with the
    // digits taken as an integer. No leading or trailing zeros are kept; zero has no digits.
    char digits[max_digits];  // 0..9 each; only [0, digit_count) is meaningful
    int digit_count = 0;
    bool dropped_nonzero = false;  // non-zero digits beyond max_digits were dropped
    int32_t exponent = 0;

    void reset() noexcept {
        negative = false;
        is_based = false;
        base_value = 0;
        digit_count = 0;
        dropped_nonzero = false;
        exponent = 0;
    }
    bool is_zero() const noexcept { return is_based ? base_value == 0 : digit_count == 0; }
};

// S_OK, DISP_E_TYPEMISMATCH (not a number, or text left over) or DISP_E_OVERFLOW (a hexadecimal
// or octal number beyond 64 bits).
ole_hresult ole_parse_number(std::u16string_view text, ole_parsed_number& out);
ole_hresult ole_parse_number(std::string_view text, ole_parsed_number& out);

// Reads the text with the rules above, then builds the value (currency, decimal) from it.
template <class Text, class Value>
ole_hresult ole_parse_into(Text text, Value& out,
                           ole_hresult (*build)(const ole_parsed_number&, Value&)) {
    ole_parsed_number number;
    const ole_hresult hr = ole_parse_number(text, number);
    return ole_failed(hr) ? hr : build(number, out);
}

// The value times 10^shift, rounded to an integer half to even, as a magnitude. False when the
// result has more than 38 digits (the caller reports an overflow).
bool ole_scaled_magnitude(const ole_parsed_number& number, int shift, ole_uint128& out);

// Decimal digits of a magnitude below 10^38 (no sign, no leading zeros; "0" for zero) into a
// buffer of at least 40 characters; returns the digit count.
int ole_magnitude_digits(ole_uint128 magnitude, char* buffer) noexcept;
// Appends magnitude / 10^scale as plain digits: "-" for a negative non-zero value, "." before the
// fraction, no trailing zeros of the fraction, "0." before a fraction below one.
void ole_append_scaled(bool negative, ole_uint128 magnitude, int scale, std::string& out);

// The value as the nearest double; DISP_E_OVERFLOW beyond the double range.
ole_hresult ole_parsed_to_double(const ole_parsed_number& number, double& out);

// Integer targets: rounded half to even, then checked against [min, max].
ole_hresult ole_parsed_to_int64(const ole_parsed_number& number, int64_t min, int64_t max,
                                int64_t& out);
ole_hresult ole_parsed_to_uint64(const ole_parsed_number& number, uint64_t max, uint64_t& out);
