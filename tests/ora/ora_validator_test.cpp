// The Oracle name rules: which names pass as they are, and what a refused or taken name
// becomes, for column, table and index names.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ora/ora_validator.hpp"
#include "support/log_capture.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_schema.hpp"

TEST(ora_validator_rules, accepted_and_refused_names_with_their_safe_forms) {
    struct row {
        std::u16string name;
        bool b_acceptable;
        std::u16string safe;
    };
    const std::u16string long_name = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ12345";  // 31
    const row rows[] = {
        {u"order_line$2#", true, u"order_line$2#"},
        {std::u16string(30, u'X'), true, std::u16string(30, u'X')},
        // National letters are letters, also in first place.
        {u"Überweisung_1", true, u"Überweisung_1"},
        {u"Ёлка2", true, u"Ёлка2"},
        // Reserved words pass: every name is written between double quotes.
        {u"DATE", true, u"DATE"},
        {u"", false, u"A"},
        {u"1ST_QUARTER", false, u"A1ST_QUARTER"},
        {u"_HIDDEN", false, u"A_HIDDEN"},
        {long_name, false, long_name.substr(0, 29)},
        // A digit first makes a 30-character name 31 long: cut after the "A" goes in front.
        {u"9" + std::u16string(29, u'B'), false, u"A9" + std::u16string(27, u'B')},
        {u"a-b c.d", false, u"a_b_c_d"},
        // A character outside the BMP that is no letter becomes one "_", not two.
        {u"NOTE\U0001D11E", false, u"NOTE_"},
    };
    const ora_validator v;
    for (const row& r : rows) {
        SCOPED_TRACE(tk_to_utf8(r.name));
        EXPECT_EQ(v.is_acceptable(r.name), r.b_acceptable);
        EXPECT_EQ(v.get_safe_name(r.name), r.safe);
    }
    // Only the first offending character is reported.
    log_capture log(1);
    EXPECT_FALSE(v.is_acceptable(u"A-B C"));
    EXPECT_TRUE(log.has_line("Name contains invalid symbol: '-'"));
    EXPECT_FALSE(log.has_line("Name contains invalid symbol: ' '"));
}

TEST(ora_validator_kinds, taken_names_are_numbered_whatever_their_case) {
    udb_schema schema;
    for (const char16_t* name : {u"NAME", u"CITY"}) {
        schema.add_owned(std::make_unique<t_ftd>(10, name, VT_BSTR, false, false, ole_variant(), 0,
                                                 std::u16string()));
    }
    const ora_fn_validator columns(schema);
    EXPECT_TRUE(columns.is_duplicated(u"name"));
    EXPECT_EQ(columns.get_safe_name(u"name"), u"name00000");
    EXPECT_EQ(columns.get_safe_name(u"ZIP"), u"ZIP");

    udb_record record;
    record.add(std::make_unique<udb_field>(u"ID", 4));
    record.add(std::make_unique<udb_field>(u"ID00000", 4));
    EXPECT_EQ(ora_fn_validator(record).get_safe_name(u"id"), u"id00001");

    // A taken 31-character name: cut to 29 for the rules, then to 24 for the number.
    const std::u16string long_name = u"CUSTOMER_ADDRESS_LINE_NUMBER_X";  // 30
    const ora_tn_validator tables({long_name.substr(0, 29)}, {u"V_ORDERS"});
    EXPECT_EQ(tables.get_safe_name(long_name + u"Y"), long_name.substr(0, 24) + u"00000");
    EXPECT_EQ(tables.get_safe_name(u"v_orders"), u"v_orders00000");
    EXPECT_EQ(tables.get_safe_name(u"2021-SALES"), u"A2021_SALES");

    // Index names are unique over a whole run.
    ora_in_validator indexes;
    udb_indexes first;
    first.emplace_back(u"PK_ORDERS", true, true, std::vector<std::u16string>{u"ID"});
    first.emplace_back(u"IX_DATE", false, false, std::vector<std::u16string>{u"D"});
    indexes.load(first);
    EXPECT_EQ(indexes.get_safe_name(u"ix_date"), u"ix_date00000");
    indexes.add_existing_name(u"ix_date00000");
    EXPECT_EQ(indexes.get_safe_name(u"IX_DATE"), u"IX_DATE00001");
    EXPECT_EQ(indexes.get_safe_name(u"PK_LINES"), u"PK_LINES");
}
