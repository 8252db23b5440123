#include "udb/ole_variant.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_change_type.hpp"
#include "udb/ole_date.hpp"

namespace {

constexpr const char* source_tag = "ole_var.cpp";
constexpr size_t max_rendered_bytes = 10000000;

// A date is representable as an OLE serial date when its fields are those of a real calendar day
// and time of day up to the year 9999 (a year below 100 counts as 19xx or 20xx).
bool is_representable(const t_systemtime& t) {
    static constexpr uint16_t days[] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) {
        return false;
    }
    const int year = t.year < 30 ? t.year + 2000 : t.year < 100 ? t.year + 1900 : t.year;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const uint16_t last = (t.month == 2 && !leap) ? 28 : days[t.month];
    return t.day <= last && t.hour < 24 && t.minute < 60 && t.second < 60 && t.milliseconds < 1000;
}

// The text of "%.Ne" as the Windows runtime prints it: a three-digit exponent, and the
// runtime's forms for infinities and NaNs ("1.#INF00e+000", "-1.#IND00e+000", "1.#QNAN0e+000").
void append_exponential(double d, int precision, std::string& out) {
    if (!std::isfinite(d)) {
        std::string body;
        if (std::isinf(d)) {
            body = std::signbit(d) ? "-1.#INF" : "1.#INF";
        } else {
            body = std::signbit(d) ? "-1.#IND" : "1.#QNAN";
        }
        const size_t digits_after_point = body.size() - body.find('.') - 1;
        out += body;
        if (static_cast<size_t>(precision) > digits_after_point) {
            out.append(static_cast<size_t>(precision) - digits_after_point, '0');
        }
        out += "e+000";
        return;
    }
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific, precision);
    const char* e = static_cast<const char*>(memchr(buffer, 'e', r.ptr - buffer));
    out.append(buffer, static_cast<size_t>(e + 2 - buffer));  // mantissa, 'e', exponent sign
    const size_t exponent_digits = static_cast<size_t>(r.ptr - (e + 2));
    if (exponent_digits < 3) {
        out.append(3 - exponent_digits, '0');
    }
    out.append(e + 2, static_cast<size_t>(r.ptr - (e + 2)));
}

template <class Int>
void append_integer(Int value, std::string& out) {
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, r.ptr);
}

bool is_blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The leading decimal integer of a text: blanks, an optional sign, digits up to the first other
// character. The magnitude saturates at 2^64 - 1; no digits read as 0.
struct leading_integer {
    bool negative = false;
    bool any_digit = false;
    uint64_t magnitude = 0;
};

leading_integer read_leading_integer(std::string_view text) {
    leading_integer r;
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        r.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        r.any_digit = true;
        const auto d = static_cast<uint64_t>(text[i] - '0');
        if (r.magnitude > (UINT64_MAX - d) / 10) {
            r.magnitude = UINT64_MAX;
        } else {
            r.magnitude = r.magnitude * 10 + d;
        }
    }
    return r;
}

// atol of a 32-bit long: saturates at the 32-bit limits.
int32_t leading_int32(std::string_view text) {
    const leading_integer r = read_leading_integer(text);
    if (r.negative) {
        return r.magnitude >= 2147483648u ? INT32_MIN : -static_cast<int32_t>(r.magnitude);
    }
    return r.magnitude > 2147483647u ? INT32_MAX : static_cast<int32_t>(r.magnitude);
}

// strtoull: saturates at 2^64 - 1, a minus sign negates modulo 2^64.
uint64_t leading_uint64(std::string_view text) {
    const leading_integer r = read_leading_integer(text);
    return r.negative ? 0 - r.magnitude : r.magnitude;
}

// _strtoi64: saturates at the 64-bit limits.
int64_t leading_int64(std::string_view text) {
    const leading_integer r = read_leading_integer(text);
    if (r.negative) {
        return r.magnitude > uint64_t{1} << 63 ? INT64_MIN : static_cast<int64_t>(0 - r.magnitude);
    }
    return r.magnitude > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX
                                                          : static_cast<int64_t>(r.magnitude);
}

// The leading floating-point number (blanks, sign, digits with an optional point, an optional
// exponent with digits); 0 when there is none, infinity beyond the range of T.
template <class T>
T leading_real(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t start = i;
    size_t digits = 0;
    bool nonzero_whole = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        nonzero_whole = nonzero_whole || text[i] != '0';
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return T(0);
    }
    size_t end = i;
    bool negative_exponent = false;
    bool has_exponent = false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t k = i + 1;
        if (k < text.size() && (text[k] == '-' || text[k] == '+')) {
            negative_exponent = text[k] == '-';
            ++k;
        }
        if (k < text.size() && text[k] >= '0' && text[k] <= '9') {
            while (k < text.size() && text[k] >= '0' && text[k] <= '9') {
                ++k;
            }
            end = k;
            has_exponent = true;
        }
    }
    T value = T(0);
    const auto r = std::from_chars(text.data() + start, text.data() + end, value);
    if (r.ec == std::errc::result_out_of_range) {
        const bool vanishing = (has_exponent && negative_exponent) || !nonzero_whole;
        value = vanishing ? T(0) : std::numeric_limits<T>::infinity();
    }
    return negative ? -value : value;
}

bool equals_ignoring_case(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != word[i]) {
            return false;
        }
    }
    return true;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "," becomes "." (decimal commas in the texts of DBF files and users). The copy lives in a
// per-thread buffer that the next call reuses, so the record path does not allocate.
std::string_view with_points(std::string_view text) {
    thread_local std::string buffer;
    buffer.assign(text);
    for (char& c : buffer) {
        if (c == ',') {
            c = '.';
        }
    }
    return buffer;
}

template <class T>
void append_raw(std::vector<unsigned char>& out, const T& value) {
    const auto* p = reinterpret_cast<const unsigned char*>(&value);
    out.assign(p, p + sizeof(T));
}

}  // namespace

ole_cast_exception::ole_cast_exception()
    : tk_exception(std::string("Cannot cast from source type to destination type"), 1) {}

ole_type_exception::ole_type_exception()
    : tk_exception(std::string("The operating type is not supported yet"), 1) {}

// Construction

ole_variant::ole_variant(const t_systemtime& time) {
    TK_TRACE("Construct ole_variant from SYSTEMTIME");
    vt_ = VT_DATE;
    u_.st = time;
    if (!is_representable(time)) {
        TK_LOG(2, "Failed to convert SYSTEMTIME->VARIANT");
    }
}

ole_variant::ole_variant(const ole_currency& value) {
    TK_TRACE("Construct ole_variant from CY");
    vt_ = VT_CY;
    u_.cy = value;
}

ole_variant::ole_variant(const ole_decimal& value) {
    TK_TRACE("Construct ole_variant from DECIMAL");
    vt_ = VT_DECIMAL;
    u_.dec = value;
}

ole_variant::ole_variant(bool value) {
    TK_TRACE("ole_variant::ctor from bool (%d)", value ? 1 : 0);
    vt_ = VT_BOOL;
    u_.boolean = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ole_variant::ole_variant(char value) : ole_variant(static_cast<signed char>(value)) {}

ole_variant::ole_variant(signed char value) {
    TK_TRACE("ole_variant::ctor from char(%d)", value);
    vt_ = VT_I1;
    u_.i1 = value;
}

ole_variant::ole_variant(unsigned char value) {
    TK_TRACE("ole_variant::ctor from byte(%d)", value);
    vt_ = VT_UI1;
    u_.ui1 = value;
}

ole_variant::ole_variant(short value) {
    TK_TRACE("ole_variant::ctor from short(%d)", value);
    vt_ = VT_I2;
    u_.i2 = value;
}

ole_variant::ole_variant(unsigned short value) {
    TK_TRACE("ole_variant::ctor from ushort(%d)", value);
    vt_ = VT_UI2;
    u_.ui2 = value;
}

ole_variant::ole_variant(int value) {
    TK_TRACE("ole_variant::ctor from int(%d)", value);
    vt_ = VT_I4;
    u_.i4 = value;
}

ole_variant::ole_variant(unsigned int value) {
    TK_TRACE("ole_variant::ctor from uint(%u)", value);
    vt_ = VT_UI4;
    u_.ui4 = value;
}

ole_variant::ole_variant(long value) : ole_variant(static_cast<long long>(value)) {}

ole_variant::ole_variant(long long value) {
    TK_TRACE("ole_variant::ctor(hyper, %lld)", value);
    vt_ = VT_I8;
    u_.i8 = value;
}

ole_variant::ole_variant(unsigned long value)
    : ole_variant(static_cast<unsigned long long>(value)) {}

ole_variant::ole_variant(unsigned long long value) {
    TK_TRACE("ole_variant::ctor(uhyper, %llu)", value);
    vt_ = VT_UI8;
    u_.ui8 = value;
}

ole_variant::ole_variant(float value) {
    TK_TRACE("ole_variant::ctor from float(%f)", static_cast<double>(value));
    vt_ = VT_R4;
    u_.r4 = value;
}

ole_variant::ole_variant(double value) {
    TK_TRACE("ole_variant::ctor from double(%e)", value);
    vt_ = VT_R8;
    u_.r8 = value;
}

ole_variant::ole_variant(std::string_view text) {
    TK_TRACE("ole_variant::ctor from string(%s)", std::string(text).c_str());
    attach_string(text);
}

ole_variant::ole_variant(const char* text)
    : ole_variant(text != nullptr ? std::string_view(text) : std::string_view()) {}

ole_variant::ole_variant(const std::string& text) : ole_variant(std::string_view(text)) {}

ole_variant::ole_variant(std::u16string_view text) {
    TK_LOGW(1, u"ole_variant::ctor from wstring(%s)", std::u16string(text).c_str());
    attach_wstring(text);
}

ole_variant::ole_variant(const char16_t* text)
    : ole_variant(text != nullptr ? std::u16string_view(text) : std::u16string_view()) {}

ole_variant::ole_variant(const std::u16string& text) : ole_variant(std::u16string_view(text)) {}

ole_variant::ole_variant(size_t byte_count, const unsigned char* bytes) {
    attach_binary(byte_count, bytes);
}

ole_variant::ole_variant(const ole_variant& other) {
    TK_TRACE("ole_variant::copy ctor");
    copy_from(other);
    if (vt_ == VT_I8 || vt_ == VT_UI8) {
        TK_TRACE("Special processing for VT_(U)I8 type");
    } else if (vt_ == VT_DATE) {
        TK_TRACE("Special processing for VT_DATE");
    }
}

ole_variant::ole_variant(ole_variant&& other) noexcept
    : vt_(other.vt_), u_(other.u_), text_(std::move(other.text_)), bytes_(std::move(other.bytes_)) {
    other.vt_ = VT_EMPTY;
}

ole_variant& ole_variant::operator=(const ole_variant& other) {
    if (this != &other) {
        copy_from(other);
    }
    return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept {
    if (this != &other) {
        vt_ = other.vt_;
        u_ = other.u_;
        text_.swap(other.text_);
        bytes_.swap(other.bytes_);
        other.text_.clear();
        other.bytes_.clear();
        other.vt_ = VT_EMPTY;
    }
    return *this;
}

ole_variant::~ole_variant() = default;

void ole_variant::copy_from(const ole_variant& other) {
    vt_ = other.vt_;
    u_ = other.u_;
    if (vt_ == VT_BSTR) {
        text_.assign(other.text_);
    } else {
        text_.clear();
    }
    if (vt_ == VT_BYTE_ARRAY) {
        bytes_.assign(other.bytes_.begin(), other.bytes_.end());
    } else {
        bytes_.clear();
    }
}

void ole_variant::reset_to(VARTYPE type) noexcept {
    if (vt_ == VT_BSTR) {
        text_.clear();
    } else if (vt_ == VT_BYTE_ARRAY) {
        bytes_.clear();
    }
    u_ = payload{};
    vt_ = type;
}

VARTYPE ole_variant::get_type() const {
    TK_TRACE("ole_variant::get_type");
    return vt_;
}

// Text and binary content

void ole_variant::set_wstring(std::u16string_view text) {
    reset_to(VT_BSTR);
    text_.assign(text);
}

std::u16string& ole_variant::wstring_buffer() noexcept {
    reset_to(VT_BSTR);
    text_.clear();
    return text_;
}

void ole_variant::set_bytes(const unsigned char* bytes, size_t count) {
    reset_to(VT_BYTE_ARRAY);
    if (count != 0) {
        bytes_.assign(bytes, bytes + count);
    }
}

std::vector<unsigned char>& ole_variant::bytes_buffer() noexcept {
    reset_to(VT_BYTE_ARRAY);
    bytes_.clear();
    return bytes_;
}

void ole_variant::attach_string(std::string_view text) {
    TK_TRACE("ole_variant::attach_string('%s')", std::string(text).c_str());
    TK_TRACE("=== RIGHT BEFORE A2W_EX ===");
    set_wstring(tk_a2w(text));
}

void ole_variant::attach_wstring(std::u16string_view text) {
    TK_LOGW(1, u"ole_variant::attach_wstring('%s')", std::u16string(text).c_str());
    TK_TRACE("=== RIGHT BEFORE SysAllocStringLen ===");
    set_wstring(text);
}

void ole_variant::attach_binary(size_t byte_count, const unsigned char* bytes) {
    TK_TRACE("ole_variant::attach_binary(2)");
    TK_ASSERT(bytes != nullptr, source_tag);
    set_bytes(bytes, byte_count);
}

void ole_variant::attach_binary(const std::vector<unsigned char>& bytes) {
    TK_TRACE("ole_variant::attach_binary(1)");
    reset_to(VT_BYTE_ARRAY);
    bytes_.assign(bytes.begin(), bytes.end());
}

void ole_variant::allocate_safe_array(size_t size) {
    TK_TRACE("ole_variant::allocate_safe_array (size=%d)", static_cast<int>(size));
    if (vt_ == VT_BYTE_ARRAY) {
        TK_TRACE("Redimension array");
        bytes_.resize(size);
        return;
    }
    reset_to(VT_BYTE_ARRAY);
    bytes_.assign(size, 0);
}

size_t ole_variant::get_safe_array_size() const {
    TK_TRACE("get_safe_array_size");
    const long upper = static_cast<long>(bytes_.size()) - 1;
    TK_TRACE("lower=%d, upper=%d", 0, static_cast<int>(upper));
    return bytes_.size();
}

size_t ole_variant::get_bytes(const unsigned char*& bytes) const {
    TK_TRACE("ole_variant::get_bytes(%d)", vt_);
    if (vt_ == VT_EMPTY || vt_ == VT_NULL) {
        return 0;
    }
    TK_ASSERT(vt_ == VT_BYTE_ARRAY, source_tag);
    bytes = bytes_.data();
    return get_safe_array_size();
}

// Renderings

std::string ole_variant::to_string() const {
    TK_TRACE("ole_variant::to_string (vt=%08X)", vt_);
    std::string out;
    switch (vt_) {
        case VT_BYTE_ARRAY: {
            TK_TRACE("Converting VT_ARRAY");
            const size_t n = std::min(bytes_.size(), max_rendered_bytes);
            if (n == 0) {
                return out;
            }
            static constexpr char digits[] = "0123456789ABCDEF";
            out.resize(2 + 2 * n);
            out[0] = '0';
            out[1] = 'x';
            for (size_t i = 0; i < n; ++i) {
                out[2 + 2 * i] = digits[bytes_[i] >> 4];
                out[3 + 2 * i] = digits[bytes_[i] & 0x0F];
            }
            return out;
        }
        case VT_DECIMAL:
            TK_TRACE("Converting VT_DECIMAL");
            if (ole_succeeded(ole_dec_check(u_.dec))) {
                ole_dec_append(u_.dec, out);
            }
            return out;
        case VT_DATE: {
            TK_TRACE("Converting VT_DATE");
            ole_date date(u_.st);
            return date.to_string(true);
        }
        case VT_CY:
            TK_TRACE("Converting VT_CY");
            ole_cy_append(u_.cy, out);
            return out;
        case VT_BSTR:
            return tk_w2a(text_);
        case VT_BOOL:
            TK_TRACE("to_string - bool: %d", u_.boolean);
            TK_TRACE("Mapping BOOL like ANSI!");
            out = u_.boolean == VARIANT_TRUE ? "1" : "0";
            return out;
        case VT_I2:
            append_integer(static_cast<int>(u_.i2), out);
            return out;
        case VT_I1:
            append_integer(static_cast<int>(u_.i1), out);
            return out;
        case VT_I4:
            append_integer(u_.i4, out);
            return out;
        case VT_UI1:
            append_integer(static_cast<unsigned>(u_.ui1), out);
            return out;
        case VT_UI2:
            append_integer(static_cast<unsigned>(u_.ui2), out);
            return out;
        case VT_UI4:
        case VT_UINT:
            append_integer(u_.ui4, out);
            return out;
        case VT_R4:
            append_exponential(static_cast<double>(u_.r4), 6, out);
            return out;
        case VT_R8:
            append_exponential(u_.r8, 16, out);
            return out;
        case VT_I8:
            append_integer(u_.i8, out);
            return out;
        case VT_UI8:
            append_integer(u_.ui8, out);
            return out;
        default:
            return out;
    }
}

std::u16string ole_variant::to_wstring() const {
    if (vt_ == VT_BSTR) {
        return text_;
    }
    return tk_a2w(to_string());
}

// Reading accessors

int32_t ole_variant::to_long() const {
    TK_TRACE("ole_variant::to_long(vt=%08X)", vt_);
    switch (vt_) {
        case VT_EMPTY:
        case VT_NULL:
            return 0;
        case VT_I2:
            return u_.i2;
        case VT_BOOL:
            return u_.boolean;
        case VT_I1:
            return u_.i1;
        case VT_UI1:
            return u_.ui1;
        case VT_UI2:
            return u_.ui2;
        case VT_I4:
            return u_.i4;
        case VT_UI4:
            return static_cast<int32_t>(u_.ui4);
        case VT_R4:
        case VT_R8: {
            const double d = vt_ == VT_R4 ? static_cast<double>(u_.r4) : u_.r8;
            // Truncation toward zero; values outside the 32-bit range (and NaN) give the
            // integer-indefinite value of the x86 conversion.
            if (!(d > -2147483649.0 && d < 2147483648.0)) {
                return INT32_MIN;
            }
            return static_cast<int32_t>(d);
        }
        case VT_DECIMAL: {
            int64_t value = 0;
            ole_hresult hr = ole_dec_check(u_.dec);
            if (ole_succeeded(hr)) {
                hr = ole_dec_to_i64(u_.dec, INT32_MIN, INT32_MAX, value);
            }
            TK_TRACE("from DECIMAL, hr=%08X", hr);
            return ole_succeeded(hr) ? static_cast<int32_t>(value) : 0;
        }
        case VT_I8:
        case VT_UI8:
            return static_cast<int32_t>(static_cast<uint32_t>(u_.ui8));
        default:
            TK_FAIL(source_tag);
    }
}

double ole_variant::to_double() const {
    TK_TRACE("ole_variant::to_double(%08X)", vt_);
    switch (vt_) {
        case VT_EMPTY:
        case VT_NULL:
            return 0.0;
        case VT_I1:
            return u_.i1;
        case VT_UI1:
            return u_.ui1;
        case VT_I2:
            return u_.i2;
        case VT_UI2:
            return u_.ui2;
        case VT_I4:
        case VT_INT:
            return u_.i4;
        case VT_UI4:
        case VT_UINT:
            return u_.ui4;
        case VT_R4:
            return static_cast<double>(u_.r4);
        case VT_R8:
            return u_.r8;
        case VT_CY: {
            const double result = ole_cy_to_r8(u_.cy);
            TK_TRACE("from CURRECY: res=%lg, hr=%08X", result, OLE_S_OK);
            return result;
        }
        case VT_DECIMAL: {
            const ole_hresult hr = ole_dec_check(u_.dec);
            const double result = ole_succeeded(hr) ? ole_dec_to_r8(u_.dec) : 0.0;
            TK_TRACE("from DECIMAL: res=%lg, hr=%08X", result, hr);
            return result;
        }
        case VT_I8:
            return static_cast<double>(u_.i8);
        case VT_UI8:
            return static_cast<double>(u_.ui8);
        default:
            TK_FAIL(source_tag);
    }
}

bool ole_variant::to_bool() const {
    TK_TRACE("ole_variant::to_bool(vt=%08X)", vt_);
    switch (vt_) {
        case VT_EMPTY:
        case VT_NULL:
            return false;
        case VT_I1:
        case VT_UI1:
            return u_.ui1 != 0;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return u_.ui2 != 0;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return u_.ui4 != 0;
        case VT_R4:
            return u_.r4 != 0.0f;  // NaN is not zero
        case VT_R8:
            return u_.r8 != 0.0;
        case VT_DECIMAL:
            return to_long() != 0;
        case VT_I8:
        case VT_UI8:
            return u_.ui8 != 0;
        default:
            TK_FAIL(source_tag);
    }
}

// Parsing

ole_variant ole_variant::from_string(std::string_view text, VARTYPE target) {
    TK_TRACE("ole_variant::from_string('%s', 0x%08X)", std::string(text).c_str(), target);
    ole_variant result;
    if (text.empty() && target != VT_BSTR) {
        return result;
    }
    switch (target) {
        case VT_BYTE_ARRAY:
        case VT_BLOB: {
            TK_TRACE("Got BLOB size: %d", static_cast<int>(text.size()));
            if (text.empty()) {
                TK_TRACE("Empty BLOB");
                return result;
            }
            if (text.size() % 2 != 0) {
                TK_LOG(2, "Incorrect BLOB (size is odd)");
                return result;
            }
            std::string_view digits = text;
            if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
                digits.remove_prefix(2);
            }
            std::vector<unsigned char>& bytes = result.bytes_buffer();
            bytes.resize(digits.size() / 2);
            for (size_t i = 0; i < bytes.size(); ++i) {
                // A pair that is not two hexadecimal digits keeps what its leading digit gives.
                const int high = hex_value(digits[2 * i]);
                const int low = hex_value(digits[2 * i + 1]);
                int value = 0;
                if (high >= 0) {
                    value = low >= 0 ? high * 16 + low : high;
                }
                bytes[i] = static_cast<unsigned char>(value);
            }
            return result;
        }
        case VT_I2:
            result.set_i2(static_cast<int16_t>(leading_int32(text)));
            return result;
        case VT_I4:
            result.set_i4(leading_int32(text));
            return result;
        case VT_I1:
            result.set_i1(static_cast<int8_t>(leading_int32(text)));
            return result;
        case VT_UI1:
            result.set_ui1(static_cast<uint8_t>(leading_int32(text)));
            return result;
        case VT_UI2:
            result.set_ui2(static_cast<uint16_t>(leading_int32(text)));
            return result;
        case VT_UI4:
            result.set_ui4(static_cast<uint32_t>(leading_uint64(text)));
            return result;
        case VT_I8:
            result.set_i8(leading_int64(text));
            return result;
        case VT_UI8:
            result.set_ui8(leading_uint64(text));
            return result;
        case VT_R4:
            result.set_r4(leading_real<float>(with_points(text)));
            return result;
        case VT_R8:
            result.set_r8(leading_real<double>(with_points(text)));
            return result;
        case VT_CY: {
            TK_TRACE("GOT VT_CY");
            ole_currency cy;
            const ole_hresult hr = ole_cy_from_str(with_points(text), cy);
            if (ole_failed(hr)) {
                TK_LOG(3, "VarCyFromStr failed: %08X", hr);
                return result;
            }
            result.set_cy(cy);
            return result;
        }
        case VT_DECIMAL: {
            TK_TRACE("GOT VT_DECIMAL");
            ole_decimal dec;
            const ole_hresult hr = ole_dec_from_str(with_points(text), dec);
            if (ole_failed(hr)) {
                TK_LOG(3, "VarDecFromStr failed: %08X", hr);
                return result;
            }
            result.set_dec(dec);
            return result;
        }
        case VT_DATE: {
            TK_TRACE("GOT VT_DATE");
            ole_date date(text);
            if (date.kind != ole_date::kind_invalid) {
                result.set_date(date.time);
            }
            return result;
        }
        case VT_BOOL:
            if (equals_ignoring_case(text, "yes") || equals_ignoring_case(text, "true")) {
                result.set_bool(true);
            } else if (equals_ignoring_case(text, "no") || equals_ignoring_case(text, "false")) {
                result.set_bool(false);
            } else {
                result.set_bool(leading_int32(text) != 0);
            }
            return result;
        default: {
            TK_TRACE("ole_variant::ctor from string(%s)", std::string(text).c_str());
            result.set_wstring(tk_a2w(text));
            if (ole_failed(ole_change_type(result, result, target))) {
                throw ole_type_exception();
            }
            TK_TRACE("VariantChangeType succeeded");
            return result;
        }
    }
}

ole_variant ole_variant::from_wstring(std::u16string_view text, VARTYPE target) {
    TK_TRACE("ole_variant::from_wstring");
    if (target == VT_BSTR) {
        TK_TRACE("Construct ole_variant from BSTR");
        ole_variant result;
        result.set_wstring(text);
        return result;
    }
    TK_TRACE("=== RIGHT BEFORE W2A_EX ===");
    return from_string(tk_w2a(text), target);
}

// Type change

void ole_variant::change_type(VARTYPE new_type) {
    TK_TRACE("ole_variant::change_type(old=%d,new=%d)", vt_, new_type);
    const VARTYPE old_type = vt_;
    if (new_type == old_type || old_type == VT_EMPTY || old_type == VT_NULL ||
        (is_binary(old_type) && is_binary(new_type))) {
        return;
    }

    // Binary targets take the value's raw bytes in memory order (little-endian); this comes
    // first so that 64-bit integers and dates can become byte arrays too.
    if (is_binary(new_type)) {
        const payload value = u_;
        std::vector<unsigned char> raw;
        switch (old_type) {
            case VT_I1:
            case VT_UI1:
                append_raw(raw, value.ui1);
                break;
            case VT_I2:
            case VT_UI2:
            case VT_BOOL:
                append_raw(raw, value.ui2);
                break;
            case VT_I4:
            case VT_R4:
            case VT_UI4:
            case VT_INT:
            case VT_UINT:
                append_raw(raw, value.ui4);
                break;
            case VT_R8:
            case VT_CY:
            case VT_I8:
            case VT_UI8:
                append_raw(raw, value.ui8);
                break;
            case VT_DATE:
                append_raw(raw, value.st);
                break;
            case VT_BSTR: {
                // The text's narrow (UTF-8) bytes.
                const std::string narrow = tk_w2a(text_);
                raw.assign(narrow.begin(), narrow.end());
                break;
            }
            case VT_DECIMAL:
                append_raw(raw, value.dec);
                break;
            default:
                throw ole_cast_exception();
        }
        std::vector<unsigned char>& buffer = bytes_buffer();
        buffer.swap(raw);
        return;
    }

    if (old_type == VT_I8 || old_type == VT_UI8) {
        const uint64_t v = u_.ui8;
        switch (new_type) {
            case VT_I2:
                set_i2(static_cast<int16_t>(v));
                return;
            case VT_I1:
                set_i1(static_cast<int8_t>(v));
                return;
            case VT_UI1:
                set_ui1(static_cast<uint8_t>(v));
                return;
            case VT_UI2:
                set_ui2(static_cast<uint16_t>(v));
                return;
            case VT_BOOL:
                set_variant_bool(static_cast<int16_t>(v));
                return;
            case VT_I4:
                set_i4(static_cast<int32_t>(v));
                return;
            case VT_INT:
                set_int(static_cast<int32_t>(v));
                return;
            case VT_UINT:
            case VT_UI4:
                set_uint(static_cast<uint32_t>(v));
                return;
            case VT_R4:
                set_r4(old_type == VT_UI8 ? static_cast<float>(v)
                                          : static_cast<float>(static_cast<int64_t>(v)));
                return;
            case VT_R8:
                set_r8(old_type == VT_UI8 ? static_cast<double>(v)
                                          : static_cast<double>(static_cast<int64_t>(v)));
                return;
            case VT_CY:
                set_cy(ole_currency{static_cast<int64_t>(v * 10000u)});
                return;
            case VT_DECIMAL:
                set_dec(ole_dec_from_cy(ole_currency{static_cast<int64_t>(v * 10000u)}));
                return;
            case VT_I8:
            case VT_UI8:
                vt_ = new_type;
                return;
            case VT_BSTR: {
                std::string text;
                if (old_type == VT_I8) {
                    append_integer(static_cast<int64_t>(v), text);
                } else {
                    append_integer(v, text);
                }
                std::u16string& buffer = wstring_buffer();
                buffer.assign(text.begin(), text.end());
                return;
            }
            default:
                throw ole_cast_exception();
        }
    }

    if (old_type == VT_DATE) {
        if (new_type != VT_BSTR) {
            throw ole_cast_exception();
        }
        ole_date date(u_.st);
        set_wstring(date.to_wstring(true));
        return;
    }

    if (new_type == VT_I8 || new_type == VT_UI8) {
        int64_t v = 0;
        switch (old_type) {
            case VT_I2:
            case VT_BOOL:
                v = u_.i2;
                break;
            case VT_I4:
            case VT_INT:
                v = u_.i4;
                break;
            case VT_I1:
                v = u_.i1;
                break;
            case VT_UI1:
                v = u_.ui1;
                break;
            case VT_UI2:
                v = u_.ui2;
                break;
            case VT_UI4:
            case VT_UINT:
                v = u_.ui4;
                break;
            case VT_R4:
            case VT_R8: {
                const double d = old_type == VT_R4 ? static_cast<double>(u_.r4) : u_.r8;
                // A value the target cannot hold (and NaN) is refused rather than turned into
                // some other number: the caller reports the record instead of storing garbage.
                if (new_type == VT_UI8) {
                    if (!(d > -1.0 && d < 18446744073709551616.0)) {
                        throw ole_cast_exception();
                    }
                    set_ui8(static_cast<uint64_t>(d));
                    return;
                }
                if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
                    throw ole_cast_exception();
                }
                v = static_cast<int64_t>(d);
                break;
            }
            case VT_CY:
            case VT_DECIMAL: {
                ole_currency cy = u_.cy;
                if (old_type == VT_DECIMAL) {
                    if (ole_failed(ole_dec_check(u_.dec)) ||
                        ole_failed(ole_dec_to_cy(u_.dec, cy))) {
                        throw ole_cast_exception();
                    }
                }
                // Whole units, one more when the first decimal is above 4 (a negative amount
                // keeps its truncated value).
                v = cy.int64 / 10000;
                if ((cy.int64 / 1000) % 10 > 4) {
                    ++v;
                }
                break;
            }
            default:
                throw ole_cast_exception();
        }
        if (new_type == VT_I8) {
            set_i8(v);
        } else {
            set_ui8(static_cast<uint64_t>(v));
        }
        return;
    }

    if (new_type == VT_DATE) {
        if (old_type != VT_BSTR) {
            throw ole_cast_exception();
        }
        ole_date date(to_string());
        if (date.kind == ole_date::kind_invalid) {
            throw ole_cast_exception();
        }
        *this = ole_variant(date.time);
        return;
    }

    if (ole_failed(ole_change_type(*this, *this, new_type))) {
        throw ole_cast_exception();
    }
}
