// Reading, checking and printing dates and times; GUIDs named in texts.
#include "udb/ole_date.hpp"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <string>

#include "support/log_capture.hpp"
#include "tk/tk_exception.hpp"
#include "udb/ole_variant.hpp"

namespace {

std::string printed(const char* text) {
    ole_date d{std::string_view(text)};
    return d.to_string(true);
}

int kind_of(std::string_view text) {
    return ole_date(text).kind;
}

}  // namespace

TEST(OleDateParse, TimestampsAndTimes) {
    EXPECT_EQ(kind_of("20161231235959"), ole_date::kind_date_time);
    EXPECT_EQ(printed("20161231235959"), "2016-12-31 23:59:59");
    EXPECT_EQ(kind_of("20161231"), ole_date::kind_date);
    EXPECT_EQ(printed("20161231"), "2016-12-31");
    // Impossible fields make the timestamp forms fail; nothing else reads these texts.
    EXPECT_EQ(kind_of("20161331"), ole_date::kind_invalid);
    EXPECT_EQ(kind_of("2016123125"), ole_date::kind_invalid);

    ole_date t{std::string_view("13:45:30.250")};
    EXPECT_EQ(t.kind, ole_date::kind_time);
    EXPECT_EQ(t.to_string(false), "0000-00-00 13:45:30.250");  // times always show milliseconds
    EXPECT_EQ(printed("10:30 PM"), "0000-00-00 22:30:00");
    EXPECT_EQ(printed("12:15 AM"), "0000-00-00 12:15:00");
    EXPECT_EQ(printed("12:15 PM"), "0000-00-00 12:15:00");
    EXPECT_EQ(kind_of("99:99:99"), ole_date::kind_invalid);
    EXPECT_EQ(kind_of("10:30x"), ole_date::kind_invalid);
    // Numbers at and past the 64-bit range are read without overflowing; a 16-bit field keeps
    // their low bits, as it keeps those of any number.
    EXPECT_EQ(printed("-9223372036854775808:00"), "0000-00-00 00:00:00");
    EXPECT_EQ(printed("-9223372036854775807:00"), "0000-00-00 01:00:00");
}

TEST(OleDateParse, NumericDateForms) {
    EXPECT_EQ(printed("25.12.2016 10:00:00"), "2016-12-25 10:00:00");
    EXPECT_EQ(printed("2016-02-31"), "2016-02-31");  // no month-length rule
    EXPECT_EQ(printed("2016-12-31 23:59:59.5"), "2016-12-31 23:59:59.500");
    EXPECT_EQ(printed("2016/01/02 03:04:05"), "2016-01-02 03:04:05");
    EXPECT_EQ(printed("2016-12-31 00:00:00"), "2016-12-31");
    EXPECT_EQ(printed("16-1-2"), "2016-01-02");
    EXPECT_EQ(printed("75-1-2"), "1975-01-02");
    EXPECT_EQ(kind_of("2016-13-01"), ole_date::kind_invalid);
    EXPECT_EQ(kind_of("2016-00-10"), ole_date::kind_invalid);
    EXPECT_EQ(kind_of("2016-12-00"), ole_date::kind_invalid);
    EXPECT_EQ(kind_of("2016-12-31 10"), ole_date::kind_invalid);  // four items fit no form
}

TEST(OleDateParse, LocaleDates) {
    const std::string language = icu::Locale::getDefault().getLanguage();
    if (!language.empty() && language != "en") {
        GTEST_SKIP() << "the user's locale is not English";
    }
    EXPECT_EQ(printed("12/31/2016"), "2016-12-31");
    EXPECT_EQ(printed("December 31, 2016 10:30"), "2016-12-31 10:30:00");
    EXPECT_EQ(printed("12/31/2016 10:30 PM"), "2016-12-31 22:30:00");
}

TEST(OleDateParse, RejectedTextsAreLogged) {
    log_capture log(2);
    for (const std::string& text :
         {std::string("abc"), std::string(""), std::string("    1:2     "),
          std::string(1000000, '1'), std::string("2016\0-12-31", 11),
          std::string("\xff\xfe\xfd\xfc\xfb\xfa")}) {
        EXPECT_EQ(kind_of(text), ole_date::kind_invalid) << text.substr(0, 20);
    }
    EXPECT_TRUE(log.has_line("Invalid date/time format: 'abc'"));
    EXPECT_EQ(ole_date(u"hello world").kind, ole_date::kind_invalid);
    EXPECT_EQ(ole_date(std::u16string_view(u"20161231")).to_wstring(), u"2016-12-31");
}

TEST(OleDateCheck, ValidityAndRefinement) {
    t_systemtime t;
    t.year = 2016;
    t.month = 12;
    t.day = 31;
    EXPECT_EQ(ole_date(t).kind, ole_date::kind_date);  // refined from date and time
    t.year = t.month = t.day = 0;
    t.hour = 5;
    EXPECT_EQ(ole_date(t).kind, ole_date::kind_time);

    ole_date d(t);
    d.kind = ole_date::kind_date_time;
    d.time.year = 40;
    d.time.month = 1;
    d.time.day = 40;
    EXPECT_FALSE(d.is_valid());  // neither day nor year below 32
    d.time.day = 20;
    d.time.second = 60;
    EXPECT_TRUE(d.is_valid());  // 60 seconds are accepted
    d.time.minute = 61;
    EXPECT_FALSE(d.is_valid());
    d.kind = ole_date::kind_invalid;
    d.time.minute = 0;
    EXPECT_FALSE(d.is_valid());
}

TEST(OleDateCheck, Milliseconds) {
    ole_date d{std::string_view("00:00:01")};
    // Decimal digits are taken as written: a binary double would make 30.001 a hair short of
    // 1 ms and truncate it to 0.
    for (const auto& [text, second, ms] : {std::tuple{"30.001", 30, 1},
                                           {"59.999", 59, 999},
                                           {"30.0019", 30, 1},
                                           {"7.5", 7, 500},
                                           {"2.5e1", 25, 0},
                                           {"abc", 0, 0}}) {
        d.process_milliseconds(text);
        EXPECT_EQ(d.time.second, second) << text;
        EXPECT_EQ(d.time.milliseconds, ms) << text;
    }
    d.process_milliseconds("1e999");
    EXPECT_EQ(d.time.milliseconds, 0);
    EXPECT_THROW(d.process_milliseconds(nullptr), tk_mail_assertion);
}

TEST(OleDatePrint, FormsAndYearFix) {
    t_systemtime t;
    t.year = 16;
    t.month = 3;
    t.day = 4;
    t.hour = 5;
    t.minute = 6;
    t.second = 7;
    t.milliseconds = 8;
    ole_date d(t);
    EXPECT_EQ(d.to_string(true), "2016-03-04 05:06:07.8");
    EXPECT_EQ(d.time.year, 2016);  // the object itself was fixed
    d.time.year = 75;
    EXPECT_EQ(d.to_string(false), "1975-03-04 05:06:07");
    d.b_short = 0;
    d.time.hour = d.time.minute = d.time.second = 0;
    d.time.milliseconds = 0;
    EXPECT_EQ(d.to_string(), "1975-03-04 00:00:00");
    d.b_short = 1;
    EXPECT_EQ(d.to_string(), "1975-03-04");
    d.kind = ole_date::kind_invalid;
    EXPECT_EQ(d.to_string(), "");

    const ole_variant v = ole_date(std::string_view("2016-12-31 10:20:30")).to_variant();
    EXPECT_EQ(v.vt(), VT_DATE);
    EXPECT_EQ(v.to_string(), "2016-12-31 10:20:30");
}

TEST(OleGuidExtractor, FindsTheDigits) {
    const std::string text = "Provider=Something;guid={12345678-9ABC-DEF0-1234-56789ABCDEF0};";
    EXPECT_EQ(ole_guid_extractor(text).get_guid(), u"123456789ABCDEF0123456789ABCDEF0");
    ole_guid_extractor by_upper(
        std::u16string(u"This table is named by GUID= {AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"));
    EXPECT_EQ(by_upper.b_found, 1);
    EXPECT_EQ(by_upper.get_guid(), u"AAAAAAAABBBBCCCCDDDDEEEEEEEEEEEE");

    EXPECT_EQ(ole_guid_extractor(std::string("guid={1234}")).get_guid(), u"");  // too short
    ole_guid_extractor no_brace(std::string("guid") + std::string(60, '-'));
    EXPECT_EQ(no_brace.b_found, 0);
    // A brace near the end: the missing digits are simply absent.
    ole_guid_extractor cut(std::string(50, ' ') + "guid {1234");
    EXPECT_EQ(cut.b_found, 1);
    EXPECT_EQ(cut.get_guid(), u"1234");
}
