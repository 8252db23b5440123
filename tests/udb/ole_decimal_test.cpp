// Exact DECIMAL arithmetic: parsing, rendering and conversions with OLE's rounding and overflow.
#include "udb/ole_decimal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "udb/ole_currency.hpp"

namespace {

ole_decimal make_dec(uint8_t scale, bool negative, uint32_t hi, uint64_t lo) {
    ole_decimal d;
    d.scale = scale;
    d.sign = negative ? ole_decimal::negative_sign : 0;
    d.hi32 = hi;
    d.lo64 = lo;
    return d;
}

ole_decimal parsed(std::string_view text) {
    ole_decimal d;
    EXPECT_EQ(ole_dec_from_str(text, d), OLE_S_OK) << text;
    return d;
}

// Scale, sign, high 32 and low 64 bits of the mantissa: equality of decimals compares values,
// so the stored form is checked field by field.
std::string layout(std::string_view text) {
    const ole_decimal d = parsed(text);
    return std::to_string(d.scale) + (d.is_negative() ? " - " : " + ") + std::to_string(d.hi32) +
           ":" + std::to_string(d.lo64);
}

}  // namespace

TEST(OleDecimalParse, KeepsTheExactValueWithoutTrailingFractionZeros) {
    EXPECT_EQ(layout("-1"), "0 - 0:1");
    EXPECT_EQ(layout("4294967296.0"), "0 + 0:4294967296");
    EXPECT_EQ(layout("18446744073709551616"), "0 + 1:0");
    EXPECT_EQ(layout(" 1,234.50 "), "1 + 0:12345");
    EXPECT_EQ(layout("1.5E3"), "0 + 0:1500");
    EXPECT_EQ(layout("(12.5)"), "1 - 0:125");
    EXPECT_EQ(layout("12.5-"), "1 - 0:125");
    EXPECT_EQ(layout("&HFF"), "0 + 0:255");
    EXPECT_EQ(layout("-79228162514264337593543950335"), "0 - 4294967295:18446744073709551615");
    EXPECT_FALSE(parsed("-0.000").is_negative());
}

TEST(OleDecimalParse, OverflowAndBadText) {
    for (const std::string& text :
         {std::string("79228162514264337593543950336"),
          std::string("-79228162514264337593543950336"),
          std::string("100000000000000000000000000000"), std::string("1e29"),
          std::string(100000, '7'), std::string("1e99999999999999999999")}) {
        ole_decimal d;
        EXPECT_EQ(ole_dec_from_str(text, d), DISP_E_OVERFLOW) << text.substr(0, 40);
    }
    ole_decimal d = make_dec(0, false, 0, 99);
    for (const char* text : {"", "abc", "1.2.3", "12,5,x", "1e", "--1", ",1", "1 2"}) {
        EXPECT_EQ(ole_dec_from_str(text, d), DISP_E_TYPEMISMATCH) << text;
    }
    EXPECT_EQ(ole_dec_from_str(std::u16string_view(u"1\u00a02"), d), DISP_E_TYPEMISMATCH);
}

TEST(OleDecimalParse, DigitsBeyondTheScaleRoundHalfToEven) {
    const std::pair<std::string, const char*> cases[] = {
        // 29 decimals: the last one is rounded away.
        {"0.12345678901234567890123456789", "0.1234567890123456789012345679"},
        {"0.00000000000000000000000000005", "0"},
        {"0.00000000000000000000000000015", "0.0000000000000000000000000002"},
        {"0.000000000000000000000000000050000000001", "0.0000000000000000000000000001"},
        // 29 significant digits whose mantissa would pass 96 bits lose one decimal.
        {"9.9999999999999999999999999999", "10"},
        {"7.9228162514264337593543950335", "7.9228162514264337593543950335"},
        {"7.9228162514264337593543950336", "7.922816251426433759354395034"},
        {"1.23456789012345678901234567891", "1.2345678901234567890123456789"},
        {"0." + std::string(50000, '0') + "1", "0"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ole_dec_to_string(parsed(text)), expected) << text.substr(0, 50);
    }
}

TEST(OleDecimalRender, PrintsPlainDigitsWithoutTrailingZeros) {
    const std::pair<ole_decimal, const char*> cases[] = {
        {make_dec(3, false, 0, 1000), "1"},
        {make_dec(1, true, 0, 15), "-1.5"},
        {make_dec(0, false, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull), "79228162514264337593543950335"},
        {make_dec(28, false, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull), "7.9228162514264337593543950335"},
        {make_dec(7, false, 0, 9000), "0.0009"},
        {make_dec(5, true, 0, 0), "0"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(ole_dec_to_string(value), text);
    }
}

TEST(OleDecimalConvert, ToIntegersRoundHalfToEvenAndOverflow) {
    const std::pair<const char*, int64_t> in_range[] = {
        {"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"-2.51", -3}, {"-2147483648.5", INT32_MIN}};
    for (const auto& [text, expected] : in_range) {
        int64_t v = 0;
        EXPECT_EQ(ole_dec_to_i64(parsed(text), INT32_MIN, INT32_MAX, v), OLE_S_OK) << text;
        EXPECT_EQ(v, expected) << text;
    }
    int64_t v = 0;
    EXPECT_EQ(ole_dec_to_i64(parsed("2147483647.5"), INT32_MIN, INT32_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_to_i64(parsed("-9223372036854775808"), INT64_MIN, INT64_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_EQ(ole_dec_to_i64(parsed("9223372036854775808"), INT64_MIN, INT64_MAX, v),
              DISP_E_OVERFLOW);
    uint64_t u = 0;
    EXPECT_EQ(ole_dec_to_u64(parsed("-1"), UINT64_MAX, u), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_to_u64(parsed("18446744073709551615.4"), UINT64_MAX, u), OLE_S_OK);
    EXPECT_EQ(u, UINT64_MAX);
}

TEST(OleDecimalConvert, DoublesBothWays) {
    // From a double: fifteen significant digits.
    const std::pair<double, const char*> from_double[] = {
        {0.1, "0.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {-123456789012345678.0, "-123456789012346000"},
        {1e-30, "0"},
    };
    for (const auto& [d, text] : from_double) {
        ole_decimal dec;
        ASSERT_EQ(ole_dec_from_r8(d, dec), OLE_S_OK) << d;
        EXPECT_EQ(ole_dec_to_string(dec), text);
    }
    ole_decimal dec;
    ASSERT_EQ(ole_dec_from_r4(0.1f, dec), OLE_S_OK);
    EXPECT_EQ(ole_dec_to_string(dec), "0.1");
    for (const double d : {1e29, std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_EQ(ole_dec_from_r8(d, dec), DISP_E_OVERFLOW) << d;
    }
    // To a double: the nearest one.
    EXPECT_EQ(ole_dec_to_r8(parsed("-12.345")), -12.345);
    EXPECT_EQ(ole_dec_to_r8(parsed("79228162514264337593543950335")), 7.922816251426434e28);
    EXPECT_EQ(ole_dec_to_r8(parsed("0.0000000000000000000000000001")), 1e-28);
}

TEST(OleDecimalConvert, CurrencyBothWays) {
    ole_currency cy;
    ASSERT_EQ(ole_dec_to_cy(parsed("1.00005"), cy), OLE_S_OK);
    EXPECT_EQ(cy.int64, 10000);
    ASSERT_EQ(ole_dec_to_cy(parsed("1.00015"), cy), OLE_S_OK);
    EXPECT_EQ(cy.int64, 10002);
    ASSERT_EQ(ole_dec_to_cy(parsed("-922337203685477.5808"), cy), OLE_S_OK);
    EXPECT_EQ(cy.int64, INT64_MIN);
    EXPECT_EQ(ole_dec_to_cy(parsed("922337203685477.5808"), cy), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_to_cy(parsed("1e20"), cy), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_to_string(ole_dec_from_cy(ole_currency{-12345})), "-1.2345");
}

TEST(OleDecimalConvert, EqualityComparesValuesAndChecksRejectDamage) {
    EXPECT_EQ(make_dec(2, false, 0, 150), make_dec(1, false, 0, 15));
    EXPECT_EQ(make_dec(2, true, 0, 0), make_dec(0, false, 0, 0));
    EXPECT_FALSE(make_dec(1, true, 0, 15) == make_dec(1, false, 0, 15));
    EXPECT_EQ(ole_dec_from_i64(INT64_MIN), parsed("-9223372036854775808"));
    EXPECT_EQ(ole_dec_check(make_dec(29, false, 0, 1)), OLE_E_INVALIDARG);
    ole_decimal odd_sign = make_dec(0, false, 0, 1);
    odd_sign.sign = 1;
    EXPECT_EQ(ole_dec_check(odd_sign), OLE_E_INVALIDARG);
}
