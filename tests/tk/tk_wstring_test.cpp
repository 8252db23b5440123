#include "tk/tk_wstring.hpp"

#include <gtest/gtest.h>

#include "tk/tk_codepage.hpp"
#include "tk/tk_exception.hpp"

namespace {

// ---- conversions between UTF-8, UTF-16 and code pages ----

TEST(tk_conversion_test, utf8_round_trip_including_supplementary_characters) {
    const std::u16string wide = u"Stra\u00dfe \u0416\u0443\u043a \u4e2d \U0001F600";
    const std::string narrow = tk_to_utf8(wide);
    EXPECT_EQ(narrow,
              "Stra\xc3\x9f"
              "e \xd0\x96\xd1\x83\xd0\xba \xe4\xb8\xad \xf0\x9f\x98\x80");
    EXPECT_EQ(tk_from_utf8(narrow), wide);
    EXPECT_EQ(tk_w2a(wide), narrow);
    EXPECT_EQ(tk_a2w(narrow), wide);
    EXPECT_EQ(tk_to_ansi(wide), narrow);  // -1: the narrow code page, UTF-8
    // An embedded zero is kept; damaged UTF-8 or UTF-16 becomes U+FFFD.
    EXPECT_EQ(tk_from_utf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(tk_ansi_to_ucs2(std::string("a\0b", 3), 1252), std::u16string(u"a\0b", 3));
    EXPECT_EQ(tk_from_utf8("a\xff"
                           "b"),
              u"a\ufffdb");
    EXPECT_EQ(tk_a2w("\xc3"), u"\ufffd");  // truncated sequence
    const char16_t lone[] = {u'x', 0xDC00, 0};
    EXPECT_EQ(tk_to_utf8(lone), "x\xef\xbf\xbd");
}

struct codepage_case {
    int codepage;
    std::string bytes;
    std::u16string text;
};

class tk_codepage_test : public testing::TestWithParam<codepage_case> {};

TEST_P(tk_codepage_test, bytes_decode_to_the_right_characters_and_back) {
    const codepage_case& c = GetParam();
    ASSERT_TRUE(tk_codepage_supported(c.codepage));
    EXPECT_FALSE(tk_codepage_supported(12345));
    EXPECT_EQ(tk_ansi_to_ucs2(c.bytes, c.codepage), c.text);
    EXPECT_EQ(tk_to_ansi(c.text, c.codepage), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    dos_and_windows, tk_codepage_test,
    testing::Values(
        // 866: "Привет" and the DOS box-drawing corner
        codepage_case{866, "\x8f\xe0\xa8\xa2\xa5\xe2\xc9",
                      u"\u041f\u0440\u0438\u0432\u0435\u0442\u2554"},
        // 1251: "Привет", the euro sign at 0x88, Ё at 0xA8
        codepage_case{1251, "\xcf\xf0\xe8\xe2\xe5\xf2\x88\xa8",
                      u"\u041f\u0440\u0438\u0432\u0435\u0442\u20ac\u0401"},
        // 437: Ç ü é, the block, ß at 0xE1, the middle dot at 0xFA
        codepage_case{437, "\x80\x81\x82\xdb\xe1\xfa", u"\u00c7\u00fc\u00e9\u2588\u00df\u00b7"},
        // 1252: the euro sign, curly quotes, ÿ, Ž
        codepage_case{1252, "\x80\x93\x94\xff\x8e", u"\u20ac\u201c\u201d\u00ff\u017d"},
        // 932: "日本" in Shift-JIS and a half-width katakana
        codepage_case{932, "\x93\xfa\x96\x7b\xb1", u"\u65e5\u672c\uff71"}));

TEST(tk_conversion_test, vietnamese_tone_marks_decode_precomposed) {
    // 0xEC is the combining acute accent in code page 1258: "a" + accent gives one letter.
    EXPECT_EQ(tk_ansi_to_ucs2("a\xec"
                              "b\xd2",
                              1258),
              u"\u00e1b\u0309");
    EXPECT_EQ(tk_to_ansi(u"\u00e1", 1258), "\xe1");
    // Other code pages keep their characters as they are.
    EXPECT_EQ(tk_ansi_to_ucs2("a\xb4", 1252), u"a\u00b4");
}

TEST(tk_conversion_test, character_missing_in_the_code_page_becomes_question_mark) {
    EXPECT_EQ(tk_to_ansi(u"a\u4e2dz", 1252), "a?z");
    EXPECT_EQ(tk_to_ansi(u"\u0416", 437), "?");
    EXPECT_EQ(tk_to_ansi(u"\U0001F600", 866), "?");
}

TEST(tk_conversion_test, unsupported_code_page_raises_for_encoding_only) {
    try {
        tk_to_ansi(u"abc", 12345);
        FAIL() << "no exception";
    } catch (const tk_exception_ex& e) {
        EXPECT_EQ(e.level, 0);
        EXPECT_TRUE(e.message.starts_with("Cannot convert to ANSI string: ")) << e.message;
        EXPECT_GT(e.message.size(), strlen("Cannot convert to ANSI string: "));
    }
    // Decoding falls back to the default ANSI code page: plain ASCII is never lost.
    EXPECT_EQ(tk_ansi_to_ucs2("abc", 12345), u"abc");
}

TEST(tk_conversion_test, out_overload_reuses_its_buffer_and_replaces_old_content) {
    std::u16string out;
    tk_ansi_to_ucs2(std::string(64, 'x'), 1252, out);
    EXPECT_EQ(out, std::u16string(64, u'x'));
    const auto* data = out.data();
    tk_ansi_to_ucs2("\x8f\xe0", 866, out);
    EXPECT_EQ(out, u"\u041f\u0440");
    EXPECT_EQ(out.data(), data);
    tk_ansi_to_ucs2("", 866, out);
    EXPECT_EQ(out, u"");
}

TEST(tk_conversion_test, ansi_code_page_from_the_locale_or_a_supported_override) {
    EXPECT_EQ(tk_ansi_codepage_for_locale("zh_TW.UTF-8"), 950);
    EXPECT_EQ(tk_ansi_codepage_for_locale("zh_CN.UTF-8"), 936);
    EXPECT_EQ(tk_ansi_codepage_for_locale("C.UTF-8"), 1252);
    EXPECT_EQ(tk_ansi_codepage_from("866", "de_DE.UTF-8"), 866);
    EXPECT_EQ(tk_ansi_codepage_from(nullptr, "ru_RU.UTF-8"), 1251);
    EXPECT_EQ(tk_ansi_codepage_from("12345", "ru_RU"), 1251);  // not a code page we have
    EXPECT_EQ(tk_ansi_codepage_from("866x", "ru_RU"), 1251);
    EXPECT_EQ(tk_ansi_codepage_from("", nullptr), 1252);
    EXPECT_EQ(tk_ansi_codepage_from("-1", nullptr), 1252);
}

// ---- trimming, splitting, replacing ----

TEST(tk_text_test, trim_removes_only_code_32) {
    EXPECT_EQ(tk_trim(std::string_view("  a b  ")), "a b");
    EXPECT_EQ(tk_trim(std::u16string_view(u"  a b  ")), u"a b");
    EXPECT_EQ(tk_trim(std::string_view("\ta")), "\ta");
    EXPECT_EQ(tk_trim(std::u16string_view(u"\u00a0a\t ")), u"\u00a0a\t");
    EXPECT_EQ(tk_trim_left(std::string_view("  x  ")), "x  ");
    EXPECT_EQ(tk_trim_right(std::string_view("  x  ")), "  x");
    EXPECT_EQ(tk_trim_left(std::u16string_view(u" x ")), u"x ");
    EXPECT_EQ(tk_trim_right(std::u16string_view(u" x ")), u" x");
    EXPECT_EQ(tk_trim(std::string_view("")), "");
    EXPECT_EQ(tk_trim(std::string_view("   ")), "");
    EXPECT_EQ(tk_trim(std::u16string_view(u"   ")), u"");
    EXPECT_EQ(tk_trim_left(std::u16string_view(u" ")), u"");
}

TEST(tk_text_test, split_keeps_empty_pieces) {
    std::vector<std::u16string> pieces = {u"stale"};
    EXPECT_TRUE(tk_wstring::split(u"a,,b", u',', pieces));
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"a", u"", u"b"}));
    EXPECT_TRUE(tk_wstring::split(u"a,", u',', pieces));
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"a", u""}));
    EXPECT_TRUE(tk_wstring::split(u",", u',', pieces));
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"", u""}));
    EXPECT_TRUE(tk_wstring::split(u"abc", u',', pieces));
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"abc"}));
    EXPECT_TRUE(tk_wstring::split(u"", u',', pieces));
    EXPECT_TRUE(pieces.empty());
}

TEST(tk_text_test, replace_all_resumes_after_the_inserted_text) {
    EXPECT_EQ(tk_wstring::replace_all(u"aba", u"a", u"aa"), u"aabaa");
    EXPECT_EQ(tk_wstring::replace_all(u"aaaa", u"aa", u"a"), u"aa");
    EXPECT_EQ(tk_wstring::replace_all(u"O'Brien's", u"'", u"''"), u"O''Brien''s");
    EXPECT_EQ(tk_wstring::replace_all(u"abc", u"", u"x"), u"abc");
    EXPECT_EQ(tk_wstring::replace_all(u"abc", u"b", u""), u"ac");
    EXPECT_EQ(tk_wstring::replace_all(u"", u"b", u"c"), u"");
}

TEST(tk_text_test, case_folding_in_place_keeps_the_length_of_names) {
    std::u16string text = u"Kunden \u0436 abc";
    EXPECT_EQ(&tk_wstring::to_upper(text), &text);
    EXPECT_EQ(text, u"KUNDEN \u0416 ABC");
    EXPECT_EQ(tk_wstring::to_lower(text), u"kunden \u0436 abc");
    // One character for one: the sharp s has no single upper-case letter and stays.
    std::u16string street = u"stra\u00dfe";
    EXPECT_EQ(tk_wstring::to_upper(street), u"STRA\u00dfE");
    // Characters outside the BMP map as pairs; a lone surrogate is left alone.
    std::u16string deseret = u"\U00010428x";
    EXPECT_EQ(tk_wstring::to_upper(deseret), u"\U00010400X");
    EXPECT_EQ(tk_wstring::to_lower(deseret), u"\U00010428x");
    const char16_t lone_chars[] = {u'a', 0xD801, u'b', 0};
    std::u16string lone = lone_chars;
    const char16_t lone_upper[] = {u'A', 0xD801, u'B', 0};
    EXPECT_EQ(tk_wstring::to_upper(lone), std::u16string(lone_upper));
    EXPECT_TRUE(tk_wstring::iequals(u"\u0416\u0443\u043a", u"\u0436\u0423\u041a"));
    EXPECT_FALSE(tk_wstring::iequals(u"Orders", u"Order"));
}

// ---- hexadecimal ----

TEST(tk_hex_test, upper_case_digits_terminated) {
    EXPECT_STREQ(tk_hex_dump(std::string_view("\x00\x0f\xa0\xff", 4)), "000FA0FF");
    const unsigned char bytes[] = {0xde, 0xad, 0x01};
    char out[7] = {'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    tk_bytes_to_hex(3, bytes, out);
    EXPECT_STREQ(out, "DEAD01");
    tk_bytes_to_hex(0, bytes, out);
    EXPECT_STREQ(out, "");
    EXPECT_THROW(tk_bytes_to_hex(3, bytes, nullptr), tk_mail_assertion);
}

}  // namespace
