// The SQL the server understands: lexical details, joins, expressions and the errors for what
// it does not accept.
#include "fixture.h"

class Language : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        ok("CREATE TABLE \"EMP\" (\"ID\" NUMBER(5), \"NAME\" VARCHAR2(20), \"DEPT\" NUMBER(5))");
        ok("CREATE TABLE \"DEPT\" (\"ID\" NUMBER(5), \"TITLE\" VARCHAR2(20))");
        ok("INSERT INTO \"EMP\" VALUES (1, 'Ann', 10)");
        ok("INSERT INTO \"EMP\" VALUES (2, 'Bob', 20)");
        ok("INSERT INTO \"EMP\" VALUES (3, 'Cyd', NULL)");
        ok("INSERT INTO \"DEPT\" VALUES (10, 'Sales')");
        ok("INSERT INTO \"DEPT\" VALUES (20, 'Lab')");
        ok("COMMIT");
    }
};

TEST_F(Language, CommentsHintsAndQuoting) {
    EXPECT_EQ(db().rows("SELECT /*+ FULL(e) */ e.\"NAME\" -- trailing comment\n"
                        "FROM \"EMP\" e /* block\ncomment */ WHERE e.\"ID\" = 2"),
              (Rows{{"Bob"}}));
    ok("CREATE TABLE \"Odd name$#\" (\"a b\" NVARCHAR2(5), x$1 NUMBER, y#2 NUMBER)");
    ok("INSERT INTO \"Odd name$#\" (\"a b\", X$1) VALUES (N'ÿé''', 1)");
    EXPECT_EQ(db().one("SELECT \"a b\" FROM \"Odd name$#\" WHERE x$1 = 1"), "ÿé'");
    EXPECT_EQ(fails("SELECT \"a b\" FROM \"ODD NAME$#\""),
              "ORA-00942: table or view does not exist");
    EXPECT_EQ(fails("SELECT A B FROM \"EMP\""), "ORA-00904: \"A\": invalid identifier");
    EXPECT_EQ(fails("SELECT * FROM \"EMP\" WHERE \"ID\" = ?"), "ORA-00911: invalid character");
}

TEST_F(Language, JoinsOrderingAndAliases) {
    Rows r = db().rows(
        "SELECT e.\"NAME\", d.\"TITLE\" FROM \"EMP\" e, \"DEPT\" d WHERE e.\"DEPT\" = d.\"ID\" "
        "ORDER BY d.\"TITLE\"");
    EXPECT_EQ(r, (Rows{{"Bob", "Lab"}, {"Ann", "Sales"}}));
    EXPECT_EQ(fails("SELECT \"ID\" FROM \"EMP\", \"DEPT\""),
              "ORA-00918: column ambiguously defined");
    EXPECT_EQ(db().rows("SELECT \"DEPT\" FROM \"EMP\" ORDER BY \"DEPT\" DESC"),
              (Rows{{"<null>"}, {"20"}, {"10"}}));
    EXPECT_EQ(db().rows("SELECT \"DEPT\" FROM \"EMP\" ORDER BY 1"),
              (Rows{{"10"}, {"20"}, {"<null>"}}));
    EXPECT_EQ(db().rows("SELECT \"NAME\" AS \"Who\", \"ID\" * 10 + 1 FROM \"EMP\" WHERE NOT "
                        "(\"ID\" > 1) OR \"DEPT\" IS NULL ORDER BY \"ID\""),
              (Rows{{"Ann", "11"}, {"Cyd", "31"}}));
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM (SELECT \"ID\" FROM \"EMP\" WHERE \"DEPT\" <> 10)"),
              "1");  // NULL <> 10 is unknown
    EXPECT_EQ(db().rows("SELECT d.* FROM \"DEPT\" d WHERE d.\"ID\" >= 20"), (Rows{{"20", "Lab"}}));
}

TEST_F(Language, TransactionStatementsAndSelectForUpdate) {
    ok("DELETE FROM \"EMP\"");
    ok("ROLLBACK");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"EMP\""), "3");
    ok("UPDATE \"EMP\" SET \"NAME\" = 'Al' WHERE \"ID\" = 1");
    ok("COMMIT");
    Conn other;
    ASSERT_EQ(other.connect(), oci::SUCCESS);
    EXPECT_EQ(other.one("SELECT \"NAME\" FROM \"EMP\" WHERE \"ID\" = 1"), "Al");
    // A row locked by FOR UPDATE keeps other writers out until commit.
    setenv("OCISIM_LOCK_WAIT_MS", "50", 1);
    Conn third;
    unsetenv("OCISIM_LOCK_WAIT_MS");
    ASSERT_EQ(third.connect(), oci::SUCCESS);
    ok("SELECT * FROM \"EMP\" WHERE \"ID\" = 1 FOR UPDATE");
    EXPECT_EQ(third.exec("UPDATE \"EMP\" SET \"NAME\" = 'x' WHERE \"ID\" = 1"), oci::ERROR);
    EXPECT_EQ(third.code(), 54);
    ok("COMMIT");
    EXPECT_EQ(third.exec("UPDATE \"EMP\" SET \"NAME\" = 'x' WHERE \"ID\" = 1"), oci::SUCCESS);
}

TEST_F(Language, RejectedStatements) {
    // Malformed SQL fails with the server's code, so that a fault in generated SQL shows.
    const std::pair<const char*, int> refused[] = {
        {"GRANT SELECT ON \"EMP\" TO PUBLIC", 900},
        {"MERGE INTO \"EMP\" USING \"DEPT\" ON (1=1)", 900},
        {"SELECT * FROM \"EMP\";", 911},
        {"SELECT * FROM \"EMP\" e e2", 933},
        {"SELECT * FROM \"EMP\" WHERE \"NAME\" = 'abc", 1756},
        {"CREATE VIEW V AS SELECT * FROM \"EMP\"", 901},
        {"SELECT DECODE(\"ID\", 1, 2) FROM \"EMP\"", 904},
        {"SELECT 1 FROM DUAL WHERE \"ID\" = 1", 904},
        {"SELECT * \"EMP\"", 923},
        {"SELECT FROM \"EMP\"", 936},
        {"INSERT \"EMP\" VALUES (1)", 925},
        {"INSERT INTO \"EMP\" (\"ID\") SELECT 1 FROM DUAL", 926},
        {"UPDATE \"EMP\" SET \"NAME\" 'x'", 927},
        {"SELECT TO_DATE() FROM DUAL", 909},
        {"SELECT * FROM OTHER.\"EMP\"", 942},
        {"SELECT 1 / 0 FROM DUAL", 1476},
        {"SELECT * FROM \"EMP\" WHERE \"NAME\" > 5", 1722},
    };
    for (const auto& [sql, code] : refused) {
        EXPECT_EQ(db().exec(sql), oci::ERROR) << sql;
        EXPECT_EQ(db().code(), code) << sql;
    }
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM SCOTT.\"EMP\""), "3");
    // Dropping what is not there names the object kind.
    EXPECT_EQ(fails("SELECT NOSEQ.NEXTVAL FROM DUAL"), "ORA-02289: sequence does not exist");
    EXPECT_EQ(fails("DROP SEQUENCE NOSEQ"), "ORA-02289: sequence does not exist");
    EXPECT_EQ(fails("DROP INDEX NOIDX"), "ORA-01418: specified index does not exist");
    EXPECT_EQ(fails("DROP TRIGGER NOTRG"), "ORA-04080: trigger 'NOTRG' does not exist");
    ok("ALTER TABLE \"EMP\" ADD CONSTRAINT \"PK_EMP\" PRIMARY KEY (\"ID\")");
    EXPECT_EQ(fails("DROP INDEX \"PK_EMP\""),
              "ORA-02429: cannot drop index used for enforcement of unique/primary key");
}
