// Records loaded into new Oracle tables and read back: every kind of value, logicals through
// the conversion rule, large objects through their locators, the statements sent, refused
// records, NOT NULL relaxed once, numbers Oracle cannot hold, updates by key, and national text
// on a server with a single-byte character set.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ora/ora_standin_fixture.hpp"
#include "ora/ora_statement_log.hpp"
#include "ora/ora_table.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/brixel_bool_rule.hpp"
#include "udb/ole_decimal.hpp"
#include "udb/udb_custom_conversion.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_schema.hpp"

namespace {

struct column_def {
    std::u16string name;
    VARTYPE vartype;
    uint32_t size;
    bool b_not_null = false;
    uint32_t reserved = 0;
    ole_variant default_value = ole_variant();
};

ole_variant decimal(const char* text) {
    ole_decimal value{};
    EXPECT_EQ(ole_dec_from_str(std::string_view(text), value), 0) << text;
    return ole_variant(value);
}

class ora_append_record_test : public ora_standin_test {
  protected:
    std::unique_ptr<ora_table> create(const std::u16string& table,
                                      const std::vector<column_def>& columns,
                                      const udb_indexes& indexes = udb_indexes()) {
        udb_schema schema;
        for (const column_def& c : columns) {
            schema.add_owned(std::make_unique<t_ftd>(c.size, c.name, c.vartype, c.b_not_null, false,
                                                     c.default_value, c.reserved,
                                                     std::u16string()));
        }
        db_->get_tables();
        return as_table(db_->create_table(table, schema, indexes));
    }
    std::unique_ptr<ora_table> open(const std::u16string& table) {
        db_->get_tables();
        return as_table(db_->get_table(table, 0));
    }
    static std::unique_ptr<ora_table> as_table(std::unique_ptr<udb_recordset> recordset) {
        return std::unique_ptr<ora_table>(static_cast<ora_table*>(recordset.release()));
    }
    static udb_record record(const std::vector<std::pair<std::u16string, ole_variant>>& values) {
        udb_record out;
        for (const auto& [name, value] : values) {
            out.add(std::make_unique<udb_field>(name, 0, value));
        }
        return out;
    }
    // Appends one record whose fields are named after the table's columns, in their order.
    static void append(ora_table& table, const std::vector<ole_variant>& values) {
        udb_record out;
        for (size_t i = 0; i < values.size(); ++i) {
            out.add(std::make_unique<udb_field>(table.schema.column(i).name, 0, values[i]));
        }
        table.append_record(out);
    }
    // Every row of the table, each as its values.
    std::vector<std::vector<ole_variant>> rows(const std::u16string& table) {
        return read_rows(*open(table));
    }
};

TEST_F(ora_append_record_test, values_of_every_kind_read_back_equal) {
    const std::unique_ptr<ora_table> table =
        create(u"LVALS", {{u"TXT", VT_BSTR, 40},
                          {u"AMOUNT", VT_DECIMAL, 8, false, 20 * 256 + 4},
                          {u"COUNT", VT_I4, 4},
                          {u"D", VT_DATE, 8, false, 2},
                          {u"TS", VT_DATE, 8, false, 1},
                          {u"OK", VT_BOOL, 2},
                          {u"RAWV", VT_BLOB, 8}});
    const std::u16string scripts = u"Grüße Жук Ελλάδα 日本語 עברית 𝄞 '\"; --";
    const unsigned char bin[] = {0x00, 0xFF, 0x27, 0x10};
    append(*table, {ole_variant(scripts), decimal("-1234567890123456.1234"), ole_variant(-42),
                    ole_variant(t_systemtime{2024, 2, 0, 29, 0, 0, 0, 0}),
                    ole_variant(t_systemtime{1999, 12, 0, 31, 23, 59, 58, 0}), ole_variant(true),
                    ole_variant(sizeof bin, bin)});
    ole_variant null;
    null.set_null();
    append(*table, {ole_variant(u""), null, ole_variant(), ole_variant(), ole_variant(),
                    ole_variant(false), ole_variant(size_t{0}, bin)});

    // Every value but the logical false of the second record is none to Oracle.
    const auto read = rows(u"LVALS");
    ASSERT_EQ(read.size(), 2u);
    using texts = std::vector<std::string>;
    EXPECT_EQ(typed(read[0]),
              (texts{"'" + tk_to_utf8(scripts) + "'", "dec -1234567890123456.1234", "i8 -42",
                     "2024-02-29 00:00:00.000", "1999-12-31 23:59:58.000", "i2 1", "0x00FF2710"}));
    EXPECT_EQ(typed(read[1]), (texts{"null", "null", "null", "null", "null", "i2 0", "null"}));

    // Logicals through the conversion rule become the letters T and F.
    udb_custom_conversion rules;
    rules.add_rule(std::make_unique<brixel_bool_rule>());
    const ora_statement_log log;
    const std::unique_ptr<ora_table> flags =
        create(u"LFLAGS", {{u"ID", VT_I4, 4}, {u"OK", VT_BOOL, 2}});
    append(*flags, {ole_variant(1), ole_variant(true)});
    append(*flags, {ole_variant(2), ole_variant(false)});
    EXPECT_EQ(
        log.starting_with("CREATE TABLE"),
        std::vector<std::string>{"CREATE TABLE \"LFLAGS\" (\"ID\" NUMBER(11,0), \"OK\" CHAR(1))"});
    const auto letters = rows(u"LFLAGS");
    ASSERT_EQ(letters.size(), 2u);
    EXPECT_EQ(letters[0][1].wstring(), u"T");
    EXPECT_EQ(letters[1][1].wstring(), u"F");
}

TEST_F(ora_append_record_test, memo_texts_and_binaries_of_every_length_through_lobs) {
    const std::unique_ptr<ora_table> table =
        create(u"LDOCS2", {{u"ID", VT_I4, 4}, {u"MEMO", VT_BSTR, 0}, {u"PIC", VT_BLOB, 0}});
    std::u16string long_text;
    while (long_text.size() < 100000) {
        long_text += u"Жук 日本 𝄞 ab'c\r\n";
    }
    const std::u16string short_text = u"κείμενο 𝄞";
    std::vector<unsigned char> big(70000);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    const ora_statement_log log;
    append(*table, {ole_variant(1), ole_variant(long_text), ole_variant(big.size(), big.data())});
    const std::vector<std::string> sent = log.lines();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0],
              "INSERT /*+ APPEND */ INTO \"LDOCS2\" (\"ID\", \"MEMO\", \"PIC\") VALUES(1, "
              "EMPTY_CLOB(), EMPTY_BLOB()) RETURNING ROWID INTO :1");
    EXPECT_EQ(sent[1].rfind("SELECT \"MEMO\", \"PIC\" FROM \"LDOCS2\" WHERE ROWID='", 0), 0u);
    append(*table, {ole_variant(2), ole_variant(short_text), ole_variant()});
    const ora_statement_log empty_log;
    append(*table, {ole_variant(3), ole_variant(u""), ole_variant(size_t{0}, big.data())});
    // Empty large objects keep their empty locators without locking the row.
    EXPECT_TRUE(empty_log.starting_with("SELECT").empty());
    // The last record's LOB writes are committed.
    {
        // Another writer would wait for an open transaction of this session and give up.
        ora_other_session other(u"//localhost:1521/DB", wide(user_), u"pw");
        other.execute(u"DELETE FROM LDOCS2 WHERE ID = 99");
        other.commit();
    }
    const auto read = rows(u"LDOCS2");
    ASSERT_EQ(read.size(), 3u);
    EXPECT_TRUE(read[0][1].wstring() == long_text);
    EXPECT_TRUE(read[0][2].bytes() == big);
    EXPECT_EQ(read[1][1].wstring(), short_text);
    EXPECT_TRUE(read[1][2].bytes().empty());
    EXPECT_EQ(read[2][1].wstring(), u"");
    EXPECT_TRUE(read[2][2].bytes().empty());
}

TEST_F(ora_append_record_test, refused_records_raise_and_leave_the_others) {
    const std::unique_ptr<ora_table> shorter = create(u"LSHORT", {{u"NAME", VT_BSTR, 5}});
    append(*shorter, {ole_variant(u"abcde")});
    EXPECT_EQ(catch_ora_error([&] { append(*shorter, {ole_variant(u"abcdef")}); }).ora_number(),
              12899);
    append(*shorter, {ole_variant(u"abcde")});
    EXPECT_EQ(rows(u"LSHORT").size(), 2u);

    // Fields and columns that do not match. As many fields as columns: names must match exactly.
    const std::unique_ptr<ora_table> table = create(u"LPAIR", {{u"A", VT_I4, 4}, {u"B", VT_I4, 4}});
    udb_record other_case = record({{u"a", ole_variant(1)}, {u"B", ole_variant(2)}});
    EXPECT_THROW(table->append_record(other_case), tk_exception);
    // Fewer fields than columns: matched without regard to case.
    udb_record fewer = record({{u"b", ole_variant(3)}});
    table->append_record(fewer);
    udb_record unknown = record({{u"C", ole_variant(3)}});
    EXPECT_THROW(table->append_record(unknown), tk_exception);
    const auto read = rows(u"LPAIR");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0][0].vt(), VT_EMPTY);
    EXPECT_EQ(read[0][1].to_wstring(), u"3");
}

TEST_F(ora_append_record_test, not_null_relaxed_once_and_numbers_beyond_oracle) {
    udb_indexes indexes;
    indexes.push_back(udb_index(u"PK_NN", true, true, {u"ID"}));
    const std::unique_ptr<ora_table> table = create(u"LNN",
                                                    {{u"ID", VT_I4, 4, true},
                                                     {u"NAME", VT_BSTR, 10, true},
                                                     {u"FREE", VT_R8, 8},
                                                     {u"KEPT", VT_R8, 8, true, 0, ole_variant(0)}},
                                                    indexes);
    const ora_statement_log log;
    // An empty text is NULL to Oracle; a number beyond NUMBER becomes NULL, or the default of a
    // NOT NULL column.
    append(*table, {ole_variant(1), ole_variant(u""), ole_variant(1e200), ole_variant(-1e127)});
    append(*table, {ole_variant(2), ole_variant(), ole_variant(-1.5e125), ole_variant(2.5)});
    EXPECT_EQ(log.starting_with("ALTER TABLE"),
              std::vector<std::string>{"ALTER TABLE \"LNN\" MODIFY \"NAME\" NVARCHAR2(10)  NULL"});
    EXPECT_EQ(
        catch_ora_error([&] {
            append(*table, {ole_variant(), ole_variant(u"x"), ole_variant(1.0), ole_variant(1.0)});
        }).ora_number(),
        1400);
    EXPECT_EQ(log.starting_with("ALTER TABLE").size(), 1u);
    const auto read = rows(u"LNN");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(typed(read[0]), (std::vector<std::string>{"i8 1", "null", "null", "r8 0"}));
    EXPECT_EQ(typed(read[1]), (std::vector<std::string>{"i8 2", "null", "r8 -1.5e+125", "r8 2.5"}));
}

TEST_F(ora_append_record_test, update_by_key_and_without_one) {
    udb_indexes indexes;
    indexes.push_back(udb_index(u"PK_U", true, true, {u"ID"}));
    const std::unique_ptr<ora_table> keyed =
        create(u"LU", {{u"ID", VT_I4, 4, true}, {u"NAME", VT_BSTR, 10}}, indexes);
    append(*keyed, {ole_variant(1), ole_variant(u"old")});
    const std::unique_ptr<ora_table> reopened = open(u"LU");
    // Field names in another letter case find their columns.
    udb_record change = record({{u"ID", ole_variant(1)}, {u"name", ole_variant(u"néw")}});
    reopened->update(change);
    const std::unique_ptr<ora_table> plain = create(u"LP", {{u"ID", VT_I4, 4}});
    const ora_statement_log log;
    udb_record p = record({{u"ID", ole_variant(1)}});
    plain->update(p);
    EXPECT_TRUE(log.lines().empty());
    sql(u"COMMIT");
    const auto read = rows(u"LU");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0][1].wstring(), u"néw");
}

TEST_F(ora_append_record_test, national_text_survives_a_single_byte_database) {
    admin("create-service W1252 --charset WE8MSWIN1252");
    admin("create-user W1252 " + user_ + " pw");
    db_ = engine_->open_db(u"localhost", wide(user_), u"pw", u"1521", u"W1252");
    const std::unique_ptr<ora_table> table =
        create(u"NAT", {{u"TXT", VT_BSTR, 40}, {u"D", VT_DATE, 8, true, 2}});
    const std::u16string text = u"Жук Ελλάδα 日本 € 𝄞";
    append(*table, {ole_variant(text), ole_variant()});
    const auto read = rows(u"NAT");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0][0].wstring(), text);
    EXPECT_EQ(read[0][1].vt(), VT_EMPTY);
}

}  // namespace
