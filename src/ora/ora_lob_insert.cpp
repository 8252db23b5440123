#include "ora/ora_lob_insert.hpp"

#include "ora/ora_engine.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_util.hpp"
#include "tk/tk_log.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_field.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_schema.hpp"

bool ora_lob_insert::is_lob_column(const t_ftd& column) {
    if (!column.native_type.empty()) {
        const std::u16string_view type = column.native_type;
        return type.starts_with(u"CLOB") || type.starts_with(u"NCLOB") || type.starts_with(u"BLOB");
    }
    return (column.size == 0 || column.size > ora_max_inline_length) &&
           (column.vartype == VT_BSTR || column.vartype == VT_BLOB ||
            column.vartype == VT_BYTE_ARRAY);
}

ora_lob_insert::ora_lob_insert(const std::u16string& table_name, const udb_schema& schema)
    : table_name_(table_name) {
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& column = schema.column(i);
        TK_TRACEW(u"Processing '%s': vt=%d, size=%d", column.name.c_str(),
                  static_cast<int>(column.vartype), static_cast<int>(column.size));
        if (is_lob_column(column)) {
            TK_TRACEW(u"GOT LOB FIELD '%s'", column.name.c_str());
            columns_.push_back(lob_column{i, column.vartype, column.name});
        }
    }
}

ora_lob_insert::~ora_lob_insert() {
    TK_TRACE("ora_lob_insert::~ora_lob_insert");
    TK_TRACE("~ora_lob_insert - Step #1");
    for (lob_column& column : columns_) {
        if (column.locator != nullptr) {
            ora_oci().descriptor_free(column.locator, OCI_DTYPE_LOB);
        }
    }
    TK_TRACE("~ora_lob_insert - Step #2");
    columns_.clear();
    TK_TRACE("~ora_lob_insert - Step #3");
}

const udb_field* ora_lob_insert::field_for(const lob_column& column, const udb_record& record,
                                           const std::vector<size_t>* field_of) {
    const size_t at = field_of == nullptr                  ? column.position
                      : column.position < field_of->size() ? (*field_of)[column.position]
                                                           : static_cast<size_t>(-1);
    return at < record.size() ? record[at] : nullptr;
}

bool ora_lob_insert::has_content(const lob_column& column, const udb_field* field) {
    if (field == nullptr) {
        return false;
    }
    if (column.vartype == VT_BSTR) {
        return field->vt() == VT_BSTR && !field->wstring().empty();
    }
    const unsigned char* bytes = nullptr;
    return field->vt() == VT_BYTE_ARRAY && field->get_bytes(bytes) != 0;
}

bool ora_lob_insert::insert(const std::u16string& rowid, const udb_record& record,
                            const std::vector<size_t>* field_of) {
    TK_TRACEW(u"ora_lob_insert::insert(%s)", rowid.c_str());
    TK_TRACE("ld.size()=%d", static_cast<int>(columns_.size()));
    if (columns_.empty()) {
        TK_TRACE("Record has no LOBs - skip it");
        return false;
    }
    // Empty large objects are already what the INSERT wrote; locking the row to write nothing
    // would cost a query and a commit per record.
    bool b_content = false;
    for (const lob_column& column : columns_) {
        b_content = b_content || has_content(column, field_for(column, record, field_of));
    }
    if (!b_content) {
        TK_TRACE("Record has only empty LOBs - skip it");
        return false;
    }
    std::u16string sql = u"SELECT ";
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (i != 0) {
            sql += u", ";
        }
        sql += u'"';
        sql += columns_[i].name;
        sql += u'"';
    }
    sql += u" FROM \"" + table_name_ + u"\" WHERE ROWID='" + rowid + u"' FOR UPDATE";
    TK_LOGW(3, u"Run SQL query: %s\n", sql.c_str());
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    ora_stmt stmt;
    stmt.prepare(sql);
    TK_TRACE("Step #1");
    for (size_t i = 0; i < columns_.size(); ++i) {
        lob_column& column = columns_[i];
        engine.check_err(oci.descriptor_alloc(
            engine.env(), reinterpret_cast<void**>(&column.locator), OCI_DTYPE_LOB, 0, nullptr));
        engine.check_err(oci.define_by_pos(stmt.handle(), &column.define, engine.err(),
                                           static_cast<ub4>(i + 1), &column.locator, -1,
                                           column.vartype == VT_BSTR ? SQLT_CLOB : SQLT_BLOB,
                                           &column.indicator, nullptr, nullptr, OCI_DEFAULT));
    }
    TK_TRACE("Step #2");
    stmt.execute(1);
    TK_TRACE("Step #3");
    for (lob_column& column : columns_) {
        const udb_field* field = field_for(column, record, field_of);
        if (column.vartype == VT_BSTR) {
            write_clob(column, field);
        } else {
            write_blob(column, field);
        }
    }
    TK_TRACE("ora_insert::insert - at the END");
    return true;
}

void ora_lob_insert::write_blob(lob_column& column, const udb_field* field) {
    TK_TRACE("ora_lob_insert::write_blob");
    const unsigned char* bytes = nullptr;
    const size_t count =
        field != nullptr && field->vt() == VT_BYTE_ARRAY ? field->get_bytes(bytes) : 0;
    if (count == 0) {
        TK_TRACE("Got empty BLOB - skip it");
        return;
    }
    TK_TRACE("BLOB size=%d", static_cast<int>(count));
    if (count >= 4) {
        TK_TRACE("BLOB: %02X %02X %02X %02X...", bytes[0], bytes[1], bytes[2], bytes[3]);
    }
    ora_engine& engine = ora_engine::instance();
    ub4 amount = static_cast<ub4>(count);
    engine.check_err(ora_oci().lob_write(engine.svc(), engine.err(), column.locator, &amount, 1,
                                         const_cast<unsigned char*>(bytes), static_cast<ub4>(count),
                                         OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
    TK_TRACE("ora_lob_insert::write_blob - at the end");
}

void ora_lob_insert::write_clob(lob_column& column, const udb_field* field) {
    TK_TRACE("ora_lob_insert::write_clob");
    if (field == nullptr || field->vt() != VT_BSTR || field->wstring().empty()) {
        TK_TRACE("Got empty CLOB - skip it");
        return;
    }
    const std::u16string& text = field->wstring();
    TK_TRACE("CLOB size=%d", static_cast<int>(text.size() * 2));
    TK_TRACEW(u"CLOB data='%s'", text.c_str());
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    // The text goes as it is held, in UTF-16, named so explicitly; the amount counts characters
    // (UTF-16 code units).
    ub1 form = SQLCS_IMPLICIT;
    engine.check_err(oci.lob_char_set_form(engine.env(), engine.err(), column.locator, &form));
    ub4 amount = static_cast<ub4>(text.size());
    engine.check_err(oci.lob_write(
        engine.svc(), engine.err(), column.locator, &amount, 1, const_cast<char16_t*>(text.data()),
        static_cast<ub4>(text.size() * 2), OCI_ONE_PIECE, nullptr, nullptr, OCI_UTF16ID, form));
}
