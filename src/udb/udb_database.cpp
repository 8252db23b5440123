#include "udb/udb_database.hpp"

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

udb_database::udb_database(std::u16string database_name, uint32_t open_mode, bool case_sensitive)
    : mode(open_mode), name(std::move(database_name)), b_case_sensitive(case_sensitive) {
    TK_TRACEW(u"udb_database::ctor(%s)", name.c_str());
}

udb_database::~udb_database() {
    TK_TRACE("udb_database::dtor");
}

std::ptrdiff_t udb_database::find_table(const std::u16string& table_name) const {
    for (size_t i = 0; i < tables.size(); ++i) {
        TK_TRACEW(u"Compare with %s", tables[i].c_str());
        const bool same =
            b_case_sensitive ? tables[i] == table_name : tk_wstring::iequals(tables[i], table_name);
        if (same) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

bool udb_database::is_table_exist(const std::u16string& table_name) {
    TK_LOGW(2, u"udb_database::is_table_exist(%s,case_sensitive=%d)", table_name.c_str(),
            b_case_sensitive ? 1 : 0);
    if (find_table(table_name) >= 0) {
        TK_TRACE("table exists");
        return true;
    }
    TK_TRACE("table not found");
    return false;
}

bool udb_database::delete_tab(const std::u16string& table_name) {
    TK_TRACEW(u"udb_database::delete_tab (%s)", table_name.c_str());
    const std::ptrdiff_t at = find_table(table_name);
    TK_ASSERT(at >= 0, "udb_db.cpp");
    tables.erase(tables.begin() + at);
    return true;
}

void udb_database::get_object_names(std::vector<std::u16string>& names) {
    names.clear();
}

void udb_database::query(const std::u16string& /*statement*/) {
    TK_FAIL("udb_db.cpp");
}

std::vector<std::u16string>& udb_database::get_tables() {
    return tables;
}
