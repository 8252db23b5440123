// New Oracle tables built from a source schema: the CREATE TABLE text, the columns the server
// then reports, the auto-increment sequence and trigger with their failures, and the indexes.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ora/ora_indexes_initializer.hpp"
#include "ora/ora_schema_initializer.hpp"
#include "ora/ora_standin_fixture.hpp"
#include "ora/ora_statement_log.hpp"
#include "ora/ora_table.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_schema.hpp"

namespace {

using strings = std::vector<std::u16string>;

std::unique_ptr<t_ftd> field(const std::u16string& name, VARTYPE vartype, uint32_t size,
                             bool b_not_null = false, ole_variant default_value = ole_variant(),
                             uint32_t reserved = 0) {
    return std::make_unique<t_ftd>(size, name, vartype, b_not_null, false, std::move(default_value),
                                   reserved, std::u16string());
}

class ora_create_table_test : public ora_standin_test {
  protected:
    std::unique_ptr<ora_table> create(const std::u16string& table, const udb_schema& schema,
                                      const udb_indexes& indexes = udb_indexes()) {
        db_->get_tables();
        std::unique_ptr<udb_recordset> opened = db_->create_table(table, schema, indexes);
        return std::unique_ptr<ora_table>(static_cast<ora_table*>(opened.release()));
    }
    // The first column of each row a query gives, as text.
    std::vector<std::u16string> first_column(const std::u16string& select) {
        std::vector<std::u16string> out;
        for (const std::vector<ole_variant>& row : read_rows(*db_->get_table(u"Q", select, 0))) {
            out.push_back(row[0].to_wstring());
        }
        return out;
    }
};

TEST_F(ora_create_table_test, statement_text_the_columns_the_server_reports_and_name_rules) {
    udb_schema schema;
    schema.add_owned(field(u"NAME", VT_BSTR, 40, true, ole_variant(u"ab'c")));
    schema.add_owned(field(u"AMOUNT", VT_DECIMAL, 8, true, ole_variant(0), 10 * 256 + 2));
    schema.add_owned(field(u"BORN", VT_DATE, 8, false, ole_variant(), 2));
    // A memo that must not be null in the source: large objects are always nullable.
    schema.add_owned(field(u"NOTES", VT_BSTR, 0, true, ole_variant(u"x")));
    schema.add_owned(field(u"PHOTO", VT_BLOB, 0, true));
    schema.add_owned(field(u"1st field", VT_I4, 4));
    const ora_statement_log log;
    const std::unique_ptr<ora_table> table = create(u"PEOPLE", schema);

    const std::vector<std::string> creates = log.starting_with("CREATE TABLE");
    ASSERT_EQ(creates.size(), 1u);
    const std::u16string mapped = db_->get_fn_mapped_name_ex(u"PEOPLE", u"1st field");
    EXPECT_NE(mapped, u"1st field");
    EXPECT_EQ(creates[0],
              "CREATE TABLE \"PEOPLE\" (\"NAME\" NVARCHAR2(40)  DEFAULT 'ab''c' NOT NULL, "
              "\"AMOUNT\" NUMBER(10,2) DEFAULT 0 NOT NULL, \"BORN\" DATE, \"NOTES\" CLOB, "
              "\"PHOTO\" BLOB, \"" +
                  tk_to_utf8(mapped) + "\" NUMBER(11,0))");

    // The table came back opened, with the columns as created.
    ASSERT_EQ(table->schema.size(), 6u);
    EXPECT_TRUE(table->schema.column(1).b_not_null);
    EXPECT_FALSE(table->schema.column(3).b_not_null);
    EXPECT_EQ(table->schema.column(5).name, mapped);
    EXPECT_EQ(table->schema.column(0).default_value.to_wstring(), u"ab'c");

    // Upper-case names, and names Oracle refuses.
    db_->b_uppercase = true;
    udb_schema upper;
    upper.add_owned(field(u"mixedCase", VT_I4, 4));
    upper.add_owned(field(u"with blank", VT_I4, 4));
    upper.add_owned(field(u"WITH_BLANK", VT_I4, 4));  // the name the blank would become
    const std::unique_ptr<ora_table> names = create(u"NAMES", upper);
    ASSERT_EQ(names->schema.size(), 3u);
    EXPECT_EQ(names->schema.column(0).name, u"MIXEDCASE");
    EXPECT_EQ(names->schema.column(2).name, u"WITH_BLANK");
    // The generated name never takes a real field's name.
    EXPECT_NE(names->schema.column(1).name, u"WITH_BLANK");
    EXPECT_EQ(db_->get_fn_mapped_name_ex(u"NAMES", u"with blank"), names->schema.column(1).name);
}

class ora_auto_increment_test : public ora_create_table_test {
  protected:
    udb_schema schema_with_counter() {
        udb_schema schema;
        auto id = std::make_unique<t_ftd>(4, u"ID", VT_I4, true, true, ole_variant(7), 0,
                                          std::u16string());
        schema.add_owned(std::move(id));
        schema.add_owned(field(u"NAME", VT_BSTR, 10));
        return schema;
    }
};

TEST_F(ora_auto_increment_test, sequence_and_trigger_number_new_rows_and_fit_long_table_names) {
    const ora_statement_log log;
    const std::unique_ptr<ora_table> table = create(u"AUTOINC", schema_with_counter());
    EXPECT_EQ(log.starting_with("CREATE TABLE"),
              std::vector<std::string>{"CREATE TABLE \"AUTOINC\" (\"ID\" NUMBER(11,0), \"NAME\" "
                                       "NVARCHAR2(10) )"});
    EXPECT_EQ(log.starting_with("CREATE SEQUENCE").at(0),
              std::string{"CREATE SEQUENCE \"AUTOINC_0\" INCREMENT BY 1 START WITH 1 "
                          "MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER"});
    EXPECT_EQ(log.starting_with("CREATE OR REPLACE TRIGGER"),
              std::vector<std::string>{
                  "CREATE OR REPLACE TRIGGER AUTOINC__TRIGGER BEFORE INSERT ON AUTOINC FOR EACH "
                  "ROW WHEN (new.ID IS NULL) BEGIN select AUTOINC_0.nextval into :new.ID from "
                  "dual; END;"});
    sql(u"INSERT INTO AUTOINC (NAME) VALUES ('a')");
    sql(u"INSERT INTO AUTOINC (NAME) VALUES ('b')");
    EXPECT_EQ(first_column(u"SELECT ID FROM AUTOINC ORDER BY ID"), (strings{u"1", u"2"}));

    // Long table names leave room for the suffix.
    create(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012", schema_with_counter());
    create(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", schema_with_counter());
    const std::vector<std::string> sequences = log.starting_with("CREATE SEQUENCE");
    ASSERT_EQ(sequences.size(), 3u);
    EXPECT_EQ(sequences[1].substr(0, 47), "CREATE SEQUENCE \"ABCDEFGHIJKLMNOPQRSTUVWXYZ0_0\"");
    EXPECT_EQ(sequences[2].substr(0, 48), "CREATE SEQUENCE \"ABCDEFGHIJKLMNOPQRSTUVWXYZ01_0\"");
}

TEST_F(ora_auto_increment_test, a_sequence_name_in_use_takes_the_next_number) {
    sql(u"CREATE SEQUENCE \"AUTOINC2_0\"");
    sql(u"CREATE TABLE \"AUTOINC2_1\" (X NUMBER)");
    const std::unique_ptr<ora_table> table = create(u"AUTOINC2", schema_with_counter());
    EXPECT_EQ(first_column(u"SELECT SEQUENCE_NAME FROM USER_SEQUENCES ORDER BY SEQUENCE_NAME"),
              (strings{u"AUTOINC2_0", u"AUTOINC2_2"}));
    sql(u"INSERT INTO AUTOINC2 (NAME) VALUES ('a')");
    EXPECT_EQ(first_column(u"SELECT ID FROM AUTOINC2"), strings{u"1"});
}

TEST_F(ora_auto_increment_test, missing_sequence_privilege_keeps_the_table) {
    admin("revoke DB " + user_ + " 'CREATE SEQUENCE'");
    try {
        create(u"AUTOINC3", schema_with_counter());
        FAIL() << "no exception";
    } catch (const ora_exception& e) {
        FAIL() << "the server's error instead of the message: " << e.message;
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.message,
                  "Insufficient privileges to create sequence.\nAuto increment will not be "
                  "converted.");
    }
    db_->get_tables();
    EXPECT_TRUE(db_->is_table_exist(u"AUTOINC3"));
    EXPECT_TRUE(first_column(u"SELECT SEQUENCE_NAME FROM USER_SEQUENCES").empty());
}

TEST_F(ora_create_table_test, indexes_keys_what_cannot_be_indexed_and_names_taken_before) {
    udb_schema schema;
    schema.add_owned(field(u"ID", VT_I4, 4, true));
    schema.add_owned(field(u"CODE", VT_BSTR, 10));
    schema.add_owned(field(u"MEMO", VT_BSTR, 0));
    schema.add_owned(field(u"bad name", VT_I4, 4));
    udb_indexes indexes;
    indexes.push_back(udb_index(u"BYCODE", false, false, {u"CODE"}));
    indexes.push_back(udb_index(u"SAMEASPK", true, false, {u"ID"}));  // before the key itself
    indexes.push_back(udb_index(u"PK_T", true, true, {u"ID"}));
    indexes.push_back(udb_index(u"UCODE", true, false, {u"CODE", u"bad name"}));
    indexes.push_back(udb_index(u"BYMEMO", false, false, {u"CODE", u"MEMO"}));
    const ora_statement_log log;
    const std::unique_ptr<ora_table> table = create(u"IDX", schema, indexes);
    const std::u16string mapped = db_->get_fn_mapped_name_ex(u"IDX", u"bad name");
    std::vector<std::string> index_statements;
    for (const std::string& line : log.lines()) {
        if (line.rfind("CREATE INDEX", 0) == 0 || line.rfind("ALTER TABLE", 0) == 0) {
            index_statements.push_back(line);
        }
    }
    EXPECT_EQ(index_statements,
              (std::vector<std::string>{
                  "CREATE INDEX \"BYCODE\" ON \"IDX\" (\"CODE\")",
                  "ALTER TABLE \"IDX\" ADD CONSTRAINT \"PK_T\" PRIMARY KEY (\"ID\")",
                  "ALTER TABLE \"IDX\" ADD CONSTRAINT \"UCODE\" UNIQUE (\"CODE\", \"" +
                      tk_to_utf8(mapped) + "\")"}));
    const std::unique_ptr<udb_recordset> reopened = db_->get_table(u"IDX", 0);
    ASSERT_GE(reopened->key_index, 0);
    const udb_index& key = reopened->indexes[static_cast<size_t>(reopened->key_index)];
    EXPECT_TRUE(key.b_primary);
    EXPECT_EQ(key.fields, std::vector<std::u16string>{u"ID"});

    // Index names stay unique across tables; the same columns again under another name
    // (ORA-01408) are passed over.
    udb_indexes again;
    again.push_back(udb_index(u"BYCODE", false, false, {u"CODE"}));
    again.push_back(udb_index(u"BYCODE2", false, false, {u"CODE"}));
    create(u"IDX2", schema, again);
    const strings names =
        first_column(u"SELECT INDEX_NAME FROM USER_INDEXES WHERE TABLE_NAME = 'IDX2'");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_NE(names[0], u"BYCODE");
    EXPECT_NE(names[0], u"BYCODE2");
}

}  // namespace
