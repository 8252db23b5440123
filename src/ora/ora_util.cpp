#include "ora/ora_util.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "ora/ora_oci.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_date.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_field.hpp"

namespace {

// Log lines take null-terminated wide text.
std::u16string wide(std::u16string_view text) {
    return std::u16string(text);
}

void append_ascii(std::string_view text, std::u16string& out) {
    for (const char c : text) {
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
}

std::u16string ascii_to_wide(std::string_view text) {
    std::u16string out;
    append_ascii(text, out);
    return out;
}

void append_number(long value, std::u16string& out) {
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    append_ascii(std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)), out);
}

// Every single quote doubled, as SQL string literals need.
void append_doubled(std::u16string_view text, std::u16string& out) {
    size_t start = 0;
    for (size_t quote = text.find(u'\''); quote != std::u16string_view::npos;
         quote = text.find(u'\'', quote + 1)) {
        out.append(text.substr(start, quote + 1 - start));
        out += u'\'';
        start = quote + 1;
    }
    out.append(text.substr(start));
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool is_hex_digit(char16_t c) {
    return is_digit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A date, a time or both, as a to_date call; nothing when the text is no valid date.
void append_date_literal(std::u16string_view text, std::u16string& out) {
    ole_date date(text);
    if (!date.is_valid()) {
        return;
    }
    switch (date.kind) {
        case ole_date::kind_time: {
            std::string printed = date.to_string(true);
            const size_t null_date = printed.find("0000-00-00 ");
            if (null_date != std::string::npos) {
                TK_LOG(2, "Null date has been found");
                printed.erase(null_date, 11);
            }
            out += u"to_date('";
            append_ascii(printed, out);
            out += u"', 'HH24-MI-SS')";
            return;
        }
        case ole_date::kind_date:
            out += u"to_date('";
            append_ascii(date.to_string(true), out);
            out += u"', 'YYYY-MM-DD')";
            return;
        case ole_date::kind_date_time:
            out += u"to_date('";
            append_ascii(date.to_string(false), out);
            out += u"', 'YYYY-MM-DD HH24:MI:SS')";
            return;
        default:
            return;
    }
}

// A binary value written as 0x followed by hexadecimal digits becomes the quoted digits, which
// Oracle converts to RAW; anything else becomes ''.
void append_binary_literal(std::u16string_view text, std::u16string& out) {
    TK_TRACE("GOT BLOB");
    bool b_valid = text.size() >= 2 && is_digit(text[0]);
    if (b_valid) {
        if (text[1] == u'x' || text[1] == u'X') {
            b_valid = text[0] == u'0';
            for (size_t i = 2; b_valid && i < text.size(); ++i) {
                b_valid = is_hex_digit(text[i]);
            }
        } else {
            for (size_t i = 1; b_valid && i < text.size(); ++i) {
                b_valid = is_digit(text[i]);
            }
        }
    }
    if (!b_valid) {
        out += u"''";
        return;
    }
    TK_TRACE("BLOB IS VALID");
    out += u'\'';
    out.append(text.substr(2));
    out += u'\'';
}

// The 32 digits of a GUID in the byte order of its memory image: the first three groups are
// little-endian.
void append_guid_literal(const std::u16string& guid, std::u16string& out) {
    TK_ASSERT(guid.size() == 32, "ora_util.cpp");
    static constexpr int order[16] = {6, 4, 2, 0, 10, 8, 14, 12, 16, 18, 20, 22, 24, 26, 28, 30};
    const size_t start = out.size();
    out += u"HEXTORAW('";
    for (const int pair : order) {
        out += guid[static_cast<size_t>(pair)];
        out += guid[static_cast<size_t>(pair) + 1];
    }
    out += u"')";
    TK_LOGW(1, u"ora_guid=%s", out.substr(start).c_str());
}

bool is_binary_vartype(VARTYPE vartype) {
    return vartype == VT_BLOB || vartype == VT_BLOB_OBJECT || vartype == VT_BYTE_ARRAY;
}

// The value a text reads as when read as a double: leading blanks and a sign, then decimal
// digits with a point and an exponent; no number reads as 0.
double read_double(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool b_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        b_negative = text[i] == '-';
        ++i;
    }
    // Only decimal forms count as numbers (no "inf", "nan" or hexadecimal).
    if (i >= text.size() || !(is_digit(static_cast<char16_t>(text[i])) || text[i] == '.')) {
        return 0.0;
    }
    double value = 0.0;
    const char* first = text.data() + i;
    const auto r =
        std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large a magnitude reads as infinity, too small as zero.
        bool b_large = false;
        for (const char* p = first; p < r.ptr && *p != 'e' && *p != 'E'; ++p) {
            b_large = b_large || (*p >= '1' && *p <= '9');
        }
        const char* e = first;
        while (e < r.ptr && *e != 'e' && *e != 'E') {
            ++e;
        }
        b_large = b_large && !(e + 1 < r.ptr && e[1] == '-');
        value = b_large ? HUGE_VAL : 0.0;
    } else if (r.ec != std::errc()) {
        value = 0.0;
    }
    return b_negative ? -value : value;
}

std::string hex_of(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out += digits[u >> 4];
        out += digits[u & 15];
    }
    return out;
}

constexpr double number_limit = 1e126;

// A date and time as to_date, or with its milliseconds as TO_TIMESTAMP.
void append_exact_date_literal(const t_systemtime& t, std::u16string& out) {
    char buffer[64];
    if (t.milliseconds != 0) {
        std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.year, t.month,
                      t.day, t.hour, t.minute, t.second, t.milliseconds);
        out += u"TO_TIMESTAMP('";
        append_ascii(buffer, out);
        out += u"', 'YYYY-MM-DD HH24:MI:SS.FF3')";
        return;
    }
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    out += u"to_date('";
    append_ascii(buffer, out);
    out += u"', 'YYYY-MM-DD HH24:MI:SS')";
}

// A date of the proleptic Gregorian calendar between the years 1 and 9999, with a time of day.
bool is_calendar_date(const t_systemtime& t) {
    static constexpr uint8_t month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > month_days[t.month - 1] || t.hour > 23 || t.minute > 59 || t.second > 59 ||
        t.milliseconds > 999) {
        return false;
    }
    const bool b_leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    return t.month != 2 || t.day <= 28 || b_leap;
}

// The digits-only integer reading of a default: the text only when it prints back the same.
bool is_canonical_int32(std::string_view text) {
    int32_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto r = std::from_chars(first, last, value);
    if (r.ec != std::errc()) {
        return false;
    }
    char buffer[16];
    const auto printed = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string_view(buffer, static_cast<size_t>(printed.ptr - buffer)) == text;
}

}  // namespace

bool is_number_text(std::u16string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        ++i;
    }
    size_t digits = 0;
    bool b_point = false;
    for (; i < text.size(); ++i) {
        if (is_digit(text[i])) {
            ++digits;
        } else if (text[i] == u'.' && !b_point) {
            b_point = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
            ++i;
        }
        const size_t exponent_start = i;
        while (i < text.size() && is_digit(text[i])) {
            ++i;
        }
        if (i == exponent_start) {
            return false;
        }
    }
    return i == text.size();
}

std::u16string get_ora_native_type(const t_ftd& ftd, bool b_bare) {
    TK_TRACE("get_ora_native_type [Oracle]");
    switch (ftd.vartype) {
        case VT_BOOL:
        case VT_I1:
            return b_bare ? u"NUMBER" : u"NUMBER(3,0)";
        case VT_I2:
        case VT_UI1:
            return b_bare ? u"NUMBER" : u"NUMBER(5,0)";
        case VT_I4:
        case VT_UI2:
        case VT_INT:
            return b_bare ? u"NUMBER" : u"NUMBER(11,0)";
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_UINT:
            return b_bare ? u"NUMBER" : u"NUMBER(19,0)";
        case VT_R4:
        case VT_R8:
        case VT_CY:
            return u"NUMBER";
        case VT_DECIMAL: {
            if (b_bare) {
                return u"NUMBER";
            }
            const long precision =
                ftd.reserved != 0 ? static_cast<long>((ftd.reserved >> 8) & 0xFF) : 0;
            const long scale = static_cast<long>(ftd.reserved & 0xFF);
            std::u16string type = u"NUMBER(";
            append_number(precision, type);
            type += u',';
            append_number(scale, type);
            type += u')';
            return type;
        }
        case VT_DATE:
            if (ftd.reserved == 3) {
                // Date-times with milliseconds (exact values).
                return b_bare ? u"TIMESTAMP" : u"TIMESTAMP(3)";
            }
            return ftd.reserved == 1 ? u"TIMESTAMP" : u"DATE";
        case VT_BSTR: {
            TK_TRACE("process as text");
            if (ftd.size >= 1 && ftd.size <= ora_max_inline_length) {
                if (b_bare) {
                    return u"NVARCHAR2";
                }
                std::u16string type = u"NVARCHAR2(";
                append_number(static_cast<long>(ftd.size), type);
                type += u") ";
                return type;
            }
            return ftd.reserved == 10 ? u"LONG" : u"CLOB";
        }
        case VT_BLOB: {
            TK_TRACE("process as binary");
            if (ftd.size >= 1 && ftd.size <= ora_max_inline_length) {
                if (b_bare) {
                    return u"RAW";
                }
                std::u16string type = u"RAW(";
                append_number(static_cast<long>(ftd.size), type);
                type += u')';
                return type;
            }
            return u"BLOB";
        }
        default:
            TK_FAIL("ora_util.cpp");
    }
}

VARTYPE get_refined_num_type(int& precision, int scale) {
    TK_TRACE("get_refined_num_type(prec=%d,scale=%d)", precision, scale);
    if (precision == 0 || precision > 38) {
        return VT_R8;
    }
    if (scale != 0) {
        if (precision == scale) {
            ++precision;
        }
        return VT_DECIMAL;
    }
    TK_TRACE("Refine type mapping for int (prec=%d)", precision);
    if (precision <= 2) {
        return VT_I1;
    }
    if (precision <= 4) {
        return VT_I2;
    }
    if (precision <= 9) {
        return VT_I4;
    }
    if (precision <= 20) {
        return VT_I8;
    }
    return VT_R8;
}

VARTYPE sqlt_to_vartype(uint32_t code) {
    switch (code) {
        case SQLT_NUM:
        case SQLT_FLT:
        case SQLT_VNU:
        case SQLT_PDN:
            return VT_R8;
        case SQLT_INT:
            return VT_I4;
        case SQLT_DAT:
        case SQLT_DATE:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case 231:
        case SQLT_TIMESTAMP_LTZ:
            return VT_DATE;
        case SQLT_BIN:
        case SQLT_LBI:
        case SQLT_BLOB:
        case SQLT_BFILEE:
            return VT_BLOB;
        default:
            return VT_BSTR;
    }
}

std::u16string format_ora_type_name(std::u16string_view name, uint32_t size, int precision,
                                    int scale) {
    std::u16string type(name);
    const bool b_sized = name.find(u"CHAR") != std::u16string_view::npos ||
                         name.find(u"RAW") != std::u16string_view::npos ||
                         name.find(u"BYTE") != std::u16string_view::npos;
    if (b_sized && size <= ora_max_inline_length) {
        type += u'(';
        append_number(static_cast<long>(size), type);
        type += u')';
    } else if (name.find(u"NUMBER") != std::u16string_view::npos) {
        type += u'(';
        append_number(precision, type);
        type += u',';
        append_number(scale, type);
        type += u')';
    }
    return type;
}

void append_oracle_str(std::u16string_view text, VARTYPE vartype, std::u16string& out) {
    TK_TRACEW(u"to_oracle_str(%s,%d)", wide(text).c_str(), static_cast<int>(vartype));
    if (text.empty()) {
        out += u"''";  // Oracle reads the empty string as NULL
        return;
    }
    if (vartype == VT_DATE) {
        append_date_literal(text, out);
        return;
    }
    if (is_binary_vartype(vartype)) {
        append_binary_literal(text, out);
        return;
    }
    if (vartype == VT_BSTR) {
        out += u'\'';
        append_doubled(text, out);
        out += u'\'';
        return;
    }
    append_doubled(text, out);
}

std::u16string to_oracle_str(std::u16string_view text, VARTYPE vartype) {
    std::u16string out;
    append_oracle_str(text, vartype, out);
    return out;
}

void append_oracle_str(const udb_field* field, std::u16string& out) {
    TK_TRACE("to_oracle_str( const udb_field *  )");
    TK_ASSERT(field != nullptr, "ora_util.cpp");
    const VARTYPE vartype = field->get_type();
    // Text is used where it lies; other values render as ASCII into a per-thread buffer.
    thread_local std::u16string rendered;
    std::u16string_view text;
    if (vartype == VT_BSTR) {
        text = field->wstring();
    } else {
        const std::string narrow = field->to_string();
        rendered.clear();
        append_ascii(narrow, rendered);
        text = rendered;
    }
    // Fewer than 32 characters cannot name a GUID.
    if ((vartype == VT_BSTR || is_binary_vartype(vartype)) && text.size() >= 32) {
        const ole_guid_extractor extractor(text);
        const std::u16string guid = extractor.get_guid();
        if (!guid.empty()) {
            TK_TRACE("FIELD IS A GUID!");
            append_guid_literal(guid, out);
            return;
        }
    }
    append_oracle_str(text, vartype, out);
}

void append_oracle_str_exact(const udb_field* field, VARTYPE column_vartype, std::u16string& out) {
    TK_ASSERT(field != nullptr, "ora_util.cpp");
    const VARTYPE vartype = field->get_type();
    const bool b_number_column = column_vartype != VT_BSTR && column_vartype != VT_DATE &&
                                 !is_binary_vartype(column_vartype);
    if (vartype == VT_BSTR) {
        const std::u16string& text = field->wstring();
        if (b_number_column) {
            if (!is_number_text(text)) {
                throw tk_exception("Field " + tk_w2a(field->name) + ": the text '" + tk_w2a(text) +
                                       "' is not a number",
                                   0);
            }
            out.append(text);
            return;
        }
        if (is_binary_vartype(column_vartype)) {
            // Text into a binary column: its UTF-8 bytes.
            append_binary_literal(u"0x" + ascii_to_wide(hex_of(tk_w2a(text))), out);
            return;
        }
        out += u'\'';
        append_doubled(text, out);
        out += u'\'';
        return;
    }
    if (vartype == VT_DATE && column_vartype != VT_BSTR) {
        append_exact_date_literal(field->date(), out);
        return;
    }
    if (vartype == VT_R4 || vartype == VT_R8) {
        const double value = field->to_double();
        if (!(value > -number_limit && value < number_limit)) {
            throw tk_exception("Field " + tk_w2a(field->name) + ": the number " +
                                   field->to_string() + " is beyond the range of an Oracle NUMBER",
                               0);
        }
        char buffer[32];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
        append_ascii(std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)), out);
        return;
    }
    const std::string narrow = field->to_string();
    thread_local std::u16string rendered;
    rendered.clear();
    append_ascii(narrow, rendered);
    append_oracle_str(rendered, vartype, out);
}

bool exact_column_value(const udb_field& field, VARTYPE column_vartype, std::u16string& scratch,
                        ora_column_value& out) {
    out.text = {};
    const VARTYPE kind = field.vt();
    if (kind == VT_NULL || kind == VT_EMPTY) {
        out.shape = ora_shape::null;
        return true;
    }
    const bool b_number_column = column_vartype != VT_BSTR && column_vartype != VT_DATE &&
                                 !is_binary_vartype(column_vartype);
    switch (kind) {
        case VT_BSTR:
            if (column_vartype == VT_BSTR) {
                out.shape = field.wstring().empty() ? ora_shape::null : ora_shape::national;
                out.text = field.wstring();
                return true;
            }
            if (b_number_column && is_number_text(field.wstring())) {
                out.shape = ora_shape::number;
                out.text = field.wstring();
                return true;
            }
            return false;
        case VT_DATE:
            if (column_vartype != VT_DATE || !is_calendar_date(field.date())) {
                return false;
            }
            out.shape = field.date().milliseconds != 0 ? ora_shape::timestamp : ora_shape::datetime;
            out.date = field.date();
            return true;
        case VT_R4:
        case VT_R8: {
            const double value = field.to_double();
            if (!b_number_column || !(value > -number_limit && value < number_limit)) {
                return false;
            }
            char buffer[32];
            const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
            scratch.clear();
            append_ascii(std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)), scratch);
            break;
        }
        default: {
            if (!b_number_column || is_binary_vartype(kind)) {
                return false;
            }
            scratch.clear();
            append_ascii(field.to_string(), scratch);
            if (!is_number_text(scratch)) {
                return false;
            }
        }
    }
    out.shape = ora_shape::number;
    out.text = scratch;
    return true;
}

void append_oracle_literal(const ora_column_value& value, std::u16string& out) {
    switch (value.shape) {
        case ora_shape::null:
            out += u"NULL";
            return;
        case ora_shape::national:
            out += u"N'";
            append_doubled(value.text, out);
            out += u'\'';
            return;
        case ora_shape::datetime:
        case ora_shape::timestamp:
            append_exact_date_literal(value.date, out);
            return;
        case ora_shape::empty_clob:
            out += u"EMPTY_CLOB()";
            return;
        case ora_shape::empty_blob:
            out += u"EMPTY_BLOB()";
            return;
        default:
            out += value.text;
    }
}

std::u16string to_oracle_str(const udb_field* field) {
    std::u16string out;
    append_oracle_str(field, out);
    return out;
}

std::u16string make_ora_def_val(const t_ftd* ftd) {
    TK_ASSERT(ftd != nullptr, "ora_util.cpp");
    std::u16string text = ftd->default_value.to_wstring();
    TK_TRACEW(u"make_ora_def_val(%s)", text.c_str());
    if (text.empty()) {
        TK_TRACE("Got empty def value");
        return std::u16string();
    }
    switch (ftd->vartype) {
        case VT_BSTR: {
            TK_TRACEW(u"Got BSTR or DATE def value: %s", text.c_str());
            // A declared size of 0 means no limit.
            if (ftd->size != 0 && text.size() > ftd->size) {
                size_t keep = ftd->size;
                // Never leave half of a surrogate pair behind.
                if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) {
                    --keep;
                }
                text.resize(keep);
            }
            return to_oracle_str(text, VT_BSTR);
        }
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
        case VT_BOOL: {
            const std::string narrow = tk_w2a(text);
            return is_canonical_int32(narrow) ? text : std::u16string();
        }
        case VT_DECIMAL:
        case VT_R4:
        case VT_R8:
        case VT_CY: {
            const std::string narrow = tk_w2a(text);
            const double value = read_double(narrow);
            if (value < -1e126 || value > 1e126) {
                TK_TRACE("def value is out of range");
                return u"0";
            }
            if (value != 0.0) {
                return text;
            }
            if (text.find_first_not_of(u"0eE-+.,") == std::u16string::npos) {
                return text;
            }
            return std::u16string();
        }
        case VT_DATE: {
            TK_TRACE("Got DATE def value");
            ole_date date(text);
            const std::string printed = date.to_string(false);
            TK_TRACE("After canonization: %s", printed.c_str());
            if (printed.empty()) {
                return std::u16string();
            }
            return to_oracle_str(ascii_to_wide(printed), VT_DATE);
        }
        default:
            return std::u16string();
    }
}

const std::map<std::u16string, uint32_t>& ora_native_types() {
    static const std::map<std::u16string, uint32_t> types = {
        {u"VARCHAR", SQLT_VCS},   {u"VARCHAR2", SQLT_VCS},     {u"NVARCHAR2", SQLT_VCS},
        {u"NUMBER", SQLT_NUM},    {u"FLOAT", SQLT_NUM},        {u"LONG", 3},
        {u"DATE", SQLT_DATE},     {u"BINARY_FLOAT", SQLT_NUM}, {u"BINARY_DOUBLE", SQLT_NUM},
        {u"TIMESTAMP", 185},      {u"TIMESTAMP(6)", 185},      {u"RAW", SQLT_BIN},
        {u"LONG RAW", SQLT_BLOB}, {u"ROWID", SQLT_BIN},        {u"UROWID", SQLT_BIN},
        {u"CHAR", SQLT_CHR},      {u"BYTE", SQLT_BIN},         {u"NCHAR", SQLT_VCS},
        {u"CLOB", SQLT_CLOB},     {u"NCLOB", SQLT_CLOB},       {u"BLOB", SQLT_BLOB},
        {u"BFILE", SQLT_BLOB},
    };
    return types;
}
