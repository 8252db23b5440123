#pragma once
// ole_variant: the one value type of the system. A tagged union whose tag is the OLE Automation
// VARTYPE; wide text (VT_BSTR) lives in a std::u16string, binary values in a byte vector
// (always the one-dimensional byte array VT_ARRAY | VT_UI1), 64-bit integers and the broken-down
// time of a VT_DATE in the union itself.
//
// Construction and the conversions write the trace lines of the value layer. The set_* helpers
// do not trace and keep the capacity of the text and byte buffers, so that a reader can refill
// the same value for every record without allocating.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tk/tk_exception.hpp"
#include "udb/ole_currency.hpp"
#include "udb/ole_decimal.hpp"
#include "udb/ole_types.hpp"

// A change of type that the value layer does not support. Level 1.
class ole_cast_exception : public tk_exception {
  public:
    ole_cast_exception();
};

// A text that the generic conversion cannot turn into the requested kind. Level 1.
class ole_type_exception : public tk_exception {
  public:
    ole_type_exception();
};

class ole_variant {
  public:
    ole_variant() noexcept {}
    explicit ole_variant(const t_systemtime& time);
    explicit ole_variant(const ole_currency& value);
    explicit ole_variant(const ole_decimal& value);
    explicit ole_variant(bool value);
    explicit ole_variant(char value);
    explicit ole_variant(signed char value);
    explicit ole_variant(unsigned char value);
    explicit ole_variant(short value);
    explicit ole_variant(unsigned short value);
    explicit ole_variant(int value);
    explicit ole_variant(unsigned int value);
    explicit ole_variant(long value);  // 64-bit here: VT_I8
    explicit ole_variant(long long value);
    explicit ole_variant(unsigned long value);
    explicit ole_variant(unsigned long long value);
    explicit ole_variant(float value);
    explicit ole_variant(double value);
    explicit ole_variant(std::string_view text);  // narrow (UTF-8) text: VT_BSTR
    explicit ole_variant(const char* text);       // so that a literal is text, not a bool
    explicit ole_variant(const std::string& text);
    explicit ole_variant(std::u16string_view text);  // wide text: VT_BSTR
    explicit ole_variant(const char16_t* text);
    explicit ole_variant(const std::u16string& text);
    ole_variant(size_t byte_count, const unsigned char* bytes);  // byte array
    ole_variant(const ole_variant& other);
    ole_variant(ole_variant&& other) noexcept;
    ole_variant& operator=(const ole_variant& other);
    ole_variant& operator=(ole_variant&& other) noexcept;
    virtual ~ole_variant();

    // Fixed text renderings (narrow text is UTF-8).
    virtual std::string to_string() const;
    virtual std::u16string to_wstring() const;
    // The tag, with the trace line "ole_variant::get_type".
    virtual VARTYPE get_type() const;
    // The tag without tracing.
    VARTYPE vt() const noexcept { return vt_; }

    // Reading accessors; a kind they do not know is an internal error.
    int32_t to_long() const;
    double to_double() const;
    bool to_bool() const;

    // New values parsed from text for the target kind (see the conversion rules in the source).
    static ole_variant from_string(std::string_view text, VARTYPE target);
    static ole_variant from_wstring(std::u16string_view text, VARTYPE target);
    // Converts in place; ole_cast_exception for a pair that is not supported.
    void change_type(VARTYPE new_type);

    // Makes the value a VT_BSTR holding the text (narrow text is widened from UTF-8).
    void attach_string(std::string_view text);
    void attach_wstring(std::u16string_view text);
    // Makes the value a byte array of exactly these bytes; a null pointer is an internal error.
    void attach_binary(size_t byte_count, const unsigned char* bytes);
    void attach_binary(const std::vector<unsigned char>& bytes);
    // Resizes a byte array keeping its leading bytes, or makes a new one of `size` zero bytes.
    void allocate_safe_array(size_t size);
    // For a byte array: stores the address of its bytes and returns its length; 0 for
    // VT_EMPTY and VT_NULL (the pointer is left alone); an internal error for other kinds.
    size_t get_bytes(const unsigned char*& bytes) const;
    size_t get_safe_array_size() const;
    static bool is_binary(VARTYPE type) noexcept {
        return type == VT_BLOB || type == VT_BLOB_OBJECT || type == VT_BYTE_ARRAY;
    }

    // Raw access to the payload; the caller knows the kind.
    int8_t i1() const noexcept { return u_.i1; }
    uint8_t ui1() const noexcept { return u_.ui1; }
    int16_t i2() const noexcept { return u_.i2; }
    uint16_t ui2() const noexcept { return u_.ui2; }
    int32_t i4() const noexcept { return u_.i4; }
    uint32_t ui4() const noexcept { return u_.ui4; }
    float r4() const noexcept { return u_.r4; }
    double r8() const noexcept { return u_.r8; }
    int16_t variant_bool() const noexcept { return u_.boolean; }
    int64_t i8() const noexcept { return u_.i8; }
    uint64_t ui8() const noexcept { return u_.ui8; }
    const ole_currency& cy() const noexcept { return u_.cy; }
    const ole_decimal& dec() const noexcept { return u_.dec; }
    const t_systemtime& date() const noexcept { return u_.st; }
    const std::u16string& wstring() const noexcept { return text_; }
    const std::vector<unsigned char>& bytes() const noexcept { return bytes_; }

    // Refill helpers: no trace, buffers keep their capacity.
    void set_empty() noexcept { reset_to(VT_EMPTY); }
    void set_null() noexcept { reset_to(VT_NULL); }
    void set_i1(int8_t v) noexcept { set_payload(VT_I1).i1 = v; }
    void set_ui1(uint8_t v) noexcept { set_payload(VT_UI1).ui1 = v; }
    void set_i2(int16_t v) noexcept { set_payload(VT_I2).i2 = v; }
    void set_ui2(uint16_t v) noexcept { set_payload(VT_UI2).ui2 = v; }
    void set_i4(int32_t v) noexcept { set_payload(VT_I4).i4 = v; }
    void set_ui4(uint32_t v) noexcept { set_payload(VT_UI4).ui4 = v; }
    void set_int(int32_t v) noexcept { set_payload(VT_INT).i4 = v; }
    void set_uint(uint32_t v) noexcept { set_payload(VT_UINT).ui4 = v; }
    void set_r4(float v) noexcept { set_payload(VT_R4).r4 = v; }
    void set_r8(double v) noexcept { set_payload(VT_R8).r8 = v; }
    void set_bool(bool v) noexcept {
        set_payload(VT_BOOL).boolean = v ? VARIANT_TRUE : VARIANT_FALSE;
    }
    // A VT_BOOL holding exactly this 16-bit value (values other than -1 and 0 occur in data).
    void set_variant_bool(int16_t v) noexcept { set_payload(VT_BOOL).boolean = v; }
    void set_i8(int64_t v) noexcept { set_payload(VT_I8).i8 = v; }
    void set_ui8(uint64_t v) noexcept { set_payload(VT_UI8).ui8 = v; }
    void set_cy(const ole_currency& v) noexcept { set_payload(VT_CY).cy = v; }
    void set_dec(const ole_decimal& v) noexcept { set_payload(VT_DECIMAL).dec = v; }
    void set_date(const t_systemtime& v) noexcept { set_payload(VT_DATE).st = v; }
    void set_wstring(std::u16string_view text);
    // Makes the value an empty VT_BSTR and hands out its buffer to be filled in place.
    std::u16string& wstring_buffer() noexcept;
    void set_bytes(const unsigned char* bytes, size_t count);
    // Makes the value an empty byte array and hands out its buffer to be filled in place.
    std::vector<unsigned char>& bytes_buffer() noexcept;

  private:
    union payload {
        payload() noexcept : ui8(0) {}
        uint64_t ui8;
        int64_t i8;
        int8_t i1;
        uint8_t ui1;
        int16_t i2;
        uint16_t ui2;
        int32_t i4;
        uint32_t ui4;
        float r4;
        double r8;
        int16_t boolean;
        ole_currency cy;
        ole_decimal dec;
        t_systemtime st;
    };

    // Drops text and bytes (keeping their capacity), zeroes the payload and sets the tag.
    void reset_to(VARTYPE type) noexcept;
    payload& set_payload(VARTYPE type) noexcept {
        reset_to(type);
        return u_;
    }
    void copy_from(const ole_variant& other);

    VARTYPE vt_ = VT_EMPTY;
    payload u_;
    std::u16string text_;
    std::vector<unsigned char> bytes_;
};
