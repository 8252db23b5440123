// The catalogue of every schema of a service: tables and their columns, constraints, indexes,
// sequences and triggers, kept in the ocisim_* tables of the service file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "column_type.h"
#include "sqlite_db.h"

namespace ocisim {

struct ColumnDef {
    std::string name;
    std::string storage;  // the SQLite column: the name, unless another differs only in case
    ColumnType type;
    bool nullable = true;
    std::optional<std::string> data_default;  // as written in the DDL
};

struct KeyDef {
    std::string name;
    char type = 'P';  // P primary key, U unique, C check (NOT NULL)
    std::vector<std::string> columns;
    bool generated = false;
    std::string index_name;
    std::string search_condition;
};

struct IndexDef {
    std::string name;
    bool unique = false;
    std::vector<std::string> columns;
    bool generated = false;
};

struct TriggerDef {
    int64_t id = 0;
    std::string name;
    std::string when_column;
    std::string sequence;
    std::string into_column;
    bool recognised = false;
    std::string status;  // VALID or INVALID
    std::string text;
};

struct TableDef {
    int64_t id = 0;
    std::string owner;
    std::string name;
    // The SQLite table: the name, unless that is taken (another schema's table of that name, or
    // one whose name differs only in letter case, which SQLite does not tell apart).
    std::string storage;
    std::vector<ColumnDef> columns;
    std::vector<KeyDef> keys;
    std::vector<IndexDef> indexes;
    std::vector<TriggerDef> triggers;

    int find_column(const std::string& column) const;
    // The SQLite column of the named column (the name itself when unknown).
    const std::string& storage_of(const std::string& column) const;
    const KeyDef* primary_key() const;
};

struct SequenceDef {
    int64_t id = 0;
    std::string owner;
    std::string name;
    int64_t increment = 1;
    std::string min_value;
    std::string max_value;
    bool cycle = false;
    int64_t next_value = 1;
};

struct ObjectRow {
    int64_t id = 0;
    std::string owner, name, type, status;
};

// Object namespaces: tables, views and sequences share one; indexes and triggers have theirs.
const char* namespace_of(const std::string& object_type);

class SchemaCatalog {
  public:
    explicit SchemaCatalog(SqliteDb& db) : db_(db) {}

    std::shared_ptr<TableDef> load_table(const std::string& owner, const std::string& name);
    std::shared_ptr<TableDef> load_table_by_id(int64_t id);
    std::optional<ObjectRow> find_object(const std::string& owner, const std::string& name,
                                         const std::string& ns);
    std::vector<ObjectRow> objects(const std::string& owner, const std::string& type);
    bool constraint_name_used(const std::string& owner, const std::string& name);
    bool index_name_used(const std::string& owner, const std::string& name);

    int64_t add_object(const std::string& owner, const std::string& name, const std::string& type,
                       const std::string& status = "VALID");
    void remove_object(int64_t id);
    void set_object_status(int64_t id, const std::string& status);
    std::string next_constraint_name();
    void bump_ddl_version();
    int64_t ddl_version();

    void save_columns(const TableDef& t);
    void set_storage(int64_t table_id, const std::string& storage);
    // Whether SQLite already has a table or index of this name (SQLite ignores letter case).
    bool storage_taken(const std::string& name);
    void add_key(const std::string& owner, int64_t table_id, const KeyDef& k);
    void remove_keys_of(int64_t table_id);
    void add_index(const std::string& owner, int64_t table_id, const IndexDef& i);
    void remove_index(const std::string& owner, const std::string& name);
    void remove_indexes_of(int64_t table_id);

    void add_sequence(const SequenceDef& s);
    std::optional<SequenceDef> load_sequence(const std::string& owner, const std::string& name);
    void set_sequence_next(int64_t id, int64_t next);

    void add_trigger(int64_t table_id, const TriggerDef& t);
    void remove_triggers_of(int64_t table_id);

  private:
    SqliteDb& db_;
};

std::string join_names(const std::vector<std::string>& names);
std::vector<std::string> split_names(const std::string& joined);

}  // namespace ocisim
