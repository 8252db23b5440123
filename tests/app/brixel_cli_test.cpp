// brixel-cli run from end to end: the program itself, started with the OCI stand-in as its Oracle
// client, converting folders written with the test DBF writer. What a script sees is checked:
// exit codes, the summary on standard output, the progress lines and errors on standard error,
// the saved profile, the errors file, and a profile replayed with options over it.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli_run_fixture.hpp"
#include "support/dbf_writer.hpp"

namespace {

namespace fs = std::filesystem;

class brixel_cli_test : public cli_run_test<> {
  protected:
    std::string connection() const {
        return "--source '" + source.string() + "' --host localhost --service DB --user SCOTT";
    }
    // The words of the summary row of a table, empty when there is none.
    std::vector<std::string> row(const std::string& table) const {
        std::istringstream lines(stdout_text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
            if (!w.empty() && w[0] == table) {
                return w;
            }
        }
        return {};
    }
    bool said(const std::string& text) const { return stderr_text.find(text) != std::string::npos; }
};

using row_words = std::vector<std::string>;

void write_people(const fs::path& folder) {
    dbf_writer(dbf_ver::foxpro2_memo)
        .field("NAME", 'C', 20)
        .field("NOTE", 'M', 10)
        .add_record({dbf_cell::text("Ann"), dbf_cell::memo("a long note")})
        .add_record({dbf_cell::text("Bob"), dbf_cell::memo("")})
        .write(folder, "people.dbf");
}

void write_orders(const fs::path& folder) {
    dbf_writer(dbf_ver::dbase3)
        .field("NO", 'N', 6)
        .field("AMOUNT", 'N', 10, 2)
        .add_record({dbf_cell::integer(1), dbf_cell::number(10.5)})
        .add_record({dbf_cell::integer(2), dbf_cell::number(20)}, true)
        .add_record({dbf_cell::integer(3), dbf_cell::number(30.25)})
        .write(folder, "orders.dbf");
}

TEST_F(brixel_cli_test, a_run_a_saved_profile_and_its_replay) {
    write_people(source);
    write_orders(source);
    const fs::path profile = folder.path() / "saved.brixel";
    const fs::path errors = folder.path() / "errors.txt";
    ASSERT_EQ(cli("run " + connection() +
                  " --password-env PW --tables Orders,people --skip-deleted --save-profile '" +
                  profile.string() + "' --errors-file '" + errors.string() + "'"),
              0)
        << stdout_text << stderr_text;
    // Summary rows in the order given: table, destination, records, read, inserted, deleted,
    // rejected, outcome.
    EXPECT_EQ(row("orders"), (row_words{"orders", "ORDERS", "3", "3", "2", "1", "0", "converted"}))
        << stdout_text;
    EXPECT_EQ(row("people"), (row_words{"people", "PEOPLE", "2", "2", "2", "0", "0", "converted"}));
    EXPECT_LT(stdout_text.find("\norders "), stdout_text.find("\npeople "));
    EXPECT_NE(stdout_text.find("2 tables: 2 converted, 0 skipped, 0 failed, 0 not reached\n"
                               "no errors\n"),
              std::string::npos);
    // Not a terminal: plain progress lines.
    EXPECT_TRUE(said("[1/2] orders: started\n")) << stderr_text;
    EXPECT_TRUE(said("[2/2] people: done\n")) << stderr_text;
    EXPECT_EQ(tk_test_folder::read(errors.string()), "");

    // The profile replayed, with an option over it: the tables exist now and are left alone.
    ASSERT_EQ(cli("'" + profile.string() + "' --existing skip"), 0) << stderr_text;
    EXPECT_EQ(row("orders"), (row_words{"orders", "ORDERS", "0", "0", "0", "0", "0", "skipped"}))
        << stdout_text;
    EXPECT_EQ(row("people")[7], "skipped");

    // Merging appends the rows again.
    ASSERT_EQ(cli("'" + profile.string() + "' --existing merge --tables people"), 0) << stderr_text;
    EXPECT_EQ(row("people"), (row_words{"people", "PEOPLE", "2", "2", "2", "0", "0", "converted"}));
    EXPECT_TRUE(row("orders").empty());
}

TEST_F(brixel_cli_test, an_error_asked_about_and_answered_abort) {
    write_orders(source);
    write_people(source);
    ASSERT_EQ(cli("run " + connection() + " --password pw --tables orders"), 0) << stderr_text;

    // Another orders table whose columns differ: merging into the first one cannot work.
    fs::remove(source / "orders.dbf");
    dbf_writer(dbf_ver::dbase3)
        .field("NO", 'C', 30)
        .add_record({dbf_cell::text("x")})
        .write(source, "orders.dbf");
    const fs::path errors = folder.path() / "errors.txt";
    EXPECT_EQ(cli("run " + connection() +
                      " --password pw --existing merge --tables orders,people --on-error ask "
                      "--errors-file '" +
                      errors.string() + "'",
                  "n\n"),
              1);
    const std::string message =
        "orders: The structure of data source does not conform to the destination table.";
    EXPECT_TRUE(said("error: " + message + "\nContinue? [y]es, [n]o")) << stderr_text;
    EXPECT_EQ(row("orders")[7], "failed") << stdout_text;
    EXPECT_EQ(row("people"), (row_words{"people", "-", "0", "0", "0", "0", "0", "not", "reached"}));
    EXPECT_NE(stdout_text.find("1 error:\n  1. " + message + "\n"), std::string::npos);
    EXPECT_EQ(tk_test_folder::read(errors.string()), message + "\n");
}

TEST_F(brixel_cli_test, cannot_connect_and_no_profile) {
    write_orders(source);
    // A wrong password: the server's message in friendly words, exit 255.
    EXPECT_EQ(cli("run " + connection() + " --password wrong"), 255);
    EXPECT_TRUE(said("error: Invalid user name or password.\n")) << stderr_text;
    // A profile that is not there, as the wizard's quick launch reports it.
    EXPECT_EQ(cli("'" + folder.file("none.brixel") + "'"), 2);
    EXPECT_TRUE(said("Profile does not exist. Please verify the correct path/name was given."))
        << stderr_text;
}

// brixel-cli has no hidden state: each run starts from the defaults, the settings store is read
// or written only when asked, and a table that exists needs a policy.
TEST_F(brixel_cli_test, runs_are_stateless_and_an_existing_table_needs_a_policy) {
    write_orders(source);
    const fs::path store = folder.path() / "config" / "Quillonworks" / "Brixel.conf";
    ASSERT_EQ(cli("run " + connection() + " --password-env PW --definitions-only"), 0)
        << stderr_text;
    EXPECT_FALSE(fs::exists(store));
    EXPECT_NE(stdout_text.find("existing tables: none chosen"), std::string::npos) << stdout_text;

    // The next plain run does not inherit --definitions-only, and does not touch the table.
    EXPECT_EQ(cli("run " + connection() + " --password-env PW"), 1);
    EXPECT_EQ(row("orders")[7], "failed") << stdout_text;
    EXPECT_NE(stdout_text.find("already exists in the destination and no policy for existing "
                               "tables was chosen: overwrite, merge or skip"),
              std::string::npos)
        << stdout_text;
    ASSERT_EQ(cli("run " + connection() + " --password-env PW --existing merge"), 0);
    EXPECT_EQ(row("orders"), (row_words{"orders", "ORDERS", "3", "3", "3", "0", "0", "converted"}));

    // A rejected command line saves nothing, even when asked to.
    EXPECT_EQ(cli("run " + connection() + " --password-env PW --save-settings --tables nosuch"), 2);
    EXPECT_FALSE(fs::exists(store));
    ASSERT_EQ(cli("run " + connection() + " --password-env PW --existing skip --save-settings"), 0);
    EXPECT_TRUE(fs::exists(store));
    // The saved settings are where a later run can start from, when it asks.
    ASSERT_EQ(cli("run --use-last-settings --password-env PW"), 0) << stderr_text;
    EXPECT_EQ(row("orders")[7], "skipped") << stdout_text;
    EXPECT_EQ(cli("run --password-env PW"), 2);
}

// A profile that cannot be written leaves the file it would replace as it was; a table the
// profile names that has left the folder fails alone.
TEST_F(brixel_cli_test, profiles_saved_whole_and_replayed_without_a_lost_table) {
    write_orders(source);
    write_people(source);
    const fs::path profile = folder.path() / "kept.brixel";
    ASSERT_EQ(cli("run " + connection() + " --password-env PW --definitions-only --save-profile '" +
                  profile.string() + "'"),
              0)
        << stderr_text;
    const std::string saved = tk_test_folder::read(profile.string());
    // A password with a line break cannot be read back from a profile: refused, file kept.
    EXPECT_EQ(cli("run " + connection() + " --password \"$(printf 'a\\nb')\" --save-profile '" +
                  profile.string() + "'"),
              2);
    EXPECT_EQ(tk_test_folder::read(profile.string()), saved);

    fs::remove(source / "people.dbf");
    EXPECT_EQ(cli("'" + profile.string() + "' --existing overwrite --no-definitions-only"), 1)
        << stderr_text;
    EXPECT_EQ(row("orders")[7], "converted") << stdout_text;
    EXPECT_EQ(row("people")[7], "failed");
    EXPECT_NE(stdout_text.find("people: Table file not found"), std::string::npos) << stdout_text;
}

// A folder of good and damaged tables with --on-error continue: every table is reached, the good
// ones load whole, each damaged one is named with its cause, and the exit code says so; the JSON
// summary tells the same. --max-errors ends the run early.
TEST_F(brixel_cli_test, good_and_damaged_tables_in_one_run) {
    write_orders(source);
    dbf_writer bad(dbf_ver::dbase3);
    bad.field("ID", 'N', 5).add_record({dbf_cell::integer(1)});
    bad.damage().dbf_size = 12;
    bad.write(source, "broken.dbf");
    dbf_writer short_file(dbf_ver::dbase3);
    short_file.field("ID", 'N', 5).add_record({dbf_cell::integer(1)});
    short_file.damage().record_count = 4;
    short_file.write(source, "short.dbf");
    write_people(source);
    const fs::path json = folder.path() / "summary.json";
    EXPECT_EQ(cli("run " + connection() + " --password-env PW --on-error continue --tables " +
                  "broken,orders,short,people --summary-json '" + json.string() + "'"),
              1);
    EXPECT_EQ(row("broken")[7], "failed") << stdout_text;
    EXPECT_EQ(row("people")[7], "converted");
    const std::string summary = tk_test_folder::read(json.string());
    EXPECT_NE(summary.find("\"table\":\"short\",\"destination\":\"SHORT\",\"outcome\":"
                           "\"converted\",\"records\":1,\"records_announced\":4"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\"errors\":[\"broken: File does not comply with DBF format\",\"short: "
                           "The file holds 1 of the 4 records"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\"exit_code\":1}"), std::string::npos);

    EXPECT_EQ(cli("run " + connection() + " --password-env PW --on-error continue --max-errors 1 " +
                  "--existing overwrite --tables broken,orders"),
              1);
    EXPECT_EQ(row("orders")[7], "not") << stdout_text;
    EXPECT_TRUE(said("errors reached the limit of --max-errors")) << stderr_text;

    EXPECT_EQ(cli("--version"), 0);
    EXPECT_EQ(stdout_text.rfind("brixel-cli ", 0), 0u);
}

}  // namespace
