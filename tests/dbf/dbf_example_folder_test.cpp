// The example folder examples/dbf (what the demo converts): the committed files must be exactly
// what tools/make_example_dbf writes today, and every table must read back, each in its own code
// page and layout, to the values the generator meant.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dbf/dbf_database.hpp"
#include "dbf/dbf_record.hpp"
#include "dbf/dbf_test_support.hpp"
#include "support/scripted_user_interface.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_recordset.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path example_folder = fs::path(BRIXEL_SOURCE_DIR) / "examples" / "dbf";

std::string file_bytes(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// Every file of a folder but its README, by name.
std::map<std::string, std::string> table_files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != "README.md") {
            files[name] = file_bytes(entry.path());
        }
    }
    return files;
}

TEST(example_folder, committed_files_are_what_the_generator_writes) {
    ASSERT_TRUE(fs::is_directory(example_folder)) << example_folder;
    dbf_test_folder fresh;
    const std::string command =
        std::string(MAKE_EXAMPLE_DBF) + " '" + fresh.path().string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto committed = table_files(example_folder);
    const auto generated = table_files(fresh.path());
    ASSERT_EQ(committed.size(), generated.size()) << "regenerate the folder as its README.md says";
    for (const auto& [name, bytes] : generated) {
        EXPECT_TRUE(committed.count(name) != 0 && committed.at(name) == bytes)
            << name << " differs from what make_example_dbf writes; regenerate the folder";
    }
    EXPECT_NE(file_bytes(example_folder / "README.md").find("make_example_dbf"), std::string::npos);
}

TEST(example_folder, every_table_reads_to_the_values_the_generator_meant) {
    scripted_user_interface ui;
    size_t count = 0;
    const t_error_message* messages = ora_error_messages(count);
    error_handler handler(count, messages);
    handler.set_user_interface(&ui);
    // Per table, per record: the deleted flag, and each field's type and text ("<null>" for an
    // empty value).
    using fields = std::map<std::string, std::pair<VARTYPE, std::string>>;
    std::map<std::string, std::vector<std::pair<bool, fields>>> data;
    dbf_database db(example_folder.u16string(), 1, 0);
    EXPECT_EQ(db.get_tables(), (std::vector<std::u16string>{u"customers", u"employees", u"orders",
                                                            u"products", u"suppliers"}));
    for (const std::u16string& table : db.get_tables()) {
        auto rs = db.get_table(table, 1);
        for (rs->first(); !rs->is_eof(); rs->next()) {
            const udb_record* record = rs->get_item();
            fields& f =
                data[tk_w2a(table)]
                    .emplace_back(dynamic_cast<const dbf_record&>(*record).is_deleted, fields())
                    .second;
            for (const udb_field* field : *record) {
                const bool empty = field->vt() == VT_EMPTY || field->vt() == VT_NULL;
                f[tk_w2a(field->name)] = {field->vt(),
                                          empty ? "<null>" : tk_w2a(field->to_wstring())};
            }
        }
    }
    const auto value = [&](const std::string& table, size_t record,
                           const std::string& field) -> std::pair<VARTYPE, std::string> {
        const auto& records = data[table];
        if (record < 1 || record > records.size() || !records[record - 1].second.count(field)) {
            return {VT_EMPTY, "<no such field>"};
        }
        return records[record - 1].second.at(field);
    };
    EXPECT_TRUE(ui.log.empty()) << ui.log.front().text;
    const std::map<std::string, size_t> record_counts = {
        {"customers", 8}, {"orders", 8}, {"products", 8}, {"suppliers", 5}, {"employees", 4}};
    for (const auto& [table, records] : record_counts) {
        ASSERT_EQ(data[table].size(), records) << table;
        // Record 6 is the one deleted record of customers and orders.
        for (size_t i = 0; i < records; ++i) {
            const bool deleted = i == 5 && (table == "customers" || table == "orders");
            EXPECT_EQ(data[table][i].first, deleted) << table << " record " << i + 1;
        }
    }
    // Texts in each table's code page, typed values, and empty values.
    struct cell {
        const char* table;
        size_t record;
        const char* field;
        VARTYPE vt;
        const char* text;
    };
    const cell cells[] = {
        {"customers", 1, "COMPANY", VT_BSTR, "Brasserie Lefèvre & Fils"},
        {"customers", 6, "CITY", VT_BSTR, "Ærøskøbing"},
        {"customers", 2, "NOTES", VT_BSTR,
         "Pays within 14 days. Deliveries before 10:00 only; ring at the Hoftor."},
        {"orders", 2, "REMARK", VT_BSTR, "Two pallets; Lieferschein signed by Herr Müller."},
        {"products", 1, "NAME", VT_BSTR, "Čokoláda hořká 70 %"},
        {"products", 6, "NAME", VT_BSTR, "Győri édes keksz"},
        {"products", 3, "DESCR", VT_BSTR,
         "Miód lipowy, słoik 400 g. Dostawca: pasieka w Łącku, województwo małopolskie."},
        {"suppliers", 1, "NAME", VT_BSTR, "ООО «Северный хлеб»"},
        {"suppliers", 3, "ADDRESS", VT_BSTR,
         "01001, м. Київ, вул. Хрещатик, 22. Поставки призупинено."},
        {"employees", 4, "LAST_NAME", VT_BSTR, "Ёлкин"},
        {"employees", 2, "DEPARTMENT_NAME", VT_BSTR, "Склад"},
        {"customers", 2, "CREDIT", VT_DECIMAL, "8500.5"},
        {"customers", 3, "ACTIVE", VT_BOOL, "0"},
        {"customers", 1, "ACTIVE", VT_BOOL, "1"},
        {"customers", 1, "SINCE", VT_DATE, "2011-03-14"},
        {"suppliers", 2, "LAST_DELIV", VT_DATE, "2023-11-02 16:45:30"},
        {"orders", 4, "WEIGHT_KG", VT_R4, "9.612500e+001"},
        {"orders", 1, "ORDER_NO", VT_I4, "24001"},
        {"suppliers", 2, "BALANCE", VT_CY, "-3250.75"},
        {"suppliers", 1, "RATING", VT_R8, "4.7500000000000000e+000"},
        {"employees", 3, "SALARY", VT_DECIMAL, "61500.5"},
        // A blank text, a blank date, a blank memo, a Visual FoxPro null and an empty date-time.
        {"customers", 7, "CITY", VT_BSTR, ""},
        {"customers", 7, "SINCE", VT_EMPTY, "<null>"},
        {"customers", 3, "NOTES", VT_EMPTY, "<null>"},
        {"orders", 4, "SHIPPED", VT_EMPTY, "<null>"},
        {"suppliers", 4, "LAST_DELIV", VT_EMPTY, "<null>"},
    };
    for (const cell& c : cells) {
        EXPECT_EQ(value(c.table, c.record, c.field), std::make_pair(c.vt, std::string(c.text)))
            << c.table << " record " << c.record << " " << c.field;
    }
    // The long memo spans many blocks and keeps its line breaks and its last entry.
    const std::string history = value("customers", 1, "NOTES").second;
    EXPECT_GT(tk_from_utf8(history).size(), 2000u);
    EXPECT_EQ(history.rfind("Account history - Brasserie Lefèvre & Fils\r\n\r\n2011-03-14  ", 0),
              0u);
    EXPECT_NE(history.find("Credit limit raised to 15 000 € after the annual review."),
              std::string::npos);
    EXPECT_NE(history.find("2024-01-08  Annual review: terms unchanged, credit limit "
                           "confirmed. Next review in January.\r\n"),
              std::string::npos);
}

}  // namespace
