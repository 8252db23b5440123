#include "sqlite_db.h"

namespace ocisim {

SqlStmt::SqlStmt(sqlite3* db, std::string_view sql) : db_(db) {
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        throw SqliteError(sqlite3_extended_errcode(db),
                          std::string(sqlite3_errmsg(db)) + " in: " + std::string(sql));
    }
}

SqlStmt::~SqlStmt() {
    if (stmt_ != nullptr) {
        sqlite3_finalize(stmt_);
    }
}

SqlStmt& SqlStmt::operator=(SqlStmt&& o) noexcept {
    if (this != &o) {
        if (stmt_ != nullptr) {
            sqlite3_finalize(stmt_);
        }
        db_ = o.db_;
        stmt_ = o.stmt_;
        o.stmt_ = nullptr;
    }
    return *this;
}

SqlStmt& SqlStmt::bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
}
SqlStmt& SqlStmt::bind(int i, double v) {
    sqlite3_bind_double(stmt_, i, v);
    return *this;
}
SqlStmt& SqlStmt::bind(int i, std::string_view text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}
SqlStmt& SqlStmt::bind_blob(int i, std::string_view bytes) {
    sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}
SqlStmt& SqlStmt::bind_null(int i) {
    sqlite3_bind_null(stmt_, i);
    return *this;
}

int SqlStmt::step_code() {
    return sqlite3_step(stmt_);
}

bool SqlStmt::step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    throw SqliteError(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
}

void SqlStmt::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string SqlStmt::text(int i) const {
    const unsigned char* p = sqlite3_column_text(stmt_, i);
    int n = sqlite3_column_bytes(stmt_, i);
    return p == nullptr ? std::string()
                        : std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
}

std::string SqlStmt::blob(int i) const {
    const void* p = sqlite3_column_blob(stmt_, i);
    int n = sqlite3_column_bytes(stmt_, i);
    return p == nullptr ? std::string()
                        : std::string(static_cast<const char*>(p), static_cast<size_t>(n));
}

SqliteDb::SqliteDb(const std::string& path, bool create) {
    // One connection per session, used by one thread at a time: SQLite's own per-call locking
    // is not needed.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError(rc, msg + ": " + path);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteDb::~SqliteDb() {
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
    }
}

SqliteDb& SqliteDb::operator=(SqliteDb&& o) noexcept {
    if (this != &o) {
        if (db_ != nullptr) {
            sqlite3_close_v2(db_);
        }
        db_ = o.db_;
        o.db_ = nullptr;
    }
    return *this;
}

int SqliteDb::exec_code(std::string_view sql) {
    std::string s(sql);
    return sqlite3_exec(db_, s.c_str(), nullptr, nullptr, nullptr);
}

void SqliteDb::exec(std::string_view sql) {
    int rc = exec_code(sql);
    if (rc != SQLITE_OK) {
        throw SqliteError(sqlite3_extended_errcode(db_),
                          std::string(sqlite3_errmsg(db_)) + " in: " + std::string(sql));
    }
}

std::optional<std::string> SqliteDb::query_text(std::string_view sql) {
    SqlStmt st = prepare(sql);
    if (!st.step() || st.is_null(0)) {
        return std::nullopt;
    }
    return st.text(0);
}

std::string sql_quote_ident(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
    return out;
}

}  // namespace ocisim
