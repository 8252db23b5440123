#include "ora/ora_varnum.hpp"

namespace {

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

bool to_ora_varnum(std::u16string_view text, ora_varnum& out) {
    size_t i = 0;
    const bool b_negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        ++i;
    }
    // The significant digits, and the power of ten of the place before the first of them:
    // value = 0.d1d2d3... x 10^point.
    char digits[42];
    size_t count = 0;
    long point = 0;
    bool b_point = false;
    bool b_any = false;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'.' && !b_point) {
            b_point = true;
            continue;
        }
        if (!is_digit(c)) {
            break;
        }
        b_any = true;
        if (count == 0 && c == u'0') {
            if (b_point) {
                --point;  // a leading zero after the point
            }
            continue;
        }
        if (count == 40) {
            if (c != u'0') {
                return false;  // more digits than a NUMBER keeps
            }
        } else {
            digits[count++] = static_cast<char>(c - u'0');
        }
        if (!b_point) {
            ++point;
        }
    }
    if (!b_any) {
        return false;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        const bool b_minus = i < text.size() && text[i] == u'-';
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
            ++i;
        }
        const size_t start = i;
        long exponent = 0;
        for (; i < text.size() && is_digit(text[i]); ++i) {
            if (exponent < 100000) {
                exponent = exponent * 10 + (text[i] - u'0');
            }
        }
        if (i == start) {
            return false;
        }
        point += b_minus ? -exponent : exponent;
    }
    if (i != text.size()) {
        return false;
    }
    while (count > 0 && digits[count - 1] == 0) {
        --count;
    }
    if (count == 0) {
        out[0] = 1;
        out[1] = 0x80;  // zero
        return true;
    }
    // Base-100 digits start on an even power of ten: an odd one gets a leading zero.
    if (point % 2 != 0) {
        for (size_t k = count; k > 0; --k) {
            digits[k] = digits[k - 1];
        }
        digits[0] = 0;
        ++count;
        ++point;
    }
    if (count % 2 != 0) {
        digits[count++] = 0;
    }
    const size_t pairs = count / 2;
    // value = 0.p1p2... x 100^(point/2); p1's place is 100^(point/2 - 1).
    const long exponent = point / 2 - 1;
    if (pairs > 20 || exponent < -65 || exponent > 62) {
        return false;
    }
    const auto exponent_byte = static_cast<unsigned char>(exponent + 193);
    out[1] = b_negative ? static_cast<unsigned char>(~exponent_byte) : exponent_byte;
    for (size_t k = 0; k < pairs; ++k) {
        const int pair = digits[2 * k] * 10 + digits[2 * k + 1];
        out[2 + k] = static_cast<unsigned char>(b_negative ? 101 - pair : pair + 1);
    }
    size_t length = 1 + pairs;
    if (b_negative && pairs < 20) {
        out[2 + pairs] = 102;  // ends a negative number shorter than the longest
        ++length;
    }
    out[0] = static_cast<unsigned char>(length);
    return true;
}
