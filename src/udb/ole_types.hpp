#pragma once
// The type codes, result codes and plain value structures of the OLE Automation value model that
// ole_variant keeps. The numbers are those of the published VARENUM and HRESULT values, so that
// type codes read from profiles and mapping files keep their meaning.

#include <cstdint>

using VARTYPE = uint16_t;
using ole_hresult = uint32_t;

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_SAFEARRAY = 27,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_BLOB = 65,
    VT_BLOB_OBJECT = 70,
    VT_ARRAY = 0x2000,
    VT_BYTE_ARRAY = VT_ARRAY | VT_UI1,  // 8209: every binary value is held this way
};

constexpr ole_hresult OLE_S_OK = 0;
constexpr ole_hresult DISP_E_TYPEMISMATCH = 0x80020005u;
constexpr ole_hresult DISP_E_BADVARTYPE = 0x80020008u;
constexpr ole_hresult DISP_E_OVERFLOW = 0x8002000Au;
constexpr ole_hresult OLE_E_INVALIDARG = 0x80070057u;

constexpr bool ole_succeeded(ole_hresult hr) noexcept {
    return (hr & 0x80000000u) == 0;
}
constexpr bool ole_failed(ole_hresult hr) noexcept {
    return !ole_succeeded(hr);
}

constexpr int16_t VARIANT_TRUE = -1;
constexpr int16_t VARIANT_FALSE = 0;

// The broken-down time of a VT_DATE value: year, month, day of week, day, hour, minute, second,
// milliseconds, 16 bits each. The day of week is carried along and never used.
struct t_systemtime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day_of_week = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    friend bool operator==(const t_systemtime&, const t_systemtime&) = default;
};
static_assert(sizeof(t_systemtime) == 16);
