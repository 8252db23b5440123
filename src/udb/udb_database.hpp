#pragma once
// One database as the conversion run sees it: a folder of DBF tables or an Oracle schema. The
// virtual operations keep the fixed slot order of the engine interface; hooks that no engine
// overrides keep their place so that the order stays the same.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "udb/udb_indexes.hpp"
#include "udb/udb_names_map.hpp"
#include "udb/udb_recordset.hpp"
#include "udb/udb_relationships.hpp"
#include "udb/udb_schema.hpp"

class udb_database {
  public:
    udb_database(std::u16string database_name, uint32_t open_mode, bool case_sensitive);
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;

    // slot 0
    virtual ~udb_database();
    // slot 1: hook; does nothing.
    virtual void on_hook_1(const std::u16string& /*arg*/) {}
    // slot 2: creates a table (when it does not exist) and opens it; the caller owns the result.
    virtual std::unique_ptr<udb_recordset> create_table(const std::u16string& table_name,
                                                        const udb_schema& source_schema,
                                                        const udb_indexes& source_indexes) = 0;
    // slot 3: hook; does nothing.
    virtual void on_hook_2(const std::u16string& /*arg1*/, const std::u16string& /*arg2*/) {}
    // slot 4
    virtual void create_views(const std::vector<std::u16string>& /*queries*/) {}
    // slots 5, 6: hooks; do nothing.
    virtual void on_hook_3(const std::u16string& /*arg*/) {}
    virtual void on_hook_4(const std::u16string& /*arg1*/, const std::u16string& /*arg2*/) {}
    // slot 7: removes the name from `tables`; an unknown name is an internal error.
    virtual bool delete_tab(const std::u16string& table_name);
    // slot 8: opens a query result.
    virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& table_name,
                                                     const std::u16string& query_text,
                                                     uint32_t open_mode) = 0;
    // slot 9: further object names; the base has none.
    virtual void get_object_names(std::vector<std::u16string>& names);
    // slot 10: opens a table.
    virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& table_name,
                                                     uint32_t open_mode) = 0;
    // slot 11: runs a statement; not available in the base (internal error).
    virtual void query(const std::u16string& statement);
    // slot 12
    virtual bool test_query(const std::u16string& statement) = 0;
    // slot 13
    virtual void create_relationships(const udb_relationships& /*keys*/) {}
    // slot 14
    virtual std::vector<std::u16string>& get_tables();
    // slot 15: whether `tables` holds the name (compared as b_case_sensitive says).
    virtual bool is_table_exist(const std::u16string& table_name);

    uint32_t mode = 0;
    std::u16string name;
    bool b_case_sensitive = false;
    std::map<std::u16string, std::u16string> names_to_names;
    std::vector<std::u16string> tables;
    udb_names_map names_map;
    udb_relationships relationships;
    uint32_t reserved = 0;

  protected:
    // The position of the name in `tables`, compared as b_case_sensitive says; -1 when absent.
    std::ptrdiff_t find_table(const std::u16string& table_name) const;
};
