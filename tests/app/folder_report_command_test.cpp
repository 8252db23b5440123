// brixel-cli inspect on folders written with the test DBF writer: the table line and the field
// rows, the code page by the file or by choice, the three memo file states, and a damaged table
// that gets one line while the others still print.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/folder_report_command.hpp"
#include "app/run_options.hpp"
#include "support/dbf_writer.hpp"
#include "tk/tk_test_folder.hpp"

namespace {

class inspect_test : public testing::Test {
  protected:
    int inspect(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        std::vector<std::string> all = {folder.path().string()};
        all.insert(all.end(), args.begin(), args.end());
        return run_inspect(parse_inspect_arguments(all), out, err);
    }

    tk_test_folder folder;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(inspect_test, layout_code_page_memo_and_fields_with_their_oracle_types) {
    dbf_writer(dbf_ver::foxpro2_memo)
        .codepage(0x65)
        .field("NAME", 'C', 20)
        .field("PRICE", 'N', 10, 2)
        .field("BORN", 'D', 8)
        .field("NOTE", 'M', 10)
        .add_record({dbf_cell::text("a")})
        .add_record({dbf_cell::text("b")})
        .write(folder.path(), "people.dbf");
    ASSERT_EQ(inspect({}), inspect_ok) << err.str();
    EXPECT_EQ(out.str(),
              "people: FoxPro 2.x with memo (0xF5), 2 records, code page 0x65 Russian MS-DOS "
              "(866), memo file present (people.fpt)\n"
              "  field  type  size  dec  oracle type\n"
              "  NAME   C       20       NVARCHAR2(20)\n"
              "  PRICE  N       10    2  NUMBER(12,2)\n"
              "  BORN   D        8       DATE\n"
              "  NOTE   M       10       CLOB\n");

    EXPECT_EQ(run_inspect(parse_inspect_arguments({folder.file("absent")}), out, err),
              inspect_usage);

    // The choice of a run replaces the file's code page; the file's own stays visible.
    ASSERT_EQ(inspect({"--encoding", "eastern european windows"}), inspect_ok);
    EXPECT_NE(out.str().find("code page 0xC8 Eastern European Windows (1250) by choice (the file "
                             "says 0x65)"),
              std::string::npos)
        << out.str();
}

TEST_F(inspect_test, a_damaged_table_gets_one_line_and_the_others_still_print) {
    dbf_writer good(dbf_ver::dbase3);
    good.field("ID", 'N', 5).add_record({dbf_cell::integer(1)});
    good.write(folder.path(), "a_good.dbf");
    dbf_writer cut(dbf_ver::dbase3);
    cut.field("ID", 'N', 5).add_record({dbf_cell::integer(1)});
    cut.damage().record_count = 1000;  // more records than the file holds
    cut.write(folder.path(), "b_cut.dbf");
    dbf_writer vfp(dbf_ver::vfp);
    vfp.field("ID", 'I', 4).field("NOTE", 'M', 4);
    vfp.damage().no_memo_file = true;
    vfp.write(folder.path(), "c_vfp.dbf");
    dbf_writer(dbf_ver::dbase3).field("X", 'C', 1).write(folder.path(), "d_last.dbf");

    EXPECT_EQ(inspect({}), inspect_damaged);
    const std::string text = out.str();
    EXPECT_NE(text.find("a_good: dBASE III / FoxPro without memo (0x03), 1 record, code page 0x00 "
                        "Default (ANSI code page "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nb_cut: dBASE III / FoxPro without memo (0x03), 1 record (CUT SHORT: "
                        "the header announces 1000), "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("c_vfp: Visual FoxPro (0x30), 0 records"), std::string::npos) << text;
    EXPECT_NE(text.find("memo file MISSING (c_vfp.fpt): its memo fields would read as empty\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nd_last: "), std::string::npos) << text;
    EXPECT_EQ(err.str(), "");
}

}  // namespace
