// Reading numbers from text under the English (United States) rules.
#include "udb/ole_number_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

ole_hresult parse_i64(std::string_view text, int64_t min, int64_t max, int64_t& out) {
    ole_parsed_number n;
    const ole_hresult hr = ole_parse_number(text, n);
    return ole_failed(hr) ? hr : ole_parsed_to_int64(n, min, max, out);
}

int64_t i32_of(std::string_view text) {
    int64_t v = -777;
    EXPECT_EQ(parse_i64(text, INT32_MIN, INT32_MAX, v), OLE_S_OK) << text;
    return v;
}

ole_hresult status_of(std::string_view text) {
    ole_parsed_number n;
    return ole_parse_number(text, n);
}

double double_of(std::string_view text) {
    ole_parsed_number n;
    double d = -777.0;
    EXPECT_EQ(ole_parse_number(text, n), OLE_S_OK) << text;
    EXPECT_EQ(ole_parsed_to_double(n, d), OLE_S_OK) << text;
    return d;
}

}  // namespace

TEST(OleNumberText, AcceptsTheDecorationsOfTheEnglishRules) {
    EXPECT_EQ(i32_of("\t42\r\n"), 42);
    EXPECT_EQ(i32_of("+42"), 42);
    EXPECT_EQ(i32_of("42+"), 42);
    EXPECT_EQ(i32_of("$42"), 42);
    EXPECT_EQ(i32_of("42-"), -42);
    EXPECT_EQ(i32_of("- 42"), -42);
    EXPECT_EQ(i32_of("(42)"), -42);
    EXPECT_EQ(i32_of("42$"), 42);
    EXPECT_EQ(i32_of("1,234,567"), 1234567);
    EXPECT_EQ(i32_of("1,2,3"), 123);
    EXPECT_EQ(i32_of("1,234,"), 1234);
    EXPECT_EQ(i32_of("00042"), 42);
    EXPECT_EQ(i32_of("1.5E3"), 1500);
    EXPECT_EQ(i32_of("15e-1"), 2);
    EXPECT_EQ(i32_of("1e+2"), 100);
    EXPECT_EQ(i32_of("&HFF"), 255);
    EXPECT_EQ(i32_of("&hff"), 255);
    EXPECT_EQ(i32_of("&O17"), 15);
}

TEST(OleNumberText, RejectsTextThatIsNoNumber) {
    for (const char* text :
         {"",      " ",     "abc", "-",   "+",    "$",    ".",     "()",  "(5",
          "5)",    "--5",   "++5", "5-5", "1 2",  ",5",   "1.2.3", "1e",  "1e+",
          "1e5.5", "12abc", "&H",  "&O8", "0x10", "1.5.", "inf",   "nan", "5--"}) {
        EXPECT_EQ(status_of(text), DISP_E_TYPEMISMATCH) << '"' << text << '"';
    }
}

TEST(OleNumberText, IntegersRoundHalfToEven) {
    EXPECT_EQ(i32_of("2.5"), 2);
    EXPECT_EQ(i32_of("3.5"), 4);
    EXPECT_EQ(i32_of("-2.5"), -2);
    EXPECT_EQ(i32_of("2.5000000001"), 3);
    EXPECT_EQ(i32_of("0.5"), 0);
    EXPECT_EQ(i32_of("0.05"), 0);
    EXPECT_EQ(i32_of("0.9"), 1);
    EXPECT_EQ(i32_of(".5000000000000000000000000000000000000000001"), 1);
}

TEST(OleNumberText, IntegerRangesOverflow) {
    int64_t v = 0;
    EXPECT_EQ(parse_i64("32767", INT16_MIN, INT16_MAX, v), OLE_S_OK);
    EXPECT_EQ(parse_i64("70000", INT16_MIN, INT16_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(parse_i64("-32768", INT16_MIN, INT16_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, -32768);
    EXPECT_EQ(parse_i64("-32769", INT16_MIN, INT16_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(parse_i64("32767.5", INT16_MIN, INT16_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(parse_i64("-9223372036854775808", INT64_MIN, INT64_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_EQ(parse_i64("9223372036854775808", INT64_MIN, INT64_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(parse_i64(std::string(5000, '9'), INT64_MIN, INT64_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(parse_i64("1e999999999999999999", INT64_MIN, INT64_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(parse_i64("1e-999999999999999999", INT64_MIN, INT64_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, 0);
    // A hexadecimal number is a bit pattern of the target's width.
    EXPECT_EQ(parse_i64("&HFFFF", INT16_MIN, INT16_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(parse_i64("&H10000", INT16_MIN, INT16_MAX, v), DISP_E_OVERFLOW);
    EXPECT_EQ(status_of("&HFFFFFFFFFFFFFFFF"), OLE_S_OK);
    EXPECT_EQ(status_of("&H1FFFFFFFFFFFFFFFF"), DISP_E_OVERFLOW);

    uint64_t u = 0;
    ole_parsed_number n;
    ASSERT_EQ(ole_parse_number("-1", n), OLE_S_OK);
    EXPECT_EQ(ole_parsed_to_uint64(n, UINT32_MAX, u), DISP_E_OVERFLOW);
    ASSERT_EQ(ole_parse_number("-0.4", n), OLE_S_OK);
    EXPECT_EQ(ole_parsed_to_uint64(n, UINT32_MAX, u), OLE_S_OK);
    EXPECT_EQ(u, 0u);
}

TEST(OleNumberText, DoublesAreTheNearestDouble) {
    EXPECT_EQ(double_of("-1,234.5e-2"), -12.345);
    EXPECT_EQ(double_of("1.7976931348623157e308"), std::numeric_limits<double>::max());
    EXPECT_EQ(double_of("1e-400"), 0.0);
    // Exactly halfway between 1 and the next double: ties to even; a trailing digit beyond
    // forty significant ones still tips it.
    EXPECT_EQ(double_of("1.00000000000000011102230246251565404236316680908203125"), 1.0);
    EXPECT_EQ(double_of("1.00000000000000011102230246251565404236316680908203126"),
              std::nextafter(1.0, 2.0));
    ole_parsed_number n;
    double d = 0;
    ASSERT_EQ(ole_parse_number("1e400", n), OLE_S_OK);
    EXPECT_EQ(ole_parsed_to_double(n, d), DISP_E_OVERFLOW);
}

TEST(OleNumberText, WideTextReadsTheSame) {
    ole_parsed_number n;
    int64_t v = 0;
    ASSERT_EQ(ole_parse_number(std::u16string_view(u" (1,234.5) "), n), OLE_S_OK);
    ASSERT_EQ(ole_parsed_to_int64(n, INT32_MIN, INT32_MAX, v), OLE_S_OK);
    EXPECT_EQ(v, -1234);
    EXPECT_EQ(ole_parse_number(std::u16string_view(u"12\u00e9"), n), DISP_E_TYPEMISMATCH);
}
