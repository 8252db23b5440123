// SELECT: reading the FROM items, filtering, ordering, projecting and locking.
#include <algorithm>
#include <functional>

#include "expr_eval.h"
#include "oracle_model.h"
#include "session.h"
#include "value_rules.h"

namespace ocisim {
namespace {

bool has_count(const Expr& e) {
    if (e.kind == ExprKind::CountStar) {
        return true;
    }
    for (const auto& a : e.args) {
        if (has_count(*a)) {
            return true;
        }
    }
    return false;
}

bool reads_columns(const Expr& e) {
    if (e.kind == ExprKind::Column || e.kind == ExprKind::Rowid) {
        return true;
    }
    for (const auto& a : e.args) {
        if (reads_columns(*a)) {
            return true;
        }
    }
    return false;
}

// Oracle sorts NULLs after everything else in ascending order.
int order_compare(const Value& a, const Value& b) {
    if (a.is_null() || b.is_null()) {
        return a.is_null() == b.is_null() ? 0 : (a.is_null() ? 1 : -1);
    }
    return compare_values(a, b);
}

// Resets a kept statement on every way out, so that it holds no read lock afterwards.
struct reset_on_exit {
    SqlStmt& st;
    ~reset_on_exit() { st.reset(); }
};

// SELECT COUNT(*) FROM one table, with nothing else.
bool is_bare_count(const Select& s) {
    return s.from.size() == 1 && !s.from[0].subquery && !s.where && s.order_by.empty() &&
           s.items.size() == 1 && s.items[0].expr && s.items[0].expr->kind == ExprKind::CountStar;
}

}  // namespace

// The value of a top-level "ROWID = <literal or bind>" condition, if WHERE has one.
const Expr* rowid_equality(const Expr* where) {
    if (where == nullptr) {
        return nullptr;
    }
    if (where->kind == ExprKind::And) {
        const Expr* l = rowid_equality(where->args[0].get());
        return l != nullptr ? l : rowid_equality(where->args[1].get());
    }
    if (where->kind == ExprKind::Compare && where->text == "=") {
        const Expr* a = where->args[0].get();
        const Expr* b = where->args[1].get();
        auto constant = [](const Expr* e) {
            return e->kind == ExprKind::String || e->kind == ExprKind::Bind;
        };
        if (a->kind == ExprKind::Rowid && constant(b)) {
            return b;
        }
        if (b->kind == ExprKind::Rowid && constant(a)) {
            return a;
        }
    }
    return nullptr;
}

void Session::read_source(const TableRef& ref, RowSource* out, const int64_t* rowid) {
    if (catalogue_view(ref, out)) {
        return;
    }
    auto t = find_table(ref);
    out->name = t->name;
    out->table_id = t->id;
    std::string sql = "SELECT rowid";
    for (const ColumnDef& c : t->columns) {
        ResultColumn rc;
        rc.name = c.name;
        rc.type = c.type;
        rc.nullable = c.nullable;
        out->columns.push_back(rc);
        sql += ", " + sql_quote_ident(c.storage);
    }
    sql += " FROM " + sql_quote_ident(t->storage);
    if (rowid != nullptr) {
        sql += " WHERE rowid = ?";
    }
    if (rowid == nullptr && out->columns.empty()) {
        return;
    }
    // A read by row id is kept prepared: updates of large objects by row id run it per row.
    SqlStmt fresh;
    SqlStmt& st = rowid != nullptr ? cached(sql) : (fresh = db_.prepare(sql));
    st.reset();
    const reset_on_exit reset{st};
    if (rowid != nullptr) {
        st.bind(1, *rowid);
    }
    while (st.step()) {
        out->rowids.push_back(st.int64(0));
        std::vector<Value> row;
        row.reserve(t->columns.size());
        for (size_t i = 0; i < t->columns.size(); ++i) {
            Value v = load_value(st, static_cast<int>(i + 1), t->columns[i].type);
            if (t->columns[i].type.is_lob()) {
                v.lob = LobRef{t->id, out->rowids.back(), static_cast<int>(i)};
                if (v.is_null() == false && v.bytes.empty()) {
                    v.empty_lob = true;
                }
            }
            row.push_back(std::move(v));
        }
        out->rows.push_back(std::move(row));
    }
}

QueryResult Session::run_select(const Select& s, const std::vector<Value>& binds,
                                bool describe_only) {
    std::vector<RowSource> sources(s.from.size());
    Evaluator ev(*this, binds, &sources);
    RowSource view;
    if (!describe_only && is_bare_count(s) && !catalogue_view(s.from[0].table, &view)) {
        // The rows of a whole table are counted where they lie, not read.
        auto t = find_table(s.from[0].table);
        SqlStmt& st = cached("SELECT COUNT(*) FROM " + sql_quote_ident(t->storage));
        st.reset();
        const reset_on_exit reset{st};
        st.step();
        QueryResult result;
        ResultColumn rc = ev.type_of(*s.items[0].expr);
        rc.name = s.items[0].label;
        result.columns.push_back(rc);
        result.rows.push_back({Value::of_number(Decimal::from_int(st.int64(0)))});
        return result;
    }
    const Expr* rowid_key =
        s.from.size() == 1 && !s.from[0].subquery ? rowid_equality(s.where.get()) : nullptr;
    for (size_t i = 0; i < s.from.size(); ++i) {
        const FromItem& f = s.from[i];
        RowSource& src = sources[i];
        src.alias = f.alias.name;
        if (f.subquery) {
            QueryResult sub = run_select(*f.subquery, binds, describe_only);
            src.columns = std::move(sub.columns);
            src.rows = std::move(sub.rows);
            src.rowids.assign(src.rows.size(), 0);
            continue;
        }
        if (describe_only) {
            int64_t none = -1;
            read_source(f.table, &src, &none);
            continue;
        }
        if (rowid_key != nullptr) {
            Value key = ev.eval(*rowid_key, nullptr);
            int64_t object_id = 0;
            int64_t rowid = 0;
            if (key.is_null()) {
                rowid = -1;
            } else if (!decode_rowid(to_text(key), &object_id, &rowid)) {
                throw ora(1410);
            }
            read_source(f.table, &src, &rowid);
        } else {
            read_source(f.table, &src, nullptr);
        }
    }

    // LONG data cannot be used in conditions.
    if (s.where) {
        std::function<void(const Expr&)> check_long = [&](const Expr& e) {
            if (e.kind == ExprKind::Column) {
                auto [src, col] = ev.resolve(e);
                if (sources[static_cast<size_t>(src)]
                        .columns[static_cast<size_t>(col)]
                        .type.is_long()) {
                    throw ora(997);
                }
            }
            for (const auto& a : e.args) {
                check_long(*a);
            }
        };
        check_long(*s.where);
    }

    // Output columns.
    QueryResult result;
    bool aggregate = false;
    struct Output {
        const Expr* expr = nullptr;
        int source = -1;  // star: all columns of this source
    };
    std::vector<Output> outputs;
    for (const SelectItem& item : s.items) {
        if (!item.expr) {
            bool matched = false;
            for (size_t i = 0; i < sources.size(); ++i) {
                const RowSource& src = sources[i];
                const std::string& label = src.alias.empty() ? src.name : src.alias;
                if (!item.star_of.empty() && label != item.star_of.name) {
                    continue;
                }
                matched = true;
                for (size_t c = 0; c < src.columns.size(); ++c) {
                    result.columns.push_back(src.columns[c]);
                    outputs.push_back(Output{nullptr, static_cast<int>(i)});
                }
            }
            if (!matched) {
                throw ora(904, {"\"" + item.star_of.name + "\""});
            }
            continue;
        }
        ResultColumn rc = ev.type_of(*item.expr);
        rc.name = item.label;
        result.columns.push_back(rc);
        outputs.push_back(Output{item.expr.get(), -1});
        aggregate = aggregate || has_count(*item.expr);
    }
    if (aggregate) {
        for (const Output& o : outputs) {
            if (o.expr == nullptr || (!has_count(*o.expr) && reads_columns(*o.expr))) {
                throw ora(937);
            }
        }
    }
    if (describe_only) {
        return result;
    }

    // Rows that satisfy WHERE, as positions in each source.
    std::vector<RowPosition> matches;
    RowPosition pos(sources.size(), 0);
    bool any_empty = std::any_of(sources.begin(), sources.end(),
                                 [](const RowSource& r) { return r.rows.empty(); });
    if (!any_empty) {
        while (true) {
            if (!s.where || ev.test(*s.where, &pos) == Tri::True) {
                matches.push_back(pos);
            }
            size_t k = sources.size();
            while (k > 0) {
                --k;
                if (++pos[k] < sources[k].rows.size()) {
                    break;
                }
                pos[k] = 0;
                if (k == 0) {
                    k = sources.size() + 1;
                    break;
                }
            }
            if (k == sources.size() + 1 || sources.empty()) {
                break;
            }
        }
    }

    if (aggregate) {
        std::vector<Value> row;
        for (const Output& o : outputs) {
            if (o.expr->kind == ExprKind::CountStar) {
                row.push_back(
                    Value::of_number(Decimal::from_int(static_cast<int64_t>(matches.size()))));
            } else {
                row.push_back(ev.eval(*o.expr, nullptr));
            }
        }
        result.rows.push_back(std::move(row));
        return result;
    }

    if (!s.order_by.empty()) {
        std::vector<std::vector<Value>> keys;
        keys.reserve(matches.size());
        for (const RowPosition& p : matches) {
            std::vector<Value> k;
            for (const OrderItem& o : s.order_by) {
                if (o.expr->kind == ExprKind::Number) {
                    auto n = Decimal::parse(o.expr->text)->to_int64().value_or(0);
                    if (n < 1 || static_cast<size_t>(n) > outputs.size() ||
                        outputs[static_cast<size_t>(n - 1)].expr == nullptr) {
                        throw ora(1785);
                    }
                    k.push_back(ev.eval(*outputs[static_cast<size_t>(n - 1)].expr, &p));
                } else {
                    k.push_back(ev.eval(*o.expr, &p));
                }
            }
            keys.push_back(std::move(k));
        }
        std::vector<size_t> idx(matches.size());
        for (size_t i = 0; i < idx.size(); ++i) {
            idx[i] = i;
        }
        std::stable_sort(idx.begin(), idx.end(), [&](size_t a, size_t b) {
            for (size_t j = 0; j < s.order_by.size(); ++j) {
                int c = order_compare(keys[a][j], keys[b][j]);
                if (c != 0) {
                    return s.order_by[j].descending ? c > 0 : c < 0;
                }
            }
            return false;
        });
        std::vector<RowPosition> sorted;
        sorted.reserve(matches.size());
        for (size_t i : idx) {
            sorted.push_back(matches[i]);
        }
        matches = std::move(sorted);
    }

    for (const RowPosition& p : matches) {
        std::vector<Value> row;
        row.reserve(outputs.size());
        size_t star_column = 0;
        int last_star = -1;
        for (const Output& o : outputs) {
            if (o.expr == nullptr) {
                if (o.source != last_star) {
                    star_column = 0;
                    last_star = o.source;
                }
                const RowSource& src = sources[static_cast<size_t>(o.source)];
                row.push_back(src.rows[p[static_cast<size_t>(o.source)]][star_column++]);
            } else {
                last_star = -1;
                row.push_back(ev.eval(*o.expr, &p));
            }
        }
        result.rows.push_back(std::move(row));
    }

    if (s.for_update) {
        for (const RowPosition& p : matches) {
            for (size_t i = 0; i < sources.size(); ++i) {
                if (sources[i].table_id != 0) {
                    lock_row(sources[i].table_id, sources[i].rowids[p[i]]);
                }
            }
        }
    }
    return result;
}

}  // namespace ocisim
