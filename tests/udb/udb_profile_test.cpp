// Profile files: the exact bytes written, what hand-written files load as, and damaged files.

#include "udb/udb_profile.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"
#include "tk/tk_wstring.hpp"

namespace {

std::u16string wide(const std::string& text) {
    return tk_from_utf8(text);
}

// Loads a file written with the given bytes.
udb_profile load_text(const tk_test_folder& folder, const std::string& bytes,
                      bool* b_result = nullptr) {
    const std::string path = folder.file("hand.brixel");
    tk_test_folder::write(path, bytes);
    udb_profile profile;
    const bool b_loaded = profile.load(wide(path));
    if (b_result != nullptr) {
        *b_result = b_loaded;
    }
    return profile;
}

// A profile as the converter fills it, with the Oracle settings, three selected tables, one
// query and a list section.
udb_profile sample_profile() {
    udb_profile profile;
    profile.set_value(u"Available Queries", u"big orders", u"SELECT * FROM orders WHERE n > 5");
    profile.set_value(u"Selected Tables", u"b", u"");
    profile.set_value(u"Selected Tables", u"A", u"");
    profile.set_value(u"Selected Tables", u"C", u"");
    profile.set_value(u"Selected Tables", u"big orders", u"SELECT * FROM orders WHERE n > 5");
    profile.set_value(u"Generic settings", u"src", u"/data/Kunden Ü");
    profile.set_value(u"Generic settings", u"dest", u"ORCL");
    profile.set_value(u"Generic settings", u"logfile", u"");
    profile.set_value(u"Generic settings", u"skip indexes", u"0");
    profile.set_value(u"Generic settings", u"only definitions", u"1");
    profile.set_value(u"Generic settings", u"mode", u"0");
    profile.set_value(u"Oracle settings", u"user", u"scott");
    profile.set_value(u"Oracle settings", u"port", u"1521");
    profile.set_value(u"Oracle settings", u"password", u"ti ger=1");
    profile.set_value(u"Oracle settings", u"host", u"db.example");
    profile.set_value(u"Generic settings", u"skip deleted", u"1");
    profile.set_value(u"Generic settings", u"bool as is", u"0");
    profile.set_value(u"Generic settings", u"encoding", u"1251");
    profile.add_line(u"Type Mappings", u"database:");
    profile.add_line(u"Type Mappings", u"tables:");
    profile.add_line(u"Type Mappings", u"  - name: Kunden");
    return profile;
}

const char* const sample_bytes =
    "[Available Queries]\r\n"
    "big orders=SELECT * FROM orders WHERE n > 5\r\n"
    "\r\n"
    "[Generic settings]\r\n"
    "bool as is=0\r\n"
    "dest=ORCL\r\n"
    "encoding=1251\r\n"
    "logfile=\r\n"
    "mode=0\r\n"
    "only definitions=1\r\n"
    "skip deleted=1\r\n"
    "skip indexes=0\r\n"
    "src=/data/Kunden \xC3\x9C\r\n"
    "\r\n"
    "[Oracle settings]\r\n"
    "host=db.example\r\n"
    "password=ti ger=1\r\n"
    "port=1521\r\n"
    "user=scott\r\n"
    "\r\n"
    "[Selected Tables]\r\n"
    "A\r\n"
    "C\r\n"
    "b\r\n"
    "big orders=SELECT * FROM orders WHERE n > 5\r\n"
    "\r\n"
    "[Type Mappings]\r\n"
    "database:\r\n"
    "tables:\r\n"
    "  - name: Kunden\r\n";

// Rebuilds a profile from a loaded one the way the converter does: key sections copied, list
// sections from their lines (their lines are not keys of their own).
udb_profile rebuild(const udb_profile& loaded) {
    udb_profile copy;
    for (const auto& [name, keys] : loaded.sections()) {
        if (name == u"Type Mappings") {
            continue;
        }
        for (const auto& [key, value] : keys) {
            copy.set_value(name, key, value);
        }
    }
    for (const auto& line : loaded.get_lines(u"Type Mappings")) {
        copy.add_line(u"Type Mappings", line);
    }
    return copy;
}

}  // namespace

TEST(udb_profile_store, new_profile_holds_the_three_empty_sections) {
    tk_test_folder folder;
    const std::string path = folder.file("empty.brixel");
    ASSERT_TRUE(udb_profile().store(wide(path)));
    EXPECT_EQ(tk_test_folder::read(path),
              "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n");
}

TEST(udb_profile_store, writes_sections_keys_and_lists_in_their_order) {
    tk_test_folder folder;
    const std::string path = folder.file("full.brixel");
    ASSERT_TRUE(sample_profile().store(wide(path)));
    EXPECT_EQ(tk_test_folder::read(path), sample_bytes);

    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(udb_profile_store, loads_back_and_saves_byte_for_byte_the_same) {
    tk_test_folder folder;
    const std::string first = folder.file("first.brixel");
    const std::string second = folder.file("second.brixel");
    ASSERT_TRUE(sample_profile().store(wide(first)));

    udb_profile loaded;
    ASSERT_TRUE(loaded.load(wide(first)));
    EXPECT_EQ(loaded.get_value(u"Oracle settings", u"password"), u"ti ger=1");
    EXPECT_EQ(loaded.get_value(u"Generic settings", u"src"), u"/data/Kunden Ü");
    EXPECT_EQ(loaded.get_value(u"Selected Tables", u"big orders"),
              u"SELECT * FROM orders WHERE n > 5");
    std::u16string tables;
    for (const auto& [key, value] : loaded.get_section(u"Selected Tables")) {
        if (value.empty()) {
            tables += key + u",";
        }
    }
    EXPECT_EQ(tables, u"A,C,b,");
    const std::vector<std::u16string> mapping = {u"database:", u"tables:", u"- name: Kunden"};
    EXPECT_EQ(loaded.get_lines(u"Type Mappings"), mapping);

    ASSERT_TRUE(rebuild(loaded).store(wide(second)));
    const std::string again = tk_test_folder::read(second);
    // List lines lose their leading blanks: the reader trims every line.
    std::string expected = sample_bytes;
    expected.replace(expected.find("  - name: Kunden"), 16, "- name: Kunden");
    EXPECT_EQ(again, expected);

    udb_profile third;
    ASSERT_TRUE(third.load(wide(second)));
    ASSERT_TRUE(rebuild(third).store(wide(first)));
    EXPECT_EQ(tk_test_folder::read(first), again);
}

TEST(udb_profile_store, replaces_an_existing_file_atomically_with_mode_0600) {
    tk_test_folder folder;
    const std::string path = folder.file("old.brixel");
    tk_test_folder::write(path, "old content");
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(udb_profile().store(wide(path)));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(udb_profile_store, unwritable_places_answer_false_and_leave_nothing) {
    tk_test_folder folder;
    EXPECT_FALSE(udb_profile().store(wide(folder.file("missing/sub.brixel"))));
    // A folder in the way of the file: the rename fails and the temporary file goes away.
    std::filesystem::create_directories(folder.file("taken"));
    tk_test_folder::write(folder.file("taken/x"), "x");
    EXPECT_FALSE(udb_profile().store(wide(folder.file("taken"))));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(udb_profile_store, text_that_is_not_utf16_raises_and_keeps_the_old_file) {
    tk_test_folder folder;
    const std::string path = folder.file("keep.brixel");
    tk_test_folder::write(path, "[Generic settings]\r\nsrc=x\r\n");
    udb_profile profile;
    profile.set_value(u"Generic settings", u"src", std::u16string(1, char16_t(0xD800)));
    try {
        profile.store(wide(path));
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to UTF8 string: ", 0), 0u)
            << e.what();
    }
    EXPECT_EQ(tk_test_folder::read(path), "[Generic settings]\r\nsrc=x\r\n");
}

TEST(udb_profile_store, texts_that_would_load_differently_are_refused) {
    tk_test_folder folder;
    const std::string path = folder.file("refused.brixel");
    tk_test_folder::write(path, "previous");
    struct case_t {
        const char16_t* section;
        std::u16string key;
        std::u16string value;
    };
    const case_t cases[] = {
        {u"Oracle settings", u"password", u"secret "},                // trailing blank lost
        {u"Generic settings", u"src", u"/a\r\n[Oracle settings]"},    // line break
        {u"Generic settings", u"a=b", u"c"},                          // key cut at the first "="
        {u"Generic settings", u" src", u"x"},                         // key blanks trimmed
        {u"Selected Tables", u"x=y", u""},                            // bare name read as a query
        {u"Selected Tables", u"[T]", u""},                            // bare name read as a header
        {u"Available Queries", u"long", std::u16string(4092, u'q')},  // 4096-byte line
        {u"Generic\nsettings", u"k", u"v"},                           // section name with a break
    };
    for (const case_t& c : cases) {
        udb_profile profile;
        profile.set_value(c.section, c.key, c.value);
        EXPECT_FALSE(profile.store(wide(path))) << tk_w2a(c.key);
        EXPECT_EQ(tk_test_folder::read(path), "previous");
    }
    for (const std::u16string& line : std::vector<std::u16string>{
             u"default_value: a=b", u"   ", u"[x]", u"a\nb", std::u16string(4096, u'-')}) {
        udb_profile profile;
        profile.add_line(u"Type Mappings", line);
        EXPECT_FALSE(profile.store(wide(path))) << tk_w2a(line);
    }
    // The longest line that loads is written.
    udb_profile longest;
    longest.set_value(u"Available Queries", u"long", std::u16string(4090, u'q'));
    EXPECT_TRUE(longest.store(wide(path)));
    udb_profile back;
    ASSERT_TRUE(back.load(wide(path)));
    EXPECT_EQ(back.get_value(u"Available Queries", u"long").size(), 4090u);
}

TEST(udb_profile_model, first_value_set_wins_and_absent_reads_empty) {
    udb_profile profile;
    profile.set_value(u"S", u"k", u"first");
    profile.set_value(u"S", u"k", u"second");
    EXPECT_EQ(profile.get_value(u"S", u"k"), u"first");
    EXPECT_EQ(profile.get_value(u"S", u"other"), u"");
    EXPECT_EQ(profile.get_value(u"none", u"k"), u"");
    EXPECT_TRUE(profile.get_section(u"none").empty());
    EXPECT_TRUE(profile.get_lines(u"none").empty());
}

TEST(udb_profile_load, hand_written_spacing_repeats_and_line_ends) {
    tk_test_folder folder;
    bool b_loaded = false;
    const udb_profile profile = load_text(folder,
                                          "\xEF\xBB\xBF"
                                          "   [Oracle settings]   \n"
                                          "  host =   db one  \r"
                                          "host=db two\r\n"
                                          "\r\n"
                                          "   \n"
                                          "user=a=b\n"
                                          " = nameless\n"
                                          "[Selected Tables]\n"
                                          "  Kunden  \n"
                                          "q1 = select 1\n"
                                          "[Generic settings]\n"
                                          "src=\t/x\t\n"
                                          "bool as is=1",
                                          &b_loaded);
    ASSERT_TRUE(b_loaded);
    // Key blanks go at both ends, the value keeps its leading blanks, the line loses its
    // trailing ones; a repeated key keeps its first value; the value may hold "=".
    EXPECT_EQ(profile.get_value(u"Oracle settings", u"host"), u"   db one");
    EXPECT_EQ(profile.get_value(u"Oracle settings", u"user"), u"a=b");
    EXPECT_EQ(profile.get_value(u"Oracle settings", u""), u" nameless");
    EXPECT_EQ(profile.get_section(u"Oracle settings").size(), 3u);
    EXPECT_EQ(profile.get_value(u"Selected Tables", u"q1"), u" select 1");
    ASSERT_EQ(profile.get_section(u"Selected Tables").count(u"Kunden"), 1u);
    EXPECT_EQ(profile.get_value(u"Selected Tables", u"Kunden"), u"");
    EXPECT_EQ(profile.get_lines(u"Selected Tables"), std::vector<std::u16string>{u"Kunden"});
    // Only the blank is trimmed, not tabs.
    EXPECT_EQ(profile.get_value(u"Generic settings", u"src"), u"\t/x\t");
    EXPECT_EQ(profile.get_value(u"Generic settings", u"bool as is"), u"1");
    // The sections a new profile starts with are there although the file lacks one.
    EXPECT_EQ(profile.sections().count(u"Available Queries"), 1u);
}

TEST(udb_profile_load, loading_adds_to_the_profile_and_keeps_earlier_values) {
    tk_test_folder folder;
    const std::string path = folder.file("add.brixel");
    tk_test_folder::write(path, "[Generic settings]\r\nsrc=/from/file\r\ndest=XE\r\n");
    udb_profile profile;
    profile.set_value(u"Generic settings", u"src", u"/kept");
    ASSERT_TRUE(profile.load(wide(path)));
    EXPECT_EQ(profile.get_value(u"Generic settings", u"src"), u"/kept");
    EXPECT_EQ(profile.get_value(u"Generic settings", u"dest"), u"XE");
}

TEST(udb_profile_load, lines_before_any_section_stop_the_reading) {
    tk_test_folder folder;
    bool b_loaded = true;
    udb_profile keyed = load_text(folder, "src=/x\r\n[Generic settings]\r\ndest=XE\r\n", &b_loaded);
    EXPECT_FALSE(b_loaded);
    EXPECT_EQ(keyed.get_value(u"Generic settings", u"dest"), u"");

    b_loaded = true;
    load_text(folder, "\r\n  \r\nKunden\r\n[Selected Tables]\r\n", &b_loaded);
    EXPECT_FALSE(b_loaded);

    b_loaded = false;
    load_text(folder, "", &b_loaded);
    EXPECT_TRUE(b_loaded);
}

TEST(udb_profile_load, missing_or_unreadable_profile_is_fatal_with_its_message) {
    tk_test_folder folder;
    for (const std::string& path :
         {folder.file("nothing.brixel"), folder.path().string(),
          std::string("\"") + folder.file("a.brixel") + "\" extra words"}) {
        udb_profile profile;
        try {
            profile.load(wide(path));
            FAIL() << path;
        } catch (const tk_exception& e) {
            EXPECT_STREQ(e.what(),
                         "Profile does not exist. Please verify the correct path/name was given.");
            EXPECT_EQ(e.level, 1);
        }
    }
}

TEST(udb_profile_load, line_length_limit_is_4095_bytes) {
    tk_test_folder folder;
    // 4095 bytes of which the last character is two bytes long.
    const std::string longest = "src=" + std::string(4089, 'x') + "\xC3\x9C";
    ASSERT_EQ(longest.size(), 4095u);
    bool b_loaded = false;
    const udb_profile profile =
        load_text(folder, "[Generic settings]\r\n" + longest + "\r\n", &b_loaded);
    EXPECT_TRUE(b_loaded);
    EXPECT_EQ(profile.get_value(u"Generic settings", u"src").size(), 4090u);

    // A line of one more byte, whether in the middle or at the end without a line end.
    for (const std::string& text : {"[Generic settings]\r\n" + longest + "y\r\ndest=x\r\n",
                                    "[Generic settings]\r\n" + longest + "y"}) {
        try {
            load_text(folder, text);
            FAIL() << "no exception";
        } catch (const tk_mail_assertion& e) {
            EXPECT_EQ(e.level, 2);
        }
    }
}

TEST(udb_profile_load, invalid_utf8_raises_the_conversion_error) {
    tk_test_folder folder;
    // A Windows-1252 "Ü", a lone continuation byte, an overlong "/", an encoded surrogate and
    // a sequence cut off at the end of the line.
    for (const std::string& bad : {std::string("src=M\xDC"
                                               "nchen"),
                                   std::string("\x80"), std::string("src=\xC0\xAF"),
                                   std::string("src=\xED\xA0\x80"), std::string("src=\xE2\x82")}) {
        try {
            load_text(folder, "[Generic settings]\r\n" + bad + "\r\n");
            FAIL() << "no exception";
        } catch (const tk_exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to UNICODE string: ", 0), 0u)
                << e.what();
        }
    }
}
