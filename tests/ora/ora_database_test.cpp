// The destination schema through the catalogue: the table list and the views, statements and
// their test, dropping tables (also one another session holds), and the names the run changed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ora/ora_standin_fixture.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// A writer that holds a table gives up after this long instead of three seconds.
const bool lock_wait_set = [] { return setenv("OCISIM_LOCK_WAIT_MS", "300", 0) == 0; }();

using ora_database_test = ora_standin_test;
using strings = std::vector<std::u16string>;

}  // namespace

TEST_F(ora_database_test, the_table_list_comes_from_the_catalogue) {
    ASSERT_TRUE(lock_wait_set);
    EXPECT_TRUE(db_->get_tables().empty());

    sql(u"CREATE TABLE ORDERS (ID NUMBER)");
    sql(u"CREATE TABLE \"Lines\" (ID NUMBER)");
    sql(u"CREATE TABLE ÜBERSICHT (ID NUMBER)");
    strings tables = db_->get_tables();
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (strings{u"Lines", u"ORDERS", u"ÜBERSICHT"}));
    // Names compare exactly: the unquoted name was stored in upper case.
    EXPECT_TRUE(db_->is_table_exist(u"ORDERS"));
    EXPECT_FALSE(db_->is_table_exist(u"orders"));
    EXPECT_FALSE(db_->is_table_exist(u"LINES"));
    // A second reading does not repeat the names.
    EXPECT_EQ(db_->get_tables().size(), 3u);
}

TEST_F(ora_database_test, delete_tab_keeps_the_order_of_the_rest_and_waits_for_other_writers) {
    sql(u"CREATE TABLE A1 (ID NUMBER)");
    sql(u"CREATE TABLE B2 (ID NUMBER)");
    sql(u"CREATE TABLE C3 (ID NUMBER)");
    db_->get_tables();
    db_->tables = {u"C3", u"B2", u"A1"};
    EXPECT_TRUE(db_->delete_tab(u"B2"));
    EXPECT_EQ(db_->tables, (strings{u"C3", u"A1"}));
    EXPECT_EQ(catch_ora_error([&] { engine_->get_records_cnt(u"B2", false); }).ora_number(), 942);
    // Tables the list does not hold are an internal error, before anything is sent.
    EXPECT_THROW(db_->delete_tab(u"B2"), tk_mail_assertion);
    EXPECT_THROW(db_->get_table(u"B2", 8), tk_mail_assertion);
    EXPECT_THROW(db_->get_table(u"a1", 8), tk_mail_assertion);

    {
        ora_other_session other(u"//localhost:1521/DB", wide(user_), u"pw");
        other.execute(u"INSERT INTO A1 (ID) VALUES (1)");  // uncommitted: the table is held
        EXPECT_EQ(catch_ora_error([&] { db_->delete_tab(u"A1"); }).ora_number(), 54);
        // The table is still there and still listed.
        EXPECT_EQ(db_->tables, (strings{u"C3", u"A1"}));
        other.commit();
    }
    EXPECT_EQ(engine_->get_records_cnt(u"A1", false), 1u);
    EXPECT_TRUE(db_->delete_tab(u"A1"));
    EXPECT_EQ(db_->tables, strings{u"C3"});
    EXPECT_EQ(db_->get_tables(), strings{u"C3"});
}

TEST_F(ora_database_test, test_query_checks_without_running_and_query_runs) {
    sql(u"CREATE TABLE T (ID NUMBER(5,0), NAME NVARCHAR2(10) )");
    EXPECT_TRUE(db_->test_query(u"INSERT INTO T (ID, NAME) VALUES (1, 'a')"));
    EXPECT_EQ(engine_->get_records_cnt(u"T", false), 0u);
    // Bad statements answer false instead of raising.
    EXPECT_FALSE(db_->test_query(u"SELECT NOPE FROM T"));
    EXPECT_FALSE(db_->test_query(u"INSERT INTO T (ID) VALUES (1);"));

    db_->query(u"INSERT INTO T (ID, NAME) VALUES (7, 'Grüße')");
    EXPECT_EQ(engine_->get_records_cnt(u"SELECT * FROM T WHERE NAME = 'Grüße'", true), 1u);
    EXPECT_EQ(
        catch_ora_error([&] { db_->query(u"INSERT INTO T (ID) VALUES (123456)"); }).ora_number(),
        1438);
}

TEST_F(ora_database_test, mapped_names_by_the_upper_case_option) {
    sql(u"CREATE TABLE \"Shipments\" (ID NUMBER)");
    sql(u"CREATE TABLE CUSTOMERS (ID NUMBER)");
    db_->get_tables();
    db_->names_map.add_tn_mapping(u"shipments", u"Shipments");
    db_->names_map.add_tn_mapping(u"CUSTOMERS", u"CUSTOMERS");
    t_names_map columns;
    columns.add(u"1st", u"A1st");
    db_->names_map.add_fn_map(u"Shipments", columns);
    t_names_map upper_columns;
    upper_columns.add(u"1ST", u"A1ST");
    db_->names_map.add_fn_map(u"CUSTOMERS", upper_columns);

    EXPECT_EQ(db_->get_tn_mapped_name_ex(u"shipments"), u"Shipments");
    // The exact lookup finds nothing that exists; the second one ignores case.
    EXPECT_EQ(db_->get_tn_mapped_name_ex(u"customers"), u"CUSTOMERS");
    EXPECT_EQ(db_->get_tn_mapped_name_ex(u"SHIPMENTS"), u"Shipments");
    EXPECT_EQ(db_->get_tn_mapped_name_ex(u"NEWTABLE"), u"NEWTABLE");
    EXPECT_EQ(db_->get_fn_mapped_name_ex(u"Shipments", u"1st"), u"A1st");
    EXPECT_EQ(db_->get_fn_mapped_name_ex(u"Shipments", u"1ST"), u"1ST");

    db_->b_uppercase = true;
    EXPECT_EQ(db_->get_tn_mapped_name_ex(u"customers"), u"CUSTOMERS");
    EXPECT_EQ(db_->get_tn_mapped_name_ex(u"Shipments"), u"Shipments");
    EXPECT_EQ(db_->get_fn_mapped_name_ex(u"customers", u"1st"), u"A1ST");
}

TEST_F(ora_database_test, the_views_of_the_user_with_their_text) {
    if (std::system("command -v sqlite3 > /dev/null") != 0) {
        GTEST_SKIP() << "sqlite3 is needed to give the stand-in a view";
    }
    // The stand-in keeps views it cannot create itself in its catalogue tables.
    const std::string text = "SELECT \"ID\", 'Grüße' AS G FROM ORDERS WHERE ID > 1";
    const std::string file = std::string(std::getenv("OCISIM_HOME")) + "/db.db";
    const std::string command =
        "sqlite3 '" + file +
        "' \"INSERT INTO ocisim_objects (object_id, owner, name, type, namespace) VALUES "
        "(990001, '" +
        user_ + "', 'V_ORDERS', 'VIEW', 'TABLE'); INSERT INTO ocisim_views VALUES (990001, '" +
        std::string("SELECT \\\"ID\\\", ''Grüße'' AS G FROM ORDERS WHERE ID > 1") + "');\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ora_database database(u"again");
    ASSERT_EQ(database.views().size(), 1u);
    EXPECT_EQ(database.views()[0].first, u"V_ORDERS");
    EXPECT_EQ(database.views()[0].second, tk_a2w(text));
    EXPECT_EQ(database.view_names(), strings{u"V_ORDERS"});
}
