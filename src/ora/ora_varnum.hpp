#pragma once
// Oracle's own number form, built from decimal text in the client: a bound number is then read
// by the server as it stands, whatever decimal separator the session's language uses.

#include <array>
#include <cstdint>
#include <string_view>

// VARNUM: a count byte, then the exponent byte and up to 20 base-100 digits of a NUMBER.
using ora_varnum = std::array<unsigned char, 22>;

// The number of a decimal text (sign, digits with at most one point, optional exponent), or
// false when the text is none, or needs more than 40 significant digits, or lies outside the
// range of a NUMBER: such a value is left to the server's own reading of the text.
bool to_ora_varnum(std::u16string_view text, ora_varnum& out);
