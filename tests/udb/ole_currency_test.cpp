// CY arithmetic: parsing, rendering and conversions with banker's rounding and overflow.
#include "udb/ole_currency.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

int64_t cy_units(std::string_view text) {
    ole_currency cy{-777};
    EXPECT_EQ(ole_cy_from_str(text, cy), OLE_S_OK) << text;
    return cy.int64;
}

}  // namespace

TEST(OleCurrencyParse, RoundsToFourDecimalsHalfToEven) {
    EXPECT_EQ(cy_units("5"), 50000);
    EXPECT_EQ(cy_units("1.23456"), 12346);
    EXPECT_EQ(cy_units("1.00005"), 10000);
    EXPECT_EQ(cy_units("1.00015"), 10002);
    EXPECT_EQ(cy_units("-1.00005"), -10000);
    EXPECT_EQ(cy_units("1.000050000001"), 10001);
    EXPECT_EQ(cy_units("$1,234.5"), 12345000);
    // The comma is a thousands separator for the currency reader itself.
    EXPECT_EQ(cy_units("12,5"), 1250000);
    EXPECT_EQ(cy_units("2.5e-4"), 2);
}

TEST(OleCurrencyParse, RangeAndBadText) {
    EXPECT_EQ(cy_units("922337203685477.5807"), INT64_MAX);
    EXPECT_EQ(cy_units("-922337203685477.5808"), INT64_MIN);
    ole_currency cy;
    EXPECT_EQ(ole_cy_from_str("922337203685477.5808", cy), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_str("-922337203685477.58086", cy), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_str("1e300", cy), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_str("12.5.1", cy), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ole_cy_from_str("$1e5", cy), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ole_cy_from_str("", cy), DISP_E_TYPEMISMATCH);
}

TEST(OleCurrencyRender, NoTrailingZerosAndAlwaysAPoint) {
    EXPECT_EQ(ole_cy_to_string(ole_currency{0}), "0");
    EXPECT_EQ(ole_cy_to_string(ole_currency{50000}), "5");
    EXPECT_EQ(ole_cy_to_string(ole_currency{15000}), "1.5");
    EXPECT_EQ(ole_cy_to_string(ole_currency{-15000}), "-1.5");
    EXPECT_EQ(ole_cy_to_string(ole_currency{0xFFFFFFFFll}), "429496.7295");
    EXPECT_EQ(ole_cy_to_string(ole_currency{9}), "0.0009");
    EXPECT_EQ(ole_cy_to_string(ole_currency{INT64_MAX}), "922337203685477.5807");
    EXPECT_EQ(ole_cy_to_string(ole_currency{INT64_MIN}), "-922337203685477.5808");
}

TEST(OleCurrencyConvert, FromDoubleAndToIntegersUseBankersRounding) {
    // Double to units of 1/10000: 0.00035 is 3.5 units exactly.
    const std::pair<double, int64_t> from_double[] = {
        {2.5, 25000}, {0.00005, 0}, {0.00035, 4}, {0.00045, 4}, {-0.00025, -2}};
    for (const auto& [d, units] : from_double) {
        ole_currency cy;
        ASSERT_EQ(ole_cy_from_r8(d, cy), OLE_S_OK) << d;
        EXPECT_EQ(cy.int64, units) << d;
    }
    ole_currency cy;
    for (const double d : {1e15, -1e15, std::nan(""), -std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(ole_cy_from_r8(d, cy), DISP_E_OVERFLOW) << d;
    }
    EXPECT_EQ(ole_cy_to_r8(ole_currency{25000}), 2.5);

    const std::pair<int64_t, int64_t> to_int[] = {
        {25000, 2}, {35000, 4}, {-25000, -2}, {-25001, -3}};
    int64_t v = 0;
    for (const auto& [units, whole] : to_int) {
        EXPECT_EQ(ole_cy_to_i64(ole_currency{units}, INT32_MIN, INT32_MAX, v), OLE_S_OK);
        EXPECT_EQ(v, whole) << units;
    }
    EXPECT_EQ(ole_cy_to_i64(ole_currency{327675000}, INT16_MIN, INT16_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_cy_to_i64(ole_currency{INT64_MIN}, INT64_MIN, INT64_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, -922337203685478);
    uint64_t u = 0;
    EXPECT_EQ(ole_cy_to_u64(ole_currency{-4000}, UINT8_MAX, u), OLE_S_OK);
    EXPECT_EQ(u, 0u);
    EXPECT_EQ(ole_cy_to_u64(ole_currency{-6000}, UINT8_MAX, u), DISP_E_OVERFLOW);
}

TEST(OleCurrencyConvert, FromIntegersOverflowBeyondTheRange) {
    ole_currency cy;
    ASSERT_EQ(ole_cy_from_i64(922337203685477, cy), OLE_S_OK);
    EXPECT_EQ(cy.int64, 9223372036854770000);
    EXPECT_EQ(ole_cy_from_i64(922337203685478, cy), DISP_E_OVERFLOW);
    ASSERT_EQ(ole_cy_from_i64(-922337203685477, cy), OLE_S_OK);
    EXPECT_EQ(ole_cy_from_i64(-922337203685478, cy), DISP_E_OVERFLOW);
    EXPECT_EQ(ole_cy_from_u64(UINT64_MAX, cy), DISP_E_OVERFLOW);
}
