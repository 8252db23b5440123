#include "udb/udb_recordset.hpp"

#include "tk/tk_log.hpp"

udb_recordset::udb_recordset(std::u16string table_name, std::u16string query_text,
                             bool b_schema_flag)
    : sql_text(std::move(query_text)), name(std::move(table_name)), schema(b_schema_flag) {}

udb_recordset::udb_recordset(std::u16string table_name, bool b_schema_flag)
    : name(std::move(table_name)), schema(b_schema_flag) {}

udb_recordset::~udb_recordset() = default;

void udb_recordset::update(udb_record& /*record*/) {
    TK_TRACE("udb_recordset::update");
}

udb_record* udb_recordset::get_item() {
    return nullptr;
}

bool udb_recordset::is_eof() {
    return true;
}

bool udb_recordset::is_query() const {
    return !sql_text.empty();
}

void udb_recordset::add_index(const udb_index& index) {
    TK_TRACEW(u"udb_recordset::add_index (%s)", index.name.c_str());
    if (!indexes.is_acceptable_name(index.name)) {
        return;
    }
    if (key_index == -1 && (index.b_unique || index.b_primary)) {
        TK_TRACE("Store primary/unique key");
        key_index = static_cast<int32_t>(indexes.size());
    }
    indexes.push_back(index);
}
