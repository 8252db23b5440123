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

std::string round_trip(std::string_view text) {
    return ole_dec_to_string(parsed(text));
}

}  // namespace

TEST(OleDecimalParse, KeepsTheExactValueWithoutTrailingFractionZeros) {
    const ole_decimal minus_one = parsed("-1");
    EXPECT_EQ(minus_one.sign, 0x80);
    EXPECT_EQ(minus_one.lo64, 1u);
    EXPECT_EQ(minus_one.scale, 0);

    const ole_decimal half = parsed("0.5");
    EXPECT_EQ(half.scale, 1);
    EXPECT_EQ(half.lo64, 5u);

    const ole_decimal big = parsed("4294967296.0");
    EXPECT_EQ(big.scale, 0);
    EXPECT_EQ(big.lo64, 4294967296u);

    const ole_decimal two64 = parsed("18446744073709551616");
    EXPECT_EQ(two64.hi32, 1u);
    EXPECT_EQ(two64.lo64, 0u);

    const ole_decimal price = parsed(" 1,234.50 ");
    EXPECT_EQ(price.scale, 1);
    EXPECT_EQ(price.lo64, 12345u);

    EXPECT_EQ(parsed("1.5E3"), make_dec(0, false, 0, 1500));
    EXPECT_EQ(parsed("(12.5)"), make_dec(1, true, 0, 125));
    EXPECT_EQ(parsed("12.5-"), make_dec(1, true, 0, 125));
    EXPECT_EQ(parsed("&HFF"), make_dec(0, false, 0, 255));
    EXPECT_FALSE(parsed("-0.000").is_negative());
}

TEST(OleDecimalParse, LimitsOfTheNinetySixBitMantissa) {
    const ole_decimal max = parsed("79228162514264337593543950335");
    EXPECT_EQ(max.hi32, 0xFFFFFFFFu);
    EXPECT_EQ(max.lo64, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(parsed("-79228162514264337593543950335").sign, 0x80);

    ole_decimal d;
    EXPECT_EQ(ole_dec_from_str("79228162514264337593543950336", d), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_str("-79228162514264337593543950336", d), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_str("100000000000000000000000000000", d), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_str("1e29", d), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_str(std::string(100000, '7'), d), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_str("1e99999999999999999999", d), DISP_E_OVERFLOW);
}

TEST(OleDecimalParse, DigitsBeyondTheScaleRoundHalfToEven) {
    // 29 decimals: the last one is rounded away.
    EXPECT_EQ(round_trip("0.12345678901234567890123456789"), "0.1234567890123456789012345679");
    EXPECT_EQ(round_trip("0.00000000000000000000000000005"), "0");
    EXPECT_EQ(round_trip("0.00000000000000000000000000015"), "0.0000000000000000000000000002");
    EXPECT_EQ(round_trip("0.000000000000000000000000000050000000001"),
              "0.0000000000000000000000000001");
    // 29 significant digits whose mantissa would pass 96 bits lose one decimal.
    EXPECT_EQ(round_trip("9.9999999999999999999999999999"), "10");
    EXPECT_EQ(round_trip("7.9228162514264337593543950335"), "7.9228162514264337593543950335");
    EXPECT_EQ(round_trip("7.9228162514264337593543950336"), "7.922816251426433759354395034");
    EXPECT_EQ(round_trip("1.23456789012345678901234567891"), "1.2345678901234567890123456789");
    EXPECT_EQ(round_trip("1e-99999999999"), "0");
    EXPECT_EQ(round_trip("0." + std::string(50000, '0') + "1"), "0");
}

TEST(OleDecimalParse, BadTextIsATypeMismatch) {
    ole_decimal d = make_dec(0, false, 0, 99);
    for (const char* text : {"", "abc", "1.2.3", "12,5,x", "1e", "--1", ",1", "1 2"}) {
        EXPECT_EQ(ole_dec_from_str(text, d), DISP_E_TYPEMISMATCH) << text;
    }
    EXPECT_EQ(ole_dec_from_str(std::u16string_view(u"1\u00a02"), d), DISP_E_TYPEMISMATCH);
}

TEST(OleDecimalRender, PrintsPlainDigitsWithoutTrailingZeros) {
    struct Case {
        ole_decimal value;
        const char* text;
    };
    const Case cases[] = {
        {make_dec(0, false, 0, 0), "0"},
        {make_dec(0, false, 0, 1), "1"},
        {make_dec(1, false, 0, 10), "1"},
        {make_dec(2, false, 0, 100), "1"},
        {make_dec(3, false, 0, 1000), "1"},
        {make_dec(1, false, 0, 15), "1.5"},
        {make_dec(3, false, 0, 1500), "1.5"},
        {make_dec(1, true, 0, 15), "-1.5"},
        {make_dec(0, false, 0, 0xFFFFFFFFull), "4294967295"},
        {make_dec(0, false, 0, 0xFFFFFFFFFFFFFFFFull), "18446744073709551615"},
        {make_dec(0, false, 1, 0), "18446744073709551616"},
        {make_dec(0, false, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull), "79228162514264337593543950335"},
        {make_dec(10, false, 0, 1), "0.0000000001"},
        {make_dec(10, false, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull), "7922816251426433759.3543950335"},
        {make_dec(28, false, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull), "7.9228162514264337593543950335"},
        {make_dec(4, false, 0, 9), "0.0009"},
        {make_dec(7, false, 0, 9000), "0.0009"},
        {make_dec(5, true, 0, 0), "0"},
        {make_dec(2, true, 0, 123456789), "-1234567.89"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ole_dec_to_string(c.value), c.text);
    }
}

TEST(OleDecimalConvert, ToIntegersRoundHalfToEvenAndOverflow) {
    int64_t v = 0;
    EXPECT_EQ(ole_dec_to_i64(parsed("2.5"), INT32_MIN, INT32_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(ole_dec_to_i64(parsed("3.5"), INT32_MIN, INT32_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(ole_dec_to_i64(parsed("-2.5"), INT32_MIN, INT32_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, -2);
    EXPECT_EQ(ole_dec_to_i64(parsed("-2.51"), INT32_MIN, INT32_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, -3);
    EXPECT_EQ(ole_dec_to_i64(parsed("2147483647.5"), INT32_MIN, INT32_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_to_i64(parsed("-2147483648.5"), INT32_MIN, INT32_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_EQ(ole_dec_to_i64(parsed("-9223372036854775808"), INT64_MIN, INT64_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_EQ(ole_dec_to_i64(parsed("9223372036854775808"), INT64_MIN, INT64_MAX, v),
              DISP_E_OVERFLOW);
    uint64_t u = 0;
    EXPECT_EQ(ole_dec_to_u64(parsed("-1"), UINT64_MAX, u), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_to_u64(parsed("18446744073709551615.4"), UINT64_MAX, u), OLE_S_OK);
    EXPECT_EQ(u, UINT64_MAX);
}

TEST(OleDecimalConvert, FromDoubleKeepsFifteenSignificantDigits) {
    ole_decimal d;
    ASSERT_EQ(ole_dec_from_r8(0.1, d), OLE_S_OK);
    EXPECT_EQ(ole_dec_to_string(d), "0.1");
    ASSERT_EQ(ole_dec_from_r8(1.0 / 3.0, d), OLE_S_OK);
    EXPECT_EQ(ole_dec_to_string(d), "0.333333333333333");
    ASSERT_EQ(ole_dec_from_r8(-123456789012345678.0, d), OLE_S_OK);
    EXPECT_EQ(ole_dec_to_string(d), "-123456789012346000");
    ASSERT_EQ(ole_dec_from_r8(1e-30, d), OLE_S_OK);
    EXPECT_EQ(ole_dec_to_string(d), "0");
    ASSERT_EQ(ole_dec_from_r4(0.1f, d), OLE_S_OK);
    EXPECT_EQ(ole_dec_to_string(d), "0.1");
    EXPECT_EQ(ole_dec_from_r8(1e29, d), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_r8(std::numeric_limits<double>::infinity(), d), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_dec_from_r8(std::nan(""), d), DISP_E_OVERFLOW);
}

TEST(OleDecimalConvert, ToDoubleIsTheNearestDouble) {
    EXPECT_EQ(ole_dec_to_r8(parsed("0.1")), 0.1);
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

    const ole_decimal back = ole_dec_from_cy(ole_currency{-12345});
    EXPECT_EQ(back.scale, 4);
    EXPECT_EQ(ole_dec_to_string(back), "-1.2345");
}

TEST(OleDecimalConvert, EqualityComparesValues) {
    EXPECT_EQ(make_dec(2, false, 0, 150), make_dec(1, false, 0, 15));
    EXPECT_EQ(make_dec(2, true, 0, 0), make_dec(0, false, 0, 0));
    EXPECT_FALSE(make_dec(1, true, 0, 15) == make_dec(1, false, 0, 15));
    EXPECT_EQ(ole_dec_check(make_dec(29, false, 0, 1)), OLE_E_INVALIDARG);
    ole_decimal odd_sign = make_dec(0, false, 0, 1);
    odd_sign.sign = 1;
    EXPECT_EQ(ole_dec_check(odd_sign), OLE_E_INVALIDARG);
    EXPECT_EQ(ole_dec_from_i64(INT64_MIN), parsed("-9223372036854775808"));
}
