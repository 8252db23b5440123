// brixel-cli run from end to end: the program itself, started with the OCI stand-in as its Oracle
// client, converting folders written with the test DBF writer. What a script sees is checked:
// exit codes, the summary on standard output, the progress lines and errors on standard error,
// the saved profile, the errors file, and a profile replayed with options over it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/dbf_writer.hpp"
#include "tk/tk_test_folder.hpp"

namespace {

namespace fs = std::filesystem;

class brixel_cli_test : public testing::Test {
  public:
    static void SetUpTestSuite() {
        const char* root = std::getenv("BRIXEL_TEST_TMP");
        const fs::path base = root != nullptr && *root != 0 ? root : fs::temp_directory_path();
        home() = base / ("brixel_cli." + std::to_string(getpid()));
        fs::remove_all(home());
        fs::create_directories(home());
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(home(), ignored);
    }

  protected:
    void SetUp() override {
        // A service of its own per test: the stand-in keeps one table namespace per service.
        user = "E" + std::to_string(++users());
        service = "DB" + user;
        admin("create-service " + service);
        admin("create-user " + service + " " + user + " pw");
        source = home() / ("dbf_" + user);
        fs::create_directories(source);
        config = home() / ("config_" + user);
    }

    // Runs brixel-cli with these arguments (already quoted for the shell) and standard input
    // from `input`; keeps what it wrote and answers its exit status.
    int cli(const std::string& arguments, const std::string& input = "") {
        const fs::path out = home() / (user + ".out");
        const fs::path err = home() / (user + ".err");
        const fs::path in = home() / (user + ".in");
        tk_test_folder::write(in.string(), input);
        const std::string command =
            "env -u BRIXEL_PASSWORD BRIXEL_OCI_LIBRARY='" + std::string(OCISIM_LIBRARY) +
            "' OCISIM_HOME='" + home().string() + "' BRIXEL_CONFIG_HOME='" + config.string() +
            "' PW=pw '" + std::string(BRIXEL_CLI_PROGRAM) + "' " + arguments + " < '" +
            in.string() + "' > '" + out.string() + "' 2> '" + err.string() + "'";
        const int status = std::system(command.c_str());
        stdout_text = tk_test_folder::read(out.string());
        stderr_text = tk_test_folder::read(err.string());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string connection() const {
        return "--source '" + source.string() + "' --host localhost --port 1521 --service " +
               service + " --user " + user;
    }
    // The words of the summary row of a table, empty when there is none.
    std::vector<std::string> row(const std::string& table) const {
        std::istringstream lines(stdout_text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::vector<std::string> w;
            for (std::string word; words >> word;) {
                w.push_back(word);
            }
            if (!w.empty() && w[0] == table) {
                return w;
            }
        }
        return {};
    }
    bool said(const std::string& text) const { return stderr_text.find(text) != std::string::npos; }

    static void admin(const std::string& arguments) {
        const std::string command = "OCISIM_HOME='" + home().string() + "' " +
                                    std::string(OCISIM_ADMIN) + " " + arguments + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static fs::path& home() {
        static fs::path path;
        return path;
    }
    static int& users() {
        static int count = 0;
        return count;
    }

    std::string user;
    std::string service;
    fs::path source;
    fs::path config;
    std::string stdout_text;
    std::string stderr_text;
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
    const fs::path profile = home() / (user + ".brixel");
    const fs::path errors = home() / (user + ".errors");
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
    struct stat st {};
    ASSERT_EQ(stat(profile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The settings store now holds this run's settings, as after a wizard session.
    EXPECT_NE(tk_test_folder::read((config / "Quillonworks" / "Brixel.conf").string())
                  .find(source.string()),
              std::string::npos);

    // The profile replayed, with an option over it: the tables exist now and are left alone.
    ASSERT_EQ(cli("'" + profile.string() + "' --existing skip --quiet"), 0) << stderr_text;
    EXPECT_EQ(stdout_text, "");
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
    const fs::path errors = home() / (user + ".errors");
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

TEST_F(brixel_cli_test, exit_codes_of_what_stops_a_run_before_it_starts) {
    write_orders(source);
    // A wrong password: the server's message in friendly words, exit 255.
    EXPECT_EQ(cli("run " + connection() + " --password wrong"), 255);
    EXPECT_TRUE(said("error: Invalid user name or password.\n")) << stderr_text;
    // A usage error names its option; the program did not touch the server.
    EXPECT_EQ(cli("run " + connection() + " --existing sideways"), 2);
    EXPECT_TRUE(said("--existing takes overwrite, merge or skip, not 'sideways'")) << stderr_text;
    EXPECT_EQ(cli("run " + connection() + " --tables nothere --password pw"), 2);
    EXPECT_TRUE(said("--tables: no such table in the source folder: nothere")) << stderr_text;
    // A profile that is not there, as the wizard's quick launch reports it.
    EXPECT_EQ(cli("'" + (home() / "none.brixel").string() + "'"), 2);
    EXPECT_TRUE(said("Profile does not exist. Please verify the correct path/name was given."))
        << stderr_text;
    EXPECT_EQ(cli(""), 2);
    EXPECT_EQ(cli("run --help"), 0);
    EXPECT_EQ(stdout_text.rfind("usage: brixel-cli run [OPTIONS]\n", 0), 0u);
}

}  // namespace
