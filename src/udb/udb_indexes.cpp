#include "udb/udb_indexes.hpp"

#include <algorithm>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

bool udb_index::starts_with_fields(const std::vector<std::u16string>& columns) const {
    TK_TRACEW(u"udb_index(%s)::starts_with_fields", name.c_str());
    if (columns.size() > fields.size()) {
        return false;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!tk_wstring::iequals(columns[i], fields[i])) {
            TK_TRACEW(u"Field '%s' not found", columns[i].c_str());
            return false;
        }
    }
    TK_TRACE("starts_with_fields returns true");
    return true;
}

bool udb_index::consists_of_fields(const std::vector<std::u16string>& columns) const {
    TK_TRACEW(u"udb_index(%s)::consists_of_fields", name.c_str());
    if (columns.size() != fields.size()) {
        return false;
    }
    for (const auto& column : columns) {
        const bool found = std::any_of(fields.begin(), fields.end(), [&](const auto& f) {
            return tk_wstring::iequals(column, f);
        });
        if (!found) {
            TK_TRACEW(u"Field '%s' not found", column.c_str());
            return false;
        }
    }
    TK_TRACE("consists_of_fields returns true");
    return true;
}

udb_index& udb_indexes::get_index(const std::u16string& index_name) {
    TK_TRACEW(u"udb_indexes::get_index(%s)", index_name.c_str());
    for (auto& index : *this) {
        if (tk_wstring::iequals(index.name, index_name)) {
            return index;
        }
    }
    TK_FAIL("udb_idx");
}

const udb_index& udb_indexes::get_index(const std::u16string& index_name) const {
    return const_cast<udb_indexes*>(this)->get_index(index_name);
}

bool udb_indexes::is_idx_field(const std::u16string& column, bool b_primary_only) const {
    TK_TRACEW(u"udb_indexes::is_idx_field(%s)", column.c_str());
    for (const auto& index : *this) {
        if (b_primary_only && !index.b_primary) {
            continue;
        }
        for (const auto& field : index.fields) {
            if (field == column) {
                TK_TRACE("index field");
                return true;
            }
        }
    }
    TK_TRACE("non-index field");
    return false;
}

bool udb_indexes::is_acceptable_name(const std::u16string& index_name) const {
    TK_TRACEW(u"udb_indexes::is_acceptable_name(%s)", index_name.c_str());
    return std::none_of(begin(), end(), [&](const udb_index& index) {
        return tk_wstring::iequals(index.name, index_name);
    });
}

bool udb_indexes::has_index_on_fields(const std::vector<std::u16string>& columns) const {
    TK_TRACE("udb_indexes::has_index_on_fields");
    for (const auto& index : *this) {
        if (index.starts_with_fields(columns)) {
            return index.b_unique;
        }
    }
    return false;
}
