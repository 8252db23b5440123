#include "ora/ora_validator.hpp"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_schema.hpp"

namespace {

// The code point at `i` (a surrogate pair counts as one character); `i` moves past it.
char32_t next_char(const std::u16string& text, size_t& i) {
    UChar32 c = 0;
    const size_t length = text.size();
    U16_NEXT(text.data(), i, length, c);
    return static_cast<char32_t>(c);
}

}  // namespace

ora_validator::ora_validator() : udb_validator(max_name_length) {
    TK_TRACE("ora_validator::ctor");
}

bool ora_validator::is_name_letter(char32_t c) noexcept {
    return u_isalpha(static_cast<UChar32>(c)) != 0;
}

bool ora_validator::is_name_char(char32_t c) noexcept {
    return is_name_letter(c) || u_isdigit(static_cast<UChar32>(c)) != 0 || c == U'_' || c == U'$' ||
           c == U'#';
}

bool ora_validator::is_acceptable(const std::u16string& name) const {
    TK_TRACEW(u"ora_validator::is_acceptable(%s)", name.c_str());
    // Lengths count UTF-16 units, as the common rules cut names.
    if (name.empty() || name.size() > max_len) {
        return false;
    }
    size_t i = 0;
    if (!is_name_letter(next_char(name, i))) {
        return false;
    }
    for (i = 0; i < name.size();) {
        const size_t at = i;
        if (!is_name_char(next_char(name, i))) {
            TK_LOGW(2, u"Name contains invalid symbol: '%c'", name[at]);
            return false;
        }
    }
    for (const std::u16string& restricted : restricted_names) {
        if (tk_wstring::iequals(name, restricted)) {
            return false;
        }
    }
    return true;
}

std::u16string ora_validator::get_safe_name(const std::u16string& name) const {
    TK_TRACEW(u"ora_validator::get_safe_name(%s)", name.c_str());
    std::u16string s;
    s.reserve(name.size() + 1);
    size_t i = 0;
    if (name.empty() || !is_name_letter(next_char(name, i))) {
        s += u'A';
    }
    s += name;
    if (s.size() > max_len) {
        s.resize(max_len - 1);  // a pair cut in half becomes "_" below
    }
    std::u16string clean;
    clean.reserve(s.size());
    for (i = 0; i < s.size();) {
        const size_t at = i;
        if (is_name_char(next_char(s, i))) {
            clean.append(s, at, i - at);
        } else {
            clean += u'_';  // one "_" for a character, also for a surrogate pair
        }
    }
    return udb_validator::get_safe_name(clean);
}

bool ora_validator::is_given(const std::u16string& name) const {
    for (const std::u16string& given : given_names_) {
        if (tk_wstring::iequals(given, name)) {
            return true;
        }
    }
    return false;
}

void ora_validator::mark_given(const std::u16string& name) {
    given_names_.push_back(name);
}

ora_fn_validator::ora_fn_validator(const udb_schema& schema) {
    TK_TRACE("ora_fn_validator::ctor1");
    for (const t_ftd* column : schema) {
        if (column != nullptr) {
            add_existing_name(column->name);
        }
    }
}

ora_fn_validator::ora_fn_validator(const udb_record& record) {
    TK_TRACE("ora_fn_validator::ctor2");
    for (const udb_field* field : record) {
        if (field != nullptr) {
            add_existing_name(field->name);
        }
    }
}

ora_tn_validator::ora_tn_validator(const std::vector<std::u16string>& tables,
                                   const std::vector<std::u16string>& views) {
    TK_TRACE("ora_tn_validator::ctor");
    for (const std::u16string& table : tables) {
        add_existing_name(table);
    }
    for (const std::u16string& view : views) {
        add_existing_name(view);
    }
}

void ora_in_validator::load(const udb_indexes& indexes) {
    for (const udb_index& index : indexes) {
        add_existing_name(index.name);
    }
}
