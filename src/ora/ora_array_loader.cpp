#include "ora/ora_array_loader.hpp"

#include <algorithm>
#include <string>
#include <string_view>

#include "ora/ora_exception.hpp"
#include "ora/ora_lob_insert.hpp"
#include "ora/ora_table.hpp"
#include "ora/ora_util.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_record.hpp"

namespace {

constexpr ub4 batch_errors = 0x80;
constexpr ub4 attr_num_dml_errors = 73;
constexpr ub4 attr_dml_row_offset = 74;

// Column shapes: how the statement writes the column's bind variable.
constexpr char16_t shape_null = u'0';       // NULL in every kept row so far
constexpr char16_t shape_text = u'T';       // 'text' or a number
constexpr char16_t shape_national = u'N';   // N'text'
constexpr char16_t shape_time = u'h';       // to_date(..., 'HH24-MI-SS')
constexpr char16_t shape_date = u'd';       // to_date(..., 'YYYY-MM-DD')
constexpr char16_t shape_datetime = u'D';   // to_date(..., 'YYYY-MM-DD HH24:MI:SS')
constexpr char16_t shape_timestamp = u'S';  // TO_TIMESTAMP(..., 'YYYY-MM-DD HH24:MI:SS.FF3')
constexpr char16_t shape_hex = u'H';        // HEXTORAW('...')
constexpr char16_t shape_clob = u'C';
constexpr char16_t shape_blob = u'B';
constexpr char16_t shape_empty_clob = u'c';
constexpr char16_t shape_empty_blob = u'b';

bool starts_with(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Reads the quoted literal that starts at `pos` ('' inside stands for one quote) into `out`;
// answers the position after its closing quote, or npos.
size_t read_quoted(std::u16string_view text, size_t pos, std::u16string& out) {
    out.clear();
    if (pos >= text.size() || text[pos] != u'\'') {
        return std::u16string_view::npos;
    }
    for (size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] != u'\'') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'\'') {
            out += u'\'';
            ++i;
        } else {
            return i + 1;
        }
    }
    return std::u16string_view::npos;
}

struct date_form {
    char16_t shape;
    std::u16string_view call;
    std::u16string_view tail;
};

constexpr date_form date_forms[] = {
    {shape_time, u"to_date(", u", 'HH24-MI-SS')"},
    {shape_date, u"to_date(", u", 'YYYY-MM-DD')"},
    {shape_datetime, u"to_date(", u", 'YYYY-MM-DD HH24:MI:SS')"},
    {shape_timestamp, u"TO_TIMESTAMP(", u", 'YYYY-MM-DD HH24:MI:SS.FF3')"},
};

bool is_national_lob(const t_ftd& column) {
    return get_ora_native_type(column, true) == u"NCLOB";
}

}  // namespace

ora_array_loader::ora_array_loader(ora_table& table, const ora_load_settings& settings)
    : table_(table), settings_(settings) {
    settings_.batch_rows = std::max<uint32_t>(settings_.batch_rows, 1);
    rows_.resize(settings_.batch_rows);
}

ora_array_loader::~ora_array_loader() = default;

std::u16string ora_array_loader::shape_of(size_t column, const std::u16string& literal,
                                          const udb_record& record, size_t field, cell& value) {
    value.b_null = false;
    value.text.clear();
    value.bytes.clear();
    const std::u16string_view text(literal);
    if (text == u"NULL") {
        value.b_null = true;
        return {shape_null};
    }
    if (text == u"EMPTY_CLOB()" || text == u"EMPTY_BLOB()") {
        // A large object has content only as text (CLOB) or bytes (BLOB); anything else stays
        // the empty object the row load leaves.
        const udb_field* source = field < record.size() ? record[field] : nullptr;
        if (text == u"EMPTY_CLOB()") {
            if (source != nullptr && source->vt() == VT_BSTR && !source->wstring().empty()) {
                value.text = source->wstring();
                return {shape_clob};
            }
            return {shape_empty_clob};
        }
        const unsigned char* bytes = nullptr;
        const size_t count =
            source != nullptr && source->vt() == VT_BYTE_ARRAY ? source->get_bytes(bytes) : 0;
        if (count == 0) {
            return {shape_empty_blob};
        }
        value.bytes.assign(reinterpret_cast<const char*>(bytes), count);
        return {shape_blob};
    }
    (void)column;
    const bool b_national = starts_with(text, u"N'");
    if (b_national || starts_with(text, u"'")) {
        const size_t end = read_quoted(text, b_national ? 1 : 0, value.text);
        if (end != text.size()) {
            return {};
        }
        if (value.text.empty()) {
            value.b_null = true;  // Oracle reads '' as NULL
            return {shape_null};
        }
        return {b_national ? shape_national : shape_text};
    }
    for (const date_form& form : date_forms) {
        if (!starts_with(text, form.call)) {
            continue;
        }
        const size_t end = read_quoted(text, form.call.size(), value.text);
        if (end != std::u16string_view::npos && text.substr(end) == form.tail) {
            if (value.text.empty()) {
                value.b_null = true;
                return {shape_null};
            }
            return {form.shape};
        }
    }
    if (starts_with(text, u"HEXTORAW(")) {
        const size_t end = read_quoted(text, 9, value.text);
        if (end + 1 == text.size() && text.back() == u')' && !value.text.empty()) {
            return {shape_hex};
        }
        return {};
    }
    if (is_number_text(text)) {
        value.text = literal;
        return {shape_text};
    }
    return {};
}

void ora_array_loader::add(udb_record& record, uint32_t number) {
    const std::vector<size_t>* field_of = nullptr;
    try {
        field_of = &table_.column_literals(record, literals_, order_);
    } catch (...) {
        send();
        settled_through_ = number;
        throw;
    }
    const size_t columns = table_.schema.size();
    scratch_.resize(columns);
    row_shape_.assign(columns, shape_null);
    bool b_known = true;
    for (const size_t eye : order_) {
        const std::u16string shape =
            shape_of(eye, literals_[eye], record, (*field_of)[eye], scratch_[eye]);
        if (shape.empty()) {
            b_known = false;
            break;
        }
        row_shape_[eye] = shape[0];
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
            b_fits = row_shape_[i] == shape_[i] || row_shape_[i] == shape_null ||
                     shape_[i] == shape_null;
        }
        if (!b_fits) {
            send();
        }
    }
    // A NULL column takes the shape it had last (before any, a text in the column's own
    // form), so that its statement is reused; the row keeps its own shape for a resend.
    own_shape_ = row_shape_;
    if (sticky_.size() != columns) {
        sticky_.assign(columns, shape_text);
        for (size_t i = 0; i < columns; ++i) {
            if (table_.schema.column(i).vartype == VT_BSTR) {
                sticky_[i] = shape_national;
            }
        }
    }
    for (size_t i = 0; i < columns; ++i) {
        if (row_shape_[i] == shape_null) {
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
            if (shape_[i] == shape_null) {
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
    std::vector<size_t> bound;
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
        if (kind == shape_empty_clob) {
            values += u"EMPTY_CLOB()";
            continue;
        }
        if (kind == shape_empty_blob) {
            values += u"EMPTY_BLOB()";
            continue;
        }
        std::u16string placeholder = u":";
        for (const char digit : std::to_string(++position)) {
            placeholder += static_cast<char16_t>(digit);
        }
        switch (kind) {
            case shape_time:
            case shape_date:
            case shape_datetime:
            case shape_timestamp:
                for (const date_form& form : date_forms) {
                    if (form.shape == kind) {
                        values += form.call;
                        values += placeholder;
                        values += form.tail;
                    }
                }
                break;
            case shape_hex:
                values += u"HEXTORAW(" + placeholder + u")";
                break;
            default:
                values += placeholder;
        }
        bound.push_back(eye);
    }
    sql += values;
    sql += u')';
    // Shapes that differ only where the statement does not (NULL beside a text) share it; the
    // key adds how each bind is passed.
    std::u16string key = sql;
    key += u'\0';
    for (const size_t eye : bound) {
        key += shape[eye] == shape_blob ? u'B' : u'T';
        key += shape[eye] == shape_national ||
                       (shape[eye] == shape_clob && is_national_lob(table_.schema.column(eye)))
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
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    for (size_t i = 0; i < bound.size(); ++i) {
        const size_t eye = bound[i];
        const char16_t kind = shape[eye];
        const bool b_bytes = kind == shape_blob;
        made->contexts.push_back(std::make_unique<bind_context>(bind_context{this, eye, b_bytes}));
        OCIBind* bind = nullptr;
        engine.check_err(oci.bind_by_pos(made->stmt.handle(), &bind, engine.err(),
                                         static_cast<ub4>(i + 1), nullptr, 0x7FFFFFFF,
                                         b_bytes ? SQLT_LBI : SQLT_CHR, nullptr, nullptr, nullptr,
                                         0, nullptr, OCI_DATA_AT_EXEC));
        ub1 form = SQLCS_IMPLICIT;
        if (kind == shape_national ||
            (kind == shape_clob && is_national_lob(table_.schema.column(eye)))) {
            form = SQLCS_NCHAR;
        }
        engine.check_err(
            oci.attr_set(bind, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, engine.err()));
        engine.check_err(oci.bind_dynamic(bind, engine.err(), made->contexts.back().get(), &cbf_in,
                                          nullptr, nullptr));
    }
    statement& out = *made;
    statements_.emplace(std::move(key), std::move(made));
    return out;
}

int32_t ora_array_loader::cbf_in(void* context, OCIBind* /*bind*/, uint32_t iteration,
                                 uint32_t /*index*/, void** buffer, uint32_t* length,
                                 uint8_t* piece, void** indicator) {
    const auto* bound = static_cast<const bind_context*>(context);
    ora_array_loader& self = *bound->loader;
    const cell& value = self.rows_[self.first_ + iteration].cells[bound->column];
    *piece = OCI_ONE_PIECE;
    if (value.b_null) {
        *buffer = nullptr;
        *length = 0;
        *indicator = &self.null_indicator_;
        return OCI_CONTINUE;
    }
    if (bound->b_bytes) {
        *buffer = const_cast<char*>(value.bytes.data());
        *length = static_cast<uint32_t>(value.bytes.size());
    } else {
        *buffer = const_cast<char16_t*>(value.text.data());
        *length = static_cast<uint32_t>(value.text.size() * sizeof(char16_t));
    }
    *indicator = &self.value_indicator_;
    return OCI_CONTINUE;
}

size_t ora_array_loader::execute(const std::u16string& shape, size_t first, size_t count) {
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    statement& prepared_statement = prepared(shape);
    first_ = first;
    prepared_statement.stmt.execute(static_cast<uint32_t>(count), batch_errors);
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
        if (offset < count) {
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

void ora_array_loader::send() {
    if (kept_ == 0) {
        return;
    }
    const size_t count = kept_;
    kept_ = 0;
    settled_through_ = rows_[count - 1].number;
    size_t refused = 0;
    try {
        refused = execute(shape_, 0, count);
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
        refused = 0;
        for (size_t i = 0; i < count; ++i) {
            if (count == 1 && rows_[i].shape == shape_) {
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
    const uint32_t stored = static_cast<uint32_t>(count - refused);
    table_.records_cnt += stored;
    rows_sent_ += stored;
    uncommitted_ += stored;
    if (settings_.commit_rows != 0 && uncommitted_ >= settings_.commit_rows) {
        commit();
    }
}
