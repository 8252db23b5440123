// Exact values end to end: tables the test writer makes, converted into the stand-in with the
// exact setting, arrive as the file holds them (numbers digit for digit, NULL where the file
// says unknown), or the record fails with the field named; and verify tells a destination that
// was changed behind the converter's back.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/converter_run_fixture.hpp"
#include "app/verify_command.hpp"
#include "ora/ora_query_results.hpp"
#include "ora/ora_type.hpp"

namespace {

// A destination value as text: numbers as the server's decimal text, dates with milliseconds,
// bytes in hexadecimal, "NULL" for NULL and empty text.
std::string shown(const ole_variant& v) {
    switch (v.vt()) {
        case VT_EMPTY:
        case VT_NULL:
            return "NULL";
        case VT_DATE: {
            const t_systemtime& t = v.date();
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.milliseconds);
            return buffer;
        }
        case VT_BYTE_ARRAY: {
            std::string hex;
            char two[3];
            for (const unsigned char b : v.bytes()) {
                std::snprintf(two, sizeof two, "%02X", b);
                hex += two;
            }
            return hex.empty() ? "NULL" : hex;
        }
        case VT_BSTR:
            return v.wstring().empty() ? "NULL" : tk_w2a(v.wstring());
        default:
            return v.to_string();
    }
}

}  // namespace

class exact_values : public converter_run_test {
  protected:
    void run_exact(const std::vector<std::u16string>& tables) {
        converter().values = udb_values::exact;
        run(tables);
    }
    // Every row of a destination table as texts, numbers digit for digit.
    std::vector<std::vector<std::string>> shown_rows(const std::u16string& name) {
        ora_database& db = *converter().ora_base;
        db.get_tables();
        auto reader = db.get_table(name, 0);
        for (const auto& column : dynamic_cast<ora_query_results&>(*reader).columns()) {
            if (auto* number = dynamic_cast<ora_number*>(column.get())) {
                number->b_text = true;
            }
        }
        std::vector<std::vector<std::string>> out;
        for (const auto& row : read_rows(*reader)) {
            std::vector<std::string> texts;
            for (const ole_variant& v : row) {
                texts.push_back(shown(v));
            }
            out.push_back(std::move(texts));
        }
        return out;
    }
    using table = std::vector<std::vector<std::string>>;
};

TEST_F(exact_values, numbers_arrive_digit_for_digit_or_fail_their_record) {
    dbf_writer n(dbf_ver::dbase4_memo);
    n.field("BIG", 'N', 25)
        .field("RATE", 'F', 20, 9)
        .field("QTY", 'N', 5)
        .field("PRICE", 'N', 8, 2);
    n.add_record({dbf_cell::right("1234567890123456789012345"),
                  dbf_cell::right("99999999.999999999"), dbf_cell::right("*****"),
                  dbf_cell::blank()});
    n.add_record({dbf_cell::right("-000000000000000000000042"), dbf_cell::right("-0.500000000"),
                  dbf_cell::right("12"), dbf_cell::right("1.5")});
    // Exponents as some writers put them; a point moved right of the declared decimals.
    n.add_record({dbf_cell::right("1.5E+24"), dbf_cell::right("1.3945052E+02"),
                  dbf_cell::right("-0"), dbf_cell::right("123456.5")});
    // More integer digits than the column holds: the record fails, naming the field.
    n.add_record(
        {dbf_cell::right("1.5E+25"), dbf_cell::right("1"), dbf_cell::blank(), dbf_cell::blank()});
    write(n, "nums.dbf");

    dbf_writer b(dbf_ver::vfp);
    b.field("ID", 'I', 4).field("D", 'B', 8, 2);
    b.add_record({dbf_cell::integer(-7), dbf_cell::floating(0.1)});
    b.add_record({dbf_cell::integer(2147483647), dbf_cell::floating(-1.5e125)});
    b.add_record({dbf_cell::integer(3), dbf_cell::floating(1e130)});  // beyond NUMBER
    write(b, "dbl.dbf");

    run_exact({u"nums", u"dbl"});
    EXPECT_EQ(shown_rows(u"NUMS"),
              (table{{"1234567890123456789012345", "99999999.999999999", "NULL", "NULL"},
                     {"-42", "-.5", "12", "1.5"},
                     {"1500000000000000000000000", "139.45052", "0", "123456.5"}}));
    EXPECT_EQ(shown_rows(u"DBL"), (table{{"-7", ".1"}, {"2147483647", "-1.5E+125"}}));
    ASSERT_EQ(ui_.all_errors.size(), 2u);
    EXPECT_NE(ui_.all_errors[0].find("BIG"), std::string::npos) << ui_.all_errors[0];
    EXPECT_NE(ui_.all_errors[1].find("beyond the range"), std::string::npos) << ui_.all_errors[1];
}

// A type mapping chooses the destination type; the values still arrive digit for digit, and one
// the chosen NUMBER(p,s) would round fails its record instead.
TEST_F(exact_values, mapped_numbers_keep_their_digits_or_fail_their_record) {
    dbf_writer t(dbf_ver::vfp);
    t.field("AMOUNT", 'N', 22, 6).field("RATE", 'B', 8, 2).field("PRICE", 'Y', 8);
    t.add_record({dbf_cell::right("12345678901234.123456"), dbf_cell::floating(0.1),
                  dbf_cell::currency(9223372036854775807)});
    t.add_record({dbf_cell::right("-0.5"), dbf_cell::floating(1), dbf_cell::currency(-5)});
    t.add_record(
        {dbf_cell::right("123456789012345.5"), dbf_cell::floating(1), dbf_cell::currency(1)});
    t.add_record({dbf_cell::right("1"), dbf_cell::floating(0.125), dbf_cell::currency(1)});
    write(t, "mapped.dbf");

    udb_table_mutator& mapped = converter().get_table_mutator(u"mapped", u"AMOUNTS");
    const auto map = [&](const char16_t* column, const char16_t* type, int precision, int scale) {
        t_field_description d;
        d.type = type;
        d.precision = precision;
        d.scale = scale;
        mapped.update_field(column, column, d);
    };
    map(u"AMOUNT", u"NUMBER(20,6)", 20, 6);
    map(u"RATE", u"NUMBER(6,2)", 6, 2);
    map(u"PRICE", u"NUMBER(19,4)", 19, 4);

    run_exact({u"mapped"});
    EXPECT_EQ(
        shown_rows(u"AMOUNTS"),
        (table{{"12345678901234.123456", ".1", "922337203685477.5807"}, {"-.5", "1", "-.0005"}}));
    ASSERT_EQ(ui_.all_errors.size(), 2u);
    EXPECT_NE(ui_.all_errors[0].find("AMOUNT: the number '123456789012345.5' has more digits than "
                                     "NUMBER(20,6) holds"),
              std::string::npos)
        << ui_.all_errors[0];
    EXPECT_NE(ui_.all_errors[1].find("RATE: the number '0.125'"), std::string::npos)
        << ui_.all_errors[1];
    // verify follows the mapping: the renamed table, the converted values, the two records
    // refused as missing rows.
    const auto reports = verify_tables(converter());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].destination, u"AMOUNTS");
    EXPECT_EQ(reports[0].rows_missing, 2u);
    EXPECT_EQ(reports[0].values_equal, 6u) << format_verify_report(reports);
    EXPECT_TRUE(reports[0].columns.empty()) << format_verify_report(reports);
}

TEST_F(exact_values, unknown_dates_and_logicals_are_null_and_impossible_dates_reported) {
    dbf_writer d(dbf_ver::dbase3);
    d.field("ID", 'N', 3).field("DAY", 'D', 8).field("OK", 'L', 1);
    d.add_record({dbf_cell::integer(1), dbf_cell::raw("00000000"), dbf_cell::logical_char('?')});
    d.add_record({dbf_cell::integer(2), dbf_cell::blank(), dbf_cell::logical_char(' ')});
    d.add_record({dbf_cell::integer(3), dbf_cell::raw("20230229"), dbf_cell::logical_char('y')});
    d.add_record({dbf_cell::integer(4), dbf_cell::date(2024, 2, 29), dbf_cell::logical_char('F')});
    write(d, "days.dbf");
    run_exact({u"days"});
    EXPECT_EQ(shown_rows(u"DAYS"), (table{{"1", "NULL", "NULL"},
                                          {"2", "NULL", "NULL"},
                                          {"3", "NULL", "1"},
                                          {"4", "2024-02-29 00:00:00.000", "0"}}));
    ASSERT_EQ(ui_.all_errors.size(), 1u);  // the record loads; the impossible date is named
    EXPECT_NE(ui_.all_errors[0].find("DAY: the date '20230229' does not exist"), std::string::npos)
        << ui_.all_errors[0];
}

TEST_F(exact_values, dbase7_binary_types_and_visual_foxpro_null_flags) {
    // dBASE 7: I and + big-endian with the sign bit inverted, O the sortable double, @ a
    // big-endian double of milliseconds since 0000-12-31.
    dbf_writer seven(dbf_ver::dbase7);
    seven.field("L", 'I', 4).field("A", '+', 4).field("O", 'O', 8).field("TS", '@', 8);
    seven.add_record({dbf_cell::raw(std::string("\x7F\xB3\xB4\xC0", 4)),
                      dbf_cell::raw(std::string("\x80\x00\x00\x0A", 4)),
                      dbf_cell::floating(-199.99),
                      dbf_cell::raw(std::string("\x42\xCC\xE1\xEC\x41\xFB\x64\x00", 8))});
    seven.add_record({dbf_cell::raw(std::string(4, '\0')),
                      dbf_cell::raw(std::string("\xFF\xFF\xFF\xFF", 4)), dbf_cell::floating(0.1),
                      dbf_cell::raw(std::string("\x42\xCC\x41\x8B\xA9\x9A\x00\x00", 8))});
    write(seven, "seven.dbf");

    // Visual FoxPro: a nullable field, a varchar with its length byte, the flags column hidden.
    dbf_writer fox(dbf_ver::vfp_varchar);
    // A date-time one millisecond short of a second is the second Visual FoxPro shows.
    fox.field("NAME", 'V', 10).field("QTY", 'N', 4, 0, dbf_vfp_flag::nullable).field("C", 'C', 3);
    fox.field("AT", 'T', 8);
    fox.add_record({dbf_cell::text("ab "), dbf_cell::null(), dbf_cell::text("x"),
                    dbf_cell::julian(2453846, 61984999)});
    fox.add_record({dbf_cell::text("0123456789"), dbf_cell::integer(5), dbf_cell::text("y"),
                    dbf_cell::julian(0, 0)});
    fox.add_record({dbf_cell::text("ms"), dbf_cell::integer(6), dbf_cell::text("z"),
                    dbf_cell::julian(2453846, 45296789)});
    write(fox, "fox.dbf");

    run_exact({u"seven", u"fox"});
    EXPECT_TRUE(ui_.all_errors.empty()) << ui_.all_errors.front();
    EXPECT_EQ(shown_rows(u"SEVEN"),
              (table{{"-5000000", "10", "-199.99", "2013-08-27 19:12:13.000"},
                     {"NULL", "2147483647", ".1", "1970-01-01 00:00:00.000"}}));
    EXPECT_EQ(shown_rows(u"FOX"), (table{{"ab ", "NULL", "x", "2006-04-20 17:13:05.000"},
                                         {"0123456789", "5", "y", "NULL"},
                                         {"ms", "6", "z", "2006-04-20 12:34:56.789"}}));
    // Real milliseconds travel whole, and reading them back finds them equal.
    for (const auto& report : verify_tables(converter())) {
        EXPECT_TRUE(report.equal()) << format_verify_report({report});
    }
}

TEST_F(exact_values, binary_memos_arrive_whole_and_verify_finds_a_changed_value) {
    dbf_writer fox(dbf_ver::vfp);
    // The memo flag clear, as some writers leave it; the .fpt is there.
    fox.table_flags(0).memo_format(dbf_memo_format::fpt);
    // A field name Oracle refuses, which gets a column name of the converter's own.
    fox.field("ID", 'I', 4).field("PIC", 'W', 4).field("NOTE", 'M', 4).field("_X", 'C', 2);
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    fox.add_record({dbf_cell::integer(1), dbf_cell::memo(png), dbf_cell::memo("note one"),
                    dbf_cell::text("a")});
    fox.add_record(
        {dbf_cell::integer(2), dbf_cell::blank(), dbf_cell::memo("two"), dbf_cell::text("b")});
    write(fox, "pics.dbf");
    run_exact({u"pics"});
    EXPECT_TRUE(ui_.all_errors.empty()) << ui_.all_errors.front();
    EXPECT_EQ(shown_rows(u"PICS"),
              (table{{"1", "89504E470D0A1A0A0000000D49484452", "note one", "a"},
                     {"2", "NULL", "two", "b"}}));

    auto reports = verify_tables(converter());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].equal()) << format_verify_report(reports);
    EXPECT_EQ(reports[0].values_total, 8u);

    sql(u"UPDATE PICS SET NOTE = 'changed' WHERE ID = 2");
    reports = verify_tables(converter());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].equal());
    EXPECT_EQ(reports[0].values_equal, 7u);
    ASSERT_EQ(reports[0].columns.size(), 1u);
    EXPECT_EQ(reports[0].columns[0].examples,
              std::vector<std::string>{"record 2: source 'two', destination 'changed'"});

    // A row that never arrived (a record the run rejected) leaves the others paired.
    sql(u"DELETE FROM PICS WHERE ID = 1");
    reports = verify_tables(converter());
    EXPECT_EQ(reports[0].rows_missing, 1u);
    EXPECT_EQ(reports[0].rows_compared, 1u);
    EXPECT_EQ(reports[0].values_equal, 3u);
}

TEST(verify_values, values_compare_with_the_meaning_of_their_type) {
    t_systemtime noon;
    noon.year = 2020;
    noon.month = 1;
    noon.day = 2;
    noon.hour = 12;
    t_systemtime noon_ms = noon;
    noon_ms.milliseconds = 250;
    struct row {
        ole_variant source;
        ole_variant destination;
        bool b_number;
        bool b_equal;
    };
    const row rows[] = {
        {ole_variant(std::u16string(u"1.50")), ole_variant(std::u16string(u"1.5")), true, true},
        {ole_variant(std::u16string(u"-0.5")), ole_variant(std::u16string(u"-.5")), true, true},
        {ole_variant(std::u16string(u"1E+3")), ole_variant(std::u16string(u"1000")), true, true},
        {ole_variant(std::u16string(u"0.1")), ole_variant(0.1), true, true},
        {ole_variant(std::u16string(u"99999999.999999999")), ole_variant(100000000.0), true, false},
        {ole_variant(std::u16string(u"1.50")), ole_variant(std::u16string(u"1.5")), false, false},
        {ole_variant(), ole_variant(std::u16string()), false, true},  // empty text is NULL
        {ole_variant(), ole_variant(std::u16string(u"0")), true, false},
        {ole_variant(noon), ole_variant(noon), false, true},
        {ole_variant(noon_ms), ole_variant(noon), false, false},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        std::string a;
        std::string b;
        EXPECT_EQ(verify_same_value(rows[i].source, rows[i].destination, rows[i].b_number, a, b),
                  rows[i].b_equal)
            << "row " << i << ": " << a << " / " << b;
    }
}
