// One database session: its own SQLite connection to the service file, its transaction, the
// rows it has locked, and the counters it reports.
//
// Locking: SQLite locks the whole file while a transaction writes, where Oracle locks rows.
// A session takes the write lock with its first change (DML, SELECT ... FOR UPDATE) and keeps
// it until COMMIT or ROLLBACK; readers are never blocked (WAL) and see committed data only.
// A second session that wants to write meanwhile waits up to the lock wait time, then fails
// with ORA-00054.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ora_error.h"
#include "schema_catalog.h"
#include "service_store.h"
#include "sim_config.h"
#include "sql_ast.h"
#include "sql_parser.h"
#include "sql_value.h"
#include "sqlite_db.h"
#include "value_rules.h"

namespace ocisim {

struct RowSource;

struct ResultColumn {
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool computed = false;  // expression rather than a column: NUMBER without precision
};

struct QueryResult {
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
};

struct ExecResult {
    uint64_t rows = 0;                // rows processed by DML
    std::string rowid;                // RETURNING ROWID INTO
    std::optional<OraError> warning;  // success with info (e.g. trigger compiled with errors)
    QueryResult query;
};

struct SessionCounters {
    uint64_t round_trips = 0;
    uint64_t commits = 0;
    uint64_t executes = 0;
};

// The rows a transaction has locked, kept as runs of consecutive rowids per table: an array
// INSERT locks one run, not a set node per row.
class RowLocks {
  public:
    void add(int64_t table_id, int64_t rowid);
    bool has(int64_t table_id, int64_t rowid) const;
    void clear() { runs_.clear(); }

  private:
    struct Run {
        int64_t table_id, first, last;
    };
    std::vector<Run> runs_;
};

// What an INSERT needs besides its values: the table, the column each value goes to and the
// SQLite statement that stores a row. Built once and reused while the catalogue is unchanged.
struct InsertPlan {
    std::string table;
    std::vector<Ident> columns;
    std::shared_ptr<TableDef> def;
    std::vector<int> targets;
    SqlStmt* store = nullptr;
    std::vector<Value> row;
    std::vector<Stored> stored;
};

class Session {
  public:
    // Opens the service file; throws OraError on failure.
    Session(const std::string& service_path, std::string user, std::shared_ptr<SimConfig> config);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const std::string& user() const { return user_; }
    const ServiceSettings& settings() const { return settings_; }
    ParseOptions parse_options() const;
    SimConfig& config() { return *config_; }
    SessionCounters& counters() { return counters_; }
    // Counts a server round trip and applies the simulated latency. Throws ORA-03114 once the
    // connection was lost.
    void round_trip();
    bool connection_lost() const { return lost_; }

    // Describes a query without running it.
    QueryResult describe(const Statement& st);
    // One execution (one iteration of an array DML). Injected faults are applied here.
    ExecResult execute(const std::string& sql, const Statement& st,
                       const std::vector<Value>& binds);
    void commit();
    void rollback();
    // Ends the session and writes the counters. A session ended by its client commits its open
    // transaction; one whose connection goes away (detach, a freed handle) rolls it back.
    void end(bool commit_open_work = false);

    // LOB access through locators.
    std::string lob_read(const LobRef& ref, bool* is_clob);
    void lob_write(const LobRef& ref, const std::string& content);
    const TableDef& table_by_id(int64_t id);

    Value next_value(const std::string& owner, const std::string& sequence);
    // The rows and columns of a table, view or catalogue view named in FROM. With `rowid`,
    // only that row of a base table is read.
    void read_source(const TableRef& ref, RowSource* out, const int64_t* rowid);

  private:
    QueryResult run_select(const Select& s, const std::vector<Value>& binds, bool describe_only);
    ExecResult run_insert(const Insert& s, const std::vector<Value>& binds);
    ExecResult run_update(const Update& s, const std::vector<Value>& binds);
    ExecResult run_delete(const Delete& s, const std::vector<Value>& binds);
    ExecResult run_ddl_statement(const Statement& st);
    void create_table(const CreateTable& s);
    void drop_table(const DropTable& s);
    void alter_table(const AlterTable& s);
    void create_index(const CreateIndex& s);
    void create_sequence(const CreateSequence& s);
    std::optional<OraError> create_trigger(const CreateTrigger& s);
    void drop_object(const DropObject& s);
    bool catalogue_view(const TableRef& ref, RowSource* out);
    void fire_insert_triggers(const TableDef& t, std::vector<Value>& row);
    bool trigger_compiles(const TableDef& t, const TriggerDef& tr);
    void check_privilege(const char* privilege);
    void check_own_schema(const TableRef& ref);
    void resolve_dml(const TableRef& table, const std::vector<const Expr*>& exprs,
                     const std::vector<const Ident*>& targets);
    Value default_value(const ColumnDef& c);

    std::shared_ptr<TableDef> find_table(const TableRef& ref, bool must_exist = true);
    std::shared_ptr<TableDef> reload_table(const std::string& owner, const std::string& name);
    void check_catalogue_fresh();
    void forget_catalogue();
    void begin_write();
    void begin_statement();
    void end_statement(bool ok);
    void run_ddl(const std::function<void()>& body);
    void lock_row(int64_t table_id, int64_t rowid) { locked_rows_.add(table_id, rowid); }
    InsertPlan& insert_plan(const Insert& s);
    SqlStmt& cached(const std::string& sql);
    [[noreturn]] void raise_sqlite(const SqliteError& e, const TableDef* table);
    void write_counters();

    SqliteDb db_;
    std::string service_path_;
    std::string user_;
    std::shared_ptr<SimConfig> config_;
    ServiceSettings settings_;
    SchemaCatalog catalog_;
    bool in_transaction_ = false;
    bool lost_ = false;
    bool ended_ = false;
    int64_t data_version_ = -1;
    int64_t ddl_version_ = -1;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<TableDef>> tables_;
    std::map<int64_t, std::shared_ptr<TableDef>> tables_by_id_;
    std::map<std::string, std::unique_ptr<SqlStmt>> statements_;
    RowLocks locked_rows_;
    std::unique_ptr<InsertPlan> insert_plan_;
    std::unique_ptr<SqlStmt> data_version_stmt_;
    std::map<int64_t, int64_t> sequence_marks_;  // sequence id -> next value handed out
    SessionCounters counters_;
};

}  // namespace ocisim
