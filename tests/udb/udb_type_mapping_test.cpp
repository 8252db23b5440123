// The custom type mapping: what it does to a table's schema, indexes and records, the type code
// a mapped column gets, the "Type Mappings" profile section, and the data files.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"
#include "tk/tk_wstring.hpp"
#include "tk/tk_yaml_config.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_db_mutator.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_profile.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_schema.hpp"

namespace {

const std::string data_dir = BRIXEL_SOURCE_DIR "/data/";

// A destination type table of a few names, as the Oracle layer answers it.
bool test_type_codes(std::u16string_view name, VARTYPE& code) {
    if (name == u"DATE" || name == u"TIMESTAMP") {
        code = VT_DATE;
    } else if (name == u"NVARCHAR2" || name == u"CLOB") {
        code = VT_BSTR;
    } else if (name == u"RAW" || name == u"BLOB") {
        code = VT_BLOB;
    } else if (name == u"FLOAT") {
        code = VT_R8;
    } else {
        return false;
    }
    return true;
}

udb_db_mutator make_model() {
    return udb_db_mutator(data_dir + "ora.map", data_dir + "ora.typ", &test_type_codes);
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

// The columns ID, NAME, PRICE, NOTE of the source table.
struct source_table {
    t_ftd id{0, u"ID", VT_I4, true, false, ole_variant(), 0, u""};
    t_ftd name{40, u"NAME", VT_BSTR, false, false, ole_variant(), 0, u""};
    t_ftd price{0, u"PRICE", VT_R8, false, false, ole_variant(), 0, u""};
    t_ftd note{0, u"NOTE", VT_BSTR, false, false, ole_variant(), 0, u""};
    udb_schema schema;
    udb_indexes indexes;

    source_table() {
        schema.push_back(&id);
        schema.push_back(&name);
        schema.push_back(&price);
        schema.push_back(&note);
        indexes.emplace_back(u"PK", true, true, std::vector<std::u16string>{u"ID"});
        indexes.emplace_back(u"BY_NAME", false, false,
                             std::vector<std::u16string>{u"NAME", u"NOTE"});
        indexes.emplace_back(u"BY_NOTE", false, false, std::vector<std::u16string>{u"NOTE"});
    }

    static void fill(udb_record& record, int32_t id, const std::u16string& name, double price) {
        record.clear();
        record.add(std::make_unique<udb_field>(u"ID", 0, ole_variant(id)));
        record.add(std::make_unique<udb_field>(u"NAME", 40, ole_variant(name)));
        record.add(std::make_unique<udb_field>(u"PRICE", 0, ole_variant(price)));
        record.add(std::make_unique<udb_field>(u"NOTE", 0, ole_variant(u"memo")));
    }
};

// Customers renamed, NAME renamed and widened, PRICE made a whole number (NUMBER(11,0), a
// 32-bit integer, so that too large a value fails), NOTE dropped.
void map_customers(udb_db_mutator& model) {
    udb_table_mutator& table = model.get_table_mutator(u"customers", u"KUNDEN");
    table.update_field(u"NAME", u"CUSTOMER", description(u"NVARCHAR2(60)", 60));
    table.update_field(u"PRICE", u"PRICE", description(u"NUMBER(11,0)", 0, 0, 11));
    table.update_field(u"NOTE", u"NOTE", description(u"CLOB", 0));
    table.find_field(u"NOTE")->status = udb_field_mutator::status_deleted;
}

std::vector<std::u16string> names(const udb_schema& schema) {
    std::vector<std::u16string> out;
    for (const t_ftd* column : schema) {
        out.push_back(column->name);
    }
    return out;
}

}  // namespace

TEST(udb_type_mapping_run, unmapped_table_and_table_without_columns_pass_unchanged) {
    udb_db_mutator model = make_model();
    source_table source;
    EXPECT_EQ(model.modify1(u"orders", source.schema, source.indexes), u"orders");
    EXPECT_EQ(source.schema.size(), 4u);
    EXPECT_EQ(source.schema[0], &source.id);
    EXPECT_EQ(source.indexes.size(), 3u);

    model.get_table_mutator(u"orders", u"ORDERS_2");
    EXPECT_EQ(model.modify1(u"orders", source.schema, source.indexes), u"ORDERS_2");
    EXPECT_EQ(source.schema[3], &source.note);
    EXPECT_EQ(source.indexes[1].fields, (std::vector<std::u16string>{u"NAME", u"NOTE"}));
    udb_record record;
    source_table::fill(record, 1, u"a", 2.5);
    EXPECT_EQ(&model.find_table_mutator(u"orders")->modify2(record), &record);
    // Lookups are exact: another letter case is another table.
    EXPECT_EQ(model.find_table_mutator(u"ORDERS"), nullptr);
}

TEST(udb_type_mapping_run, schema_and_indexes_follow_renames_types_and_drops) {
    udb_db_mutator model = make_model();
    map_customers(model);
    source_table source;
    EXPECT_EQ(model.modify1(u"customers", source.schema, source.indexes), u"KUNDEN");

    EXPECT_EQ(names(source.schema), (std::vector<std::u16string>{u"ID", u"CUSTOMER", u"PRICE"}));
    const t_ftd& customer = source.schema.column(1);
    EXPECT_EQ(customer.native_type, u"NVARCHAR2(60)");
    EXPECT_EQ(customer.size, 60u);
    EXPECT_EQ(customer.vartype, VT_BSTR);
    EXPECT_EQ(customer.default_value.vt(), VT_EMPTY);
    EXPECT_EQ(source.schema.column(2).vartype, VT_I4);
    EXPECT_EQ(source.schema.column(2).native_type, u"NUMBER(11,0)");
    EXPECT_TRUE(source.schema.column(0).b_not_null);
    // The recordset's own descriptors are left as they were.
    EXPECT_EQ(source.name.name, u"NAME");
    EXPECT_EQ(source.name.size, 40u);

    ASSERT_EQ(source.indexes.size(), 2u);
    EXPECT_EQ(source.indexes[0].fields, std::vector<std::u16string>{u"ID"});
    EXPECT_EQ(source.indexes[1].name, u"BY_NAME");
    EXPECT_EQ(source.indexes[1].fields, std::vector<std::u16string>{u"CUSTOMER"});
}

TEST(udb_type_mapping_run, records_are_renamed_converted_and_a_failing_value_fails_alone) {
    udb_db_mutator model = make_model();
    map_customers(model);
    udb_table_mutator& table = *model.find_table_mutator(u"customers");
    udb_record record;

    source_table::fill(record, 1, u"Anna", 1234.0);
    udb_record* first = &table.modify2(record);
    ASSERT_NE(first, &record);
    ASSERT_EQ(first->size(), 3u);
    EXPECT_EQ(first->field(1).name, u"CUSTOMER");
    EXPECT_EQ(first->field(1).size, 60u);
    EXPECT_EQ(first->field(1).wstring(), u"Anna");
    EXPECT_EQ(first->field(2).vt(), VT_I4);
    EXPECT_EQ(first->field(2).i4(), 1234);
    EXPECT_EQ(first->field(0).i4(), 1);
    // The input record is not touched.
    EXPECT_EQ(record.field(2).vt(), VT_R8);
    EXPECT_EQ(record.field(1).name, u"NAME");

    source_table::fill(record, 2, u"Bert", 1e30);
    try {
        table.modify2(record);
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "Data conversion is not supported for given type mapping");
        EXPECT_EQ(e.level, 0);
    }

    source_table::fill(record, 3, u"Cleo", -7.4);
    udb_record& third = table.modify2(record);
    EXPECT_EQ(&third, first);
    ASSERT_EQ(third.size(), 3u);
    EXPECT_EQ(third.field(0).i4(), 3);
    EXPECT_EQ(third.field(1).wstring(), u"Cleo");
    EXPECT_EQ(third.field(2).i4(), -7);

    // A record with fewer fields than the last one: nothing of the previous record stays.
    record.clear();
    record.add(std::make_unique<udb_field>(u"NOTE", 0, ole_variant(u"x")));
    record.add(std::make_unique<udb_field>(u"NAME", 40, ole_variant(u"Dora")));
    udb_record& short_one = table.modify2(record);
    ASSERT_EQ(short_one.size(), 1u);
    EXPECT_EQ(short_one.field(0).name, u"CUSTOMER");
    EXPECT_EQ(short_one.field(0).wstring(), u"Dora");
}

TEST(udb_type_mapping_model, mapped_type_codes) {
    udb_table_mutator table(u"T", &test_type_codes);
    struct case_t {
        const char16_t* type;
        int32_t scale;
        int32_t precision;
        VARTYPE expected;
    };
    const case_t cases[] = {
        {u"NUMBER(3,0)", 0, 3, VT_I1},   {u"NUMBER(4,0)", 0, 4, VT_I2},
        {u"NUMBER(5,0)", 0, 5, VT_I2},   {u"NUMBER(6,0)", 0, 6, VT_I4},
        {u"NUMBER(11,0)", 0, 11, VT_I4}, {u"NUMBER(12,0)", 0, 12, VT_I8},
        {u"NUMBER(19,0)", 0, 19, VT_I8}, {u"NUMBER(20,0)", 0, 20, VT_R8},
        {u"NUMBER(10,2)", 2, 10, VT_R8}, {u"NUMBER", 0, 0, VT_R8},
        {u"DATE", 0, 0, VT_DATE},        {u"NVARCHAR2(60) ", 0, 0, VT_BSTR},
        {u"RAW(16)", 0, 0, VT_BLOB},     {u"FLOAT", 0, 0, VT_R8},
        {u"XMLTYPE", 0, 0, VT_BSTR},     {u"", 0, 0, VT_BSTR},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(table.mapped_vartype(c.type, c.scale, c.precision), c.expected)
            << tk_w2a(c.type) << " scale " << c.scale << " precision " << c.precision;
    }
}

TEST(udb_type_mapping_model, renaming_again_moves_the_destination_entries) {
    udb_db_mutator model = make_model();
    udb_table_mutator& table = model.get_table_mutator(u"t", u"A");
    table.update_field(u"c", u"X", description(u"DATE", 0));
    table.update_field(u"c", u"Y", description(u"DATE", 0));
    EXPECT_EQ(table.fields().size(), 1u);
    EXPECT_EQ(table.fields_by_destination().count(u"X"), 0u);
    EXPECT_EQ(table.fields_by_destination().at(u"Y"), table.find_field(u"c"));
    EXPECT_EQ(&model.get_table_mutator(u"t", u"B"), &table);
    EXPECT_EQ(table.new_name, u"B");
    EXPECT_EQ(model.tables_by_destination().count(u"A"), 0u);
    EXPECT_EQ(model.tables_by_destination().at(u"B"), &table);
    model.clear();
    EXPECT_TRUE(model.tables().empty());
    EXPECT_TRUE(model.tables_by_destination().empty());
}

TEST(udb_type_mapping_model, field_properties_come_from_the_members) {
    udb_field_mutator field;
    field.new_name = u"N";
    field.type = u"NUMBER(8,2)";
    field.length = 8;
    field.scale = 2;
    field.precision = 8;
    const udb_properties::property_map expected = {
        {u"character_set", u""}, {u"default_value", u""}, {u"length", u"8"},
        {u"new_name", u"N"},     {u"scale", u"2"},        {u"type", u"NUMBER(8,2)"}};
    EXPECT_EQ(field.get_properties(), expected);
}

namespace {

// Everything the section can carry: two tables (the first with properties), a dropped column,
// a default, a character set, non-ASCII names and database properties.
void fill_rich_model(udb_db_mutator& model) {
    model.get_properties()[u"schema"] = u"SALES";
    model.get_properties()[u"comment"] = u"moved from C:\\dbf";
    udb_table_mutator& kunden = model.get_table_mutator(u"kunden", u"KUNDEN_NEU");
    t_field_description ort = description(u"NVARCHAR2(80)", 80);
    ort.default_value = u"Zürich";
    ort.character_set = u"AL32UTF8";
    kunden.update_field(u"ORT", u"STADT", ort);
    kunden.update_field(u"BETRAG", u"BETRAG", description(u"NUMBER(10,2)", 10, 2, 10));
    kunden.update_field(u"ALT", u"ALT", description(u"CLOB", 0));
    kunden.find_field(u"ALT")->status = udb_field_mutator::status_deleted;
    kunden.get_properties()[u"tablespace"] = u"USERS";
    model.get_table_mutator(u"artikel", u"ARTIKEL")
        .update_field(u"NR", u"NR", description(u"NUMBER(6,0)", 0, 0, 6));
    model.get_table_mutator(u"leer", u"LEER");
}

std::string save(udb_db_mutator& model, const std::string& path) {
    udb_profile profile;
    profile.set_value(u"Generic settings", u"src", u"/data");
    EXPECT_TRUE(model.store_profile(profile));
    EXPECT_TRUE(profile.store(tk_from_utf8(path)));
    return tk_test_folder::read(path);
}

bool reload(udb_db_mutator& model, const std::string& path) {
    udb_profile profile;
    EXPECT_TRUE(profile.load(tk_from_utf8(path)));
    return model.load_profile(profile);
}

}  // namespace

TEST(udb_type_mapping_profile, section_lines_as_written) {
    udb_db_mutator model = make_model();
    fill_rich_model(model);
    udb_profile profile;
    ASSERT_TRUE(model.store_profile(profile));
    const std::vector<std::u16string> expected = {
        u"database:",
        u"  comment: moved from C:\\dbf",
        u"  schema: SALES",
        u"tables:",
        u"  - name: artikel",
        u"    new_name: ARTIKEL",
        u"    fields:",
        u"      - name:NR",
        u"        new_name: NR",
        u"        status: changed",
        u"        type: NUMBER(6,0)",
        u"        default_value: ",
        u"        character_set: ",
        u"        length: 0",
        u"        scale: 0",
        u"        precision: 6",
        u"  - name: kunden",
        u"    new_name: KUNDEN_NEU",
        u"    fields:",
        u"      - name:ALT",
        u"        new_name: ALT",
        u"        status: deleted",
        u"        type: CLOB",
        u"        default_value: ",
        u"        character_set: ",
        u"        length: 0",
        u"        scale: 0",
        u"        precision: 0",
        u"      - name:BETRAG",
        u"        new_name: BETRAG",
        u"        status: changed",
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
        u"        character_set: AL32UTF8",
        u"        length: 80",
        u"        scale: 0",
        u"        precision: 0",
        u"    properties:",
        u"        tablespace: USERS",
        u"  - name: leer",
        u"    new_name: LEER",
        u"    fields:",
    };
    EXPECT_EQ(profile.get_lines(u"Type Mappings"), expected);
}

TEST(udb_type_mapping_profile, saved_mapping_loads_back_and_saves_byte_for_byte) {
    tk_test_folder folder;
    udb_db_mutator model = make_model();
    fill_rich_model(model);
    const std::string first = save(model, folder.file("first.brixel"));

    udb_db_mutator loaded = make_model();
    ASSERT_TRUE(reload(loaded, folder.file("first.brixel")));
    ASSERT_EQ(loaded.tables().size(), 3u);
    EXPECT_EQ(loaded.get_properties().at(u"comment"), u"moved from C:\\dbf");
    const udb_table_mutator& kunden = *loaded.find_table_mutator(u"kunden");
    EXPECT_EQ(kunden.new_name, u"KUNDEN_NEU");
    EXPECT_EQ(loaded.tables_by_destination().at(u"KUNDEN_NEU"), &kunden);
    ASSERT_EQ(kunden.fields().size(), 3u);
    const udb_field_mutator& ort = *kunden.find_field(u"ORT");
    EXPECT_EQ(ort.new_name, u"STADT");
    EXPECT_EQ(ort.default_value, u"Zürich");
    EXPECT_EQ(ort.character_set, u"AL32UTF8");
    EXPECT_EQ(ort.length, 80);
    EXPECT_EQ(ort.status, udb_field_mutator::status_changed);
    EXPECT_EQ(kunden.fields_by_destination().at(u"STADT"), &ort);
    const udb_field_mutator& betrag = *kunden.find_field(u"BETRAG");
    EXPECT_EQ(betrag.scale, 2);
    EXPECT_EQ(betrag.precision, 10);
    EXPECT_EQ(betrag.vartype, VT_R8);
    EXPECT_EQ(kunden.find_field(u"ALT")->status, udb_field_mutator::status_deleted);
    EXPECT_EQ(loaded.find_table_mutator(u"artikel")->find_field(u"NR")->vartype, VT_I4);
    EXPECT_TRUE(loaded.find_table_mutator(u"leer")->fields().empty());
    EXPECT_EQ(const_cast<udb_table_mutator&>(kunden).get_properties().at(u"tablespace"), u"USERS");

    EXPECT_EQ(save(loaded, folder.file("second.brixel")), first);
}

TEST(udb_type_mapping_profile, indented_lines_and_names_without_blank_read_back) {
    // Lines as the writer gives them, before a file trims them.
    udb_profile profile;
    for (const char16_t* line :
         {u"database:", u"tables:", u"  - name: t", u"    new_name: T2", u"    fields:",
          u"      - name:a b", u"        new_name: AB", u"        status: changed",
          u"        type: DATE", u"        length: 7", u"      - name: c", u"        new_name:",
          u"        type: CLOB", u"        status: deleted"}) {
        profile.add_line(u"Type Mappings", line);
    }
    udb_db_mutator model = make_model();
    ASSERT_TRUE(model.load_profile(profile));
    const udb_table_mutator& table = *model.find_table_mutator(u"t");
    EXPECT_EQ(table.new_name, u"T2");
    EXPECT_EQ(table.find_field(u"a b")->new_name, u"AB");
    EXPECT_EQ(table.find_field(u"a b")->vartype, VT_DATE);
    EXPECT_EQ(table.find_field(u"a b")->length, 7);
    // A field given no new name keeps its source name.
    ASSERT_NE(table.find_field(u"c"), nullptr);
    EXPECT_EQ(table.find_field(u"c")->new_name, u"c");
    EXPECT_EQ(table.find_field(u"c")->status, udb_field_mutator::status_deleted);
}

TEST(udb_type_mapping_profile, texts_that_would_read_back_different_are_not_written) {
    const auto refused = [](void (*setup)(udb_db_mutator&)) {
        udb_db_mutator model = make_model();
        setup(model);
        udb_profile profile;
        const bool b_stored = model.store_profile(profile);
        // Nothing is half written.
        EXPECT_EQ(profile.get_lines(u"Type Mappings").empty(), !b_stored);
        return !b_stored;
    };
    EXPECT_TRUE(refused([](udb_db_mutator& m) {
        t_field_description d = description(u"NVARCHAR2(10)", 10);
        d.default_value = u" padded";
        m.get_table_mutator(u"t", u"T").update_field(u"c", u"C", d);
    }));
    EXPECT_TRUE(refused([](udb_db_mutator& m) { m.get_table_mutator(u"t", u"T "); }));
    EXPECT_TRUE(refused([](udb_db_mutator& m) { m.get_properties()[u"a:b"] = u"c"; }));
    EXPECT_TRUE(refused(
        [](udb_db_mutator& m) { m.get_table_mutator(u"t", u"T").get_properties()[u""] = u"x"; }));
    EXPECT_FALSE(refused([](udb_db_mutator& m) { m.get_properties()[u"path"] = u"C:\\x"; }));
}

TEST(udb_type_mapping_profile, empty_sections_and_damaged_lines) {
    udb_db_mutator model = make_model();
    model.get_table_mutator(u"old", u"OLD");

    udb_profile empty;
    empty.add_line(u"Type Mappings", u"database:");
    empty.add_line(u"Type Mappings", u"tables:");
    EXPECT_TRUE(model.load_profile(empty));
    EXPECT_TRUE(model.tables().empty());

    model.get_table_mutator(u"old", u"OLD");
    EXPECT_TRUE(model.load_profile(udb_profile()));
    EXPECT_TRUE(model.tables().empty());

    const std::vector<std::vector<std::u16string>> damaged = {
        // a number that is not one
        {u"tables:", u"- name: t", u"new_name: T", u"fields:", u"- name:c", u"new_name: C",
         u"length: 12x"},
        // a field before "fields:"
        {u"tables:", u"  - name: t", u"      - name:c", u"        type: DATE"},
        // field values before any table
        {u"tables:", u"type: DATE"},
    };
    for (const auto& lines : damaged) {
        udb_profile profile;
        for (const auto& line : lines) {
            profile.add_line(u"Type Mappings", line);
        }
        model.get_table_mutator(u"old", u"OLD");
        EXPECT_FALSE(model.load_profile(profile)) << tk_w2a(lines.back());
        EXPECT_TRUE(model.tables().empty());
    }

    // Lines the writer does not produce are skipped.
    udb_profile odd;
    for (const char16_t* line : {u"tables:", u"- name: t", u"fields:", u"- name:c",
                                 u"comment: later versions", u"type: DATE"}) {
        odd.add_line(u"Type Mappings", line);
    }
    ASSERT_TRUE(model.load_profile(odd));
    EXPECT_EQ(model.find_table_mutator(u"t")->new_name, u"t");
    EXPECT_EQ(model.find_table_mutator(u"t")->find_field(u"c")->type, u"DATE");
}

TEST(udb_type_mapping_data, offered_types_and_parameters_from_the_data_files) {
    const udb_db_mutator model = make_model();
    const auto& for_text = model.get_mapped_types(u"NVARCHAR2(40) ");
    EXPECT_NE(std::find(for_text.begin(), for_text.end(), u"VARCHAR2"), for_text.end());
    const auto& for_int = model.get_mapped_types(u"NUMBER(11,0)");
    EXPECT_NE(std::find(for_int.begin(), for_int.end(), u"NUMBER"), for_int.end());
    EXPECT_TRUE(model.get_mapped_types(u"XMLTYPE").empty());
    EXPECT_EQ(model.get_type_params(u"NUMBER"),
              (std::vector<std::u16string>{u"PRECISION", u"SCALE"}));
    EXPECT_EQ(model.get_type_params(u"NVARCHAR2"), std::vector<std::u16string>{u"LENGTH"});
    EXPECT_TRUE(model.get_type_params(u"DATE").empty());
}

TEST(udb_type_mapping_data, every_offered_type_has_its_parameters) {
    tk_yaml_config map;
    tk_yaml_config types;
    ASSERT_TRUE(map.load(data_dir + "ora.map", {}));
    ASSERT_TRUE(types.load(data_dir + "ora.typ", {}));
    ASSERT_FALSE(map.empty());
    const std::set<std::u16string> kinds = {u"LENGTH", u"SCALE", u"PRECISION"};
    for (const auto& [key, offered] : map) {
        EXPECT_FALSE(offered.empty()) << tk_w2a(key);
        const std::u16string base = key.substr(0, key.find(u'('));
        EXPECT_EQ(types.count(base), 1u) << tk_w2a(base);
        for (const auto& type : offered) {
            EXPECT_EQ(types.count(type), 1u) << tk_w2a(type) << " offered for " << tk_w2a(key);
            // What a user picks can be picked again from.
            EXPECT_EQ(map.count(type), 1u) << tk_w2a(type);
        }
    }
    for (const auto& [type, parameters] : types) {
        for (const auto& kind : parameters) {
            EXPECT_EQ(kinds.count(kind), 1u) << tk_w2a(type) << ": " << tk_w2a(kind);
        }
    }
}

TEST(udb_type_mapping_data, missing_data_file_is_fatal_with_its_name) {
    const udb_db_mutator model(data_dir + "nothing.map", data_dir + "nothing.typ",
                               &test_type_codes);
    for (int i = 0; i < 2; ++i) {
        try {
            model.get_mapped_types(u"DATE");
            FAIL() << "no exception";
        } catch (const tk_exception& e) {
            EXPECT_EQ(
                std::string(e.what()),
                "Cannot find " + data_dir + "nothing.map. Custom type mapping is not available.");
            EXPECT_EQ(e.level, 1);
        }
    }
}
