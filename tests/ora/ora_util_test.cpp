// Oracle column types, vartypes of catalogue and describe codes, and SQL literals of values and
// defaults, including the values the literal rules lose or garble. Pure: no server.

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

std::u16string def(VARTYPE vartype, const ole_variant& value, uint32_t size = 0) {
    t_ftd ftd = column(vartype, size);
    ftd.default_value = value;
    return make_ora_def_val(&ftd);
}

std::u16string literal(const ole_variant& value) {
    const udb_field field(u"F", 0, value);
    return to_oracle_str(&field);
}

t_systemtime when(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return t_systemtime{
        static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0,
        static_cast<uint16_t>(d), static_cast<uint16_t>(h),  static_cast<uint16_t>(mi),
        static_cast<uint16_t>(s), static_cast<uint16_t>(ms)};
}

}  // namespace

TEST(ora_native_type, column_types_by_vartype_size_and_reserved_word) {
    // Unsigned kinds take one step wider than their signed neighbours of the same width.
    const std::pair<VARTYPE, const char16_t*> numbers[] = {
        {VT_BOOL, u"NUMBER(3,0)"},  {VT_I2, u"NUMBER(5,0)"},   {VT_UI1, u"NUMBER(5,0)"},
        {VT_UI2, u"NUMBER(11,0)"},  {VT_INT, u"NUMBER(11,0)"}, {VT_UI4, u"NUMBER(19,0)"},
        {VT_UINT, u"NUMBER(19,0)"}, {VT_CY, u"NUMBER"}};
    for (const auto& [vartype, full] : numbers) {
        EXPECT_EQ(get_ora_native_type(column(vartype), false), full) << vartype;
        EXPECT_EQ(get_ora_native_type(column(vartype), true), u"NUMBER") << vartype;
    }
    struct row {
        VARTYPE vartype;
        uint32_t size;
        uint32_t reserved;
        const char16_t* full;
        const char16_t* bare;
    };
    // The LONG marker only applies to large texts.
    const row rows[] = {
        {VT_DECIMAL, 0, 0x0A02, u"NUMBER(10,2)", u"NUMBER"},
        {VT_DECIMAL, 0, 0x0505, u"NUMBER(5,5)", u"NUMBER"},
        {VT_DATE, 0, 1, u"TIMESTAMP", u"TIMESTAMP"},
        {VT_DATE, 0, 2, u"DATE", u"DATE"},
        {VT_DATE, 0, 3, u"TIMESTAMP(3)", u"TIMESTAMP"},
        {VT_BSTR, 2000, 0, u"NVARCHAR2(2000) ", u"NVARCHAR2"},
        {VT_BSTR, 2001, 0, u"CLOB", u"CLOB"},
        {VT_BSTR, 0, 0, u"CLOB", u"CLOB"},
        {VT_BSTR, 0, 10, u"LONG", u"LONG"},
        {VT_BSTR, 30, 10, u"NVARCHAR2(30) ", u"NVARCHAR2"},
        {VT_BLOB, 16, 0, u"RAW(16)", u"RAW"},
        {VT_BLOB, 2001, 0, u"BLOB", u"BLOB"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.vartype << " size " << r.size << " word " << r.reserved);
        EXPECT_EQ(get_ora_native_type(column(r.vartype, r.size, r.reserved), false), r.full);
        EXPECT_EQ(get_ora_native_type(column(r.vartype, r.size, r.reserved), true), r.bare);
    }
    for (VARTYPE vartype : {VT_EMPTY, VT_NULL, VT_VARIANT, VT_BLOB_OBJECT, VT_BYTE_ARRAY}) {
        try {
            get_ora_native_type(column(vartype), false);
            ADD_FAILURE() << vartype;
        } catch (const tk_mail_assertion& e) {
            EXPECT_EQ(e.level, 2);
        }
    }
}

TEST(ora_native_type, catalogue_and_describe_codes_to_vartypes) {
    struct row {
        int precision;
        int scale;
        VARTYPE vartype;
        int refined_precision;
    };
    const row rows[] = {
        {0, 0, VT_R8, 0},        {39, 0, VT_R8, 39},       {5, 5, VT_DECIMAL, 6},
        {10, 2, VT_DECIMAL, 10}, {38, -2, VT_DECIMAL, 38}, {2, 0, VT_I1, 2},
        {3, 0, VT_I2, 3},        {4, 0, VT_I2, 4},         {5, 0, VT_I4, 5},
        {9, 0, VT_I4, 9},        {10, 0, VT_I8, 10},       {20, 0, VT_I8, 20},
        {21, 0, VT_R8, 21},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.precision << "," << r.scale);
        int precision = r.precision;
        EXPECT_EQ(get_refined_num_type(precision, r.scale), r.vartype);
        EXPECT_EQ(precision, r.refined_precision);
    }
    EXPECT_EQ(sqlt_to_vartype(6), VT_R8);
    EXPECT_EQ(sqlt_to_vartype(3), VT_I4);
    EXPECT_EQ(sqlt_to_vartype(231), VT_DATE);
    EXPECT_EQ(sqlt_to_vartype(114), VT_BLOB);
    EXPECT_EQ(sqlt_to_vartype(185), VT_BSTR);  // the table's TIMESTAMP code is no describe code

    EXPECT_EQ(format_ora_type_name(u"NVARCHAR2", 40, 0, 0), u"NVARCHAR2(40)");
    EXPECT_EQ(format_ora_type_name(u"NUMBER", 22, 10, 2), u"NUMBER(10,2)");
    EXPECT_EQ(format_ora_type_name(u"VARCHAR2", 2001, 10, 2), u"VARCHAR2");
    EXPECT_EQ(format_ora_type_name(u"DATE", 7, 0, 0), u"DATE");
}

TEST(ora_literal, texts_by_column_vartype) {
    struct row {
        const char16_t* text;
        VARTYPE vartype;
        const char16_t* expected;
    };
    const row rows[] = {
        {u"O'Neil", VT_BSTR, u"'O''Neil'"},
        {u"Жук 𝄞 €", VT_BSTR, u"'Жук 𝄞 €'"},
        {u"12.5", VT_R8, u"12.5"},
        {u"1'2", VT_I4, u"1''2"},
        // Empty text is NULL to Oracle whatever the column.
        {u"", VT_I4, u"''"},
        {u"", VT_BLOB, u"''"},
        {u"2016-03-01", VT_DATE, u"to_date('2016-03-01', 'YYYY-MM-DD')"},
        {u"2016-12-31 23:59:58", VT_DATE,
         u"to_date('2016-12-31 23:59:58', 'YYYY-MM-DD HH24:MI:SS')"},
        {u"10:20:30", VT_DATE, u"to_date('10:20:30', 'HH24-MI-SS')"},
        {u"20161231235959", VT_DATE, u"to_date('2016-12-31 23:59:59', 'YYYY-MM-DD HH24:MI:SS')"},
        // Not a date: nothing, and the loader writes NULL.
        {u"not a date", VT_DATE, u""},
        // A time without date gets the server's date and keeps its fraction, which the server
        // rejects; 50 ms prints as ".50", half a second.
        {u"10:20:30.050", VT_DATE, u"to_date('10:20:30.50', 'HH24-MI-SS')"},
        {u"0x00FF", VT_BLOB, u"'00FF'"},
        {u"0X1a2B", VT_BYTE_ARRAY, u"'1a2B'"},
        {u"0xZZ", VT_BLOB, u"''"},
        {u"A1", VT_BLOB, u"''"},
        // Decimal digits as a binary lose their first two.
        {u"123456", VT_BLOB, u"'3456'"},
        // NUMBER holds magnitudes below 1e126; this literal makes the server reject the record.
        {u"1e126", VT_R8, u"1e126"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(tk_w2a(r.text));
        EXPECT_EQ(to_oracle_str(r.text, r.vartype), r.expected);
    }
}

TEST(ora_literal, field_values_by_type) {
    EXPECT_EQ(literal(ole_variant(u"O'Neil")), u"'O''Neil'");
    EXPECT_EQ(literal(ole_variant(42)), u"42");
    EXPECT_EQ(literal(ole_variant(true)), u"1");
    EXPECT_EQ(literal(ole_variant(false)), u"0");
    EXPECT_EQ(literal(ole_variant(static_cast<long long>(-9007199254740993LL))),
              u"-9007199254740993");
    EXPECT_EQ(literal(ole_variant(when(2016, 3, 1))), u"to_date('2016-03-01', 'YYYY-MM-DD')");
    // Milliseconds are dropped.
    EXPECT_EQ(literal(ole_variant(when(2016, 3, 1, 10, 20, 30, 250))),
              u"to_date('2016-03-01 10:20:30', 'YYYY-MM-DD HH24:MI:SS')");
    const unsigned char bytes[] = {0x00, 0xFF, 0x10};
    EXPECT_EQ(literal(ole_variant(sizeof bytes, bytes)), u"'00FF10'");
    ole_decimal dec;
    ASSERT_TRUE(
        ole_succeeded(ole_dec_from_str(std::string_view("-12345678901234567890.125"), dec)));
    EXPECT_EQ(literal(ole_variant(dec)), u"-12345678901234567890.125");
    EXPECT_EQ(literal(ole_variant()), u"''");
    EXPECT_THROW(to_oracle_str(static_cast<const udb_field*>(nullptr)), tk_mail_assertion);

    // Doubles read back as the very same double.
    for (double value :
         {0.1 + 0.2, 1.0 / 3.0, -2.2250738585072014e-308, 123456789012345678.0, 9.99e125, 5e-324}) {
        const std::string text = tk_w2a(literal(ole_variant(value)));
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
    // A float keeps seven digits where it needs nine to come back the same.
    const float single = 1.2345678f;
    EXPECT_EQ(tk_w2a(literal(ole_variant(single))), "1.234568e+000");
    // Magnitudes NUMBER cannot hold pass unchanged; infinities become no SQL number at all.
    EXPECT_EQ(literal(ole_variant(1e200)), u"9.9999999999999997e+199");
    EXPECT_EQ(literal(ole_variant(HUGE_VAL)).substr(0, 6), u"1.#INF");
}

TEST(ora_literal, exact_values_keep_every_digit_and_millisecond_and_guess_nothing) {
    const auto exact = [](const ole_variant& value, VARTYPE column_vartype) {
        const udb_field field(u"F", 0, value);
        std::u16string out;
        append_oracle_str_exact(&field, column_vartype, out);
        return out;
    };
    EXPECT_EQ(exact(ole_variant(u"-12345678901234567890123456789.5"), VT_DECIMAL),
              u"-12345678901234567890123456789.5");
    EXPECT_EQ(exact(ole_variant(u"1.5E+125"), VT_R8), u"1.5E+125");
    EXPECT_EQ(exact(ole_variant(0.1), VT_R8), u"0.1");
    EXPECT_EQ(exact(ole_variant(when(2016, 3, 1, 10, 20, 30, 250)), VT_DATE),
              u"TO_TIMESTAMP('2016-03-01 10:20:30.250', 'YYYY-MM-DD HH24:MI:SS.FF3')");
    EXPECT_EQ(exact(ole_variant(when(2016, 3, 1)), VT_DATE),
              u"to_date('2016-03-01 00:00:00', 'YYYY-MM-DD HH24:MI:SS')");
    const std::u16string guid_text = u"{00112233-4455-6677-8899-AABBCCDDEEFF} it's kept";
    EXPECT_EQ(exact(ole_variant(guid_text), VT_BSTR),
              u"'{00112233-4455-6677-8899-AABBCCDDEEFF} it''s kept'");
    // A value the column cannot take is an error, never NULL or a neighbour.
    EXPECT_THROW(exact(ole_variant(u"12 apples"), VT_DECIMAL), tk_exception);
    EXPECT_THROW(exact(ole_variant(1e126), VT_R8), tk_exception);
}

TEST(ora_literal, guid_values_become_hextoraw_in_memory_byte_order) {
    const std::u16string text =
        u"GUID of this row is {00112233-4455-6677-8899-AABBCCDDEEFF} and no more";
    EXPECT_EQ(literal(ole_variant(text)), u"HEXTORAW('33221100554477668899AABBCCDDEEFF')");
    // Fewer than 45 characters, or no "guid" before the brace: plain text.
    EXPECT_EQ(literal(ole_variant(u"{00112233-4455-6677-8899-AABBCCDDEEFF}")),
              u"'{00112233-4455-6677-8899-AABBCCDDEEFF}'");
    EXPECT_EQ(to_oracle_str(text, VT_BSTR), u"'" + text + u"'");  // the text form never looks
    // Fewer than 32 characters after the brace: an internal error.
    EXPECT_THROW(literal(ole_variant(u"This text mentions a guid and then {a brace} only here.")),
                 tk_mail_assertion);
}

TEST(ora_literal, appends_into_the_callers_buffer_without_reallocating) {
    std::u16string statement;
    statement.reserve(4096);
    const char16_t* const data = statement.data();
    const udb_field number(u"N", 0, ole_variant(12.5));
    const udb_field day(u"D", 0, ole_variant(when(2016, 3, 1)));
    for (int i = 0; i < 40; ++i) {
        append_oracle_str(&number, statement);
        append_oracle_str(u"0x0A0B", VT_BLOB, statement);
        append_oracle_str(&day, statement);
    }
    EXPECT_EQ(statement.data(), data);
    EXPECT_EQ(statement.substr(0, 68),
              u"1.2500000000000000e+001'0A0B'to_date('2016-03-01', 'YYYY-MM-DD')1.25");
}

TEST(ora_default, literals_by_column_type) {
    struct row {
        VARTYPE vartype;
        const char16_t* text;
        uint32_t size;
        const char16_t* expected;
    };
    const row rows[] = {
        // Texts are quoted and cut to the column size, never inside a surrogate pair.
        {VT_BSTR, u"O'Neil", 0, u"'O''Neil'"},
        {VT_BSTR, u"abcdef", 3, u"'abc'"},
        {VT_BSTR, u"abc", 3, u"'abc'"},
        {VT_BSTR, u"a'cdef", 2, u"'a'''"},
        {VT_BSTR, u"ab𝄞", 3, u"'ab'"},
        {VT_I4, u"12", 0, u"12"},
        {VT_UI1, u"255", 0, u"255"},
        {VT_I4, u"2147483647", 0, u"2147483647"},
        // Floating defaults in range as written; out of range they become zero.
        {VT_R8, u"12.75", 0, u"12.75"},
        {VT_CY, u"1e126", 0, u"1e126"},
        {VT_R4, u"-0E+0", 0, u"-0E+0"},
        {VT_R8, u"1e200", 0, u"0"},
        {VT_DECIMAL, u"-1.5e127", 0, u"0"},
        {VT_DATE, u"2016-03-01", 0, u"to_date('2016-03-01', 'YYYY-MM-DD')"},
        {VT_DATE, u"20161231235959", 0, u"to_date('2016-12-31 23:59:59', 'YYYY-MM-DD HH24:MI:SS')"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.vartype << " " << tk_w2a(r.text));
        EXPECT_EQ(def(r.vartype, ole_variant(r.text), r.size), r.expected);
    }
    // No default: integers not in their canonical form, 64-bit and unsigned ones above the 32-bit
    // range, texts that are no number or date, binaries and large objects.
    const std::pair<VARTYPE, const char16_t*> none[] = {
        {VT_BSTR, u""},          {VT_I4, u"12.0"},         {VT_I4, u"007"}, {VT_I4, u"+5"},
        {VT_I4, u"-0"},          {VT_I4, u"1e3"},          {VT_I8, u"12"},  {VT_UI8, u"12"},
        {VT_UI4, u"4000000000"}, {VT_UINT, u"2147483648"}, {VT_R8, u"nan"}, {VT_DATE, u"sysdate"},
        {VT_BLOB, u"0x00"},      {VT_BLOB_OBJECT, u"0x00"}};
    for (const auto& [vartype, text] : none) {
        EXPECT_EQ(def(vartype, ole_variant(text)), u"") << vartype << " " << tk_w2a(text);
    }
    // Typed defaults render through their own text; no default or no column gives nothing.
    EXPECT_EQ(def(VT_I4, ole_variant(12)), u"12");
    EXPECT_EQ(def(VT_DATE, ole_variant(when(1999, 12, 31, 8, 0, 1))),
              u"to_date('1999-12-31 08:00:01', 'YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(def(VT_BSTR, ole_variant(), 10), u"");
    EXPECT_THROW(make_ora_def_val(nullptr), tk_mail_assertion);
}
