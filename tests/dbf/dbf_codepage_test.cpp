// Code pages of DBF text: the language driver ids, our own tables for the two DOS code pages the
// conversion library lacks, where exact values take the code page from, and the DOS pages read
// with Microsoft's byte tables.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dbf/dbf_codepage.hpp"
#include "tk/tk_wstring.hpp"

TEST(codepages, names_follow_the_id_table_in_ascending_order_and_unknown_ids_give_ansi) {
    const auto& names = codepage_names();
    ASSERT_EQ(names.size(), codepage_table().size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(codepage_table().count(names[i].first), 1u);
        if (i > 0) {
            EXPECT_LT(names[i - 1].first, names[i].first);
        }
    }
    // Every driver's code page decodes as itself, never silently as the ANSI code page.
    for (const auto& [id, codepage] : codepage_table()) {
        EXPECT_EQ(dbf_effective_codepage(codepage), codepage) << int{id};
    }
    EXPECT_EQ(dbf_codepage_of(0x1F), 0);
    EXPECT_EQ(dbf_codepage_of(0xFF), 0);
    EXPECT_EQ(dbf_effective_codepage(12345), 0);  // not decodable: the ANSI code page
    EXPECT_EQ(dbf_effective_codepage(895), 895);
}

TEST(codepages, kamenicky_and_mazovia_decode_their_letters) {
    std::u16string text = u"previous longer content";
    dbf_decode_text("P\xA9\xA1li\xA8 \x91lu\x9Fou\x87k\x98 k\x96\xA4", 895, text);
    EXPECT_EQ(text, u"Příliš žluťoučký kůň");
    dbf_decode_text(
        "\x80\x85\x86\x89\x8A\x8E\x8F\x90\x92\x95\x97\x99\x9A\x9B\x9C\x9D\x9E\xA5\xA6\xA7\xAB", 895,
        text);
    EXPECT_EQ(text, u"ČĎŤĚĹÄÁÉŽÓÚÖÜŠĽÝŘŇŮÔŔ");
    dbf_decode_text("Za\xA7\xA2\x92\x8D g\x91\x9El\x86 ja\xA6\xA4", 620, text);
    EXPECT_EQ(text, u"Zażółć gęślą jaźń");
    dbf_decode_text("\x8F\x95\x90\x9C\xA5\xA3\x98\xA0\xA1", 620, text);
    EXPECT_EQ(text, u"ĄĆĘŁŃÓŚŹŻ");
}

TEST(codepages, own_tables_keep_ascii_and_the_box_drawing_of_code_page_437) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::u16string cp437 = tk_ansi_to_ucs2(all, 437);
    ASSERT_EQ(cp437.size(), 256u);
    for (int cp : {895, 620}) {
        std::u16string ours;
        dbf_decode_text(all, cp, ours);
        ASSERT_EQ(ours.size(), 256u);
        for (int b = 0x20; b < 0x80; ++b) {
            EXPECT_EQ(ours[b], static_cast<char16_t>(b)) << cp << " byte " << b;
        }
        for (int b = 0xB0; b < 0x100; ++b) {
            // 0xE6 is the micro sign as the Windows tables of these code pages have it (the
            // library's 437 gives the Greek letter mu there).
            EXPECT_EQ(ours[b], b == 0xE6 ? u'\u00B5' : cp437[b]) << cp << " byte " << b;
        }
    }
}

TEST(codepages, exact_sources_of_the_code_page_in_their_order) {
    struct named {
        const char* text;
        int codepage;
    };
    for (const named& c : {named{"1251", 1251}, named{"CP1252\r\n", 1252}, named{"ANSI 1250", 1250},
                           named{"88595", 28595}, named{"ISO-8859-1", 28591}, named{"utf-8", 65001},
                           named{"OEM", 0}, named{"12", 0}}) {
        EXPECT_EQ(dbf_codepage_of_cpg(c.text), c.codepage) << c.text;
    }
    for (const named& c : {named{"DB866RU0", 866}, named{"db852hdc", 852}, named{"DBWINUS0", 1252},
                           named{"db437gr0", 737}, named{"DB867CZ0", 895}, named{"FOXCZWIN", 1250},
                           named{"FOXDE437", 437}, named{"", 0}, named{"XYZ", 0}}) {
        EXPECT_EQ(dbf_codepage_of_driver_name(c.text), c.codepage) << c.text;
    }
    EXPECT_EQ(dbf_codepage_of_id_exact(0x57), 0);  // the system's ANSI code page
    EXPECT_EQ(dbf_codepage_of_id_exact(0x4D), 936);

    // The user's choice, then a .cpg file, then the driver name, then the byte.
    const auto folder = std::filesystem::temp_directory_path() / "brixel_cpg_test";
    std::filesystem::create_directories(folder);
    const std::string table = (folder / "t.dbf").string();
    const auto choose = [&](unsigned char user, const char* name, unsigned char id) {
        return dbf_resolve_codepage(user, table, name, id).codepage & ~dbf_microsoft_dos;
    };
    EXPECT_EQ(choose(0, "DB866RU0", 0xC8), 866);
    EXPECT_EQ(choose(0, "", 0xC8), 1250);
    std::ofstream(folder / "T.CPG") << "1253";
    EXPECT_EQ(choose(0, "DB866RU0", 0xC8), 1253);
    EXPECT_EQ(dbf_resolve_codepage(0, table, "", 0).why, ".cpg file '1253'");
    EXPECT_EQ(choose(0x65, "DB866RU0", 0xC8), 866);
    std::filesystem::remove_all(folder);
}

TEST(codepages, dos_pages_decode_with_microsofts_tables) {
    std::u16string text;
    dbf_decode_text("\x1A\x1C\x7F\xE6", 437 | dbf_microsoft_dos, text);
    EXPECT_EQ(text, u"\u001A\u001C\u007F\u00B5");
    dbf_decode_text("\xAA\x1A", 852 | dbf_microsoft_dos, text);
    EXPECT_EQ(text, u"\u00AC\u001A");
    dbf_decode_text("\x80\xE6", 866 | dbf_microsoft_dos, text);
    EXPECT_EQ(text, u"\u0410\u0446");
}
