// The data-file reader: the key/value grammar, filtering, and files it cannot read.

#include "tk/tk_yaml_config.hpp"

#include <gtest/gtest.h>

#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"
#include "tk/tk_utils.hpp"

namespace {

using list = std::vector<std::u16string>;

tk_yaml_config load_text(const tk_test_folder& folder, const std::string& text,
                         const tk_yaml_config::exclusion_set& exclusions = {}) {
    const std::string path = folder.file("data.map");
    tk_test_folder::write(path, text);
    tk_yaml_config config;
    EXPECT_TRUE(config.load(path, exclusions));
    return config;
}

}  // namespace

TEST(tk_yaml_config, keys_values_blanks_and_ignored_lines) {
    tk_test_folder folder;
    const tk_yaml_config config = load_text(folder,
                                            "# comment lines are neither keys nor values\r\n"
                                            "NUMBER(5,0):\r\n"
                                            "  -   NUMBER   \r\n"
                                            "\r\n"
                                            "     \r\n"
                                            "  - BINARY DOUBLE\r\n"
                                            "  + not a value\n"
                                            "DATE :\n"
                                            "TIMESTAMP:\n"
                                            "  - DATE\n"
                                            "-\n"
                                            "NUMBER(5,0):\n"
                                            "  - Ölfeld\n"
                                            "  - NVARCHAR2");
    EXPECT_EQ(config.get(u"NUMBER(5,0)"),
              (list{u"NUMBER", u"BINARY DOUBLE", u"Ölfeld", u"NVARCHAR2"}));
    // The key is the text before the colon as it stands; a key without values exists, empty.
    ASSERT_EQ(config.count(u"DATE "), 1u);
    EXPECT_TRUE(config.get(u"DATE ").empty());
    EXPECT_EQ(config.count(u"DATE"), 0u);
    // A lone "-" is an empty value.
    EXPECT_EQ(config.get(u"TIMESTAMP"), (list{u"DATE", u""}));
    EXPECT_TRUE(config.get(u"unknown").empty());
    EXPECT_EQ(config.size(), 3u);
}

TEST(tk_yaml_config, values_before_a_key_and_loading_twice_add_up) {
    tk_test_folder folder;
    const std::string path = folder.file("twice.map");
    tk_test_folder::write(path, "- orphan\nA:\n- x\n");
    tk_yaml_config config;
    ASSERT_TRUE(config.load(path, {}));
    ASSERT_TRUE(config.load(path, {}));
    EXPECT_EQ(config.get(u""), (list{u"orphan", u"orphan"}));
    EXPECT_EQ(config.get(u"A"), (list{u"x", u"x"}));
}

TEST(tk_yaml_config, exclusion_set_filters_values_not_keys) {
    tk_test_folder folder;
    const tk_yaml_config config =
        load_text(folder, "LONG:\n- CLOB\n- LONG\n- NCLOB\nCLOB:\n- LONG\n", {u"LONG"});
    EXPECT_EQ(config.get(u"LONG"), (list{u"CLOB", u"NCLOB"}));
    ASSERT_EQ(config.count(u"CLOB"), 1u);
    EXPECT_TRUE(config.get(u"CLOB").empty());
}

TEST(tk_yaml_config, unreadable_files_answer_false) {
    tk_test_folder folder;
    tk_yaml_config config;
    EXPECT_FALSE(config.load(folder.file("absent.map"), {}));
    EXPECT_FALSE(config.load(folder.path().string(), {}));
    EXPECT_TRUE(config.empty());
}

TEST(tk_yaml_config, invalid_utf8_raises_the_conversion_error) {
    tk_test_folder folder;
    for (const std::string& text : {std::string("K:\n- caf\xE9\n"), std::string("\xFF:\n")}) {
        const std::string path = folder.file("bad.map");
        tk_test_folder::write(path, text);
        tk_yaml_config config;
        try {
            config.load(path, {});
            FAIL() << "no exception";
        } catch (const tk_exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to UNICODE string: ", 0), 0u)
                << e.what();
        }
    }
}

TEST(tk_yaml_config, data_files_are_found_beside_the_program) {
    EXPECT_EQ(tk_data_file_path("ora.map"), tk_program_folder() + "ora.map");
    EXPECT_EQ(tk_data_file_path("/opt/x/ora.typ"), "/opt/x/ora.typ");
    EXPECT_EQ(tk_program_folder().back(), '/');
}
