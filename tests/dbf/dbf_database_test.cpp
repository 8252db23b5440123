// A folder of DBF tables as one database: the table list, full names, opening and deleting
// tables, the user's code page, the answers to operations a DBF folder does not provide, and the
// single instance.

#include <gtest/gtest.h>

#include <filesystem>

#include "dbf/dbf_database.hpp"
#include "dbf/dbf_recordset.hpp"
#include "dbf_test_support.hpp"
#include "support/dbf_writer.hpp"
#include "tk/tk_wstring.hpp"

namespace {

void small_table(const std::filesystem::path& folder, const std::string& file,
                 uint8_t version = dbf_ver::dbase3) {
    dbf_writer w(version);
    w.codepage(0x03).field("A", 'C', 3);
    if (version != dbf_ver::dbase3) {
        w.field("M", 'M', 10);
    }
    w.add_record({dbf_cell::raw("\x8F\xE0\xA8")});
    w.write(folder, file);
}

std::u16string wide(const std::filesystem::path& p) {
    return tk_from_utf8(p.string());
}

}  // namespace

class database : public testing::Test {
  protected:
    dbf_test_folder folder;
    std::filesystem::path tables = folder.path() / "tables";
    void SetUp() override { std::filesystem::create_directories(tables); }
};

TEST_F(database, lists_dbf_files_in_lower_case_without_extension) {
    small_table(tables, "Orders.DBF");
    small_table(tables, "items.dbf");
    small_table(tables, "README.txt");
    std::filesystem::create_directories(tables / "sub");
    std::filesystem::create_directories(tables / "old.dbf");  // a folder, no table
    dbf_database db(wide(tables), 1, 0);
    std::vector<std::u16string> names = db.get_tables();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"items", u"orders"}));
    EXPECT_TRUE(db.is_table_exist(u"ORDERS"));  // names compared without regard to case
}

TEST_F(database, files_differing_only_in_case_are_distinct_tables) {
    for (const char* file : {"orders.dbf", "ORDERS.DBF", "Orders.dbf", "ORDERS.dbf"}) {
        dbf_writer w;
        w.field("FILE", 'C', 10).add_record({dbf_cell::text(file)});
        w.write(tables, file);
    }
    dbf_database db(wide(tables), 1, 0);
    std::vector<std::u16string> names = db.get_tables();
    ASSERT_EQ(names.size(), 4u);
    std::vector<std::u16string> opened;
    for (const std::u16string& table : names) {
        auto rs = db.get_table(table, 1);
        opened.push_back((*rs->get_item())[0]->wstring());
    }
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened, (std::vector<std::u16string>{u"ORDERS.DBF", u"ORDERS.dbf", u"Orders.dbf",
                                                   u"orders.dbf"}));
}

TEST_F(database, empty_and_missing_folders) {
    {
        dbf_database db(wide(tables), 1, 0);
        EXPECT_TRUE(db.get_tables().empty());
        EXPECT_THROW(dbf_database(wide(tables), 1, 0), tk_mail_assertion);  // one at a time
    }
    EXPECT_THROW(dbf_database(wide(tables / "absent"), 1, 0), tk_mail_assertion);
    EXPECT_FALSE(dbf_database::exists());  // the failed construction left the slot free
}

TEST_F(database, get_table_opens_the_file_really_there_with_the_users_code_page) {
    small_table(tables, "Orders.DBF", dbf_ver::foxpro2_memo);
    {
        dbf_database db(wide(tables), 1, 0);
        EXPECT_EQ(db.get_full_table_name(u"Orders"), wide(tables) + u"/orders.dbf");
        EXPECT_EQ(db.get_full_table_name(u"ITEMS.DBF"), wide(tables) + u"/items.dbf");
        auto rs = db.get_table(u"orders", 1);
        ASSERT_NE(rs, nullptr);
        EXPECT_EQ(rs->name, wide(tables) + u"/Orders.DBF");
        auto& dbf = dynamic_cast<dbf_recordset&>(*rs);
        EXPECT_NE(dbf.memo_file(), nullptr);  // Orders.FPT
        EXPECT_EQ(dbf.get_codepage(), 1252);
        EXPECT_EQ(dbf_message_of([&] { db.get_table(u"nothing", 1); }),
                  "Table file not found: " + tables.string() + "/nothing.dbf");
    }
    dbf_database russian(wide(tables), 1, 0x65);
    auto rs = russian.get_table(u"orders", 1);
    EXPECT_EQ((*rs->get_item())[0]->wstring(), u"При");
}

TEST_F(database, delete_tab_removes_the_table_and_its_memo_files) {
    small_table(tables, "Orders.DBF", dbf_ver::foxpro2_memo);
    small_table(tables, "keep.dbf", dbf_ver::dbase4_memo);
    folder.write("tables/orders.smt", "x");
    dbf_database db(wide(tables), 1, 0);
    EXPECT_TRUE(db.delete_tab(u"orders"));
    EXPECT_FALSE(std::filesystem::exists(tables / "Orders.DBF"));
    EXPECT_FALSE(std::filesystem::exists(tables / "Orders.FPT"));
    EXPECT_FALSE(std::filesystem::exists(tables / "orders.smt"));
    EXPECT_TRUE(std::filesystem::exists(tables / "keep.dbf"));
    EXPECT_TRUE(std::filesystem::exists(tables / "keep.dbt"));
    // Without memo files, and twice: the second time the table is gone.
    small_table(tables, "plain.dbf");
    EXPECT_TRUE(db.delete_tab(u"plain"));
    EXPECT_THROW(db.delete_tab(u"plain"), tk_mail_assertion);
}
