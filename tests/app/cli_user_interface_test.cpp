// The terminal as the error handler's user interface: the continue-or-abort question answered by
// policy or by the person at the terminal ("a" being the do-not-ask-again choice), every error
// kept, and messages that never land inside the progress line.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/cli_user_interface.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_error_converter.hpp"

namespace {

using answer = tk_user_interface::continue_answer;

TEST(cli_question, answers_read_from_the_terminal) {
    struct expectation {
        std::string typed;
        bool b_continue;
        bool b_dont_show;
    };
    const expectation cases[] = {
        {"y\n", true, false},
        {"Yes\n", true, false},
        {"n\n", false, false},
        {" NO \n", false, false},
        {"a\n", true, true},
        {"always\n", true, true},
        {"maybe\n\ny\n", true, false},  // asked again until the answer is one of the choices
        {"", false, false},             // nobody answers: the run stops
        {"what\n", false, false},       // ... also after answers that were not choices
    };
    for (const auto& c : cases) {
        std::istringstream in(c.typed);
        std::ostringstream out;
        cli_user_interface ui(out, on_error_policy::ask, in);
        const answer a = ui.ask_continue("brixel-cli Error", "t, record #3: bad value");
        EXPECT_EQ(a.b_continue, c.b_continue) << c.typed;
        EXPECT_EQ(a.b_dont_show, c.b_dont_show) << c.typed;
        EXPECT_EQ(out.str().rfind("error: t, record #3: bad value\nContinue? [y]es, [n]o", 0), 0u)
            << out.str();
    }
}

TEST(cli_question, fixed_policies_answer_without_reading) {
    std::istringstream in("n\n");
    std::ostringstream out;
    cli_user_interface go_on(out, on_error_policy::go_on, in);
    const answer a = go_on.ask_continue("", "first");
    EXPECT_TRUE(a.b_continue);
    EXPECT_FALSE(a.b_dont_show);
    cli_user_interface stop(out, on_error_policy::abort_run, in);
    EXPECT_FALSE(stop.ask_continue("", "second").b_continue);
    EXPECT_EQ(out.str(), "warning: first\nerror: second\n");
    EXPECT_EQ(in.tellg(), 0);  // the answer waiting on the terminal was not taken
}

TEST(cli_question, always_continue_stops_the_questions_for_the_rest_of_the_process) {
    std::istringstream in("a\n");
    std::ostringstream out;
    cli_user_interface ui(out, on_error_policy::ask, in);
    size_t count = 0;
    const t_error_message* messages = ora_error_messages(count);
    error_handler handler(count, messages);
    handler.set_user_interface(&ui);
    handler.set_context(u"orders", 1);
    handler.handle(tk_exception("first", 0), false);
    for (int i = 2; i <= 30; ++i) {
        handler.set_context(u"orders", i);
        handler.handle(tk_exception("again\nand again", 0), false);  // not asked: no answer left
    }
    // All 30 messages are kept for the summary, not only the first 20, line feeds made blanks.
    const std::vector<std::string> all = ui.all_errors();
    ASSERT_EQ(all.size(), 30u);
    EXPECT_EQ(ui.errors_noted(), 30u);
    EXPECT_EQ(all.front(), "orders, record #1: first");
    EXPECT_EQ(all.back(), "orders, record #30: again and again");
    EXPECT_EQ(ui.error_list().size(), error_handler::max_listed_errors);
}

TEST(cli_progress, messages_wipe_the_progress_line_first) {
    std::ostringstream out;
    cli_user_interface ui(out);
    ui.draw_progress("[1/2] Processing table 'orders'  10%");
    ui.draw_progress("[1/2] short");
    ui.error("", "broken");
    ui.end_progress();  // nothing drawn any more: nothing to wipe
    const std::string long_line = "[1/2] Processing table 'orders'  10%";
    const std::string blank(long_line.size(), ' ');
    EXPECT_EQ(out.str(), "\r" + long_line + "\r[1/2] short" +
                             std::string(long_line.size() - 11, ' ') + "\r" + blank +
                             "\rerror: broken\n");
}

}  // namespace
