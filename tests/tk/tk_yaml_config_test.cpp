// The data-file reader: the key/value grammar, filtering, and files it cannot read.

#include "tk/tk_yaml_config.hpp"

#include <gtest/gtest.h>

#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"

namespace {

using list = std::vector<std::u16string>;

}  // namespace

TEST(tk_yaml_config, keys_values_blanks_filter_and_ignored_lines) {
    tk_test_folder folder;
    const std::string path = folder.file("data.map");
    tk_test_folder::write(path,
                          "# comment lines are neither keys nor values\r\n"
                          "- orphan\r\n"
                          "NUMBER(5,0):\r\n"
                          "  -   NUMBER   \r\n"
                          "\r\n"
                          "  - LONG\r\n"
                          "  + not a value\n"
                          "DATE :\n"
                          "TIMESTAMP:\n"
                          "-\n"
                          "NUMBER(5,0):\n"
                          "  - \xC3\x96lfeld");
    tk_yaml_config config;
    ASSERT_TRUE(config.load(path, {u"LONG"}));
    EXPECT_EQ(config.get(u"NUMBER(5,0)"), (list{u"NUMBER", u"Ölfeld"}));
    EXPECT_EQ(config.get(u""), list{u"orphan"});
    // The key is the text before the colon as it stands; a key without values exists, empty.
    ASSERT_EQ(config.count(u"DATE "), 1u);
    EXPECT_TRUE(config.get(u"DATE ").empty());
    EXPECT_EQ(config.get(u"TIMESTAMP"), list{u""});
    EXPECT_EQ(config.size(), 4u);
}

TEST(tk_yaml_config, unreadable_files_answer_false_and_bad_utf8_raises) {
    tk_test_folder folder;
    tk_yaml_config config;
    EXPECT_FALSE(config.load(folder.file("absent.map"), {}));
    EXPECT_FALSE(config.load(folder.path().string(), {}));
    EXPECT_TRUE(config.empty());
    for (const char* text : {"K:\n- caf\xE9\n", "\xFF:\n"}) {
        tk_test_folder::write(folder.file("bad.map"), text);
        try {
            config.load(folder.file("bad.map"), {});
            FAIL() << "no exception";
        } catch (const tk_exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to UNICODE string: ", 0), 0u);
        }
    }
}
