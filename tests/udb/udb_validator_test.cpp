// Safe names for the destination (length limit, duplicates, reserved words, illegal
// characters) and the maps from source to destination names.
#include "udb/udb_validator.hpp"

#include <gtest/gtest.h>

#include "tk/tk_exception.hpp"
#include "udb/udb_names_map.hpp"

namespace {

const std::u16string name35 = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ123456789";

TEST(SafeName, LongNameIsCutAndATakenOneNumberedWithinTheLimit) {
    udb_validator v(30);
    EXPECT_FALSE(v.is_acceptable(name35));
    EXPECT_EQ(v.get_safe_name(name35), name35.substr(0, 29));  // one less than the limit
    v.add_existing_name(name35.substr(0, 29));
    const std::u16string first = v.get_safe_name(name35);
    EXPECT_EQ(first, name35.substr(0, 24) + u"00000");
    v.add_existing_name(first);
    EXPECT_EQ(v.get_safe_name(name35), name35.substr(0, 24) + u"00001");
}

TEST(SafeName, DuplicatesAndReservedWordsCompareWithoutCase) {
    udb_validator v(0);
    v.restricted_names = {u"DATE", u"TABLE"};
    v.add_existing_name(u"Orders");
    EXPECT_TRUE(v.is_duplicated(u"ORDERS"));
    EXPECT_FALSE(v.is_acceptable(u"date"));
    EXPECT_EQ(v.get_safe_name(u"date"), u"date00000");
    EXPECT_EQ(v.get_safe_name(u"orders"), u"orders00000");
    EXPECT_EQ(v.get_safe_name(u"customers"), u"customers");
}

TEST(SafeName, EveryIllegalCharacterBecomesAnUnderscore) {
    udb_validator v(0);
    v.illegal_chars = u" -";
    EXPECT_FALSE(v.is_acceptable(u"a b"));
    EXPECT_EQ(v.get_safe_name(u"a b-c d"), u"a_b_c_d");
}

TEST(SafeName, ExhaustedCandidatesAreAnInternalError) {
    // Every candidate is too long for a limit of 3, so no name can ever be made.
    udb_validator v(3);
    v.restricted_names = {u"AB"};
    EXPECT_THROW(v.get_safe_name(u"ab"), tk_mail_assertion);
}

TEST(NamesMap, FirstMappingWinsAndUnknownNamesComeBackUnchanged) {
    udb_names_map names;
    names.add_tn_mapping(u"orders", u"ORDERS_1");
    names.add_tn_mapping(u"orders", u"ORDERS_2");
    EXPECT_EQ(names.get_tn_mapped_name(u"ORDERS", false), u"ORDERS_1");
    EXPECT_EQ(names.get_tn_mapped_name(u"ORDERS", true), u"ORDERS");
    EXPECT_EQ(names.get_tn_mapped_name(u"parts", false), u"parts");

    t_names_map columns;
    columns.add(u"date", u"DATE_");
    columns.add(u"date", u"DATE_2");
    names.add_fn_map(u"ORDERS_1", columns);
    EXPECT_EQ(names.get_fn_mapped_name(u"ORDERS_1", u"Date", false), u"DATE_");
    EXPECT_EQ(names.get_fn_mapped_name(u"ORDERS_1", u"Date", true), u"Date");
    // The column map is found by the exact destination table name.
    EXPECT_EQ(names.get_fn_mapped_name(u"orders_1", u"date", false), u"date");
}

}  // namespace
