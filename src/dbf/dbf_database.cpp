#include "dbf/dbf_database.hpp"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_exception.hpp"
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
        // A folder whose name ends in .dbf holds no table.
        std::error_code error;
        if (std::filesystem::is_directory(std::filesystem::path(tk_w2a(folder)) / tk_w2a(entry),
                                          error)) {
            continue;
        }
        std::u16string lower = entry;
        tk_wstring::to_lower(lower);
        const bool b_dbf = ends_with_dbf(lower);
        std::u16string table = b_dbf ? lower.substr(0, lower.size() - 4) : entry;
        // Files whose names differ only in letter case are distinct tables: the first keeps the
        // lower-case name, each further one its name as written in the folder (the whole file
        // name when even that is taken), and every table remembers its own file.
        if (is_listed(table)) {
            table = b_dbf ? entry.substr(0, entry.size() - 4) : entry;
            if (is_listed(table)) {
                table = entry;
            }
            TK_LOGW(2, u"Table file %s differs from another only in letter case", entry.c_str());
        }
        files_.emplace(table, entry);
        tables.push_back(std::move(table));
    }
}

bool dbf_database::is_listed(const std::u16string& table) const {
    for (const auto& t : tables) {
        if (t == table) {
            return true;
        }
    }
    return false;
}

dbf_database::~dbf_database() = default;

std::u16string dbf_database::get_full_table_name(const std::u16string& table_name) const {
    TK_TRACEW(u"dbf_database::get_full_table_name(%s)", table_name.c_str());
    std::u16string full = name;
    if (!full.empty() && full.back() != u'/') {
        full += u'/';
    }
    if (const auto listed = files_.find(table_name); listed != files_.end()) {
        return full + listed->second;
    }
    // The folder keeps its own letters: only the file name is built in lower case, and the
    // file really there is found without regard to case when it is opened.
    std::u16string lower = table_name;
    tk_wstring::to_lower(lower);
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
    if (!dbf_find_file(tk_w2a(full)).has_value()) {
        // A table named by a profile may have left the folder since: that table fails alone.
        throw dbf_exception("Table file not found: " + tk_w2a(full), 0);
    }
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
