#include "dbf/dbf_codepage.hpp"

#include <cstdio>

#include "dbf/dbf_file.hpp"
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
    if ((codepage & dbf_microsoft_dos) != 0) {
        const int dos = codepage & ~dbf_microsoft_dos;
        tk_ansi_to_ucs2(bytes, dos, out);
        if (out.size() != bytes.size()) {
            return;  // not one character per byte: nothing to put right
        }
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            if (b < 0x80) {
                out[i] = static_cast<char16_t>(b);
            } else if (b == 0xE6 && (dos == 437 || dos == 861 || dos == 865)) {
                out[i] = u'\u00B5';
            } else if (b == 0xAA && dos == 852) {
                out[i] = u'\u00AC';
            }
        }
        return;
    }
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

namespace {

std::string ascii_upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// The decimal number at the start of a text; -1 when there is none.
int leading_number(std::string_view text) {
    int value = 0;
    size_t i = 0;
    while (i < text.size() && i < 6 && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    return i == 0 ? -1 : value;
}

// A DOS code page decodes with Microsoft's tables.
int with_dos_tables(int codepage) {
    switch (codepage) {
        case 437:
        case 737:
        case 850:
        case 852:
        case 857:
        case 861:
        case 865:
        case 866:
            return codepage | dbf_microsoft_dos;
        default:
            return codepage;
    }
}

std::string hex_id(unsigned char id) {
    static constexpr char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[id >> 4] + digits[id & 15];
}

}  // namespace

int dbf_codepage_of_cpg(std::string_view text) {
    const size_t end = text.find_first_of("\r\n");
    std::string upper = ascii_upper(text.substr(0, end));
    while (!upper.empty() && (upper.back() == ' ' || upper.back() == '\t')) {
        upper.pop_back();
    }
    while (!upper.empty() && (upper.front() == ' ' || upper.front() == '\t')) {
        upper.erase(0, 1);
    }
    std::string_view t = upper;
    if (t.rfind("UTF-8", 0) == 0 || t.rfind("UTF8", 0) == 0 || t == "65001") {
        return 65001;
    }
    for (const std::string_view prefix : {"ANSI ", "CP", "WINDOWS-", "IBM", "ISO-", "ISO"}) {
        if (t.rfind(prefix, 0) == 0 && t.size() > prefix.size()) {
            t.remove_prefix(prefix.size());
            break;
        }
    }
    if (t.rfind("8859", 0) == 0) {
        t.remove_prefix(4);
        if (!t.empty() && (t.front() == '-' || t.front() == '_')) {
            t.remove_prefix(1);
        }
        const int part = leading_number(t);
        return part >= 1 && part <= 15 ? 28590 + part : 0;
    }
    const int number = leading_number(t);
    if ((number >= 437 && number <= 950) || (number >= 1250 && number <= 1258)) {
        return number;
    }
    return 0;
}

int dbf_codepage_of_driver_name(std::string_view name) {
    const std::string n = ascii_upper(name.substr(0, name.find('\0')));
    if (n.empty()) {
        return 0;
    }
    if (n == "DB437GR0") {
        return 737;  // Greek, whatever its digits say
    }
    if (n == "DB867CZ0") {
        return 895;  // Kamenicky in the dBASE numbering
    }
    if (n.rfind("DBWIN", 0) == 0) {
        return 1252;
    }
    if (n.size() >= 5 && n.rfind("DB", 0) == 0) {
        const int number = leading_number(std::string_view(n).substr(2));
        return number >= 437 && number <= 950 ? number : 0;
    }
    if (n.size() == 8 && n.rfind("FOX", 0) == 0) {
        if (n.compare(5, 3, "WIN") == 0) {
            return n.compare(3, 2, "CZ") == 0 ? 1250 : 1252;
        }
        const int number = leading_number(std::string_view(n).substr(5));
        return number >= 437 && number <= 950 ? number : 0;
    }
    if (n == "BGDB868") {
        return 0;  // no converter for it
    }
    return 0;
}

int dbf_codepage_of_id_exact(unsigned char id) {
    static const std::map<unsigned char, int> table = {
        {0x01, 437},   {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x08, 865},  {0x09, 437},
        {0x0A, 850},   {0x0B, 437},   {0x0D, 437},   {0x0E, 850},   {0x0F, 437},  {0x10, 850},
        {0x11, 437},   {0x12, 850},   {0x13, 932},   {0x14, 850},   {0x15, 437},  {0x16, 850},
        {0x17, 865},   {0x18, 437},   {0x19, 437},   {0x1A, 850},   {0x1B, 437},  {0x1C, 863},
        {0x1D, 850},   {0x1F, 852},   {0x22, 852},   {0x23, 852},   {0x24, 860},  {0x25, 850},
        {0x26, 866},   {0x37, 850},   {0x40, 852},   {0x4D, 936},   {0x4E, 949},  {0x4F, 950},
        {0x50, 874},   {0x58, 1252},  {0x59, 1252},  {0x64, 852},   {0x65, 866},  {0x66, 865},
        {0x67, 861},   {0x68, 895},   {0x69, 620},   {0x6A, 737},   {0x6B, 857},  {0x78, 950},
        {0x79, 949},   {0x7A, 936},   {0x7B, 932},   {0x7C, 874},   {0x7D, 1255}, {0x7E, 1256},
        {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250},  {0xC9, 1251}, {0xCA, 1254},
        {0xCB, 1253},
    };
    const auto it = table.find(id);
    return it == table.end() ? 0 : it->second;
}

dbf_codepage_choice dbf_resolve_codepage(unsigned char user_language_driver_id,
                                         const std::string& table_path,
                                         std::string_view driver_name,
                                         unsigned char header_language_driver_id) {
    dbf_codepage_choice choice;
    const auto settle = [&](int codepage, std::string why) {
        choice.codepage = dbf_effective_codepage(codepage);
        if (choice.codepage != 0) {
            choice.codepage = with_dos_tables(choice.codepage);
        }
        choice.why = std::move(why);
        return choice;
    };
    if (user_language_driver_id != 0) {
        // The user picked an entry of the list this system shows: its code page, as listed.
        return settle(dbf_codepage_of(user_language_driver_id),
                      "user choice " + hex_id(user_language_driver_id));
    }
    if (const auto cpg = dbf_find_file(dbf_replace_extension(table_path, "cpg"))) {
        std::string line;
        if (FILE* f = std::fopen(cpg->c_str(), "rb")) {
            char buffer[64] = {};
            const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
            std::fclose(f);
            line.assign(buffer, n);
        }
        if (const int codepage = dbf_codepage_of_cpg(line); codepage != 0) {
            return settle(codepage,
                          ".cpg file '" + line.substr(0, line.find_first_of("\r\n")) + "'");
        }
    }
    if (const int codepage = dbf_codepage_of_driver_name(driver_name); codepage != 0) {
        return settle(codepage,
                      "driver name " + std::string(driver_name.substr(0, driver_name.find('\0'))));
    }
    return settle(dbf_codepage_of_id_exact(header_language_driver_id),
                  "language driver " + hex_id(header_language_driver_id));
}
