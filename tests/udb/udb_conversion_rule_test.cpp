// The registry of custom conversion rules and the rule that writes logical columns as T or F.
#include <gtest/gtest.h>

#include "tk/tk_exception.hpp"
#include "udb/brixel_bool_rule.hpp"
#include "udb/ole_variant.hpp"
#include "udb/t_ftd.hpp"

namespace {

t_ftd column(VARTYPE type) {
    return t_ftd(1, u"FLAG", type, false, false, ole_variant(), 0, u"");
}

TEST(ConversionRules, OutsideARunEveryQuestionAnswersNo) {
    EXPECT_FALSE(udb_custom_conversion::is_acceptable1(column(VT_BOOL)));
    EXPECT_FALSE(udb_custom_conversion::is_acceptable2(ole_variant(true)));
    EXPECT_EQ(udb_custom_conversion::handle1(column(VT_BOOL)), u"");
    EXPECT_THROW(udb_custom_conversion::handle2(ole_variant(true)), tk_mail_assertion);
}

TEST(ConversionRules, BoolRuleMakesLogicalColumnsOneCharacterTextOfTOrF) {
    udb_custom_conversion registry;
    registry.add_rule(std::make_unique<brixel_bool_rule>());

    EXPECT_TRUE(udb_custom_conversion::is_acceptable1(column(VT_BOOL)));
    EXPECT_EQ(udb_custom_conversion::handle1(column(VT_BOOL)), u"CHAR(1)");
    EXPECT_FALSE(udb_custom_conversion::is_acceptable1(column(VT_I4)));
    EXPECT_EQ(udb_custom_conversion::handle1(column(VT_I4)), u"");

    EXPECT_EQ(udb_custom_conversion::handle2(ole_variant(true)), u"'T'");
    EXPECT_EQ(udb_custom_conversion::handle2(ole_variant(false)), u"'F'");
    ole_variant odd;
    odd.set_variant_bool(1);  // not the canonical -1, still true
    EXPECT_EQ(udb_custom_conversion::handle2(odd), u"'T'");
    EXPECT_FALSE(udb_custom_conversion::is_acceptable2(ole_variant(1)));
    EXPECT_THROW(udb_custom_conversion::handle2(ole_variant(1)), tk_mail_assertion);

    EXPECT_THROW(udb_custom_conversion second, tk_mail_assertion);
}

}  // namespace
