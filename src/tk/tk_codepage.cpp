#include "tk/tk_codepage.hpp"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct codepage_name {
    int codepage;
    const char* icu_name;
};

// Exact ICU table names, so no alias lookup is ambiguous.
constexpr codepage_name codepage_names[] = {
    {437, "ibm-437_P100-1995"},
    {737, "ibm-737_P100-1997"},
    {775, "ibm-775_P100-1996"},
    {850, "ibm-850_P100-1995"},
    {852, "ibm-852_P100-1995"},
    {855, "ibm-855_P100-1995"},
    {857, "ibm-857_P100-1995"},
    {858, "ibm-858_P100-1997"},
    {860, "ibm-860_P100-1995"},
    {861, "ibm-861_P100-1995"},
    {862, "ibm-862_P100-1995"},
    {863, "ibm-863_P100-1995"},
    {864, "ibm-864_X110-1999"},
    {865, "ibm-865_P100-1995"},
    {866, "ibm-866_P100-1995"},
    {869, "ibm-869_P100-1995"},
    {874, "windows-874-2000"},
    {932, "ibm-943_P15A-2003"},
    {936, "windows-936-2000"},
    {949, "windows-949-2000"},
    {950, "windows-950-2000"},
    {1250, "ibm-5346_P100-1998"},
    {1251, "ibm-5347_P100-1998"},
    {1252, "ibm-5348_P100-1997"},
    {1253, "ibm-5349_P100-1998"},
    {1254, "ibm-5350_P100-1998"},
    {1255, "ibm-9447_P100-2002"},
    {1256, "ibm-9448_X100-2005"},
    {1257, "ibm-9449_P100-2002"},
    {1258, "ibm-5354_P100-1998"},
    {10000, "macos-0_2-10.2"},
    {10006, "macos-6_2-10.4"},
    {10007, "macos-7_3-10.2"},
    {10029, "macos-29-10.2"},
    {10081, "macos-35-10.2"},
    {20127, "US-ASCII"},
    {20866, "ibm-878_P100-1996"},
    {21866, "ibm-1168_P100-2002"},
    {28591, "ISO-8859-1"},
    {28592, "ibm-912_P100-1995"},
    {28593, "ibm-913_P100-2000"},
    {28594, "ibm-914_P100-1995"},
    {28595, "ibm-915_P100-1995"},
    {28596, "ibm-1089_P100-1995"},
    {28597, "ibm-9005_X110-2007"},
    {28598, "ibm-5012_P100-1999"},
    {28599, "ibm-920_P100-1995"},
    {28605, "ibm-923_P100-1998"},
    {54936, "gb18030"},
    {65001, "UTF-8"},
};

struct language_codepage {
    const char* language;
    int codepage;
};

constexpr language_codepage language_codepages[] = {
    {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"sr", 1251}, {"mk", 1251},
    {"kk", 1251}, {"ky", 1251}, {"tt", 1251}, {"mn", 1251}, {"pl", 1250}, {"cs", 1250},
    {"sk", 1250}, {"hu", 1250}, {"sl", 1250}, {"hr", 1250}, {"ro", 1250}, {"sq", 1250},
    {"bs", 1250}, {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"uz", 1254}, {"he", 1255},
    {"iw", 1255}, {"yi", 1255}, {"ar", 1256}, {"fa", 1256}, {"ur", 1256}, {"et", 1257},
    {"lv", 1257}, {"lt", 1257}, {"vi", 1258}, {"th", 874},  {"ja", 932},  {"ko", 949},
};

// Per-thread converters, closed when the thread ends.
class converter_cache {
  public:
    converter_cache() = default;
    converter_cache(const converter_cache&) = delete;
    converter_cache& operator=(const converter_cache&) = delete;
    ~converter_cache() {
        for (entry& e : entries_) {
            if (e.converter != nullptr) {
                ucnv_close(e.converter);
            }
        }
    }

    UConverter* get(int codepage) {
        for (const entry& e : entries_) {
            if (e.codepage == codepage) {
                return e.converter;
            }
        }
        // A failed open is remembered as well, so an unsupported code page costs one lookup.
        UConverter* converter = open(codepage);
        entries_.push_back({codepage, converter});
        return converter;
    }

  private:
    struct entry {
        int codepage;
        UConverter* converter;
    };

    static UConverter* open(int codepage) {
        const char* name = tk_codepage_icu_name(codepage);
        if (name == nullptr) {
            return nullptr;
        }
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open(name, &status);
        if (U_FAILURE(status) || converter == nullptr) {
            return nullptr;
        }
        if (codepage != 65001) {
            ucnv_setFallback(converter, true);
            UErrorCode subst_status = U_ZERO_ERROR;
            ucnv_setSubstChars(converter, "?", 1, &subst_status);
        }
        return converter;
    }

    std::vector<entry> entries_;
};

}  // namespace

const char* tk_codepage_icu_name(int codepage) {
    for (const codepage_name& entry : codepage_names) {
        if (entry.codepage == codepage) {
            return entry.icu_name;
        }
    }
    return nullptr;
}

int tk_ansi_codepage_for_locale(std::string_view locale_name) {
    const size_t end = locale_name.find_first_of("_.@");
    const std::string_view language = locale_name.substr(0, end);
    if (language == "zh") {
        // Traditional Chinese regions use Big5, the others GBK.
        const std::string_view rest =
            end == std::string_view::npos ? std::string_view() : locale_name.substr(end);
        if (rest.starts_with("_TW") || rest.starts_with("_HK") || rest.starts_with("_MO")) {
            return 950;
        }
        return 936;
    }
    for (const language_codepage& entry : language_codepages) {
        if (language == entry.language) {
            return entry.codepage;
        }
    }
    return 1252;
}

int tk_ansi_codepage_from(const char* forced, const char* locale_name) {
    if (forced != nullptr) {
        char* end = nullptr;
        const long value = strtol(forced, &end, 10);
        if (end != forced && *end == 0 && value > 0 && value < 100000 &&
            tk_codepage_icu_name(static_cast<int>(value)) != nullptr) {
            return static_cast<int>(value);
        }
    }
    return locale_name != nullptr ? tk_ansi_codepage_for_locale(locale_name) : 1252;
}

int tk_default_ansi_codepage() {
    static const int codepage = [] {
        const char* locale_name = nullptr;
        for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = getenv(variable);
            if (value != nullptr && *value != 0) {
                locale_name = value;
                break;
            }
        }
        return tk_ansi_codepage_from(getenv("BRIXEL_ANSI_CODEPAGE"), locale_name);
    }();
    return codepage;
}

UConverter* tk_codepage_converter(int codepage) {
    thread_local converter_cache cache;
    if (codepage == 0) {
        codepage = tk_default_ansi_codepage();
    }
    return cache.get(codepage);
}
