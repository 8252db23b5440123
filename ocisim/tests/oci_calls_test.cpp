// Details of the OCI calls themselves: error records, handle rules, session end and the
// parse-only mode.
#include "fixture.h"

class Calls : public SimTest {
  protected:
    oci::Api& a = oci::Api::get();
};

TEST_F(Calls, ErrorRecordsAndBuffers) {
    EXPECT_EQ(db().exec("SELECT * FROM NOWHERE"), oci::ERROR);
    sb4 code = 0;
    char16_t small[8] = {};
    ASSERT_EQ(a.ErrorGet(db().err, 1, nullptr, &code, small, sizeof small, oci::HTYPE_ERROR),
              oci::SUCCESS);
    EXPECT_EQ(code, 942);
    EXPECT_EQ(u8(std::u16string(small)), "ORA-009");  // cut to the buffer, terminated
    EXPECT_EQ(a.ErrorGet(db().err, 2, nullptr, &code, small, sizeof small, oci::HTYPE_ERROR),
              oci::NO_DATA);
    // A successful call clears the record.
    ok("SELECT * FROM DUAL");
    EXPECT_EQ(a.ErrorGet(db().err, 1, nullptr, &code, small, sizeof small, oci::HTYPE_ERROR),
              oci::NO_DATA);
    EXPECT_EQ(a.ErrorGet(db().env, 1, nullptr, &code, small, sizeof small, oci::HTYPE_ERROR),
              oci::INVALID_HANDLE);
}

TEST_F(Calls, ParseOnlyReportsErrorsWithoutRunning) {
    ok("CREATE TABLE T (A NUMBER)");
    ASSERT_EQ(db().prepare("SELECT B FROM T"), oci::SUCCESS);
    EXPECT_EQ(db().execute(1, oci::PARSE_ONLY), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-00904: \"B\": invalid identifier");
    ASSERT_EQ(db().prepare("SELECT A FROM T WHERE"), oci::SUCCESS);
    EXPECT_EQ(db().execute(1, oci::PARSE_ONLY), oci::ERROR);
    EXPECT_EQ(db().code(), 936);
    ASSERT_EQ(db().prepare("INSERT INTO T VALUES (1)"), oci::SUCCESS);
    EXPECT_EQ(db().execute(1, oci::DESCRIBE_ONLY), oci::SUCCESS);
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM T"), "0");  // not executed
    // DML resolves its table and every column it names.
    for (const auto& [sql, error] :
         std::vector<std::pair<std::string, int>>{{"INSERT INTO U VALUES (1)", 942},
                                                  {"INSERT INTO T (B) VALUES (1)", 904},
                                                  {"UPDATE T SET A = 1 WHERE B = 2", 904},
                                                  {"UPDATE T SET B = A", 904},
                                                  {"DELETE FROM T WHERE C IS NULL", 904},
                                                  {"DELETE FROM U", 942}}) {
        ASSERT_EQ(db().prepare(sql), oci::SUCCESS);
        EXPECT_EQ(db().execute(1, oci::PARSE_ONLY), oci::ERROR) << sql;
        EXPECT_EQ(db().code(), error) << sql;
    }
}

TEST_F(Calls, StatementsAfterSessionEnd) {
    ASSERT_EQ(a.SessionEnd(db().svc, db().err, db().ses, oci::DEFAULT), oci::SUCCESS);
    EXPECT_EQ(db().exec("SELECT * FROM DUAL"), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-03114: not connected to ORACLE");
    EXPECT_EQ(a.TransCommit(db().svc, db().err, 0), oci::ERROR);
    // A new session on the same handles works.
    ASSERT_EQ(a.SessionBegin(db().svc, db().err, db().ses, oci::CRED_RDBMS, oci::DEFAULT),
              oci::SUCCESS)
        << db().text();
    ok("SELECT * FROM DUAL");
}

TEST_F(Calls, QuotedUserNamesAreCaseSensitive) {
    ASSERT_EQ(home().admin("create-user ORCL '\"Mixed\"' pw"), 0);
    Conn c;
    EXPECT_EQ(c.connect("//localhost/ORCL", "mixed", "pw"), oci::ERROR);
    EXPECT_EQ(c.code(), 1017);
    EXPECT_EQ(c.connect("//localhost/ORCL", "\"Mixed\"", "pw"), oci::SUCCESS) << c.text();
    // Each user is a schema of its own.
    ASSERT_EQ(c.exec("CREATE TABLE MINE (A NUMBER)"), oci::SUCCESS) << c.text();
    EXPECT_EQ(fails("SELECT * FROM MINE"), "ORA-00942: table or view does not exist");
}
