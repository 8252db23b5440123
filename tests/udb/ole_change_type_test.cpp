// The generic type change: results, rounding and failure codes.
#include "udb/ole_change_type.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "udb/ole_variant.hpp"

TEST(OleChangeType, ResultsAndFailureCodes) {
    struct Case {
        ole_variant source;
        VARTYPE target;
        ole_hresult hr;
        const char* rendered;  // of the result, when it succeeds
    };
    ole_decimal small;
    ASSERT_EQ(ole_dec_from_str(std::string_view("-0.0500"), small), OLE_S_OK);
    ole_decimal bad_scale = small;
    bad_scale.scale = 29;
    t_systemtime day;
    day.year = 2016;
    day.month = 1;
    day.day = 1;
    ole_variant null;
    null.set_null();
    const Case cases[] = {
        // Text to integers.
        {ole_variant(u"abc"), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {ole_variant(u"70000"), VT_I2, DISP_E_OVERFLOW, ""},
        {ole_variant(u" 1,234 "), VT_I4, OLE_S_OK, "1234"},
        {ole_variant(u"2.5"), VT_UI1, OLE_S_OK, "2"},
        {ole_variant(u"-1"), VT_UI2, DISP_E_OVERFLOW, ""},
        {ole_variant(u"&HFFFF"), VT_I2, OLE_S_OK, "-1"},
        {ole_variant(u"-9223372036854775808"), VT_I8, OLE_S_OK, "-9223372036854775808"},
        // Reals and currency to integers: banker's rounding, then the range.
        {ole_variant(2.5), VT_I4, OLE_S_OK, "2"},
        {ole_variant(-2.5), VT_I4, OLE_S_OK, "-2"},
        {ole_variant(-3.5f), VT_I2, OLE_S_OK, "-4"},
        {ole_variant(2147483647.5), VT_I4, DISP_E_OVERFLOW, ""},
        {ole_variant(-2147483648.5), VT_I4, OLE_S_OK, "-2147483648"},
        {ole_variant(std::nan("")), VT_I4, DISP_E_OVERFLOW, ""},
        {ole_variant(-0.6), VT_UI4, DISP_E_OVERFLOW, ""},
        {ole_variant(-0.5), VT_UI4, OLE_S_OK, "0"},
        {ole_variant(9223372036854775808.0), VT_I8, DISP_E_OVERFLOW, ""},
        {ole_variant(ole_currency{-35000}), VT_I4, OLE_S_OK, "-4"},
        {ole_variant(ole_currency{327680000}), VT_I2, DISP_E_OVERFLOW, ""},
        // Same width, other signedness: the bit pattern carries over; otherwise the range.
        {ole_variant(static_cast<signed char>(-1)), VT_UI1, OLE_S_OK, "255"},
        {ole_variant(4294967295u), VT_I4, OLE_S_OK, "-1"},
        {ole_variant(true), VT_UI2, OLE_S_OK, "65535"},
        {ole_variant(uint64_t{UINT64_MAX}), VT_I8, OLE_S_OK, "-1"},
        {ole_variant(7), VT_UINT, OLE_S_OK, "7"},
        {ole_variant(static_cast<short>(-1)), VT_UI4, DISP_E_OVERFLOW, ""},
        {ole_variant(static_cast<unsigned short>(40000)), VT_I2, DISP_E_OVERFLOW, ""},
        {ole_variant(300), VT_I1, DISP_E_OVERFLOW, ""},
        // To text.
        {ole_variant(true), VT_BSTR, OLE_S_OK, "-1"},
        {ole_variant(1.5), VT_BSTR, OLE_S_OK, "1.5"},
        {ole_variant(ole_currency{50000}), VT_BSTR, OLE_S_OK, "5"},
        {ole_variant(1.0 / 3.0), VT_BSTR, OLE_S_OK, "0.333333333333333"},
        {ole_variant(1e20), VT_BSTR, OLE_S_OK, "1E+20"},
        {ole_variant(1e-5), VT_BSTR, OLE_S_OK, "1E-05"},
        {ole_variant(-0.0), VT_BSTR, OLE_S_OK, "0"},
        {ole_variant(123456789012345678.0), VT_BSTR, OLE_S_OK, "1.23456789012346E+17"},
        {ole_variant(0.1f), VT_BSTR, OLE_S_OK, "0.1"},
        {ole_variant(1234567.0f), VT_BSTR, OLE_S_OK, "1234567"},
        {ole_variant(16777216.0f), VT_BSTR, OLE_S_OK, "1.677722E+07"},  // seven digits
        {ole_variant(small), VT_BSTR, OLE_S_OK, "-0.05"},
        {ole_variant(), VT_BSTR, OLE_S_OK, ""},
        {ole_variant(bad_scale), VT_BSTR, OLE_E_INVALIDARG, ""},
        // Text and other kinds to reals, booleans, currency and decimal.
        {ole_variant(u"1,234.5"), VT_R8, OLE_S_OK, "1.2345000000000000e+003"},
        {ole_variant(u"12,5"), VT_R8, OLE_S_OK, "1.2500000000000000e+002"},  // thousands
        {ole_variant(u"1e400"), VT_R8, DISP_E_OVERFLOW, ""},
        {ole_variant(u"1e39"), VT_R4, DISP_E_OVERFLOW, ""},
        {ole_variant(1e300), VT_R4, DISP_E_OVERFLOW, ""},
        {ole_variant(std::nan("")), VT_R4, OLE_S_OK, "1.#QNAN0e+000"},
        {ole_variant(u"tRUE"), VT_BOOL, OLE_S_OK, "1"},
        {ole_variant(u"False"), VT_BOOL, OLE_S_OK, "0"},
        {ole_variant(u"-0.5"), VT_BOOL, OLE_S_OK, "1"},
        {ole_variant(std::nan("")), VT_BOOL, OLE_S_OK, "1"},
        {ole_variant(u"yes"), VT_BOOL, DISP_E_TYPEMISMATCH, ""},
        {ole_variant(u"(1.5)"), VT_CY, OLE_S_OK, "-1.5"},
        {ole_variant(true), VT_CY, OLE_S_OK, "-1"},
        {ole_variant(uint64_t{UINT64_MAX}), VT_CY, DISP_E_OVERFLOW, ""},
        {ole_variant(true), VT_DECIMAL, OLE_S_OK, "1"},
        {ole_variant(0.1), VT_DECIMAL, OLE_S_OK, "0.1"},
        // Kinds outside the generic path.
        {ole_variant(day), VT_BSTR, DISP_E_TYPEMISMATCH, ""},
        {null, VT_I4, DISP_E_TYPEMISMATCH, ""},
        {ole_variant(1), VT_BLOB, DISP_E_BADVARTYPE, ""},
        {ole_variant(1), VT_EMPTY, OLE_S_OK, ""},
        {ole_variant(u"x"), VT_NULL, OLE_S_OK, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.to_string() + " to " + std::to_string(c.target));
        ole_variant out(5);
        ASSERT_EQ(ole_change_type(out, c.source, c.target), c.hr);
        if (c.hr == OLE_S_OK) {
            EXPECT_EQ(out.vt(), c.target);
            EXPECT_EQ(out.to_string(), c.rendered);
        } else {
            EXPECT_EQ(out.vt(), VT_I4);  // untouched by failures
            EXPECT_EQ(out.i4(), 5);
        }
    }
}

TEST(OleChangeType, InPlace) {
    ole_variant v(u"  -17 ");
    ASSERT_EQ(ole_change_type(v, v, VT_I4), OLE_S_OK);
    EXPECT_EQ(v.i4(), -17);
    ASSERT_EQ(ole_change_type(v, v, VT_BSTR), OLE_S_OK);
    ASSERT_EQ(ole_change_type(v, v, VT_BSTR), OLE_S_OK);
    EXPECT_EQ(v.wstring(), u"-17");
}
