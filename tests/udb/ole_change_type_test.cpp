// The generic type change: results, rounding and failure codes.
#include "udb/ole_change_type.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "udb/ole_variant.hpp"

namespace {

ole_hresult change(const ole_variant& src, VARTYPE target, ole_variant& out) {
    return ole_change_type(out, src, target);
}

std::u16string text_of(const ole_variant& src) {
    ole_variant out;
    EXPECT_EQ(change(src, VT_BSTR, out), OLE_S_OK);
    return out.wstring();
}

}  // namespace

TEST(OleChangeType, TextToIntegers) {
    ole_variant out;
    EXPECT_EQ(change(ole_variant(u"abc"), VT_I4, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(ole_variant(u"70000"), VT_I2, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(ole_variant(u" 1,234 "), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.i4(), 1234);
    ASSERT_EQ(change(ole_variant(u"2.5"), VT_UI1, out), OLE_S_OK);
    EXPECT_EQ(out.ui1(), 2);
    EXPECT_EQ(change(ole_variant(u"-1"), VT_UI2, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(ole_variant(u"&HFFFF"), VT_I2, out), OLE_S_OK);
    EXPECT_EQ(out.i2(), -1);
    ASSERT_EQ(change(ole_variant(u"-9223372036854775808"), VT_I8, out), OLE_S_OK);
    EXPECT_EQ(out.i8(), INT64_MIN);
}

TEST(OleChangeType, RealsToIntegersUseBankersRounding) {
    ole_variant out;
    ASSERT_EQ(change(ole_variant(2.5), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.i4(), 2);
    ASSERT_EQ(change(ole_variant(-2.5), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.i4(), -2);
    ASSERT_EQ(change(ole_variant(-3.5f), VT_I2, out), OLE_S_OK);
    EXPECT_EQ(out.i2(), -4);
    EXPECT_EQ(change(ole_variant(2147483647.5), VT_I4, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(ole_variant(-2147483648.5), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.i4(), INT32_MIN);
    EXPECT_EQ(change(ole_variant(std::nan("")), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(ole_variant(-0.6), VT_UI4, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(ole_variant(-0.5), VT_UI4, out), OLE_S_OK);
    EXPECT_EQ(out.ui4(), 0u);
    EXPECT_EQ(change(ole_variant(9223372036854775808.0), VT_I8, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(ole_variant(ole_currency{-35000}), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.i4(), -4);
    EXPECT_EQ(change(ole_variant(ole_currency{327680000}), VT_I2, out), DISP_E_OVERFLOW);
}

TEST(OleChangeType, IntegerWidthsAndSigns) {
    ole_variant out;
    // Same width, other signedness: the bit pattern carries over.
    ASSERT_EQ(change(ole_variant(static_cast<signed char>(-1)), VT_UI1, out), OLE_S_OK);
    EXPECT_EQ(out.ui1(), 255);
    ASSERT_EQ(change(ole_variant(4294967295u), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.i4(), -1);
    ASSERT_EQ(change(ole_variant(true), VT_UI2, out), OLE_S_OK);
    EXPECT_EQ(out.ui2(), 65535);
    // Otherwise the range decides.
    EXPECT_EQ(change(ole_variant(static_cast<short>(-1)), VT_UI4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(ole_variant(static_cast<unsigned short>(40000)), VT_I2, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(ole_variant(300), VT_I1, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(ole_variant(static_cast<unsigned char>(200)), VT_I1, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(ole_variant(uint64_t{UINT64_MAX}), VT_I8, out), OLE_S_OK);
    EXPECT_EQ(out.i8(), -1);
    ASSERT_EQ(change(ole_variant(true), VT_I4, out), OLE_S_OK);
    EXPECT_EQ(out.i4(), -1);
    ASSERT_EQ(change(ole_variant(7), VT_UINT, out), OLE_S_OK);
    EXPECT_EQ(out.vt(), VT_UINT);
}

TEST(OleChangeType, ToText) {
    EXPECT_EQ(text_of(ole_variant(true)), u"-1");
    EXPECT_EQ(text_of(ole_variant(false)), u"0");
    EXPECT_EQ(text_of(ole_variant(-42)), u"-42");
    EXPECT_EQ(text_of(ole_variant(1.5)), u"1.5");
    EXPECT_EQ(text_of(ole_variant(1.0 / 3.0)), u"0.333333333333333");
    EXPECT_EQ(text_of(ole_variant(1e20)), u"1E+20");
    EXPECT_EQ(text_of(ole_variant(1e-5)), u"1E-05");
    EXPECT_EQ(text_of(ole_variant(-0.0)), u"0");
    EXPECT_EQ(text_of(ole_variant(123456789012345678.0)), u"1.23456789012346E+17");
    EXPECT_EQ(text_of(ole_variant(0.1f)), u"0.1");
    EXPECT_EQ(text_of(ole_variant(1234567.0f)), u"1234567");
    EXPECT_EQ(text_of(ole_variant(16777216.0f)), u"1.677722E+07");  // seven digits for a float
    EXPECT_EQ(text_of(ole_variant(ole_currency{50000})), u"5");
    ole_decimal d;
    ASSERT_EQ(ole_dec_from_str(std::string_view("-0.0500"), d), OLE_S_OK);
    EXPECT_EQ(text_of(ole_variant(d)), u"-0.05");
    EXPECT_EQ(text_of(ole_variant()), u"");
    d.scale = 29;
    ole_variant out;
    EXPECT_EQ(change(ole_variant(d), VT_BSTR, out), OLE_E_INVALIDARG);
}

TEST(OleChangeType, TextToRealsBooleansCurrencyAndDecimal) {
    ole_variant out;
    ASSERT_EQ(change(ole_variant(u"1,234.5"), VT_R8, out), OLE_S_OK);
    EXPECT_EQ(out.r8(), 1234.5);
    EXPECT_EQ(change(ole_variant(u"1e400"), VT_R8, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(ole_variant(u"1e39"), VT_R4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(ole_variant(u"12,5"), VT_R8, out), OLE_S_OK);  // a thousands separator here
    EXPECT_EQ(out.r8(), 125.0);

    ASSERT_EQ(change(ole_variant(u"tRUE"), VT_BOOL, out), OLE_S_OK);
    EXPECT_EQ(out.variant_bool(), VARIANT_TRUE);
    ASSERT_EQ(change(ole_variant(u"False"), VT_BOOL, out), OLE_S_OK);
    EXPECT_EQ(out.variant_bool(), VARIANT_FALSE);
    ASSERT_EQ(change(ole_variant(u"-0.5"), VT_BOOL, out), OLE_S_OK);
    EXPECT_EQ(out.variant_bool(), VARIANT_TRUE);
    EXPECT_EQ(change(ole_variant(u"yes"), VT_BOOL, out), DISP_E_TYPEMISMATCH);

    ASSERT_EQ(change(ole_variant(u"(1.5)"), VT_CY, out), OLE_S_OK);
    EXPECT_EQ(out.cy().int64, -15000);
    ASSERT_EQ(change(ole_variant(true), VT_DECIMAL, out), OLE_S_OK);
    EXPECT_EQ(out.to_string(), "1");
    ASSERT_EQ(change(ole_variant(0.1), VT_DECIMAL, out), OLE_S_OK);
    EXPECT_EQ(out.to_string(), "0.1");
    ASSERT_EQ(change(ole_variant(true), VT_CY, out), OLE_S_OK);
    EXPECT_EQ(out.cy().int64, -10000);
    EXPECT_EQ(change(ole_variant(uint64_t{UINT64_MAX}), VT_CY, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(ole_variant(1e300), VT_R4, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(ole_variant(std::nan("")), VT_R4, out), OLE_S_OK);
    EXPECT_TRUE(std::isnan(out.r4()));
    ASSERT_EQ(change(ole_variant(std::nan("")), VT_BOOL, out), OLE_S_OK);
    EXPECT_EQ(out.variant_bool(), VARIANT_TRUE);
}

TEST(OleChangeType, KindsOutsideTheGenericPath) {
    ole_variant out(5);
    t_systemtime t;
    t.year = 2016;
    t.month = 1;
    t.day = 1;
    EXPECT_EQ(change(ole_variant(t), VT_BSTR, out), DISP_E_TYPEMISMATCH);
    ole_variant null;
    null.set_null();
    EXPECT_EQ(change(null, VT_I4, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(ole_variant(1), VT_DISPATCH, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(ole_variant(1), VT_BLOB, out), DISP_E_BADVARTYPE);
    EXPECT_EQ(out.i4(), 5);  // untouched by failures
    ASSERT_EQ(change(ole_variant(1), VT_EMPTY, out), OLE_S_OK);
    EXPECT_EQ(out.vt(), VT_EMPTY);
    ASSERT_EQ(change(ole_variant(u"x"), VT_NULL, out), OLE_S_OK);
    EXPECT_EQ(out.vt(), VT_NULL);
}

TEST(OleChangeType, InPlace) {
    ole_variant v(u"  -17 ");
    ASSERT_EQ(ole_change_type(v, v, VT_I4), OLE_S_OK);
    EXPECT_EQ(v.i4(), -17);
    ASSERT_EQ(ole_change_type(v, v, VT_BSTR), OLE_S_OK);
    EXPECT_EQ(v.wstring(), u"-17");
    ASSERT_EQ(ole_change_type(v, v, VT_BSTR), OLE_S_OK);
    EXPECT_EQ(v.wstring(), u"-17");
}
