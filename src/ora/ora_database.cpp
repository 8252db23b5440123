#include "ora/ora_database.hpp"

#include <vector>

#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_indexes_initializer.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_query_results.hpp"
#include "ora/ora_schema_initializer.hpp"
#include "ora/ora_table.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

constexpr const char* source_tag = "ora_db.cpp";
constexpr uint32_t release_8 = 0x80000;

}  // namespace

ora_database::ora_database(std::u16string data_source, uint32_t flags)
    : udb_database(std::move(data_source), 1, true) {
    TK_LOGW(2, u"ora_database::ctor(%s)", name.c_str());
    if ((flags & skip_views) == 0) {
        try {
            init_views();
        } catch (const tk_exception& e) {
            // The database works without its views.
            TK_LOG(3, "Error while extracting views:\n%s\n", e.message.c_str());
        }
    }
}

ora_database::~ora_database() = default;

uint32_t ora_database::server_version() {
    if (!b_version_read_) {
        version_ = ora_engine::instance().get_version();
        b_version_read_ = true;
    }
    return version_;
}

void ora_database::init_views() {
    TK_TRACE("ora_database::init_views");
    views_.clear();
    ora_query_results rows(u"USER_VIEWS", std::u16string());
    rows.initialize(0, u"select VIEW_NAME, TEXT from SYS.USER_VIEWS");
    while (!rows.is_eof()) {
        const udb_record* row = rows.get_item();
        if (row == nullptr) {
            break;
        }
        std::u16string view = row->field(0).vt() == VT_BSTR ? row->field(0).wstring() : u"";
        std::u16string text = row->field(1).vt() == VT_BSTR ? row->field(1).wstring() : u"";
        TK_TRACEW(u"GOT VIEW: %s|%s", view.c_str(), text.c_str());
        views_.emplace_back(std::move(view), std::move(text));
    }
}

std::vector<std::u16string> ora_database::view_names() const {
    std::vector<std::u16string> names;
    names.reserve(views_.size());
    for (const auto& view : views_) {
        names.push_back(view.first);
    }
    return names;
}

void ora_database::init_tables() {
    TK_LOG(2, "ora_database::init_tables(b_owned_by_user=%d)", 1);
    ora_engine& engine = ora_engine::instance();
    const std::u16string sql =
        server_version() >= release_8
            ? u"select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and "
              u"NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'"
            : u"select TABLE_NAME from user_tables";
    ora_stmt stmt;
    stmt.prepare(sql);
    std::vector<char16_t> buffer(256, u'\0');  // 512 bytes
    OCIDefine* define = nullptr;
    engine.check_err(ora_oci().define_by_pos(stmt.handle(), &define, engine.err(), 1, buffer.data(),
                                             512, SQLT_STR, nullptr, nullptr, nullptr,
                                             OCI_DEFAULT));
    sword status = stmt.execute(1);
    while (status != OCI_NO_DATA) {
        buffer.back() = u'\0';
        const std::u16string table(buffer.data());
        TK_TRACEW(u"Find table '%s'", table.c_str());
        tables.push_back(table);
        status = ora_oci().stmt_fetch(stmt.handle(), engine.err(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        engine.check_err(status);
    }
    TK_LOG(2, "Tables count: %d", static_cast<int>(tables.size()));
}

std::vector<std::u16string>& ora_database::get_tables() {
    TK_TRACE("ora_database::get_tables");
    tables.clear();
    init_tables();
    return tables;
}

std::unique_ptr<udb_recordset> ora_database::create_table(const std::u16string& table_name,
                                                          const udb_schema& source_schema,
                                                          const udb_indexes& source_indexes) {
    TK_LOGW(2, u"ora_database::create_table(%s)", table_name.c_str());
    if (!is_table_exist(table_name)) {
        ora_schema_initializer initializer(table_name, b_uppercase, source_schema, source_indexes);
        initializer.build_schema(*this);
        if (!source_indexes.empty()) {
            ora_indexes_initializer indexes(
                table_name, source_indexes, initializer.schema(), initializer.names_map(),
                shared_index_names_ != nullptr ? *shared_index_names_ : index_validator);
            indexes.build_indexes();
        }
        tables.push_back(table_name);
        names_map.add_fn_map(table_name, initializer.names_map());
    }
    return get_table(table_name, 2);
}

bool ora_database::delete_tab(const std::u16string& table_name) {
    TK_TRACEW(u"ora_database::delete_tab(%s)", table_name.c_str());
    TK_ASSERT(is_table_exist(table_name), source_tag);
    ora_engine::instance().execute(u"DROP TABLE \"" + table_name + u"\" CASCADE CONSTRAINTS",
                                   OCI_DEFAULT);
    return udb_database::delete_tab(table_name);
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::u16string& table_name,
                                                       const std::u16string& query_text,
                                                       uint32_t open_mode) {
    TK_LOGW(2, u"ora_database::get_table(%s)", table_name.c_str());
    auto results = std::make_unique<ora_query_results>(table_name, query_text, open_mode);
    results->initialize(0, query_text);
    return results;
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::u16string& table_name,
                                                       uint32_t open_mode) {
    TK_LOGW(2, u"ora_database::get_table(%s)", table_name.c_str());
    TK_ASSERT(is_table_exist(table_name), source_tag);
    return std::make_unique<ora_table>(*this, table_name, open_mode);
}

void ora_database::query(const std::u16string& statement) {
    TK_LOGW(2, u"ora_database::query(%s)", statement.c_str());
    ora_engine::instance().execute(statement, OCI_DEFAULT);
}

bool ora_database::test_query(const std::u16string& statement) {
    TK_LOGW(2, u"ora_database::test_query(%s)", statement.c_str());
    try {
        ora_engine::instance().execute(statement, OCI_PARSE_ONLY);
    } catch (const ora_exception& e) {
        TK_LOG(2, "%s", e.message.c_str());
        return false;
    }
    return true;
}

std::u16string ora_database::get_tn_mapped_name_ex(const std::u16string& table) {
    TK_TRACEW(u"ora_database::get_tn_mapped_name_ex(%s)", table.c_str());
    if (b_uppercase) {
        std::u16string upper = table;
        tk_wstring::to_upper(upper);
        return names_map.get_tn_mapped_name(upper, false);
    }
    std::u16string mapped = names_map.get_tn_mapped_name(table, true);
    if (!is_table_exist(mapped)) {
        TK_TRACEW(u"Cannot find table %s", mapped.c_str());
        TK_TRACE("Try to search case insensitive...");
        mapped = names_map.get_tn_mapped_name(table, false);
    }
    return mapped;
}

std::u16string ora_database::get_fn_mapped_name_ex(const std::u16string& table,
                                                   const std::u16string& field) {
    TK_TRACEW(u"ora_database::get_fn_mapped_name_ex(%s)", field.c_str());
    if (b_uppercase) {
        std::u16string upper_table = table;
        std::u16string upper_field = field;
        tk_wstring::to_upper(upper_table);
        tk_wstring::to_upper(upper_field);
        return names_map.get_fn_mapped_name(upper_table, upper_field, false);
    }
    return names_map.get_fn_mapped_name(table, field, true);
}
