#include "udb/udb_names_map.hpp"

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

bool same_name(const std::u16string& a, const std::u16string& b, bool b_case_sensitive) {
    return b_case_sensitive ? a == b : tk_wstring::iequals(a, b);
}

}  // namespace

void t_names_map::add(const std::u16string& source, const std::u16string& destination) {
    TK_TRACEW(u"t_names_map::add(%s,%s)", source.c_str(), destination.c_str());
    emplace(source, destination);
}

std::u16string t_names_map::get_mapped_name(const std::u16string& name,
                                            bool b_case_sensitive) const {
    TK_TRACEW(u"t_names_map::get_mapped_name(%s)", name.c_str());
    if (b_case_sensitive) {
        if (const auto it = find(name); it != end()) {
            TK_TRACEW(u"Got mapped name: %s", it->second.c_str());
            return it->second;
        }
        return name;
    }
    for (const auto& [source, destination] : *this) {
        if (same_name(source, name, false)) {
            TK_TRACEW(u"Got mapped name: %s", destination.c_str());
            return destination;
        }
    }
    return name;
}

void udb_names_map::add_tn_mapping(const std::u16string& source_table,
                                   const std::u16string& dest_table) {
    TK_LOGW(2, u"udb_names_map::add_tn_mapping(%s,%s)", source_table.c_str(), dest_table.c_str());
    tables_.emplace(source_table, dest_table);
}

void udb_names_map::add_fn_map(const std::u16string& dest_table, const t_names_map& columns) {
    TK_LOGW(2, u"udb_names_map::add_fn_map(%s)", dest_table.c_str());
    columns_.emplace(dest_table, columns);
}

std::u16string udb_names_map::get_tn_mapped_name(const std::u16string& table,
                                                 bool b_case_sensitive) const {
    TK_TRACEW(u"udb_names_map::get_tn_mapped_name(%s)", table.c_str());
    for (const auto& [source, destination] : tables_) {
        TK_TRACEW(u"Comparing with (%s,%s)", source.c_str(), destination.c_str());
        if (same_name(source, table, b_case_sensitive)) {
            TK_TRACEW(u"Got mapped name: %s", destination.c_str());
            return destination;
        }
    }
    return table;
}

std::u16string udb_names_map::get_fn_mapped_name(const std::u16string& table,
                                                 const std::u16string& column,
                                                 bool b_case_sensitive) const {
    TK_TRACEW(u"udb_names_map::get_fn_mapped_name(%s,%s)", table.c_str(), column.c_str());
    const auto it = columns_.find(table);
    if (it == columns_.end()) {
        TK_TRACEW(u"Table '%s' not found", table.c_str());
        return column;
    }
    return it->second.get_mapped_name(column, b_case_sensitive);
}
