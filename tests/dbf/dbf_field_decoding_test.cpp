// Every field type letter: the width it takes in the record, the VARTYPE and schema descriptor it
// gets, and the value its bytes decode to, memo fields included.

#include <gtest/gtest.h>

#include <memory>

#include "dbf/dbf_exception.hpp"
#include "dbf/dbf_record.hpp"
#include "dbf/dbf_recordset.hpp"
#include "dbf_test_support.hpp"
#include "support/dbf_writer.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// The schema, descriptors and the first record of a one-record table.
struct table {
    std::unique_ptr<dbf_recordset> rs;
    udb_record* record = nullptr;
    const ole_variant& value(size_t i) const { return *(*record)[i]; }
    const t_ftd& ftd(size_t i) const { return *rs->schema[i]; }
};

table read_one(const dbf_test_folder& folder, const dbf_writer& w, const std::string& name) {
    table t;
    const auto written = w.write(folder.path(), name);
    t.rs = std::make_unique<dbf_recordset>(tk_from_utf8(written.dbf.string()), 1, 0);
    t.record = t.rs->get_item();
    return t;
}

// A field of one letter with raw bytes.
table one_field(const dbf_test_folder& folder, char type, uint16_t length, uint8_t decimals,
                const std::string& bytes, uint8_t version = dbf_ver::dbase3) {
    dbf_writer w(version);
    w.field("F", type, length, decimals).add_record({dbf_cell::raw(bytes)});
    return read_one(folder, w, std::string("f_") + (std::isalnum(type) ? type : 'x') + ".dbf");
}

// The message and level with which reading the current record fails.
std::pair<std::string, int> item_error(dbf_recordset& rs) {
    try {
        rs.get_item();
    } catch (const tk_exception& e) {
        return {e.message, e.level};
    }
    return {"<no exception>", -1};
}

}  // namespace

class field_decoding : public testing::Test {
  protected:
    dbf_test_folder folder;
    dbf_log_capture log{folder};
};

TEST_F(field_decoding, schema_descriptors_carry_width_type_and_subkind) {
    dbf_writer w;
    w.field("NAME", 'C', 20).field("PRICE", 'N', 10, 2).field("BORN", 'D', 8);
    w.field("SEEN", 'T', 8).field("NOTE", 'M', 10);
    w.version(dbf_ver::dbase3_memo);
    w.add_record({});
    table t = read_one(folder, w, "schema.dbf");
    ASSERT_EQ(t.rs->schema.size(), 5u);
    EXPECT_EQ(t.ftd(0).name, u"NAME");
    EXPECT_EQ(t.ftd(0).size, 20u);
    EXPECT_EQ(t.ftd(0).reserved, 0u);
    EXPECT_EQ(t.ftd(1).vartype, VT_DECIMAL);
    EXPECT_EQ(t.ftd(1).reserved, (10u + 2u) * 256u + 2u);  // precision is length + decimals
    EXPECT_TRUE(log.has_line("Got VT_DECIMAL(12,2)"));
    EXPECT_EQ(t.ftd(2).reserved, 2u);
    EXPECT_EQ(t.ftd(3).reserved, 1u);
    EXPECT_EQ(t.ftd(4).size, 0u);
    EXPECT_EQ(t.ftd(4).vartype, VT_BSTR);
    EXPECT_TRUE(log.has_line("Got field: PRICE, type=N, size=10"));
    EXPECT_TRUE(log.has_line("Got field: NOTE, type=M, size=0"));
}

// --- C ---

TEST_F(field_decoding, character_text) {
    EXPECT_EQ(one_field(folder, 'C', 12, 0, "  two  words").value(0).wstring(), u"  two  words");
    EXPECT_EQ(one_field(folder, 'C', 8, 0, std::string("ab\0cd   ", 8)).value(0).wstring(), u"ab");
    table blank = one_field(folder, 'C', 5, 0, "");
    EXPECT_EQ(blank.value(0).vt(), VT_BSTR);  // an empty text, not an empty value
    EXPECT_EQ(blank.value(0).wstring(), u"");
    // 300 characters stored with length 44 and decimals 1.
    std::string long_text;
    for (int i = 0; i < 30; ++i) {
        long_text += "0123456789";
    }
    dbf_writer w;
    w.field("LONG", 'C', 300).field("AFTER", 'C', 3);
    w.add_record({dbf_cell::text(long_text), dbf_cell::text("end")});
    table t = read_one(folder, w, "wide.dbf");
    EXPECT_EQ(t.rs->descriptors()[0].length, 44);
    EXPECT_EQ(t.rs->descriptors()[0].decimals, 1);
    EXPECT_EQ(t.value(0).wstring(), tk_from_utf8(long_text));
    EXPECT_EQ(t.value(1).wstring(), u"end");
}

// --- N, F ---

TEST_F(field_decoding, numbers_by_decimals_and_length) {
    table t = one_field(folder, 'N', 8, 2, "   12.50");
    ASSERT_EQ(t.value(0).vt(), VT_DECIMAL);
    ole_decimal expected;
    expected.scale = 2;
    expected.lo64 = 1250;
    EXPECT_EQ(t.value(0).dec(), expected);
    table neg = one_field(folder, 'N', 10, 3, "  -0.125");
    expected.scale = 3;
    expected.lo64 = 125;
    expected.sign = ole_decimal::negative_sign;
    EXPECT_EQ(neg.value(0).dec(), expected);
    // Without decimals the length picks the integer width.
    table i2 = one_field(folder, 'N', 4, 0, "-123");
    EXPECT_EQ(i2.value(0).vt(), VT_I2);
    EXPECT_EQ(i2.value(0).i2(), -123);
    table i4 = one_field(folder, 'N', 9, 0, "  1234567");
    EXPECT_EQ(i4.value(0).vt(), VT_I4);
    EXPECT_EQ(i4.value(0).i4(), 1234567);
    table i8 = one_field(folder, 'N', 19, 0, "   9000000000000001");
    EXPECT_EQ(i8.value(0).vt(), VT_I8);
    EXPECT_EQ(i8.value(0).i8(), 9000000000000001LL);
    table r8 = one_field(folder, 'N', 20, 0, "                  42");
    EXPECT_EQ(r8.value(0).vt(), VT_R8);
    EXPECT_DOUBLE_EQ(r8.value(0).r8(), 42.0);
    table i1 = one_field(folder, 'N', 2, 0, " 7");
    EXPECT_EQ(i1.value(0).vt(), VT_I1);
    EXPECT_EQ(i1.value(0).i1(), 7);
}

TEST_F(field_decoding, blank_numbers_and_dates_are_empty_and_float_is_single_precision) {
    EXPECT_EQ(one_field(folder, 'N', 6, 2, "").value(0).vt(), VT_EMPTY);
    EXPECT_EQ(one_field(folder, 'N', 6, 0, "").value(0).vt(), VT_EMPTY);
    EXPECT_EQ(one_field(folder, 'F', 8, 2, "").value(0).vt(), VT_EMPTY);
    EXPECT_EQ(one_field(folder, 'D', 8, 0, "").value(0).vt(), VT_EMPTY);
    table t = one_field(folder, 'F', 10, 3, "    -2.250");
    EXPECT_EQ(t.value(0).vt(), VT_R4);
    EXPECT_FLOAT_EQ(t.value(0).r4(), -2.25f);
    EXPECT_TRUE(log.has_line("dbf_field::get_variant(F, 'F')"));
}

// --- D, T ---

TEST_F(field_decoding, dates_from_digits_and_from_julian_days) {
    const table d = one_field(folder, 'D', 8, 0, "20160229");
    ASSERT_EQ(d.value(0).vt(), VT_DATE);
    EXPECT_EQ(d.value(0).date().year, 2016);
    EXPECT_EQ(d.value(0).date().month, 2);
    EXPECT_EQ(d.value(0).date().day, 29);
    struct row {
        int32_t day, ms;
        int year, month, dd, h, m, s;
    };
    const row rows[] = {
        {2457389, 43200000, 2016, 1, 1, 12, 0, 0},
        {2457389, 999, 2016, 1, 1, 0, 0, 1},  // (ms + 1) / 1000 seconds
        {2457389, 998, 2016, 1, 1, 0, 0, 0},
        {1721426, 0, 1, 1, 1, 0, 0, 0},  // the first day of the calendar
        {2451605, 45296789, 2000, 3, 1, 12, 34, 56},
        {2415021, 86398999, 1900, 1, 1, 23, 59, 59},
    };
    for (const row& r : rows) {
        dbf_writer w(dbf_ver::vfp);
        w.table_flags(0).field("T", 'T', 8).add_record({dbf_cell::julian(r.day, r.ms)});
        table t = read_one(folder, w, "t.dbf");
        ASSERT_EQ(t.value(0).vt(), VT_DATE) << r.day;
        const t_systemtime& st = t.value(0).date();
        EXPECT_EQ(st.year, r.year);
        EXPECT_EQ(st.month, r.month);
        EXPECT_EQ(st.day, r.dd);
        EXPECT_EQ(st.hour, r.h);
        EXPECT_EQ(st.minute, r.m);
        EXPECT_EQ(st.second, r.s) << r.day << " " << r.ms;
        EXPECT_EQ(st.milliseconds, 0);
    }
    EXPECT_TRUE(log.has_line("SYSTEMTIME=2016-01-01 12:00:00"));
    EXPECT_TRUE(log.has_line("Processing as DATETIME"));
    // 23:59:59.999 rounds to the next midnight.
    dbf_writer w(dbf_ver::vfp);
    w.table_flags(0).field("T", 'T', 8).add_record({dbf_cell::julian(2457389, 86399999)});
    const table t = read_one(folder, w, "t.dbf");
    EXPECT_EQ(t.value(0).date().day, 2);
    EXPECT_EQ(t.value(0).date().hour, 0);
}

TEST_F(field_decoding, datetime_before_the_calendar_is_empty_and_nonsense_time_fails) {
    for (int32_t day : {0, 1721425, -5}) {
        dbf_writer w(dbf_ver::vfp);
        w.table_flags(0).field("T", 'T', 8).add_record({dbf_cell::julian(day, 0)});
        EXPECT_EQ(read_one(folder, w, "t.dbf").value(0).vt(), VT_EMPTY) << day;
    }
    dbf_writer zeros(dbf_ver::vfp);
    zeros.table_flags(0).field("T", 'T', 8).add_record({dbf_cell::raw(std::string(8, '\0'))});
    EXPECT_EQ(read_one(folder, zeros, "z.dbf").value(0).vt(), VT_EMPTY);
    for (int32_t ms : {-5000, 90000000}) {
        dbf_writer w(dbf_ver::vfp);
        w.table_flags(0).field("T", 'T', 8).add_record({dbf_cell::julian(2457389, ms)});
        dbf_recordset rs(tk_from_utf8(w.write(folder.path(), "bad.dbf").dbf.string()), 1, 0);
        // One bad value: level 0, the run may go on with the next record.
        EXPECT_EQ(item_error(rs),
                  std::make_pair(std::string("File does not comply with DBF format"), 0));
    }
}

// --- I, Y, B, L ---

TEST_F(field_decoding, binary_integer_currency_and_double) {
    dbf_writer w(dbf_ver::vfp);
    w.table_flags(0).field("I", 'I', 4).field("Y", 'Y', 8, 4).field("B", 'B', 8, 2);
    w.add_record(
        {dbf_cell::integer(-123456), dbf_cell::currency(-98765432), dbf_cell::floating(3.25)});
    table t = read_one(folder, w, "bin.dbf");
    EXPECT_EQ(t.value(0).vt(), VT_I4);
    EXPECT_EQ(t.value(0).i4(), -123456);
    EXPECT_EQ(t.value(1).vt(), VT_CY);
    EXPECT_EQ(t.value(1).cy().int64, -98765432);
    EXPECT_EQ(t.value(2).vt(), VT_R8);
    EXPECT_DOUBLE_EQ(t.value(2).r8(), 3.25);
    EXPECT_TRUE(log.has_line("Processing as INTEGER"));
    EXPECT_TRUE(log.has_line("Processing as CURRENCY"));
    EXPECT_TRUE(log.has_line("Processing as DOUBLE"));
}

TEST_F(field_decoding, logical_is_true_only_for_t_and_y) {
    const std::string bytes("TtYyFfN? 1\0", 11);
    dbf_writer w;
    w.field("L", 'L', 1);
    for (char c : bytes) {
        w.add_record({dbf_cell::raw(std::string(1, c))});
    }
    dbf_recordset rs(tk_from_utf8(w.write(folder.path(), "l.dbf").dbf.string()), 1, 0);
    for (size_t i = 0; i < bytes.size(); ++i, rs.next()) {
        const ole_variant& v = *(*rs.get_item())[0];
        EXPECT_EQ(v.vt(), VT_BOOL);
        EXPECT_EQ(v.variant_bool(), i < 4 ? VARIANT_TRUE : VARIANT_FALSE) << i;
    }
    EXPECT_TRUE(log.has_line("Processing as BOOLEAN"));
}

TEST_F(field_decoding, fixed_type_of_zero_length_is_an_internal_error) {
    for (char type : {'B', 'D', 'F', 'I', 'L', 'N', 'T', 'Y'}) {
        const auto path =
            folder.write("zero.dbf", dbf_header_bytes(1, 65, 2) +
                                         dbf_descriptor_bytes("Z", type, 0) + "\x0D" + "  ");
        dbf_recordset rs(tk_from_utf8(path), 1, 0);
        const auto [message, level] = item_error(rs);
        EXPECT_EQ(level, 2) << type;
        EXPECT_EQ(message.rfind("Internal error: \ncode=", 0), 0u) << type;
    }
}

// --- G, P and the letters without a rule of their own ---

TEST_F(field_decoding, general_and_picture_fields_are_their_own_bytes_as_binary) {
    table g = one_field(folder, 'G', 10, 0, "    0AFF01");
    ASSERT_EQ(g.value(0).vt(), VT_BYTE_ARRAY);
    EXPECT_EQ(g.value(0).bytes(), (std::vector<unsigned char>{0x0A, 0xFF, 0x01}));
    // A FoxPro block number of odd length is no binary text: an empty value.
    table p = one_field(folder, 'P', 10, 0, "        12", dbf_ver::foxpro2_memo);
    EXPECT_EQ(p.value(0).vt(), VT_BYTE_ARRAY);
    table odd = one_field(folder, 'G', 10, 0, "         5", dbf_ver::foxpro2_memo);
    EXPECT_EQ(odd.value(0).vt(), VT_EMPTY);
    EXPECT_FALSE(log.has_line("fpt_memo_file::read_memo(5)"));  // the memo file is not read
}

TEST_F(field_decoding, other_letters_are_text_without_leading_blanks) {
    for (char type : {'V', 'Q', 'W', '0', 'O', 'E', '+', '@', 'A', 'Z', '\x01', '\xF0'}) {
        table t = one_field(folder, type, 8, 0, "  ab cd ");
        ASSERT_EQ(t.value(0).vt(), VT_BSTR) << int(type);
        EXPECT_EQ(t.value(0).wstring(), u"ab cd ") << int(type);
    }
}

// --- deleted flag ---

TEST_F(field_decoding, deleted_record_keeps_its_values) {
    dbf_writer w;
    w.field("A", 'C', 3).field("N", 'N', 3);
    w.add_record({dbf_cell::text("del"), dbf_cell::integer(7)}, true);
    w.add_record_with_flag({dbf_cell::text("odd"), dbf_cell::integer(8)}, 'x');
    dbf_recordset rs(tk_from_utf8(w.write(folder.path(), "del.dbf").dbf.string()), 1, 0);
    auto* r = static_cast<dbf_record*>(rs.get_item());
    EXPECT_TRUE(r->is_deleted);
    EXPECT_EQ((*r)[0]->wstring(), u"del");
    EXPECT_EQ((*r)[1]->i2(), 7);
    EXPECT_TRUE(log.has_line("Got deleted flag: 1"));
    rs.next();
    EXPECT_FALSE(static_cast<dbf_record*>(rs.get_item())->is_deleted);  // only '*' deletes
}

// --- text under the table's code page ---

TEST_F(field_decoding, text_and_memo_decode_with_the_table_code_page) {
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.codepage(0x68).field("NAME", 'C', 8).field("NOTE", 'M', 10);
    w.add_record({dbf_cell::raw("\x9E\x9F\x87\x91"), dbf_cell::memo("k\x96\xA4")});
    table t = read_one(folder, w, "kam.dbf");
    EXPECT_EQ(t.rs->get_codepage(), 895);
    EXPECT_EQ(t.value(0).wstring(), u"Řťčž");
    EXPECT_EQ(t.value(1).wstring(), u"kůň");

    dbf_writer m(dbf_ver::dbase3);
    m.codepage(0x69).field("NAME", 'C', 4).add_record({dbf_cell::raw("\x9C\xA2\x92\x8D")});
    EXPECT_EQ(read_one(folder, m, "maz.dbf").value(0).wstring(), u"Łółć");

    dbf_writer c(dbf_ver::dbase3);
    c.codepage(0xC9).field("NAME", 'C', 6).add_record({dbf_cell::raw("\xCF\xF0\xE8\xE2\xE5\xF2")});
    EXPECT_EQ(read_one(folder, c, "win.dbf").value(0).wstring(), u"Привет");
}

// --- memo fields ---

struct memo_row {
    uint8_t version;
    uint8_t flags;
    uint16_t width;
};

class memo_field : public field_decoding, public testing::WithParamInterface<memo_row> {};

TEST_P(memo_field, text_comes_from_the_memo_file) {
    const memo_row row = GetParam();
    dbf_writer w(row.version);
    if (w.is_vfp()) {
        w.table_flags(row.flags);
    }
    w.codepage(0x65).field("NAME", 'C', 4).field("NOTE", 'M', row.width).field("TAIL", 'C', 3);
    const std::string big(5000, 'x');
    w.add_record(
        {dbf_cell::text("a"), dbf_cell::memo("\x8F\xE0\xA8\xA2\xA5\xE2"), dbf_cell::text("t1")});
    w.add_record({dbf_cell::text("b"), dbf_cell::blank(), dbf_cell::text("t2")});
    w.add_record({dbf_cell::text("c"), dbf_cell::memo(big), dbf_cell::text("t3")});
    const auto written = w.write(folder.path(), "memo.dbf");
    dbf_recordset rs(tk_from_utf8(written.dbf.string()), 1, 0);
    ASSERT_NE(rs.memo_file(), nullptr);
    udb_record* r = rs.get_item();
    EXPECT_EQ((*r)[1]->vt(), VT_BSTR);
    EXPECT_EQ((*r)[1]->wstring(), u"Привет");
    EXPECT_EQ((*r)[1]->size, 0u);
    EXPECT_EQ((*r)[2]->wstring(), u"t1");  // the record position moved past the memo field
    EXPECT_TRUE(log.has_line("Got MEMO: Привет"));
    rs.next();
    r = rs.get_item();
    EXPECT_EQ((*r)[1]->vt(), VT_EMPTY);
    EXPECT_EQ((*r)[2]->wstring(), u"t2");
    rs.next();
    r = rs.get_item();
    EXPECT_EQ((*r)[1]->wstring(), tk_from_utf8(big));
    EXPECT_EQ((*r)[2]->wstring(), u"t3");
}

INSTANTIATE_TEST_SUITE_P(
    formats, memo_field,
    testing::Values(memo_row{dbf_ver::dbase3_memo, 0, 10}, memo_row{dbf_ver::dbase4_memo, 0, 10},
                    memo_row{dbf_ver::dbase7_memo, 0, 10}, memo_row{dbf_ver::foxpro2_memo, 0, 10},
                    memo_row{dbf_ver::vfp, 0x02, 4}, memo_row{dbf_ver::vfp, 0x06, 4},
                    memo_row{dbf_ver::smt_memo, 0, 10}));

TEST_F(field_decoding, blank_and_damaged_memo_references) {
    dbf_writer blank(dbf_ver::foxpro2_memo);
    blank.field("NOTE", 'M', 10).add_record({dbf_cell::raw("          ")});
    EXPECT_EQ(read_one(folder, blank, "blank.dbf").value(0).vt(), VT_EMPTY);
    EXPECT_TRUE(log.has_line("Invalid MEMO block!"));
    EXPECT_TRUE(log.has_line("Got memo block number: 0"));
    // Length-prefixed formats give an empty text; terminator-ended ones fail the record.
    dbf_writer fpt(dbf_ver::foxpro2_memo);
    fpt.field("NOTE", 'M', 10).add_record({dbf_cell::memo_block(100000)});
    EXPECT_EQ(read_one(folder, fpt, "far.dbf").value(0).wstring(), u"");
    EXPECT_TRUE(log.has_line("Reading MEMO out of range"));

    dbf_writer old(dbf_ver::dbase3_memo);
    old.field("NOTE", 'M', 10).add_record({dbf_cell::memo_block(100000)});
    dbf_recordset rs(tk_from_utf8(old.write(folder.path(), "far3.dbf").dbf.string()), 1, 0);
    EXPECT_EQ(item_error(rs), std::make_pair(std::string("Failed to read MEMO field"), 0));
}
