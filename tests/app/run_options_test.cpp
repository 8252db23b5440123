// The options of brixel-cli run: what the command line is turned into, every way it can be
// wrong, the password sources, the code page choice by id or name, the table selection, and
// how the options land on the converter over the profile and the last settings.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <optional>
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

// The message of the usage error the arguments raise; empty when they parse.
std::string usage_error(const args& a, bool b_profile_first = false) {
    try {
        parse_run_arguments(a, b_profile_first);
    } catch (const run_usage_error& e) {
        return e.message;
    }
    return "";
}

TEST(run_options_parse, every_option_reaches_its_member) {
    const run_options o = parse_run_arguments({"--source",
                                               "/data/dbf",
                                               "--host=db.example",
                                               "--port",
                                               "1522",
                                               "--service",
                                               "ORCL",
                                               "--user",
                                               "scott",
                                               "--password-env",
                                               "PW",
                                               "--tables",
                                               "b, A ,c",
                                               "--existing",
                                               "Merge",
                                               "--definitions-only",
                                               "--no-skip-deleted",
                                               "--bool-as-is",
                                               "--skip-indexes",
                                               "--uppercase",
                                               "off",
                                               "--encoding",
                                               "0x65",
                                               "--log",
                                               "/tmp/x.log",
                                               "--log-level",
                                               "2",
                                               "--save-profile",
                                               "p.brixel",
                                               "--on-error",
                                               "abort",
                                               "--errors-file",
                                               "e.txt",
                                               "--quiet"},
                                              false);
    EXPECT_FALSE(o.profile);
    EXPECT_EQ(o.source, "/data/dbf");
    EXPECT_EQ(o.host, "db.example");
    EXPECT_EQ(o.port, "1522");
    EXPECT_EQ(o.service, "ORCL");
    EXPECT_EQ(o.user, "scott");
    EXPECT_EQ(o.password_env, "PW");
    EXPECT_EQ(o.tables, (args{"b", "A", "c"}));
    EXPECT_EQ(o.existing, brixel_converter::mode_merge);
    EXPECT_EQ(o.definitions_only, true);
    EXPECT_EQ(o.skip_deleted, false);
    EXPECT_EQ(o.bool_as_is, true);
    EXPECT_EQ(o.skip_indexes, true);
    EXPECT_EQ(o.uppercase, false);
    EXPECT_EQ(o.encoding, 0x65);
    EXPECT_EQ(o.log_file, "/tmp/x.log");
    EXPECT_EQ(o.log_level, 2);
    EXPECT_EQ(o.save_profile, "p.brixel");
    EXPECT_EQ(o.on_error, on_error_policy::abort_run);
    EXPECT_EQ(o.errors_file, "e.txt");
    EXPECT_TRUE(o.quiet);
}

TEST(run_options_parse, options_not_given_stay_unset_so_the_profile_keeps_them) {
    const run_options o = parse_run_arguments({"my.brixel", "--skip-deleted"}, true);
    EXPECT_EQ(o.profile, "my.brixel");
    EXPECT_EQ(o.skip_deleted, true);
    EXPECT_FALSE(o.definitions_only || o.bool_as_is || o.uppercase || o.existing || o.tables ||
                 o.encoding || o.source || o.on_error);
}

TEST(run_options_parse, help_wins_over_anything_after_it) {
    EXPECT_TRUE(parse_run_arguments({"--help", "--bogus"}, false).help);
    EXPECT_TRUE(parse_run_arguments({"p.brixel", "-h"}, true).help);
}

TEST(run_options_parse, mistakes_are_usage_errors_that_say_what_is_wrong) {
    const std::vector<std::pair<args, std::string>> cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--no-quiet"}, "unknown option '--no-quiet'"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--source"}, "--source needs a value"},
        {{"--source="}, "--source needs a value that is not empty"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--host", "a", "--host", "b"}, "--host is given twice"},
        {{"--skip-deleted", "--no-skip-deleted"}, "--skip-deleted is given twice"},
        {{"--existing", "replace"}, "--existing takes overwrite, merge or skip, not 'replace'"},
        {{"--uppercase", "yes"}, "--uppercase takes on or off, not 'yes'"},
        {{"--log-level", "4"}, "--log-level takes 1 (trace), 2 or 3, not '4'"},
        {{"--log-level", "2x"}, "--log-level takes 1 (trace), 2 or 3, not '2x'"},
        {{"--on-error", "retry"}, "--on-error takes ask, continue or abort, not 'retry'"},
        {{"--port", "0"}, "--port takes a number from 1 to 65535, not '0'"},
        {{"--port", "65536"}, "--port takes a number from 1 to 65535, not '65536'"},
        {{"--port", "15x"}, "--port takes a number from 1 to 65535, not '15x'"},
        {{"--tables", "a,,b"}, "--tables: empty table name in 'a,,b'"},
        {{"--tables", "a,"}, "--tables: empty table name in 'a,'"},
        {{"--password", "x", "--password-file", "f"},
         "give the password one way: --password, --password-env or --password-file"},
    };
    for (const auto& [a, message] : cases) {
        EXPECT_EQ(usage_error(a), message) << a[0];
    }
    EXPECT_EQ(usage_error({""}, true), "no profile given");
}

TEST(run_options_encoding, the_id_or_the_display_name_in_any_case) {
    EXPECT_EQ(parse_encoding("101"), 0x65);
    EXPECT_EQ(parse_encoding("0x65"), 0x65);
    EXPECT_EQ(parse_encoding("0XC9"), 0xC9);
    EXPECT_EQ(parse_encoding("russian ms-dos"), 0x65);
    EXPECT_EQ(parse_encoding("RUSSIAN WINDOWS"), 0xC9);
    EXPECT_EQ(parse_encoding("Kamenicky (Czech) MS-DOS"), 0x68);
    // The first choice of the list: each file's own code page.
    EXPECT_EQ(parse_encoding("default"), 0);
    EXPECT_EQ(parse_encoding("0"), 0);
}

TEST(run_options_encoding, a_wrong_choice_lists_the_choices) {
    auto message = [](const std::string& text) {
        try {
            parse_encoding(text);
        } catch (const run_usage_error& e) {
            return e.message;
        }
        return std::string();
    };
    // 0x05 is not an id of the list, whatever its code page would be.
    const std::string unknown = message("5");
    EXPECT_NE(unknown.find("--encoding: no code page '5'; the choices are:"), std::string::npos);
    EXPECT_NE(unknown.find("\n  0xCB  Greek Windows"), std::string::npos);
    EXPECT_NE(message("Klingon").find("no code page 'Klingon'"), std::string::npos);
    // A code page number is the commonest mistake: the ids that decode with it are named.
    EXPECT_NE(message("866").find("866 is a code page number, chosen by the id 0x26 866 DOS "
                                  "Russian, 0x65 Russian MS-DOS"),
              std::string::npos);
}

class run_password_test : public testing::Test {
  protected:
    run_password_test() {
        environment.getenv = [this](const std::string& name) -> std::optional<std::string> {
            const auto it = variables.find(name);
            return it == variables.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
    }
    std::string error_of(const run_options& o) {
        try {
            resolve_password(o, environment);
        } catch (const run_usage_error& e) {
            return e.message;
        }
        return "";
    }

    tk_test_folder folder;
    std::map<std::string, std::string> variables;
    run_environment environment;
};

TEST_F(run_password_test, each_source_and_the_default_variable) {
    variables["BRIXEL_PASSWORD"] = "from-default";
    variables["MY_PW"] = "from-env";
    run_options o;
    EXPECT_EQ(resolve_password(o, environment), "from-default");
    o.password = "from-argument";
    EXPECT_EQ(resolve_password(o, environment), "from-argument");
    o.password.reset();
    o.password_env = "MY_PW";
    EXPECT_EQ(resolve_password(o, environment), "from-env");
    o.password_env.reset();
    // Only the first line counts, without its line end, whatever the line end.
    const std::string file = folder.file("pw");
    tk_test_folder::write(file, "s3cr=t \r\nsecond line\n");
    o.password_file = file;
    EXPECT_EQ(resolve_password(o, environment), "s3cr=t ");
    tk_test_folder::write(file, "no line end");
    EXPECT_EQ(resolve_password(o, environment), "no line end");
}

TEST_F(run_password_test, nothing_given_keeps_the_password_already_set) {
    EXPECT_EQ(resolve_password(run_options(), environment), std::nullopt);
    variables["BRIXEL_PASSWORD"] = "";
    EXPECT_EQ(resolve_password(run_options(), environment), std::nullopt);
}

TEST_F(run_password_test, a_named_source_that_gives_nothing_is_an_error) {
    run_options o;
    o.password_env = "MISSING";
    EXPECT_EQ(error_of(o), "--password-env: the variable MISSING is not set or empty");
    variables["MISSING"] = "";
    EXPECT_EQ(error_of(o), "--password-env: the variable MISSING is not set or empty");
    o.password_env.reset();
    o.password_file = folder.file("absent");
    EXPECT_EQ(error_of(o).rfind("--password-file: cannot read " + folder.file("absent") + ": ", 0),
              0u);
    tk_test_folder::write(folder.file("blank"), "\r\nsecond\n");
    o.password_file = folder.file("blank");
    EXPECT_EQ(error_of(o),
              "--password-file: the first line of " + folder.file("blank") + " is empty");
}

TEST(run_options_tables, the_users_order_with_the_folders_spelling) {
    const std::vector<std::u16string> folder = {u"alpha", u"beta", u"gamma"};
    EXPECT_EQ(match_tables({"GAMMA", "alpha.DBF", "Beta"}, folder),
              (std::vector<std::u16string>{u"gamma", u"alpha", u"beta"}));
}

TEST(run_options_tables, every_wrong_name_is_named_at_once) {
    try {
        match_tables({"alpha", "nope", "ALPHA", "zeta", "alpha.dbf"}, {u"alpha", u"beta"});
        FAIL() << "no error";
    } catch (const run_usage_error& e) {
        EXPECT_EQ(e.message,
                  "no such table in the source folder: nope, zeta\n"
                  "table given twice: ALPHA, alpha.dbf");
    }
}

// Applying options to a real converter, which starts from the (empty) settings store.
class run_apply_test : public converter_settings_test {
  protected:
    run_apply_test() {
        source = folder.path() / "dbf";
        std::filesystem::create_directories(source);
        dbf_writer w;
        w.field("ID", 'N', 5);
        for (const char* name : {"zeta.dbf", "alpha.dbf", "mid.dbf"}) {
            w.write(source, name);
        }
        environment = run_environment::process();
        environment.getenv = [](const std::string&) { return std::nullopt; };
    }
    ~run_apply_test() override { tk_log::get().reset(); }

    std::string apply_error(const run_options& o) {
        try {
            apply_run_options(o, *converter, environment);
        } catch (const run_usage_error& e) {
            return e.message;
        }
        return "";
    }

    std::filesystem::path source;
    run_environment environment;
    std::optional<brixel_converter> converter;
};

TEST_F(run_apply_test, options_become_settings_and_every_table_is_the_default) {
    converter.emplace();
    converter->src = tk_a2w(source.string());
    const std::vector<std::u16string> listed = run_environment::process().list_tables(*converter);
    run_options o = parse_run_arguments({"--source",
                                         source.string(),
                                         "--host",
                                         "h",
                                         "--port",
                                         "1600",
                                         "--service",
                                         "SVC",
                                         "--user",
                                         "u",
                                         "--password",
                                         "p\xC3\xA4ss",
                                         "--existing",
                                         "skip",
                                         "--definitions-only",
                                         "--skip-deleted",
                                         "--bool-as-is",
                                         "--skip-indexes",
                                         "--uppercase",
                                         "off",
                                         "--encoding",
                                         "Russian Windows",
                                         "--log-level",
                                         "3"},
                                        false);
    apply_run_options(o, *converter, environment);
    const brixel_converter& c = *converter;
    EXPECT_EQ(c.src, tk_a2w(source.string()));
    EXPECT_EQ(c.host, u"h");
    EXPECT_EQ(c.port, u"1600");
    EXPECT_EQ(c.dest, u"SVC");
    EXPECT_EQ(c.user, u"u");
    EXPECT_EQ(c.password, u"p\u00e4ss");
    EXPECT_EQ(c.mode, brixel_converter::mode_skip);
    EXPECT_TRUE(c.tab_def && c.skip_del && c.bool_dbf && c.skip_idx);
    EXPECT_FALSE(c.uppercase);
    EXPECT_EQ(c.code_page, 0xC9);
    EXPECT_EQ(tk_log::get().threshold(), 3);
    // No --tables and no profile: the whole folder, in the folder's own order.
    EXPECT_EQ(c.selected_tables, listed);
    EXPECT_EQ(c.selected_tables.size(), 3u);

    // A second application that turns flags off again.
    o = parse_run_arguments(
        {"--source", source.string(), "--no-definitions-only", "--no-skip-deleted",
         "--no-bool-as-is", "--no-skip-indexes", "--uppercase", "on", "--tables", "mid,zeta"},
        false);
    apply_run_options(o, *converter, environment);
    EXPECT_FALSE(c.tab_def || c.skip_del || c.bool_dbf || c.skip_idx);
    EXPECT_TRUE(c.uppercase);
    EXPECT_EQ(c.selected_tables, (std::vector<std::u16string>{u"mid", u"zeta"}));
}

TEST_F(run_apply_test, named_tables_replace_the_profiles_tables_but_keep_its_queries) {
    converter.emplace();
    converter->src = tk_a2w(source.string());
    converter->selected_tables = {u"alpha", u"zeta"};
    converter->sel_queries = {{u"alpha", u""}, {u"zeta", u""}, {u"q", u"select 1 from dual"}};
    run_options o;
    o.profile = "loaded.brixel";  // already loaded: its selection is the default
    apply_run_options(o, *converter, environment);
    EXPECT_EQ(converter->selected_tables, (std::vector<std::u16string>{u"alpha", u"zeta"}));

    o.tables = args{"mid"};
    apply_run_options(o, *converter, environment);
    EXPECT_EQ(converter->selected_tables, (std::vector<std::u16string>{u"mid"}));
    EXPECT_EQ(converter->sel_queries,
              (udb_converter::query_map{{u"mid", u""}, {u"q", u"select 1 from dual"}}));
}

TEST_F(run_apply_test, a_source_and_tables_that_are_not_there_are_usage_errors) {
    converter.emplace();
    EXPECT_EQ(apply_error(run_options()), "no source folder: give --source FOLDER");
    run_options o;
    o.source = folder.file("absent");
    EXPECT_EQ(apply_error(o),
              "the source folder " + folder.file("absent") + " does not exist or is not a folder");
    o.source = source.string();
    o.tables = args{"alpha", "omega"};
    EXPECT_EQ(apply_error(o), "--tables: no such table in the source folder: omega");
    // A log file in a folder that does not exist: the converter's own fatal error.
    o.tables.reset();
    o.log_file = folder.file("absent/run.log");
    EXPECT_THROW(apply_run_options(o, *converter, environment), tk_exception);
}

TEST_F(run_apply_test, a_saved_profile_is_private_even_over_an_open_file) {
    converter.emplace();
    const std::string path = folder.file("saved.brixel");
    tk_test_folder::write(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    converter->src = tk_a2w(source.string());
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
