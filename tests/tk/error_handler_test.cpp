#include "tk/error_handler.hpp"

#include <gtest/gtest.h>

#include "support/scripted_user_interface.hpp"

namespace {

tk_exception ora_error(uint32_t ora_number, const std::string& text) {
    tk_exception e(text, 0);
    e.code = ora_error_code_base + ora_number;
    return e;
}

size_t ora_message_count() {
    size_t count = 0;
    ora_error_messages(count);
    return count;
}

const t_error_message* ora_message_pairs() {
    size_t count = 0;
    return ora_error_messages(count);
}

class ErrorHandlerTest : public ::testing::Test {
  protected:
    ErrorHandlerTest() {
        handler.set_user_interface(&ui);
        handler.end_process = [this](int code) { exit_code = code; };
    }

    scripted_user_interface ui;
    error_handler handler{ora_message_count(), ora_message_pairs()};
    int exit_code = 0;
};

TEST_F(ErrorHandlerTest, KnownServerErrorInARecordGetsContextAndFriendlyTextOnOneLine) {
    handler.set_context(u"orders", 17);
    EXPECT_NO_THROW(handler.handle(ora_error(1, "ORA-00001: unique constraint violated"), false));
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0].kind, "ask_continue");
    EXPECT_EQ(ui.log[0].caption, "Brixel Error");
    EXPECT_EQ(ui.log[0].text,
              "orders, record #17: Duplicate field values being used for an unique index were "
              "found. See 'Troubleshooting' article of the product documentation for solution.");
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], ui.log[0].text);
}

TEST_F(ErrorHandlerTest, UnknownServerErrorKeepsItsOwnText) {
    handler.set_context(u"parts");
    handler.handle(ora_error(904, "ORA-00904: \"X\": invalid identifier\n"), false);
    EXPECT_EQ(ui.errors.at(0), "parts: ORA-00904: \"X\": invalid identifier ");
}

TEST_F(ErrorHandlerTest, AbortStopsTheOperationUnlessFinal) {
    ui.continue_script = {{false, true}, {false, true}};
    EXPECT_THROW(handler.handle(tk_exception("busy", 0), false), tk_final_exception);
    // Abort does not take over the check box.
    EXPECT_FALSE(handler.dont_show());
    EXPECT_NO_THROW(handler.handle(tk_exception("busy", 0), true));
    EXPECT_TRUE(handler.dont_show());
}

TEST_F(ErrorHandlerTest, DoNotShowAgainSilencesLaterErrorsButKeepsListingThem) {
    ui.continue_script = {{true, true}};
    handler.handle(tk_exception("first", 0), false);
    handler.handle(tk_exception("second", 0), false);
    EXPECT_THROW(handler.handle(tk_exception("fatal", 1), false), tk_final_exception);
    ASSERT_EQ(ui.log.size(), 1u);  // only the first question was shown
    EXPECT_EQ(ui.errors, (std::vector<std::string>{"first", "second", "fatal"}));
}

TEST_F(ErrorHandlerTest, FatalErrorIsShownThenStopsTheOperation) {
    EXPECT_THROW(
        handler.handle(tk_exception("Logfile path does not exist.\nPlease verify", 1), false),
        tk_final_exception);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0].kind, "error");
    EXPECT_EQ(ui.log[0].text, "Logfile path does not exist. Please verify");
    EXPECT_NO_THROW(handler.handle(tk_exception("again", 1), true));
}

TEST_F(ErrorHandlerTest, ListKeepsTheFirstTwentyMessagesButEveryErrorIsNoted) {
    for (int i = 0; i < 25; ++i) {
        handler.handle(tk_exception("e" + std::to_string(i), 0), true);
    }
    ASSERT_EQ(ui.errors.size(), error_handler::max_listed_errors);
    EXPECT_EQ(ui.errors.back(), "e19");
    EXPECT_EQ(ui.all_errors.size(), 25u);
}

TEST_F(ErrorHandlerTest, InternalErrorShowsItsDialogAndEndsTheProcess) {
    handler.handle(tk_mail_assertion("a.cpp", 7), false);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0].kind, "internal_error");
    EXPECT_EQ(ui.log[0].text, "Internal error: \ncode=612e6370705c37");
    EXPECT_EQ(exit_code, -1);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ErrorHandlerTest, CaptionWithoutWindowTitleIsPlainError) {
    ui.initialized = false;
    EXPECT_THROW(handler.handle(tk_exception("x", 1), false), tk_final_exception);
    EXPECT_EQ(ui.log.at(0).caption, "Error");
    EXPECT_TRUE(ui.errors.empty());  // nothing is listed before the front end is ready
}

TEST(ErrorConverter, FirstTextOfACodeWins) {
    const t_error_message pairs[] = {{5, "one"}, {5, "two"}, {6, "six"}};
    tk_error_converter converter(3, pairs);
    EXPECT_EQ(converter.size(), 2u);
    EXPECT_EQ(converter.convert(5), "one");
    EXPECT_EQ(converter.convert(7), "");
    EXPECT_THROW(converter.load_map(1, nullptr), tk_mail_assertion);
}

}  // namespace
