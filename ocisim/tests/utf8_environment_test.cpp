// A whole table load the way the application performs it: create the table, its sequence and
// trigger, insert each record with RETURNING ROWID and commit, fill its LOBs through locators
// fetched FOR UPDATE, relax a NOT NULL column, update by key, and read the table back through
// the catalogue.
#include <cstring>

#include "fixture.h"

namespace {

struct Rowid {
    char16_t buf[256] = {};
    ub4 len = sizeof buf;
    sb2 in_ind = -1;
    sb2 out_ind = -1;
};

sb4 no_data(void* ctx, void*, ub4, ub4, void** bufp, ub4* alenp, ub1* piecep, void** indp) {
    *bufp = nullptr;
    *alenp = 0;
    *indp = &static_cast<Rowid*>(ctx)->in_ind;
    *piecep = oci::ONE_PIECE;
    return oci::CONTINUE;
}

sb4 get_data(void* ctx, void*, ub4, ub4, void** bufp, ub4** alenp, ub1* piecep, void** indp,
             ub2** rcodep) {
    auto* r = static_cast<Rowid*>(ctx);
    *bufp = r->buf;
    *alenp = &r->len;
    *piecep = oci::ONE_PIECE;
    *indp = &r->out_ind;
    *rcodep = nullptr;
    return oci::CONTINUE;
}

}  // namespace

class LoadScenario : public SimTest {
  protected:
    std::string insert_returning(const std::string& insert) {
        Rowid r;
        EXPECT_EQ(db().prepare(insert + ") RETURNING ROWID INTO :1"), oci::SUCCESS);
        void* b = nullptr;
        std::u16string p = u16(":1");
        a.BindByName(db().stmt, &b, db().err, p.data(), 4, r.buf, 512, oci::SQLT_STR, nullptr,
                     nullptr, nullptr, 0, nullptr, oci::DATA_AT_EXEC);
        a.BindDynamic(b, db().err, &r, no_data, &r, get_data);
        if (db().execute(1, oci::COMMIT_ON_SUCCESS) != oci::SUCCESS) {
            return "error: " + db().text();
        }
        return u8(r.buf, r.len / 2);
    }
    void write_memo(const std::string& rowid, const std::string& text) {
        void* loc = nullptr;
        ASSERT_EQ(a.DescriptorAlloc(db().env, &loc, oci::DTYPE_LOB, 0, nullptr), oci::SUCCESS);
        ASSERT_EQ(db().prepare("SELECT \"MEMO\" FROM \"CUSTOMERS\" WHERE ROWID='" + rowid +
                               "' FOR UPDATE"),
                  oci::SUCCESS);
        void* def = nullptr;
        sb2 ind = 0;
        a.DefineByPos(db().stmt, &def, db().err, 1, &loc, -1, oci::SQLT_CLOB, &ind, nullptr,
                      nullptr, oci::DEFAULT);
        ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
        std::u16string t = u16(text);
        ub4 amount = static_cast<ub4>(t.size());
        ASSERT_EQ(a.LobWrite(db().svc, db().err, loc, &amount, 1, t.data(),
                             static_cast<ub4>(t.size() * 2), oci::ONE_PIECE, nullptr, nullptr, 0,
                             oci::SQLCS_IMPLICIT),
                  oci::SUCCESS)
            << db().text();
        a.DescriptorFree(loc, oci::DTYPE_LOB);
    }
    oci::Api& a = oci::Api::get();
};

TEST_F(LoadScenario, CreateLoadAndReadBack) {
    ok("CREATE TABLE \"CUSTOMERS\" (\"ID\" NUMBER(11,0), \"NAME\" NVARCHAR2(40)  DEFAULT 'n/a' "
       "NOT NULL, \"BALANCE\" NUMBER(10,2) DEFAULT 0 NOT NULL, \"JOINED\" DATE, \"MEMO\" CLOB)");
    ok("CREATE SEQUENCE \"CUSTOMERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
       "NOCYCLE NOCACHE ORDER");
    ok("CREATE OR REPLACE TRIGGER CUSTOMERS__TRIGGER BEFORE INSERT ON CUSTOMERS FOR EACH ROW "
       "WHEN (new.ID IS NULL) BEGIN select CUSTOMERS_0.nextval into :new.ID from dual; END;");
    ok("ALTER TABLE \"CUSTOMERS\" ADD CONSTRAINT \"PK_CUSTOMERS\" PRIMARY KEY (\"ID\")");

    std::string r1 = insert_returning(
        "INSERT /*+ APPEND */ INTO \"CUSTOMERS\" (\"NAME\", \"BALANCE\", \"JOINED\", \"MEMO\") "
        "VALUES('O''Neil', 12.345, to_date('2016-03-01', 'YYYY-MM-DD'), EMPTY_CLOB()");
    ASSERT_EQ(r1.size(), 18u) << r1;
    write_memo(r1, std::string(3000, 'm') + " — end");

    // A NULL for a NOT NULL column: the column is relaxed first, committed on success.
    ok("ALTER TABLE \"CUSTOMERS\" MODIFY \"BALANCE\" NUMBER(10,2) DEFAULT 0 NULL");
    std::string r2 = insert_returning(
        "INSERT /*+ APPEND */ INTO \"CUSTOMERS\" (\"NAME\", \"BALANCE\", \"JOINED\", \"MEMO\") "
        "VALUES('Zoë', NULL, to_date('10:20:30', 'HH24-MI-SS'), EMPTY_CLOB()");
    ASSERT_EQ(r2.size(), 18u) << r2;
    EXPECT_NE(r1, r2);
    ok("UPDATE \"CUSTOMERS\" SET \"NAME\"='Zoe' WHERE \"ID\"=2");
    ok("COMMIT");

    // Reading back as the table reader does.
    Conn reader;
    ASSERT_EQ(reader.connect(), oci::SUCCESS);
    EXPECT_EQ(reader.one("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'CUSTOMERS'"),
              "5");
    EXPECT_EQ(reader.rows("SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE table_name "
                          "= 'CUSTOMERS'"),
              (Rows{{"ID", "NUMBER"},
                    {"NAME", "NVARCHAR2"},
                    {"BALANCE", "NUMBER"},
                    {"JOINED", "DATE"},
                    {"MEMO", "CLOB"}}));
    EXPECT_EQ(reader.rows("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS "
                          "where table_name = 'CUSTOMERS'")[1][1],
              "'n/a' ");
    EXPECT_EQ(reader.one("SELECT COUNT(*) FROM \"CUSTOMERS\""), "2");
    EXPECT_EQ(reader.rows("SELECT \"ID\", \"NAME\", \"BALANCE\" FROM \"CUSTOMERS\" ORDER BY 1"),
              (Rows{{"1", "O'Neil", "12.35"}, {"2", "Zoe", "<null>"}}));
    std::string memo = reader.one("SELECT \"MEMO\" FROM \"CUSTOMERS\" WHERE \"ID\" = 1");
    EXPECT_EQ(memo, std::string(3000, 'm') + " — end");
    EXPECT_EQ(reader.one("SELECT \"MEMO\" FROM \"CUSTOMERS\" WHERE \"ID\" = 2"), "")
        << "an empty CLOB reads as empty text, not NULL";
    EXPECT_EQ(reader.one("SELECT COUNT(*) FROM (SELECT * FROM \"CUSTOMERS\" WHERE \"BALANCE\" IS "
                         "NULL)"),
              "1");
    EXPECT_EQ(reader.rows("SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
                          "user_constraints b WHERE a.table_name='CUSTOMERS' AND "
                          "a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER "
                          "BY a.constraint_name, a.position"),
              (Rows{{"PK_CUSTOMERS", "ID"}}));
    ok("DROP TABLE \"CUSTOMERS\" CASCADE CONSTRAINTS");
    EXPECT_EQ(reader.one("SELECT COUNT(*) FROM USER_TRIGGERS"), "0");
}

// The same client with UTF-8 text: an environment created without the UTF-16 character sets.
TEST(Utf8Environment, TextAndLobAmountsInBytes) {
    ScratchHome home;
    auto& a = oci::Api::get();
    void* env = nullptr;
    void* err = nullptr;
    void* srv = nullptr;
    void* svc = nullptr;
    void* ses = nullptr;
    void* st = nullptr;
    ASSERT_EQ(
        a.EnvNlsCreate(&env, oci::DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 0),
        oci::SUCCESS);
    a.HandleAlloc(env, &err, oci::HTYPE_ERROR, 0, nullptr);
    a.HandleAlloc(env, &srv, oci::HTYPE_SERVER, 0, nullptr);
    a.HandleAlloc(env, &svc, oci::HTYPE_SVCCTX, 0, nullptr);
    a.HandleAlloc(env, &ses, oci::HTYPE_SESSION, 0, nullptr);
    a.HandleAlloc(env, &st, oci::HTYPE_STMT, 0, nullptr);
    std::string link = "//localhost/ORCL";
    ASSERT_EQ(a.ServerAttach(srv, err, link.data(), static_cast<sb4>(link.size()), 0),
              oci::SUCCESS);
    a.AttrSet(svc, oci::HTYPE_SVCCTX, srv, 0, oci::ATTR_SERVER, err);
    a.AttrSet(ses, oci::HTYPE_SESSION, const_cast<char*>("scott"), 5, oci::ATTR_USERNAME, err);
    a.AttrSet(ses, oci::HTYPE_SESSION, const_cast<char*>("tiger"), 5, oci::ATTR_PASSWORD, err);
    ASSERT_EQ(a.SessionBegin(svc, err, ses, oci::CRED_RDBMS, oci::DEFAULT), oci::SUCCESS);
    auto run = [&](const std::string& sql) {
        a.StmtPrepare(st, err, sql.data(), static_cast<ub4>(sql.size()), oci::NTV_SYNTAX,
                      oci::DEFAULT);
        return a.StmtExecute(svc, st, err, 1, 0, nullptr, nullptr, oci::DEFAULT);
    };
    ASSERT_EQ(run("CREATE TABLE T (N NVARCHAR2(10), C CLOB)"), oci::SUCCESS);
    ASSERT_EQ(run("INSERT INTO T VALUES ('Grüße', EMPTY_CLOB())"), oci::SUCCESS);
    void* loc = nullptr;
    a.DescriptorAlloc(env, &loc, oci::DTYPE_LOB, 0, nullptr);
    char name[32] = {};
    ub2 len = 0;
    void* def = nullptr;
    a.StmtPrepare(st, err, "SELECT N, C FROM T FOR UPDATE", 29, oci::NTV_SYNTAX, oci::DEFAULT);
    a.DefineByPos(st, &def, err, 1, name, sizeof name, oci::SQLT_STR, nullptr, &len, nullptr,
                  oci::DEFAULT);
    a.DefineByPos(st, &def, err, 2, &loc, -1, oci::SQLT_CLOB, nullptr, nullptr, nullptr,
                  oci::DEFAULT);
    ASSERT_EQ(a.StmtExecute(svc, st, err, 1, 0, nullptr, nullptr, oci::DEFAULT), oci::SUCCESS);
    EXPECT_STREQ(name, "Grüße");
    EXPECT_EQ(len, 7);  // bytes
    std::string text = "Käse";
    ub4 amount = static_cast<ub4>(text.size());
    ASSERT_EQ(a.LobWrite(svc, err, loc, &amount, 1, text.data(), amount, oci::ONE_PIECE, nullptr,
                         nullptr, 0, oci::SQLCS_IMPLICIT),
              oci::SUCCESS);
    EXPECT_EQ(amount, 5u);
    char back[16] = {};
    ub4 got = 0;
    ASSERT_EQ(a.LobRead(svc, err, loc, &got, 1, back, sizeof back, nullptr, nullptr, 0,
                        oci::SQLCS_IMPLICIT),
              oci::SUCCESS);
    EXPECT_EQ(std::string(back, got), "Käse");
    a.DescriptorFree(loc, oci::DTYPE_LOB);
    a.SessionEnd(svc, err, ses, oci::DEFAULT);
    a.ServerDetach(srv, err, oci::DEFAULT);
    for (auto [h, t] : {std::pair{st, oci::HTYPE_STMT},
                        {ses, oci::HTYPE_SESSION},
                        {svc, oci::HTYPE_SVCCTX},
                        {srv, oci::HTYPE_SERVER},
                        {err, oci::HTYPE_ERROR},
                        {env, oci::HTYPE_ENV}}) {
        EXPECT_EQ(a.HandleFree(h, t), oci::SUCCESS);
    }
}
