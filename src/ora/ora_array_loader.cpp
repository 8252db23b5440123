#include "ora/ora_array_loader.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "ora/ora_database.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_literal_reader.hpp"
#include "ora/ora_lob_insert.hpp"
#include "ora/ora_table.hpp"
#include "ora/ora_util.hpp"
#include "ora/ora_varnum.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_custom_conversion.hpp"
#include "udb/udb_record.hpp"

namespace {

constexpr ub4 batch_errors = 0x80;
constexpr ub4 attr_num_dml_errors = 73;
constexpr ub4 attr_dml_row_offset = 74;

// Shapes of the array load alone: the INSERT writes such a large object empty, and the rows that
// have content get it by row id afterwards (a large object most rows of a batch leave empty).
constexpr char16_t shape_later_clob = u'k';
constexpr char16_t shape_later_blob = u'p';

// A large object with content is bound; the same column empty in other rows of the batch binds
// NULL there and is made empty after the INSERT.
char16_t bound_shape(char16_t shape) {
    return shape == ora_shape::empty_clob   ? ora_shape::clob
           : shape == ora_shape::empty_blob ? ora_shape::blob
                                            : shape;
}

// Room for a row id returned as text, in UTF-16 units (Oracle's are 18 characters).
constexpr size_t rowid_room = 32;
// The most array bytes one execute binds: larger batches go out in several executes.
constexpr size_t array_budget = size_t{16} << 20;
// The longest value of a column that is no large object: such a value (which the row load
// would send as a literal) is not sent through an array with a 16-bit length.
constexpr size_t inline_limit = 32767;

bool is_national_lob(const t_ftd& column) {
    return get_ora_native_type(column, true) == u"NCLOB";
}

}  // namespace

ora_array_loader::ora_array_loader(ora_table& table, const ora_load_settings& settings)
    : table_(table), settings_(settings) {
    // At most 65,535 rows per execute: the count of refused rows an execute reports is 16 bits
    // wide in some clients.
    settings_.batch_rows = std::clamp<uint32_t>(settings_.batch_rows, 1, 65535);
    rows_.resize(settings_.batch_rows);
}

ora_array_loader::~ora_array_loader() {
    for (const column_array& array : arrays_) {
        for (OCIDateTime* stamp : array.stamps) {
            ora_oci().descriptor_free(stamp, OCI_DTYPE_TIMESTAMP);
        }
    }
}

char16_t ora_array_loader::object_shape(bool b_clob, const udb_record& record, size_t field,
                                        cell& value) {
    // A large object has content only as text (CLOB) or bytes (BLOB); anything else stays the
    // empty object the row load leaves.
    const udb_field* source = field < record.size() ? record[field] : nullptr;
    if (b_clob) {
        if (source != nullptr && source->vt() == VT_BSTR && !source->wstring().empty()) {
            value.text = source->wstring();
            return ora_shape::clob;
        }
        return ora_shape::empty_clob;
    }
    const unsigned char* bytes = nullptr;
    const size_t count =
        source != nullptr && source->vt() == VT_BYTE_ARRAY ? source->get_bytes(bytes) : 0;
    if (count == 0) {
        return ora_shape::empty_blob;
    }
    value.bytes.assign(reinterpret_cast<const char*>(bytes), count);
    return ora_shape::blob;
}

char16_t ora_array_loader::bound_value(const ora_column_value& given, const udb_record& record,
                                       size_t field, cell& value) {
    switch (given.shape) {
        case ora_shape::null:
            value.b_null = true;
            return ora_shape::null;
        case ora_shape::empty_clob:
        case ora_shape::empty_blob:
            return object_shape(given.shape == ora_shape::empty_clob, record, field, value);
        case ora_shape::number:
            if (to_ora_varnum(given.text, value.number)) {
                return ora_shape::number;
            }
            value.text.assign(given.text);  // the server reads the text
            return ora_shape::text;
        case ora_shape::datetime:
        case ora_shape::timestamp:
            // Every date goes as a timestamp: a DATE column keeps it whole when it has no
            // milliseconds, and takes one with milliseconds as it takes the TO_TIMESTAMP the
            // row load writes. One kind of bind keeps a column's rows in one statement.
            value.date = given.date;
            return ora_shape::timestamp;
        default:
            value.text.assign(given.text);
            return given.shape;
    }
}

char16_t ora_array_loader::shape_of(const std::u16string& literal, const udb_record& record,
                                    size_t field, cell& value) {
    value.b_null = false;
    value.text.clear();
    value.bytes.clear();
    if (literal == u"EMPTY_CLOB()" || literal == u"EMPTY_BLOB()") {
        return object_shape(literal == u"EMPTY_CLOB()", record, field, value);
    }
    const char16_t shape = read_literal(literal, value.text);
    value.b_null = shape == ora_shape::null;
    if (shape == ora_shape::number) {
        // A bare number: bound in Oracle's form when it fits one, which no session setting
        // reads differently.
        return to_ora_varnum(value.text, value.number) ? ora_shape::number : ora_shape::text;
    }
    return shape;
}

void ora_array_loader::add(udb_record& record, uint32_t number) {
    const size_t columns = table_.schema.size();
    scratch_.resize(columns);
    row_shape_.assign(columns, ora_shape::null);
    literals_.resize(columns);
    bool b_known = true;
    try {
        // Under exact values each field gives its value as it stands; otherwise (and for a
        // custom conversion or a value only a literal says) the row load's literal is taken
        // apart.
        const bool b_exact = table_.database().values == udb_values::exact;
        const std::vector<size_t>& field_of = table_.columns_of(record, order_);
        for (const size_t eye : order_) {
            const udb_field& field = *record[field_of[eye]];
            cell& value = scratch_[eye];
            value.b_null = false;
            value.text.clear();
            value.bytes.clear();
            ora_column_value given;
            char16_t shape = 0;
            if (b_exact && !udb_custom_conversion::is_acceptable2(field) &&
                table_.exact_value(eye, field, given)) {
                shape = bound_value(given, record, field_of[eye], value);
            } else {
                literals_[eye].clear();
                table_.append_literal(eye, field, literals_[eye]);
                shape = shape_of(literals_[eye], record, field_of[eye], value);
            }
            if (shape == 0 || (shape != ora_shape::clob && value.text.size() > inline_limit)) {
                b_known = false;
            }
            row_shape_[eye] = shape;
        }
    } catch (...) {
        send();
        settled_through_ = number;
        throw;
    }
    if (!b_known) {
        // A value this load cannot bind as the row load writes it: the row load sends it.
        TK_LOG(2, "Record %d is sent on its own", static_cast<int>(number));
        send();
        settled_through_ = number;
        // The row load commits what the session holds, the kept rows' stores included.
        committing(number, rows_sent_ + 1);
        try {
            table_.append_record(record);
        } catch (const tk_exception& e) {
            if (ora_fault_of(e) == ora_fault::none && uncommitted_ == 0) {
                committed(number, rows_sent_);
            }
            throw;
        }
        uncommitted_ = 0;
        committed(number, ++rows_sent_);
        return;
    }
    // NULL fits any shape; any other difference starts a new batch.
    if (kept_ != 0) {
        bool b_fits = order_ == current_order_;
        for (size_t i = 0; b_fits && i < columns; ++i) {
            b_fits = row_shape_[i] == shape_[i] || row_shape_[i] == ora_shape::null ||
                     shape_[i] == ora_shape::null ||
                     bound_shape(row_shape_[i]) == bound_shape(shape_[i]);
        }
        if (!b_fits) {
            send();
        }
    }
    // A NULL column takes the shape it had last (before any, a text in the column's own
    // form), so that its statement is reused; the row keeps its own shape for a resend.
    own_shape_ = row_shape_;
    if (sticky_.size() != columns) {
        const bool b_exact = table_.database().values == udb_values::exact;
        sticky_.assign(columns, ora_shape::text);
        for (size_t i = 0; i < columns; ++i) {
            const t_ftd& column = table_.schema.column(i);
            if (column.vartype == VT_BSTR) {
                sticky_[i] = ora_shape::national;
            } else if (b_exact && column.vartype == VT_DATE) {
                sticky_[i] = ora_shape::timestamp;
            } else if (column.vartype != VT_DATE && !ole_variant::is_binary(column.vartype)) {
                sticky_[i] = ora_shape::number;
            }
        }
    }
    for (size_t i = 0; i < columns; ++i) {
        if (row_shape_[i] == ora_shape::null) {
            row_shape_[i] = sticky_[i];
        } else {
            sticky_[i] = row_shape_[i];
        }
    }
    if (kept_ == 0) {
        shape_ = row_shape_;
        current_order_ = order_;
    } else {
        for (size_t i = 0; i < columns; ++i) {
            if (shape_[i] == ora_shape::null || bound_shape(shape_[i]) == row_shape_[i]) {
                shape_[i] = row_shape_[i];
            }
        }
    }
    row& kept = rows_[kept_++];
    kept.number = number;
    kept.shape = own_shape_;
    kept.cells.resize(columns);
    for (size_t i = 0; i < columns; ++i) {
        std::swap(kept.cells[i], scratch_[i]);
    }
    if (kept_ == rows_.size()) {
        send();
    }
}

void ora_array_loader::flush() {
    send();
    commit();
}

uint32_t ora_array_loader::abandon() {
    const auto dropped = static_cast<uint32_t>(kept_);
    kept_ = 0;
    commit();
    return dropped;
}

void ora_array_loader::commit() {
    if (uncommitted_ == 0) {
        return;
    }
    ora_engine& engine = ora_engine::instance();
    committing(settled_through_, rows_sent_);
    engine.check_err(ora_oci().trans_commit(engine.svc(), engine.err(), OCI_DEFAULT));
    uncommitted_ = 0;
    committed(settled_through_, rows_sent_);
}

ora_array_loader::statement& ora_array_loader::prepared(const std::u16string& shape) {
    std::u16string sql = u"INSERT INTO \"" + table_.name + u"\" (";
    std::u16string values = u") VALUES (";
    uint32_t position = 0;
    bool b_first = true;
    bool b_objects = false;
    std::vector<bound_column> bound;
    auto placeholder = [&position] {
        std::u16string out = u":";
        for (const char digit : std::to_string(++position)) {
            out += static_cast<char16_t>(digit);
        }
        return out;
    };
    for (const size_t eye : current_order_) {
        if (!b_first) {
            sql += u", ";
            values += u", ";
        }
        b_first = false;
        sql += u'"';
        sql += table_.schema.column(eye).name;
        sql += u'"';
        const char16_t kind = shape[eye];
        if (kind == ora_shape::empty_clob || kind == ora_shape::empty_blob) {
            values += kind == ora_shape::empty_clob ? u"EMPTY_CLOB()" : u"EMPTY_BLOB()";
            continue;
        }
        if (kind == shape_later_clob || kind == shape_later_blob) {
            values += kind == shape_later_clob ? u"EMPTY_CLOB()" : u"EMPTY_BLOB()";
            b_objects = true;
            continue;
        }
        append_bound_value(kind, placeholder(), values);
        b_objects = b_objects || kind == ora_shape::clob || kind == ora_shape::blob;
        bound.push_back({eye, kind});
    }
    sql += values;
    sql += u')';
    if (b_objects) {
        // Large objects are completed by row id after the INSERT.
        sql += u" RETURNING ROWID INTO " + placeholder();
    }
    // Shapes that differ only where the statement does not (NULL beside a text) share it; the
    // key adds how each bind is passed.
    std::u16string key = sql;
    key += u'\0';
    for (const bound_column& one : bound) {
        key += one.kind;
        key +=
            one.kind == ora_shape::national || (one.kind == ora_shape::clob &&
                                                is_national_lob(table_.schema.column(one.column)))
                ? u'N'
                : u'I';
    }
    auto found = statements_.find(key);
    if (found != statements_.end()) {
        return *found->second;
    }
    auto made = std::make_unique<statement>();
    TK_LOGW(3, u"Prepare SQL query: %s\n", sql.c_str());
    made->stmt.prepare(sql);
    made->columns = std::move(bound);
    made->b_returning = b_objects;
    if (arrays_.size() < made->columns.size()) {
        arrays_.resize(made->columns.size());
    }
    statement& out = *made;
    statements_.emplace(std::move(key), std::move(made));
    return out;
}

void ora_array_loader::bind_numbers(column_array& array, size_t column, size_t first,
                                    size_t count) {
    array.data.resize(sizeof(ora_varnum) * count);
    for (size_t i = 0; i < count; ++i) {
        const cell& value = rows_[first + i].cells[column];
        if (!value.b_null) {
            std::memcpy(array.data.data() + i * sizeof(ora_varnum), value.number.data(),
                        sizeof(ora_varnum));
        }
    }
}

void ora_array_loader::bind_timestamps(column_array& array, size_t column, size_t first,
                                       size_t count) {
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    while (array.stamps.size() < count) {
        void* made = nullptr;
        engine.check_err(
            oci.descriptor_alloc(engine.env(), &made, OCI_DTYPE_TIMESTAMP, 0, nullptr));
        array.stamps.push_back(static_cast<OCIDateTime*>(made));
    }
    array.data.resize(sizeof(OCIDateTime*) * count);
    for (size_t i = 0; i < count; ++i) {
        const cell& value = rows_[first + i].cells[column];
        OCIDateTime* stamp = array.stamps[i];
        std::memcpy(array.data.data() + i * sizeof stamp, &stamp, sizeof stamp);
        if (value.b_null) {
            continue;
        }
        const t_systemtime& t = value.date;
        engine.check_err(oci.date_time_construct(
            engine.env(), engine.err(), stamp, static_cast<sb2>(t.year), static_cast<ub1>(t.month),
            static_cast<ub1>(t.day), static_cast<ub1>(t.hour), static_cast<ub1>(t.minute),
            static_cast<ub1>(t.second), static_cast<ub4>(t.milliseconds) * 1000000U, nullptr, 0));
    }
}

void ora_array_loader::bind_arrays(statement& prepared_statement, size_t first, size_t count) {
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    for (size_t position = 0; position < prepared_statement.columns.size(); ++position) {
        const bound_column& bound = prepared_statement.columns[position];
        column_array& array = arrays_[position];
        array.indicators.resize(count);
        for (size_t i = 0; i < count; ++i) {
            array.indicators[i] = rows_[first + i].cells[bound.column].b_null ? int16_t{-1} : 0;
        }
        OCIBind* bind = nullptr;
        switch (bound.kind) {
            case ora_shape::number:
                bind_numbers(array, bound.column, first, count);
                engine.check_err(oci.bind_by_pos(
                    prepared_statement.stmt.handle(), &bind, engine.err(),
                    static_cast<ub4>(position + 1), array.data.data(), sizeof(ora_varnum), SQLT_VNU,
                    array.indicators.data(), nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
                continue;
            case ora_shape::timestamp:
                bind_timestamps(array, bound.column, first, count);
                engine.check_err(oci.bind_by_pos(prepared_statement.stmt.handle(), &bind,
                                                 engine.err(), static_cast<ub4>(position + 1),
                                                 array.data.data(), sizeof(OCIDateTime*),
                                                 SQLT_TIMESTAMP, array.indicators.data(), nullptr,
                                                 nullptr, 0, nullptr, OCI_DEFAULT));
                continue;
            default:
                break;
        }
        const bool b_bytes = bound.kind == ora_shape::blob;
        // Large objects carry a 4-byte count before their bytes (no 64 KB limit per value);
        // other values a 16-bit length in the length array.
        const bool b_object = b_bytes || bound.kind == ora_shape::clob;
        const size_t prefix = b_object ? sizeof(sb4) : 0;
        size_t widest = 2;
        for (size_t i = first; i < first + count; ++i) {
            const cell& value = rows_[i].cells[bound.column];
            widest = std::max(widest,
                              b_bytes ? value.bytes.size() : value.text.size() * sizeof(char16_t));
        }
        array.stride = (prefix + widest + 3) & ~size_t{3};
        array.data.resize(array.stride * count);
        array.lengths.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const cell& value = rows_[first + i].cells[bound.column];
            const char* bytes =
                b_bytes ? value.bytes.data() : reinterpret_cast<const char*>(value.text.data());
            const size_t size = b_bytes ? value.bytes.size() : value.text.size() * sizeof(char16_t);
            // NULL, and (for a large object) the empty value, made empty after the INSERT.
            const bool b_null = value.b_null || (b_object && size == 0);
            array.indicators[i] = b_null ? int16_t{-1} : int16_t{0};
            char* element = array.data.data() + i * array.stride;
            if (b_object) {
                const auto counted = static_cast<sb4>(b_null ? 0 : size);
                std::memcpy(element, &counted, sizeof counted);
            }
            if (!b_null) {
                std::memcpy(element + prefix, bytes, size);
            }
            array.lengths[i] = static_cast<uint16_t>(b_null ? 0 : size);
        }
        const ub2 type = b_object ? (b_bytes ? SQLT_LVB : SQLT_LVC) : SQLT_CHR;
        engine.check_err(oci.bind_by_pos(
            prepared_statement.stmt.handle(), &bind, engine.err(), static_cast<ub4>(position + 1),
            array.data.data(), static_cast<sb4>(array.stride), type, array.indicators.data(),
            b_object ? nullptr : array.lengths.data(), nullptr, 0, nullptr, OCI_DEFAULT));
        ub1 form = SQLCS_IMPLICIT;
        if (bound.kind == ora_shape::national ||
            (bound.kind == ora_shape::clob &&
             is_national_lob(table_.schema.column(bound.column)))) {
            form = SQLCS_NCHAR;
        }
        engine.check_err(
            oci.attr_set(bind, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, engine.err()));
    }
    if (!prepared_statement.b_returning) {
        return;
    }
    rowids_.resize(count * rowid_room);
    rowid_lengths_.assign(count, 0);
    rowid_indicators_.assign(count, -1);
    rowid_codes_.assign(count, 0);
    OCIBind* bind = nullptr;
    engine.check_err(oci.bind_by_pos(prepared_statement.stmt.handle(), &bind, engine.err(),
                                     static_cast<ub4>(prepared_statement.columns.size() + 1),
                                     nullptr, static_cast<sb4>(rowid_room * sizeof(char16_t)),
                                     SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr,
                                     OCI_DATA_AT_EXEC));
    engine.check_err(
        oci.bind_dynamic(bind, engine.err(), this, &cbf_rowid_in, this, &cbf_rowid_out));
}

int32_t ora_array_loader::cbf_rowid_in(void* context, OCIBind* /*bind*/, uint32_t /*iteration*/,
                                       uint32_t /*index*/, void** buffer, uint32_t* length,
                                       uint8_t* piece, void** indicator) {
    auto& self = *static_cast<ora_array_loader*>(context);
    *buffer = nullptr;
    *length = 0;
    *piece = OCI_ONE_PIECE;
    self.rowid_indicator_in_ = -1;
    *indicator = &self.rowid_indicator_in_;
    return OCI_CONTINUE;
}

int32_t ora_array_loader::cbf_rowid_out(void* context, OCIBind* /*bind*/, uint32_t iteration,
                                        uint32_t /*index*/, void** buffer, uint32_t** length,
                                        uint8_t* piece, void** indicator, uint16_t** code) {
    auto& self = *static_cast<ora_array_loader*>(context);
    if (iteration >= self.rowid_indicators_.size()) {
        return OCI_ERROR;
    }
    *buffer = self.rowids_.data() + iteration * rowid_room;
    self.rowid_lengths_[iteration] = rowid_room * sizeof(char16_t);
    *length = &self.rowid_lengths_[iteration];
    *piece = OCI_ONE_PIECE;
    *indicator = &self.rowid_indicators_[iteration];
    *code = &self.rowid_codes_[iteration];
    return OCI_CONTINUE;
}

size_t ora_array_loader::execute(const std::u16string& shape, size_t first, size_t count) {
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    statement& prepared_statement = prepared(shape);
    last_ = nullptr;
    bind_arrays(prepared_statement, first, count);
    prepared_statement.stmt.execute(static_cast<uint32_t>(count), batch_errors);
    last_ = &prepared_statement;
    failed_.assign(count, 0);
    ub4 errors = 0;
    engine.check_err(oci.attr_get(prepared_statement.stmt.handle(), OCI_HTYPE_STMT, &errors,
                                  nullptr, attr_num_dml_errors, engine.err()));
    std::vector<ora_rejected_row> found;
    void* row_error = nullptr;
    for (ub4 i = 0; i < errors; ++i) {
        engine.check_err(oci.param_get(engine.err(), OCI_HTYPE_ERROR, engine.err(), &row_error, i));
        ub4 offset = 0;
        oci.attr_get(row_error, OCI_HTYPE_ERROR, &offset, nullptr, attr_dml_row_offset,
                     engine.err());
        // The same text and number the row load's failed execute gives.
        char16_t text[256] = {};
        sb4 code = 0;
        oci.error_get(row_error, 1, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text,
                      OCI_HTYPE_ERROR);
        text[255] = u'\0';
        if (ora_fault_of(static_cast<uint16_t>(code & 0xFFFF)) != ora_fault::none) {
            // No room left or no session: the rows after it would meet the same.
            throw ora_exception(static_cast<uint16_t>(code & 0xFFFF),
                                tk_w2a(std::u16string_view(text)));
        }
        if (offset < count && failed_[offset] == 0) {
            failed_[offset] = 1;
            found.push_back(
                {rows_[first + offset].number,
                 std::make_exception_ptr(ora_exception(static_cast<uint16_t>(code & 0xFFFF),
                                                       tk_w2a(std::u16string_view(text))))});
        }
    }
    std::sort(found.begin(), found.end(), [](const ora_rejected_row& a, const ora_rejected_row& b) {
        return a.number < b.number;
    });
    for (ora_rejected_row& one : found) {
        rejected_.push_back(std::move(one));
    }
    return found.size();
}

void ora_array_loader::empty_large_objects(const statement& prepared_statement, size_t first,
                                           size_t count) {
    if (!prepared_statement.b_returning) {
        return;
    }
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    for (const bound_column& bound : prepared_statement.columns) {
        const bool b_bytes = bound.kind == ora_shape::blob;
        if (!b_bytes && bound.kind != ora_shape::clob) {
            continue;
        }
        empty_rowids_.clear();
        empty_rowid_lengths_.clear();
        for (size_t i = 0; i < count; ++i) {
            const cell& value = rows_[first + i].cells[bound.column];
            const bool b_empty = b_bytes ? value.bytes.empty() : value.text.empty();
            if (!b_empty || failed_[i] != 0 || rowid_indicators_[i] != 0) {
                continue;
            }
            const size_t units = std::min<size_t>(rowid_lengths_[i] / sizeof(char16_t), rowid_room);
            const char16_t* id = rowids_.data() + i * rowid_room;
            empty_rowids_.insert(empty_rowids_.end(), id, id + rowid_room);
            empty_rowid_lengths_.push_back(static_cast<uint16_t>(units * sizeof(char16_t)));
        }
        if (empty_rowid_lengths_.empty()) {
            continue;
        }
        std::unique_ptr<ora_stmt>& update = emptiers_[bound.column];
        if (update == nullptr) {
            update = std::make_unique<ora_stmt>();
            update->prepare(u"UPDATE \"" + table_.name + u"\" SET \"" +
                            table_.schema.column(bound.column).name + u"\" = " +
                            (b_bytes ? u"EMPTY_BLOB()" : u"EMPTY_CLOB()") + u" WHERE ROWID = :1");
        }
        OCIBind* bind = nullptr;
        engine.check_err(
            oci.bind_by_pos(update->handle(), &bind, engine.err(), 1, empty_rowids_.data(),
                            static_cast<sb4>(rowid_room * sizeof(char16_t)), SQLT_CHR, nullptr,
                            empty_rowid_lengths_.data(), nullptr, 0, nullptr, OCI_DEFAULT));
        update->execute(static_cast<uint32_t>(empty_rowid_lengths_.size()));
    }
}

void ora_array_loader::fill_large_objects(size_t first, size_t count) {
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    for (size_t column = 0; column < chunk_shape_.size(); ++column) {
        const bool b_bytes = chunk_shape_[column] == shape_later_blob;
        if (!b_bytes && chunk_shape_[column] != shape_later_clob) {
            continue;
        }
        size_t widest = 0;
        size_t rows = 0;
        for (size_t i = 0; i < count; ++i) {
            const cell& value = rows_[first + i].cells[column];
            const size_t size = b_bytes ? value.bytes.size() : value.text.size() * 2;
            if (size != 0 && failed_[i] == 0 && rowid_indicators_[i] == 0) {
                widest = std::max(widest, size);
                ++rows;
            }
        }
        if (rows == 0) {
            continue;
        }
        column_array& array = filler_;
        array.stride = (sizeof(sb4) + widest + 3) & ~size_t{3};
        array.data.resize(array.stride * rows);
        empty_rowids_.resize(rows * rowid_room);
        empty_rowid_lengths_.resize(rows);
        size_t n = 0;
        for (size_t i = 0; i < count; ++i) {
            const cell& value = rows_[first + i].cells[column];
            const size_t size = b_bytes ? value.bytes.size() : value.text.size() * 2;
            if (size == 0 || failed_[i] != 0 || rowid_indicators_[i] != 0) {
                continue;
            }
            char* element = array.data.data() + n * array.stride;
            const auto counted = static_cast<sb4>(size);
            std::memcpy(element, &counted, sizeof counted);
            std::memcpy(
                element + sizeof counted,
                b_bytes ? value.bytes.data() : reinterpret_cast<const char*>(value.text.data()),
                size);
            const size_t units = std::min<size_t>(rowid_lengths_[i] / sizeof(char16_t), rowid_room);
            std::copy_n(rowids_.data() + i * rowid_room, rowid_room,
                        empty_rowids_.data() + n * rowid_room);
            empty_rowid_lengths_[n] = static_cast<uint16_t>(units * sizeof(char16_t));
            ++n;
        }
        std::unique_ptr<ora_stmt>& update = fillers_[column];
        if (update == nullptr) {
            update = std::make_unique<ora_stmt>();
            update->prepare(u"UPDATE \"" + table_.name + u"\" SET \"" +
                            table_.schema.column(column).name + u"\" = :1 WHERE ROWID = :2");
        }
        OCIBind* bind = nullptr;
        engine.check_err(oci.bind_by_pos(update->handle(), &bind, engine.err(), 1,
                                         array.data.data(), static_cast<sb4>(array.stride),
                                         b_bytes ? SQLT_LVB : SQLT_LVC, nullptr, nullptr, nullptr,
                                         0, nullptr, OCI_DEFAULT));
        ub1 form = !b_bytes && is_national_lob(table_.schema.column(column)) ? SQLCS_NCHAR
                                                                             : SQLCS_IMPLICIT;
        engine.check_err(
            oci.attr_set(bind, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, engine.err()));
        bind = nullptr;
        engine.check_err(
            oci.bind_by_pos(update->handle(), &bind, engine.err(), 2, empty_rowids_.data(),
                            static_cast<sb4>(rowid_room * sizeof(char16_t)), SQLT_CHR, nullptr,
                            empty_rowid_lengths_.data(), nullptr, 0, nullptr, OCI_DEFAULT));
        update->execute(static_cast<uint32_t>(rows));
    }
}

void ora_array_loader::send() {
    if (kept_ == 0) {
        return;
    }
    const size_t count = kept_;
    kept_ = 0;
    settled_through_ = rows_[count - 1].number;
    const size_t columns = table_.schema.size();
    size_t refused = 0;
    size_t first = 0;
    while (first < count) {
        // As many rows as the array budget holds, at least one.
        widths_.assign(columns, 0);
        size_t row_bytes = 0;
        size_t end = first;
        for (; end < count; ++end) {
            size_t grown = row_bytes;
            for (size_t c = 0; c < columns; ++c) {
                const cell& value = rows_[end].cells[c];
                const size_t width = value.bytes.size() + value.text.size() * sizeof(char16_t) + 8;
                if (width > widths_[c]) {
                    grown += width - widths_[c];
                }
            }
            if (end > first && grown * (end - first + 1) > array_budget) {
                break;
            }
            row_bytes = grown;
            for (size_t c = 0; c < columns; ++c) {
                const cell& value = rows_[end].cells[c];
                widths_[c] = std::max(
                    widths_[c], value.bytes.size() + value.text.size() * sizeof(char16_t) + 8);
            }
        }
        const size_t chunk = end - first;
        // A large object filled in fewer rows than it is empty in is written empty and filled
        // afterwards, so that the work by row id goes to the fewer rows.
        chunk_shape_ = shape_;
        for (size_t c = 0; c < columns; ++c) {
            const bool b_blob = shape_[c] == ora_shape::blob;
            if (!b_blob && shape_[c] != ora_shape::clob) {
                continue;
            }
            size_t filled = 0;
            for (size_t i = first; i < end; ++i) {
                const cell& value = rows_[i].cells[c];
                filled += (b_blob ? value.bytes.empty() : value.text.empty()) ? 0 : 1;
            }
            if (filled * 2 < chunk) {
                chunk_shape_[c] = b_blob ? shape_later_blob : shape_later_clob;
            }
        }
        bool b_sent = false;
        try {
            refused += execute(chunk_shape_, first, chunk);
            b_sent = true;
        } catch (const tk_exception& e) {
            // Without a session or without room every row would fail the same way: the caller
            // ends the table or the run.
            if (ora_fault_of(e) != ora_fault::none) {
                throw;
            }
            // The execute failed as a whole (a statement the server cannot take): each row is
            // sent on its own with its own shape, as the row load would, so a row that can be
            // stored is, and each refusal carries its row's reason.
            const std::exception_ptr failure = std::current_exception();
            for (size_t i = first; i < end; ++i) {
                if (chunk == 1 && rows_[i].shape == chunk_shape_) {
                    rejected_.push_back({rows_[i].number, failure});
                    ++refused;
                    continue;
                }
                try {
                    refused += execute(rows_[i].shape, i, 1);
                } catch (const tk_exception& one) {
                    if (ora_fault_of(one) != ora_fault::none) {
                        throw;
                    }
                    rejected_.push_back({rows_[i].number, std::current_exception()});
                    ++refused;
                }
            }
        }
        if (b_sent && last_ != nullptr) {
            empty_large_objects(*last_, first, chunk);
            fill_large_objects(first, chunk);
        }
        first = end;
    }
    const uint32_t stored = static_cast<uint32_t>(count - refused);
    table_.records_cnt += stored;
    rows_sent_ += stored;
    uncommitted_ += stored;
    if (settings_.commit_rows != 0 && uncommitted_ >= settings_.commit_rows) {
        commit();
    }
}
