// A client whose environment uses UTF-8 instead of UTF-16: text and LOB amounts in bytes.
#include "fixture.h"

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
