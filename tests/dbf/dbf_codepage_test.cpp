// Language driver ids to code pages, the names the encoding page lists, and our own tables for
// the two DOS code pages the conversion library lacks.

#include <gtest/gtest.h>

#include <string>

#include "dbf/dbf_codepage.hpp"
#include "tk/tk_wstring.hpp"

TEST(codepage_table, maps_every_known_language_driver_id) {
    const std::pair<unsigned char, int> expected[] = {
        {0x00, 0},     {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x26, 866},
        {0x57, 1251},  {0x64, 852},  {0x65, 866},  {0x66, 865},  {0x67, 861},   {0x68, 895},
        {0x69, 620},   {0x6A, 737},  {0x6B, 857},  {0x7E, 1256}, {0x96, 10007}, {0x97, 10029},
        {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253},
    };
    EXPECT_EQ(codepage_table().size(), std::size(expected));
    for (const auto& [id, cp] : expected) {
        EXPECT_EQ(dbf_codepage_of(id), cp) << "id " << int(id);
    }
}

TEST(codepage_table, unknown_ids_give_the_ansi_code_page) {
    EXPECT_EQ(dbf_codepage_of(0x1F), 0);
    EXPECT_EQ(dbf_codepage_of(0xFF), 0);
    EXPECT_EQ(dbf_codepage_of(0x05), 0);
}

TEST(codepage_names, lists_every_id_once_in_ascending_order) {
    const auto& names = codepage_names();
    ASSERT_EQ(names.size(), codepage_table().size());
    for (size_t i = 1; i < names.size(); ++i) {
        EXPECT_LT(names[i - 1].first, names[i].first);
    }
    for (const auto& [id, name] : names) {
        EXPECT_EQ(codepage_table().count(id), 1u) << int(id);
        EXPECT_FALSE(name.empty());
    }
    EXPECT_EQ(names.front().second, u"Default");
    EXPECT_EQ(names[11].first, 0x68);
    EXPECT_EQ(names[11].second, u"Kamenicky (Czech) MS-DOS");
    EXPECT_EQ(names[12].second, u"Mazovia (Polish) MS-DOS");
    EXPECT_EQ(names[13].second, u"Greek MS-DOS (437G)");
    EXPECT_EQ(names.back().second, u"Greek Windows");
}

TEST(own_codepages, kamenicky_decodes_czech_and_slovak_text) {
    // "Příliš žluťoučký kůň" as a Kamenicky DOS program stores it.
    std::u16string text;
    dbf_decode_text(std::string_view("P\xA9\xA1li\xA8 \x91lu\x9Fou\x87k\x98 k\x96\xA4"), 895, text);
    EXPECT_EQ(text, u"Příliš žluťoučký kůň");
    dbf_decode_text("\x80\x85\x86\x89\x8A\x8E\x8F\x90\x92\x95\x97\x99\x9A\x9B\x9D\x9E\xA5\xA6", 895,
                    text);
    EXPECT_EQ(text, u"ČĎŤĚĹÄÁÉŽÓÚÖÜŠÝŘŇŮ");
    dbf_decode_text("\x9C\xA7\xAB\xAD\xAE\xAF", 895, text);
    EXPECT_EQ(text, u"ĽÔŔ§«»");
}

TEST(own_codepages, mazovia_decodes_polish_text) {
    std::u16string text;
    dbf_decode_text("Za\xA7\xA2\x92\x8D g\x91\x9El\x86 ja\xA6\xA4", 620, text);
    EXPECT_EQ(text, u"Zażółć gęślą jaźń");
    dbf_decode_text("\x8F\x95\x90\x9C\xA5\xA3\x98\xA0\xA1", 620, text);
    EXPECT_EQ(text, u"ĄĆĘŁŃÓŚŹŻ");
    // Western letters that Mazovia kept where code page 437 has them.
    dbf_decode_text("\x80\x81\x82\x84\x8E\x99\x9A", 620, text);
    EXPECT_EQ(text, u"ÇüéäÄÖÜ");
}

TEST(own_codepages, ascii_and_box_drawing_are_those_of_code_page_437) {
    ASSERT_TRUE(tk_codepage_supported(437));
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
            if (b == 0xE6) {
                // The micro sign, as the Windows tables of these DOS code pages have it (the
                // conversion library's 437 gives the Greek letter mu there).
                EXPECT_EQ(ours[b], u'\u00B5');
                continue;
            }
            EXPECT_EQ(ours[b], cp437[b]) << cp << " byte " << b;
        }
    }
}

TEST(own_codepages, output_buffer_is_replaced_not_appended) {
    std::u16string text = u"previous content that is longer";
    dbf_decode_text("ab", 895, text);
    EXPECT_EQ(text, u"ab");
    dbf_decode_text("", 620, text);
    EXPECT_EQ(text, u"");
}

TEST(effective_codepage, keeps_what_can_be_decoded_and_falls_back_to_ansi) {
    EXPECT_EQ(dbf_effective_codepage(0), 0);
    EXPECT_EQ(dbf_effective_codepage(895), 895);
    EXPECT_EQ(dbf_effective_codepage(620), 620);
    EXPECT_EQ(dbf_effective_codepage(866), 866);
    EXPECT_EQ(dbf_effective_codepage(1250), 1250);
    EXPECT_EQ(dbf_effective_codepage(12345), 0);
}
