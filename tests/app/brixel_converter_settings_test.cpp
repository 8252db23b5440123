// The converter's settings: the copy kept in the settings store between runs, profiles written
// and read back (layout, reading rules, the existing-table policy, the type mapping), the log
// file choice, and the progress percentage the front ends draw.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"
#include "converter_settings_fixture.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_field_mutator.hpp"

namespace {

using tables = std::vector<std::u16string>;

tk_exception raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const tk_exception& e) {
        return e;
    }
    ADD_FAILURE() << "no tk_exception";
    return tk_exception("", 0);
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

// One line per mapped column with everything the mapping keeps, after the table's new name.
std::vector<std::string> mapping_lines(const udb_table_mutator& table) {
    std::vector<std::string> lines{tk_w2a(table.new_name)};
    for (const auto& [name, field] : table.fields()) {
        lines.push_back(tk_w2a(name + u">" + field->new_name + u"|" + field->type + u"|" +
                               field->default_value + u"|" + field->character_set) +
                        "|" + std::to_string(field->length) + "," + std::to_string(field->scale) +
                        "," + std::to_string(field->precision) + "|" +
                        std::to_string(field->vartype) + "|" + std::to_string(field->status));
    }
    return lines;
}

class settings_test : public converter_settings_test {
  protected:
    ~settings_test() override { tk_log::get().reset(); }

    std::u16string profile(const std::string& name) { return tk_a2w(folder.file(name)); }

    std::optional<brixel_converter> converter;
};

// The converter as a user left it: every setting away from its default.
void set_everything(brixel_converter& c) {
    c.bool_dbf = c.skip_del = c.skip_idx = c.tab_def = true;
    c.uppercase = false;
    c.code_page = 1251;
    c.values = udb_values::classic;
    c.load = {ora_load_method::array, 7, 0};
    c.jobs = 3;
    c.mode = brixel_converter::mode_skip;
    c.src = u"/data/d\u00fcsseldorf";
    c.dest = u"ORCL";
    c.store_oracle_settings(u"db.example", u"scott", u"p\u00e4ss = w\\rd", u"1522");
}

}  // namespace

TEST_F(settings_test, settings_store_gives_the_defaults_then_keeps_what_the_last_converter_had) {
    converter.emplace();
    EXPECT_EQ(settings_of(*converter),
              "src= dest= host= user= password= port=1521 flags=00001 mode=0 code_page=0 "
              "values=exact load=array/1000/10000");
    set_everything(*converter);
    converter->password += u" ";  // the store keeps what a profile line could not
    const std::string before = settings_of(*converter);
    converter.reset();
    struct stat info {};
    ASSERT_EQ(::stat(settings_file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // it holds the password
    EXPECT_NE(read(settings_file).find("[Software\\Quillonworks\\Brixel]"), std::string::npos);

    converter.emplace();
    EXPECT_EQ(settings_of(*converter), before);
    converter.reset();

    // Values of the wrong type or out of range leave the defaults; an empty text is a value.
    write(settings_file,
          "[Software\\Quillonworks\\Brixel]\nmode=dword:00000007\nport=sz:\n"
          "uppercase=sz:no\nload=sz:fast\nbatch_rows=dword:00000000\n");
    converter.emplace();
    EXPECT_EQ(settings_of(*converter),
              "src= dest= host= user= password= port= flags=00001 mode=0 code_page=0 "
              "values=exact load=array/1000/10000");
}

TEST_F(settings_test, saved_profile_has_its_layout_loads_back_equal_and_saves_byte_for_byte) {
    converter.emplace();
    set_everything(*converter);
    converter->user.clear();  // an empty setting is not written
    converter->mode = brixel_converter::mode_merge;
    converter->selected_tables = {u"b", u"A", u"C"};
    converter->available_queries[u"big"] = u"select * from b where n > 1";
    ASSERT_TRUE(converter->store_profile(profile("first.brixel")));
    const std::string before = settings_of(*converter);

    const std::string saved = read(folder.file("first.brixel"));
    EXPECT_EQ(saved.substr(0, saved.find("[Type Mappings]")),
              "[Available Queries]\r\nbig=select * from b where n > 1\r\n\r\n"
              "[Generic settings]\r\nbatch rows=7\r\nbool as is=1\r\ncommit rows=0\r\n"
              "dest=ORCL\r\nencoding=1251\r\njobs=3\r\nload=array\r\nlogfile=\r\n"
              "mode=1\r\nonly definitions=1\r\nskip deleted=1\r\nskip indexes=1\r\n"
              "src=/data/d\xc3\xbcsseldorf\r\nvalues=classic\r\n\r\n"
              "[Oracle settings]\r\nhost=db.example\r\npassword=p\xc3\xa4ss = w\\rd\r\n"
              "port=1522\r\n\r\n"
              "[Selected Tables]\r\nA\r\nC\r\nb\r\n\r\n");
    EXPECT_EQ(saved.substr(saved.find("[Type Mappings]")),
              "[Type Mappings]\r\ndatabase:\r\ntables:\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(folder.file("first.brixel").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    converter.reset();

    // A fresh converter whose settings store knows nothing of the first one.
    use_settings_folder("other");
    converter.emplace();
    ASSERT_TRUE(converter->load_profile(profile("first.brixel")));
    // "uppercase" is no profile setting: the fresh converter keeps its own.
    converter->uppercase = false;
    EXPECT_EQ(settings_of(*converter), before);
    EXPECT_EQ(converter->jobs, 3u);
    EXPECT_EQ(converter->selected_tables, (tables{u"A", u"C", u"b"}));
    EXPECT_EQ(converter->available_queries.at(u"big"), u"select * from b where n > 1");
    ASSERT_TRUE(converter->store_profile(profile("second.brixel")));
    EXPECT_EQ(read(folder.file("second.brixel")), saved);
}

TEST_F(settings_test, hand_written_profile_loads_by_the_reading_rules) {
    converter.emplace();
    converter->host = u"kept.example";
    converter->mode = brixel_converter::mode_merge;
    write(folder.file("hand.brixel"),
          "   [Generic settings]   \n"
          "  src =   /data/in   \n"
          "src=/data/second\n"
          "mode=2\n"
          "skip deleted=yes\n"
          "encoding=  1250\n"
          "\n"
          "[Oracle settings]\r"
          "user=scott\r"
          "[Selected Tables]\r\n"
          "orders\r\n"
          "  big = select 1 from dual\r\n"
          "orders\r\n");
    ASSERT_TRUE(converter->load_profile(profile("hand.brixel")));
    // The first value, with its leading blanks; values as before the setting existed; only "1"
    // sets a flag; the host, not named, is not cleared.
    const std::string loaded =
        "src=   /data/in dest= host=kept.example user=scott password= "
        "port=1521 flags=00001 mode=2 code_page=1250 values=classic "
        "load=array/1000/10000";
    EXPECT_EQ(settings_of(*converter), loaded);
    EXPECT_EQ(converter->selected_tables, tables{u"orders"});
    EXPECT_EQ(converter->sel_queries.at(u"big"), u" select 1 from dual");

    // No "Selected Tables" at all, a policy that does not exist and a code page that is no
    // number: the profile loads and keeps the current values for those; only "exact" is exact.
    write(folder.file("bare.brixel"),
          "[Generic settings]\r\nmode=7\r\nencoding=12abc\r\ndest=XE\r\nvalues=Exact\r\n");
    ASSERT_TRUE(converter->load_profile(profile("bare.brixel")));
    EXPECT_EQ(settings_of(*converter),
              "src=   /data/in dest=XE" + loaded.substr(loaded.find(" host")));
    EXPECT_EQ(converter->selected_tables, tables{u"orders"});

    // A key before any section: the profile is not applied.
    write(folder.file("headless.brixel"), "dest=NOPE\r\n[Generic settings]\r\n");
    EXPECT_FALSE(converter->load_profile(profile("headless.brixel")));
    EXPECT_EQ(converter->dest, u"XE");
}

TEST_F(settings_test, type_mapping_travels_through_a_profile) {
    converter.emplace();
    udb_table_mutator& orders = converter->get_table_mutator(u"orders", u"SALES_ORDERS");
    t_field_description renamed = description(u"NVARCHAR2(60)", 60);
    renamed.default_value = u"'none'";
    orders.update_field(u"CUST", u"CUSTOMER", renamed);
    orders.update_field(u"QTY", u"QUANTITY", description(u"NUMBER(10,2)", 0, 2, 10));
    orders.update_field(u"PRICE", u"PRICE", description(u"NUMBER(11,0)", 0, 0, 11));
    orders.update_field(u"NOTE", u"NOTE", description(u"CLOB", 0));
    orders.find_field(u"NOTE")->status = udb_field_mutator::status_deleted;
    const std::vector<std::string> expected = mapping_lines(orders);
    ASSERT_TRUE(converter->store_profile(profile("mapping.brixel")));
    converter.reset();

    converter.emplace();
    ASSERT_TRUE(converter->load_profile(profile("mapping.brixel")));
    const udb_table_mutator* back = converter->find_table_mutator(u"orders");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(mapping_lines(*back), expected);
}

TEST_F(settings_test, log_file_must_be_writable_in_an_existing_folder) {
    // Refused: a folder that does not exist, a file that exists read-only (root writes it anyway).
    const std::string read_only = folder.file("read_only.log");
    write(read_only, "old\n");
    ASSERT_EQ(::chmod(read_only.c_str(), 0400), 0);
    std::vector<std::pair<std::string, std::string>> refused = {
        {folder.file("nowhere/x.log"),
         "Logfile path does not exist.\nPlease verify the correct path was given."}};
    if (::geteuid() != 0) {
        refused.push_back({read_only, "Logfile name specifies an existing read-only file."});
    }
    tk_converter c;
    for (const auto& [path, message] : refused) {
        tk_log::get().reset();
        const tk_exception e = raised([&] { c.set_logfile(path); });
        EXPECT_EQ(e.message, message);
        EXPECT_EQ(e.level, 1);
        EXPECT_TRUE(c.logfile.empty());
        EXPECT_FALSE(tk_log::get().enabled());
    }

    const std::string path = folder.file("run.log");
    c.set_logfile(path);
    EXPECT_EQ(c.logfile, path);
    EXPECT_EQ(tk_log::get().path(), path);
    TK_LOG(3, "Converting table %s (%d records)", "t", 3);
    EXPECT_NE(read(path).find("Converting table t (3 records)"), std::string::npos);

    // A profile names its log file the same way.
    tk_log::get().reset();
    converter.emplace();
    const std::string other = folder.file("profile.log");
    write(folder.file("log.brixel"), "[Generic settings]\r\nlogfile=" + other + "\r\n");
    ASSERT_TRUE(converter->load_profile(profile("log.brixel")));
    EXPECT_EQ(tk_log::get().path(), other);
    write(folder.file("badlog.brixel"),
          "[Generic settings]\r\nlogfile=" + folder.file("no/such.log") + "\r\n");
    EXPECT_EQ(raised([&] { converter->load_profile(profile("badlog.brixel")); }).level, 1);
}

TEST(converter_progress, percent_counts_tables_done_and_the_share_of_the_current_table) {
    struct probe : udb_converter {
        bool test_query(const std::u16string&) override { return false; }
    } c;
    EXPECT_EQ(c.percent(), 0u);  // before a run
    c.total_tables = 3;
    c.tables_done = 1;
    EXPECT_EQ(c.percent(), 33u);  // no records known yet
    c.total_records = 200;
    c.current_record = 100;
    EXPECT_EQ(c.percent(), 33u + 50u / 3u);
    // Record counts near the 32-bit limit do not wrap when multiplied by 100.
    c.total_tables = 1;
    c.tables_done = 0;
    c.total_records = 4000000000u;
    c.current_record = 3000000000u;
    EXPECT_EQ(c.percent(), 75u);
}
