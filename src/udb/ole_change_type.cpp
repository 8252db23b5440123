#include "udb/ole_change_type.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

#include "udb/ole_number_text.hpp"
#include "udb/ole_variant.hpp"

namespace {

bool is_signed_integer(VARTYPE vt) {
    return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_I8;
}

bool is_unsigned_integer(VARTYPE vt) {
    return vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT || vt == VT_UI8;
}

int width_of(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 8;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 16;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return 32;
        default:
            return 64;
    }
}

int64_t signed_value(const ole_variant& v) {
    switch (v.vt()) {
        case VT_I1:
            return v.i1();
        case VT_I2:
            return v.i2();
        case VT_I4:
        case VT_INT:
            return v.i4();
        case VT_BOOL:
            return v.variant_bool();
        default:
            return v.i8();
    }
}

uint64_t unsigned_value(const ole_variant& v) {
    switch (v.vt()) {
        case VT_UI1:
            return v.ui1();
        case VT_UI2:
            return v.ui2();
        case VT_UI4:
        case VT_UINT:
            return v.ui4();
        default:
            return v.ui8();
    }
}

// A signed kind becomes the unsigned kind of the same width by its bit pattern (and a boolean
// any unsigned kind), as do the 32- and 64-bit unsigned kinds the signed ones; every other pair
// is range-checked.
bool exchanges_bits(VARTYPE from, VARTYPE to) {
    if (from == VT_BOOL) {
        return is_unsigned_integer(to);
    }
    if (width_of(from) != width_of(to)) {
        return false;
    }
    if (is_signed_integer(from) && is_unsigned_integer(to)) {
        return true;
    }
    return is_unsigned_integer(from) && is_signed_integer(to) && width_of(from) >= 32;
}

ole_hresult round_double(double d, int bits, bool is_unsigned, uint64_t& out) {
    if (std::isnan(d)) {
        return DISP_E_OVERFLOW;
    }
    double whole = std::floor(d);
    const double fraction = d - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    const double high = std::ldexp(1.0, is_unsigned ? bits : bits - 1);
    const double low = is_unsigned ? 0.0 : -high;
    if (!(whole >= low && whole < high)) {
        return DISP_E_OVERFLOW;
    }
    out = is_unsigned ? static_cast<uint64_t>(whole)
                      : static_cast<uint64_t>(static_cast<int64_t>(whole));
    return OLE_S_OK;
}

// The integer result as the bit pattern of a 64-bit value (sign-extended for signed kinds).
ole_hresult to_integer(const ole_variant& src, VARTYPE target, uint64_t& out) {
    const bool to_unsigned = is_unsigned_integer(target);
    const int bits = width_of(target);
    const int64_t smin = bits == 64 ? INT64_MIN : -(int64_t{1} << (bits - 1));
    const int64_t smax = bits == 64 ? INT64_MAX : (int64_t{1} << (bits - 1)) - 1;
    const uint64_t umax = bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
    const VARTYPE from = src.vt();

    if (from == VT_EMPTY) {
        out = 0;
        return OLE_S_OK;
    }
    if (exchanges_bits(from, target)) {
        const uint64_t pattern = is_signed_integer(from) || from == VT_BOOL
                                     ? static_cast<uint64_t>(signed_value(src))
                                     : unsigned_value(src);
        if (to_unsigned) {
            out = pattern & umax;
        } else {
            // Sign-extend the pattern of the target's width.
            const uint64_t sign_bit = uint64_t{1} << (bits - 1);
            const uint64_t low = pattern & umax;
            out = (low ^ sign_bit) - sign_bit;
        }
        return OLE_S_OK;
    }
    if (is_signed_integer(from) || from == VT_BOOL) {
        const int64_t v = signed_value(src);
        if (to_unsigned ? (v < 0 || static_cast<uint64_t>(v) > umax) : (v < smin || v > smax)) {
            return DISP_E_OVERFLOW;
        }
        out = static_cast<uint64_t>(v);
        return OLE_S_OK;
    }
    if (is_unsigned_integer(from)) {
        const uint64_t v = unsigned_value(src);
        if (to_unsigned ? v > umax : v > static_cast<uint64_t>(smax)) {
            return DISP_E_OVERFLOW;
        }
        out = v;
        return OLE_S_OK;
    }
    ole_hresult hr = DISP_E_TYPEMISMATCH;
    int64_t s = 0;
    uint64_t u = 0;
    switch (from) {
        case VT_R4:
            return round_double(static_cast<double>(src.r4()), bits, to_unsigned, out);
        case VT_R8:
            return round_double(src.r8(), bits, to_unsigned, out);
        case VT_CY:
            hr = to_unsigned ? ole_cy_to_u64(src.cy(), umax, u)
                             : ole_cy_to_i64(src.cy(), smin, smax, s);
            break;
        case VT_DECIMAL:
            hr = ole_dec_check(src.dec());
            if (ole_succeeded(hr)) {
                hr = to_unsigned ? ole_dec_to_u64(src.dec(), umax, u)
                                 : ole_dec_to_i64(src.dec(), smin, smax, s);
            }
            break;
        case VT_BSTR: {
            ole_parsed_number n;
            hr = ole_parse_number(src.wstring(), n);
            if (ole_succeeded(hr)) {
                hr = to_unsigned ? ole_parsed_to_uint64(n, umax, u)
                                 : ole_parsed_to_int64(n, smin, smax, s);
            }
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (ole_succeeded(hr)) {
        out = to_unsigned ? u : static_cast<uint64_t>(s);
    }
    return hr;
}

void store_integer(ole_variant& dest, VARTYPE target, uint64_t bits) {
    switch (target) {
        case VT_I1:
            dest.set_i1(static_cast<int8_t>(bits));
            break;
        case VT_UI1:
            dest.set_ui1(static_cast<uint8_t>(bits));
            break;
        case VT_I2:
            dest.set_i2(static_cast<int16_t>(bits));
            break;
        case VT_UI2:
            dest.set_ui2(static_cast<uint16_t>(bits));
            break;
        case VT_I4:
            dest.set_i4(static_cast<int32_t>(bits));
            break;
        case VT_INT:
            dest.set_int(static_cast<int32_t>(bits));
            break;
        case VT_UI4:
            dest.set_ui4(static_cast<uint32_t>(bits));
            break;
        case VT_UINT:
            dest.set_uint(static_cast<uint32_t>(bits));
            break;
        case VT_I8:
            dest.set_i8(static_cast<int64_t>(bits));
            break;
        default:
            dest.set_ui8(bits);
            break;
    }
}

ole_hresult to_double(const ole_variant& src, double& out) {
    const VARTYPE from = src.vt();
    if (from == VT_EMPTY) {
        out = 0.0;
        return OLE_S_OK;
    }
    if (is_signed_integer(from) || from == VT_BOOL) {
        out = static_cast<double>(signed_value(src));
        return OLE_S_OK;
    }
    if (is_unsigned_integer(from)) {
        out = static_cast<double>(unsigned_value(src));
        return OLE_S_OK;
    }
    switch (from) {
        case VT_R4:
            out = static_cast<double>(src.r4());
            return OLE_S_OK;
        case VT_R8:
            out = src.r8();
            return OLE_S_OK;
        case VT_CY:
            out = ole_cy_to_r8(src.cy());
            return OLE_S_OK;
        case VT_DECIMAL: {
            const ole_hresult hr = ole_dec_check(src.dec());
            if (ole_succeeded(hr)) {
                out = ole_dec_to_r8(src.dec());
            }
            return hr;
        }
        case VT_BSTR: {
            ole_parsed_number n;
            const ole_hresult hr = ole_parse_number(src.wstring(), n);
            return ole_failed(hr) ? hr : ole_parsed_to_double(n, out);
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

ole_hresult to_currency(const ole_variant& src, ole_currency& out) {
    const VARTYPE from = src.vt();
    if (from == VT_EMPTY) {
        out.int64 = 0;
        return OLE_S_OK;
    }
    if (is_signed_integer(from) || from == VT_BOOL) {
        return ole_cy_from_i64(signed_value(src), out);
    }
    if (is_unsigned_integer(from)) {
        return ole_cy_from_u64(unsigned_value(src), out);
    }
    switch (from) {
        case VT_R4:
            return ole_cy_from_r8(static_cast<double>(src.r4()), out);
        case VT_R8:
            return ole_cy_from_r8(src.r8(), out);
        case VT_CY:
            out = src.cy();
            return OLE_S_OK;
        case VT_DECIMAL: {
            const ole_hresult hr = ole_dec_check(src.dec());
            return ole_failed(hr) ? hr : ole_dec_to_cy(src.dec(), out);
        }
        case VT_BSTR:
            return ole_cy_from_str(std::u16string_view(src.wstring()), out);
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

ole_hresult to_decimal(const ole_variant& src, ole_decimal& out) {
    const VARTYPE from = src.vt();
    switch (from) {
        case VT_EMPTY:
            out = ole_decimal{};
            return OLE_S_OK;
        case VT_BOOL:
            // The generic change gives 1 for true (the dedicated boolean conversion gives -1).
            out = ole_dec_from_i64(src.variant_bool() != 0 ? 1 : 0);
            return OLE_S_OK;
        case VT_R4:
            return ole_dec_from_r4(src.r4(), out);
        case VT_R8:
            return ole_dec_from_r8(src.r8(), out);
        case VT_CY:
            out = ole_dec_from_cy(src.cy());
            return OLE_S_OK;
        case VT_DECIMAL:
            out = src.dec();
            return ole_dec_check(out);
        case VT_BSTR:
            return ole_dec_from_str(std::u16string_view(src.wstring()), out);
        default:
            break;
    }
    if (is_signed_integer(from)) {
        out = ole_dec_from_i64(signed_value(src));
        return OLE_S_OK;
    }
    if (is_unsigned_integer(from)) {
        out = ole_dec_from_u64(unsigned_value(src));
        return OLE_S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

bool equals_ignoring_case(std::u16string_view text, std::u16string_view word) {
    if (text.size() != word.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != word[i]) {
            return false;
        }
    }
    return true;
}

ole_hresult to_boolean(const ole_variant& src, int16_t& out) {
    const VARTYPE from = src.vt();
    if (from == VT_BSTR) {
        const std::u16string_view text = src.wstring();
        if (equals_ignoring_case(text, u"true")) {
            out = VARIANT_TRUE;
            return OLE_S_OK;
        }
        if (equals_ignoring_case(text, u"false")) {
            out = VARIANT_FALSE;
            return OLE_S_OK;
        }
    }
    if (from == VT_CY) {
        out = src.cy().int64 != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return OLE_S_OK;
    }
    if (from == VT_DECIMAL) {
        const ole_hresult hr = ole_dec_check(src.dec());
        if (ole_succeeded(hr)) {
            out = src.dec().is_zero() ? VARIANT_FALSE : VARIANT_TRUE;
        }
        return hr;
    }
    double d = 0.0;
    const ole_hresult hr = to_double(src, d);
    if (ole_succeeded(hr)) {
        out = d != 0.0 ? VARIANT_TRUE : VARIANT_FALSE;  // NaN counts as not zero
    }
    return hr;
}

void append_general(double d, int significant, std::string& out) {
    if (std::isnan(d)) {
        out += "1.#QNAN";
        return;
    }
    if (std::isinf(d)) {
        out += d < 0 ? "-1.#INF" : "1.#INF";
        return;
    }
    if (d == 0.0) {
        out += '0';  // never a negative zero
        return;
    }
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, significant);
    for (char* p = buffer; p != r.ptr; ++p) {
        out += (*p == 'e') ? 'E' : *p;
    }
}

ole_hresult to_text(const ole_variant& src, std::string& out) {
    const VARTYPE from = src.vt();
    char buffer[32];
    if (from == VT_BOOL) {
        out = src.variant_bool() != 0 ? "-1" : "0";
        return OLE_S_OK;
    }
    if (is_signed_integer(from)) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, signed_value(src));
        out.assign(buffer, r.ptr);
        return OLE_S_OK;
    }
    if (is_unsigned_integer(from)) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, unsigned_value(src));
        out.assign(buffer, r.ptr);
        return OLE_S_OK;
    }
    switch (from) {
        case VT_EMPTY:
            out.clear();
            return OLE_S_OK;
        case VT_R4:
            append_general(static_cast<double>(src.r4()), 7, out);
            return OLE_S_OK;
        case VT_R8:
            append_general(src.r8(), 15, out);
            return OLE_S_OK;
        case VT_CY:
            ole_cy_append(src.cy(), out);
            return OLE_S_OK;
        case VT_DECIMAL: {
            const ole_hresult hr = ole_dec_check(src.dec());
            if (ole_succeeded(hr)) {
                ole_dec_append(src.dec(), out);
            }
            return hr;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

// A byte array read as the bytes of UTF-16 text, two per character (a last odd byte becomes a
// character of its own).
void text_from_bytes(const std::vector<unsigned char>& bytes, std::u16string& out) {
    out.clear();
    out.reserve((bytes.size() + 1) / 2);
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        out += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    }
    if (i < bytes.size()) {
        out += static_cast<char16_t>(bytes[i]);
    }
}

}  // namespace

ole_hresult ole_change_type(ole_variant& dest, const ole_variant& src, VARTYPE target) {
    const VARTYPE from = src.vt();
    if (from == target) {
        if (&dest != &src) {
            dest = src;
        }
        return OLE_S_OK;
    }
    if (target == VT_EMPTY) {
        dest.set_empty();
        return OLE_S_OK;
    }
    if (target == VT_NULL) {
        dest.set_null();
        return OLE_S_OK;
    }
    if (from == VT_NULL || from == VT_DATE) {
        return DISP_E_TYPEMISMATCH;
    }

    if (is_signed_integer(target) || is_unsigned_integer(target)) {
        uint64_t bits = 0;
        const ole_hresult hr = to_integer(src, target, bits);
        if (ole_succeeded(hr)) {
            store_integer(dest, target, bits);
        }
        return hr;
    }
    switch (target) {
        case VT_R4: {
            double d = 0.0;
            const ole_hresult hr = to_double(src, d);
            if (ole_failed(hr)) {
                return hr;
            }
            if (d < -FLT_MAX || d > FLT_MAX) {
                return DISP_E_OVERFLOW;
            }
            dest.set_r4(static_cast<float>(d));
            return OLE_S_OK;
        }
        case VT_R8: {
            double d = 0.0;
            const ole_hresult hr = to_double(src, d);
            if (ole_succeeded(hr)) {
                dest.set_r8(d);
            }
            return hr;
        }
        case VT_CY: {
            ole_currency cy;
            const ole_hresult hr = to_currency(src, cy);
            if (ole_succeeded(hr)) {
                dest.set_cy(cy);
            }
            return hr;
        }
        case VT_DECIMAL: {
            ole_decimal d;
            const ole_hresult hr = to_decimal(src, d);
            if (ole_succeeded(hr)) {
                dest.set_dec(d);
            }
            return hr;
        }
        case VT_BOOL: {
            int16_t b = 0;
            const ole_hresult hr = to_boolean(src, b);
            if (ole_succeeded(hr)) {
                dest.set_variant_bool(b);
            }
            return hr;
        }
        case VT_BSTR: {
            if (from == VT_BYTE_ARRAY) {
                std::u16string text;
                text_from_bytes(src.bytes(), text);
                dest.set_wstring(text);
                return OLE_S_OK;
            }
            std::string text;
            const ole_hresult hr = to_text(src, text);
            if (ole_succeeded(hr)) {
                std::u16string& buffer = dest.wstring_buffer();
                buffer.assign(text.begin(), text.end());  // ASCII digits and signs only
            }
            return hr;
        }
        case VT_DATE:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_UNKNOWN:
        case VT_VARIANT:
        case VT_BYTE_ARRAY:
            return DISP_E_TYPEMISMATCH;
        default:
            return DISP_E_BADVARTYPE;
    }
}
