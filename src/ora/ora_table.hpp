#pragma once
// An existing Oracle table opened by name: its readable columns with types, sizes, NOT NULL
// and defaults from the describe and the catalogue, its primary key and indexes, the foreign
// keys that point at it, and its rows read forward.

#include <cstdint>
#include <string>
#include <string_view>

#include "ora/ora_query_results.hpp"
#include "udb/ole_variant.hpp"
#include "udb/udb_relationships.hpp"

class ora_database;

class ora_table : public ora_query_results {
  public:
    ora_table(ora_database& database, std::u16string table_name, uint32_t open_mode);

    // True at the row count found when the table was opened (or when the rows end sooner).
    bool is_eof() override;
    void next() override;

    // The default a column's catalogue text stands for; VT_EMPTY when it stands for none.
    static ole_variant get_def_value(VARTYPE vartype, std::u16string_view text);

    ora_database& database() const noexcept { return database_; }
    udb_relationships& relationships;
    uint32_t current_row = 0;

  private:
    void init_schema();
    void init_indexes();
    uint32_t get_columns_cnt();
    // The SELECT of the readable columns; `column_count` drops by one per skipped column.
    std::u16string get_safe_select_query(uint32_t& column_count);
    // "table_name = '<name>'" for the catalogue views.
    std::u16string table_condition() const;

    ora_database& database_;
};
