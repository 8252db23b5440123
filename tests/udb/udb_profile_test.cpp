// Profile files: the exact bytes written, what hand-written files load as, and damaged files.

#include "udb/udb_profile.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"
#include "tk/tk_wstring.hpp"

namespace {

std::u16string wide(const std::string& text) {
    return tk_from_utf8(text);
}

udb_profile load_text(const tk_test_folder& folder, const std::string& bytes, bool& b_loaded) {
    const std::string path = folder.file("hand.brixel");
    tk_test_folder::write(path, bytes);
    udb_profile profile;
    b_loaded = profile.load(wide(path));
    return profile;
}

template <class Exception>
std::string failure_of(const tk_test_folder& folder, const std::string& bytes) {
    bool b_loaded = false;
    try {
        load_text(folder, bytes, b_loaded);
    } catch (const Exception& e) {
        return e.what();
    }
    return "no exception";
}

}  // namespace

TEST(udb_profile, stores_in_code_unit_order_and_loads_back_byte_for_byte) {
    tk_test_folder folder;
    udb_profile profile;
    profile.set_value(u"Selected Tables", u"b", u"");
    profile.set_value(u"Selected Tables", u"A", u"");
    profile.set_value(u"Selected Tables", u"big", u"SELECT 1");
    profile.set_value(u"Oracle settings", u"user", u"scott");
    profile.set_value(u"Oracle settings", u"password", u"ti ger=1");
    profile.set_value(u"Oracle settings", u"password", u"second value loses");
    profile.set_value(u"Generic settings", u"src", u"/data/Kunden Ü");
    profile.set_value(u"Generic settings", u"logfile", u"");
    profile.add_line(u"Type Mappings", u"database:");
    profile.add_line(u"Type Mappings", u"  - name: Kunden");
    const std::string path = folder.file("first.brixel");
    ASSERT_TRUE(profile.store(wide(path)));
    EXPECT_EQ(tk_test_folder::read(path),
              "[Available Queries]\r\n\r\n"
              "[Generic settings]\r\nlogfile=\r\nsrc=/data/Kunden \xC3\x9C\r\n\r\n"
              "[Oracle settings]\r\npassword=ti ger=1\r\nuser=scott\r\n\r\n"
              "[Selected Tables]\r\nA\r\nb\r\nbig=SELECT 1\r\n\r\n"
              "[Type Mappings]\r\ndatabase:\r\n  - name: Kunden\r\n");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Loaded and saved again the way the converter does (key sections copied, the list section
    // from its lines): the same bytes but for the list line's indentation, which loading trims.
    udb_profile loaded;
    ASSERT_TRUE(loaded.load(wide(path)));
    udb_profile copy;
    for (const auto& [name, keys] : loaded.sections()) {
        for (const auto& [key, value] : keys) {
            if (name != u"Type Mappings") {
                copy.set_value(name, key, value);
            }
        }
    }
    for (const auto& line : loaded.get_lines(u"Type Mappings")) {
        copy.add_line(u"Type Mappings", line);
    }
    ASSERT_TRUE(copy.store(wide(path)));
    std::string expected = tk_test_folder::read(path);
    EXPECT_NE(expected.find("[Type Mappings]\r\ndatabase:\r\n- name: Kunden\r\n"),
              std::string::npos);
    ASSERT_TRUE(copy.store(wide(folder.file("second.brixel"))));
    EXPECT_EQ(tk_test_folder::read(folder.file("second.brixel")), expected);
}

TEST(udb_profile, hand_written_spacing_repeats_and_line_ends) {
    tk_test_folder folder;
    bool b_loaded = false;
    const udb_profile profile = load_text(folder,
                                          "\xEF\xBB\xBF   [Oracle settings]   \n"
                                          "  host =   db one  \r"
                                          "host=db two\r\n"
                                          "   \n"
                                          "user=a=b\n"
                                          "[Selected Tables]\n"
                                          "  Kunden  \n"
                                          "q1 = select 1\n"
                                          "[Generic settings]\n"
                                          "src=\t/x\t",
                                          b_loaded);
    ASSERT_TRUE(b_loaded);
    // The key loses its blanks, the value keeps its leading ones, the line its trailing ones;
    // a repeated key keeps its first value; the value may hold "="; tabs are no blanks.
    EXPECT_EQ(profile.get_value(u"Oracle settings", u"host"), u"   db one");
    EXPECT_EQ(profile.get_value(u"Oracle settings", u"user"), u"a=b");
    EXPECT_EQ(profile.get_value(u"Generic settings", u"src"), u"\t/x\t");
    // A bare name is a list line and a key with an empty value; "name=text" a query.
    EXPECT_EQ(profile.get_lines(u"Selected Tables"), std::vector<std::u16string>{u"Kunden"});
    EXPECT_EQ(profile.get_section(u"Selected Tables").count(u"Kunden"), 1u);
    EXPECT_EQ(profile.get_value(u"Selected Tables", u"q1"), u" select 1");
    EXPECT_EQ(profile.sections().count(u"Available Queries"), 1u);
}

TEST(udb_profile, file_larger_than_the_read_buffer_with_mixed_line_ends) {
    // Some 150 KB: lines cross the reader's buffer boundary and must arrive whole.
    tk_test_folder folder;
    std::string text = "[G]";
    const char* const ends[] = {"\r\n", "\n", "\r"};
    for (int i = 0; i < 3000; ++i) {
        text += ends[i % 3] + ("k" + std::to_string(i) + "=" + std::string(i % 97, 'v'));
    }
    bool b_loaded = false;
    const udb_profile profile = load_text(folder, text, b_loaded);
    ASSERT_TRUE(b_loaded);
    EXPECT_EQ(profile.get_section(u"G").size(), 3000u);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(profile.get_value(u"G", wide("k" + std::to_string(i))),
                  std::u16string(i % 97, u'v'))
            << i;
    }
}

TEST(udb_profile, lines_before_any_section_end_the_reading_with_false) {
    tk_test_folder folder;
    bool b_loaded = true;
    const udb_profile keyed =
        load_text(folder, "src=/x\r\n[Generic settings]\r\ndest=XE\r\n", b_loaded);
    EXPECT_FALSE(b_loaded);
    EXPECT_EQ(keyed.get_value(u"Generic settings", u"dest"), u"");
    load_text(folder, "\r\n  \r\nKunden\r\n[Selected Tables]\r\n", b_loaded);
    EXPECT_FALSE(b_loaded);
}

TEST(udb_profile, missing_or_unreadable_profile_is_fatal_with_its_message) {
    tk_test_folder folder;
    for (const std::string& path : {folder.file("nothing.brixel"), folder.path().string()}) {
        try {
            udb_profile().load(wide(path));
            FAIL() << path;
        } catch (const tk_exception& e) {
            EXPECT_STREQ(e.what(),
                         "Profile does not exist. Please verify the correct path/name was given.");
            EXPECT_EQ(e.level, 1);
        }
    }
}

TEST(udb_profile, line_over_4095_bytes_is_an_internal_error) {
    tk_test_folder folder;
    const std::string longest = "src=" + std::string(4089, 'x') + "\xC3\x9C";  // 4095 bytes
    bool b_loaded = false;
    EXPECT_EQ(
        load_text(folder, "[G]\r\n" + longest + "\r\n", b_loaded).get_value(u"G", u"src").size(),
        4090u);
    EXPECT_EQ(failure_of<tk_mail_assertion>(folder, "[G]\r\n" + longest + "y\r\nk=v\r\n")
                  .rfind("Internal error: \ncode=", 0),
              0u);
    EXPECT_NE(failure_of<tk_mail_assertion>(folder, "[G]\r\n" + longest + "y"), "no exception");
}

TEST(udb_profile, invalid_utf8_raises_the_conversion_error) {
    tk_test_folder folder;
    // Windows-1252 text, an overlong "/", an encoded surrogate, a sequence cut off.
    for (const char* bad : {"src=M\xDCnchen", "src=\xC0\xAF", "src=\xED\xA0\x80", "src=\xE2\x82"}) {
        EXPECT_EQ(failure_of<tk_exception>(folder, std::string("[G]\r\n") + bad + "\r\n")
                      .rfind("Cannot convert to UNICODE string: ", 0),
                  0u)
            << bad;
    }
}

TEST(udb_profile, texts_that_would_load_differently_are_not_written) {
    tk_test_folder folder;
    const std::string path = folder.file("refused.brixel");
    tk_test_folder::write(path, "previous");
    const std::vector<std::pair<std::u16string, std::u16string>> keys = {
        {u"password", u"secret "},              // trailing blank
        {u"src", u"/a\r\n[Oracle settings]"},   // line break
        {u"a=b", u"c"},                         // key cut at the first "="
        {u"long", std::u16string(4092, u'q')},  // 4096-byte line
    };
    for (const auto& [key, value] : keys) {
        udb_profile profile;
        profile.set_value(u"Generic settings", key, value);
        EXPECT_FALSE(profile.store(wide(path))) << tk_w2a(key);
    }
    for (const char16_t* line : {u"default_value: a=b", u"   ", u"[x]"}) {
        udb_profile profile;
        profile.add_line(u"Type Mappings", line);
        EXPECT_FALSE(profile.store(wide(path))) << tk_w2a(line);
    }
    udb_profile broken;
    broken.set_value(u"Generic settings", u"src", std::u16string(1, char16_t(0xD800)));
    EXPECT_THROW(broken.store(wide(path)), tk_exception);
    EXPECT_EQ(tk_test_folder::read(path), "previous");
    EXPECT_FALSE(udb_profile().store(wide(folder.file("missing/sub.brixel"))));
}
