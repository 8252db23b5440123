#include "tk/tk_log.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "tk/tk_test_folder.hpp"

namespace {

class tk_log_test : public testing::Test {
  protected:
    void SetUp() override {
        tk_log::get().reset();
        path_ = folder_.file("trace.log");
    }
    void TearDown() override { tk_log::get().reset(); }

    std::string contents() const { return tk_test_folder::read(path_); }

    tk_test_folder folder_;
    std::string path_;
};

TEST_F(tk_log_test, lines_end_with_cr_lf_byte_for_byte) {
    tk_log::get().set_path(path_);
    TK_LOG(2, "Converting table %s (%d records)", "orders", 12);
    TK_TRACE("ole_variant::get_type");
    EXPECT_EQ(contents(), "Converting table orders (12 records)\r\nole_variant::get_type\r\n");
}

TEST_F(tk_log_test, first_line_empties_an_old_file_even_below_threshold) {
    tk_test_folder::write(path_, "line of an earlier process\r\n");
    tk_log::get().set_threshold(2);
    tk_log::get().set_path(path_);
    EXPECT_TRUE(tk_log::get().active(1));  // still has to empty the file
    TK_TRACE("dropped");
    EXPECT_EQ(contents(), "");
    EXPECT_FALSE(tk_log::get().active(1));
    TK_LOG(2, "kept");
    TK_LOG(3, "kept too");
    TK_TRACE("dropped again");
    tk_log::get().set_path(path_);  // the same file again keeps its lines
    TK_LOG(2, "kept after the same path");
    EXPECT_EQ(contents(), "kept\r\nkept too\r\nkept after the same path\r\n");
}

TEST_F(tk_log_test, arguments_are_not_evaluated_and_no_file_touched_when_the_line_is_dropped) {
    int evaluated = 0;
    auto count = [&] { return ++evaluated; };
    TK_LOG(3, "%d", count());  // disabled
    EXPECT_FALSE(std::filesystem::exists(path_));
    tk_log::get().set_path(path_);
    tk_log::get().set_threshold(3);
    TK_TRACE("first line empties the file");
    TK_LOG(2, "%d", count());
    TK_LOGW(2, u"%d", count());
    EXPECT_EQ(evaluated, 0);
    TK_LOG(3, "%d", count());
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(contents(), "1\r\n");
}

TEST_F(tk_log_test, wide_line_is_utf8_with_printf_numbers) {
    tk_log::get().set_path(path_);
    const char16_t name[] = u"Kunden\u00e4\u0416\U0001F600";
    TK_LOGW(1, u"\tfield name='%s', vartype=%d, size=%u, hex=%x/%X, c=%c", name, -8, 4000000000u,
            255u, 255u, u'\u00df');
    TK_LOGW(1, u"%ld %lu %lld %llu %I64d", -5L, 6UL, -7LL, 18446744073709551615ULL, 9LL);
    TK_LOGW(1, u"%e|%f|%g|%lg|%.2f|%5d|%-3d|%05.1f", 1234.5, 0.25, 0.0001, 1e20, 2.345, 42, 7,
            3.14159);
    TK_LOGW(1, u"%hs and %s/%ws, 100%%", "narrow \xc3\xa9", u"wide", u"w");
    TK_LOGW(1, u"[%5s][%-4s][%.2s][%3c]", u"ab", u"cd", u"xyz", u'q');
    char expected_numbers[256];
    snprintf(expected_numbers, sizeof expected_numbers, "%e|%f|%g|%g|%.2f|%5d|%-3d|%05.1f", 1234.5,
             0.25, 0.0001, 1e20, 2.345, 42, 7, 3.14159);
    EXPECT_EQ(contents(),
              "\tfield name='Kunden\xc3\xa4\xd0\x96\xf0\x9f\x98\x80', vartype=-8, "
              "size=4000000000, hex=ff/FF, c=\xc3\x9f\r\n"
              "-5 6 -7 18446744073709551615 9\r\n" +
                  std::string(expected_numbers) +
                  "\r\n"
                  "narrow \xc3\xa9 and wide/w, 100%\r\n"
                  "[   ab][cd  ][xy][  q]\r\n");
}

TEST_F(tk_log_test, wide_null_text_and_lone_surrogate_do_not_break_the_line) {
    tk_log::get().set_path(path_);
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    TK_LOGW(1, u"%s|%s|%hs", static_cast<const char16_t*>(nullptr), lone,
            static_cast<const char*>(nullptr));
    EXPECT_EQ(contents(),
              "(null)|a\xef\xbf\xbd"
              "b|(null)\r\n");
}

TEST_F(tk_log_test, wide_line_is_cut_to_the_buffer_or_dropped_when_its_utf8_overflows) {
    tk_log::get().set_path(path_);
    TK_LOGW(1, u"%s", std::u16string(20000, u'x').c_str());  // cut to 10239 units
    // 5,120 two-byte characters are 10,240 UTF-8 bytes, which with the terminating zero exceed
    // the 10,240-byte buffer: only the line end is written. One fewer fits.
    TK_LOGW(1, u"%s", std::u16string(5120, u'\u00e9').c_str());
    TK_LOGW(1, u"%s", std::u16string(5119, u'\u00e9').c_str());
    std::string expected = std::string(10239, 'x') + "\r\n\r\n";
    for (int i = 0; i < 5119; ++i) {
        expected += "\xc3\xa9";
    }
    EXPECT_EQ(contents(), expected + "\r\n");
}

TEST_F(tk_log_test, two_threads_write_whole_lines_without_a_lock) {
    tk_log::get().set_path(path_);
    TK_LOG(1, "start");
    auto writer = [](int id) {
        for (int i = 0; i < 200; ++i) {
            if (i % 2 == 0) {
                TK_LOG(1, "thread %d line %d", id, i);
            } else {
                TK_LOGW(1, u"thread %d line %d", id, i);
            }
        }
    };
    std::thread first(writer, 1);
    std::thread second(writer, 2);
    first.join();
    second.join();
    std::istringstream lines(contents());
    std::string line;
    int count = 0;
    const std::regex shape(R"((start|thread [12] line [0-9]+)\r)");
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
        ++count;
    }
    EXPECT_EQ(count, 401);

    // The path changed while another thread writes: every line lands whole in one of the files.
    const std::string other = path_ + ".2";
    std::thread switcher([&] {
        for (int i = 0; i < 200; ++i) {
            tk_log::get().set_path(i % 2 == 0 ? other : path_);
        }
    });
    writer(3);
    switcher.join();
    const std::regex thread_line(R"(thread 3 line [0-9]+\r)");
    for (const std::string& file : {path_, other}) {
        std::istringstream written(tk_test_folder::read(file));
        while (std::getline(written, line)) {
            EXPECT_TRUE(std::regex_match(line, thread_line) || std::regex_match(line, shape))
                << line;
        }
    }
}

}  // namespace
