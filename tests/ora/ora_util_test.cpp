// Oracle column types, vartypes of catalogue and describe codes, and SQL literals of values and
// defaults. Pure: no server.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "ora/ora_util.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_decimal.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_field.hpp"

namespace {

t_ftd column(VARTYPE vartype, uint32_t size = 0, uint32_t reserved = 0) {
    t_ftd ftd;
    ftd.vartype = vartype;
    ftd.size = size;
    ftd.reserved = reserved;
    return ftd;
}

t_ftd with_default(VARTYPE vartype, const ole_variant& value, uint32_t size = 0) {
    t_ftd ftd = column(vartype, size);
    ftd.default_value = value;
    return ftd;
}

std::u16string def(VARTYPE vartype, const char16_t* text, uint32_t size = 0) {
    const t_ftd ftd = with_default(vartype, ole_variant(text), size);
    return make_ora_def_val(&ftd);
}

std::u16string literal(const ole_variant& value) {
    const udb_field field(u"F", 0, value);
    return to_oracle_str(&field);
}

t_systemtime when(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    t_systemtime t;
    t.year = static_cast<uint16_t>(y);
    t.month = static_cast<uint16_t>(mo);
    t.day = static_cast<uint16_t>(d);
    t.hour = static_cast<uint16_t>(h);
    t.minute = static_cast<uint16_t>(mi);
    t.second = static_cast<uint16_t>(s);
    t.milliseconds = static_cast<uint16_t>(ms);
    return t;
}

}  // namespace

// Column types

TEST(ora_native_type, numbers_by_vartype_full_and_bare) {
    struct row {
        VARTYPE vartype;
        const char16_t* full;
    };
    // Unsigned kinds take one step wider than their signed neighbours of the same width.
    const row rows[] = {
        {VT_BOOL, u"NUMBER(3,0)"},  {VT_I2, u"NUMBER(5,0)"},   {VT_UI1, u"NUMBER(5,0)"},
        {VT_UI2, u"NUMBER(11,0)"},  {VT_INT, u"NUMBER(11,0)"}, {VT_UI4, u"NUMBER(19,0)"},
        {VT_UINT, u"NUMBER(19,0)"}, {VT_CY, u"NUMBER"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(get_ora_native_type(column(r.vartype), false), r.full) << r.vartype;
        EXPECT_EQ(get_ora_native_type(column(r.vartype), true), u"NUMBER") << r.vartype;
    }
    EXPECT_EQ(get_ora_native_type(column(VT_DECIMAL, 0, 0x0A02), false), u"NUMBER(10,2)");
    EXPECT_EQ(get_ora_native_type(column(VT_DECIMAL, 0, 0x2600), false), u"NUMBER(38,0)");
    EXPECT_EQ(get_ora_native_type(column(VT_DECIMAL, 0, 0x0505), false), u"NUMBER(5,5)");
    EXPECT_EQ(get_ora_native_type(column(VT_DECIMAL, 0, 0), false), u"NUMBER(0,0)");
    EXPECT_EQ(get_ora_native_type(column(VT_DECIMAL, 0, 0x0A02), true), u"NUMBER");
}

TEST(ora_native_type, dates_texts_and_binaries_by_size) {
    EXPECT_EQ(get_ora_native_type(column(VT_DATE, 0, 1), false), u"TIMESTAMP");
    EXPECT_EQ(get_ora_native_type(column(VT_DATE, 0, 2), false), u"DATE");
    EXPECT_EQ(get_ora_native_type(column(VT_DATE), true), u"DATE");

    EXPECT_EQ(get_ora_native_type(column(VT_BSTR, 1), false), u"NVARCHAR2(1) ");
    EXPECT_EQ(get_ora_native_type(column(VT_BSTR, 2000), false), u"NVARCHAR2(2000) ");
    EXPECT_EQ(get_ora_native_type(column(VT_BSTR, 2000), true), u"NVARCHAR2");
    EXPECT_EQ(get_ora_native_type(column(VT_BSTR, 2001), false), u"CLOB");
    EXPECT_EQ(get_ora_native_type(column(VT_BSTR, 0), false), u"CLOB");
    EXPECT_EQ(get_ora_native_type(column(VT_BSTR, 0, 10), false), u"LONG");
    // The LONG marker only applies to large texts.
    EXPECT_EQ(get_ora_native_type(column(VT_BSTR, 30, 10), false), u"NVARCHAR2(30) ");

    EXPECT_EQ(get_ora_native_type(column(VT_BLOB, 16), false), u"RAW(16)");
    EXPECT_EQ(get_ora_native_type(column(VT_BLOB, 2000), true), u"RAW");
    EXPECT_EQ(get_ora_native_type(column(VT_BLOB, 2001), false), u"BLOB");
}

TEST(ora_native_type, unsupported_vartypes_are_internal_errors) {
    for (VARTYPE vartype : {VT_EMPTY, VT_NULL, VT_VARIANT, VT_BLOB_OBJECT, VT_BYTE_ARRAY}) {
        try {
            get_ora_native_type(column(vartype), false);
            ADD_FAILURE() << vartype;
        } catch (const tk_mail_assertion& e) {
            EXPECT_EQ(e.level, 2);
        }
    }
}

TEST(ora_native_type, catalogue_numbers_refine_to_vartypes) {
    struct row {
        int precision;
        int scale;
        VARTYPE vartype;
        int refined_precision;
    };
    const row rows[] = {
        {0, 0, VT_R8, 0},      {39, 0, VT_R8, 39},      {40, 2, VT_R8, 40},
        {5, 5, VT_DECIMAL, 6}, {10, 2, VT_DECIMAL, 10}, {38, -2, VT_DECIMAL, 38},
        {1, 0, VT_I1, 1},      {2, 0, VT_I1, 2},        {3, 0, VT_I2, 3},
        {4, 0, VT_I2, 4},      {5, 0, VT_I4, 5},        {9, 0, VT_I4, 9},
        {10, 0, VT_I8, 10},    {20, 0, VT_I8, 20},      {21, 0, VT_R8, 21},
        {38, 0, VT_R8, 38},
    };
    for (const row& r : rows) {
        int precision = r.precision;
        EXPECT_EQ(get_refined_num_type(precision, r.scale), r.vartype)
            << r.precision << "," << r.scale;
        EXPECT_EQ(precision, r.refined_precision) << r.precision << "," << r.scale;
    }
}

TEST(ora_native_type, describe_codes_to_vartypes) {
    EXPECT_EQ(sqlt_to_vartype(6), VT_R8);
    EXPECT_EQ(sqlt_to_vartype(3), VT_I4);
    EXPECT_EQ(sqlt_to_vartype(231), VT_DATE);
    EXPECT_EQ(sqlt_to_vartype(114), VT_BLOB);
    EXPECT_EQ(sqlt_to_vartype(185), VT_BSTR);  // the table's TIMESTAMP code is no describe code
}

TEST(ora_native_type, user_chosen_types_for_display) {
    EXPECT_EQ(format_ora_type_name(u"NVARCHAR2", 40, 0, 0), u"NVARCHAR2(40)");
    EXPECT_EQ(format_ora_type_name(u"LONG RAW", 0, 0, 0), u"LONG RAW(0)");
    EXPECT_EQ(format_ora_type_name(u"NUMBER", 22, 10, 2), u"NUMBER(10,2)");
    EXPECT_EQ(format_ora_type_name(u"VARCHAR2", 2001, 10, 2), u"VARCHAR2");
    EXPECT_EQ(format_ora_type_name(u"DATE", 7, 0, 0), u"DATE");
}

TEST(ora_native_type, table_of_supported_catalogue_types) {
    const auto& types = ora_native_types();
    EXPECT_EQ(types.size(), 22u);
    // The codes the table keeps where OCI names others, and exact names only.
    EXPECT_EQ(types.at(u"LONG"), 3u);
    EXPECT_EQ(types.at(u"TIMESTAMP(6)"), 185u);
    EXPECT_EQ(types.at(u"ROWID"), 23u);
    EXPECT_EQ(types.count(u"number"), 0u);
    EXPECT_EQ(types.count(u"TIMESTAMP(3)"), 0u);
}

// Literals of texts

TEST(ora_literal, texts_numbers_and_empty_values) {
    EXPECT_EQ(to_oracle_str(u"O'Neil", VT_BSTR), u"'O''Neil'");
    EXPECT_EQ(to_oracle_str(u"''", VT_BSTR), u"''''''");
    EXPECT_EQ(to_oracle_str(u"a'b'c'", VT_BSTR), u"'a''b''c'''");
    EXPECT_EQ(to_oracle_str(u"Жук 𝄞 €", VT_BSTR), u"'Жук 𝄞 €'");
    EXPECT_EQ(to_oracle_str(u"12.5", VT_R8), u"12.5");
    EXPECT_EQ(to_oracle_str(u"-7", VT_I4), u"-7");
    EXPECT_EQ(to_oracle_str(u"1'2", VT_I4), u"1''2");
    for (VARTYPE vartype : {VT_I4, VT_BSTR, VT_DATE, VT_BLOB, VT_R8}) {
        EXPECT_EQ(to_oracle_str(u"", vartype), u"''") << vartype;
    }
}

TEST(ora_literal, dates_become_to_date_calls) {
    EXPECT_EQ(to_oracle_str(u"2016-03-01", VT_DATE), u"to_date('2016-03-01', 'YYYY-MM-DD')");
    EXPECT_EQ(to_oracle_str(u"2016-12-31 23:59:58", VT_DATE),
              u"to_date('2016-12-31 23:59:58', 'YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(to_oracle_str(u"10:20:30", VT_DATE), u"to_date('10:20:30', 'HH24-MI-SS')");
    EXPECT_EQ(to_oracle_str(u"20161231235959", VT_DATE),
              u"to_date('2016-12-31 23:59:59', 'YYYY-MM-DD HH24:MI:SS')");
    // Not a date: nothing, and the loader writes NULL.
    EXPECT_EQ(to_oracle_str(u"not a date", VT_DATE), u"");
    EXPECT_EQ(to_oracle_str(u"2016-13-01", VT_DATE), u"");
}

TEST(ora_literal, binaries_need_the_hexadecimal_prefix) {
    EXPECT_EQ(to_oracle_str(u"0x00FF", VT_BLOB), u"'00FF'");
    EXPECT_EQ(to_oracle_str(u"0X1a2B", VT_BYTE_ARRAY), u"'1a2B'");
    for (const char16_t* text : {u"0xZZ", u"0x12 ", u"1x12", u"A1", u"7", u"12a"}) {
        EXPECT_EQ(to_oracle_str(text, VT_BLOB), u"''") << tk_w2a(text);
    }
}

// Literals of field values

TEST(ora_literal, field_values_by_type) {
    EXPECT_EQ(literal(ole_variant(u"O'Neil")), u"'O''Neil'");
    EXPECT_EQ(literal(ole_variant(42)), u"42");
    EXPECT_EQ(literal(ole_variant(true)), u"1");
    EXPECT_EQ(literal(ole_variant(false)), u"0");
    EXPECT_EQ(literal(ole_variant(static_cast<long long>(-9007199254740993LL))),
              u"-9007199254740993");
    EXPECT_EQ(literal(ole_variant(when(2016, 3, 1))), u"to_date('2016-03-01', 'YYYY-MM-DD')");
    EXPECT_EQ(literal(ole_variant(when(2016, 3, 1, 10, 20, 30))),
              u"to_date('2016-03-01 10:20:30', 'YYYY-MM-DD HH24:MI:SS')");
    const unsigned char bytes[] = {0x00, 0xFF, 0x10};
    EXPECT_EQ(literal(ole_variant(sizeof bytes, bytes)), u"'00FF10'");
    ole_decimal dec;
    ASSERT_TRUE(
        ole_succeeded(ole_dec_from_str(std::string_view("-12345678901234567890.125"), dec)));
    EXPECT_EQ(literal(ole_variant(dec)), u"-12345678901234567890.125");
    EXPECT_EQ(literal(ole_variant()), u"''");
    EXPECT_THROW(to_oracle_str(static_cast<const udb_field*>(nullptr)), tk_mail_assertion);
}

TEST(ora_literal, doubles_keep_every_bit) {
    // The literal must read back as the very same double.
    for (double value : {12.5, 0.1 + 0.2, 1.0 / 3.0, -2.2250738585072014e-308, 123456789012345678.0,
                         9.99e125, 5e-324}) {
        const std::string text = tk_w2a(literal(ole_variant(value)));
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
}

TEST(ora_literal, guid_values_become_hextoraw_in_memory_byte_order) {
    const std::u16string text =
        u"GUID of this row is {00112233-4455-6677-8899-AABBCCDDEEFF} and no more";
    EXPECT_EQ(literal(ole_variant(text)), u"HEXTORAW('33221100554477668899AABBCCDDEEFF')");
    // Fewer than 45 characters, or no "guid" before the brace: plain text.
    EXPECT_EQ(literal(ole_variant(u"{00112233-4455-6677-8899-AABBCCDDEEFF}")),
              u"'{00112233-4455-6677-8899-AABBCCDDEEFF}'");
    EXPECT_EQ(to_oracle_str(text, VT_BSTR), u"'" + text + u"'");  // the text form never looks
}

TEST(ora_literal, appends_into_the_callers_buffer_without_reallocating) {
    std::u16string statement;
    statement.reserve(4096);
    statement = u"INSERT INTO T VALUES (";
    const char16_t* const data = statement.data();
    const udb_field number(u"N", 0, ole_variant(12.5));
    const udb_field name(u"S", 20, ole_variant(u"O'Neil"));
    const udb_field day(u"D", 0, ole_variant(when(2016, 3, 1)));
    for (int i = 0; i < 20; ++i) {
        append_oracle_str(&number, statement);
        statement += u',';
        append_oracle_str(&name, statement);
        statement += u',';
        append_oracle_str(u"0x0A0B", VT_BLOB, statement);
        statement += u',';
        append_oracle_str(&day, statement);
        statement += u',';
    }
    EXPECT_EQ(statement.data(), data);
    std::u16string expected = u"INSERT INTO T VALUES (";
    for (int i = 0; i < 20; ++i) {
        expected +=
            u"1.2500000000000000e+001,'O''Neil','0A0B',to_date('2016-03-01', 'YYYY-MM-DD'),";
    }
    EXPECT_EQ(statement, expected);
}

// Defaults

TEST(ora_default, texts_are_quoted_and_cut_to_the_column_size) {
    EXPECT_EQ(def(VT_BSTR, u"O'Neil"), u"'O''Neil'");
    EXPECT_EQ(def(VT_BSTR, u"abcdef", 3), u"'abc'");
    EXPECT_EQ(def(VT_BSTR, u"abc", 3), u"'abc'");
    EXPECT_EQ(def(VT_BSTR, u"a'cdef", 2), u"'a'''");
    // The cut never splits a surrogate pair.
    EXPECT_EQ(def(VT_BSTR, u"ab𝄞", 3), u"'ab'");
    EXPECT_EQ(def(VT_BSTR, u""), u"");
    const t_ftd no_default = column(VT_BSTR, 10);
    EXPECT_EQ(make_ora_def_val(&no_default), u"");
    EXPECT_THROW(make_ora_def_val(nullptr), tk_mail_assertion);
}

TEST(ora_default, integers_only_in_their_canonical_form) {
    EXPECT_EQ(def(VT_I4, u"12"), u"12");
    EXPECT_EQ(def(VT_I2, u"-5"), u"-5");
    EXPECT_EQ(def(VT_BOOL, u"0"), u"0");
    EXPECT_EQ(def(VT_UI1, u"255"), u"255");
    EXPECT_EQ(def(VT_I4, u"2147483647"), u"2147483647");
    for (const char16_t* text : {u"12.0", u"007", u"+5", u" 5", u"5 ", u"abc", u"-0", u"1e3"}) {
        EXPECT_EQ(def(VT_I4, text), u"") << tk_w2a(text);
    }
    EXPECT_EQ(def(VT_I8, u"12"), u"");
    EXPECT_EQ(def(VT_UI8, u"12"), u"");
    // A typed default renders through its own text.
    const t_ftd typed = with_default(VT_I4, ole_variant(12));
    EXPECT_EQ(make_ora_def_val(&typed), u"12");
}

TEST(ora_default, floating_defaults_in_range_or_zero) {
    EXPECT_EQ(def(VT_R8, u"12.75"), u"12.75");
    EXPECT_EQ(def(VT_CY, u"1e126"), u"1e126");
    EXPECT_EQ(def(VT_R8, u"-1e126"), u"-1e126");
    EXPECT_EQ(def(VT_R8, u"0.0"), u"0.0");
    EXPECT_EQ(def(VT_R4, u"-0E+0"), u"-0E+0");
    for (const char16_t* text : {u"abc", u"0x", u"nan", u"inf"}) {
        EXPECT_EQ(def(VT_R8, text), u"") << tk_w2a(text);
    }
}

TEST(ora_default, dates_are_canonized_into_to_date) {
    EXPECT_EQ(def(VT_DATE, u"2016-03-01"), u"to_date('2016-03-01', 'YYYY-MM-DD')");
    EXPECT_EQ(def(VT_DATE, u"20161231235959"),
              u"to_date('2016-12-31 23:59:59', 'YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(def(VT_DATE, u"sysdate"), u"");
    const t_ftd typed = with_default(VT_DATE, ole_variant(when(1999, 12, 31, 8, 0, 1)));
    EXPECT_EQ(make_ora_def_val(&typed), u"to_date('1999-12-31 08:00:01', 'YYYY-MM-DD HH24:MI:SS')");
}

TEST(ora_default, binaries_and_large_objects_get_none) {
    EXPECT_EQ(def(VT_BLOB, u"0x00"), u"");
    EXPECT_EQ(def(VT_BYTE_ARRAY, u"0x00"), u"");
    EXPECT_EQ(def(VT_BLOB_OBJECT, u"0x00"), u"");
}

// Values the literal rules lose or garble. Each case shows what reaches the server.

TEST(ora_literal_loss, milliseconds_of_a_date_time_are_dropped) {
    EXPECT_EQ(literal(ole_variant(when(2016, 3, 1, 10, 20, 30, 250))),
              u"to_date('2016-03-01 10:20:30', 'YYYY-MM-DD HH24:MI:SS')");
}

TEST(ora_literal_loss, a_time_without_date_gets_the_servers_date_and_keeps_its_fraction) {
    // to_date fills in the first day of the current month; the fraction stays in the text, which
    // the server rejects (see the engine tests), and 50 ms prints as ".50", half a second.
    EXPECT_EQ(to_oracle_str(u"10:20:30.050", VT_DATE), u"to_date('10:20:30.50', 'HH24-MI-SS')");
}

TEST(ora_literal_loss, a_text_that_names_a_guid_without_32_characters_is_an_internal_error) {
    // What arrives is shown by the engine tests; with fewer than 32 characters after the brace
    // the text is an internal error.
    const std::u16string short_memo = u"This text mentions a guid and then {a brace} only here.";
    EXPECT_THROW(literal(ole_variant(short_memo)), tk_mail_assertion);
}

TEST(ora_literal_loss, single_precision_values_keep_seven_digits) {
    // A float needs nine significant digits to come back as the same float.
    const float value = 1.2345678f;
    const std::string text = tk_w2a(literal(ole_variant(value)));
    EXPECT_EQ(text, "1.234568e+000");
    EXPECT_NE(std::strtof(text.c_str(), nullptr), value);
}

TEST(ora_literal_loss, decimal_digits_as_binary_lose_their_first_two) {
    EXPECT_EQ(to_oracle_str(u"123456", VT_BLOB), u"'3456'");
}

TEST(ora_literal_loss, numbers_beyond_oracle_number_pass_unchanged) {
    // NUMBER holds magnitudes below 1e126; these literals make the server reject the record.
    EXPECT_EQ(literal(ole_variant(1e200)), u"9.9999999999999997e+199");
    EXPECT_EQ(to_oracle_str(u"1e126", VT_R8), u"1e126");
    // Infinities and NaN render as text that is no SQL number at all.
    EXPECT_EQ(literal(ole_variant(HUGE_VAL)).substr(0, 6), u"1.#INF");
}

TEST(ora_default_loss, out_of_range_floating_default_becomes_zero) {
    EXPECT_EQ(def(VT_R8, u"1e200"), u"0");
    EXPECT_EQ(def(VT_DECIMAL, u"-1.5e127"), u"0");
}

TEST(ora_default_loss, unsigned_defaults_above_int32_are_dropped) {
    EXPECT_EQ(def(VT_UI4, u"4000000000"), u"");
    EXPECT_EQ(def(VT_UINT, u"2147483648"), u"");
}
