// The dump command: JSON Lines that parse back to the decoded values, table selection, the
// code-page option, and how damaged, missing and unreadable tables are reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/dump_command.hpp"
#include "dbf/dbf_codepage.hpp"
#include "support/dbf_writer.hpp"
#include "udb/ole_variant.hpp"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

class dump_test : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tmp = std::getenv("BRIXEL_TEST_TMP");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::path(tmp != nullptr ? tmp : "/tmp") / "dump_test" /
                 (std::string(info->test_suite_name()) + "." + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }

    // Runs the dump and parses every line of its output.
    int dump(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        lines.clear();
        const auto options = parse_dump_arguments(args, err);
        if (!options) {
            return dump_usage;
        }
        const int rc = run_dump(*options, out, err);
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            lines.push_back(json::parse(line));  // throws on output that is not JSON
        }
        return rc;
    }

    fs::path folder;
    std::ostringstream out;
    std::ostringstream err;
    std::vector<json> lines;
};

std::string rendered(const std::string& text, VARTYPE vt) {
    const std::u16string w = ole_variant::from_string(text, vt).to_wstring();
    std::string narrow;
    for (char16_t c : w) {
        narrow.push_back(static_cast<char>(c));  // numbers and dates are ASCII
    }
    return narrow;
}

// A field of a line as its vartype and value ("null" for none).
std::string shown(VARTYPE vartype, const std::string& value = "null") {
    return std::to_string(vartype) + ":" + value;
}
std::vector<std::string> fields_of(const json& line) {
    std::vector<std::string> out;
    for (const json& f : line["fields"]) {
        out.push_back(f["name"].get<std::string>() + " " +
                      shown(f["vartype"].get<VARTYPE>(),
                            f["value"].is_null() ? "null" : f["value"].get<std::string>()));
    }
    return out;
}

TEST_F(dump_test, one_object_per_record_with_names_types_and_values) {
    dbf_writer w(dbf_ver::dbase3_memo);
    w.field("NAME", 'C', 12)
        .field("PRICE", 'N', 8, 2)
        .field("QTY", 'N', 4)
        .field("SINCE", 'D', 8)
        .field("OK", 'L', 1)
        .field("NOTE", 'M', 10);
    w.add_record({dbf_cell::text("Alice"), dbf_cell::number(12.5), dbf_cell::integer(-42),
                  dbf_cell::date(2016, 12, 31), dbf_cell::logical(true),
                  dbf_cell::memo("first note")});
    w.add_record({dbf_cell::text("Bob"), dbf_cell::blank(), dbf_cell::integer(7), dbf_cell::blank(),
                  dbf_cell::logical_char('?'), dbf_cell::blank()},
                 true);
    w.write(folder, "stock.dbf");

    ASSERT_EQ(dump({folder.string()}), dump_ok) << err.str();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["table"], "stock");
    EXPECT_EQ(lines[0]["record"], 1);
    EXPECT_EQ(lines[0]["deleted"], false);
    EXPECT_EQ(fields_of(lines[0]),
              (std::vector<std::string>{
                  "NAME " + shown(VT_BSTR, "Alice"),
                  "PRICE " + shown(VT_DECIMAL, rendered("12.50", VT_DECIMAL)),
                  "QTY " + shown(VT_I2, "-42"), "SINCE " + shown(VT_DATE, "2016-12-31"),
                  "OK " + shown(VT_BOOL, "1"), "NOTE " + shown(VT_BSTR, "first note")}));
    // Empty values are null; an unknown logical is false; the deleted flag comes through.
    EXPECT_EQ(lines[1]["record"], 2);
    EXPECT_EQ(lines[1]["deleted"], true);
    EXPECT_EQ(fields_of(lines[1]),
              (std::vector<std::string>{"NAME " + shown(VT_BSTR, "Bob"), "PRICE " + shown(VT_EMPTY),
                                        "QTY " + shown(VT_I2, "7"), "SINCE " + shown(VT_EMPTY),
                                        "OK " + shown(VT_BOOL, "0"), "NOTE " + shown(VT_EMPTY)}));
}

TEST_F(dump_test, texts_that_need_escaping_survive_the_round_trip) {
    dbf_writer w(dbf_ver::dbase3);
    w.codepage(0x03).field("T", 'C', 40);
    const std::string nasty = "say \"hi\"\\ \t tab \x01 ctl \x7F";
    w.add_record({dbf_cell::text(nasty)});
    w.add_record({dbf_cell::text("caf\xE9 \x80 \xFF")});  // é € ÿ in code page 1252
    w.add_record({dbf_cell::text("   ")});
    w.write(folder, "t.dbf");

    ASSERT_EQ(dump({folder.string()}), dump_ok) << err.str();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["fields"][0]["value"], nasty);
    EXPECT_EQ(lines[1]["fields"][0]["value"], "caf\u00E9 \u20AC \u00FF");
    EXPECT_EQ(lines[2]["fields"][0]["value"], "");  // blank text: empty text, not null
    EXPECT_EQ(lines[2]["fields"][0]["vartype"], VT_BSTR);
}

TEST_F(dump_test, codepage_option_replaces_every_tables_own) {
    dbf_writer w(dbf_ver::dbase3);
    w.codepage(0x03).field("T", 'C', 4);
    w.add_record({dbf_cell::text("\xE0\xE1")});
    w.write(folder, "a.dbf");
    w.codepage(0x65).write(folder, "b.dbf");

    ASSERT_EQ(dump({folder.string(), "a", "b"}), dump_ok) << err.str();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["fields"][0]["value"], "\u00E0\u00E1");  // 1252
    EXPECT_EQ(lines[1]["fields"][0]["value"], "\u0440\u0441");  // 866

    ASSERT_EQ(dump({folder.string(), "a", "b", "--codepage", "866"}), dump_ok) << err.str();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["fields"][0]["value"], "\u0440\u0441");
    EXPECT_EQ(lines[1]["fields"][0]["value"], "\u0440\u0441");

    ASSERT_EQ(dump({folder.string(), "b", "--ldid", "0x03"}), dump_ok) << err.str();
    EXPECT_EQ(lines[0]["fields"][0]["value"], "\u00E0\u00E1");
}

TEST_F(dump_test, byte_arrays_print_as_hexadecimal) {
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("PIC", 'G', 10).field("X", 'C', 1);
    w.add_record({dbf_cell::right("0aff"), dbf_cell::text("x")});
    w.write(folder, "g.dbf");

    ASSERT_EQ(dump({folder.string()}), dump_ok) << err.str();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(ole_variant::is_binary(lines[0]["fields"][0]["vartype"].get<VARTYPE>()));
    EXPECT_EQ(lines[0]["fields"][0]["value"], "0x0AFF");
}

TEST_F(dump_test, named_tables_in_the_given_order_whatever_their_case_and_none_missing) {
    dbf_writer w(dbf_ver::dbase3);
    w.field("N", 'N', 3);
    w.add_record({dbf_cell::integer(1)});
    w.write(folder, "Orders.DBF");
    w.add_record({dbf_cell::integer(2)});
    w.write(folder, "items.dbf");

    ASSERT_EQ(dump({folder.string(), "ITEMS", "orders.dbf"}), dump_ok) << err.str();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["table"], "items");
    EXPECT_EQ(lines[1]["table"], "items");
    EXPECT_EQ(lines[1]["record"], 2);
    EXPECT_EQ(lines[2]["table"], "orders");
    EXPECT_EQ(lines[2]["fields"][0]["value"], "1");

    // A missing folder or table fails before any output.
    EXPECT_EQ(dump({(folder / "nowhere").string()}), dump_not_found);
    EXPECT_NE(err.str().find("nowhere"), std::string::npos);
    EXPECT_EQ(dump({folder.string(), "items", "gone"}), dump_not_found);
    EXPECT_NE(err.str().find("'gone'"), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
}

// A damaged table is reported and the next one dumped; a file cut short prints its complete
// records and tells the shortfall; a missing memo file is told once and its memos read empty.
TEST_F(dump_test, damaged_table_is_reported_and_the_next_one_dumped) {
    dbf_writer w(dbf_ver::dbase3);
    w.field("N", 'N', 3);
    w.add_record({dbf_cell::integer(1)});
    w.add_record({dbf_cell::integer(2)});
    w.write(folder, "a.dbf");
    w.write(folder, "c.dbf");
    w.damage().dbf_size = w.header_length() + w.record_length() + 2;
    w.write(folder, "b.dbf");
    w.damage().record_length = 1;
    w.write(folder, "d.dbf");
    dbf_writer m(dbf_ver::dbase3_memo);
    m.field("ID", 'N', 3).field("NOTE", 'M', 10);
    m.add_record({dbf_cell::integer(1), dbf_cell::memo("one")});
    m.add_record({dbf_cell::integer(2), dbf_cell::memo("two")});
    m.damage().no_memo_file = true;
    m.write(folder, "m.dbf");

    EXPECT_EQ(dump({folder.string(), "a", "b", "c", "d", "m"}), dump_table_failed);
    const std::string e = err.str();
    EXPECT_NE(e.find("b: the file holds 1 of the 2 records its header announces"),
              std::string::npos)
        << e;
    EXPECT_NE(e.find("d: File does not comply with DBF format"), std::string::npos);
    const size_t memo = e.find("Memo file not found");
    ASSERT_NE(memo, std::string::npos) << e;
    EXPECT_EQ(e.find("Memo file not found", memo + 1), std::string::npos) << e;
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1]["table"], "a");
    EXPECT_EQ(lines[2]["table"], "b");
    EXPECT_EQ(lines[3]["table"], "c");
    EXPECT_EQ(fields_of(lines[6]),
              (std::vector<std::string>{"ID " + shown(VT_I2, "2"), "NOTE " + shown(VT_EMPTY)}));
}

TEST(dump_arguments, folder_tables_and_code_page_options) {
    struct parse_case {
        std::vector<std::string> args;
        std::string folder;
        std::vector<std::string> tables;
        int codepage;
    };
    const parse_case cases[] = {
        {{"/data", "a", "--ldid", "101", "b"}, "/data", {"a", "b"}, 866},
        // The spelling of brixel-cli run.
        {{"/data", "--tables", "a, b", "--encoding", "Russian MS-DOS"}, "/data", {"a", "b"}, 866},
        {{"--codepage", "1251", "--", "-odd-folder", "--t"}, "-odd-folder", {"--t"}, 1251},
    };
    for (const parse_case& c : cases) {
        std::ostringstream err;
        const auto o = parse_dump_arguments(c.args, err);
        ASSERT_TRUE(o) << err.str();
        EXPECT_EQ(o->folder, c.folder);
        EXPECT_EQ(o->tables, c.tables);
        EXPECT_EQ(dbf_codepage_of(o->user_language_driver_id), c.codepage) << c.args[0];
    }
    // Every code page of the list can be chosen, and maps back to itself.
    for (const auto& [id, cp] : codepage_table()) {
        if (id != 0) {
            const auto chosen = dump_ldid_of_codepage(cp);
            ASSERT_TRUE(chosen) << cp;
            EXPECT_EQ(dbf_codepage_of(*chosen), cp);
        }
    }
}

TEST(dump_arguments, mistakes_are_refused_with_a_reason) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--codepage", "866"},
        {"/data", "--codepage"},
        {"/data", "--codepage", "9999"},
        {"/data", "--codepage", "86x"},
        {"/data", "--ldid", "256"},
        {"/data", "--ldid", "1", "--codepage", "866"},
        {"/data", "--verbose"},
    };
    for (const auto& args : bad) {
        std::ostringstream err;
        EXPECT_FALSE(parse_dump_arguments(args, err)) << args.size();
        EXPECT_FALSE(err.str().empty());
    }
}

}  // namespace
