// The OCI session engine against the OCI stand-in, loaded at run time exactly as a real client:
// connections by easy-connect text and by net service name, the errors a server reports, the
// missing client, statements, counts, the release banner and quoted names.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_util.hpp"
#include "support/log_capture.hpp"
#include "support/standin_home.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_field.hpp"

namespace {

// A stand-in home for the engine tests of this process: services XE (19c) and OLD (10g), user
// SCOTT on both, and the net service name XEALIAS for XE. The client library is the stand-in.
class ora_engine_test : public testing::Test {
  public:
    static void SetUpTestSuite() {
        home() = std::make_unique<standin_home>("ora_engine_home");
        home()->admin("create-service XE");
        home()->admin("create-user XE scott tiger");
        home()->admin("create-service OLD --release 10g");
        home()->admin("create-user OLD scott tiger");
        home()->admin("add-net-service XEALIAS localhost 1521 XE");
    }
    static void TearDownTestSuite() { home().reset(); }

  protected:
    void connect_xe() { engine_->open_db(u"localhost", u"scott", u"tiger", u"1521", u"XE"); }

    std::optional<ora_engine> engine_{std::in_place};

  private:
    static std::unique_ptr<standin_home>& home() {
        static std::unique_ptr<standin_home> instance;
        return instance;
    }
};

// Runs `connect` and hands back the ora_exception it raises.
template <class F>
ora_exception expect_ora_error(F connect) {
    try {
        connect();
    } catch (const ora_exception& e) {
        return e;
    }
    ADD_FAILURE() << "no ora_exception";
    return ora_exception(0, "");
}

}  // namespace

TEST(ora_engine_data_source, easy_connect_text_and_net_service_names) {
    EXPECT_EQ(ora_engine::make_data_source(u"", u"", u"ORCL"), u"ORCL");
    EXPECT_EQ(ora_engine::make_data_source(u"", u"1522", u"XE"), u"//localhost:1522/XE");
    EXPECT_EQ(ora_engine::make_data_source(u"db1", u"", u"XE"), u"//db1:1521/XE");
    EXPECT_EQ(ora_engine::make_data_source(u"db1", u"1600", u"SALES.EXAMPLE.COM"),
              u"//db1:1600/SALES.EXAMPLE.COM");
    // A full connect descriptor passes untouched.
    const std::u16string descriptor =
        u"(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=h)(PORT=1521))(CONNECT_DATA=(SERVICE_NAME=X)))";
    EXPECT_EQ(ora_engine::make_data_source(u"", u"", descriptor), descriptor);
}

TEST(ora_engine_names, only_the_first_dot_separates_owner_and_object) {
    EXPECT_EQ(ora_engine::get_safe_name(u"ORDERS"), u"\"ORDERS\"");
    EXPECT_EQ(ora_engine::get_safe_name(u"SCOTT.ORDERS"), u"\"SCOTT\".\"ORDERS\"");
    EXPECT_EQ(ora_engine::get_safe_name(u"A.B.C"), u"\"A\".\"B.C\"");
}

TEST(ora_engine_version, banner_words_that_read_as_three_numbers) {
    EXPECT_EQ(ora_engine::parse_version_banner(
                  "Oracle Database 10g Express Edition Release 10.2.0.1.0 - Product"),
              0x0A0200u);
    EXPECT_EQ(ora_engine::parse_version_banner(
                  "Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production"),
              0x0B0200u);
    EXPECT_EQ(
        ora_engine::parse_version_banner(
            "Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free"),
        0x170000u);
    // "8.1" has only two numbers; the next word that has three wins.
    EXPECT_EQ(ora_engine::parse_version_banner("Oracle8i Release 8.1 then 8.1.7.0.0 - Production"),
              0x080107u);
    EXPECT_EQ(ora_engine::parse_version_banner("no release here"), 0u);
    EXPECT_EQ(ora_engine::parse_version_banner(""), 0u);
}

TEST(ora_engine_client, missing_client_library_raises_the_fatal_message_and_logs_the_names) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A fresh process, so that no library is loaded yet.
    EXPECT_EXIT(
        {
            setenv("BRIXEL_OCI_LIBRARY", "/nonexistent/libclient_missing.so", 1);
            log_capture log(1);
            try {
                ora_engine engine;
                std::fprintf(stderr, "a client library was loaded\n");
                std::exit(1);
            } catch (const tk_exception& e) {
                const std::string expected =
                    "The Oracle client and networking components were not found.\n"
                    "These components are supplied by the Oracle Corporation and\n"
                    "are part of the Oracle Version 7.3.4 (or later) client\n"
                    "software installation. You will be unable to use this program\n"
                    "until these components have been installed.";
                const std::string text = log.text();
                const bool ok =
                    e.message == expected && e.level == 1 && !ora_engine::exists() &&
                    text.find(
                        "/nonexistent/libclient_missing.so: "
                        "/nonexistent/libclient_missing.so: cannot open "
                        "shared object file") != std::string::npos &&
                    text.find(
                        "names tried: /nonexistent/libclient_missing.so, "
                        "libclntsh.so, libclntsh.so.23.1, ") != std::string::npos &&
                    text.find("libclntsh.so.12.1, libclntsh.so.11.1\r\n") != std::string::npos;
                std::fprintf(stderr, "%s\nlevel %d\n%s\nlog:\n%s\n", ok ? "CHECKED" : "WRONG",
                             e.level, e.message.c_str(), text.c_str());
                std::exit(ok ? 0 : 1);
            }
        },
        testing::ExitedWithCode(0), "CHECKED");
}

TEST_F(ora_engine_test, connects_by_host_port_and_service) {
    connect_xe();
    EXPECT_TRUE(engine_->is_connected());
    EXPECT_EQ(engine_->data_source(), u"//localhost:1521/XE");
    EXPECT_EQ(engine_->user(), u"scott");
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT 1 FROM DUAL", true), 1u);
}

TEST_F(ora_engine_test, connects_by_net_service_name) {
    engine_->open_db(u"", u"scott", u"tiger", u"", u"XEALIAS");
    EXPECT_EQ(engine_->data_source(), u"XEALIAS");
    EXPECT_EQ(engine_->get_version(), 0x130000u);
}

TEST_F(ora_engine_test, wrong_password_is_ora_01017_and_a_later_connect_works) {
    const ora_exception e = expect_ora_error(
        [&] { engine_->open_db(u"localhost", u"scott", u"lion", u"1521", u"XE"); });
    EXPECT_EQ(e.error_code, 0x1003F9u);
    EXPECT_EQ(e.code, 0x1003F9u);  // what the error handler reads
    EXPECT_EQ(e.ora_number(), 1017);
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(e.message.rfind("ORA-01017: invalid username/password; logon denied", 0), 0u)
        << e.message;
    EXPECT_FALSE(engine_->is_connected());
    EXPECT_THROW(engine_->get_records_cnt(u"DUAL", false), tk_mail_assertion);
    EXPECT_THROW(engine_->get_version(), tk_mail_assertion);

    // The engine was left attached without a session; the next open_db detaches first.
    connect_xe();
    EXPECT_TRUE(engine_->is_connected());
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT 1 FROM DUAL", true), 1u);
}

TEST_F(ora_engine_test, unknown_services_hosts_and_names_fail_with_their_tns_errors) {
    EXPECT_EQ(expect_ora_error([&] {
                  engine_->open_db(u"localhost", u"scott", u"tiger", u"1521", u"NOSUCH");
              }).ora_number(),
              12514);
    EXPECT_EQ(expect_ora_error([&] {
                  engine_->open_db(u"", u"scott", u"tiger", u"", u"NOALIAS");
              }).ora_number(),
              12154);
    EXPECT_EQ(expect_ora_error([&] {
                  engine_->open_db(u"localhost", u"scott", u"tiger", u"1599", u"XE");
              }).ora_number(),
              12541);
    EXPECT_FALSE(engine_->is_connected());
}

TEST_F(ora_engine_test, statements_run_and_counts_follow_them) {
    connect_xe();
    engine_->execute(u"CREATE TABLE ITEMS (ID NUMBER(11,0), NAME NVARCHAR2(20) )");
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS", false), 0u);
    engine_->execute(u"INSERT INTO ITEMS (ID, NAME) VALUES (1, 'Grüße €')");
    engine_->execute(u"INSERT INTO ITEMS (ID, NAME) VALUES (2, 'O''Neil')");
    engine_->execute(u"INSERT INTO ITEMS (ID, NAME) VALUES (3, 'Жук 𝄞')");
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS", false), 3u);
    EXPECT_EQ(engine_->get_records_cnt(u"SCOTT.ITEMS", false), 3u);
    // Wide text reaches the server intact both ways through a UTF-16 statement.
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT * FROM ITEMS WHERE NAME = 'Grüße €'", true), 1u);
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT * FROM ITEMS WHERE NAME = 'Жук 𝄞'", true), 1u);
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT * FROM ITEMS WHERE NAME = 'O''Neil'", true), 1u);

    // Parse-only execution checks a statement without running it.
    engine_->execute(u"INSERT INTO ITEMS (ID, NAME) VALUES (4, 'x')", OCI_PARSE_ONLY);
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS", false), 3u);
}

TEST_F(ora_engine_test, server_errors_of_statements_carry_their_numbers) {
    connect_xe();
    EXPECT_EQ(
        expect_ora_error([&] { engine_->get_records_cnt(u"NO_SUCH_TABLE", false); }).ora_number(),
        942);
    // The quoted name is case-sensitive: an unquoted lower-case table is ITEMS2.
    engine_->execute(u"CREATE TABLE items2 (ID NUMBER)");
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS2", false), 0u);
    EXPECT_EQ(expect_ora_error([&] { engine_->get_records_cnt(u"items2", false); }).ora_number(),
              942);
    EXPECT_EQ(expect_ora_error([&] {
                  engine_->execute(u"CREATE TABLE items2 (ID NUMBER)");
              }).ora_number(),
              955);
    const ora_exception e = expect_ora_error([&] { engine_->execute(u"SELEKT 1 FROM DUAL"); });
    EXPECT_EQ(e.ora_number(), 900);
    EXPECT_NE(e.message.find("ORA-00900"), std::string::npos) << e.message;
    // The session goes on after errors.
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS2", false), 0u);
}

TEST_F(ora_engine_test, version_of_each_release) {
    connect_xe();
    EXPECT_EQ(engine_->get_version(), 0x130000u);
    engine_->open_db(u"", u"scott", u"tiger", u"", u"//localhost:1521/OLD");
    EXPECT_EQ(engine_->get_version(), 0x0A0200u);
}

TEST_F(ora_engine_test, one_engine_at_a_time) {
    EXPECT_THROW(ora_engine second, tk_mail_assertion);
    EXPECT_EQ(&ora_engine::instance(), &*engine_);
    engine_.reset();
    EXPECT_FALSE(ora_engine::exists());
    engine_.emplace();
    connect_xe();
    EXPECT_TRUE(engine_->is_connected());
}

TEST_F(ora_engine_test, check_err_raises_only_for_errors_and_logs_without_the_password) {
    log_capture log(1);
    EXPECT_NO_THROW(engine_->check_err(OCI_SUCCESS));
    EXPECT_NO_THROW(engine_->check_err(OCI_SUCCESS_WITH_INFO));
    EXPECT_NO_THROW(engine_->check_err(OCI_NO_DATA));
    EXPECT_NO_THROW(engine_->check_err(OCI_NEED_DATA));
    EXPECT_NO_THROW(engine_->check_err(OCI_STILL_EXECUTING));
    EXPECT_NO_THROW(engine_->check_err(OCI_INVALID_HANDLE));
    EXPECT_TRUE(log.has_line("ora_engine::check_err(status=FFFFFFFE)"));
    EXPECT_TRUE(log.has_line("ERROR: Invalid handle"));
    EXPECT_FALSE(log.has_line("status == OCI_ERROR"));

    const ora_exception e =
        expect_ora_error([&] { engine_->open_db(u"", u"scott", u"lion", u"1521", u"XE"); });
    EXPECT_TRUE(log.has_line("status == OCI_ERROR"));
    EXPECT_EQ(e.ora_number(), 1017);
    // The password stays out of the connection lines.
    EXPECT_TRUE(log.has_line("ora_engine::open_db (,scott,********,1521,XE)"));
    EXPECT_TRUE(log.has_line("ora_engine::open_db( //localhost:1521/XE, scott, ******** )"));
    EXPECT_TRUE(log.has_line("Connecting to Oracle data source '//localhost:1521/XE'"));
    EXPECT_EQ(log.text().find("lion"), std::string::npos);
}

// Text literals as the literal rules build them, sent to a server whose literal limit costs data.

TEST_F(ora_engine_test, a_full_width_text_longer_than_the_literal_limit_is_rejected) {
    connect_xe();
    engine_->execute(u"CREATE TABLE WIDE (NAME NVARCHAR2(2000) )");
    std::u16string insert = u"INSERT INTO WIDE (NAME) VALUES (";
    append_oracle_str(std::u16string(1333, u'€'), VT_BSTR, insert);  // 3999 bytes in AL32UTF8
    insert += u')';
    engine_->execute(insert);
    insert = u"INSERT INTO WIDE (NAME) VALUES (";
    append_oracle_str(std::u16string(2000, u'€'), VT_BSTR,
                      insert);  // fits the column, not the literal
    insert += u')';
    EXPECT_EQ(expect_ora_error([&] { engine_->execute(insert); }).ora_number(), 1704);
    EXPECT_EQ(engine_->get_records_cnt(u"WIDE", false), 1u);
}

TEST_F(ora_engine_test, literals_that_lose_values_on_the_server) {
    connect_xe();
    engine_->execute(u"CREATE TABLE LOSSES (D DATE, S NVARCHAR2(100) )");
    auto insert = [&](const char16_t* column, const std::u16string& literal) {
        engine_->execute(u"INSERT INTO LOSSES (" + std::u16string(column) + u") VALUES (" +
                         literal + u")");
    };
    // A time with a fraction: the record is rejected.
    EXPECT_EQ(expect_ora_error([&] {
                  insert(u"D", to_oracle_str(u"10:20:30.250", VT_DATE));
              }).ora_number(),
              1830);
    // A text that names a GUID arrives as the GUID's hexadecimal digits.
    const std::u16string memo = u"Keep the old GUID {00112233-4455-6677-8899-AABBCCDDEEFF} here";
    const udb_field field(u"S", 100, ole_variant(memo));
    insert(u"S", to_oracle_str(&field));
    EXPECT_EQ(engine_->get_records_cnt(
                  u"SELECT * FROM LOSSES WHERE S = " + to_oracle_str(memo, VT_BSTR), true),
              0u);
    EXPECT_EQ(engine_->get_records_cnt(
                  u"SELECT * FROM LOSSES WHERE S = '33221100554477668899AABBCCDDEEFF'", true),
              1u);
    // A comma default breaks the column list of CREATE TABLE.
    t_ftd ftd;
    ftd.vartype = VT_R8;
    ftd.default_value = ole_variant(u"1,5");
    EXPECT_EQ(expect_ora_error([&] {
                  engine_->execute(u"CREATE TABLE DEFAULTS (N NUMBER DEFAULT " +
                                   make_ora_def_val(&ftd) + u", M NUMBER)");
              }).ora_number(),
              904);
}
