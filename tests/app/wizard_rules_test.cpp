// The decisions behind the wizard's pages and dialogs: what the source page, the query dialog and
// the tables page accept, the encoding row, the size inputs of a type, the final page's texts,
// the help pages, the progress details, and the mapping rows of the Edit Table dialog.

#include "app/wizard_rules.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/progress_estimate.hpp"
#include "app/table_mapping_editor.hpp"
#include "converter_run_fixture.hpp"
#include "dbf/dbf_codepage.hpp"

namespace fs = std::filesystem;

TEST(wizard_rules, source_folder_checks) {
    const fs::path folder = fs::path(std::getenv("BRIXEL_TEST_TMP")) / "wizard_rules_folder";
    fs::create_directories(folder);
    std::ofstream(folder / "orders.dbf") << "x";
    struct row {
        fs::path path;
        wizard_message_kind kind;
    };
    const row rows[] = {
        {"", wizard_message_kind::message},
        {folder / "orders.dbf", wizard_message_kind::error},
        {folder / "missing", wizard_message_kind::error},
        {folder, wizard_message_kind::none},
    };
    for (const row& r : rows) {
        EXPECT_EQ(check_source_folder(tk_a2w(r.path.string())).kind, r.kind) << r.path;
    }
    EXPECT_STREQ(check_source_folder(tk_a2w((folder / "orders.dbf").string())).text,
                 "You should enter path to DBF file(s), not a file name");
    fs::remove_all(folder);
}

TEST(wizard_rules, query_texts) {
    struct row {
        std::u16string query;
        bool b_select;
    };
    const row rows[] = {
        {u"  select a from b", true},
        {u"\t\r\nSELECT*", true},
        {u"Select", true},
        {u"WITH x AS (SELECT 1) SELECT * FROM x", false},
        {u"SELEC", false},
        {u"", false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(passes_select_test(r.query), r.b_select) << tk_w2a(r.query);
    }
    // The empty name is reported first; an empty query is an error, a non-SELECT a message.
    EXPECT_STREQ(check_query_dialog(u"", u"").text, "Table name is empty!");
    EXPECT_EQ(check_query_dialog(u"t", u"").kind, wizard_message_kind::error);
    EXPECT_STREQ(check_query_dialog(u"t", u"with").text, "The query must start with SELECT.");
    EXPECT_TRUE(check_query_dialog(u"t", u"select 1").ok());
    // A DBF folder answers no query: a valid SELECT gets the syntax message.
    wizard_message_kind kind{};
    EXPECT_EQ(test_query_message(u"select * from t", false, "help@x", kind),
              "You have an error in your query syntax. Make sure that it is a correct SQL "
              "SELECT-statement. Contact help@x if the error persists.");
    EXPECT_EQ(kind, wizard_message_kind::error);
}

TEST(wizard_rules, page_choices) {
    EXPECT_TRUE(tables_need_confirmation(3, 0));
    EXPECT_FALSE(tables_need_confirmation(0, 0));
    EXPECT_FALSE(tables_need_confirmation(3, 1));

    EXPECT_EQ(codepage_names()[codepage_row(0x65)].second, u"Russian MS-DOS");
    EXPECT_EQ(codepage_row(0xEE), 0u);

    struct row {
        std::vector<std::u16string> params;
        bool b_length;
        bool b_precision_scale;
    };
    const row rows[] = {
        {{u"LENGTH"}, true, false},
        {{u"PRECISION"}, false, false},  // a precision alone shows neither
        {{u"PRECISION", u"SCALE"}, false, true},
        {{}, false, false},
    };
    for (const row& r : rows) {
        const type_inputs inputs = inputs_for_type(r.params);
        EXPECT_EQ(inputs.b_length, r.b_length);
        EXPECT_EQ(inputs.b_precision_scale, r.b_precision_scale);
    }

    EXPECT_EQ(
        file_dialog_filters("Profile Files (.brixel)|*.brixel|All Files (*.*)|*.*|"),
        (std::vector<std::string>{"Profile Files (.brixel) (*.brixel)", "All Files (*.*) (*)"}));
    for (int topic : {0, 1001, 1015, 1017, 1018, 1020, 1023, 1024}) {
        EXPECT_TRUE(fs::exists(fs::path(BRIXEL_SOURCE_DIR) / "docs" / "help" / help_page(topic)))
            << topic;
    }
}

TEST(wizard_rules, final_page_texts) {
    EXPECT_EQ(final_page_errors({"a\nb", "c"}, 2), "a b\r\n\r\nc\r\n\r\n");
    EXPECT_EQ(final_page_errors({"a"}, 4),
              "a\r\n\r\n... and 3 more errors (Show full report lists them all).\r\n");
}

TEST(progress_estimate, rate_and_time_left) {
    EXPECT_EQ(format_duration(std::chrono::seconds(7)), "0:07");
    EXPECT_EQ(format_duration(std::chrono::seconds(3723)), "1:02:03");

    const auto start = progress_estimate::clock::time_point{};
    progress_estimate estimate(start);
    progress_snapshot s;
    s.table = u"a";
    s.total_tables = 2;
    s.total_records = 100;
    s.current_record = 90;
    estimate.update(s, start + std::chrono::seconds(9));
    // The first table ended between polls: its 100 records count whole.
    s.table = u"b";
    s.tables_done = 1;
    s.current_record = 50;
    EXPECT_EQ(estimate.update(s, start + std::chrono::seconds(15)).remaining, "");
    // The time left follows the current table's own pace: 25 records in 5 s, 25 to go.
    s.current_record = 75;
    const progress_view view = estimate.update(s, start + std::chrono::seconds(20));
    EXPECT_EQ(view.position, "Table 2 of 2");
    EXPECT_EQ(view.records, "Record 75 of 100");
    EXPECT_EQ(view.rate, "8 records/s");
    EXPECT_EQ(view.elapsed, "Elapsed 0:20");
    EXPECT_EQ(view.remaining, "About 0:05 left");
}

// Rows the user leaves as they were get no mapping, so their values are not converted; a renamed
// column and one left out do.
TEST_F(converter_run_test, table_mapping_rows) {
    dbf_writer table(dbf_ver::dbase3);
    table.field("NAME", 'C', 20).field("PRICE", 'N', 18, 2).field("NOTE", 'C', 5);
    table.add_record(
        {dbf_cell::text("pen"), dbf_cell::right("98765432101234.57"), dbf_cell::text("x")});
    write(table, "goods.dbf");
    brixel_converter& c = converter();
    t_table_mapping mapping = load_table_mapping(c, u"goods");
    ASSERT_EQ(mapping.rows.size(), 3u);
    EXPECT_EQ(mapping.rows[0].type_text(c), u"NVARCHAR2(20)");
    EXPECT_EQ(mapping.rows[1].base_type, u"NUMBER");
    EXPECT_EQ(mapping.rows[1].scale, 2);
    EXPECT_EQ(mapping.rows[1].marker, "NULL");
    store_table_mapping(c, mapping);
    EXPECT_EQ(c.find_table_mutator(u"goods"), nullptr);

    mapping.rows[0].name = u"TITLE";
    mapping.rows[1].default_value = u"0";
    mapping.rows[2].b_converted = false;
    store_table_mapping(c, mapping);
    const udb_table_mutator* mutator = c.find_table_mutator(u"goods");
    ASSERT_NE(mutator, nullptr);
    // A default alone does not send the prices through another kind of number.
    EXPECT_EQ(mutator->find_field(u"PRICE")->vartype, udb_field_mutator::keep_vartype);
    EXPECT_EQ(mutator->find_field(u"NAME")->new_name, u"TITLE");
    EXPECT_EQ(mutator->find_field(u"NOTE")->status, udb_field_mutator::status_deleted);
    // Loaded again, the dialog shows the mapping.
    const t_table_mapping again = load_table_mapping(c, u"goods");
    EXPECT_EQ(again.rows[0].name, u"TITLE");
    EXPECT_FALSE(again.rows[2].b_converted);
    mapping.rows[0].name = u" ";
    EXPECT_STREQ(check_table_mapping(mapping), "Name cannot be empty. Try again.");

    run({u"goods"});
    const auto loaded = rows(u"GOODS");
    ASSERT_EQ(loaded.size(), 1u);
    ASSERT_EQ(loaded[0].size(), 2u);  // NOTE left out
    EXPECT_EQ(loaded[0][0].to_string(), "pen");
    EXPECT_EQ(loaded[0][1].to_string(), "98765432101234.57");
}
