// The OCI session engine against the OCI stand-in, loaded at run time exactly as a real client:
// connections by easy-connect text and by net service name, the errors a server reports, the
// missing client, statements, counts, the release banner and quoted names.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_standin_fixture.hpp"
#include "support/log_capture.hpp"
#include "support/standin_home.hpp"
#include "tk/tk_exception.hpp"

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

// The ORA- number of the error `f` raises.
template <class F>
int ora_number(F f) {
    return catch_ora_error(f).ora_number();
}

}  // namespace

TEST(ora_engine_texts, data_sources_quoted_names_and_release_banners) {
    EXPECT_EQ(ora_engine::make_data_source(u"", u"", u"ORCL"), u"ORCL");
    EXPECT_EQ(ora_engine::make_data_source(u"", u"1522", u"XE"), u"//localhost:1522/XE");
    EXPECT_EQ(ora_engine::make_data_source(u"db1", u"", u"XE"), u"//db1:1521/XE");
    // A full connect descriptor passes untouched.
    const std::u16string descriptor =
        u"(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=h)(PORT=1521))(CONNECT_DATA=(SERVICE_NAME=X)))";
    EXPECT_EQ(ora_engine::make_data_source(u"", u"", descriptor), descriptor);

    // Only the first dot separates owner and object.
    EXPECT_EQ(ora_engine::get_safe_name(u"ORDERS"), u"\"ORDERS\"");
    EXPECT_EQ(ora_engine::get_safe_name(u"A.B.C"), u"\"A\".\"B.C\"");

    // The first word that reads as three numbers is the release.
    EXPECT_EQ(ora_engine::parse_version_banner(
                  "Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production"),
              0x0B0200u);
    EXPECT_EQ(
        ora_engine::parse_version_banner(
            "Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free"),
        0x170000u);
    EXPECT_EQ(ora_engine::parse_version_banner("Oracle8i Release 8.1 then 8.1.7.0.0 - Production"),
              0x080107u);
    EXPECT_EQ(ora_engine::parse_version_banner("no release here"), 0u);
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

TEST_F(ora_engine_test, connects_by_easy_connect_and_net_service_name_and_reads_the_release) {
    connect_xe();
    EXPECT_TRUE(engine_->is_connected());
    EXPECT_EQ(engine_->data_source(), u"//localhost:1521/XE");
    EXPECT_EQ(engine_->user(), u"scott");
    EXPECT_EQ(engine_->get_version(), 0x130000u);
    // Opening again ends the first session before its connection goes, and a session that ends
    // commits its work.
    engine_->execute(u"CREATE TABLE REOPENED (ID NUMBER)");
    engine_->execute(u"INSERT INTO REOPENED VALUES (1)");
    engine_->open_db(u"", u"scott", u"tiger", u"", u"XEALIAS");
    EXPECT_EQ(engine_->get_records_cnt(u"REOPENED", false), 1u);
    EXPECT_EQ(engine_->data_source(), u"XEALIAS");
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT 1 FROM DUAL", true), 1u);
    engine_->open_db(u"", u"scott", u"tiger", u"", u"//localhost:1521/OLD");
    EXPECT_EQ(engine_->get_version(), 0x0A0200u);
}

TEST_F(ora_engine_test, failed_logons_carry_their_numbers_and_keep_the_password_out_of_the_log) {
    log_capture log(1);
    const ora_exception e =
        catch_ora_error([&] { engine_->open_db(u"localhost", u"scott", u"lion", u"1521", u"XE"); });
    EXPECT_EQ(e.code, 0x1003F9u);  // what the error handler reads
    EXPECT_EQ(e.ora_number(), 1017);
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(e.message.rfind("ORA-01017: invalid username/password; logon denied", 0), 0u)
        << e.message;
    EXPECT_FALSE(engine_->is_connected());
    EXPECT_THROW(engine_->get_records_cnt(u"DUAL", false), tk_mail_assertion);
    EXPECT_THROW(engine_->get_version(), tk_mail_assertion);
    EXPECT_TRUE(log.has_line("ora_engine::open_db( //localhost:1521/XE, scott, ******** )"));
    EXPECT_EQ(log.text().find("lion"), std::string::npos);

    auto attempt = [&](const char16_t* host, const char16_t* port, const char16_t* service) {
        return ora_number([&] { engine_->open_db(host, u"scott", u"tiger", port, service); });
    };
    EXPECT_EQ(attempt(u"localhost", u"1521", u"NOSUCH"), 12514);
    EXPECT_EQ(attempt(u"", u"", u"NOALIAS"), 12154);
    EXPECT_EQ(attempt(u"localhost", u"1599", u"XE"), 12541);
    EXPECT_FALSE(engine_->is_connected());

    // The engine was left attached without a session; the next open_db detaches first.
    connect_xe();
    EXPECT_TRUE(engine_->is_connected());
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT 1 FROM DUAL", true), 1u);
}

TEST_F(ora_engine_test, statements_run_counts_follow_them_and_errors_carry_their_numbers) {
    connect_xe();
    engine_->execute(u"CREATE TABLE ITEMS (ID NUMBER(11,0), NAME NVARCHAR2(20) )");
    engine_->execute(u"INSERT INTO ITEMS (ID, NAME) VALUES (1, 'Grüße €')");
    engine_->execute(u"INSERT INTO ITEMS (ID, NAME) VALUES (2, 'Жук 𝄞')");
    EXPECT_EQ(engine_->get_records_cnt(u"SCOTT.ITEMS", false), 2u);
    // Wide text reaches the server intact both ways through a UTF-16 statement.
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT * FROM ITEMS WHERE NAME = 'Жук 𝄞'", true), 1u);
    // Parse-only execution checks a statement without running it.
    engine_->execute(u"INSERT INTO ITEMS (ID, NAME) VALUES (4, 'x')", OCI_PARSE_ONLY);
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS", false), 2u);

    // The quoted name is case-sensitive: an unquoted lower-case table is ITEMS2.
    engine_->execute(u"CREATE TABLE items2 (ID NUMBER)");
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS2", false), 0u);
    EXPECT_EQ(ora_number([&] { engine_->get_records_cnt(u"items2", false); }), 942);
    EXPECT_EQ(ora_number([&] { engine_->execute(u"CREATE TABLE items2 (ID NUMBER)"); }), 955);
    // The session goes on after errors.
    EXPECT_EQ(engine_->get_records_cnt(u"ITEMS2", false), 0u);
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
