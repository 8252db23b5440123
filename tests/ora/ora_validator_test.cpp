// The Oracle name rules: which names pass as they are, and what a refused or taken name
// becomes, for column, table and index names.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ora/ora_validator.hpp"
#include "support/log_capture.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_schema.hpp"

namespace {

udb_schema schema_of(std::initializer_list<const char16_t*> names) {
    udb_schema schema;
    for (const char16_t* name : names) {
        schema.add_owned(std::make_unique<t_ftd>(10, name, VT_BSTR, false, false, ole_variant(), 0,
                                                 std::u16string()));
    }
    return schema;
}

}  // namespace

TEST(ora_validator_rules, names_that_pass_as_they_are) {
    const ora_validator v;
    EXPECT_TRUE(v.is_acceptable(u"ORDERS"));
    EXPECT_TRUE(v.is_acceptable(u"order_line$2#"));
    EXPECT_TRUE(v.is_acceptable(std::u16string(30, u'X')));
    // National letters are letters, also in first place.
    EXPECT_TRUE(v.is_acceptable(u"Überweisung_1"));
    EXPECT_TRUE(v.is_acceptable(u"Ёлка2"));
    EXPECT_TRUE(v.is_acceptable(u"αβγ"));
    // Reserved words pass: every name is written between double quotes.
    EXPECT_TRUE(v.is_acceptable(u"DATE"));
    EXPECT_TRUE(v.is_acceptable(u"TABLE"));
    EXPECT_EQ(v.get_safe_name(u"DATE"), u"DATE");
}

TEST(ora_validator_rules, refused_names_and_their_safe_forms) {
    const ora_validator v;
    EXPECT_FALSE(v.is_acceptable(u""));
    EXPECT_FALSE(v.is_acceptable(u"1ST_QUARTER"));
    EXPECT_EQ(v.get_safe_name(u"1ST_QUARTER"), u"A1ST_QUARTER");
    EXPECT_FALSE(v.is_acceptable(u"_HIDDEN"));
    EXPECT_EQ(v.get_safe_name(u"_HIDDEN"), u"A_HIDDEN");

    const std::u16string long_name = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ12345";  // 31
    EXPECT_FALSE(v.is_acceptable(long_name));
    EXPECT_EQ(v.get_safe_name(long_name), long_name.substr(0, 29));
    // A digit first makes a 30-character name 31 long: it is cut after the "A" goes in front.
    EXPECT_EQ(v.get_safe_name(u"9" + std::u16string(29, u'B')), u"A9" + std::u16string(27, u'B'));

    EXPECT_FALSE(v.is_acceptable(u"FIRST NAME"));
    EXPECT_EQ(v.get_safe_name(u"FIRST NAME"), u"FIRST_NAME");
    EXPECT_EQ(v.get_safe_name(u"a-b c.d"), u"a_b_c_d");
    // A character outside the BMP that is no letter becomes one "_", not two.
    EXPECT_EQ(v.get_safe_name(u"NOTE\U0001D11E"), u"NOTE_");
    EXPECT_EQ(v.get_safe_name(u""), u"A");
}

TEST(ora_validator_rules, the_trace_names_the_first_offending_character) {
    log_capture log(1);
    const ora_validator v;
    EXPECT_FALSE(v.is_acceptable(u"A-B C"));
    EXPECT_TRUE(log.has_line("ora_validator::ctor"));
    EXPECT_TRUE(log.has_line("ora_validator::is_acceptable(A-B C)"));
    EXPECT_TRUE(log.has_line("Name contains invalid symbol: '-'"));
    EXPECT_FALSE(log.has_line("Name contains invalid symbol: ' '"));
}

TEST(ora_validator_kinds, taken_names_are_numbered_whatever_their_case) {
    const udb_schema schema = schema_of({u"NAME", u"CITY"});
    const ora_fn_validator columns(schema);
    EXPECT_TRUE(columns.is_duplicated(u"name"));
    EXPECT_EQ(columns.get_safe_name(u"name"), u"name00000");
    EXPECT_EQ(columns.get_safe_name(u"ZIP"), u"ZIP");

    udb_record record;
    record.add(std::make_unique<udb_field>(u"ID", 4));
    record.add(std::make_unique<udb_field>(u"ID00000", 4));
    const ora_fn_validator fields(record);
    EXPECT_EQ(fields.get_safe_name(u"id"), u"id00001");

    // A taken 31-character name: cut to 29 for the rules, then to 24 for the number.
    const std::u16string long_name = u"CUSTOMER_ADDRESS_LINE_NUMBER_X";  // 30
    const ora_tn_validator tables({long_name.substr(0, 29)}, {u"V_ORDERS"});
    EXPECT_EQ(tables.get_safe_name(long_name + u"Y"), long_name.substr(0, 24) + u"00000");
    EXPECT_EQ(tables.get_safe_name(u"v_orders"), u"v_orders00000");
    EXPECT_EQ(tables.get_safe_name(u"2021-SALES"), u"A2021_SALES");
}

TEST(ora_validator_kinds, index_names_of_a_whole_run) {
    ora_in_validator names;
    udb_indexes first;
    first.emplace_back(u"PK_ORDERS", true, true, std::vector<std::u16string>{u"ID"});
    first.emplace_back(u"IX_DATE", false, false, std::vector<std::u16string>{u"D"});
    names.load(first);
    EXPECT_EQ(names.get_safe_name(u"ix_date"), u"ix_date00000");
    names.add_existing_name(u"ix_date00000");
    EXPECT_EQ(names.get_safe_name(u"IX_DATE"), u"IX_DATE00001");
    EXPECT_EQ(names.get_safe_name(u"PK_LINES"), u"PK_LINES");
}
