// Statements: prepare, bind, define, execute, fetch and describe.
#include <cstring>

#include "oci_data.h"
#include "oci_handles.h"
#include "sql_parser.h"
#include "text_codec.h"

using namespace ocisim;

namespace {

std::string bind_name(const OCIEnv* env, const OraText* name, sb4 len) {
    std::string n = client_text(env, name, static_cast<size_t>(len));
    if (!n.empty() && n[0] == ':') {
        n = n.substr(1);
    }
    if (n.size() >= 2 && n.front() == '"' && n.back() == '"') {
        return n.substr(1, n.size() - 2);
    }
    return upper_ascii(n);
}

// Parses on first use; the parse needs the session's identifier rules.
const Statement& parsed(OCIStmt* st, Session& s) {
    if (!st->parsed) {
        ParseOptions options = s.parse_options();
        options.nchar_literal_replace = st->env->nchar_literal_replace;
        st->parsed = std::make_shared<Statement>(parse_statement(st->sql, options));
    }
    return *st->parsed;
}

// The bind handle serving placeholder `index` (0-based) of the statement.
OCIBind* bind_for(OCIStmt* st, const Statement& stmt, size_t index) {
    const std::string& name = stmt.binds[index];
    for (auto& b : st->binds) {
        if (!b->name.empty() && b->name == name) {
            return b.get();
        }
    }
    for (auto& b : st->binds) {
        if (b->name.empty() && b->position == index + 1) {
            return b.get();
        }
    }
    return nullptr;
}

int returning_index(const Statement& stmt) {
    if (const auto* ins = std::get_if<Insert>(&stmt.body)) {
        return ins->returning_bind;
    }
    return -1;
}

// Every bind handle must name a placeholder of the statement (ORA-01036) and every
// placeholder must have one (ORA-01008); checked once per execute.
void check_binds(OCIStmt* st, const Statement& stmt) {
    for (auto& b : st->binds) {
        if (!b->name.empty()) {
            bool known = false;
            for (const std::string& n : stmt.binds) {
                known = known || n == b->name;
            }
            if (!known) {
                throw ora(1036);
            }
        } else if (b->position == 0 || b->position > stmt.binds.size()) {
            throw ora(1036);
        }
    }
    for (size_t i = 0; i < stmt.binds.size(); ++i) {
        OCIBind* b = bind_for(st, stmt, i);
        if (b == nullptr || ((b->mode & OCI_DATA_AT_EXEC) != 0 && b->in_cb == nullptr)) {
            throw ora(1008);
        }
    }
}

// The input values of one iteration, into `values` (reused, so an array run allocates once).
void collect_binds(OCIStmt* st, const Statement& stmt, ub4 iter, std::vector<Value>& values) {
    values.resize(stmt.binds.size());
    int ret = returning_index(stmt);
    for (size_t i = 0; i < stmt.binds.size(); ++i) {
        OCIBind* b = bind_for(st, stmt, i);
        if (static_cast<int>(i) == ret) {
            if ((b->mode & OCI_DATA_AT_EXEC) != 0) {
                // The returning bind's in-callback runs before the row; the client library
                // reads and sets the indicator it hands out, so one without is refused.
                void* buf = nullptr;
                ub4 alen = 0;
                ub1 piece = OCI_ONE_PIECE;
                void* ind = nullptr;
                b->in_cb(b->in_ctx, b, iter, 0, &buf, &alen, &piece, &ind);
                if (ind == nullptr) {
                    throw ora(24343);
                }
            }
            continue;
        }
        if ((b->mode & OCI_DATA_AT_EXEC) != 0) {
            void* buf = nullptr;
            ub4 alen = 0;
            ub1 piece = OCI_ONE_PIECE;
            void* ind = nullptr;
            b->in_cb(b->in_ctx, b, iter, 0, &buf, &alen, &piece, &ind);
            if (buf == nullptr || (ind != nullptr && *static_cast<sb2*>(ind) == -1)) {
                values[i] = Value::null();
            } else {
                values[i] =
                    decode_client_value(b->env, b->dty, buf, alen, b->charset_form == SQLCS_NCHAR);
            }
            continue;
        }
        values[i] = read_bind(*b, iter);
    }
}

// Hands a RETURNING ROWID value to the out-bind.
void deliver_rowid(OCIStmt* st, const Statement& stmt, ub4 iter, const std::string& rowid) {
    int ret = returning_index(stmt);
    OCIBind* b = bind_for(st, stmt, static_cast<size_t>(ret));
    if (b == nullptr) {
        return;
    }
    if ((b->mode & OCI_DATA_AT_EXEC) != 0) {
        b->rows_returned = 1;
        if (b->out_cb == nullptr) {
            return;
        }
        void* buf = nullptr;
        ub4* alenp = nullptr;
        ub1 piece = OCI_ONE_PIECE;
        void* ind = nullptr;
        ub2* rcode = nullptr;
        b->out_cb(b->out_ctx, b, iter, 0, &buf, &alenp, &piece, &ind, &rcode);
        if (buf == nullptr) {
            return;
        }
        if (ind == nullptr) {
            throw ora(24343);
        }
        ub4 capacity = alenp != nullptr && *alenp != 0 ? *alenp : static_cast<ub4>(b->size);
        ub4 n = write_out_text(b->env, b->dty, buf, capacity, rowid);
        if (alenp != nullptr) {
            *alenp = n;
        }
        *static_cast<sb2*>(ind) = 0;
        if (rcode != nullptr) {
            *rcode = 0;
        }
        return;
    }
    size_t stride = b->value_skip != 0 ? b->value_skip : static_cast<size_t>(b->size);
    char* elem = static_cast<char*>(b->buf) + iter * stride;
    ub4 n = write_out_text(b->env, b->dty, elem, static_cast<ub4>(b->size), rowid);
    if (b->alen != nullptr) {
        b->alen[iter] = static_cast<ub2>(n);
    }
    if (b->ind != nullptr) {
        static_cast<sb2*>(b->ind)[iter] = 0;
    }
}

// Copies up to `n` rows from the cursor into the defines; returns the status.
sword fetch_rows(OCIStmt* st, OCIError* err, ub4 n) {
    st->rows_fetched = 0;
    bool truncated = false;
    for (ub4 r = 0; r < n && st->cursor < st->result.rows.size(); ++r) {
        const std::vector<Value>& row = st->result.rows[st->cursor];
        for (auto& d : st->defines) {
            if (d->position == 0 || d->position > row.size()) {
                throw ora(1007);
            }
            truncated = write_define(*d, r, row[d->position - 1]) == 1406 || truncated;
        }
        ++st->cursor;
        ++st->rows_fetched;
        ++st->row_count;
    }
    if (st->rows_fetched < n) {
        return OCI_NO_DATA;
    }
    if (truncated) {
        return warn(err, ora(1406));
    }
    return OCI_SUCCESS;
}

void add_batch_error(OCIError* err, ub4 row, const OraError& e) {
    if (err == nullptr) {
        return;
    }
    auto rec = std::make_unique<OCIError>();
    rec->type = OCI_HTYPE_ERROR;
    rec->env = err->env;
    rec->owned_by_parent = true;
    rec->row_offset = row;
    rec->records.push_back(OCIError::Record{e.code(), e.message()});
    err->batch.push_back(std::move(rec));
}

void describe_into(OCIStmt* st, QueryResult result) {
    st->result = std::move(result);
    st->cursor = 0;
    st->described = true;
}

}  // namespace

OCISIM_EXPORT sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt,
                                   ub4 stmt_len, ub4 /*language*/, ub4 /*mode*/) {
    if (checked<OCIStmt>(stmtp, OCI_HTYPE_STMT) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    stmtp->sql = client_text(stmtp->env, stmt, stmt_len);
    stmtp->parsed.reset();
    stmtp->binds.clear();
    stmtp->defines.clear();
    stmtp->result = QueryResult{};
    stmtp->described = false;
    stmtp->cursor = 0;
    stmtp->row_count = 0;
    stmtp->rows_fetched = 0;
    stmtp->env->config->log_statement(stmtp->sql);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmtpp, OCIError* errhp,
                                    const OraText* stmt, ub4 stmt_len, const OraText* /*key*/,
                                    ub4 /*keylen*/, ub4 language, ub4 mode) {
    if (checked<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX) == nullptr || stmtpp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    auto* st = new OCIStmt;
    st->type = OCI_HTYPE_STMT;
    st->env = svchp->env;
    *stmtpp = st;
    return OCIStmtPrepare(st, errhp, stmt, stmt_len, language, mode);
}

OCISIM_EXPORT sword OCIStmtRelease(OCIStmt* stmtp, OCIError* /*errhp*/, const OraText* /*key*/,
                                   ub4 /*keylen*/, ub4 /*mode*/) {
    if (checked<OCIStmt>(stmtp, OCI_HTYPE_STMT) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    delete stmtp;
    return OCI_SUCCESS;
}

static sword bind_common(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, std::string name,
                         ub4 position, void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                         ub2* rcodep, ub4 mode) {
    if (checked<OCIStmt>(stmtp, OCI_HTYPE_STMT) == nullptr || bindpp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    OCIBind* b = nullptr;
    for (auto& existing : stmtp->binds) {
        if ((!name.empty() && existing->name == name) ||
            (name.empty() && existing->name.empty() && existing->position == position)) {
            b = existing.get();
        }
    }
    if (b == nullptr) {
        stmtp->binds.push_back(std::make_unique<OCIBind>());
        b = stmtp->binds.back().get();
        b->type = OCI_HTYPE_BIND;
        b->env = stmtp->env;
        b->stmt = stmtp;
    }
    b->name = std::move(name);
    b->position = position;
    b->buf = valuep;
    b->size = value_sz;
    b->dty = dty;
    b->ind = indp;
    b->alen = alenp;
    b->rcode = rcodep;
    b->mode = mode;
    *bindpp = b;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp,
                                  const OraText* placeholder, sb4 placeh_len, void* valuep,
                                  sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep,
                                  ub4 /*maxarr_len*/, ub4* /*curelep*/, ub4 mode) {
    if (checked<OCIStmt>(stmtp, OCI_HTYPE_STMT) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    std::string name = bind_name(stmtp->env, placeholder, placeh_len);
    if (name.empty()) {
        return fail(errhp, ora(1036));
    }
    return bind_common(stmtp, bindpp, errhp, std::move(name), 0, valuep, value_sz, dty, indp, alenp,
                       rcodep, mode);
}

OCISIM_EXPORT sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, ub4 position,
                                 void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                                 ub2* rcodep, ub4 /*maxarr_len*/, ub4* /*curelep*/, ub4 mode) {
    if (position == 0) {
        return fail(errhp, ora(1036));
    }
    return bind_common(stmtp, bindpp, errhp, "", position, valuep, value_sz, dty, indp, alenp,
                       rcodep, mode);
}

OCISIM_EXPORT sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* /*errhp*/, ub4 pvskip,
                                         ub4 indskip, ub4 alskip, ub4 rcskip) {
    if (checked<OCIBind>(bindp, OCI_HTYPE_BIND) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    bindp->value_skip = pvskip;
    bindp->ind_skip = indskip;
    bindp->alen_skip = alskip;
    bindp->rcode_skip = rcskip;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIBindDynamic(OCIBind* bindp, OCIError* /*errhp*/, void* ictxp,
                                   OCICallbackInBind icbfp, void* octxp, OCICallbackOutBind ocbfp) {
    if (checked<OCIBind>(bindp, OCI_HTYPE_BIND) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    bindp->in_ctx = ictxp;
    bindp->in_cb = icbfp;
    bindp->out_ctx = octxp;
    bindp->out_cb = ocbfp;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp,
                                   ub4 position, void* valuep, sb4 value_sz, ub2 dty, void* indp,
                                   ub2* rlenp, ub2* rcodep, ub4 /*mode*/) {
    if (checked<OCIStmt>(stmtp, OCI_HTYPE_STMT) == nullptr || defnpp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    if (position == 0) {
        return fail(errhp, ora(1007));
    }
    OCIDefine* d = nullptr;
    for (auto& existing : stmtp->defines) {
        if (existing->position == position) {
            d = existing.get();
        }
    }
    if (d == nullptr) {
        stmtp->defines.push_back(std::make_unique<OCIDefine>());
        d = stmtp->defines.back().get();
        d->type = OCI_HTYPE_DEFINE;
        d->env = stmtp->env;
        d->stmt = stmtp;
        d->position = position;
    }
    d->buf = valuep;
    d->size = value_sz;
    d->dty = dty;
    d->ind = indp;
    d->rlen = rlenp;
    d->rcode = rcodep;
    *defnpp = d;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDefineArrayOfStruct(OCIDefine* defnp, OCIError* /*errhp*/, ub4 pvskip,
                                           ub4 indskip, ub4 rlskip, ub4 rcskip) {
    if (checked<OCIDefine>(defnp, OCI_HTYPE_DEFINE) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    defnp->value_skip = pvskip;
    defnp->ind_skip = indskip;
    defnp->rlen_skip = rlskip;
    defnp->rcode_skip = rcskip;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters,
                                   ub4 rowoff, const OCISnapshot* /*snap_in*/,
                                   OCISnapshot* /*snap_out*/, ub4 mode) {
    if (checked<OCIStmt>(stmtp, OCI_HTYPE_STMT) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    sword status = OCI_SUCCESS;
    Session* s = session_of(svchp, errhp, &status);
    if (s == nullptr) {
        return status;
    }
    if (stmtp->sql.empty()) {
        return fail(errhp, ora(24337));
    }
    stmtp->row_count = 0;
    stmtp->rows_fetched = 0;
    stmtp->dml_errors = 0;
    if (errhp != nullptr) {
        errhp->batch.clear();
    }
    stmtp->svc = svchp;
    stmtp->db_charset = s->settings().charset;
    ub4 done = 0;
    try {
        s->round_trip();
        const Statement& stmt = parsed(stmtp, *s);
        if ((mode & (OCI_DESCRIBE_ONLY | OCI_PARSE_ONLY)) != 0) {
            describe_into(stmtp, s->describe(stmt));
            return OCI_SUCCESS;
        }
        check_binds(stmtp, stmt);
        if (stmt.is_query()) {
            collect_binds(stmtp, stmt, 0, stmtp->bind_values);
            ExecResult r = s->execute(stmtp->sql, stmt, stmtp->bind_values);
            describe_into(stmtp, std::move(r.query));
            if (iters == 0) {
                return OCI_SUCCESS;
            }
            sword fetched = fetch_rows(stmtp, errhp, iters);
            if ((mode & OCI_COMMIT_ON_SUCCESS) != 0) {
                s->commit();
            }
            return fetched;
        }
        if (iters == 0) {
            return fail(errhp, ora(kZeroIterationsError));
        }
        std::optional<OraError> warning;
        ub4 last = stmt.is_ddl() ? rowoff + 1 : iters;
        // With batch errors every row is tried and the failing ones are reported one by one;
        // without, the first failing row ends the run and the rows before it stay.
        const bool batch = (mode & OCI_BATCH_ERRORS) != 0 && !stmt.is_ddl();
        ub4 failed = 0;
        for (ub4 it = rowoff; it < last; ++it) {
            collect_binds(stmtp, stmt, it, stmtp->bind_values);
            ExecResult r;
            try {
                r = s->execute(stmtp->sql, stmt, stmtp->bind_values);
            } catch (const OraError& e) {
                if (!batch || s->connection_lost()) {
                    throw;
                }
                add_batch_error(errhp, it, e);
                ++failed;
                continue;
            }
            done += static_cast<ub4>(r.rows);
            stmtp->row_count = done;
            if (!r.rowid.empty()) {
                stmtp->last_rowid = r.rowid;
                deliver_rowid(stmtp, stmt, it, r.rowid);
            }
            if (r.warning) {
                warning = r.warning;
            }
        }
        stmtp->dml_errors = failed;
        if (failed > 0) {
            // Nothing is committed when a row failed, even with OCI_COMMIT_ON_SUCCESS.
            return warn(errhp, ora(24381));
        }
        if ((mode & OCI_COMMIT_ON_SUCCESS) != 0) {
            s->commit();
        }
        if (warning) {
            return warn(errhp, *warning);
        }
        return OCI_SUCCESS;
    } catch (const OraError& e) {
        stmtp->row_count = done;
        return fail(errhp, e);
    }
}

OCISIM_EXPORT sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                                  sb4 /*scroll_offset*/, ub4 /*mode*/) {
    if (checked<OCIStmt>(stmtp, OCI_HTYPE_STMT) == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    if (!stmtp->described) {
        return fail(errhp, ora(1002));
    }
    if (orientation != OCI_FETCH_NEXT && orientation != 0) {
        return fail(errhp, ora(24391));
    }
    try {
        // Each fetch call is a round trip of the session that executed the statement.
        if (OCISvcCtx* svc = checked<OCISvcCtx>(stmtp->svc, OCI_HTYPE_SVCCTX)) {
            if (svc->session != nullptr && svc->session->session) {
                svc->session->session->round_trip();
            }
        }
        return fetch_rows(stmtp, errhp, nrows);
    } catch (const OraError& e) {
        return fail(errhp, e);
    }
}

OCISIM_EXPORT sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                                 ub4 mode) {
    return OCIStmtFetch2(stmtp, errhp, nrows, orientation, 0, mode);
}

OCISIM_EXPORT sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp,
                                ub4 pos) {
    if (htype == OCI_HTYPE_ERROR) {
        // The failing rows of the last batch-error run, counted from 0. A live error handle
        // passed in receives the row's error; otherwise one owned by `hndlp` is handed out.
        auto* batch_err = checked<OCIError>(hndlp, OCI_HTYPE_ERROR);
        if (batch_err == nullptr || parmdpp == nullptr) {
            return OCI_INVALID_HANDLE;
        }
        clear(errhp);
        if (pos >= batch_err->batch.size()) {
            return fail(errhp, ora(24334, {std::to_string(pos)}));
        }
        OCIError* rec = batch_err->batch[pos].get();
        auto* target = checked<OCIError>(*parmdpp, OCI_HTYPE_ERROR);
        if (target != nullptr && target != batch_err && !target->owned_by_parent) {
            target->records = rec->records;
            target->row_offset = rec->row_offset;
            return OCI_SUCCESS;
        }
        *parmdpp = rec;
        return OCI_SUCCESS;
    }
    auto* st = checked<OCIStmt>(hndlp, OCI_HTYPE_STMT);
    if (st == nullptr || htype != OCI_HTYPE_STMT || parmdpp == nullptr) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    if (!st->described) {
        return fail(errhp, ora(24337));
    }
    if (pos < 1 || pos > st->result.columns.size()) {
        return fail(errhp, ora(24334, {std::to_string(pos)}));
    }
    // The descriptor belongs to the caller, who frees it with OCIDescriptorFree; one never
    // freed is a leak the sanitizers of the test runs report.
    auto* p = new OCIParam;
    p->type = OCI_DTYPE_PARAM;
    p->env = st->env;
    p->column = st->result.columns[pos - 1];
    p->encoded_name = encode_client_text(st->env, p->column.name);
    p->db_charset = st->db_charset;
    *parmdpp = p;
    return OCI_SUCCESS;
}
