#include "ora/ora_table.hpp"

#include <set>

#include "ora/ora_database.hpp"
#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_get_rowid.hpp"
#include "ora/ora_lob_insert.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_schema_initializer.hpp"
#include "ora/ora_util.hpp"
#include "ora/ora_validator.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_custom_conversion.hpp"

namespace {

constexpr uint32_t release_8 = 0x80000;
constexpr const char* source_tag = "ora_tab.cpp";
constexpr const char* structure_message =
    "The structure of data source does not conform to the destination table.";
constexpr double number_limit = 1e126;

// The text of a catalogue field, empty for NULL.
const std::u16string& text_of(const udb_record& row, size_t i) {
    static const std::u16string none;
    const udb_field& field = row.field(i);
    return field.vt() == VT_BSTR ? field.wstring() : none;
}

bool is_catalogue_blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

}  // namespace

ora_table::ora_table(ora_database& database, std::u16string table_name, uint32_t open_mode)
    : ora_query_results(std::move(table_name), std::u16string(), open_mode),
      relationships(database.relationships),
      database_(database),
      rowid_(std::make_unique<ora_get_rowid>()) {
    TK_LOGW(2, u"ora_table::ora_table(%s)", name.c_str());
    init_schema();
    if (schema.empty()) {
        TK_LOG(2, "Empty table");
        return;
    }
    init_indexes();
    records_cnt = ora_engine::instance().get_records_cnt(name, false);
    TK_LOG(2, "Got %d records", static_cast<int>(records_cnt));
}

std::u16string ora_table::table_condition() const {
    return u"table_name = " + quoted_name();
}

std::u16string ora_table::quoted_name() const {
    // The name as a string literal: a quote in it is doubled, so that it stays one literal.
    return u"'" + tk_wstring::replace_all(name, u"'", u"''") + u"'";
}

uint32_t ora_table::get_columns_cnt() {
    TK_TRACE("ora_table::get_columns_cnt");
    const std::u16string sql = u"SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE " + table_condition();
    TK_TRACEW(u"Query=%s", sql.c_str());
    ora_engine& engine = ora_engine::instance();
    ora_stmt stmt;
    stmt.prepare(sql);
    int32_t count = 0;
    OCIDefine* define = nullptr;
    engine.check_err(ora_oci().define_by_pos(stmt.handle(), &define, engine.err(), 1, &count,
                                             sizeof count, SQLT_INT, nullptr, nullptr, nullptr,
                                             OCI_DEFAULT));
    stmt.execute(1);
    TK_LOG(2, "Got %d columns", count);
    return count > 0 ? static_cast<uint32_t>(count) : 0u;
}

std::u16string ora_table::get_safe_select_query(uint32_t& column_count) {
    TK_LOG(2, "ora_table::get_safe_select_query");
    ora_query_results rows(u"USER_TAB_COLUMNS", std::u16string());
    rows.initialize(
        0, u"SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE " + table_condition());
    const auto& native = ora_native_types();
    std::u16string kept;
    bool b_dropped = false;
    while (!rows.is_eof()) {
        const udb_record* row = rows.get_item();
        if (row == nullptr) {
            break;
        }
        const std::u16string& column = text_of(*row, 0);
        const std::u16string& type = text_of(*row, 1);
        TK_TRACEW(u"GOT field '%s' with type '%s'", column.c_str(), type.c_str());
        // Exact values write date-times with milliseconds into TIMESTAMP(3) columns and read
        // them back.
        const bool b_exact_type = database_.values == udb_values::exact && type == u"TIMESTAMP(3)";
        if (b_exact_type || native.find(type) != native.end()) {
            TK_TRACEW(u"Type '%s' is found in native types", type.c_str());
            if (!kept.empty()) {
                kept += u',';
            }
            kept += ora_engine::get_safe_name(column);
            continue;
        }
        TK_LOGW(3, u"Table '%s': column '%s' has unsupported type '%s', skip it", name.c_str(),
                column.c_str(), type.c_str());
        b_dropped = true;
        if (column_count > 0) {
            --column_count;
        }
    }
    if (!b_dropped) {
        return u"SELECT * FROM " + ora_engine::get_safe_name(name);
    }
    return u"SELECT " + kept + u" FROM " + ora_engine::get_safe_name(name);
}

void ora_table::init_schema() {
    TK_LOG(2, "ora_table::init_schema");
    uint32_t count = get_columns_cnt();
    const std::u16string select = get_safe_select_query(count);
    if (count == 0) {
        return;  // no table of that name, or no column this program can read
    }
    TK_TRACE("Right before extract DB structure");
    initialize(count, select);
    for (const std::unique_ptr<ora_type>& column : columns()) {
        schema.add_owned(column->get_ftd());
    }

    ora_query_results rows(u"USER_TAB_COLUMNS", std::u16string());
    rows.initialize(0, u"select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where " +
                           table_condition());
    while (!rows.is_eof()) {
        const udb_record* row = rows.get_item();
        if (row == nullptr) {
            break;
        }
        const std::u16string& column = text_of(*row, 0);
        TK_TRACEW(u"Got field '%s'", column.c_str());
        const int32_t eye = schema.get_field_idx(column);
        if (eye < 0) {
            TK_LOG(2, "Field not found in schema");
            continue;
        }
        t_ftd& ftd = schema.column(static_cast<size_t>(eye));
        ora_type& object = *columns()[static_cast<size_t>(eye)];
        const std::u16string& default_text = text_of(*row, 1);
        if (!default_text.empty()) {
            TK_TRACE("field size=%d", static_cast<int>(ftd.size));
            TK_TRACEW(u"Got default string: %s (eye=%d, type=%d)", default_text.c_str(), eye,
                      ftd.vartype);
            ftd.default_value = get_def_value(ftd.vartype, default_text);
            TK_TRACEW(u"Got default variant: %s", ftd.default_value.to_wstring().c_str());
        }
        const std::u16string& type = text_of(*row, 2);
        if (type == u"NVARCHAR2" || type == u"NCHAR") {
            TK_TRACE("Tuning field size for NCHAR/NVARCHAR (eye=%d)", eye);
            // The describe gives bytes of AL16UTF16: two per character.
            const uint32_t bytes = object.data_size != 0 ? object.data_size : ftd.size;
            object.data_size = bytes / 2;
            ftd.size = bytes / 2;
            TK_TRACE("New field size=%d", static_cast<int>(ftd.size));
        } else if (type == u"LONG") {
            ftd.size = 0;
            ftd.native_type = u"LONG";
        }
        // A text or raw column of the table keeps its values inline, however long it is
        // declared: only a LOB column gets its value through a locator.
        if (type == u"VARCHAR2" || type == u"NVARCHAR2" || type == u"CHAR" || type == u"NCHAR" ||
            type == u"RAW") {
            ftd.native_type = type;
        }
    }
}

ole_variant ora_table::get_def_value(VARTYPE vartype, std::u16string_view source) {
    TK_TRACEW(u"ora_table::get_def_value(type=0x%08X, src=%s)", static_cast<unsigned>(vartype),
              std::u16string(source).c_str());
    // The catalogue keeps the default as written in the DDL, with the blanks and line break
    // that followed it ("'abc' ", "0\n"); they are not part of the value.
    size_t begin = 0;
    size_t end = source.size();
    while (begin < end && is_catalogue_blank(source[begin])) {
        ++begin;
    }
    while (end > begin && is_catalogue_blank(source[end - 1])) {
        --end;
    }
    std::u16string text(source.substr(begin, end - begin));
    bool b_quoted = false;
    if (text.size() >= 2 && text.front() == u'\'' && text.back() == u'\'') {
        TK_TRACE("Removing quotes");
        text = text.substr(1, text.size() - 2);
        b_quoted = true;
        TK_TRACEW(u"After removing quotes: %s", text.c_str());
    }
    if (vartype == VT_BSTR && !b_quoted) {
        TK_TRACE("Incorrect/empty/null default value for VT_BSTR");
        return ole_variant();
    }
    if (vartype == VT_DATE) {
        return ole_variant();
    }
    text = tk_wstring::replace_all(std::move(text), u"''", u"'");
    if (t_ftd::is_numeric_type(vartype) && !is_number_text(text)) {
        // An expression (SYSDATE, a function call) or NULL: the number parser would read it as
        // 0 and invent a default.
        return ole_variant();
    }
    try {
        return ole_variant::from_wstring(text, vartype);
    } catch (const tk_exception&) {
        return ole_variant();
    }
}

void ora_table::init_indexes() {
    TK_LOG(2, "ora_table::init_indexes");
    // Primary key.
    udb_index primary;
    {
        ora_query_results rows(u"PK", std::u16string());
        rows.initialize(
            0,
            u"SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
            u"user_constraints b WHERE a.table_name=" +
                quoted_name() +
                u" AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER "
                u"BY a.constraint_name, a.position");
        while (!rows.is_eof()) {
            const udb_record* row = rows.get_item();
            if (row == nullptr) {
                break;
            }
            const std::u16string& constraint = text_of(*row, 0);
            const std::u16string& column = text_of(*row, 1);
            TK_TRACEW(u"Got primary key '%s'", constraint.c_str());
            primary.name = constraint;
            primary.b_primary = true;
            primary.b_unique = true;
            if (!schema.find_field(column)) {
                TK_LOGW(2, u"PK field '%s' not found - skip it", column.c_str());
                continue;
            }
            primary.fields.push_back(column);
        }
    }
    if (!primary.name.empty()) {
        add_index(primary);
    }

    // Indexes, grouped by name.
    {
        std::u16string sql =
            u"SELECT user_indexes.index_name, user_indexes.uniqueness, "
            u"user_ind_columns.column_name FROM user_ind_columns, user_indexes where "
            u"user_ind_columns.table_name = " +
            quoted_name();
        if (database_.server_version() >= release_8) {
            sql += u" AND user_indexes.generated='N'";
        }
        sql +=
            u" AND user_ind_columns.index_name = user_indexes.index_name AND "
            u"user_ind_columns.table_name = user_indexes.table_name ORDER BY "
            u"user_indexes.index_name, user_ind_columns.column_position";
        ora_query_results rows(u"INDEXES", std::u16string());
        rows.initialize(0, sql);
        udb_index index;
        auto flush = [&] {
            if (index.name.empty()) {
                return;
            }
            if (!indexes.is_acceptable_name(index.name)) {
                TK_TRACE("Skip Primary Key DoubleInitialization");
            } else {
                add_index(index);
            }
            index = udb_index();
        };
        while (!rows.is_eof()) {
            const udb_record* row = rows.get_item();
            if (row == nullptr) {
                break;
            }
            const std::u16string& index_name = text_of(*row, 0);
            const std::u16string& column = text_of(*row, 2);
            if (index_name != index.name) {
                flush();
                index.name = index_name;
                index.b_unique = text_of(*row, 1) == u"UNIQUE";
                TK_TRACEW(u"Got index '%s' (unique=%d)", index_name.c_str(),
                          index.b_unique ? 1 : 0);
            }
            if (!schema.find_field(column)) {
                TK_TRACEW(u"Index field '%s' not found - skip it", column.c_str());
                continue;
            }
            index.fields.push_back(column);
        }
        flush();
    }

    // Foreign keys of other tables that point at the primary key.
    if (primary.name.empty()) {
        return;
    }
    const std::u16string condition = u"R_CONSTRAINT_NAME='" + primary.name + u"'";
    ora_engine& engine = ora_engine::instance();
    int32_t count = 0;
    {
        ora_stmt stmt;
        stmt.prepare(u"select count(*) from USER_CONSTRAINTS where " + condition +
                     u" and CONSTRAINT_TYPE='R'");
        OCIDefine* define = nullptr;
        engine.check_err(ora_oci().define_by_pos(stmt.handle(), &define, engine.err(), 1, &count,
                                                 sizeof count, SQLT_INT, nullptr, nullptr, nullptr,
                                                 OCI_DEFAULT));
        stmt.execute(1);
    }
    if (count == 0) {
        TK_LOG(2, "No foreign keys found");
        return;
    }
    ora_query_results rows(u"FK", std::u16string());
    rows.initialize(0,
                    u"select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
                    u"USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE "
                    u"a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and a." +
                        condition);
    std::set<std::u16string> read_now;  // keys met in this reading, whose columns grow
    while (!rows.is_eof()) {
        const udb_record* row = rows.get_item();
        if (row == nullptr) {
            break;
        }
        const std::u16string& child = text_of(*row, 0);
        const std::u16string& constraint = text_of(*row, 1);
        const std::u16string& rule = text_of(*row, 2);
        const std::u16string& column = text_of(*row, 3);
        TK_TRACEW(u"GOT FK: %s,%s,%s,%s", child.c_str(), constraint.c_str(), rule.c_str(),
                  column.c_str());
        if (read_now.count(constraint) != 0) {
            relationships.get_index(constraint).fields.push_back(column);
            continue;
        }
        if (!relationships.is_acceptable_name(constraint)) {
            continue;  // recorded when the table was opened before
        }
        read_now.insert(constraint);
        udb_relationship key;
        key.name = constraint;
        key.table = child;
        key.ref_table = name;
        key.on_delete = rule.empty() ? std::u16string() : u"ON DELETE " + rule;
        key.fields.push_back(column);
        key.ref_fields = primary.fields;
        relationships.append(std::move(key));
    }
}

bool ora_table::is_eof() {
    TK_TRACE("ora_table::is_eof(%d,%d)", static_cast<int>(current_row),
             static_cast<int>(records_cnt));
    if (current_row >= records_cnt) {
        return true;
    }
    if (!b_fetched_) {
        TK_TRACE("Step #1");
        b_fetched_ = fetch();
        TK_TRACE("Step #2");
    }
    // Rows deleted since the count end the table early.
    return !b_fetched_;
}

void ora_table::next() {
    TK_TRACE("ora_table::next");
    ++current_row;
}

ora_table::~ora_table() = default;

const std::vector<std::u16string>& ora_table::oracle_names(const udb_record& record) {
    bool b_same = source_names_.size() == record.size();
    for (size_t i = 0; b_same && i < record.size(); ++i) {
        b_same = source_names_[i] == record[i]->name;
    }
    if (b_same) {
        return oracle_names_;
    }
    source_names_.clear();
    oracle_names_.clear();
    ora_fn_validator validator(record);
    for (const udb_field* field : record) {
        source_names_.push_back(field->name);
        oracle_names_.push_back(ora_schema_initializer::make_column_name(validator, field->name,
                                                                         database_.b_uppercase));
    }
    return oracle_names_;
}

bool ora_table::is_primary_key_column(const std::u16string& column) const {
    return indexes.is_idx_field(column, true);
}

const std::vector<size_t>& ora_table::columns_of(udb_record& record, std::vector<size_t>& order) {
    const std::vector<std::u16string>& names = oracle_names(record);
    // Which field of the record fills each column: large objects are written after the
    // INSERT, and must find their values by name, whatever the columns' order.
    field_of_.assign(schema.size(), static_cast<size_t>(-1));
    order.clear();
    if (schema.size() <= record.size()) {
        TK_TRACE("Size of schema is less or equal to the size of record");
        for (size_t eye = 0; eye < schema.size(); ++eye) {
            const t_ftd& column = schema.column(eye);
            size_t i = 0;
            while (i < names.size() && names[i] != column.name) {
                ++i;
            }
            if (i == names.size()) {
                TK_TRACEW(u"Field %s not found in appending record", column.name.c_str());
                throw tk_exception(structure_message, 1);
            }
            field_of_[eye] = i;
            order.push_back(eye);
        }
    } else {
        TK_TRACE("Size of record is less than size of schema");
        for (size_t i = 0; i < record.size(); ++i) {
            TK_TRACEW(u"Name=%s, mapped name=%s", record[i]->name.c_str(), names[i].c_str());
            size_t eye = 0;
            while (eye < schema.size() && !tk_wstring::iequals(schema.column(eye).name, names[i])) {
                ++eye;
            }
            if (eye == schema.size()) {
                TK_TRACEW(u"Field %s not found", names[i].c_str());
                throw tk_exception(structure_message, 1);
            }
            // The column's own spelling is used in the statement: the field matched it
            // without regard to case, and the server compares quoted names exactly.
            field_of_[eye] = i;
            order.push_back(eye);
        }
    }
    return field_of_;
}

void ora_table::append_literal(size_t eye, const udb_field& field, std::u16string& out) {
    if (udb_custom_conversion::is_acceptable2(field)) {
        out += udb_custom_conversion::handle2(field);
    } else {
        get_fld_append_wstr(eye, field, out);
    }
}

const std::vector<size_t>& ora_table::column_literals(udb_record& record,
                                                      std::vector<std::u16string>& literals,
                                                      std::vector<size_t>& order) {
    const std::vector<size_t>& field_of = columns_of(record, order);
    literals.resize(schema.size());
    for (const size_t eye : order) {
        literals[eye].clear();
        append_literal(eye, *record[field_of[eye]], literals[eye]);
    }
    return field_of;
}

bool ora_table::exact_value(size_t eye, const udb_field& field, ora_column_value& out) {
    t_ftd& column = schema.column(eye);
    if (ora_lob_insert::is_lob_column(column)) {
        out.shape = column.vartype == VT_BSTR ? ora_shape::empty_clob : ora_shape::empty_blob;
        out.text = {};
        return true;
    }
    if (!exact_column_value(field, column.vartype, number_text_, out)) {
        return false;
    }
    if (out.shape == ora_shape::null && column.b_not_null && !is_primary_key_column(column.name)) {
        reset_not_null_flag(eye);
    }
    return true;
}

void ora_table::append_record(udb_record& record) {
    TK_TRACE("ora_table::append_record");
    column_literals(record, literals_, order_);
    std::u16string& columns = columns_text_;
    std::u16string& values = values_text_;
    columns.assign(u"INSERT /*+ APPEND */ INTO \"");
    columns += name;
    columns += u"\" (";
    values.assign(u" VALUES(");
    bool b_first = true;
    for (const size_t eye : order_) {
        if (!b_first) {
            columns += u", ";
            values += u", ";
        }
        b_first = false;
        columns += u'"';
        columns += schema.column(eye).name;
        columns += u'"';
        values += literals_[eye];
    }
    columns += u')';
    columns += values;
    // A row with large objects is committed once they are written, so that no row is ever
    // committed without its large objects (a connection lost in between would keep it so).
    bool b_lobs = false;
    for (const size_t eye : order_) {
        b_lobs = b_lobs || ora_lob_insert::is_lob_column(schema.column(eye));
    }
    const std::u16string rowid = rowid_->do_insert(columns, !b_lobs);
    TK_TRACEW(u"GOT ROWID(2): %s", rowid.c_str());
    if (b_lobs) {
        ora_engine& engine = ora_engine::instance();
        try {
            ora_lob_insert lobs(name, schema);
            lobs.insert(rowid, record, &field_of_);
        } catch (const tk_exception& e) {
            // The record is refused whole: its row goes with its large objects.
            if (ora_fault_of(e) == ora_fault::none) {
                try {
                    engine.execute(u"DELETE FROM \"" + name + u"\" WHERE ROWID='" + rowid + u"'");
                } catch (const tk_exception&) {
                    TK_LOG(2, "The row of a refused record could not be deleted");
                }
            }
            throw;
        }
        engine.check_err(ora_oci().trans_commit(engine.svc(), engine.err(), OCI_DEFAULT));
    }
    ++records_cnt;
    TK_TRACE("ora_table::append_record - at the END");
}

void ora_table::get_fld_append_wstr(size_t eye, const udb_field& field, std::u16string& out) {
    TK_TRACE("ora_table::get_fld_append_wstr");
    t_ftd& column = schema.column(eye);
    TK_TRACE("schema[eye]->size=%d", static_cast<int>(column.size));
    if (database_.values == udb_values::exact) {
        ora_column_value value;
        if (exact_value(eye, field, value)) {
            append_oracle_literal(value, out);
            return;
        }
        // A value only a literal says.
        const size_t start = out.size();
        if (column.vartype == VT_BSTR) {
            out += u'N';
        }
        append_oracle_str_exact(&field, column.vartype, out);
        const std::u16string_view literal(out.data() + start, out.size() - start);
        if (literal != u"N''" && literal != u"''") {
            return;
        }
        out.resize(start);  // empty text: Oracle keeps it as NULL
        if (column.b_not_null && !is_primary_key_column(column.name)) {
            reset_not_null_flag(eye);
        }
        out += u"NULL";
        return;
    }
    if (column.vartype == VT_R4 || column.vartype == VT_R8) {
        const VARTYPE kind = field.vt();
        if (kind != VT_NULL && kind != VT_EMPTY) {
            const double value = field.to_double();
            if (!(value >= -number_limit && value <= number_limit)) {
                TK_TRACE("Number is out of range");
                if (column.b_not_null) {
                    const std::u16string literal = make_ora_def_val(&column);
                    if (!literal.empty()) {
                        out += literal;
                        return;
                    }
                    // No default to fall back on: NULL, and the column relaxed below.
                } else {
                    out += u"NULL";
                    return;
                }
                if (!is_primary_key_column(column.name)) {
                    TK_TRACE("Put NULL-field");
                    reset_not_null_flag(eye);
                }
                out += u"NULL";
                return;
            }
        }
    }
    if (ora_lob_insert::is_lob_column(column)) {
        TK_TRACE("Got LOB - put placeholder");
        out += column.vartype == VT_BSTR ? u"EMPTY_CLOB()" : u"EMPTY_BLOB()";
        return;
    }
    const size_t start = out.size();
    if (field.vt() != VT_NULL && field.vt() != VT_EMPTY) {
        // National text: N'...' keeps every character on a server whose database character set
        // is single-byte, where a plain literal is converted to that set first.
        const bool b_national = column.vartype == VT_BSTR;
        if (b_national) {
            out += u'N';
        }
        append_oracle_str(&field, out);
        const std::u16string_view literal(out.data() + start + (b_national ? 1 : 0),
                                          out.size() - start - (b_national ? 1 : 0));
        TK_TRACEW(u"Got field #'%d': '%s' (%d, %d)", static_cast<int>(eye),
                  std::u16string(literal).c_str(), static_cast<int>(column.vartype),
                  static_cast<int>(column.size));
        if (!literal.empty() && literal != u"''" && literal != u"\"\"") {
            if (b_national && literal.front() != u'\'') {
                out.erase(start, 1);  // not a quoted text (HEXTORAW of a GUID)
            }
            return;
        }
        out.resize(start);
    }
    if (column.b_not_null && !is_primary_key_column(column.name)) {
        TK_TRACE("Put NULL-field");
        reset_not_null_flag(eye);
    }
    out += u"NULL";
}

void ora_table::reset_not_null_flag(size_t eye) {
    TK_LOG(2, "ora_table::reset_not_null_flag(%d)", static_cast<int>(eye));
    TK_ASSERT(eye < schema.size(), source_tag);
    t_ftd& column = schema.column(eye);
    if (!column.b_not_null) {
        return;
    }
    std::u16string sql = u"ALTER TABLE \"" + name + u"\" MODIFY \"" + column.name + u"\" " +
                         get_ora_native_type(column, false);
    const std::u16string default_literal = make_ora_def_val(&column);
    if (!default_literal.empty() && !ora_lob_insert::is_lob_column(column)) {
        sql += u" DEFAULT " + default_literal;
    }
    sql += u" NULL";
    TK_LOGW(3, u"Run SQL query: %s\n", sql.c_str());
    ora_engine::instance().execute(sql, OCI_COMMIT_ON_SUCCESS);
    column.b_not_null = false;
}

void ora_table::update(udb_record& record) {
    TK_TRACE("ora_table::update");
    if (key_index < 0) {
        return;
    }
    TK_ASSERT(static_cast<size_t>(key_index) < indexes.size(), source_tag);
    const std::vector<std::u16string>& key = indexes[static_cast<size_t>(key_index)].fields;
    const std::vector<std::u16string>& names = oracle_names(record);
    std::u16string assignments;
    std::u16string conditions;
    for (size_t i = 0; i < record.size(); ++i) {
        TK_TRACEW(u"Got mappend fn: %s", names[i].c_str());
        const t_ftd* found = nullptr;
        for (const t_ftd* ftd : schema) {
            if (tk_wstring::iequals(ftd->name, names[i])) {
                found = ftd;
                break;
            }
        }
        if (found == nullptr) {
            TK_TRACEW(u"Field '%s' is not found in schema", names[i].c_str());
            continue;
        }
        // The column's own spelling, which the key's field list also uses.
        const std::u16string& column = found->name;
        bool b_key = false;
        for (const std::u16string& part : key) {
            b_key = b_key || part == column;
        }
        std::u16string& list = b_key ? conditions : assignments;
        if (b_key) {
            TK_TRACEW(u"Field %s is a part of UKey", column.c_str());
        } else {
            TK_TRACEW(u"Field %s is NOT a part of UKey", column.c_str());
        }
        if (!list.empty()) {
            list += b_key ? u" AND " : u", ";
        }
        list += u'"';
        list += column;
        list += u"\"=";
        // National text as N'...', as in the INSERT.
        const size_t start = list.size();
        const bool b_national = found->vartype == VT_BSTR;
        if (b_national) {
            list += u'N';
        }
        append_oracle_str(record[i], list);
        if (b_national && (list.size() == start + 1 || list[start + 1] != u'\'')) {
            list.erase(start, 1);
        }
    }
    const std::u16string sql =
        u"UPDATE \"" + name + u"\" SET " + assignments + u" WHERE " + conditions;
    TK_LOGW(2, u"UPDATE QUERY: %s", sql.c_str());
    if (conditions.empty()) {
        TK_TRACE("Missing primary/unique key");
        return;
    }
    try {
        database_.query(sql);
    } catch (const tk_exception& e) {
        TK_LOG(2, "%s", e.message.c_str());
    }
}
