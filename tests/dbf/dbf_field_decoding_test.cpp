// Every field type letter: the width it takes in the record, the VARTYPE and schema descriptor it
// gets, and the value its bytes decode to under the table's code page, memo fields included; the
// deleted flag; and the values that fail their record instead of being read.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "dbf/dbf_record.hpp"
#include "dbf/dbf_recordset.hpp"
#include "dbf_test_support.hpp"
#include "support/dbf_writer.hpp"
#include "support/log_capture.hpp"
#include "tk/tk_wstring.hpp"

namespace {

std::unique_ptr<dbf_recordset> open_written(const dbf_test_folder& folder, const dbf_writer& w,
                                            const std::string& name = "t.dbf") {
    return std::make_unique<dbf_recordset>(tk_from_utf8(w.write(folder.path(), name).dbf.string()),
                                           1, 0);
}

// A value as UTF-8 text; dates with every calendar field, milliseconds included.
std::string render(const ole_variant& v) {
    if (v.vt() != VT_DATE) {
        return v.to_string();
    }
    const t_systemtime& t = v.date();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.milliseconds);
    return text;
}

std::string julian(int32_t day, int32_t milliseconds) {
    return dbf_le32(static_cast<uint32_t>(day)) + dbf_le32(static_cast<uint32_t>(milliseconds));
}

}  // namespace

class field_decoding : public testing::Test {
  protected:
    dbf_test_folder folder;
    log_capture trace;  // the trace lines of every value are written as well
};

TEST_F(field_decoding, each_letter_gives_its_type_and_value) {
    struct row {
        char type;
        uint16_t length;
        uint8_t decimals;
        std::string bytes;
        VARTYPE vt;
        std::string text;
    };
    const std::string midnight = " 00:00:00.000";
    const std::vector<row> rows = {
        // C keeps leading blanks, loses trailing ones and ends at a NUL; blank is an empty text.
        {'C', 12, 0, "  two  words", VT_BSTR, "  two  words"},
        {'C', 8, 0, std::string("ab\0cd   ", 8), VT_BSTR, "ab"},
        {'C', 5, 0, "", VT_BSTR, ""},
        // N: decimals give VT_DECIMAL, otherwise the length picks the integer width.
        {'N', 8, 2, "   12.50", VT_DECIMAL, "12.5"},
        {'N', 10, 3, "  -0.125", VT_DECIMAL, "-0.125"},
        {'N', 2, 0, " 7", VT_I1, "7"},
        {'N', 4, 0, "-123", VT_I2, "-123"},
        {'N', 9, 0, "  1234567", VT_I4, "1234567"},
        {'N', 19, 0, "   9000000000000001", VT_I8, "9000000000000001"},
        {'N', 20, 0, "                  42", VT_R8, "4.2000000000000000e+001"},
        {'F', 10, 3, "    -2.250", VT_R4, "-2.250000e+000"},
        {'N', 6, 2, "", VT_EMPTY, ""},
        {'N', 6, 0, "", VT_EMPTY, ""},
        {'F', 8, 2, "", VT_EMPTY, ""},
        {'D', 8, 0, "", VT_EMPTY, ""},
        {'D', 8, 0, "20160229", VT_DATE, "2016-02-29" + midnight},
        // T: Julian day and milliseconds; (ms + 1) / 1000 whole seconds, 23:59:59.999 is the
        // next midnight; days before the calendar (zero bytes included) are empty.
        {'T', 8, 0, julian(2457389, 43200000), VT_DATE, "2016-01-01 12:00:00.000"},
        {'T', 8, 0, julian(2457389, 999), VT_DATE, "2016-01-01 00:00:01.000"},
        {'T', 8, 0, julian(2457389, 998), VT_DATE, "2016-01-01" + midnight},
        {'T', 8, 0, julian(2457389, 86399999), VT_DATE, "2016-01-02" + midnight},
        {'T', 8, 0, julian(1721426, 0), VT_DATE, "0001-01-01" + midnight},
        {'T', 8, 0, julian(2451605, 45296789), VT_DATE, "2000-03-01 12:34:56.000"},
        {'T', 8, 0, julian(2415021, 86398999), VT_DATE, "1900-01-01 23:59:59.000"},
        {'T', 8, 0, julian(1721425, 0), VT_EMPTY, ""},
        {'T', 8, 0, julian(-5, 0), VT_EMPTY, ""},
        {'T', 8, 0, std::string(8, '\0'), VT_EMPTY, ""},
        // Binary little-endian values.
        {'I', 4, 0, dbf_le32(static_cast<uint32_t>(-123456)), VT_I4, "-123456"},
        {'Y', 8, 4, dbf_le32(static_cast<uint32_t>(-98765432)) + "\xFF\xFF\xFF\xFF", VT_CY,
         "-9876.5432"},
        {'B', 8, 2, dbf_le32(0) + dbf_le32(0x400A0000), VT_R8, "3.2500000000000000e+000"},
        // G and P: the field's own bytes as hexadecimal digits; an odd count is no binary text.
        {'G', 10, 0, "    0AFF01", VT_BYTE_ARRAY, "0x0AFF01"},
        {'P', 10, 0, "        12", VT_BYTE_ARRAY, "0x12"},
        {'G', 10, 0, "         5", VT_EMPTY, ""},
        // L is true for T, t, Y and y only.
        {'L', 1, 0, "T", VT_BOOL, "1"},
        {'L', 1, 0, "t", VT_BOOL, "1"},
        {'L', 1, 0, "Y", VT_BOOL, "1"},
        {'L', 1, 0, "y", VT_BOOL, "1"},
        {'L', 1, 0, "F", VT_BOOL, "0"},
        {'L', 1, 0, "N", VT_BOOL, "0"},
        {'L', 1, 0, "?", VT_BOOL, "0"},
        {'L', 1, 0, "1", VT_BOOL, "0"},
        {'L', 1, 0, std::string(1, '\0'), VT_BOOL, "0"},
        // Letters without a rule of their own: text without its leading blanks.
        {'V', 8, 0, "  ab cd ", VT_BSTR, "ab cd "},
        {'0', 8, 0, "  ab cd ", VT_BSTR, "ab cd "},
        {'+', 8, 0, "  ab cd ", VT_BSTR, "ab cd "},
        {'O', 8, 0, "  ab cd ", VT_BSTR, "ab cd "},
        {'\xF0', 8, 0, "  ab cd ", VT_BSTR, "ab cd "},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(1, r.type) + " '" + r.bytes + "'");
        dbf_writer w(dbf_ver::foxpro2_memo);  // G and P stay in the record despite a memo file
        w.field("F", r.type, r.length, r.decimals).add_record({dbf_cell::raw(r.bytes)});
        auto rs = open_written(folder, w);
        const ole_variant& v = *(*rs->get_item())[0];
        EXPECT_EQ(v.vt(), r.vt);
        EXPECT_EQ(render(v), r.text);
    }
}

TEST_F(field_decoding, schema_descriptors_carry_width_type_and_subkind) {
    dbf_writer w(dbf_ver::dbase3_memo);
    w.field("NAME", 'C', 20).field("PRICE", 'N', 10, 2).field("BORN", 'D', 8);
    w.field("SEEN", 'T', 8).field("NOTE", 'M', 10).add_record({});
    auto rs = open_written(folder, w);
    ASSERT_EQ(rs->schema.size(), 5u);
    const auto& s = rs->schema;
    EXPECT_EQ(s[0]->name, u"NAME");
    EXPECT_EQ(s[0]->size, 20u);
    EXPECT_EQ(s[0]->reserved, 0u);
    EXPECT_EQ(s[1]->vartype, VT_DECIMAL);
    EXPECT_EQ(s[1]->reserved, (10u + 2u) * 256u + 2u);  // precision is length + decimals
    EXPECT_EQ(s[2]->reserved, 2u);                      // date only
    EXPECT_EQ(s[3]->reserved, 1u);                      // date and time
    EXPECT_EQ(s[4]->size, 0u);
    EXPECT_EQ(s[4]->vartype, VT_BSTR);
}

TEST_F(field_decoding, character_field_longer_than_255_uses_decimals_as_high_byte) {
    std::string long_text;
    for (int i = 0; i < 30; ++i) {
        long_text += "0123456789";
    }
    dbf_writer w;  // 300 = length 44 + 256 x decimals 1
    w.field("LONG", 'C', 300).field("AFTER", 'C', 3);
    w.add_record({dbf_cell::text(long_text), dbf_cell::text("end")});
    auto rs = open_written(folder, w);
    ASSERT_EQ(rs->descriptors()[0].decimals, 1);
    EXPECT_EQ((*rs->get_item())[0]->wstring(), tk_from_utf8(long_text));
    EXPECT_EQ((*rs->get_item())[1]->wstring(), u"end");
}

TEST_F(field_decoding, values_that_cannot_be_read) {
    // A fixed-size letter whose length byte is 0 has no byte to read: the table is refused when
    // it is opened, at the level that costs only this table.
    for (char type : {'B', 'D', 'F', 'I', 'L', 'N', 'T', 'Y'}) {
        const auto path =
            folder.write("zero.dbf", dbf_header_bytes(1, 65, 2) +
                                         dbf_descriptor_bytes("Z", type, 0) + "\x0D" + "  ");
        EXPECT_EQ(dbf_error_of([&] { dbf_recordset(tk_from_utf8(path), 1, 0); }),
                  std::make_pair(std::string("File does not comply with DBF format"), 1))
            << type;
    }
    // A time of day outside the day fails this record only (level 0).
    for (int32_t ms : {-5000, 90000000}) {
        dbf_writer w;
        w.field("T", 'T', 8).add_record({dbf_cell::julian(2457389, ms)});
        auto rs = open_written(folder, w);
        EXPECT_EQ(dbf_error_of([&] { rs->get_item(); }),
                  std::make_pair(std::string("File does not comply with DBF format"), 0));
    }
}

TEST_F(field_decoding, deleted_flag_is_a_star_and_the_record_keeps_its_values) {
    dbf_writer w;
    w.field("A", 'C', 3).field("N", 'N', 3);
    w.add_record({dbf_cell::text("del"), dbf_cell::integer(7)}, true);
    w.add_record_with_flag({dbf_cell::text("odd"), dbf_cell::integer(8)}, 'x');
    auto rs = open_written(folder, w);
    auto* r = static_cast<dbf_record*>(rs->get_item());
    EXPECT_TRUE(r->is_deleted);
    EXPECT_EQ((*r)[0]->wstring(), u"del");
    EXPECT_EQ((*r)[1]->i2(), 7);
    rs->next();
    EXPECT_FALSE(static_cast<dbf_record*>(rs->get_item())->is_deleted);
}

TEST_F(field_decoding, language_driver_id_selects_the_code_page_of_texts_and_memos) {
    struct row {
        uint8_t ldid;
        int codepage;
        std::string text, memo;
        std::u16string want_text, want_memo;
    };
    const row rows[] = {
        {0x68, 895, "\x9E\x9F\x87\x91", "k\x96\xA4", u"Řťčž", u"kůň"},
        {0x69, 620, "\x9C\xA2\x92\x8D", "\x9E\xA6", u"Łółć", u"śź"},
        {0xC8, 1250, "\x8A\xE8\xF9", "\xF8\xED", u"Ščů", u"ří"},
        {0xC9, 1251, "\xCF\xF0\xE8\xE2", "\xEC\xE8\xF0", u"Прив", u"мир"},
        {0x65, 866, "\x8F\xE0\xA8\xA2", "\xAC\xA8\xE0", u"Прив", u"мир"},
        {0x03, 1252, "caf\xE9", "\xC6\xF8", u"café", u"Æø"},
        {0x1F, 0, "abc", "xyz", u"abc", u"xyz"},  // an unknown id: the ANSI code page
    };
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.ldid));
        dbf_writer w(dbf_ver::foxpro2_memo);
        w.codepage(r.ldid).field("NAME", 'C', 4).field("NOTE", 'M', 10);
        w.add_record({dbf_cell::raw(r.text), dbf_cell::memo(r.memo)});
        auto rs = open_written(folder, w);
        EXPECT_EQ(rs->get_codepage(), r.codepage);
        EXPECT_EQ((*rs->get_item())[0]->wstring(), r.want_text);
        EXPECT_EQ((*rs->get_item())[1]->wstring(), r.want_memo);
    }
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
    auto rs = open_written(folder, w, "memo.dbf");
    ASSERT_NE(rs->memo_file(), nullptr);
    udb_record* r = rs->get_item();
    EXPECT_EQ((*r)[1]->vt(), VT_BSTR);
    EXPECT_EQ((*r)[1]->wstring(), u"Привет");
    EXPECT_EQ((*r)[1]->size, 0u);
    EXPECT_EQ((*r)[2]->wstring(), u"t1");  // the record position moved past the memo field
    rs->next();
    r = rs->get_item();
    EXPECT_EQ((*r)[1]->vt(), VT_EMPTY);
    EXPECT_EQ((*r)[2]->wstring(), u"t2");
    rs->next();
    r = rs->get_item();
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
    auto rs = open_written(folder, blank);
    EXPECT_EQ((*rs->get_item())[0]->vt(), VT_EMPTY);
    // Past the end of the memo file, in every memo format: the value is empty and the record
    // names the field, so that the loss is reported while the record still loads.
    for (const uint8_t version : {dbf_ver::foxpro2_memo, dbf_ver::dbase3_memo}) {
        dbf_writer far(version);
        far.field("ID", 'N', 3).field("NOTE", 'M', 10);
        far.add_record({dbf_cell::integer(1), dbf_cell::memo_block(100000)});
        far.add_record({dbf_cell::integer(2), dbf_cell::memo("here")});
        rs = open_written(folder, far, "far.dbf");
        const auto* r = static_cast<const dbf_record*>(rs->get_item());
        EXPECT_EQ((*r)[1]->vt(), VT_EMPTY);
        EXPECT_EQ(r->unreadable_memos, std::vector<size_t>{1});
        rs->next();
        r = static_cast<const dbf_record*>(rs->get_item());
        EXPECT_EQ((*r)[1]->wstring(), u"here");
        EXPECT_TRUE(r->unreadable_memos.empty());
    }
}
