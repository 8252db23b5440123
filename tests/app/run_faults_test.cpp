// Faults met by brixel-cli itself, with the stand-in's fault injection: a lost connection ends
// the run with one message and what was committed, a full tablespace ends its table with one, a
// killed process leaves a journal the next run resumes from, and whatever happened `verify`
// finds every source record in the destination exactly once. Each case runs in both load
// methods.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/cli_run_fixture.hpp"
#include "support/dbf_writer.hpp"

namespace {

namespace fs = std::filesystem;

class run_faults : public cli_run_test<testing::TestWithParam<std::string>> {
  protected:
    void SetUp() override {
        cli_run_test::SetUp();
        // Three tables: the middle one is the large one the faults hit.
        for (const auto& [name, count] :
             {std::pair<std::string, int>{"first", 5}, {"big", 400}, {"last", 7}}) {
            dbf_writer table(dbf_ver::foxpro2_memo);
            table.field("ID", 'N', 6).field("NOTE", 'M', 10);
            for (int i = 1; i <= count; ++i) {
                // Deleted records and memos among the rows, so that the committed count of
                // records and of rows differ and large objects travel.
                table.add_record(
                    {dbf_cell::integer(i),
                     i % 9 == 0 ? dbf_cell::memo("note " + std::to_string(i)) : dbf_cell::blank()},
                    i % 11 == 0);
            }
            table.write(source, name + ".dbf");
        }
    }

    std::string options() const {
        return "--source '" + source.string() +
               "' --host localhost --service DB --user SCOTT --password-env PW --load " +
               GetParam() +
               " --batch-rows 16 --commit-rows 48 --skip-deleted --tables first,big,last";
    }
    std::string run(const std::string& more = "") const {
        return "run " + options() + " --existing overwrite --on-error continue --errors-file '" +
               folder.file("errors") + "' " + more;
    }
    std::string resume() const {
        return "run --resume '" + journal() +
               "' --host localhost --service DB --user SCOTT "
               "--password-env PW --load " +
               GetParam() + " --skip-deleted --on-error continue";
    }
    std::string journal() const { return folder.file("errors") + ".journal"; }
    // verify's exit status: 0 when every source record is in the destination exactly once.
    int verify() { return cli("verify " + options()); }
    std::string listed_errors() const { return tk_test_folder::read(folder.file("errors")); }
};

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

size_t lines(const std::string& text) {
    return count_of(text, "\n");
}

TEST_P(run_faults, a_lost_connection_ends_the_run_with_one_message_and_a_resume_finishes_it) {
    // The connection drops at the 100th INSERT execute of the run.
    EXPECT_EQ(cli(run("--summary-json '" + folder.file("summary") + "'"), "",
                  "OCISIM_FAULTS='3113,100,once,^INSERT'"),
              1)
        << stderr_text;
    EXPECT_NE(
        tk_test_folder::read(folder.file("summary")).find("\"journal\":\"" + journal() + "\""),
        std::string::npos);
    const std::string listed = listed_errors();
    EXPECT_EQ(lines(listed), 1u) << listed;
    EXPECT_NE(listed.find("big, record #"), std::string::npos) << listed;
    EXPECT_NE(listed.find("ORA-03113"), std::string::npos);
    EXPECT_NE(listed.find("records of big are committed; tables not reached: last"),
              std::string::npos)
        << listed;
    EXPECT_NE(stderr_text.find("--resume"), std::string::npos) << stderr_text;
    EXPECT_NE(verify(), 0);

    EXPECT_EQ(cli(resume()), 0) << stderr_text;
    EXPECT_EQ(verify(), 0) << stderr_text;
    // A finished journal is replaced by the next run.
    EXPECT_EQ(cli(run()), 0) << stderr_text;

    // A damaged journal is refused with the line that is wrong.
    tk_test_folder::write(journal(), "brixel-journal\t1\nsource\t/x\ncommit\t0\t1\t1\n");
    EXPECT_EQ(cli(resume()), 2);
    EXPECT_NE(stderr_text.find("is damaged at line 3"), std::string::npos) << stderr_text;
}

TEST_P(run_faults, a_full_tablespace_ends_its_table_with_one_message_and_the_run_goes_on) {
    EXPECT_EQ(cli(run(), "", "OCISIM_FAULTS='1653,150,always,^INSERT.*\"BIG\"'"), 1) << stderr_text;
    const std::string listed = listed_errors();
    EXPECT_EQ(lines(listed), 1u) << listed;
    EXPECT_NE(listed.find("ORA-01653"), std::string::npos) << listed;
    EXPECT_NE(listed.find("the run goes on with the next table"), std::string::npos);
    // The next table was converted; big resumes once there is room again.
    EXPECT_EQ(cli(run()), 2);
    EXPECT_NE(stderr_text.find("belongs to a run that did not finish"), std::string::npos)
        << stderr_text;
    EXPECT_EQ(cli(resume()), 0) << stderr_text;
    EXPECT_EQ(verify(), 0) << stderr_text;
}

TEST_P(run_faults, reconnecting_goes_on_where_the_journal_says_within_the_run) {
    EXPECT_EQ(cli(run("--reconnect 2"), "",
                  "BRIXEL_RECONNECT_WAIT_MS=1 OCISIM_FAULTS='3113,60,once,^INSERT;3113,90,once,^"
                  "INSERT'"),
              0)
        << stderr_text;
    EXPECT_NE(stderr_text.find("the connection was lost 2 times"), std::string::npos)
        << stderr_text;
    EXPECT_EQ(verify(), 0) << stderr_text;
}

TEST_P(run_faults, a_killed_run_resumes_and_loads_every_record_exactly_once) {
    const fs::path path = journal();
    // exec all the way, so that the child's process id is brixel-cli's.
    const std::string command = "exec " + environment("OCISIM_ROUND_TRIP_US=3000") +
                                "'" BRIXEL_CLI_PROGRAM "' " + run() + " > /dev/null 2>&1";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Killed once the journal shows commits of the large table.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool b_killed = false;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = fs::exists(path) ? tk_test_folder::read(path.string()) : "";
        if (count_of(text, "\ncommit\t1\t") >= 3) {
            kill(child, SIGKILL);
            b_killed = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(b_killed) << "the run ended before it could be killed";
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_NE(verify(), 0);
    EXPECT_EQ(cli(resume()), 0) << stderr_text;
    EXPECT_EQ(verify(), 0) << stderr_text;
}

INSTANTIATE_TEST_SUITE_P(load, run_faults, testing::Values("row", "array"));

}  // namespace
