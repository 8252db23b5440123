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

struct decoded_field {
    VARTYPE vt = VT_EMPTY;
    std::string text;  // the value as the conversion renders it, UTF-8
};
struct decoded_record {
    bool deleted = false;
    std::map<std::string, decoded_field> fields;
};

TEST(example_folder, committed_files_are_what_the_generator_writes) {
    ASSERT_TRUE(fs::is_directory(example_folder)) << example_folder;
    dbf_test_folder fresh;
    const std::string command =
        std::string(MAKE_EXAMPLE_DBF) + " '" + fresh.path().string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const auto committed = table_files(example_folder);
    const auto generated = table_files(fresh.path());
    std::vector<std::string> committed_names;
    std::vector<std::string> generated_names;
    for (const auto& [name, bytes] : committed) {
        committed_names.push_back(name);
    }
    for (const auto& [name, bytes] : generated) {
        generated_names.push_back(name);
    }
    ASSERT_EQ(committed_names, generated_names) << "regenerate the folder as its README.md says";
    for (const auto& [name, bytes] : generated) {
        EXPECT_TRUE(committed.at(name) == bytes)
            << name << " differs from what make_example_dbf writes; regenerate the folder";
    }
    // The folder documents how it is made.
    EXPECT_NE(file_bytes(example_folder / "README.md").find("make_example_dbf"), std::string::npos);
}

class example_tables : public testing::Test {
  protected:
    void SetUp() override {
        size_t count = 0;
        const t_error_message* messages = ora_error_messages(count);
        handler_ = std::make_unique<error_handler>(count, messages);
        handler_->set_user_interface(&ui_);

        dbf_database db(example_folder.u16string(), 1, 0);
        tables_ = db.get_tables();
        for (const std::u16string& table : tables_) {
            auto rs = db.get_table(table, 1);
            std::vector<decoded_record>& records = data_[tk_w2a(table)];
            for (rs->first(); !rs->is_eof(); rs->next()) {
                const udb_record* record = rs->get_item();
                decoded_record r;
                const auto* dbf = dynamic_cast<const dbf_record*>(record);
                ASSERT_NE(dbf, nullptr);
                r.deleted = dbf->is_deleted;
                for (const udb_field* field : *record) {
                    decoded_field& f = r.fields[tk_w2a(field->name)];
                    f.vt = field->vt();
                    f.text = f.vt == VT_EMPTY || f.vt == VT_NULL ? "<null>"
                                                                 : tk_w2a(field->to_wstring());
                }
                records.push_back(std::move(r));
            }
        }
    }
    void TearDown() override { handler_.reset(); }

    const decoded_field& value(const std::string& table, size_t record,
                               const std::string& field) const {
        static const decoded_field missing{VT_EMPTY, "<no such field>"};
        const auto t = data_.find(table);
        if (t == data_.end() || record < 1 || record > t->second.size()) {
            return missing;
        }
        const auto f = t->second[record - 1].fields.find(field);
        return f == t->second[record - 1].fields.end() ? missing : f->second;
    }

    scripted_user_interface ui_;
    std::unique_ptr<error_handler> handler_;
    std::vector<std::u16string> tables_;
    std::map<std::string, std::vector<decoded_record>> data_;
};

TEST_F(example_tables, every_table_reads_without_a_report) {
    EXPECT_EQ(tables_, (std::vector<std::u16string>{u"customers", u"employees", u"orders",
                                                    u"products", u"suppliers"}));
    EXPECT_TRUE(ui_.log.empty()) << ui_.log.front().text;
    EXPECT_EQ(data_["customers"].size(), 8u);
    EXPECT_EQ(data_["orders"].size(), 8u);
    EXPECT_EQ(data_["products"].size(), 8u);
    EXPECT_EQ(data_["suppliers"].size(), 5u);
    EXPECT_EQ(data_["employees"].size(), 4u);
    // One deleted record in each of the two tables that have one.
    for (const std::string table : {"customers", "orders"}) {
        std::vector<size_t> deleted;
        for (size_t i = 0; i < data_[table].size(); ++i) {
            if (data_[table][i].deleted) {
                deleted.push_back(i + 1);
            }
        }
        EXPECT_EQ(deleted, std::vector<size_t>{6}) << table;
    }
}

// Texts in each code page come back as the characters the generator wrote.
TEST_F(example_tables, texts_decode_in_each_tables_code_page) {
    struct cell {
        const char* table;
        size_t record;
        const char* field;
        const char* text;
    };
    const cell cells[] = {
        {"customers", 1, "COMPANY", "Brasserie Lefèvre & Fils"},
        {"customers", 3, "CONTACT", "Åsa Öberg"},
        {"customers", 6, "CITY", "Ærøskøbing"},
        {"customers", 8, "CONTACT", "Þórður Guðmundsson"},
        {"customers", 2, "NOTES",
         "Pays within 14 days. Deliveries before 10:00 only; ring at the Hoftor."},
        {"orders", 2, "REMARK", "Two pallets; Lieferschein signed by Herr Müller."},
        {"products", 1, "NAME", "Čokoláda hořká 70 %"},
        {"products", 6, "NAME", "Győri édes keksz"},
        {"products", 3, "DESCR",
         "Miód lipowy, słoik 400 g. Dostawca: pasieka w Łącku, województwo małopolskie."},
        {"suppliers", 1, "NAME", "ООО «Северный хлеб»"},
        {"suppliers", 3, "ADDRESS", "01001, м. Київ, вул. Хрещатик, 22. Поставки призупинено."},
        {"employees", 4, "LAST_NAME", "Ёлкин"},
        {"employees", 4, "FIRST_NAME", "Фёдор"},
        {"employees", 2, "DEPARTMENT_NAME", "Склад"},
    };
    for (const cell& c : cells) {
        EXPECT_EQ(value(c.table, c.record, c.field).text, c.text)
            << c.table << " record " << c.record << " " << c.field;
    }

    // The long memo spans many blocks and keeps its line breaks and its last entry.
    const std::string history = value("customers", 1, "NOTES").text;
    EXPECT_GT(tk_from_utf8(history).size(), 2000u);
    EXPECT_EQ(history.rfind("Account history - Brasserie Lefèvre & Fils\r\n\r\n2011-03-14  ", 0),
              0u);
    EXPECT_NE(history.find("Credit limit raised to 15 000 € after the annual review."),
              std::string::npos);
    EXPECT_NE(history.find("2024-01-08  Annual review: terms unchanged, credit limit "
                           "confirmed. Next review in January.\r\n"),
              std::string::npos);
}

// Numbers, dates, logicals and the binary Visual FoxPro fields keep their types and values.
TEST_F(example_tables, typed_values_and_empty_values) {
    struct cell {
        const char* table;
        size_t record;
        const char* field;
        VARTYPE vt;
        const char* text;
    };
    const cell cells[] = {
        {"customers", 2, "CREDIT", VT_DECIMAL, "8500.5"},
        {"customers", 5, "CREDIT", VT_DECIMAL, "12750.75"},
        {"customers", 3, "ACTIVE", VT_BOOL, "0"},
        {"customers", 1, "ACTIVE", VT_BOOL, "1"},
        {"customers", 1, "SINCE", VT_DATE, "2011-03-14"},
        {"suppliers", 2, "LAST_DELIV", VT_DATE, "2023-11-02 16:45:30"},
        {"orders", 4, "WEIGHT_KG", VT_R4, "9.612500e+001"},
        {"orders", 1, "ORDER_NO", VT_I4, "24001"},
        {"suppliers", 2, "BALANCE", VT_CY, "-3250.75"},
        {"suppliers", 5, "BALANCE", VT_CY, "500000"},
        {"suppliers", 1, "RATING", VT_R8, "4.7500000000000000e+000"},
        {"suppliers", 3, "SUPP_ID", VT_I4, "3"},
        {"employees", 3, "SALARY", VT_DECIMAL, "61500.5"},
    };
    for (const cell& c : cells) {
        const decoded_field& f = value(c.table, c.record, c.field);
        EXPECT_EQ(f.vt, c.vt) << c.table << " record " << c.record << " " << c.field;
        EXPECT_EQ(f.text, c.text) << c.table << " record " << c.record << " " << c.field;
    }

    // Empty values: a blank text, a blank date, a blank memo and a Visual FoxPro null.
    EXPECT_EQ(value("customers", 7, "CITY").text, "");
    EXPECT_EQ(value("customers", 7, "SINCE").text, "<null>");
    EXPECT_EQ(value("customers", 3, "NOTES").text, "<null>");
    EXPECT_EQ(value("orders", 4, "SHIPPED").text, "<null>");
    EXPECT_EQ(value("suppliers", 4, "LAST_DELIV").text, "<null>");
}

}  // namespace
