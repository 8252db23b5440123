// CREATE, ALTER and DROP of tables, indexes, sequences and triggers.
#include <algorithm>

#include "expr_eval.h"
#include "oracle_model.h"
#include "session.h"
#include "text_codec.h"
#include "value_rules.h"

namespace ocisim {
namespace {

std::string sqlite_index_name(const std::string& owner, const std::string& index) {
    return "ocisim_ix_" + owner + "_" + index;
}

std::vector<std::string> names_of(const std::vector<Ident>& ids) {
    std::vector<std::string> out;
    for (const Ident& i : ids) {
        out.push_back(i.name);
    }
    return out;
}

// The SQLite columns of `cols` of table `t`, quoted and separated by commas.
std::string quoted_list(const TableDef& t, const std::vector<std::string>& cols) {
    std::string out;
    for (size_t i = 0; i < cols.size(); ++i) {
        out += (i > 0 ? ", " : "") + sql_quote_ident(t.storage_of(cols[i]));
    }
    return out;
}

// The class of value a DEFAULT expression yields, as far as the datatype check needs it.
const char* default_class(const Expr& e) {
    switch (e.kind) {
        case ExprKind::Number:
        case ExprKind::Negate:
        case ExprKind::NextVal:
            return "NUMBER";
        case ExprKind::String:
            return "CHAR";
        case ExprKind::Func:
            if (e.text == "TO_DATE" || e.text == "TO_TIMESTAMP" || e.text == "SYSDATE")
                return "DATE";
            if (e.text == "EMPTY_CLOB")
                return "CLOB";
            if (e.text == "EMPTY_BLOB")
                return "BLOB";
            if (e.text == "HEXTORAW")
                return "BINARY";
            return "";
        default:
            return "";
    }
}

// Oracle refuses a DEFAULT whose datatype cannot become the column's.
void check_default(const ColumnClause& c) {
    if (!c.default_expr) {
        return;
    }
    std::vector<std::string> cols;
    columns_of(*c.default_expr, &cols);
    if (!cols.empty()) {
        throw ora(984);
    }
    std::string got = default_class(*c.default_expr);
    if (got.empty()) {
        return;
    }
    const ColumnType& ty = *c.type;
    std::string expected;
    bool ok = true;
    switch (ty.kind) {
        case TypeKind::Blob:
            expected = "BLOB";
            ok = got == "BLOB" || got == "BINARY" || got == "CHAR";
            break;
        case TypeKind::Clob:
        case TypeKind::NClob:
            expected = "CLOB";
            ok = got == "CLOB" || got == "CHAR" || got == "NUMBER" || got == "DATE";
            break;
        case TypeKind::Number:
        case TypeKind::Float:
            expected = "NUMBER";
            ok = got == "NUMBER" || got == "CHAR";
            break;
        case TypeKind::Date:
        case TypeKind::Timestamp:
            expected = "DATE";
            ok = got == "DATE" || got == "CHAR";
            break;
        case TypeKind::Raw:
        case TypeKind::LongRaw:
            expected = "BINARY";
            ok = got == "BINARY" || got == "CHAR";
            break;
        default:
            expected = "CHAR";
            ok = got != "CLOB" && got != "BLOB";
            break;
    }
    if (!ok) {
        throw ora(932, {expected, got});
    }
}

bool same_columns(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    return a == b;
}

bool same_column_set(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

// A key's kind and columns, each column checked: it must exist (ORA-00904) and may not be a
// large object or LONG (ORA-02329).
// An index entry must fit an 8 KB block: the columns' declared byte lengths may add up to at
// most this many bytes (ORA-01450).
constexpr int kMaxKeyBytes = 6398;

void check_key_length(int bytes) {
    if (bytes > kMaxKeyBytes) {
        throw ora(1450, {std::to_string(kMaxKeyBytes)});
    }
}

KeyDef key_of(const TableDef& t, const KeyClause& k, int max_char_bytes) {
    KeyDef key;
    key.type = k.type;
    key.columns = names_of(k.columns);
    int bytes = 0;
    for (const std::string& col : key.columns) {
        int i = t.find_column(col);
        if (i < 0) {
            throw ora(904, {"\"" + col + "\""});
        }
        const ColumnType& ty = t.columns[static_cast<size_t>(i)].type;
        if (ty.is_lob() || ty.is_long()) {
            throw ora(2329, {ty.data_type_name()});
        }
        bytes += ty.data_length(max_char_bytes);
    }
    check_key_length(bytes);
    return key;
}

}  // namespace

ExecResult Session::run_ddl_statement(const Statement& st) {
    ExecResult r;
    try {
        run_ddl([&] {
            std::visit(
                [&](const auto& body) {
                    using T = std::decay_t<decltype(body)>;
                    if constexpr (std::is_same_v<T, CreateTable>) {
                        create_table(body);
                    } else if constexpr (std::is_same_v<T, DropTable>) {
                        drop_table(body);
                    } else if constexpr (std::is_same_v<T, AlterTable>) {
                        alter_table(body);
                    } else if constexpr (std::is_same_v<T, CreateIndex>) {
                        create_index(body);
                    } else if constexpr (std::is_same_v<T, CreateSequence>) {
                        create_sequence(body);
                    } else if constexpr (std::is_same_v<T, CreateTrigger>) {
                        r.warning = create_trigger(body);
                    } else if constexpr (std::is_same_v<T, DropObject>) {
                        drop_object(body);
                    }
                },
                st.body);
        });
    } catch (const SqliteError& e) {
        raise_sqlite(e, nullptr);
    }
    return r;
}

void Session::create_table(const CreateTable& s) {
    check_privilege("CREATE TABLE");
    if (!s.table.schema.empty() && s.table.schema.name != user_) {
        throw ora(1031);
    }
    const std::string& name = s.table.name.name;
    if (catalog_.find_object(user_, name, "TABLE")) {
        throw ora(955);
    }
    auto t = std::make_shared<TableDef>();
    t->owner = user_;
    t->name = name;
    int longs = 0;
    for (const ColumnClause& c : s.columns) {
        for (const ColumnDef& existing : t->columns) {
            if (existing.name == c.name.name) {
                throw ora(957);
            }
        }
        check_default(c);
        longs += c.type->is_long();
        if (longs > 1) {
            throw ora(1754);
        }
        ColumnDef d;
        d.name = c.name.name;
        d.type = *c.type;
        d.nullable = c.nullability != Nullability::NotNull;
        if (c.has_default) {
            d.data_default = c.default_text;
        }
        t->columns.push_back(std::move(d));
    }
    bool has_primary = false;
    std::vector<KeyDef> keys;
    for (const KeyClause& k : s.constraints) {
        KeyDef key = key_of(*t, k, settings_.max_char_bytes());
        if (k.type == 'P') {
            if (has_primary) {
                throw ora(2260);
            }
            has_primary = true;
        }
        for (const KeyDef& other : keys) {
            if (same_column_set(other.columns, key.columns)) {
                throw ora(2261);
            }
            if (!k.name.empty() && other.name == k.name.name) {
                throw ora(2264);
            }
        }
        if (!k.name.empty() && catalog_.constraint_name_used(user_, k.name.name)) {
            throw ora(2264);
        }
        key.generated = k.name.empty();
        key.name = k.name.name;
        keys.push_back(std::move(key));
    }
    t->id = catalog_.add_object(user_, name, "TABLE");
    // Each Oracle table is the SQLite table of its name where SQLite has none of that name yet;
    // otherwise (another schema's, or one differing only in letter case) its name and object id.
    t->storage = name;
    for (int n = 0; catalog_.storage_taken(t->storage); ++n) {
        t->storage = name + "$" + std::to_string(t->id) + (n > 0 ? "_" + std::to_string(n) : "");
    }
    catalog_.set_storage(t->id, t->storage);
    std::string ddl = "CREATE TABLE " + sql_quote_ident(t->storage) + " (";
    for (size_t i = 0; i < t->columns.size(); ++i) {
        ColumnDef& c = t->columns[i];
        c.storage = c.name;
        for (size_t j = 0; j < i; ++j) {
            if (upper_ascii(t->columns[j].storage) == upper_ascii(c.storage)) {
                c.storage = c.name + "$" + std::to_string(i + 1);
                j = static_cast<size_t>(-1);  // check the new name against all again
            }
        }
        ddl += (i > 0 ? ", " : "") + sql_quote_ident(c.storage) + " " + c.type.declaration();
    }
    db_.exec(ddl + ")");
    for (ColumnDef& c : t->columns) {
        if (!c.nullable) {
            KeyDef nn;
            nn.type = 'C';
            nn.name = catalog_.next_constraint_name();
            nn.generated = true;
            nn.columns = {c.name};
            nn.search_condition = "\"" + c.name + "\" IS NOT NULL";
            catalog_.add_key(user_, t->id, nn);
        }
    }
    for (KeyDef& k : keys) {
        if (k.generated) {
            k.name = catalog_.next_constraint_name();
        }
        if (catalog_.index_name_used(user_, k.name)) {
            throw ora(955);
        }
        k.index_name = k.name;
        if (k.type == 'P') {
            for (const std::string& col : k.columns) {
                t->columns[static_cast<size_t>(t->find_column(col))].nullable = false;
            }
        }
        catalog_.add_key(user_, t->id, k);
        IndexDef idx{k.name, true, k.columns, k.generated};
        catalog_.add_index(user_, t->id, idx);
        db_.exec("CREATE UNIQUE INDEX " + sql_quote_ident(sqlite_index_name(user_, k.name)) +
                 " ON " + sql_quote_ident(t->storage) + " (" + quoted_list(*t, k.columns) + ")");
    }
    catalog_.save_columns(*t);
}

void Session::drop_table(const DropTable& s) {
    auto t = find_table(s.table);
    db_.exec("DROP TABLE " + sql_quote_ident(t->storage));
    catalog_.remove_keys_of(t->id);
    catalog_.remove_indexes_of(t->id);
    catalog_.remove_triggers_of(t->id);
    SqlStmt st = db_.prepare("DELETE FROM ocisim_columns WHERE object_id = ?");
    st.bind(1, t->id);
    st.step();
    catalog_.remove_object(t->id);
}

void Session::alter_table(const AlterTable& s) {
    auto t = find_table(s.table);
    if (s.add_constraint) {
        const KeyClause& k = *s.add_constraint;
        KeyDef key = key_of(*t, k, settings_.max_char_bytes());
        if (!k.name.empty() && catalog_.constraint_name_used(user_, k.name.name)) {
            throw ora(2264);
        }
        if (k.type == 'P' && t->primary_key() != nullptr) {
            throw ora(2260);
        }
        for (const KeyDef& other : t->keys) {
            if (other.type != 'C' && same_column_set(other.columns, key.columns)) {
                throw ora(2261);
            }
        }
        key.generated = k.name.empty();
        key.name = key.generated ? catalog_.next_constraint_name() : k.name.name;
        if (k.type == 'P') {
            std::string where;
            for (const std::string& col : key.columns) {
                where += (where.empty() ? "" : " OR ") + sql_quote_ident(t->storage_of(col)) +
                         " IS NULL";
            }
            SqlStmt st = db_.prepare("SELECT 1 FROM " + sql_quote_ident(t->storage) + " WHERE " +
                                     where + " LIMIT 1");
            if (st.step()) {
                throw ora(1449);
            }
        }
        // An existing index on exactly these columns enforces the key; otherwise one is built
        // under the constraint's name.
        key.index_name.clear();
        for (const IndexDef& i : t->indexes) {
            if (same_columns(i.columns, key.columns)) {
                key.index_name = i.name;
            }
        }
        if (key.index_name.empty()) {
            if (catalog_.index_name_used(user_, key.name)) {
                throw ora(955);
            }
            key.index_name = key.name;
            int rc = db_.exec_code(
                "CREATE UNIQUE INDEX " + sql_quote_ident(sqlite_index_name(user_, key.name)) +
                " ON " + sql_quote_ident(t->storage) + " (" + quoted_list(*t, key.columns) + ")");
            if (rc != SQLITE_OK) {
                throw ora(2299, {user_, key.name});
            }
            catalog_.add_index(user_, t->id, IndexDef{key.name, true, key.columns, key.generated});
        }
        catalog_.add_key(user_, t->id, key);
        if (k.type == 'P') {
            for (const std::string& col : key.columns) {
                t->columns[static_cast<size_t>(t->find_column(col))].nullable = false;
            }
            catalog_.save_columns(*t);
        }
        return;
    }
    const KeyDef* pk = t->primary_key();
    for (const ColumnClause& m : s.modify) {
        int idx = t->find_column(m.name.name);
        if (idx < 0) {
            throw ora(904, {"\"" + m.name.name + "\""});
        }
        ColumnDef& c = t->columns[static_cast<size_t>(idx)];
        std::string quoted_col = sql_quote_ident(c.storage);
        std::string from = " FROM " + sql_quote_ident(t->storage);
        if (m.type) {
            const ColumnType& to = *m.type;
            bool has_data =
                db_.prepare("SELECT 1" + from + " WHERE " + quoted_col + " IS NOT NULL LIMIT 1")
                    .step();
            auto cls = [](const ColumnType& ty) {
                if (ty.is_lob() || ty.is_long())
                    return 0;
                if (ty.kind == TypeKind::Number || ty.kind == TypeKind::Float)
                    return 1;
                if (ty.kind == TypeKind::Date || ty.kind == TypeKind::Timestamp)
                    return 2;
                if (ty.kind == TypeKind::Raw)
                    return 3;
                return 4;
            };
            if ((cls(c.type) == 0 || cls(to) == 0) && c.type.kind != to.kind) {
                throw ora(22859);
            }
            if (has_data && cls(c.type) != cls(to)) {
                throw ora(1439);
            }
            if (has_data && cls(to) == 1 && to.precision != kNoPrecision &&
                (c.type.precision == kNoPrecision || to.precision < c.type.precision ||
                 to.scale < c.type.scale)) {
                throw ora(1440);
            }
            if (has_data && (cls(to) == 4 || cls(to) == 3)) {
                // Every stored value must fit the new length.
                SqlStmt st = db_.prepare("SELECT " + quoted_col + from + " WHERE " + quoted_col +
                                         " IS NOT NULL");
                ColumnDef probe = c;
                probe.type = to;
                while (st.step()) {
                    Value v = load_value(st, 0, c.type);
                    try {
                        to_storage(v, *t, probe, settings_);
                    } catch (const OraError&) {
                        throw ora(1441);
                    }
                }
            }
            c.type = to;
        }
        if (m.has_default) {
            c.data_default = m.default_text;
        }
        if (m.nullability == Nullability::NotNull) {
            if (!c.nullable) {
                throw ora(1442);
            }
            std::string cname = catalog_.next_constraint_name();
            if (db_.prepare("SELECT 1" + from + " WHERE " + quoted_col + " IS NULL LIMIT 1")
                    .step()) {
                throw ora(2296, {user_, cname});
            }
            c.nullable = false;
            KeyDef nn;
            nn.type = 'C';
            nn.name = cname;
            nn.generated = true;
            nn.columns = {c.name};
            nn.search_condition = "\"" + c.name + "\" IS NOT NULL";
            catalog_.add_key(user_, t->id, nn);
        } else if (m.nullability == Nullability::Null) {
            bool in_pk = pk != nullptr && std::find(pk->columns.begin(), pk->columns.end(),
                                                    c.name) != pk->columns.end();
            if (c.nullable || in_pk) {
                throw ora(1451);
            }
            c.nullable = true;
            SqlStmt st = db_.prepare(
                "DELETE FROM ocisim_constraints WHERE table_id = ? AND type = 'C' AND columns = ?");
            st.bind(1, t->id).bind(2, c.name);
            st.step();
        }
    }
    catalog_.save_columns(*t);
}

void Session::create_index(const CreateIndex& s) {
    auto t = find_table(s.table);
    if (catalog_.index_name_used(user_, s.name.name)) {
        throw ora(955);
    }
    std::vector<std::string> cols = names_of(s.columns);
    int bytes = 0;
    for (const std::string& col : cols) {
        int i = t->find_column(col);
        if (i < 0) {
            throw ora(904, {"\"" + col + "\""});
        }
        const ColumnType& ty = t->columns[static_cast<size_t>(i)].type;
        if (ty.is_lob()) {
            throw ora(2327, {"LOB"});
        }
        if (ty.is_long()) {
            throw ora(997);
        }
        bytes += ty.data_length(settings_.max_char_bytes());
    }
    check_key_length(bytes);
    for (const IndexDef& i : t->indexes) {
        if (same_columns(i.columns, cols)) {
            throw ora(1408);
        }
    }
    int rc = db_.exec_code(std::string(s.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                           sql_quote_ident(sqlite_index_name(user_, s.name.name)) + " ON " +
                           sql_quote_ident(t->storage) + " (" + quoted_list(*t, cols) + ")");
    if (rc != SQLITE_OK) {
        throw ora(1452);
    }
    catalog_.add_index(user_, t->id, IndexDef{s.name.name, s.unique, cols, false});
}

void Session::create_sequence(const CreateSequence& s) {
    check_privilege("CREATE SEQUENCE");
    if (catalog_.find_object(user_, s.name.name, "TABLE")) {
        throw ora(955);
    }
    const Decimal limit = *Decimal::parse("1E28");
    auto check = [&](const std::optional<Decimal>& d, const char* what) {
        if (d && (limit < *d || *d < *Decimal::parse("-1E27"))) {
            throw ora(4003, {what});
        }
    };
    check(s.maxvalue, "MAXVALUE");
    check(s.minvalue, "MINVALUE");
    check(s.start, "START WITH");
    auto inc = s.increment.to_int64();
    if (!inc || *inc == 0 || !s.increment.is_integer()) {
        throw ora(4002);
    }
    SequenceDef d;
    d.owner = user_;
    d.name = s.name.name;
    d.increment = *inc;
    d.cycle = s.cycle;
    bool ascending = *inc > 0;
    Decimal min = s.minvalue.value_or(ascending ? Decimal::from_int(1)
                                                : *Decimal::parse("-999999999999999999999999999"));
    Decimal max = s.maxvalue.value_or(ascending ? *Decimal::parse("9999999999999999999999999999")
                                                : Decimal::from_int(-1));
    if (!(min < max)) {
        throw ora(4004);
    }
    Decimal start = s.start.value_or(ascending ? min : max);
    auto start_int = start.to_int64();
    if (!start_int) {
        throw ora(4003, {"START WITH"});
    }
    d.min_value = min.to_text();
    d.max_value = max.to_text();
    d.next_value = *start_int;
    d.id = catalog_.add_object(user_, d.name, "SEQUENCE");
    catalog_.add_sequence(d);
}

std::optional<OraError> Session::create_trigger(const CreateTrigger& s) {
    check_privilege("CREATE TRIGGER");
    auto t = find_table(s.table);
    if (auto existing = catalog_.find_object(user_, s.name.name, "TRIGGER")) {
        if (!s.or_replace) {
            throw ora(4081, {s.name.name});
        }
        SqlStmt del = db_.prepare("DELETE FROM ocisim_triggers WHERE object_id = ?");
        del.bind(1, existing->id);
        del.step();
        catalog_.remove_object(existing->id);
    }
    TriggerDef tr;
    tr.name = s.name.name;
    tr.when_column = s.when_column;
    tr.sequence = s.sequence.name;
    tr.into_column = s.into_column.name;
    tr.recognised = s.body_recognised;
    tr.text = s.text;
    bool valid = trigger_compiles(*t, tr);
    tr.id = catalog_.add_object(user_, tr.name, "TRIGGER", valid ? "VALID" : "INVALID");
    catalog_.add_trigger(t->id, tr);
    if (!valid) {
        return ora(kCompilationWarning);
    }
    return std::nullopt;
}

void Session::drop_object(const DropObject& s) {
    const std::string& name = s.name.name;
    if (s.type == "SEQUENCE") {
        auto o = catalog_.find_object(user_, name, "TABLE");
        if (!o || o->type != "SEQUENCE") {
            throw ora(2289);
        }
        SqlStmt st = db_.prepare("DELETE FROM ocisim_sequences WHERE object_id = ?");
        st.bind(1, o->id);
        st.step();
        catalog_.remove_object(o->id);
    } else if (s.type == "TRIGGER") {
        auto o = catalog_.find_object(user_, name, "TRIGGER");
        if (!o) {
            throw ora(4080, {name});
        }
        SqlStmt st = db_.prepare("DELETE FROM ocisim_triggers WHERE object_id = ?");
        st.bind(1, o->id);
        st.step();
        catalog_.remove_object(o->id);
    } else {
        if (!catalog_.index_name_used(user_, name)) {
            throw ora(1418);
        }
        SqlStmt used =
            db_.prepare("SELECT 1 FROM ocisim_constraints WHERE owner = ? AND index_name = ?");
        used.bind(1, user_).bind(2, name);
        if (used.step()) {
            throw ora(2429);
        }
        db_.exec("DROP INDEX " + sql_quote_ident(sqlite_index_name(user_, name)));
        catalog_.remove_index(user_, name);
    }
}

}  // namespace ocisim
