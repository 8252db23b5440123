// The base behaviour of the engine interfaces: table lookups and deletion of a database, the
// index list with its key index, index column tests and the relationship list.

#include <gtest/gtest.h>

#include "tk/tk_exception.hpp"
#include "udb/udb_database.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_recordset.hpp"
#include "udb/udb_relationships.hpp"

namespace {

class plain_database : public udb_database {
  public:
    explicit plain_database(bool case_sensitive) : udb_database(u"db", 1, case_sensitive) {}
    std::unique_ptr<udb_recordset> create_table(const std::u16string&, const udb_schema&,
                                                const udb_indexes&) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string&, const std::u16string&,
                                             uint32_t) override {
        return nullptr;
    }
    std::unique_ptr<udb_recordset> get_table(const std::u16string&, uint32_t) override {
        return nullptr;
    }
    bool test_query(const std::u16string&) override { return false; }
};

class plain_recordset : public udb_recordset {
  public:
    plain_recordset() : udb_recordset(u"t", true) {}
    plain_recordset(const std::u16string& sql) : udb_recordset(u"t", sql, true) {}
    void append_record(udb_record&) override {}
};

}  // namespace

TEST(engine_interfaces, table_lookup_and_deletion) {
    plain_database blind(false);
    blind.tables = {u"Orders", u"b", u"c"};
    EXPECT_TRUE(blind.is_table_exist(u"ORDERS"));
    EXPECT_TRUE(blind.delete_tab(u"orders"));
    EXPECT_EQ(blind.get_tables(), (std::vector<std::u16string>{u"b", u"c"}));
    EXPECT_THROW(blind.delete_tab(u"orders"), tk_mail_assertion);
    EXPECT_THROW(blind.query(u"x"), tk_mail_assertion);
    plain_database exact(true);
    exact.tables = {u"Orders"};
    EXPECT_FALSE(exact.is_table_exist(u"ORDERS"));
    EXPECT_TRUE(exact.is_table_exist(u"Orders"));
}

TEST(engine_interfaces, first_unique_or_primary_index_is_the_key) {
    plain_recordset rs;
    EXPECT_FALSE(rs.is_query());
    EXPECT_TRUE(plain_recordset(u"SELECT 1 FROM dual").is_query());
    rs.add_index(udb_index(u"a", false, false, {u"x"}));
    rs.add_index(udb_index(u"b", true, false, {u"y"}));
    rs.add_index(udb_index(u"c", false, true, {u"z"}));
    rs.add_index(udb_index(u"B", true, true, {u"w"}));  // same name, other case: ignored
    EXPECT_EQ(rs.indexes.size(), 3u);
    EXPECT_EQ(rs.key_index, 1);
    EXPECT_EQ(&rs.indexes.get_index(u"C"), &rs.indexes[2]);
    EXPECT_THROW(rs.indexes.get_index(u"none"), tk_mail_assertion);
}

TEST(engine_interfaces, index_columns) {
    const udb_index xy(u"i", true, false, {u"x", u"y"});
    EXPECT_TRUE(xy.starts_with_fields({u"X"}));
    EXPECT_FALSE(xy.starts_with_fields({u"y"}));
    EXPECT_FALSE(xy.starts_with_fields({u"x", u"y", u"z"}));
    EXPECT_TRUE(xy.consists_of_fields({u"y", u"X"}));
    EXPECT_FALSE(xy.consists_of_fields({u"x"}));
    udb_indexes list;
    list.push_back(udb_index(u"u", true, false, {u"code"}));
    list.push_back(udb_index(u"p", false, true, {u"id"}));
    list.push_back(udb_index(u"plain", false, false, {u"name"}));
    EXPECT_TRUE(list.is_idx_field(u"code", false));
    EXPECT_FALSE(list.is_idx_field(u"code", true));  // only in a unique index
    EXPECT_TRUE(list.is_idx_field(u"id", true));
    EXPECT_FALSE(list.is_idx_field(u"ID", false));  // exact comparison
    EXPECT_TRUE(list.has_index_on_fields({u"code"}));
    EXPECT_FALSE(list.has_index_on_fields({u"name"}));  // the index found is not unique
    EXPECT_FALSE(list.is_acceptable_name(u"PLAIN"));
}

TEST(engine_interfaces, relationships_by_name) {
    udb_relationships keys;
    udb_relationship fk;
    fk.name = u"FK_ORDER";
    fk.ref_table = u"orders";
    keys.append(fk);
    EXPECT_FALSE(keys.is_acceptable_name(u"fk_order"));
    EXPECT_TRUE(keys.is_acceptable_name(u"fk_other"));
    EXPECT_EQ(keys.get_index(u"Fk_Order").ref_table, u"orders");
    EXPECT_THROW(keys.get_index(u"other"), tk_mail_assertion);
}
