// The custom type mapping: what it does to a table's schema, indexes and records, the type code
// a mapped column gets, the "Type Mappings" profile section, and the data files.

#include <gtest/gtest.h>

#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_db_mutator.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_profile.hpp"

namespace {

using names = std::vector<std::u16string>;

const std::string data_dir = BRIXEL_SOURCE_DIR "/data/";

// A destination type table of a few names, as the Oracle layer answers it.
bool test_type_codes(std::u16string_view name, VARTYPE& code) {
    if (name == u"DATE") {
        code = VT_DATE;
    } else if (name == u"RAW") {
        code = VT_BLOB;
    } else {
        return name == u"NVARCHAR2" || name == u"CLOB" ? (code = VT_BSTR, true) : false;
    }
    return true;
}

udb_db_mutator make_model(const std::string& map = "ora.map", const std::string& typ = "ora.typ") {
    return udb_db_mutator(data_dir + map, data_dir + typ, &test_type_codes);
}

t_field_description description(std::u16string type, int32_t length, int32_t scale = 0,
                                int32_t precision = 0) {
    t_field_description d;
    d.type = std::move(type);
    d.length = length;
    d.scale = scale;
    d.precision = precision;
    return d;
}

void fill(udb_record& record, int32_t id, const char16_t* name, double price) {
    record.clear();
    record.add(std::make_unique<udb_field>(u"ID", 0, ole_variant(id)));
    record.add(std::make_unique<udb_field>(u"NAME", 40, ole_variant(name)));
    record.add(std::make_unique<udb_field>(u"PRICE", 0, ole_variant(price)));
    record.add(std::make_unique<udb_field>(u"NOTE", 0, ole_variant(u"memo")));
}

}  // namespace

TEST(udb_type_mapping, unmapped_table_and_table_without_columns_pass_unchanged) {
    udb_db_mutator model = make_model();
    t_ftd id(0, u"ID", VT_I4, true, false, ole_variant(), 0, u"");
    udb_schema schema;
    schema.push_back(&id);
    udb_indexes indexes;
    indexes.emplace_back(u"PK", true, true, names{u"ID"});
    EXPECT_EQ(model.modify1(u"orders", schema, indexes), u"orders");

    model.get_table_mutator(u"orders", u"ORDERS_2");
    EXPECT_EQ(model.modify1(u"orders", schema, indexes), u"ORDERS_2");
    EXPECT_EQ(schema[0], &id);
    EXPECT_EQ(indexes[0].fields, names{u"ID"});
    udb_record record;
    fill(record, 1, u"a", 2.5);
    EXPECT_EQ(&model.find_table_mutator(u"orders")->modify2(record), &record);
    EXPECT_EQ(model.find_table_mutator(u"ORDERS"), nullptr);  // exact lookups
}

TEST(udb_type_mapping, schema_indexes_and_records_follow_renames_types_and_drops) {
    udb_db_mutator model = make_model();
    udb_table_mutator& table = model.get_table_mutator(u"customers", u"KUNDEN");
    table.update_field(u"NAME", u"CUSTOMER", description(u"NVARCHAR2(60)", 60));
    // NUMBER(11,0) is a 32-bit integer, so that too large a value fails.
    table.update_field(u"PRICE", u"PRICE", description(u"NUMBER(11,0)", 0, 0, 11));
    table.update_field(u"NOTE", u"NOTE", description(u"CLOB", 0));
    table.find_field(u"NOTE")->status = udb_field_mutator::status_deleted;

    t_ftd id(0, u"ID", VT_I4, true, false, ole_variant(), 0, u"");
    t_ftd name(40, u"NAME", VT_BSTR, false, false, ole_variant(), 0, u"");
    t_ftd price(0, u"PRICE", VT_R8, false, false, ole_variant(), 0, u"");
    t_ftd note(0, u"NOTE", VT_BSTR, false, false, ole_variant(), 0, u"");
    udb_schema schema;
    for (t_ftd* column : {&id, &name, &price, &note}) {
        schema.push_back(column);
    }
    udb_indexes indexes;
    indexes.emplace_back(u"BY_NAME", false, false, names{u"NAME", u"NOTE"});
    indexes.emplace_back(u"BY_NOTE", false, false, names{u"NOTE"});
    EXPECT_EQ(model.modify1(u"customers", schema, indexes), u"KUNDEN");

    ASSERT_EQ(schema.size(), 3u);
    EXPECT_EQ(schema.column(1).name, u"CUSTOMER");
    EXPECT_EQ(schema.column(1).native_type, u"NVARCHAR2(60)");
    EXPECT_EQ(schema.column(1).default_value.vt(), VT_EMPTY);
    EXPECT_EQ(schema.column(2).vartype, VT_I4);
    EXPECT_EQ(name.name, u"NAME");  // the recordset's own descriptors stay as they were
    ASSERT_EQ(indexes.size(), 1u);  // an index of dropped columns only is gone
    EXPECT_EQ(indexes[0].fields, names{u"CUSTOMER"});

    udb_record record;
    fill(record, 1, u"Anna", 1234.0);
    udb_record* first = &table.modify2(record);
    ASSERT_EQ(first->size(), 3u);
    EXPECT_EQ(first->field(1).name, u"CUSTOMER");
    EXPECT_EQ(first->field(2).vt(), VT_I4);
    EXPECT_EQ(first->field(2).i4(), 1234);
    EXPECT_EQ(record.field(2).vt(), VT_R8);  // the input record is not touched

    fill(record, 2, u"Bert", 1e30);
    try {
        table.modify2(record);
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "Data conversion is not supported for given type mapping");
        EXPECT_EQ(e.level, 0);
    }
    fill(record, 3, u"Cleo", -7.4);
    udb_record& third = table.modify2(record);
    EXPECT_EQ(&third, first);
    EXPECT_EQ(third.field(0).i4(), 3);
    EXPECT_EQ(third.field(1).wstring(), u"Cleo");
    EXPECT_EQ(third.field(2).i4(), -7);

    // Fewer fields than the last record: nothing of the previous record stays.
    record.clear();
    record.add(std::make_unique<udb_field>(u"NOTE", 0, ole_variant(u"x")));
    record.add(std::make_unique<udb_field>(u"NAME", 40, ole_variant(u"Dora")));
    udb_record& short_one = table.modify2(record);
    ASSERT_EQ(short_one.size(), 1u);
    EXPECT_EQ(short_one.field(0).wstring(), u"Dora");
}

TEST(udb_type_mapping, mapped_type_codes) {
    const udb_table_mutator table(u"T", &test_type_codes);
    const struct {
        const char16_t* type;
        int32_t scale;
        int32_t precision;
        VARTYPE expected;
    } cases[] = {
        {u"NUMBER(3,0)", 0, 3, VT_I1},   {u"NUMBER(4,0)", 0, 4, VT_I2},
        {u"NUMBER(5,0)", 0, 5, VT_I2},   {u"NUMBER(6,0)", 0, 6, VT_I4},
        {u"NUMBER(11,0)", 0, 11, VT_I4}, {u"NUMBER(12,0)", 0, 12, VT_I8},
        {u"NUMBER(19,0)", 0, 19, VT_I8}, {u"NUMBER(20,0)", 0, 20, VT_R8},
        {u"NUMBER(10,2)", 2, 10, VT_R8}, {u"NUMBER", 0, 0, VT_R8},
        {u"DATE", 0, 0, VT_DATE},        {u"NVARCHAR2(60) ", 0, 0, VT_BSTR},
        {u"RAW(16)", 0, 0, VT_BLOB},     {u"XMLTYPE", 0, 0, VT_BSTR},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(table.mapped_vartype(c.type, c.scale, c.precision), c.expected)
            << tk_w2a(c.type) << " precision " << c.precision;
    }
}

TEST(udb_type_mapping, profile_section_lines_and_byte_stable_round_trip) {
    udb_db_mutator model = make_model();
    model.get_properties()[u"comment"] = u"from C:\\dbf";
    udb_table_mutator& kunden = model.get_table_mutator(u"kunden", u"KUNDEN_NEU");
    t_field_description ort = description(u"NVARCHAR2(80)", 80);
    ort.default_value = u"Zürich";
    kunden.update_field(u"ORT", u"STADT", ort);
    kunden.update_field(u"ALT", u"ALT", description(u"NUMBER(10,2)", 10, 2, 10));
    kunden.find_field(u"ALT")->status = udb_field_mutator::status_deleted;
    kunden.get_properties()[u"tablespace"] = u"USERS";
    model.get_table_mutator(u"leer", u"LEER");

    udb_profile profile;
    ASSERT_TRUE(model.store_profile(profile));
    const names expected = {u"database:",
                            u"  comment: from C:\\dbf",
                            u"tables:",
                            u"  - name: kunden",
                            u"    new_name: KUNDEN_NEU",
                            u"    fields:",
                            u"      - name:ALT",
                            u"        new_name: ALT",
                            u"        status: deleted",
                            u"        type: NUMBER(10,2)",
                            u"        default_value: ",
                            u"        character_set: ",
                            u"        length: 10",
                            u"        scale: 2",
                            u"        precision: 10",
                            u"      - name:ORT",
                            u"        new_name: STADT",
                            u"        status: changed",
                            u"        type: NVARCHAR2(80)",
                            u"        default_value: Zürich",
                            u"        character_set: ",
                            u"        length: 80",
                            u"        scale: 0",
                            u"        precision: 0",
                            u"    properties:",
                            u"        tablespace: USERS",
                            u"  - name: leer",
                            u"    new_name: LEER",
                            u"    fields:"};
    EXPECT_EQ(profile.get_lines(u"Type Mappings"), expected);

    // Through a file (which trims the lines) into a new model and out again.
    tk_test_folder folder;
    ASSERT_TRUE(profile.store(tk_from_utf8(folder.file("a.brixel"))));
    udb_profile loaded;
    ASSERT_TRUE(loaded.load(tk_from_utf8(folder.file("a.brixel"))));
    udb_db_mutator back = make_model();
    ASSERT_TRUE(back.load_profile(loaded));
    const udb_table_mutator& table = *back.find_table_mutator(u"kunden");
    EXPECT_EQ(back.tables_by_destination().at(u"KUNDEN_NEU"), &table);
    EXPECT_EQ(table.find_field(u"ORT")->default_value, u"Zürich");
    EXPECT_EQ(table.find_field(u"ALT")->vartype, VT_R8);
    EXPECT_EQ(table.find_field(u"ALT")->status, udb_field_mutator::status_deleted);
    udb_profile again;
    ASSERT_TRUE(back.store_profile(again));
    EXPECT_EQ(again.get_lines(u"Type Mappings"), expected);
}

TEST(udb_type_mapping, profile_section_edge_cases_and_damage) {
    const auto load = [](udb_db_mutator& model, const names& lines) {
        udb_profile profile;
        for (const auto& line : lines) {
            profile.add_line(u"Type Mappings", line);
        }
        return model.load_profile(profile);
    };
    udb_db_mutator model = make_model();
    // A field with a blank after "name:" and no new name; a field with an unknown line.
    ASSERT_TRUE(load(model, {u"database:", u"tables:", u"  - name: t", u"    fields:",
                             u"      - name: c", u"        new_name:", u"        status: deleted",
                             u"      - name:d", u"        comment: later", u"        type: DATE"}));
    const udb_table_mutator& table = *model.find_table_mutator(u"t");
    EXPECT_EQ(table.new_name, u"t");
    EXPECT_EQ(table.find_field(u"c")->new_name, u"c");
    EXPECT_EQ(table.find_field(u"c")->status, udb_field_mutator::status_deleted);
    EXPECT_EQ(table.find_field(u"d")->vartype, VT_DATE);

    EXPECT_TRUE(load(model, {u"database:", u"tables:"}));
    EXPECT_TRUE(model.tables().empty());

    const std::vector<names> damaged = {
        {u"tables:", u"- name: t", u"fields:", u"- name:c", u"length: 12x"},
        {u"tables:", u"  - name: t", u"      - name:c", u"        type: DATE"},
        {u"tables:", u"type: DATE"},
    };
    for (const auto& lines : damaged) {
        model.get_table_mutator(u"old", u"OLD");
        EXPECT_FALSE(load(model, lines)) << tk_w2a(lines.back());
        EXPECT_TRUE(model.tables().empty());
    }

    // A name whose blanks the reader would trim is not written.
    udb_profile profile;
    model.get_table_mutator(u"t", u"T ");
    EXPECT_FALSE(model.store_profile(profile));
    EXPECT_TRUE(profile.get_lines(u"Type Mappings").empty());
}

TEST(udb_type_mapping, offered_types_and_parameters_from_the_data_files) {
    const udb_db_mutator model = make_model();
    const names& for_text = model.get_mapped_types(u"NVARCHAR2(40) ");
    EXPECT_NE(std::find(for_text.begin(), for_text.end(), u"VARCHAR2"), for_text.end());
    EXPECT_TRUE(model.get_mapped_types(u"XMLTYPE").empty());
    EXPECT_EQ(model.get_type_params(u"NUMBER"), (names{u"PRECISION", u"SCALE"}));
    EXPECT_TRUE(model.get_type_params(u"DATE").empty());

    const udb_db_mutator missing = make_model("nothing.map");
    try {
        missing.get_mapped_types(u"DATE");
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot find " + data_dir + "nothing.map. Custom type mapping is not available.");
        EXPECT_EQ(e.level, 1);
    }
}
