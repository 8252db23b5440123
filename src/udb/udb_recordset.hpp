#pragma once
// One open table or query result with a cursor over its rows, as every engine presents it: the
// DBF source (dbf_recordset) and the Oracle destination (query results and tables). The virtual
// operations keep the fixed slot order of the engine interface.

#include <cstdint>
#include <string>

#include "udb/udb_indexes.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_schema.hpp"

class udb_recordset {
  public:
    // b_schema_flag is passed on to the schema.
    udb_recordset(std::u16string table_name, std::u16string query_text, bool b_schema_flag);
    udb_recordset(std::u16string table_name, bool b_schema_flag);
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;

    // slot 0
    virtual ~udb_recordset();
    // slot 1: appends one row.
    virtual void append_record(udb_record& record) = 0;
    // slot 2: updates the row the key index finds; the base only traces.
    virtual void update(udb_record& record);
    // slot 3: a hook without arguments; does nothing.
    virtual void on_hook() {}
    // slot 4: the current row, owned by the recordset; the base has none.
    virtual udb_record* get_item();
    // slot 5
    virtual bool is_eof();
    // slot 6: true when the recordset reads a query text instead of a table.
    virtual bool is_query() const;
    // slots 7, 8, 9: cursor moves; the base does nothing.
    virtual void next() {}
    virtual void prev() {}
    virtual void first() {}

    // Appends an index unless one of that name exists; the first unique or primary index added
    // becomes the key index.
    void add_index(const udb_index& index);

    std::u16string sql_text;
    std::u16string name;
    udb_schema schema;
    udb_indexes indexes;
    uint32_t records_cnt = 0;
    int32_t key_index = -1;
};
