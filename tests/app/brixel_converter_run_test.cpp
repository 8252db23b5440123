// The conversion run end to end: DBF folders of every layout converted into the stand-in through
// the client library path, values compared with what the DBF reader decodes, the statements
// sent, the existing-table policies, and every way a table or a record can fail.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/converter_run_fixture.hpp"
#include "dbf/dbf_header.hpp"
#include "dbf/dbf_record.hpp"
#include "fuzz/dbf_fuzz_cases.hpp"
#include "ora/ora_standin_fixture.hpp"
#include "udb/ole_decimal.hpp"

namespace {

// A value as text that both sides must agree on. Oracle keeps no empty text: an empty text and
// a missing value are both NULL. Numbers compare by their exact decimal value, floating ones by
// their bits. Two readings are coarser because of what the other side is: a single-precision
// source is compared in its own 7 digits (its text in the file is what the server receives), and
// a NUMBER without precision reads back as a double.
std::string canonical(const ole_variant& v, const ole_variant& other) {
    const bool b_single = v.vt() == VT_R4 || other.vt() == VT_R4;
    const bool b_double = v.vt() == VT_R8 || other.vt() == VT_R8;
    if ((b_single || b_double) && v.vt() != VT_EMPTY && v.vt() != VT_NULL &&
        other.vt() != VT_EMPTY && other.vt() != VT_NULL) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, b_single ? "num:%.7g" : "num:%.17g", v.to_double());
        return buffer;
    }
    switch (v.vt()) {
        case VT_EMPTY:
        case VT_NULL:
            return "null";
        case VT_BSTR:
            return v.wstring().empty() ? "null" : "text:" + tk_w2a(v.wstring());
        case VT_DATE: {
            const t_systemtime& t = v.date();
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "date:%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.milliseconds);
            return buffer;
        }
        case VT_BOOL:
            return v.to_bool() ? "num:1" : "num:0";
        case VT_BLOB:
        case VT_ARRAY | VT_UI1: {
            if (v.bytes().empty()) {
                return "null";
            }
            std::string hex = "bytes:";
            for (const unsigned char b : v.bytes()) {
                char two[3];
                std::snprintf(two, sizeof two, "%02X", b);
                hex += two;
            }
            return hex;
        }
        default: {
            ole_variant d = v;
            d.change_type(VT_DECIMAL);
            return "num:" + ole_dec_to_string(d.dec());
        }
    }
}

std::string long_text(size_t length, const std::string& unit) {
    std::string out;
    while (out.size() < length) {
        out += unit;
    }
    out.resize(length);
    return out;
}

}  // namespace

class brixel_converter_run : public converter_run_test {
  protected:
    // Every source record (or every one not deleted) equals its destination row, in order.
    void expect_same_rows(const std::u16string& source, const std::u16string& destination,
                          bool b_skip_deleted = false) {
        const auto from = source_rows(source);
        const auto to = rows(destination);
        size_t row = 0;
        for (const source_record& record : from) {
            if (b_skip_deleted && record.b_deleted) {
                continue;
            }
            ASSERT_LT(row, to.size()) << tk_w2a(destination) << ": too few rows";
            ASSERT_EQ(record.values.size(), to[row].size());
            for (size_t i = 0; i < record.values.size(); ++i) {
                EXPECT_EQ(canonical(record.values[i], to[row][i]),
                          canonical(to[row][i], record.values[i]))
                    << tk_w2a(destination) << " row " << row + 1 << " column " << i + 1;
            }
            ++row;
        }
        EXPECT_EQ(row, to.size()) << tk_w2a(destination) << ": rows that came from nowhere";
    }
};

TEST_F(brixel_converter_run, every_layout_and_field_type_arrives_intact) {
    // Texts are written in each table's code page.
    const std::string over_2000 = long_text(4500,
                                            "Gr\xfc\xdf"
                                            "e aus K\xf6ln, \xe9lan, na\xefve; ");
    dbf_writer d3(dbf_ver::dbase3_memo);
    d3.codepage(0x03)
        .field("NAME", 'C', 20)
        .field("PRICE", 'N', 10, 2)
        .field("QTY", 'N', 5)
        .field("SINCE", 'D', 8)
        .field("ACTIVE", 'L', 1)
        .field("NOTES", 'M', 10);
    d3.add_record({dbf_cell::raw("Caf\xe9 M\xfcller"), dbf_cell::number(1234.5),
                   dbf_cell::integer(7), dbf_cell::date(1999, 12, 31), dbf_cell::logical(true),
                   dbf_cell::memo("\xdc"
                                  "bergr\xf6\xdf"
                                  "e")});
    d3.add_record({dbf_cell::blank(), dbf_cell::blank(), dbf_cell::blank(), dbf_cell::blank(),
                   dbf_cell::logical_char('?'), dbf_cell::blank()});
    d3.add_record({dbf_cell::raw("Zo\xeb"), dbf_cell::number(-0.01), dbf_cell::integer(-9999),
                   dbf_cell::date(2024, 2, 29), dbf_cell::logical(false),
                   dbf_cell::memo(over_2000)});
    write(d3, "customers.dbf");

    dbf_writer d4(dbf_ver::dbase4_memo);
    d4.codepage(0x65)  // cp866
        .field("CITY", 'C', 30)
        .field("RATE", 'F', 12, 4)
        .field("MEMO", 'M', 10);
    d4.add_record({dbf_cell::raw("\x8c\xae\xe1\xaa\xa2\xa0"), dbf_cell::number(3.1416),
                   dbf_cell::memo("\x8f\xe0\xa8\xa2\xa5\xe2")});
    write(d4, "cities.dbf");

    dbf_writer fox(dbf_ver::foxpro2_memo);
    fox.codepage(0xC8)  // cp1250
        .field("ITEM", 'C', 15)
        .field("PICTURE", 'G', 10)
        .field("WEIGHT", 'N', 8, 3);
    fox.add_record({dbf_cell::raw("\x8akoda \xe8\xe1st"), dbf_cell::memo_typed("\x01\x02\xff", 0),
                    dbf_cell::number(12.5)});
    write(fox, "parts.dbf");

    dbf_writer vfp(dbf_ver::vfp);
    vfp.codepage(0x03)
        .field("ID", 'I', 4)
        .field("AMOUNT", 'Y', 8)
        .field("STAMP", 'T', 8)
        .field("RATIO", 'B', 8, 4)
        .field("BODY", 'M', 4)
        .field("RAWMEMO", 'M', 4, 0, dbf_vfp_flag::binary);
    vfp.add_record({dbf_cell::integer(-2147483647), dbf_cell::currency(-922337203685477LL),
                    dbf_cell::datetime(2016, 12, 31, 23, 59, 59), dbf_cell::floating(0.1),
                    dbf_cell::memo(long_text(2100, "x'y")),
                    dbf_cell::memo(std::string_view("\x00\x10\x27\xff", 4))});
    vfp.add_record({dbf_cell::integer(0), dbf_cell::currency(0), dbf_cell::blank(),
                    dbf_cell::floating(-1.5e-5), dbf_cell::blank(), dbf_cell::blank()});
    write(vfp, "ledger.dbf");

    dbf_writer d7(dbf_ver::dbase7);
    d7.field("SEQ", 'I', 4).field("SCORE", 'O', 8).field("AT", '@', 8);
    d7.add_record(
        {dbf_cell::integer(42), dbf_cell::floating(2.5), dbf_cell::datetime(2001, 2, 3, 4, 5, 6)});
    write(d7, "scores.dbf");

    dbf_writer fb(dbf_ver::foxbase);
    fb.field("CODE", 'C', 4).field("N", 'N', 3);
    fb.add_record({dbf_cell::text("A1"), dbf_cell::integer(1)});
    write(fb, "codes.dbf");

    const ora_statement_log log;
    run({u"customers", u"cities", u"parts", u"ledger", u"scores", u"codes"});
    EXPECT_TRUE(ui_.all_errors.empty()) << ui_.all_errors.front();

    // Column types as table creation derives them from the DBF fields.
    const std::vector<std::string> creates = log.starting_with("CREATE TABLE");
    ASSERT_EQ(creates.size(), 6u);
    // N gets its length plus its decimals as precision, F is a single-precision number, T a
    // time stamp with fractions, memo texts large objects.
    EXPECT_EQ(creates[0],
              "CREATE TABLE \"CUSTOMERS\" (\"NAME\" NVARCHAR2(20) , \"PRICE\" NUMBER(12,2), "
              "\"QTY\" NUMBER(11,0), \"SINCE\" DATE, \"ACTIVE\" NUMBER(3,0), \"NOTES\" CLOB)");
    EXPECT_EQ(creates[1],
              "CREATE TABLE \"CITIES\" (\"CITY\" NVARCHAR2(30) , \"RATE\" NUMBER, \"MEMO\" CLOB)");
    EXPECT_EQ(creates[3],
              "CREATE TABLE \"LEDGER\" (\"ID\" NUMBER(11,0), \"AMOUNT\" NUMBER, "
              "\"STAMP\" TIMESTAMP, \"RATIO\" NUMBER, \"BODY\" CLOB, \"RAWMEMO\" CLOB)");

    expect_same_rows(u"customers", u"CUSTOMERS");
    expect_same_rows(u"cities", u"CITIES");
    expect_same_rows(u"parts", u"PARTS");
    expect_same_rows(u"ledger", u"LEDGER");
    expect_same_rows(u"scores", u"SCORES");
    expect_same_rows(u"codes", u"CODES");

    // The texts themselves, in case both sides decoded them the same wrong way.
    const auto customers = rows(u"CUSTOMERS");
    EXPECT_EQ(customers[0][0].wstring(), u"Café Müller");
    EXPECT_EQ(customers[2][5].wstring(), tk_ansi_to_ucs2(over_2000, 1252));
    EXPECT_EQ(rows(u"CITIES")[0][0].wstring(), u"Москва");
    EXPECT_EQ(rows(u"PARTS")[0][0].wstring(), u"Škoda část");

    const auto reports = converter().reports();
    ASSERT_EQ(reports.size(), 6u);
    EXPECT_EQ(reports[0].inserted, 3u);
    EXPECT_EQ(reports[3].records_read, 2u);
    for (const t_table_report& r : reports) {
        EXPECT_EQ(r.result, t_table_report::outcome::converted) << tk_w2a(r.table);
        EXPECT_EQ(r.inserted, r.records) << tk_w2a(r.table);
    }
}

TEST_F(brixel_converter_run, logical_values_with_and_without_the_rule) {
    dbf_writer t(dbf_ver::dbase3);
    t.field("FLAG", 'L', 1);
    t.add_record({dbf_cell::logical(true)});
    t.add_record({dbf_cell::logical(false)});
    t.add_record({dbf_cell::logical_char('?')});
    write(t, "flags.dbf");
    const ora_statement_log log;
    converter().bool_dbf = true;
    run({u"flags"});
    EXPECT_EQ(log.starting_with("CREATE TABLE"),
              std::vector<std::string>{"CREATE TABLE \"FLAGS\" (\"FLAG\" CHAR(1))"});
    const auto as_is = rows(u"FLAGS");
    ASSERT_EQ(as_is.size(), 3u);
    EXPECT_EQ(as_is[0][0].wstring(), u"T");
    EXPECT_EQ(as_is[1][0].wstring(), u"F");
    EXPECT_EQ(as_is[2][0].wstring(), u"F");

    // Without the rule a logical is a number; the table is overwritten.
    restart();
    converter().bool_dbf = false;
    run({u"flags"});
    const auto numbers = rows(u"FLAGS");
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_TRUE(numbers[0][0].to_bool());
    EXPECT_FALSE(numbers[1][0].to_bool());
}

TEST_F(brixel_converter_run, existing_table_policies) {
    dbf_writer t(dbf_ver::dbase3);
    t.field("ID", 'N', 5).field("NAME", 'C', 10);
    t.add_record({dbf_cell::integer(1), dbf_cell::text("one")});
    t.add_record({dbf_cell::integer(2), dbf_cell::text("two")});
    write(t, "items.dbf");
    dbf_writer other(dbf_ver::dbase3);
    other.field("ID", 'C', 3);
    other.add_record({dbf_cell::text("x")});
    write(other, "odd.dbf");

    // Skip: the existing table is left as it is and counts as done.
    sql(u"CREATE TABLE ITEMS (KEEP NUMBER(5,0))");
    sql(u"INSERT INTO ITEMS VALUES (9)");
    converter().mode = brixel_converter::mode_skip;
    run({u"items"});
    EXPECT_EQ(rows(u"ITEMS").size(), 1u);
    EXPECT_EQ(converter().reports()[0].result, t_table_report::outcome::skipped);

    // Overwrite: dropped and created again from the source.
    restart();
    converter().mode = brixel_converter::mode_overwrite;
    run({u"items"});
    expect_same_rows(u"items", u"ITEMS");

    // Merge into a conforming table appends; into a different one the table is refused and
    // the run goes on with the next table.
    restart();
    sql(u"CREATE TABLE ODD (ID NUMBER(5,0), NAME NVARCHAR2(10))");
    converter().mode = brixel_converter::mode_merge;
    run({u"odd", u"items"});
    EXPECT_EQ(rows(u"ITEMS").size(), 4u);
    EXPECT_TRUE(rows(u"ODD").empty());
    ASSERT_EQ(ui_.all_errors.size(), 1u);
    EXPECT_EQ(ui_.all_errors[0],
              "odd: The structure of data source does not conform to the destination table.");
    EXPECT_EQ(converter().reports()[0].result, t_table_report::outcome::failed);

    // With logical values as they are, the structures are not compared.
    restart();
    ui_.all_errors.clear();
    converter().mode = brixel_converter::mode_merge;
    converter().bool_dbf = true;
    run({u"items"});
    EXPECT_EQ(rows(u"ITEMS").size(), 6u);
    EXPECT_TRUE(ui_.all_errors.empty());
}

TEST_F(brixel_converter_run, definitions_only_deleted_records_and_lower_case_names) {
    dbf_writer t(dbf_ver::dbase3);
    t.field("ID", 'N', 5);
    t.add_record({dbf_cell::integer(1)});
    t.add_record({dbf_cell::integer(2)}, true);
    t.add_record({dbf_cell::integer(3)});
    write(t, "Mixed.dbf");
    dbf_writer empty(dbf_ver::dbase3);
    empty.field("ID", 'N', 5);
    write(empty, "empty.dbf");

    converter().tab_def = true;
    run({u"mixed", u"empty"});
    EXPECT_TRUE(exists(u"MIXED"));
    EXPECT_TRUE(rows(u"MIXED").empty());
    EXPECT_TRUE(exists(u"EMPTY"));

    restart();
    converter().skip_del = true;
    run({u"mixed"});
    expect_same_rows(u"mixed", u"MIXED", true);
    const t_table_report report = converter().reports()[0];
    EXPECT_EQ(report.records_read, 3u);
    EXPECT_EQ(report.skipped_deleted, 1u);
    EXPECT_EQ(report.inserted, 2u);

    // Deleted records are converted like the others unless asked; names keep their case.
    std::filesystem::copy_file(folder_ / "Mixed.dbf", folder_ / "lower.dbf");
    restart();
    converter().uppercase = false;
    run({u"lower"});
    EXPECT_TRUE(ui_.all_errors.empty()) << ui_.all_errors.front();
    EXPECT_EQ(converter().ora_base->get_tables(),
              (std::vector<std::u16string>{u"EMPTY", u"MIXED", u"lower"}));
    expect_same_rows(u"lower", u"lower");
}

// A table with a primary key, merged from a DBF table whose IDs repeat: the server refuses the
// repeated ones.
class brixel_converter_rejects : public brixel_converter_run {
  protected:
    // The destination is the name in upper case, the DBF file the name as given.
    void keyed_table(const std::string& name, const std::vector<int>& ids) {
        sql(u"CREATE TABLE " + tk_a2w(name) + u" (ID NUMBER(5,0) PRIMARY KEY)");
        dbf_writer t(dbf_ver::dbase3);
        t.field("ID", 'N', 5);
        for (const int id : ids) {
            t.add_record({dbf_cell::integer(id)});
        }
        write(t, name + ".dbf");
        converter().mode = brixel_converter::mode_merge;
    }
};

// Row by row: Continue at a refused record costs only that record; Abort, or a stop asked while
// the question is open, ends the run before the next record and keeps what was loaded.
TEST_F(brixel_converter_rejects, a_refused_record_continued_aborted_or_stopped) {
    using outcome = t_table_report::outcome;
    struct answer_case {
        std::string table;
        bool b_continue;
        bool b_stop;
        std::vector<std::u16string> ids;  // what the table holds after the run
        outcome next;                     // the table after it
    };
    const answer_case cases[] = {{"kept", true, false, {u"1", u"3", u"4"}, outcome::converted},
                                 {"aborted", false, false, {u"1"}, outcome::not_reached},
                                 {"stopped", true, true, {u"1"}, outcome::not_reached}};
    for (const answer_case& c : cases) {
        SCOPED_TRACE(c.table);
        restart();
        ui_.log.clear();
        ui_.all_errors.clear();
        const std::u16string name = tk_a2w(c.table);
        keyed_table(c.table, {1, 1, 3, 4});
        keyed_table(c.table + "_next", {1});
        ui_.continue_script = {{c.b_continue, false}};
        if (c.b_stop) {
            ui_.on_continue = [this] { converter().request_stop(); };
        }
        converter().load.method = ora_load_method::row;
        run({name, name + u"_next"});
        ui_.on_continue = nullptr;
        ASSERT_EQ(questions(), 1u);
        EXPECT_EQ(ui_.log[0].text.rfind(c.table + ", record #2: ", 0), 0u) << ui_.log[0].text;
        EXPECT_NE(ui_.log[0].text.find("Duplicate field values"), std::string::npos);
        std::vector<std::u16string> ids;
        std::string upper = c.table;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        for (const auto& row : rows(tk_a2w(upper))) {
            ids.push_back(row[0].to_wstring());
        }
        EXPECT_EQ(ids, c.ids);
        const auto reports = converter().reports();
        EXPECT_EQ(reports[0].records_read, c.ids.size() == 1 ? 2u : 4u);
        EXPECT_EQ(reports[0].inserted, c.ids.size());
        EXPECT_EQ(reports[0].rejected, 1u);
        EXPECT_EQ(reports[0].result, c.ids.size() == 1 ? outcome::failed : outcome::converted);
        EXPECT_EQ(reports[1].result, c.next);
        EXPECT_EQ(ui_.all_errors.size(), 1u);
    }
}

TEST_F(brixel_converter_rejects, do_not_show_again_and_the_listed_error_limit) {
    std::vector<int> ids(27, 1);
    ids.back() = 2;
    keyed_table("bad", ids);
    ui_.continue_script.push_back({true, true});
    run({u"bad"});
    EXPECT_EQ(questions(), 1u);
    EXPECT_EQ(ui_.all_errors.size(), 25u);
    EXPECT_EQ(ui_.errors.size(), error_handler::max_listed_errors);
    EXPECT_EQ(rows(u"BAD").size(), 2u);
    EXPECT_EQ(converter().reports()[0].rejected, 25u);
}

// Numbers that do not arrive as they are in the file, without any error: an F field is read as a
// single-precision number, so digits past the seventh are gone; whole numbers stop at the 64-bit
// range and unreadable ones become 0; Oracle's NUMBER ends below 1e126, so a larger double is
// written as NULL. The test pins these losses down.
TEST_F(brixel_converter_run, numbers_the_run_cannot_keep) {
    dbf_writer f(dbf_ver::dbase4_memo);
    f.field("RATE", 'F', 20, 4);
    f.add_record({dbf_cell::number(12345678.1234)});
    write(f, "rates.dbf");
    run({u"rates"});
    EXPECT_EQ(rows(u"RATES")[0][0].to_double(), 12345680.0);
    restart();

    // Whole numbers are read as far as their digits go and saturate at the 64-bit limit; a field
    // that a DBF program filled with asterisks (a value too wide for it) reads as 0.
    dbf_writer n(dbf_ver::dbase3);
    n.field("ID", 'N', 19).field("QTY", 'N', 5);
    n.add_record({dbf_cell::right("9999999999999999999"), dbf_cell::right("*****")});
    write(n, "wide.dbf");
    run({u"wide"});
    const auto wide = rows(u"WIDE");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0][0].to_wstring(), u"9223372036854775807");
    EXPECT_EQ(wide[0][1].to_wstring(), u"0");
    restart();

    dbf_writer t(dbf_ver::vfp);
    t.field("ID", 'I', 4).field("BIG", 'B', 8, 2);
    t.add_record({dbf_cell::integer(1), dbf_cell::floating(1e130)});
    t.add_record({dbf_cell::integer(2), dbf_cell::floating(-1e126)});
    write(t, "big.dbf");
    run({u"big"});
    EXPECT_TRUE(ui_.all_errors.empty());
    const auto read = rows(u"BIG");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0][1].vt(), VT_EMPTY);
    EXPECT_EQ(read[1][1].to_double(), -1e126);
}

// A table another session holds is not dropped, and the run goes on with the next table. (The
// stand-in locks the whole schema for another writer, so that table meets the busy server too,
// when it is created.)
TEST_F(brixel_converter_run, a_table_busy_in_another_session_is_not_dropped) {
    dbf_writer t(dbf_ver::dbase3);
    t.field("ID", 'N', 3);
    t.add_record({dbf_cell::integer(1)});
    write(t, "busy.dbf");
    write(t, "free.dbf");
    sql(u"CREATE TABLE BUSY (ID NUMBER(3,0))");
    {
        ora_other_session other(u"//localhost:1521/DB", wide(user_), u"pw");
        other.execute(u"INSERT INTO BUSY VALUES (5)");
        run({u"busy", u"free"});
        other.commit();
    }
    ASSERT_EQ(ui_.all_errors.size(), 2u);
    EXPECT_EQ(ui_.all_errors[0],
              "busy: Cannot delete table because it is busy with another process");
    EXPECT_EQ(ui_.all_errors[1].rfind("free: ", 0), 0u) << ui_.all_errors[1];
    EXPECT_EQ(rows(u"BUSY").size(), 1u);
    EXPECT_EQ(converter().reports()[0].result, t_table_report::outcome::failed);
    EXPECT_EQ(converter().reports()[1].result, t_table_report::outcome::failed);
}

TEST_F(brixel_converter_run, no_table_selected_finishes_at_once) {
    run({});
    EXPECT_TRUE(converter().reports().empty());
    EXPECT_EQ(converter().percent(), 0u);
}

TEST_F(brixel_converter_run, a_custom_type_mapping_shapes_the_table_and_its_records) {
    dbf_writer t(dbf_ver::dbase3);
    t.field("CODE", 'C', 10)
        .field("NAME", 'C', 20)
        .field("PRICE", 'N', 8, 2)
        .field("NOTE", 'C', 30);
    t.add_record({dbf_cell::text("100"), dbf_cell::text("Lamp"), dbf_cell::number(12.5),
                  dbf_cell::text("x")});
    t.add_record(
        {dbf_cell::text("A12"), dbf_cell::text("Bad"), dbf_cell::number(1), dbf_cell::text("y")});
    t.add_record({dbf_cell::text("300"), dbf_cell::text("Desk"), dbf_cell::number(99.99),
                  dbf_cell::text("z")});
    write(t, "goods.dbf");

    brixel_converter& c = converter();
    udb_table_mutator& goods = c.get_table_mutator(u"goods", u"PRODUCTS");
    t_field_description code;
    code.type = u"NUMBER(10,0)";
    code.precision = 10;
    goods.update_field(u"CODE", u"PRODUCT_CODE", code);
    t_field_description name;
    name.type = u"NVARCHAR2(40)";
    name.length = 40;
    goods.update_field(u"NAME", u"TITLE", name);
    t_field_description note;
    note.type = u"NVARCHAR2(30)";
    note.length = 30;
    goods.update_field(u"NOTE", u"NOTE", note);
    goods.find_field(u"NOTE")->status = udb_field_mutator::status_deleted;

    const ora_statement_log log;
    run({u"goods"});
    EXPECT_EQ(log.starting_with("CREATE TABLE"),
              std::vector<std::string>{"CREATE TABLE \"PRODUCTS\" (\"PRODUCT_CODE\" NUMBER(10,0), "
                                       "\"TITLE\" NVARCHAR2(40), \"PRICE\" NUMBER(10,2))"});
    ASSERT_EQ(ui_.all_errors.size(), 1u);
    EXPECT_EQ(ui_.all_errors[0],
              "goods, record #2: Data conversion is not supported for given type mapping");
    const auto read = rows(u"PRODUCTS");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0][0].to_wstring(), u"100");
    EXPECT_EQ(read[0][1].wstring(), u"Lamp");
    EXPECT_EQ(read[1][0].to_wstring(), u"300");
    EXPECT_EQ(canonical(read[1][2], read[1][2]), "num:99.99");
}

TEST_F(brixel_converter_run, the_folder_tables_and_a_schema_outside_a_run) {
    dbf_writer t(dbf_ver::dbase3);
    t.field("ID", 'N', 3).field("NAME", 'C', 12);
    write(t, "beta.dbf");
    write(t, "alpha.dbf");
    std::vector<std::u16string> tables;
    converter().get_all_tables(tables);
    EXPECT_EQ(tables, (std::vector<std::u16string>{u"alpha", u"beta"}));
    const udb_schema schema = converter().get_schema(u"beta");
    ASSERT_EQ(schema.size(), 2u);
    EXPECT_EQ(schema[1]->name, u"NAME");
    EXPECT_EQ(schema[1]->size, 12u);
    EXPECT_THROW(converter().get_schema(u"gamma"), tk_mail_assertion);
}

// A damaged table costs only itself: every table of the folder is reached, the good ones arrive
// whole, the readable records of a file cut short arrive with the shortfall told, and each table
// that cannot be read is reported by name and cause.
TEST_F(brixel_converter_run, damaged_tables_cost_only_themselves) {
    const auto ids = [](dbf_writer& t, int count) {
        for (int i = 1; i <= count; ++i) {
            t.add_record({dbf_cell::integer(i)});
        }
    };
    dbf_writer good(dbf_ver::dbase3);
    good.field("ID", 'N', 5);
    ids(good, 2);
    write(good, "good1.dbf");
    write(good, "good2.dbf");
    dbf_writer announced(dbf_ver::dbase3);  // the header counts seven records, three follow
    announced.field("ID", 'N', 5);
    ids(announced, 3);
    announced.damage().record_count = 7;
    write(announced, "announced.dbf");
    dbf_writer cut(dbf_ver::dbase3);  // the last record cut off in the middle
    cut.field("ID", 'N', 5);
    ids(cut, 4);
    const std::filesystem::path cut_file = cut.write(folder_, "cut.dbf").dbf;
    std::filesystem::resize_file(cut_file, std::filesystem::file_size(cut_file) - 3);
    dbf_writer no_length(dbf_ver::dbase3);
    no_length.field("ID", 'N', 5).field("EMPTY", 'N', 0);
    write(no_length, "nolength.dbf");
    dbf_writer no_fields(dbf_ver::foxbase);
    no_fields.damage().record_length = 2;
    write(no_fields, "nofields.dbf");
    dbf_writer memos(dbf_ver::dbase3_memo);  // the second memo's block is past the memo file
    memos.field("ID", 'N', 5).field("NOTE", 'M', 10);
    memos.add_record({dbf_cell::integer(1), dbf_cell::memo("kept")});
    memos.add_record({dbf_cell::integer(2), dbf_cell::memo_block(999)});
    write(memos, "memos.dbf");
    dbf_writer lost(dbf_ver::dbase3_memo);  // the memo file is gone: told once, memos empty
    lost.field("ID", 'N', 5).field("NOTE", 'M', 10);
    lost.add_record({dbf_cell::integer(1), dbf_cell::memo("gone")});
    lost.add_record({dbf_cell::integer(2), dbf_cell::memo("also gone")});
    lost.damage().no_memo_file = true;
    write(lost, "lost.dbf");

    run({u"good1", u"announced", u"cut", u"memos", u"lost", u"nolength", u"nofields", u"gone",
         u"good2"});
    using outcome = t_table_report::outcome;
    const auto reports = converter().reports();
    const std::vector<outcome> expected = {
        outcome::converted, outcome::converted, outcome::converted,
        outcome::converted, outcome::converted, outcome::failed,
        outcome::failed,    outcome::failed,    outcome::converted};
    ASSERT_EQ(reports.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(reports[i].result, expected[i]) << tk_w2a(reports[i].table);
    }
    expect_same_rows(u"good1", u"GOOD1");
    expect_same_rows(u"good2", u"GOOD2");
    const auto lost_rows = rows(u"LOST");
    ASSERT_EQ(lost_rows.size(), 2u);
    EXPECT_EQ(lost_rows[1][0].to_wstring(), u"2");
    EXPECT_EQ(canonical(lost_rows[1][1], lost_rows[1][1]), "null");
    EXPECT_EQ(rows(u"ANNOUNCED").size(), 3u);
    EXPECT_EQ(reports[1].records_announced, 7u);
    EXPECT_EQ(rows(u"CUT").size(), 3u);
    EXPECT_EQ(reports[2].records, 3u);
    const auto notes = rows(u"MEMOS");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0][1].wstring(), u"kept");
    EXPECT_EQ(canonical(notes[1][1], notes[1][1]), "null");
    const std::vector<std::string> errors = {
        "announced: The file holds 3 of the 7 records its header announces; the complete "
        "records are loaded",
        "cut: The file holds 3 of the 4 records its header announces; the complete records "
        "are loaded",
        "memos, record #2: Failed to read MEMO field NOTE: its block is outside the memo file; "
        "loaded as empty",
        folder_.string() + "/lost.dbf: Memo file not found",
        "nolength: File does not comply with DBF format",
        "nofields: The table has no fields: there is no column to create",
        "gone: Table file not found: " + folder_.string() + "/gone.dbf",
    };
    EXPECT_EQ(ui_.all_errors, errors);
}

// No text from a file name, a mapping or a field changes a statement: every destination name
// follows the name rules, and no two tables or columns of a run share a name.
TEST_F(brixel_converter_run, names_are_safe_and_distinct) {
    dbf_writer lower(dbf_ver::dbase3);
    lower.field("ID", 'N', 5).add_record({dbf_cell::integer(1)});
    write(lower, "orders.dbf");
    dbf_writer upper(dbf_ver::dbase3);
    upper.field("ID", 'N', 5).add_record({dbf_cell::integer(2)}).add_record({dbf_cell::integer(3)});
    write(upper, "ORDERS.DBF");
    dbf_writer twice(dbf_ver::dbase3);  // one name for a text and a number field
    twice.field("Point_ID", 'C', 4).field("Point_ID", 'N', 5);
    twice.add_record({dbf_cell::text("a"), dbf_cell::integer(7)});
    write(twice, "twice.dbf");
    dbf_writer crafted(dbf_ver::dbase3);
    crafted.field("ID", 'N', 5).add_record({dbf_cell::integer(4)});
    write(crafted, "x\" AS SELECT 1 FROM dual --.dbf");
    write(crafted, "o'brien.dbf");

    std::vector<std::u16string> tables;
    converter().get_all_tables(tables);
    ASSERT_EQ(tables.size(), 5u);
    const ora_statement_log log;
    run(tables);
    std::vector<std::string> destinations;
    for (const t_table_report& r : converter().reports()) {
        EXPECT_EQ(r.result, t_table_report::outcome::converted) << tk_w2a(r.table);
        EXPECT_EQ(r.inserted, r.records) << tk_w2a(r.table);
        destinations.push_back(tk_w2a(r.destination));
    }
    for (const std::string& statement : log.starting_with("CREATE TABLE")) {
        const size_t end = statement.find('"', 14);
        ASSERT_NE(end, std::string::npos) << statement;
        const std::string name = statement.substr(14, end - 14);
        EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$#"),
                  std::string::npos)
            << statement;
        EXPECT_EQ(statement.compare(end, 3, "\" ("), 0) << statement;
    }
    std::sort(destinations.begin(), destinations.end());
    EXPECT_EQ(std::adjacent_find(destinations.begin(), destinations.end()), destinations.end());
    size_t orders = 0;  // both order tables arrive whole, each in its own table
    for (const std::string& destination : destinations) {
        orders += destination.starts_with("ORDERS") ? rows(tk_a2w(destination)).size() : 0;
    }
    EXPECT_EQ(orders, 3u);
    const auto points = rows(u"TWICE");
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0][0].wstring(), u"a");
    EXPECT_EQ(points[0][1].to_wstring(), u"7");

    // Two tables a mapping sends to one destination: refused before anything is touched.
    restart();
    converter().get_table_mutator(u"twice", u"ONE");
    converter().get_table_mutator(u"orders", u"one");
    run({u"twice", u"orders"});
    ASSERT_EQ(ui_.all_errors.size(), 1u);
    EXPECT_NE(ui_.all_errors[0].find("both mapped to the destination table ONE"),
              std::string::npos);
    EXPECT_FALSE(exists(u"ONE"));
}

// Merging into a table whose memo columns are in another order: large objects find their
// columns by name, and a VARCHAR2 column longer than 2000 bytes gets its value inline.
TEST_F(brixel_converter_run, merged_values_find_their_columns_by_name) {
    dbf_writer t(dbf_ver::dbase3_memo);
    t.field("FIRST", 'M', 10).field("SECOND", 'M', 10).field("REMARK", 'C', 3000);
    t.add_record({dbf_cell::memo("one"), dbf_cell::memo("two"), dbf_cell::text("a remark")});
    write(t, "swapped.dbf");
    sql(u"CREATE TABLE SWAPPED (SECOND NCLOB, FIRST NCLOB, REMARK VARCHAR2(3000))");
    converter().mode = brixel_converter::mode_merge;
    run({u"swapped"});
    EXPECT_EQ(ui_.all_errors, std::vector<std::string>{});
    const auto read = rows(u"SWAPPED");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0][0].wstring(), u"two");
    EXPECT_EQ(read[0][1].wstring(), u"one");
    EXPECT_EQ(read[0][2].wstring(), u"a remark");
}

// Every table the DBF tests write, good ones and every kind of damage, in one folder: the run
// reaches each table, loads the good ones whole, and names each table that fails or loses a
// value in the error list.
TEST_F(brixel_converter_run, a_folder_of_every_damage_kind_is_reached_table_by_table) {
    // One table of each damage kind, and good tables of two layouts.
    std::set<std::string> kinds;
    for (const auto& [name, c] : dbf_fuzz_writer_cases()) {
        const std::string kind = name.substr(0, name.rfind('_'));
        const bool b_good = name == "types_03" || name == "types_30";
        if (c.user_ldid != 0 || (kind.starts_with("types") && !b_good) ||
            !kinds.insert(b_good ? name : kind).second) {
            continue;
        }
        std::ofstream(folder_ / (name + ".dbf"), std::ios::binary) << c.dbf;
        if (!c.memo.empty() && c.dbf.size() >= dbf_header::disk_size) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(c.dbf.data());
            const char* ext = dbf_memo_extension(dbf_memo_kind(dbf_header::parse(bytes), false));
            if (ext != nullptr) {
                std::ofstream(folder_ / (name + "." + ext), std::ios::binary) << c.memo;
            }
        }
    }
    std::vector<std::u16string> tables;
    converter().get_all_tables(tables);
    ASSERT_GT(tables.size(), 20u);
    run(tables);
    const auto named = [&](const std::string& table) {
        return std::any_of(ui_.all_errors.begin(), ui_.all_errors.end(), [&](const std::string& e) {
            return e.rfind(table + ":", 0) == 0 || e.rfind(table + ", record #", 0) == 0;
        });
    };
    for (const t_table_report& r : converter().reports()) {
        const std::string table = tk_w2a(r.table);
        SCOPED_TRACE(table);
        ASSERT_NE(r.result, t_table_report::outcome::not_reached);
        if (r.result == t_table_report::outcome::failed) {
            EXPECT_TRUE(named(table));
            continue;
        }
        EXPECT_EQ(r.inserted + r.rejected, r.records);
        EXPECT_EQ(rows(r.destination).size(), r.inserted);
        if (table.starts_with("types_")) {
            EXPECT_EQ(r.rejected, 0u);
            EXPECT_EQ(r.inserted, 2u);
        }
        if (r.rejected != 0 || r.records_announced != r.records) {
            EXPECT_TRUE(named(table));
        }
    }
}
