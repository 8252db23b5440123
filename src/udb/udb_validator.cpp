#include "udb/udb_validator.hpp"

#include <algorithm>
#include <cstdio>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

udb_validator::udb_validator(uint32_t max_length) : max_len(max_length) {
    TK_LOG(2, "udb_validator::ctor");
}

void udb_validator::add_existing_name(const std::u16string& name) {
    TK_TRACEW(u"udb_validator::add_existing_name(%s)", name.c_str());
    existing_names.push_back(name);
}

void udb_validator::add_mapped_pair(const std::u16string& source, const std::u16string& generated) {
    TK_TRACEW(u"udb_validator::add_mapped_pair(%s,%s)", source.c_str(), generated.c_str());
    mapped_names.emplace(source, generated);
}

bool udb_validator::is_acceptable(const std::u16string& name) const {
    TK_TRACEW(u"udb_validator::is_acceptable(%s)", name.c_str());
    if (max_len != 0 && name.size() > max_len) {
        TK_TRACE("The name is too long");
        return false;
    }
    for (const std::u16string& restricted : restricted_names) {
        if (tk_wstring::iequals(name, restricted)) {
            TK_TRACE("The name is restricted");
            return false;
        }
    }
    for (const char16_t c : illegal_chars) {
        if (name.find(c) != std::u16string::npos) {
            TK_TRACEW(u"The name contains illegal: %c", c);
            return false;
        }
    }
    return true;
}

bool udb_validator::is_duplicated(const std::u16string& name) const {
    TK_TRACEW(u"udb_validator::is_duplicated(%s)", name.c_str());
    for (const std::u16string& existing : existing_names) {
        TK_TRACEW(u"Processing %s", existing.c_str());
        if (tk_wstring::iequals(name, existing)) {
            return true;
        }
    }
    return false;
}

std::u16string udb_validator::get_safe_name(const std::u16string& name) const {
    TK_TRACEW(u"udb_validator::get_safe_name(%s)", name.c_str());
    std::u16string s = name;
    if (max_len != 0 && s.size() > max_len) {
        s.resize(max_len - 1);
    }
    for (const char16_t c : illegal_chars) {
        std::replace(s.begin(), s.end(), c, u'_');
    }
    if (is_acceptable(s) && !is_duplicated(s)) {
        return s;
    }
    std::u16string stem = s;
    if (max_len != 0 && max_len >= 6 && stem.size() > max_len - 5) {
        stem.resize(max_len - 6);
    }
    std::u16string candidate;
    for (int n = 0; n < 100000; ++n) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%05d", n);
        candidate = stem;
        candidate.append(digits, digits + 5);
        if (is_acceptable(candidate) && !is_duplicated(candidate)) {
            return candidate;
        }
    }
    TK_FAIL("udb_vali.cpp");
}
