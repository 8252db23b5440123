#include "dbf/dbf_database.hpp"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_file.hpp"
#include "dbf/dbf_recordset.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_temp_chdir.hpp"
#include "tk/tk_wstring.hpp"

namespace {

bool ends_with_dbf(const std::u16string& name) {
    return name.size() >= 4 && name.compare(name.size() - 4, 4, u".dbf") == 0;
}

}  // namespace

dbf_database::dbf_database(const std::u16string& folder, uint32_t open_mode,
                           uint8_t user_language_driver_id)
    : udb_database(folder, open_mode, false), language_driver_id(user_language_driver_id) {
    codepage_table();
    codepage_names();
    TK_TRACE("dbf_database::ctor");
    std::vector<std::u16string> entries;
    {
        tk_temp_chdir here(tk_w2a(folder));
        TK_ASSERT(here.b_ok, "dbf_db.cpp");
        find_files(u"*.dbf", entries);
    }
    for (auto& entry : entries) {
        std::u16string lower = entry;
        tk_wstring::to_lower(lower);
        std::u16string table = ends_with_dbf(lower) ? lower.substr(0, lower.size() - 4) : entry;
        // Names that differ only in case are one table here (the first file found opens).
        bool known = false;
        for (const auto& t : tables) {
            known = known || t == table;
        }
        if (!known) {
            tables.push_back(std::move(table));
        }
    }
}

dbf_database::~dbf_database() = default;

std::u16string dbf_database::get_full_table_name(const std::u16string& table_name) const {
    TK_TRACEW(u"dbf_database::get_full_table_name(%s)", table_name.c_str());
    std::u16string lower = table_name;
    tk_wstring::to_lower(lower);
    // The folder keeps its own letters: only the file name is built in lower case, and the
    // file really there is found without regard to case when it is opened.
    std::u16string full = name;
    if (!full.empty() && full.back() != u'/') {
        full += u'/';
    }
    full += lower;
    if (!ends_with_dbf(full)) {
        full += u".dbf";
    }
    return full;
}

std::unique_ptr<udb_recordset> dbf_database::create_table(const std::u16string& /*table_name*/,
                                                          const udb_schema& /*source_schema*/,
                                                          const udb_indexes& /*source_indexes*/) {
    TK_FAIL("dbf_db.cpp");
}

std::unique_ptr<udb_recordset> dbf_database::get_table(const std::u16string& /*table_name*/,
                                                       const std::u16string& /*query_text*/,
                                                       uint32_t /*open_mode*/) {
    return nullptr;
}

std::unique_ptr<udb_recordset> dbf_database::get_table(const std::u16string& table_name,
                                                       uint32_t open_mode) {
    TK_TRACEW(u"dbf_database::get_table(%s)", table_name.c_str());
    const std::u16string full = get_full_table_name(table_name);
    TK_ASSERT(dbf_find_file(tk_w2a(full)).has_value(), "dbf_db.cpp");
    return std::make_unique<dbf_recordset>(full, open_mode, language_driver_id, values);
}

bool dbf_database::delete_tab(const std::u16string& table_name) {
    TK_TRACEW(u"dbf_database::delete_tab(%s)", table_name.c_str());
    const std::string full = tk_w2a(get_full_table_name(table_name));
    const auto real = dbf_find_file(full);
    TK_ASSERT(real.has_value(), "dbf_db.cpp");
    if (std::remove(real->c_str()) != 0) {
        throw tk_exception_ex("Failed to delete file " + *real + ": ");
    }
    for (const char* ext : {"dbt", "fpt", "smt", "dct"}) {
        if (const auto companion = dbf_find_file(dbf_replace_extension(*real, ext))) {
            std::remove(companion->c_str());
        }
    }
    return true;
}

bool dbf_database::test_query(const std::u16string& /*statement*/) {
    return false;
}
