#pragma once
// A folder of DBF tables as one source database: every .dbf file in it is a table, named by its
// file name in lower case without the extension (a file whose name differs from an earlier one
// only in letter case keeps its own letters, so that both are tables). Opening a table gives a
// dbf_recordset; the folder is listed once, at construction. At most one instance exists at a time.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tk/tk_singleton.hpp"
#include "udb/udb_database.hpp"
#include "udb/udb_values.hpp"

class dbf_database : public tk_singleton<dbf_database>, public udb_database {
  public:
    // folder: the folder of the tables; user_language_driver_id: 0 (each table's own code page)
    // or the id every table is decoded with.
    dbf_database(const std::u16string& folder, uint32_t open_mode, uint8_t user_language_driver_id);
    ~dbf_database() override;

    using udb_database::get_table;

    // Not used: the DBF side is only read.
    std::unique_ptr<udb_recordset> create_table(const std::u16string& table_name,
                                                const udb_schema& source_schema,
                                                const udb_indexes& source_indexes) override;
    // Deletes the table's file and its memo files.
    bool delete_tab(const std::u16string& table_name) override;
    // Queries are not available: no recordset.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& table_name,
                                             const std::u16string& query_text,
                                             uint32_t open_mode) override;
    // Opens the table; the caller owns the recordset.
    std::unique_ptr<udb_recordset> get_table(const std::u16string& table_name,
                                             uint32_t open_mode) override;
    bool test_query(const std::u16string& statement) override;

    // The folder, a slash and the file of a listed table; for any other name, the name in lower
    // case with ".dbf" unless it ends so.
    std::u16string get_full_table_name(const std::u16string& table_name) const;

    uint8_t language_driver_id = 0;
    // How the tables opened from now on decode their values.
    udb_values values = udb_values::classic;

  private:
    bool is_listed(const std::u16string& table) const;

    std::map<std::u16string, std::u16string> files_;  // table name -> file name in the folder
};
