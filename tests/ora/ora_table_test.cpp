// Existing Oracle tables read back: the schema the describe and the catalogue give, defaults as
// the catalogue stores them, keys and indexes, every kind of value with NULLs, and free selects.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ora/ora_lob_insert.hpp"
#include "ora/ora_standin_fixture.hpp"
#include "ora/ora_table.hpp"
#include "support/log_capture.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_decimal.hpp"

namespace {

class ora_table_test : public ora_standin_test {
  protected:
    std::unique_ptr<ora_table> open(const std::u16string& name) {
        db_->get_tables();
        std::unique_ptr<udb_recordset> table = db_->get_table(name, 8);
        return std::unique_ptr<ora_table>(static_cast<ora_table*>(table.release()));
    }

    static const t_ftd& column(const ora_table& table, const char16_t* name) {
        return table.schema.get_field(name);
    }
};

// Each index of a table as its name, kind, columns and whether it is the update key, by name.
std::vector<std::string> indexes_of(const ora_table& table) {
    std::vector<std::string> out;
    for (size_t i = 0; i < table.indexes.size(); ++i) {
        const udb_index& index = table.indexes[i];
        std::string text = tk_to_utf8(index.name) + (index.b_primary ? " primary" : "") +
                           (index.b_unique ? " unique" : "") + " (";
        for (size_t f = 0; f < index.fields.size(); ++f) {
            text += (f == 0 ? "" : ", ") + tk_to_utf8(index.fields[f]);
        }
        out.push_back(text + ")" + (table.key_index == static_cast<int>(i) ? " key" : ""));
    }
    std::sort(out.begin(), out.end());  // the catalogue's order means nothing
    return out;
}

std::u16string text_of(const udb_field& field) {
    EXPECT_EQ(field.vt(), VT_BSTR) << "field " << std::string(field.name.begin(), field.name.end());
    return field.wstring();
}

}  // namespace

TEST_F(ora_table_test, column_types_sizes_and_nullability) {
    sql(u"CREATE TABLE KINDS (N55 NUMBER(5,5), N10 NUMBER(10) NOT NULL, NP NUMBER, "
        u"N102 NUMBER(10,2), F FLOAT, NV NVARCHAR2(20), V VARCHAR2(30), C CHAR(5), D DATE, "
        u"TS TIMESTAMP, R RAW(16), CL CLOB, BL BLOB, L LONG)");
    const std::unique_ptr<ora_table> table = open(u"KINDS");
    // The type of a text or raw column is kept: however long, it holds no large object.
    struct expected {
        const char16_t* name;
        VARTYPE vartype;
        uint32_t size;
        uint32_t reserved;
        const char16_t* native;
    };
    const expected columns[] = {{u"N55", VT_DECIMAL, 22, 0x0605, u""},
                                {u"N10", VT_I8, 22, 0, u""},
                                {u"NP", VT_R8, 22, 0, u""},
                                {u"N102", VT_DECIMAL, 22, 0x0A02, u""},
                                {u"F", VT_R8, 22, 0, u""},
                                {u"NV", VT_BSTR, 20, 0, u"NVARCHAR2"},
                                {u"V", VT_BSTR, 30, 0, u"VARCHAR2"},
                                {u"C", VT_BSTR, 5, 0, u"CHAR"},
                                {u"D", VT_DATE, 7, 1, u""},
                                {u"TS", VT_DATE, 11, 1, u""},
                                {u"R", VT_BLOB, 16, 0, u"RAW"},
                                {u"CL", VT_BSTR, 4000, 0, u""},
                                {u"BL", VT_BLOB, 4000, 0, u""},
                                {u"L", VT_BSTR, 0, 0, u"LONG"}};
    ASSERT_EQ(table->schema.size(), std::size(columns));
    for (size_t i = 0; i < std::size(columns); ++i) {
        const t_ftd& ftd = table->schema.column(i);
        const std::string label = tk_to_utf8(ftd.name);
        SCOPED_TRACE(label);
        EXPECT_EQ(ftd.name, columns[i].name);
        EXPECT_EQ(ftd.vartype, columns[i].vartype);
        EXPECT_EQ(ftd.size, columns[i].size);
        EXPECT_EQ(ftd.reserved, columns[i].reserved);
        EXPECT_EQ(ftd.native_type, columns[i].native);
        EXPECT_EQ(ftd.b_not_null, label == "N10");
        EXPECT_EQ(ora_lob_insert::is_lob_column(ftd), label == "CL" || label == "BL");
        EXPECT_EQ(ftd.default_value.vt(), VT_EMPTY);
    }
    // The column object of the national text is halved too.
    EXPECT_EQ(table->columns()[5]->data_size, 20u);
    EXPECT_TRUE(table->is_eof());
    EXPECT_EQ(table->key_index, -1);

    // A column of a type this program cannot read is left out of the schema and the rows.
    sql(u"CREATE TABLE PARTLY (ID NUMBER(5), T3 TIMESTAMP(3), NAME NVARCHAR2(10) )");
    sql(u"INSERT INTO PARTLY (ID, T3, NAME) VALUES (1, SYSDATE, 'one')");
    log_capture log(1);
    const std::unique_ptr<ora_table> partly = open(u"PARTLY");
    EXPECT_TRUE(
        log.has_line("Table 'PARTLY': column 'T3' has unsupported type 'TIMESTAMP(3)', skip it"));
    ASSERT_EQ(partly->schema.size(), 2u);
    ASSERT_FALSE(partly->is_eof());
    const udb_record* row = partly->get_item();
    ASSERT_EQ(row->size(), 2u);
    EXPECT_EQ(text_of(row->field(1)), u"one");
}

TEST_F(ora_table_test, defaults_as_the_catalogue_stores_them_and_texts_that_are_none) {
    sql(u"CREATE TABLE DEFS (A NVARCHAR2(10) DEFAULT 'abc' , B NVARCHAR2(10) DEFAULT SYSDATE, "
        u"C NVARCHAR2(20) DEFAULT 'O''Brien'\n, N NUMBER(5) DEFAULT 42\n, "
        u"M NUMBER(10,2) DEFAULT -12.5 NOT NULL, X NUMBER DEFAULT NULL, "
        u"D DATE DEFAULT SYSDATE, E NVARCHAR2(5) DEFAULT '' , F NUMBER(9) DEFAULT 7 + 1)");
    const std::unique_ptr<ora_table> table = open(u"DEFS");
    EXPECT_EQ(column(*table, u"A").default_value.wstring(), u"abc");
    EXPECT_EQ(column(*table, u"C").default_value.wstring(), u"O'Brien");
    EXPECT_EQ(column(*table, u"N").default_value.vt(), VT_I4);
    EXPECT_EQ(column(*table, u"N").default_value.i4(), 42);
    const ole_variant& m = column(*table, u"M").default_value;
    ASSERT_EQ(m.vt(), VT_DECIMAL);
    EXPECT_EQ(ole_dec_to_string(m.dec()), "-12.5");
    EXPECT_EQ(column(*table, u"E").default_value.wstring(), u"");
    // Expressions are no values: NULL and arithmetic give no default, not 0.
    for (const char16_t* name : {u"B", u"X", u"F", u"D"}) {
        EXPECT_EQ(column(*table, name).default_value.vt(), VT_EMPTY) << tk_to_utf8(name);
    }
    // Texts the catalogue could hold that are no value of their column.
    EXPECT_EQ(ora_table::get_def_value(VT_BSTR, u"'").vt(), VT_EMPTY);
    EXPECT_EQ(ora_table::get_def_value(VT_DATE, u"'2020-01-01'").vt(), VT_EMPTY);
    EXPECT_EQ(ora_table::get_def_value(VT_I8, u"1e").vt(), VT_EMPTY);
    EXPECT_EQ(ora_table::get_def_value(VT_R8, u"'2.25'").r8(), 2.25);
}

TEST_F(ora_table_test, primary_key_indexes_and_the_update_key) {
    sql(u"CREATE TABLE KEYED (ID NUMBER(9) NOT NULL, CODE NVARCHAR2(10), NOTE CLOB, "
        u"D DATE, CONSTRAINT PK_KEYED PRIMARY KEY (ID))");
    sql(u"CREATE UNIQUE INDEX UX_CODE ON KEYED (CODE, D)");
    sql(u"CREATE INDEX IX_D ON KEYED (D)");
    const std::unique_ptr<ora_table> table = open(u"KEYED");
    EXPECT_EQ(indexes_of(*table),
              (std::vector<std::string>{"IX_D (D)", "PK_KEYED primary unique (ID) key",
                                        "UX_CODE unique (CODE, D)"}));
    EXPECT_TRUE(db_->relationships.empty());

    // Without a primary key a unique index is the update key.
    sql(u"CREATE TABLE LOOSE (A NUMBER(5), B NVARCHAR2(4))");
    sql(u"CREATE INDEX IX_A ON LOOSE (A)");
    sql(u"CREATE UNIQUE INDEX UX_B ON LOOSE (B)");
    EXPECT_EQ(indexes_of(*open(u"LOOSE")),
              (std::vector<std::string>{"IX_A (A)", "UX_B unique (B) key"}));
    // An unnamed key's index is generated and comes only as the primary key.
    sql(u"CREATE TABLE UNNAMED (ID NUMBER(5) PRIMARY KEY)");
    const std::vector<std::string> unnamed = indexes_of(*open(u"UNNAMED"));
    ASSERT_EQ(unnamed.size(), 1u);
    EXPECT_EQ(unnamed[0].rfind("SYS_C", 0), 0u);
    EXPECT_NE(unnamed[0].find(" primary unique (ID) key"), std::string::npos) << unnamed[0];
    // The catalogue is asked about a name with a quote in it as one literal.
    sql(u"CREATE TABLE \"O'KEYS\" (ID NUMBER(5) PRIMARY KEY, NAME NVARCHAR2(4))");
    const std::unique_ptr<ora_table> quoted = open(u"O'KEYS");
    EXPECT_EQ(quoted->schema.size(), 2u);
    ASSERT_EQ(indexes_of(*quoted).size(), 1u);
    EXPECT_NE(indexes_of(*quoted)[0].find(" primary unique (ID) key"), std::string::npos);
}

TEST_F(ora_table_test, values_nulls_dates_and_numbers_read_back) {
    sql(u"CREATE TABLE VALS (ID NUMBER(9), BIG NUMBER(19), AMOUNT NUMBER(12,4), R NUMBER, "
        u"TINY NUMBER(5,5), NAME NVARCHAR2(40), CODE VARCHAR2(10), FIX CHAR(4), D DATE, "
        u"TS TIMESTAMP, BIN RAW(16))");
    sql(u"INSERT INTO VALS VALUES (1, 9223372036854775807, -12345678.1234, 0.1, .5, "
        u"'Grüße 𝄞 Жук €', 'longvalue', 'ab', TO_DATE('2024-02-29 23:59:58', "
        u"'YYYY-MM-DD HH24:MI:SS'), TO_DATE('1999-12-31 00:00:01', 'YYYY-MM-DD HH24:MI:SS'), "
        u"HEXTORAW('00FF10A0'))");
    sql(u"INSERT INTO VALS VALUES (2, -9223372036854775808, 0, -1.5e100, -.00001, 'x', 'ab', "
        u"NULL, NULL, NULL, HEXTORAW('01'))");
    sql(u"INSERT INTO VALS (ID) VALUES (3)");
    const std::unique_ptr<ora_table> table = open(u"VALS");
    ASSERT_EQ(table->records_cnt, 3u);
    const std::vector<std::vector<ole_variant>> rows = read_rows(*table);
    ASSERT_EQ(rows.size(), 3u);
    // CHAR keeps its padding; shorter values after longer ones leave nothing of the previous row
    // in the buffers.
    using texts = std::vector<std::string>;
    EXPECT_EQ(typed(rows[0]),
              (texts{"i4 1", "i8 9223372036854775807", "dec -12345678.1234", "r8 0.1", "dec 0.5",
                     "'Grüße 𝄞 Жук €'", "'longvalue'", "'ab  '", "2024-02-29 23:59:58.000",
                     "1999-12-31 00:00:01.000", "0x00FF10A0"}));
    EXPECT_EQ(typed(rows[1]),
              (texts{"i4 2", "i8 -9223372036854775808", "dec 0", "r8 -1.5e+100", "dec -0.00001",
                     "'x'", "'ab'", "null", "null", "null", "0x01"}));
    EXPECT_EQ(typed(rows[2]), (texts{"i4 3", "null", "null", "null", "null", "null", "null", "null",
                                     "null", "null", "null"}));
}

TEST_F(ora_table_test, national_large_objects_empty_ones_and_long_read_back) {
    // Long values through the locators are read back by the record loading tests.
    sql(u"CREATE TABLE DOCS (ID NUMBER(5), TXT CLOB, BIN BLOB, NT NCLOB)");
    const std::u16string national = u"Ελληνικά ✓";
    sql(u"INSERT INTO DOCS (ID, TXT, BIN, NT) VALUES (1, EMPTY_CLOB(), EMPTY_BLOB(), N'" +
        national + u"')");
    sql(u"INSERT INTO DOCS (ID) VALUES (2)");
    sql(u"CREATE TABLE NOTES (ID NUMBER(5), L LONG)");
    const std::u16string long_text = std::u16string(1000, u'ü') + std::u16string(1900, u'x');
    sql(u"INSERT INTO NOTES (ID, L) VALUES (1, '" + long_text + u"')");

    const std::vector<std::vector<ole_variant>> docs = read_rows(*open(u"DOCS"));
    ASSERT_EQ(docs.size(), 2u);
    // Empty LOBs are values, not NULLs.
    using texts = std::vector<std::string>;
    EXPECT_EQ(typed(docs[0]), (texts{"i4 1", "''", "0x", "'" + tk_to_utf8(national) + "'"}));
    EXPECT_EQ(typed(docs[1]), (texts{"i4 2", "null", "null", "null"}));

    const std::unique_ptr<ora_table> notes = open(u"NOTES");
    ASSERT_FALSE(notes->is_eof());
    EXPECT_EQ(notes->get_item()->field(1).wstring(), long_text);
}

TEST_F(ora_table_test, intervals_and_national_text_of_a_single_byte_database_read_back_whole) {
    // The longest interval texts fit the buffers a free select fetches them into (a table's
    // reading leaves such columns out).
    sql(u"CREATE TABLE SPANS (ID NUMBER(5), YM INTERVAL YEAR(9) TO MONTH, "
        u"DS INTERVAL DAY(9) TO SECOND(9))");
    sql(u"INSERT INTO SPANS VALUES (1, '-123456789-11', '-999999999 23:59:59.999999999')");
    sql(u"INSERT INTO SPANS VALUES (2, '1-2', '3 4:05:06.5')");
    const std::vector<std::vector<ole_variant>> spans =
        read_rows(*db_->get_table(u"Q", u"SELECT ID, YM, DS FROM SPANS ORDER BY ID", 0));
    ASSERT_EQ(spans.size(), 2u);
    ASSERT_EQ(spans[0].size(), 3u);
    EXPECT_EQ(spans[0][1].wstring(), u"-123456789-11");
    EXPECT_EQ(spans[0][2].wstring(), u"-999999999 23:59:59.999999999");
    EXPECT_EQ(spans[1][1].wstring(), u"+000000001-02");
    EXPECT_EQ(spans[1][2].wstring(), u"+000000003 04:05:06.500000000");

    // National columns are fetched in the national form: what the single-byte database
    // character set lacks still arrives.
    admin("create-service W1252T --charset WE8MSWIN1252");
    admin("create-user W1252T " + user_ + " pw");
    db_ = engine_->open_db(u"localhost", wide(user_), u"pw", u"1521", u"W1252T");
    const std::u16string national = u"Жук 日本 𝄞";
    sql(u"CREATE TABLE NATS (ID NUMBER(5), NV NVARCHAR2(20), NC NCHAR(12), NL NCLOB)");
    sql(u"INSERT INTO NATS VALUES (1, N'" + national + u"', N'" + national + u"', N'" + national +
        u"')");
    const std::vector<std::vector<ole_variant>> nats = read_rows(*open(u"NATS"));
    ASSERT_EQ(nats.size(), 1u);
    EXPECT_EQ(nats[0][1].wstring(), national);
    EXPECT_EQ(nats[0][2].wstring().rfind(national, 0), 0u);  // NCHAR, then its padding
    EXPECT_EQ(nats[0][3].wstring(), national);
}

TEST_F(ora_table_test, free_selects_fetch_each_row_once) {
    sql(u"CREATE TABLE T (ID NUMBER(5), NAME NVARCHAR2(10))");
    sql(u"INSERT INTO T VALUES (1, 'a')");
    sql(u"INSERT INTO T VALUES (2, 'b')");
    std::unique_ptr<udb_recordset> results =
        db_->get_table(u"Q", u"SELECT ROWID, ID * 2 FROM T WHERE ID = 2", 0);
    EXPECT_TRUE(results->is_query());
    // is_eof twice does not skip the row it fetched.
    ASSERT_FALSE(results->is_eof());
    ASSERT_FALSE(results->is_eof());
    const udb_record* row = results->get_item();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(text_of(row->field(0)).size(), 18u);
    EXPECT_EQ(row->field(1).r8(), 4.0);
    EXPECT_TRUE(results->is_eof());
    EXPECT_EQ(results->get_item(), nullptr);

    // get_item without is_eof fetches by itself.
    std::unique_ptr<udb_recordset> all =
        db_->get_table(u"ALL", u"SELECT NAME FROM T ORDER BY ID", 0);
    EXPECT_EQ(all->get_item()->field(0).wstring(), u"a");
    EXPECT_EQ(all->get_item()->field(0).wstring(), u"b");
    EXPECT_EQ(all->get_item(), nullptr);
    EXPECT_EQ(
        catch_ora_error([&] { db_->get_table(u"BAD", u"SELECT NOPE FROM T", 0); }).ora_number(),
        904);
}

TEST_F(ora_table_test, numbers_beyond_64_bits_stay_exact_and_those_a_decimal_cannot_hold_raise) {
    sql(u"CREATE TABLE NUMS (ID NUMBER(5), BIG NUMBER(20), X NUMBER(38,30))");
    sql(u"INSERT INTO NUMS VALUES (1, -42, 0.25)");
    sql(u"INSERT INTO NUMS VALUES (2, 18446744073709551616, NULL)");
    sql(u"INSERT INTO NUMS VALUES (3, NULL, 0.000000000000000000000000000001)");
    std::unique_ptr<udb_recordset> server_text =
        db_->get_table(u"Q", u"SELECT BIG || '' FROM NUMS WHERE ID = 2", 0);
    const std::u16string expected = text_of(server_text->get_item()->field(0));
    const std::unique_ptr<ora_table> table = open(u"NUMS");
    EXPECT_EQ(table->schema.column(1).vartype, VT_I8);
    EXPECT_EQ(table->schema.column(2).vartype, VT_DECIMAL);
    ASSERT_FALSE(table->is_eof());
    const udb_record* first = table->get_item();
    ASSERT_EQ(first->field(1).vt(), VT_I8);
    EXPECT_EQ(first->field(1).i8(), -42);
    EXPECT_EQ(ole_dec_to_string(first->field(2).dec()), "0.25");
    table->next();
    ASSERT_FALSE(table->is_eof());
    const udb_field& big = table->get_item()->field(1);
    ASSERT_EQ(big.vt(), VT_DECIMAL);
    EXPECT_EQ(tk_a2w(ole_dec_to_string(big.dec())), expected);
    table->next();
    ASSERT_FALSE(table->is_eof());
    // Thirty decimals would come back as 0.
    try {
        table->get_item();
        ADD_FAILURE() << "no exception";
    } catch (const ora_exception&) {
        ADD_FAILURE() << "not a server error";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 0);
        EXPECT_NE(e.message.find("Column 'X'"), std::string::npos) << e.message;
    }
}
