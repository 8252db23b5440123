// Visibility of uncommitted work, locking between sessions, and the test instrumentation
// (statement log, counters, latency, fault injection).
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fixture.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Sets an environment variable for the lifetime of the object.
struct EnvVar {
    EnvVar(const char* name, const std::string& value) : name_(name) {
        setenv(name, value.c_str(), 1);
    }
    ~EnvVar() { unsetenv(name_); }
    const char* name_;
};

}  // namespace

class Transactions : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        ok("CREATE TABLE \"T\" (\"ID\" NUMBER)");
    }
};

TEST_F(Transactions, UncommittedWorkIsInvisibleCommittedAtSessionEndLostWithTheConnection) {
    Conn other;
    ASSERT_EQ(other.connect(), oci::SUCCESS);
    ok("INSERT INTO \"T\" VALUES (1)");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"T\""), "1");
    EXPECT_EQ(other.one("SELECT COUNT(*) FROM \"T\""), "0");
    ASSERT_EQ(db().commit(), oci::SUCCESS);
    EXPECT_EQ(other.one("SELECT COUNT(*) FROM \"T\""), "1");
    ok("INSERT INTO \"T\" VALUES (2)");
    ASSERT_EQ(db().rollback(), oci::SUCCESS);
    ok("INSERT INTO \"T\" VALUES (3)");
    db().disconnect();  // ending the session commits its transaction
    EXPECT_EQ(other.one("SELECT COUNT(*) FROM \"T\""), "2");
    // A connection that goes away without ending its session loses the open transaction.
    {
        Conn gone;
        ASSERT_EQ(gone.connect(), oci::SUCCESS);
        ASSERT_EQ(gone.exec("INSERT INTO \"T\" VALUES (9)"), oci::SUCCESS);
        oci::Api::get().ServerDetach(gone.srv, gone.err, oci::DEFAULT);
    }
    EXPECT_EQ(other.one("SELECT COUNT(*) FROM \"T\""), "2");
    // COMMIT_ON_SUCCESS and DDL both commit.
    ASSERT_EQ(other.exec("INSERT INTO \"T\" VALUES (4)", oci::COMMIT_ON_SUCCESS), oci::SUCCESS);
    ASSERT_EQ(other.exec("INSERT INTO \"T\" VALUES (5)"), oci::SUCCESS);
    ASSERT_EQ(other.exec("CREATE TABLE \"U\" (\"A\" NUMBER)"), oci::SUCCESS);
    Conn third;
    ASSERT_EQ(third.connect(), oci::SUCCESS);
    EXPECT_EQ(third.one("SELECT COUNT(*) FROM \"T\""), "4");
}

TEST_F(Transactions, SecondWriterWaitsThenGetsResourceBusy) {
    EnvVar wait("OCISIM_LOCK_WAIT_MS", "50");
    Conn other;
    ASSERT_EQ(other.connect(), oci::SUCCESS);
    ok("INSERT INTO \"T\" VALUES (1)");
    EXPECT_EQ(other.exec("INSERT INTO \"T\" VALUES (2)"), oci::ERROR);
    EXPECT_EQ(other.text(),
              "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    EXPECT_EQ(other.exec("DROP TABLE \"T\" CASCADE CONSTRAINTS"), oci::ERROR);
    EXPECT_EQ(other.code(), 54);
    ASSERT_EQ(db().commit(), oci::SUCCESS);
    EXPECT_EQ(other.exec("INSERT INTO \"T\" VALUES (2)", oci::COMMIT_ON_SUCCESS), oci::SUCCESS)
        << other.text();
}

TEST_F(Transactions, SequencesAreNotRolledBack) {
    ok("CREATE SEQUENCE S");
    ok("INSERT INTO \"T\" VALUES (S.NEXTVAL)");
    ASSERT_EQ(db().rollback(), oci::SUCCESS);
    ok("INSERT INTO \"T\" VALUES (S.NEXTVAL)");
    EXPECT_EQ(db().one("SELECT \"ID\" FROM \"T\""), "2");
}

TEST(Instrumentation, StatementLogAndCounters) {
    ScratchHome home;
    std::string log = home.path() + "/statements.log";
    std::string counters = home.path() + "/counters.txt";
    EnvVar l("OCISIM_STATEMENT_LOG", log);
    EnvVar c("OCISIM_COUNTERS", counters);
    {
        Conn db;
        ASSERT_EQ(db.connect(), oci::SUCCESS);
        ASSERT_EQ(db.exec("CREATE TABLE T (A NUMBER)"), oci::SUCCESS);
        ASSERT_EQ(db.exec("INSERT INTO T VALUES (1)\n", oci::COMMIT_ON_SUCCESS), oci::SUCCESS);
        ASSERT_EQ(db.commit(), oci::SUCCESS);
    }
    EXPECT_EQ(slurp(log), "CREATE TABLE T (A NUMBER)\nINSERT INTO T VALUES (1)\\n\n");
    // attach + logon + 2 executes + commit + session end.
    EXPECT_EQ(slurp(counters), "user=SCOTT service=ORCL round_trips=5 commits=3 executes=2\n");
}

TEST(Instrumentation, FaultInjection) {
    ScratchHome home;
    EnvVar f("OCISIM_FAULTS", "54,1,once,^DROP TABLE;3113,3,once,^INSERT");
    Conn db;
    ASSERT_EQ(db.connect(), oci::SUCCESS);
    ASSERT_EQ(db.exec("CREATE TABLE T (A NUMBER)"), oci::SUCCESS);
    EXPECT_EQ(db.exec("DROP TABLE T"), oci::ERROR);
    EXPECT_EQ(db.code(), 54);
    EXPECT_EQ(db.exec("DROP TABLE T"), oci::SUCCESS);  // only the first time
    ASSERT_EQ(db.exec("CREATE TABLE T (A NUMBER)"), oci::SUCCESS);
    ASSERT_EQ(db.exec("INSERT INTO T VALUES (1)", oci::COMMIT_ON_SUCCESS), oci::SUCCESS);
    ASSERT_EQ(db.exec("INSERT INTO T VALUES (2)"), oci::SUCCESS);
    EXPECT_EQ(db.exec("INSERT INTO T VALUES (3)"), oci::ERROR);
    EXPECT_EQ(db.text(), "ORA-03113: end-of-file on communication channel");
    EXPECT_EQ(db.exec("SELECT * FROM T"), oci::ERROR);
    EXPECT_EQ(db.text(), "ORA-03114: not connected to ORACLE");
    Conn other;
    ASSERT_EQ(other.connect(), oci::SUCCESS);
    EXPECT_EQ(other.one("SELECT COUNT(*) FROM T"), "1");  // the uncommitted row is gone
}

TEST(Instrumentation, SimulatedLatency) {
    ScratchHome home;
    EnvVar rt("OCISIM_ROUND_TRIP_US", "20000");
    Conn db;
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(db.connect(), oci::SUCCESS);
    ASSERT_EQ(db.exec("SELECT * FROM DUAL"), oci::SUCCESS);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    EXPECT_GE(ms, 60);  // three round trips of 20 ms
}
