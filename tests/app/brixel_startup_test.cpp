// Start-up as both front ends use it: connecting with the converter's settings, the quick launch
// of a profile (a missing profile, a service that cannot be reached, a complete run), and what
// reaches the user when start-up fails.

#include "app/brixel_startup.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"
#include "converter_settings_fixture.hpp"
#include "support/dbf_writer.hpp"
#include "support/scripted_user_interface.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"

namespace {

const std::string profile_missing =
    "Profile does not exist. Please verify the correct path/name was given.";

class startup_test : public converter_settings_test {
  protected:
    startup_test() {
        admin("create-service DB");
        admin("create-user DB SCOTT tiger");
    }

    // Start-up with the error handler answering through the scripted interface; an internal
    // error fails the test instead of ending the process.
    brixel_startup& start() {
        startup.emplace(ui);
        startup->handler().end_process = [](int code) { FAIL() << "process ended with " << code; };
        return *startup;
    }

    // A profile that connects as SCOTT to `service` and converts the folder's table "items".
    std::string write_profile(const std::string& service, const std::string& password) {
        const std::string path = folder.file("quick.brixel");
        write(path,
              "[Generic settings]\r\n"
              "dest=" +
                  service +
                  "\r\n"
                  "src=" +
                  folder.file("dbf") +
                  "\r\n"
                  "[Oracle settings]\r\n"
                  "host=localhost\r\n"
                  "password=" +
                  password +
                  "\r\n"
                  "user=SCOTT\r\n"
                  "[Selected Tables]\r\n"
                  "items\r\n");
        return path;
    }

    scripted_user_interface ui;
    std::optional<brixel_startup> startup;
};

}  // namespace

TEST_F(startup_test, connect_uses_the_settings_and_replaces_an_earlier_connection) {
    brixel_startup& s = start();
    s.converter().store_oracle_settings(u"localhost", u"SCOTT", u"tiger", u"1521");
    s.converter().dest = u"DB";
    ASSERT_TRUE(s.connect());
    ASSERT_NE(s.converter().ora_base, nullptr);
    EXPECT_EQ(s.converter().database, u"DB");
    ASSERT_TRUE(s.connect());
    EXPECT_NE(s.converter().ora_base, nullptr);
    EXPECT_TRUE(ui.log.empty());
}

// A failed connection is told with the server's message, not asked about: there is nothing to
// continue with; a quick launch then answers its exit code without running.
TEST_F(startup_test, failed_connections_are_told_once_and_a_quick_launch_does_not_run) {
    brixel_startup& s = start();
    s.converter().store_oracle_settings(u"localhost", u"SCOTT", u"wrong", u"1521");
    s.converter().dest = u"DB";
    EXPECT_FALSE(s.connect());
    EXPECT_EQ(s.converter().ora_base, nullptr);
    EXPECT_TRUE(s.converter().database.empty());
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0].kind, "error");
    EXPECT_EQ(ui.log[0].text, "Invalid user name or password.");
    EXPECT_EQ(ui.all_errors, std::vector<std::string>{ui.log[0].text});

    ui.all_errors.clear();
    int polls = 0;
    EXPECT_EQ(s.quick_launch(write_profile("NOSUCH", "tiger"), [&] { ++polls; }),
              brixel_startup::exit_cannot_connect);
    EXPECT_EQ(polls, 0);
    ASSERT_EQ(ui.all_errors.size(), 1u);
    EXPECT_EQ(ui.all_errors[0].rfind("Cannot resolve Oracle service name.", 0), 0u)
        << ui.all_errors[0];
}

TEST_F(startup_test, quick_launch_takes_the_whole_command_line_as_the_profile_path) {
    brixel_startup& s = start();
    const std::string path = write_profile("DB", "tiger");
    for (const std::string& command_line :
         {folder.file("absent.brixel"), "\"" + path + "\"", path + " --now", std::string()}) {
        SCOPED_TRACE(command_line);
        ui.log.clear();
        try {
            s.load_quick_launch_profile(command_line);
            ADD_FAILURE() << "loaded";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.message, profile_missing);
            EXPECT_EQ(e.level, 1);
        }
        EXPECT_EQ(s.quick_launch(command_line, nullptr), brixel_startup::exit_start_up_error);
        ASSERT_EQ(ui.log.size(), 1u);
        EXPECT_EQ(ui.log[0].kind, "error");
        EXPECT_EQ(ui.log[0].text, profile_missing);
    }
    EXPECT_TRUE(s.converter().src.empty());
    EXPECT_TRUE(s.load_quick_launch_profile(path));
    EXPECT_EQ(s.converter().selected_tables, std::vector<std::u16string>{u"items"});
}

TEST_F(startup_test, quick_launch_connects_runs_the_profile_and_polls_until_the_end) {
    dbf_writer items;
    items.field("NAME", 'C', 10).field("QTY", 'N', 5);
    items.add_record({dbf_cell::text("bolt"), dbf_cell::number(12)});
    items.add_record({dbf_cell::text("nut"), dbf_cell::number(40)});
    std::filesystem::create_directories(folder.path() / "dbf");
    items.write(folder.path() / "dbf", "items.dbf");

    brixel_startup& s = start();
    int polls = 0;
    bool b_finished_at_last_poll = false;
    EXPECT_EQ(s.quick_launch(
                  write_profile("DB", "tiger"),
                  [&] {
                      ++polls;
                      b_finished_at_last_poll = s.converter().finished.load();
                  },
                  5),
              0);
    EXPECT_GE(polls, 1);
    EXPECT_TRUE(b_finished_at_last_poll);
    EXPECT_TRUE(ui.all_errors.empty()) << ui.all_errors.front();
    ora_database& db = *s.converter().ora_base;
    db.get_tables();
    EXPECT_TRUE(db.is_table_exist(u"ITEMS"));
    EXPECT_EQ(s.converter().engine.get_records_cnt(u"ITEMS", false), 2u);
}

TEST_F(startup_test, stop_requested_before_the_run_keeps_it_from_starting) {
    brixel_startup& s = start();
    s.request_stop();
    int polls = 0;
    s.run([&] { ++polls; });
    EXPECT_EQ(polls, 1);
    EXPECT_FALSE(s.converter().finished.load());
}

TEST_F(startup_test, start_up_errors_reach_the_user_by_their_kind) {
    brixel_startup& s = start();
    s.report(tk_exception("Logfile path does not exist.\nPlease verify", 1));
    s.report(std::runtime_error("out of disk"));
    s.report(tk_final_exception());  // the user was told already
    ASSERT_EQ(ui.log.size(), 2u);
    EXPECT_EQ(ui.log[0].kind, "error");
    EXPECT_EQ(ui.log[0].text, "Logfile path does not exist. Please verify");
    EXPECT_EQ(ui.log[1].kind, "error");
    EXPECT_EQ(ui.log[1].text, "out of disk");
    EXPECT_EQ(ui.log[1].caption, s.handler().error_caption());
}
