// Column descriptors, schemas, fields and records.
#include "udb/udb_schema.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "udb/udb_field.hpp"
#include "udb/udb_record.hpp"

namespace {

t_ftd column(VARTYPE type, uint32_t size = 0, const char16_t* name = u"C") {
    return t_ftd(size, name, type, false, false, ole_variant(), 0, u"");
}

bool conforms(VARTYPE source, uint32_t source_size, VARTYPE destination,
              uint32_t destination_size) {
    return column(source, source_size).conform_to(column(destination, destination_size));
}

}  // namespace

TEST(TFtd, EqualityAndKinds) {
    EXPECT_TRUE(column(VT_DECIMAL, 5) == column(VT_CY, 9));
    EXPECT_TRUE(column(VT_I4, 1) == column(VT_I4, 2));
    EXPECT_FALSE(column(VT_BSTR, 20) == column(VT_BSTR, 21));
    EXPECT_FALSE(column(VT_I4) == column(VT_I2));

    // Numbers keep an expression default from being read as 0.
    for (const VARTYPE vt : {VT_BOOL, VT_I1, VT_UI8, VT_R4, VT_R8, VT_DECIMAL, VT_CY}) {
        EXPECT_TRUE(t_ftd::is_numeric_type(vt)) << vt;
    }
    for (const VARTYPE vt : {VT_INT, VT_BSTR, VT_DATE}) {
        EXPECT_FALSE(t_ftd::is_numeric_type(vt)) << vt;
    }
    EXPECT_TRUE(column(VT_LPWSTR).is_text());
    EXPECT_TRUE(column(VT_BYTE_ARRAY).is_binary());
}

TEST(TFtd, Conformance) {
    EXPECT_TRUE(conforms(VT_DECIMAL, 40, VT_CY, 1));
    EXPECT_FALSE(conforms(VT_BSTR, 30, VT_BSTR, 20));
    EXPECT_TRUE(conforms(VT_BSTR, 30, VT_BSTR, 0));
    EXPECT_TRUE(conforms(VT_BSTR, 19, VT_DATE, 0));
    EXPECT_FALSE(conforms(VT_BSTR, 20, VT_DATE, 0));
    EXPECT_TRUE(conforms(VT_DATE, 8, VT_BSTR, 1));  // any kind but binary becomes text
    EXPECT_FALSE(conforms(VT_BLOB, 1, VT_BSTR, 0));
    EXPECT_TRUE(conforms(VT_I4, 4, VT_BLOB, 1));
    EXPECT_FALSE(conforms(VT_BSTR, 100, VT_BLOB, 50));
    EXPECT_FALSE(conforms(VT_INT, 4, VT_I4, 4));
    EXPECT_TRUE(conforms(VT_I4, 4, VT_INT, 4));
    EXPECT_FALSE(conforms(VT_BSTR, 5, VT_I4, 4));
    EXPECT_FALSE(conforms(VT_I4, 4, VT_VARIANT, 0));
}

TEST(TFtd, DestinationCopyOfAnAutoIncrementColumnAcceptsNulls) {
    const t_ftd counter(4, u"ID", VT_I4, true, true, ole_variant(), 0, u"");
    const t_ftd copy = counter.copy_for_destination();
    EXPECT_FALSE(copy.b_not_null);
    EXPECT_TRUE(copy.b_auto_increment);
    const t_ftd plain(4, u"N", VT_I4, true, false, ole_variant(5), 0, u"");
    EXPECT_TRUE(plain.copy_for_destination().b_not_null);
    EXPECT_EQ(plain.copy_for_destination().default_value.i4(), 5);
}

TEST(UdbSchema, ConformanceOfSchemas) {
    udb_schema three(true);
    for (int i = 0; i < 3; ++i) {
        three.add_owned(std::make_unique<t_ftd>(column(VT_I4)));
    }
    udb_schema four = three;
    t_ftd extra = column(VT_I4);
    four.push_back(&extra);
    EXPECT_TRUE(three.conform_to(three));
    EXPECT_FALSE(three.conform_to(four));

    udb_schema narrow = three;
    t_ftd text = column(VT_BSTR, 20);
    narrow[1] = &text;
    udb_schema wide = three;
    t_ftd wide_text = column(VT_BSTR, 30);
    wide[1] = &wide_text;
    EXPECT_FALSE(wide.conform_to(narrow));
    EXPECT_TRUE(narrow.conform_to(wide));
}

TEST(UdbSchema, LookupsIgnoreCase) {
    udb_schema s;
    s.add_owned(std::make_unique<t_ftd>(column(VT_I4, 4, u"Id")));
    s.add_owned(std::make_unique<t_ftd>(column(VT_BSTR, 40, u"Stra\u00dfe")));
    s.add_owned(std::make_unique<t_ftd>(column(VT_R8, 8, u"ID")));
    EXPECT_EQ(s.get_field_idx(u"id"), 0);
    EXPECT_EQ(s.get_field_idx(u"stra\u00dfe"), 1);
    EXPECT_EQ(s.get_field_idx(u"missing"), -1);
    EXPECT_FALSE(s.find_field(u"I"));
    EXPECT_EQ(s.get_field(u"ID").vartype, VT_I4);  // the first match
    const udb_schema& read_only = s;
    EXPECT_EQ(read_only.get_field(u"STRA\u00dfE").size, 40u);
    EXPECT_THROW(s.get_field(u"missing"), tk_mail_assertion);
    EXPECT_THROW(s.column(3), tk_mail_assertion);
}

TEST(UdbSchema, CopiesShareOwnedDescriptors) {
    auto copy = std::make_unique<udb_schema>();
    {
        udb_schema original;
        original.add_owned(std::make_unique<t_ftd>(column(VT_I4, 4, u"A")));
        *copy = original;
    }
    // The descriptor outlived the schema that created it.
    EXPECT_EQ(copy->column(0).name, u"A");
    t_ftd outside = column(VT_R8, 8, u"B");
    copy->push_back(&outside);  // not owned: must not be released by the schema
    copy.reset();
    EXPECT_EQ(outside.name, u"B");
}

TEST(UdbRecord, OwnsItsFields) {
    udb_record r;
    r.add(std::make_unique<udb_field>(u"A", 4, ole_variant(7)));
    r.push_back(new udb_field(u"B", 10, ole_variant(u"text")));
    r.push_back(nullptr);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r.field(1).to_string(), "text");
    const udb_field copy(r.field(1));  // as a type mapping copies the fields it keeps
    EXPECT_EQ(copy.name + u"/" + copy.wstring(), u"B/text");
    EXPECT_EQ(copy.size, 10u);
    EXPECT_THROW(r.field(2), tk_mail_assertion);
    EXPECT_THROW(r.field(3), tk_mail_assertion);

    udb_record moved(std::move(r));
    EXPECT_EQ(moved.size(), 3u);
    EXPECT_TRUE(r.empty());  // NOLINT(bugprone-use-after-move)
    udb_record other;
    other = std::move(moved);
    EXPECT_EQ(other.field(0).to_long(), 7);
}
