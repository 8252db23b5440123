#include "dbf/dbf_codepage.hpp"

#include "tk/tk_wstring.hpp"

const std::map<unsigned char, int>& codepage_table() {
    static const std::map<unsigned char, int> table = {
        {0x00, 0},     {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x26, 866},
        {0x57, 1251},  {0x64, 852},  {0x65, 866},  {0x66, 865},  {0x67, 861},   {0x68, 895},
        {0x69, 620},   {0x6A, 737},  {0x6B, 857},  {0x7E, 1256}, {0x96, 10007}, {0x97, 10029},
        {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253},
    };
    return table;
}

const std::vector<std::pair<unsigned char, std::u16string>>& codepage_names() {
    static const std::vector<std::pair<unsigned char, std::u16string>> names = {
        {0x00, u"Default"},
        {0x01, u"U.S. MS-DOS"},
        {0x02, u"International MS-DOS"},
        {0x03, u"Windows ANSI"},
        {0x04, u"Standard Macintosh"},
        {0x26, u"866 DOS Russian"},
        {0x57, u"1251 Windows ANSI"},
        {0x64, u"Eastern European MS-DOS"},
        {0x65, u"Russian MS-DOS"},
        {0x66, u"Nordic MS-DOS"},
        {0x67, u"Icelandic MS-DOS"},
        {0x68, u"Kamenicky (Czech) MS-DOS"},
        {0x69, u"Mazovia (Polish) MS-DOS"},
        {0x6A, u"Greek MS-DOS (437G)"},
        {0x6B, u"Turkish MS-DOS"},
        {0x7E, u"Arabic Windows"},
        {0x96, u"Russian Macintosh"},
        {0x97, u"Eastern European Macintosh"},
        {0x98, u"Greek Macintosh"},
        {0xC8, u"Eastern European Windows"},
        {0xC9, u"Russian Windows"},
        {0xCA, u"Turkish Windows"},
        {0xCB, u"Greek Windows"},
    };
    return names;
}

int dbf_codepage_of(unsigned char language_driver_id) {
    const auto& table = codepage_table();
    const auto it = table.find(language_driver_id);
    return it == table.end() ? 0 : it->second;
}

int dbf_effective_codepage(int codepage) {
    if (codepage == 0 || dbf_own_codepage_upper_half(codepage) != nullptr ||
        tk_codepage_supported(codepage)) {
        return codepage;
    }
    return 0;
}

void dbf_decode_text(std::string_view bytes, int codepage, std::u16string& out) {
    if (const char16_t* upper = dbf_own_codepage_upper_half(codepage); upper != nullptr) {
        out.resize(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            out[i] = b < 0x80 ? static_cast<char16_t>(b) : upper[b - 0x80];
        }
        return;
    }
    tk_ansi_to_ucs2(bytes, codepage, out);
}
