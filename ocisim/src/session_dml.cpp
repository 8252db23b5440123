// INSERT, UPDATE and DELETE, with defaults, row triggers, NOT NULL and type rules.
#include <algorithm>

#include "expr_eval.h"
#include "oracle_model.h"
#include "session.h"
#include "sql_parser.h"
#include "value_rules.h"

namespace ocisim {

// The value of a top-level "ROWID = <literal or bind>" condition, if WHERE has one.
const Expr* rowid_equality(const Expr* where);

namespace {

int column_index(const TableDef& t, const Ident& name) {
    int i = t.find_column(name.name);
    if (i < 0) {
        throw ora(904, {"\"" + name.name + "\""});
    }
    return i;
}

}  // namespace

Value Session::default_value(const ColumnDef& c) {
    if (!c.data_default) {
        return Value::null();
    }
    ExprPtr e = parse_expression(*c.data_default, parse_options());
    std::vector<Value> no_binds;
    Evaluator ev(*this, no_binds, nullptr);
    return ev.eval(*e, nullptr);
}

bool Session::trigger_compiles(const TableDef& t, const TriggerDef& tr) {
    if (!tr.recognised || t.find_column(tr.into_column) < 0) {
        return false;
    }
    if (!tr.when_column.empty() && t.find_column(tr.when_column) < 0) {
        return false;
    }
    return catalog_.find_object(user_, tr.sequence, "TABLE").has_value() &&
           catalog_.load_sequence(user_, tr.sequence).has_value();
}

void Session::fire_insert_triggers(const TableDef& t, std::vector<Value>& row) {
    for (const TriggerDef& tr : t.triggers) {
        if (!trigger_compiles(t, tr)) {
            throw ora(4098, {t.owner, tr.name});
        }
        int into = t.find_column(tr.into_column);
        bool fire = tr.when_column.empty() ||
                    row[static_cast<size_t>(t.find_column(tr.when_column))].is_null();
        if (fire) {
            row[static_cast<size_t>(into)] = next_value(user_, tr.sequence);
        }
    }
}

InsertPlan& Session::insert_plan(const Insert& s) {
    if (insert_plan_ && insert_plan_->table == s.table.name.name &&
        insert_plan_->columns == s.columns && s.table.schema.empty()) {
        return *insert_plan_;
    }
    insert_plan_.reset();
    auto plan = std::make_unique<InsertPlan>();
    plan->def = find_table(s.table);
    const TableDef& t = *plan->def;
    const size_t n = t.columns.size();
    if (s.columns.empty()) {
        for (size_t i = 0; i < n; ++i) {
            plan->targets.push_back(static_cast<int>(i));
        }
    } else {
        std::vector<bool> seen(n, false);
        for (const Ident& c : s.columns) {
            int i = column_index(t, c);
            if (seen[static_cast<size_t>(i)]) {
                throw ora(957);
            }
            seen[static_cast<size_t>(i)] = true;
            plan->targets.push_back(i);
        }
    }
    std::string sql = "INSERT INTO " + sql_quote_ident(t.storage) + " (";
    std::string marks;
    for (size_t i = 0; i < n; ++i) {
        sql += (i > 0 ? ", " : "") + sql_quote_ident(t.columns[i].storage);
        marks += i > 0 ? ", ?" : "?";
    }
    sql += ") VALUES (" + marks + ")";
    if (n == 0) {
        sql = "INSERT INTO " + sql_quote_ident(t.storage) + " DEFAULT VALUES";
    }
    plan->store = &cached(sql);
    plan->row.resize(n);
    plan->stored.resize(n);
    plan->table = s.table.name.name;
    plan->columns = s.columns;
    insert_plan_ = std::move(plan);
    return *insert_plan_;
}

ExecResult Session::run_insert(const Insert& s, const std::vector<Value>& binds) {
    InsertPlan& plan = insert_plan(s);
    const TableDef& t = *plan.def;
    const size_t n = t.columns.size();
    if (s.values.size() < plan.targets.size()) {
        throw ora(947);
    }
    if (s.values.size() > plan.targets.size()) {
        throw ora(913);
    }
    Evaluator ev(*this, binds, nullptr);
    std::vector<Value>& row = plan.row;
    for (Value& v : row) {
        v.kind = Value::Kind::Null;
        v.empty_lob = false;
    }
    uint64_t given = 0;  // columns past 64 are looked up in the targets
    for (size_t k = 0; k < plan.targets.size(); ++k) {
        row[static_cast<size_t>(plan.targets[k])] = ev.eval(*s.values[k], nullptr);
        if (plan.targets[k] < 64) {
            given |= uint64_t{1} << plan.targets[k];
        }
    }
    for (size_t i = 0; i < n; ++i) {
        bool was_given = i < 64 ? (given >> i & 1) != 0
                                : std::find(plan.targets.begin(), plan.targets.end(),
                                            static_cast<int>(i)) != plan.targets.end();
        if (!was_given) {
            row[i] = default_value(t.columns[i]);
        }
    }
    fire_insert_triggers(t, row);

    SqlStmt& st = *plan.store;
    st.reset();
    for (size_t i = 0; i < n; ++i) {
        const ColumnDef& c = t.columns[i];
        if (row[i].is_null() && !row[i].empty_lob && !c.nullable) {
            throw ora(1400, {column_label(t, c.name)});
        }
        plan.stored[i] = to_storage(row[i], t, c, settings_);
        bind_stored(st, static_cast<int>(i + 1), plan.stored[i]);
    }
    int rc = st.step_code();
    st.reset();
    if (rc != SQLITE_DONE) {
        raise_sqlite(SqliteError(sqlite3_extended_errcode(db_.raw()), db_.error_message()), &t);
    }
    int64_t rowid = db_.last_rowid();
    lock_row(t.id, rowid);
    ExecResult r;
    r.rows = 1;
    if (s.returning_bind >= 0) {
        r.rowid = encode_rowid(t.id, rowid);
    }
    return r;
}

ExecResult Session::run_update(const Update& s, const std::vector<Value>& binds) {
    std::shared_ptr<TableDef> t = find_table(s.table);
    std::vector<RowSource> sources(1);
    Evaluator ev(*this, binds, &sources);
    // An update by ROWID reads that row only, as a query by ROWID does.
    if (const Expr* rowid_key = rowid_equality(s.where.get())) {
        Value key = ev.eval(*rowid_key, nullptr);
        int64_t object_id = 0;
        int64_t rowid = -1;
        if (!key.is_null() && !decode_rowid(to_text(key), &object_id, &rowid)) {
            throw ora(1410);
        }
        read_source(s.table, &sources[0], &rowid);
    } else {
        read_source(s.table, &sources[0], nullptr);
    }
    sources[0].alias = s.alias.name;
    std::vector<int> targets;
    std::string sql = "UPDATE " + sql_quote_ident(t->storage) + " SET ";
    for (size_t k = 0; k < s.sets.size(); ++k) {
        int i = column_index(*t, s.sets[k].column);
        targets.push_back(i);
        sql += (k > 0 ? ", " : "") + sql_quote_ident(t->columns[static_cast<size_t>(i)].storage) +
               " = ?";
    }
    sql += " WHERE rowid = ?";
    SqlStmt& st = cached(sql);
    ExecResult r;
    RowPosition pos(1, 0);
    for (size_t row = 0; row < sources[0].rows.size(); ++row) {
        pos[0] = row;
        if (s.where && ev.test(*s.where, &pos) != Tri::True) {
            continue;
        }
        st.reset();
        for (size_t k = 0; k < targets.size(); ++k) {
            const ColumnDef& c = t->columns[static_cast<size_t>(targets[k])];
            Value v = ev.eval(*s.sets[k].value, &pos);
            if (v.is_null() && !v.empty_lob && !c.nullable) {
                throw ora(1407, {column_label(*t, c.name)});
            }
            bind_stored(st, static_cast<int>(k + 1), to_storage(v, *t, c, settings_));
        }
        st.bind(static_cast<int>(targets.size() + 1), sources[0].rowids[row]);
        int rc = st.step_code();
        st.reset();
        if (rc != SQLITE_DONE) {
            raise_sqlite(SqliteError(sqlite3_extended_errcode(db_.raw()), db_.error_message()),
                         t.get());
        }
        lock_row(t->id, sources[0].rowids[row]);
        ++r.rows;
    }
    return r;
}

ExecResult Session::run_delete(const Delete& s, const std::vector<Value>& binds) {
    std::shared_ptr<TableDef> t = find_table(s.table);
    std::vector<RowSource> sources(1);
    read_source(s.table, &sources[0], nullptr);
    sources[0].alias = s.alias.name;
    Evaluator ev(*this, binds, &sources);
    SqlStmt& st = cached("DELETE FROM " + sql_quote_ident(t->storage) + " WHERE rowid = ?");
    ExecResult r;
    RowPosition pos(1, 0);
    for (size_t row = 0; row < sources[0].rows.size(); ++row) {
        pos[0] = row;
        if (s.where && ev.test(*s.where, &pos) != Tri::True) {
            continue;
        }
        st.reset();
        st.bind(1, sources[0].rowids[row]);
        st.step();
        st.reset();
        ++r.rows;
    }
    return r;
}

}  // namespace ocisim
