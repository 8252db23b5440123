// A thin RAII layer over one SQLite connection and its prepared statements.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ocisim {

// A SQLite failure the caller did not expect; `code` is the extended result code.
class SqliteError : public std::runtime_error {
  public:
    SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

class SqlStmt {
  public:
    SqlStmt() = default;
    SqlStmt(sqlite3* db, std::string_view sql);
    ~SqlStmt();
    SqlStmt(SqlStmt&& o) noexcept : db_(o.db_), stmt_(o.stmt_) { o.stmt_ = nullptr; }
    SqlStmt& operator=(SqlStmt&& o) noexcept;
    SqlStmt(const SqlStmt&) = delete;
    SqlStmt& operator=(const SqlStmt&) = delete;

    SqlStmt& bind(int i, int64_t v);
    SqlStmt& bind(int i, double v);
    SqlStmt& bind(int i, std::string_view text);
    SqlStmt& bind_blob(int i, std::string_view bytes);
    SqlStmt& bind_null(int i);
    // Steps once: true when a row is available. Throws SqliteError on failure.
    bool step();
    // Steps once and returns the raw result code (SQLITE_ROW, SQLITE_DONE or an error).
    int step_code();
    void reset();

    int column_type(int i) const { return sqlite3_column_type(stmt_, i); }
    int64_t int64(int i) const { return sqlite3_column_int64(stmt_, i); }
    double real(int i) const { return sqlite3_column_double(stmt_, i); }
    std::string text(int i) const;
    std::string blob(int i) const;
    bool is_null(int i) const { return column_type(i) == SQLITE_NULL; }
    int column_count() const { return sqlite3_column_count(stmt_); }
    sqlite3_stmt* raw() const { return stmt_; }

  private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

class SqliteDb {
  public:
    SqliteDb() = default;
    // Opens (create=false: must exist). Throws SqliteError.
    SqliteDb(const std::string& path, bool create);
    ~SqliteDb();
    SqliteDb(SqliteDb&& o) noexcept : db_(o.db_) { o.db_ = nullptr; }
    SqliteDb& operator=(SqliteDb&& o) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    void exec(std::string_view sql);
    int exec_code(std::string_view sql);
    SqlStmt prepare(std::string_view sql) { return SqlStmt(db_, sql); }
    std::optional<std::string> query_text(std::string_view sql);
    int64_t last_rowid() const { return sqlite3_last_insert_rowid(db_); }
    int changes() const { return sqlite3_changes(db_); }
    sqlite3* raw() const { return db_; }
    std::string error_message() const { return sqlite3_errmsg(db_); }

  private:
    sqlite3* db_ = nullptr;
};

// Double-quotes an identifier for SQLite.
std::string sql_quote_ident(std::string_view name);

}  // namespace ocisim
