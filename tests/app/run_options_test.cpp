// The options of brixel-cli run: the ways a command line can be wrong, the password sources, the
// code page choice by id or name, the table selection, and how the options land on the
// converter over the profile and the last settings.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"
#include "app/run_options.hpp"
#include "converter_settings_fixture.hpp"
#include "support/dbf_writer.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

using args = std::vector<std::string>;
using names = std::vector<std::u16string>;

// The words of a command line that holds no quoted blanks.
args words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The message of the usage error `f` raises; empty when it raises none.
template <typename F>
std::string usage_error(F f) {
    try {
        f();
    } catch (const run_usage_error& e) {
        return e.message;
    }
    return "";
}

TEST(run_options_parse, mistakes_are_usage_errors_that_say_what_is_wrong) {
    const std::vector<std::pair<args, std::string>> cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--source"}, "--source needs a value"},
        {{"--source="}, "--source needs a value that is not empty"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--skip-deleted", "--no-skip-deleted"}, "--skip-deleted is given twice"},
        {{"--existing", "replace"}, "--existing takes overwrite, merge or skip, not 'replace'"},
        {{"--log-level", "2x"}, "--log-level takes 1 (trace), 2 or 3, not '2x'"},
        {{"--port", "65536"}, "--port takes a number from 1 to 65535, not '65536'"},
        {{"--tables", "a,,b"}, "--tables: empty table name in 'a,,b'"},
        {{"--password", "x", "--password-file", "f"},
         "give the password one way: --password, --password-env or --password-file"},
        {{"--max-errors", "0"}, "--max-errors takes a number of errors from 1 up, not '0'"},
        {{"--load", "bulk"}, "--load takes array or row, not 'bulk'"},
        {{"--batch-rows", "0"}, "--batch-rows takes a number of rows from 1 to 1000000, not '0'"},
        {{"--commit-rows", "-1"},
         "--commit-rows takes a number of rows from 0 to 1000000, not '-1'"},
        {{"--jobs", "65"}, "--jobs takes a number of sessions from 1 to 64, not '65'"},
        {{"--connect", "scott/tiger@db"},
         "--connect takes USER@//HOST[:PORT]/SERVICE or USER@NAME, not 'scott/tiger@db': the "
         "password is not given in the connect string (see --password-env)"},
        {{"--user", "adams", "--connect", "scott@//h:1/db"}, "--connect and --user disagree"},
    };
    for (const auto& [a, message] : cases) {
        EXPECT_EQ(usage_error([&] { parse_run_arguments(a, false); }), message) << a[0];
    }
    // A connect string names the user and the server, as the separate options do.
    const run_options c = parse_run_arguments({"--connect", "scott@//db.example:1522/ORCL"}, false);
    EXPECT_EQ(c.user.value_or("") + " " + c.host.value_or("") + " " + c.port.value_or("") + " " +
                  c.service.value_or(""),
              "scott db.example 1522 ORCL");
    EXPECT_EQ(parse_run_arguments({"--connect", "scott@PROD"}, false).service, "PROD");
    // After a profile, options not given stay unset, so that the profile's values are kept.
    const run_options o = parse_run_arguments({"my.brixel", "--skip-deleted"}, true);
    EXPECT_EQ(o.profile, "my.brixel");
    EXPECT_FALSE(o.definitions_only || o.uppercase || o.existing || o.tables || o.encoding);
}

TEST(run_options_encoding, the_id_or_the_display_name_in_any_case) {
    EXPECT_EQ(parse_encoding("101"), 0x65);
    EXPECT_EQ(parse_encoding("0XC9"), 0xC9);
    EXPECT_EQ(parse_encoding("russian ms-dos"), 0x65);
    EXPECT_EQ(parse_encoding("Default"), 0);  // each file's own code page
    const std::string unknown = usage_error([] { parse_encoding("5"); });
    EXPECT_NE(unknown.find("no code page '5'; the choices are:"), std::string::npos);
    EXPECT_NE(unknown.find("\n  0xCB  Greek Windows"), std::string::npos);
    // A code page number is the commonest mistake: the ids that decode with it are named.
    EXPECT_NE(usage_error([] { parse_encoding("866"); })
                  .find("866 is a code page number, chosen by the id 0x26 866 DOS Russian, 0x65 "
                        "Russian MS-DOS"),
              std::string::npos);
}

TEST(run_options_password, each_source_and_what_gives_nothing) {
    tk_test_folder folder;
    std::map<std::string, std::string> variables = {
        {"BRIXEL_PASSWORD", "from-default"}, {"MY_PW", "from-env"}, {"EMPTY", ""}};
    run_environment environment;
    environment.getenv = [&](const std::string& name) -> std::optional<std::string> {
        const auto it = variables.find(name);
        return it == variables.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    // The password when only this source is given.
    auto password = [&](std::optional<std::string> run_options::*source, std::string value) {
        run_options o;
        o.*source = std::move(value);
        return resolve_password(o, environment);
    };
    EXPECT_EQ(resolve_password(run_options(), environment), "from-default");
    EXPECT_EQ(password(&run_options::password, "arg"), "arg");
    EXPECT_EQ(password(&run_options::password_env, "MY_PW"), "from-env");
    // The first line of the file, without its line end.
    tk_test_folder::write(folder.file("pw"), "s3cr=t \r\nsecond line\n");
    EXPECT_EQ(password(&run_options::password_file, folder.file("pw")), "s3cr=t ");

    EXPECT_EQ(usage_error([&] { password(&run_options::password_env, "EMPTY"); }),
              "--password-env: the variable EMPTY is not set or empty");
    tk_test_folder::write(folder.file("blank"), "\nsecond\n");
    EXPECT_EQ(usage_error([&] { password(&run_options::password_file, folder.file("blank")); }),
              "--password-file: the first line of " + folder.file("blank") + " is empty");
    EXPECT_NE(usage_error([&] { password(&run_options::password_file, folder.file("none")); }), "");
    // Nothing given and no default: the password the converter has stays.
    variables["BRIXEL_PASSWORD"] = "";
    EXPECT_EQ(resolve_password(run_options(), environment), std::nullopt);
}

TEST(run_options_tables, the_users_order_with_the_folders_spelling_and_every_wrong_name) {
    const names folder = {u"alpha", u"beta", u"gamma"};
    EXPECT_EQ(match_tables({"GAMMA", "alpha.DBF", "Beta"}, folder),
              (names{u"gamma", u"alpha", u"beta"}));
    EXPECT_EQ(usage_error([&] {
                  match_tables({"alpha", "nope", "ALPHA", "zeta"}, folder);
              }),
              "no such table in the source folder: nope, zeta\ntable given twice: ALPHA");
}

// Applying options to a real converter, which starts from the (empty) settings store.
class run_apply_test : public converter_settings_test {
  protected:
    run_apply_test() {
        source = folder.path() / "dbf";
        std::filesystem::create_directories(source);
        for (const char* name : {"zeta.dbf", "alpha.dbf", "mid.dbf"}) {
            dbf_writer().field("ID", 'N', 5).write(source, name);
        }
        environment = run_environment::process();
        environment.getenv = [](const std::string&) { return std::nullopt; };
        converter.emplace();
    }
    ~run_apply_test() override { tk_log::get().reset(); }

    void apply(const args& a) {
        apply_run_options(parse_run_arguments(a, false), *converter, environment);
    }

    std::filesystem::path source;
    run_environment environment;
    std::optional<brixel_converter> converter;
};

TEST_F(run_apply_test, options_become_settings_and_every_table_is_the_default) {
    args all = words(
        "--host h --port 1600 --service SVC --user u --password p\xC3\xA4ss "
        "--existing skip --definitions-only --skip-deleted --bool-as-is "
        "--skip-indexes --uppercase off --log-level 3 --load ARRAY --batch-rows 7 "
        "--commit-rows 0 --jobs 4 --encoding");
    all.insert(all.end(), {"Russian Windows", "--source", source.string()});
    apply(all);
    const brixel_converter& c = *converter;
    EXPECT_EQ(settings_of(c), "src=" + source.string() +
                                  " dest=SVC host=h user=u password=p\xC3\xA4ss port=1600 "
                                  "flags=11110 mode=2 code_page=201 values=exact load=array/7/0");
    EXPECT_EQ(c.jobs, 4u);
    EXPECT_EQ(tk_log::get().threshold(), 3);
    // No --tables and no profile: the whole folder, in the folder's own order.
    names listed;
    converter->get_all_tables(listed);
    EXPECT_EQ(listed.size(), 3u);
    EXPECT_EQ(c.selected_tables, listed);

    // The --no- forms turn settings off again.
    apply({"--source", source.string(), "--no-definitions-only", "--no-skip-deleted",
           "--no-bool-as-is", "--no-skip-indexes", "--tables", "mid,zeta"});
    EXPECT_FALSE(c.tab_def || c.skip_del || c.bool_dbf || c.skip_idx);
    EXPECT_EQ(c.selected_tables, (names{u"mid", u"zeta"}));
}

TEST_F(run_apply_test, named_tables_replace_the_profiles_tables_but_keep_its_queries) {
    converter->src = tk_a2w(source.string());
    converter->selected_tables = {u"alpha", u"zeta"};
    converter->sel_queries = {{u"alpha", u""}, {u"zeta", u""}, {u"q", u"select 1 from dual"}};
    run_options o;
    o.profile = "loaded.brixel";  // already loaded: its selection is the default
    apply_run_options(o, *converter, environment);
    EXPECT_EQ(converter->selected_tables, (names{u"alpha", u"zeta"}));

    o.tables = args{"mid"};
    apply_run_options(o, *converter, environment);
    EXPECT_EQ(converter->selected_tables, (names{u"mid"}));
    EXPECT_EQ(converter->sel_queries,
              (udb_converter::query_map{{u"mid", u""}, {u"q", u"select 1 from dual"}}));
}

TEST_F(run_apply_test, a_source_or_tables_not_there_and_a_private_saved_profile) {
    EXPECT_EQ(usage_error([&] { apply({}); }), "no source folder: give --source FOLDER");
    EXPECT_EQ(usage_error([&] {
                  apply({"--source", folder.file("absent")});
              }),
              "the source folder " + folder.file("absent") + " does not exist or is not a folder");
    EXPECT_EQ(usage_error([&] {
                  apply({"--source", source.string(), "--tables", "mid,omega"});
              }),
              "--tables: no such table in the source folder: omega");

    // The profile holds the password: private even when the file was readable before.
    const std::string path = folder.file("saved.brixel");
    tk_test_folder::write(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    converter->password = u"secret";
    converter->selected_tables = {u"mid"};
    converter->sel_queries = {{u"mid", u""}};
    save_run_profile(*converter, path);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string content = tk_test_folder::read(path);
    EXPECT_NE(content.find("password=secret"), std::string::npos);
    EXPECT_NE(content.find("[Selected Tables]\r\nmid\r\n"), std::string::npos);
    EXPECT_THROW(save_run_profile(*converter, folder.file("absent/p.brixel")), run_usage_error);
}

}  // namespace
