#include "tk/tk_exception.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <type_traits>

#include "tk/tk_log.hpp"
#include "tk/tk_send_bug.hpp"
#include "tk/tk_singleton.hpp"
#include "tk/tk_test_folder.hpp"

namespace {

class tk_exception_test : public testing::Test {
  protected:
    void SetUp() override {
        tk_log::get().reset();
        log_path_ = folder_.file("trace.log");
        tk_log::get().set_path(log_path_);
    }
    void TearDown() override { tk_log::get().reset(); }
    std::string log() const { return tk_test_folder::read(log_path_); }

    tk_test_folder folder_;
    std::string log_path_;
};

TEST_F(tk_exception_test, empty_text_becomes_unknown_exception) {
    const tk_exception narrow("", 1);
    EXPECT_STREQ(narrow.what(), "Unknown exception");
    const tk_exception wide(std::u16string(), 0);
    EXPECT_STREQ(wide.what(), "Unknown exception");
    EXPECT_STREQ(tk_exception(u"\u00c4nderung \u0416", 2).what(), "\xc3\x84nderung \xd0\x96");
    const tk_exception given("Table is locked", 0);
    EXPECT_STREQ(given.what(), "Table is locked");
    EXPECT_EQ(given.level, 0);
    EXPECT_EQ(given.code, 0u);
}

TEST_F(tk_exception_test, system_error_appends_the_errno_text_and_logs_it) {
    errno = ENOENT;
    const tk_exception_ex e("Cannot open: ", 0);
    EXPECT_EQ(e.code, static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(e.message, "Cannot open: No such file or directory");
    EXPECT_EQ(log(), "GetLastError: No such file or directory\r\n");

    errno = EACCES;
    const tk_exception_ex bare;
    EXPECT_EQ(bare.level, 1);
    EXPECT_EQ(bare.message, "Permission denied");
}

TEST_F(tk_exception_test, system_error_without_system_text) {
    errno = 987654;  // a number the system has no text for
    const tk_exception_ex bare;
    EXPECT_EQ(bare.message, "Unknown exception");
    EXPECT_EQ(bare.code, 987654u);
    errno = 987654;
    const tk_exception_ex with_text("Failed: ", 1);
    EXPECT_EQ(with_text.message, "Failed: ");
    EXPECT_EQ(log(), "");
}

TEST_F(tk_exception_test, system_error_with_a_given_number_and_text) {
    const tk_exception_ex e("Cannot convert to ANSI string: ", 0, 16, "U_ILLEGAL_ARGUMENT_ERROR");
    EXPECT_EQ(e.message, "Cannot convert to ANSI string: U_ILLEGAL_ARGUMENT_ERROR");
    EXPECT_EQ(e.code, 16u);
    EXPECT_EQ(log(), "GetLastError: U_ILLEGAL_ARGUMENT_ERROR\r\n");
}

TEST_F(tk_exception_test, assertion_code_is_hex_of_tag_backslash_line) {
    const tk_mail_assertion e("a.cpp", 7);
    EXPECT_STREQ(e.what(), "Internal error: \ncode=612e6370705c37");
    EXPECT_EQ(e.level, 2);
    EXPECT_EQ(log(), "tk_mail_assertion::ctor(612e6370705c37)\r\n");

    // Non-ASCII bytes keep two lower-case digits each.
    const tk_mail_assertion high("\xc3\xa9", 1234);
    EXPECT_STREQ(high.what(), "Internal error: \ncode=c3a95c31323334");
}

TEST_F(tk_exception_test, final_exception_is_not_a_tk_exception_and_is_logged) {
    static_assert(!std::is_base_of_v<tk_exception, tk_final_exception>);
    const tk_final_exception e;
    EXPECT_EQ(log(), "tk_final_exception::ctor\r\n");
}

class single_database : public tk_singleton<single_database> {
  public:
    int value = 42;
};

TEST(tk_singleton_test, second_instance_is_an_internal_error_and_first_survives) {
    EXPECT_FALSE(single_database::exists());
    EXPECT_THROW(single_database::instance(), tk_mail_assertion);
    {
        single_database first;
        EXPECT_EQ(&single_database::instance(), &first);
        EXPECT_THROW(single_database second, tk_mail_assertion);
        // The failed construction must not have unregistered the live instance.
        ASSERT_TRUE(single_database::exists());
        EXPECT_EQ(&single_database::instance(), &first);
    }
    EXPECT_FALSE(single_database::exists());
    single_database again;  // the slot is free for the next task
    EXPECT_EQ(single_database::instance().value, 42);
}

// The mail program is looked up in PATH; a fake one records its arguments.
class tk_send_bug_test : public tk_exception_test {
  protected:
    void SetUp() override {
        tk_exception_test::SetUp();
        const char* path = getenv("PATH");
        saved_path_ = path != nullptr ? path : "";
        bin_ = folder_.file("bin");
        std::filesystem::create_directories(bin_);
    }
    void TearDown() override {
        setenv("PATH", saved_path_.c_str(), 1);
        unsetenv("BRIXEL_SUPPORT_MAIL");
        tk_exception_test::TearDown();
    }
    void install_fake_mailer(int exit_code) {
        const std::string script = bin_ + "/xdg-email";
        std::ofstream out(script);
        out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '"
            << folder_.file("args") << "'\nexit " << exit_code << "\n";
        out.close();
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }

    std::string saved_path_;
    std::string bin_;
};

TEST_F(tk_send_bug_test, missing_mail_program_logs_the_missing_library_line) {
    setenv("PATH", bin_.c_str(), 1);
    EXPECT_EQ(tk_send_bug("Brixel 1.0", "/tmp/brixel.log"), -1);
    EXPECT_EQ(log(), "tk_send_bug(Brixel 1.0|/tmp/brixel.log)\r\nFailed to locate MAPI32.DLL\r\n");
}

TEST_F(tk_send_bug_test, report_goes_to_the_mail_program_with_subject_note_and_attachment) {
    install_fake_mailer(3);
    setenv("PATH", (bin_ + ":/usr/bin:/bin").c_str(), 1);
    setenv("BRIXEL_SUPPORT_MAIL", "bugs@example.org", 1);
    EXPECT_EQ(tk_send_bug("Brixel 1.0", "/tmp/brixel.log"), 3);
    const std::string args = tk_test_folder::read(folder_.file("args"));
    const std::regex expected(
        "--utf8\n--subject\nBug report on Brixel 1\\.0\n--body\n"
        "[0-9]{4}/[0-9]{1,2}/[0-9]{1,2} [0-9]{1,2}:[0-9]{1,2}\n"
        "--attach\n/tmp/brixel\\.log\nbugs@example\\.org\n");
    EXPECT_TRUE(std::regex_match(args, expected)) << args;
    EXPECT_EQ(log(), "tk_send_bug(Brixel 1.0|/tmp/brixel.log)\r\nlpfnMAPISendMail returns 3\r\n");

    // Without a configured address the report goes to the default one.
    unsetenv("BRIXEL_SUPPORT_MAIL");
    EXPECT_EQ(tk_send_bug("x", "/a b/log file.txt"), 3);
    const std::string second = tk_test_folder::read(folder_.file("args"));
    EXPECT_NE(second.find("\n/a b/log file.txt\n"), std::string::npos) << second;
    EXPECT_TRUE(second.ends_with(std::string("\n") + tk_default_support_mail + "\n")) << second;
}

}  // namespace
