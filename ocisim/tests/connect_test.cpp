// Loading the library, connecting like a listener would, and logging on.
#include <gtest/gtest.h>

#include "fixture.h"

TEST(Library, ExportsEveryEntryPointAndReportsA19Client) {
    auto& a = oci::Api::get();  // throws when a symbol is missing
    int major = 0, update = 0, rev = 0, inc = 0, ext = 0;
    a.ClientVersion(&major, &update, &rev, &inc, &ext);
    EXPECT_EQ(major, 19);
    a.ThreadProcessInit();
}

TEST(Library, RejectsWrongHandleTypes) {
    ScratchHome home;
    Conn c;
    auto& a = oci::Api::get();
    EXPECT_EQ(a.HandleFree(c.err, oci::HTYPE_STMT), oci::INVALID_HANDLE);
    EXPECT_EQ(a.StmtExecute(c.err, c.stmt, c.err, 1, 0, nullptr, nullptr, 0), oci::INVALID_HANDLE);
}

class Connect : public ::testing::Test {
  protected:
    ScratchHome home;
    Conn c;
};

TEST_F(Connect, EasyConnectAndNetServiceNames) {
    EXPECT_EQ(c.connect("//localhost:1521/ORCL"), oci::SUCCESS) << c.text();
    c.disconnect();
    EXPECT_EQ(c.connect("localhost/orcl", "SCOTT"), oci::SUCCESS) << c.text();
    c.disconnect();
    ASSERT_EQ(home.admin("add-net-service ORCLNET localhost 1521 ORCL"), 0);
    EXPECT_EQ(c.connect("orclnet"), oci::SUCCESS) << c.text();
    c.disconnect();
    EXPECT_EQ(c.connect("(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=127.0.0.1)(PORT=1521))"
                        "(CONNECT_DATA=(SERVICE_NAME=ORCL)))"),
              oci::SUCCESS)
        << c.text();
}

TEST_F(Connect, ListenerErrors) {
    EXPECT_EQ(c.connect("//no-such-host.invalid:1521/ORCL"), oci::ERROR);
    EXPECT_EQ(c.text(), "ORA-12545: Connect failed because target host or object does not exist");
    EXPECT_EQ(c.connect("//localhost:1599/ORCL"), oci::ERROR);
    EXPECT_EQ(c.text(), "ORA-12541: TNS:no listener");
    EXPECT_EQ(c.connect("//localhost:1521/NOPE"), oci::ERROR);
    EXPECT_EQ(c.text(),
              "ORA-12514: TNS:listener does not currently know of service requested in connect "
              "descriptor");
    EXPECT_EQ(c.connect("NOSUCHALIAS"), oci::ERROR);
    EXPECT_EQ(c.text(), "ORA-12154: TNS:could not resolve the connect identifier specified");
    ASSERT_EQ(home.admin("add-listener dbhost 1522"), 0);
    EXPECT_EQ(c.connect("//dbhost:1521/ORCL"), oci::ERROR);
    EXPECT_EQ(c.code(), 12541);
    EXPECT_EQ(c.connect("//dbhost:1522/ORCL"), oci::SUCCESS) << c.text();
}

TEST_F(Connect, LogonErrors) {
    EXPECT_EQ(c.connect("//localhost/ORCL", "scott", "TIGER"), oci::ERROR);
    EXPECT_EQ(c.code(), 1017);
    // The raw text carries a trailing line feed, as the real client's does.
    EXPECT_EQ(c.raw_text(), "ORA-01017: invalid username/password; logon denied\n");
    EXPECT_EQ(c.connect("//localhost/ORCL", "nobody", "x"), oci::ERROR);
    EXPECT_EQ(c.code(), 1017);
    ASSERT_EQ(home.admin("lock-user ORCL scott"), 0);
    EXPECT_EQ(c.connect(), oci::ERROR);
    EXPECT_EQ(c.text(), "ORA-28000: the account is locked");
    ASSERT_EQ(home.admin("unlock-user ORCL scott"), 0);
    ASSERT_EQ(home.admin("revoke ORCL scott 'CREATE SESSION'"), 0);
    EXPECT_EQ(c.connect(), oci::ERROR);
    EXPECT_EQ(c.text(), "ORA-01045: user SCOTT lacks CREATE SESSION privilege; logon denied");
}
