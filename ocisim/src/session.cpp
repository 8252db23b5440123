#include "session.h"

#include <cstdio>

#include "expr_eval.h"
#include "oracle_model.h"
#include "text_codec.h"
#include "value_rules.h"

namespace ocisim {

void RowLocks::add(int64_t table_id, int64_t rowid) {
    if (!runs_.empty()) {
        Run& r = runs_.back();
        if (r.table_id == table_id && rowid >= r.first && rowid <= r.last + 1) {
            r.last = std::max(r.last, rowid);
            return;
        }
    }
    runs_.push_back(Run{table_id, rowid, rowid});
}

bool RowLocks::has(int64_t table_id, int64_t rowid) const {
    for (auto it = runs_.rbegin(); it != runs_.rend(); ++it) {
        if (it->table_id == table_id && rowid >= it->first && rowid <= it->last) {
            return true;
        }
    }
    return false;
}

Session::Session(const std::string& service_path, std::string user,
                 std::shared_ptr<SimConfig> config)
    : service_path_(service_path),
      user_(std::move(user)),
      config_(std::move(config)),
      catalog_(db_) {
    try {
        db_ = ServiceStore::open(service_path);
        sqlite3_busy_timeout(db_.raw(), config_->lock_wait_ms);
        settings_ = ServiceStore::settings(db_);
    } catch (const SqliteError&) {
        throw ora(12514);
    }
}

Session::~Session() {
    try {
        end();
    } catch (...) {
        // A session that cannot roll back leaves its work to SQLite's own recovery.
    }
}

ParseOptions Session::parse_options() const {
    ParseOptions o;
    o.identifier_limit = settings_.release.identifier_limit;
    o.single_byte_charset = settings_.single_byte();
    o.charset = settings_.charset;
    o.max_char_bytes = settings_.max_char_bytes();
    o.char_length_semantics = settings_.char_length_semantics;
    return o;
}

void Session::round_trip() {
    if (lost_) {
        throw ora(3114);
    }
    ++counters_.round_trips;
    sleep_us(config_->round_trip_us);
}

void Session::write_counters() {
    char line[256];
    std::snprintf(line, sizeof line,
                  "user=%s service=%s round_trips=%llu commits=%llu executes=%llu", user_.c_str(),
                  settings_.name.c_str(), static_cast<unsigned long long>(counters_.round_trips),
                  static_cast<unsigned long long>(counters_.commits),
                  static_cast<unsigned long long>(counters_.executes));
    config_->append_counters(line);
}

void Session::end(bool commit_open_work) {
    if (ended_) {
        return;
    }
    ended_ = true;
    if (commit_open_work && !lost_ && in_transaction_) {
        commit();
    } else {
        rollback();
    }
    write_counters();
}

void Session::check_catalogue_fresh() {
    // Another session's DDL changes the catalogue; PRAGMA data_version moves on any commit of
    // another connection, and the DDL counter tells whether it was DDL.
    if (!data_version_stmt_) {
        data_version_stmt_ = std::make_unique<SqlStmt>(db_.prepare("PRAGMA data_version"));
    }
    SqlStmt& dv = *data_version_stmt_;
    dv.reset();
    dv.step();
    int64_t data_version = dv.int64(0);
    dv.reset();
    if (data_version == data_version_) {
        return;
    }
    data_version_ = data_version;
    int64_t ddl = catalog_.ddl_version();
    if (ddl != ddl_version_) {
        ddl_version_ = ddl;
        forget_catalogue();
    }
}

void Session::forget_catalogue() {
    tables_.clear();
    tables_by_id_.clear();
    insert_plan_.reset();
    statements_.clear();
}

SqlStmt& Session::cached(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) {
        return *it->second;
    }
    auto st = std::make_unique<SqlStmt>(db_.prepare(sql));
    SqlStmt& ref = *st;
    statements_.emplace(sql, std::move(st));
    return ref;
}

std::shared_ptr<TableDef> Session::reload_table(const std::string& owner, const std::string& name) {
    auto t = catalog_.load_table(owner, name);
    if (t) {
        tables_[{owner, name}] = t;
        tables_by_id_[t->id] = t;
    } else {
        tables_.erase({owner, name});
    }
    return t;
}

void Session::check_own_schema(const TableRef& ref) {
    if (!ref.schema.empty() && ref.schema.name != user_) {
        // Other schemas' objects are not visible: no object privileges are modelled.
        throw ora(942);
    }
}

std::shared_ptr<TableDef> Session::find_table(const TableRef& ref, bool must_exist) {
    check_own_schema(ref);
    auto it = tables_.find({user_, ref.name.name});
    std::shared_ptr<TableDef> t =
        it != tables_.end() ? it->second : reload_table(user_, ref.name.name);
    if (!t && must_exist) {
        throw ora(942);
    }
    return t;
}

const TableDef& Session::table_by_id(int64_t id) {
    auto it = tables_by_id_.find(id);
    if (it != tables_by_id_.end()) {
        return *it->second;
    }
    auto t = catalog_.load_table_by_id(id);
    if (!t) {
        throw ora(942);
    }
    tables_by_id_[id] = t;
    return *t;
}

void Session::check_privilege(const char* privilege) {
    if (!ServiceStore::has_privilege(db_, user_, privilege)) {
        throw ora(1031);
    }
}

void Session::begin_write() {
    if (in_transaction_) {
        return;
    }
    int rc = db_.exec_code("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        throw ora(54);
    }
    in_transaction_ = true;
}

void Session::begin_statement() {
    db_.exec("SAVEPOINT ocisim_statement");
}

void Session::end_statement(bool ok) {
    if (!ok) {
        db_.exec_code("ROLLBACK TO ocisim_statement");
    }
    db_.exec_code("RELEASE ocisim_statement");
}

void Session::commit() {
    if (in_transaction_) {
        if (db_.exec_code("COMMIT") != SQLITE_OK) {
            throw ora(54);
        }
        in_transaction_ = false;
    }
    locked_rows_.clear();
    sequence_marks_.clear();
    ++counters_.commits;
    sleep_us(config_->commit_us);
}

void Session::rollback() {
    if (in_transaction_) {
        db_.exec_code("ROLLBACK");
        in_transaction_ = false;
        // Sequences are not transactional: numbers handed out stay used.
        for (const auto& [id, next] : sequence_marks_) {
            SqlStmt st = db_.prepare(
                "UPDATE ocisim_sequences SET next_value = ? WHERE object_id = ? AND "
                "next_value < ?");
            st.bind(1, next).bind(2, id).bind(3, next);
            st.step();
        }
        forget_catalogue();
    }
    locked_rows_.clear();
    sequence_marks_.clear();
}

void Session::run_ddl(const std::function<void()>& body) {
    // DDL commits the open transaction first, then runs and commits on its own.
    if (in_transaction_) {
        commit();
    }
    begin_write();
    try {
        body();
        catalog_.bump_ddl_version();
        commit();
    } catch (...) {
        db_.exec_code("ROLLBACK");
        in_transaction_ = false;
        forget_catalogue();
        throw;
    }
    forget_catalogue();
}

[[noreturn]] void Session::raise_sqlite(const SqliteError& e, const TableDef* table) {
    if (e.code() == SQLITE_BUSY || (e.code() & 0xFF) == SQLITE_BUSY ||
        (e.code() & 0xFF) == SQLITE_LOCKED) {
        throw ora(54);
    }
    if (e.code() == SQLITE_CONSTRAINT_UNIQUE && table != nullptr) {
        // "UNIQUE constraint failed: T.A, T.B": find the key or unique index on those columns.
        std::string msg = e.what();
        std::vector<std::string> cols;
        size_t colon = msg.find(": ");
        std::string list = colon == std::string::npos ? "" : msg.substr(colon + 2);
        size_t b = 0;
        while (b < list.size()) {
            size_t comma = list.find(", ", b);
            std::string item =
                list.substr(b, comma == std::string::npos ? std::string::npos : comma - b);
            size_t dot = item.find('.');
            cols.push_back(dot == std::string::npos ? item : item.substr(dot + 1));
            if (comma == std::string::npos) {
                break;
            }
            b = comma + 2;
        }
        auto same = [&](const std::vector<std::string>& k) {
            if (k.size() != cols.size()) {
                return false;
            }
            for (size_t i = 0; i < k.size(); ++i) {
                if (upper_ascii(table->storage_of(k[i])) != upper_ascii(cols[i])) {
                    return false;
                }
            }
            return true;
        };
        for (const KeyDef& k : table->keys) {
            if (k.type != 'C' && same(k.columns)) {
                throw ora(1, {table->owner, k.name});
            }
        }
        for (const IndexDef& i : table->indexes) {
            if (i.unique && same(i.columns)) {
                throw ora(1, {table->owner, i.name});
            }
        }
        throw ora(1, {table->owner, "SYS_C0000000"});
    }
    throw OraError(600, "ORA-00600: internal error code, arguments: [ocisim], [" +
                            std::string(e.what()) + "]");
}

Value Session::next_value(const std::string& owner, const std::string& sequence) {
    auto seq = catalog_.load_sequence(owner, sequence);
    if (!seq) {
        throw ora(2289);
    }
    int64_t value = seq->next_value;
    Decimal v = Decimal::from_int(value);
    auto max = Decimal::parse(seq->max_value);
    auto min = Decimal::parse(seq->min_value);
    bool past = seq->increment > 0 ? (max && *max < v) : (min && v < *min);
    if (past) {
        if (!seq->cycle) {
            throw seq->increment > 0 ? ora(8004, {sequence, "exceeds", "MAX"})
                                     : ora(8004, {sequence, "goes below", "MIN"});
        }
        value = seq->increment > 0 ? min->to_int64().value_or(1) : max->to_int64().value_or(-1);
    }
    int64_t following = 0;
    if (__builtin_add_overflow(value, seq->increment, &following)) {
        // Sequence values are kept in 64 bits here: the sequence ends where they end.
        throw seq->increment > 0 ? ora(8004, {sequence, "exceeds", "MAX"})
                                 : ora(8004, {sequence, "goes below", "MIN"});
    }
    bool own_transaction = !in_transaction_;
    if (own_transaction) {
        begin_write();
    }
    catalog_.set_sequence_next(seq->id, following);
    sequence_marks_[seq->id] = following;
    if (own_transaction) {
        db_.exec("COMMIT");
        in_transaction_ = false;
    }
    return Value::of_number(Decimal::from_int(value));
}

void Session::resolve_dml(const TableRef& table, const std::vector<const Expr*>& exprs,
                          const std::vector<const Ident*>& targets) {
    std::shared_ptr<TableDef> t = find_table(table);
    std::vector<std::string> names;
    for (const Ident* c : targets) {
        names.push_back(c->name);
    }
    for (const Expr* e : exprs) {
        if (e != nullptr) {
            columns_of(*e, &names);
        }
    }
    for (const std::string& n : names) {
        if (t->find_column(n) < 0) {
            throw ora(904, {"\"" + n + "\""});
        }
    }
}

QueryResult Session::describe(const Statement& st) {
    const Select* s = std::get_if<Select>(&st.body);
    if (s == nullptr) {
        // A parse of DML resolves the table and the columns it names.
        check_catalogue_fresh();
        if (const auto* ins = std::get_if<Insert>(&st.body)) {
            std::vector<const Ident*> targets;
            for (const Ident& c : ins->columns) {
                targets.push_back(&c);
            }
            std::vector<const Expr*> exprs;
            for (const ExprPtr& v : ins->values) {
                exprs.push_back(v.get());
            }
            resolve_dml(ins->table, exprs, targets);
        } else if (const auto* up = std::get_if<Update>(&st.body)) {
            std::vector<const Ident*> targets;
            std::vector<const Expr*> exprs{up->where.get()};
            for (const Assignment& a : up->sets) {
                targets.push_back(&a.column);
                exprs.push_back(a.value.get());
            }
            resolve_dml(up->table, exprs, targets);
        } else if (const auto* del = std::get_if<Delete>(&st.body)) {
            resolve_dml(del->table, {del->where.get()}, {});
        }
        return {};
    }
    check_catalogue_fresh();
    std::vector<Value> no_binds(st.binds.size());
    return run_select(*s, no_binds, true);
}

ExecResult Session::execute(const std::string& sql, const Statement& st,
                            const std::vector<Value>& binds) {
    ++counters_.executes;
    if (auto fault = config_->faults->empty() ? std::nullopt : config_->faults->check(sql)) {
        if (*fault == 3113) {
            lost_ = true;
            rollback();
        }
        throw ora(*fault, {"INJECTED", "FAULT"});
    }
    check_catalogue_fresh();
    if (st.is_ddl()) {
        return run_ddl_statement(st);
    }
    try {
        if (const auto* s = std::get_if<Select>(&st.body)) {
            ExecResult r;
            if (s->for_update) {
                begin_write();
            }
            r.query = run_select(*s, binds, false);
            return r;
        }
        if (const auto* tc = std::get_if<TransactionControl>(&st.body)) {
            tc->commit ? commit() : rollback();
            return {};
        }
        begin_write();
        if (const auto* ins = std::get_if<Insert>(&st.body)) {
            // One row, one SQLite step: a failing step undoes itself, no savepoint needed.
            return run_insert(*ins, binds);
        }
        begin_statement();
        try {
            ExecResult r;
            if (const auto* up = std::get_if<Update>(&st.body)) {
                r = run_update(*up, binds);
            } else if (const auto* del = std::get_if<Delete>(&st.body)) {
                r = run_delete(*del, binds);
            }
            end_statement(true);
            return r;
        } catch (...) {
            end_statement(false);
            throw;
        }
    } catch (const SqliteError& e) {
        raise_sqlite(e, nullptr);
    }
}

std::string Session::lob_read(const LobRef& ref, bool* is_clob) {
    const TableDef& t = table_by_id(ref.table_id);
    if (ref.column < 0 || static_cast<size_t>(ref.column) >= t.columns.size()) {
        throw ora(22275);
    }
    const ColumnDef& c = t.columns[static_cast<size_t>(ref.column)];
    *is_clob = c.type.kind != TypeKind::Blob;
    SqlStmt& st = cached("SELECT " + sql_quote_ident(c.storage) + " FROM " +
                         sql_quote_ident(t.storage) + " WHERE rowid = ?");
    st.reset();
    st.bind(1, ref.rowid);
    std::string out;
    if (st.step()) {
        out = *is_clob ? st.text(0) : st.blob(0);
    }
    st.reset();
    return out;
}

void Session::lob_write(const LobRef& ref, const std::string& content) {
    if (!locked_rows_.has(ref.table_id, ref.rowid)) {
        throw ora(22920);
    }
    const TableDef& t = table_by_id(ref.table_id);
    const ColumnDef& c = t.columns[static_cast<size_t>(ref.column)];
    begin_write();
    SqlStmt& st = cached("UPDATE " + sql_quote_ident(t.storage) + " SET " +
                         sql_quote_ident(c.storage) + " = ? WHERE rowid = ?");
    st.reset();
    if (c.type.kind == TypeKind::Blob) {
        st.bind_blob(1, content);
    } else {
        st.bind(1, std::string_view(content));
    }
    st.bind(2, ref.rowid);
    st.step();
    st.reset();
}

}  // namespace ocisim
