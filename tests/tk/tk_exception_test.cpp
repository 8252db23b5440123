#include "tk/tk_exception.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <type_traits>

#include "tk/tk_send_bug.hpp"
#include "tk/tk_singleton.hpp"
#include "tk/tk_test_folder.hpp"

namespace {

class tk_exception_test : public testing::Test {
  protected:
    tk_test_folder folder_;
};

// Abort must pass every handler that catches tk_exception.
static_assert(!std::is_base_of_v<tk_exception, tk_final_exception>);

TEST_F(tk_exception_test, texts_of_empty_wide_and_system_errors) {
    EXPECT_STREQ(tk_exception("", 1).what(), "Unknown exception");
    EXPECT_STREQ(tk_exception(std::u16string(), 0).what(), "Unknown exception");
    EXPECT_STREQ(tk_exception(u"\u00c4nderung \u0416", 2).what(), "\xc3\x84nderung \xd0\x96");
    // A system error appends the text of errno, or of the number given.
    errno = ENOENT;
    const tk_exception_ex e("Cannot open: ", 0);
    EXPECT_EQ(e.code, static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(e.message, "Cannot open: No such file or directory");
    errno = EACCES;
    EXPECT_EQ(tk_exception_ex().message, "Permission denied");
    errno = 987654;  // a number the system has no text for
    EXPECT_EQ(tk_exception_ex().message, "Unknown exception");
    errno = 987654;
    EXPECT_EQ(tk_exception_ex("Failed: ", 1).message, "Failed: ");
    const tk_exception_ex given("Cannot convert to ANSI string: ", 0, 16,
                                "U_ILLEGAL_ARGUMENT_ERROR");
    EXPECT_EQ(given.message, "Cannot convert to ANSI string: U_ILLEGAL_ARGUMENT_ERROR");
    EXPECT_EQ(given.code, 16u);
}

TEST_F(tk_exception_test, assertion_code_is_hex_of_tag_backslash_line) {
    const tk_mail_assertion e("a.cpp", 7);
    EXPECT_STREQ(e.what(), "Internal error: \ncode=612e6370705c37");
    EXPECT_EQ(e.level, 2);
    // Non-ASCII bytes keep two lower-case digits each.
    EXPECT_STREQ(tk_mail_assertion("\xc3\xa9", 1234).what(),
                 "Internal error: \ncode=c3a95c31323334");
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

TEST_F(tk_send_bug_test, report_goes_to_the_mail_program_with_subject_note_and_attachment) {
    setenv("PATH", bin_.c_str(), 1);
    EXPECT_EQ(tk_send_bug("Brixel 1.0", "/tmp/brixel.log"), -1);  // no mail program
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

    // Without a configured address the report goes to the default one.
    unsetenv("BRIXEL_SUPPORT_MAIL");
    EXPECT_EQ(tk_send_bug("x", "/a b/log file.txt"), 3);
    const std::string second = tk_test_folder::read(folder_.file("args"));
    EXPECT_NE(second.find("\n/a b/log file.txt\n"), std::string::npos) << second;
    EXPECT_TRUE(second.ends_with(std::string("\n") + tk_default_support_mail + "\n")) << second;
}

}  // namespace
