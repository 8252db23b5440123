#pragma once
// An existing Oracle table opened by name: its readable columns with types, sizes, NOT NULL
// and defaults from the describe and the catalogue, its primary key and indexes, the foreign
// keys that point at it, and its rows read forward.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ora/ora_column_value.hpp"
#include "ora/ora_query_results.hpp"
#include "udb/ole_variant.hpp"
#include "udb/udb_relationships.hpp"

class ora_database;
class ora_get_rowid;

class ora_table : public ora_query_results {
  public:
    ora_table(ora_database& database, std::u16string table_name, uint32_t open_mode);
    ~ora_table() override;

    // Inserts the record (large objects through their locators) and commits it; raises
    // ora_exception when the server refuses it, and the structure-mismatch exception when a
    // field and the columns do not match.
    void append_record(udb_record& record) override;
    // Per column, the index of the record field that fills it (npos: none); `order` lists the
    // columns the record fills in the INSERT's order. Raises the structure-mismatch exception
    // as append_record does before it sends anything.
    const std::vector<size_t>& columns_of(udb_record& record, std::vector<size_t>& order);
    // The literal of one column (a custom conversion's, else the value's).
    void append_literal(size_t eye, const udb_field& field, std::u16string& out);
    // Exact values: the value the INSERT gives the column at `eye`, NOT NULL relaxed where a
    // NULL needs it; false when only the literal says it (a custom conversion is not asked).
    // `out` may point into the field, or into this table until the next call.
    bool exact_value(size_t eye, const udb_field& field, ora_column_value& out);
    // Updates the row the table's primary or unique key finds; failures change nothing.
    void update(udb_record& record) override;
    // Appends to `out` the VALUES text of the record field for the column at `eye`.
    void get_fld_append_wstr(size_t eye, const udb_field& field, std::u16string& out);
    // Makes the column nullable (once: the descriptor's flag is cleared).
    void reset_not_null_flag(size_t eye);

    // True at the row count found when the table was opened (or when the rows end sooner).
    bool is_eof() override;
    void next() override;

    // The default a column's catalogue text stands for; VT_EMPTY when it stands for none.
    static ole_variant get_def_value(VARTYPE vartype, std::u16string_view text);

    ora_database& database() const noexcept { return database_; }
    udb_relationships& relationships;
    uint32_t current_row = 0;

  private:
    // The SQL literal of each column the record fills, indexed by column (NOT NULL relaxed
    // where a NULL needs it), with the columns in `order` as columns_of gives them.
    const std::vector<size_t>& column_literals(udb_record& record,
                                               std::vector<std::u16string>& literals,
                                               std::vector<size_t>& order);
    void init_schema();
    void init_indexes();
    uint32_t get_columns_cnt();
    // The SELECT of the readable columns; `column_count` drops by one per skipped column.
    std::u16string get_safe_select_query(uint32_t& column_count);
    // "table_name = '<name>'" for the catalogue views.
    std::u16string table_condition() const;
    std::u16string quoted_name() const;

    // The record's field names as table creation turned them into columns; recomputed only
    // when the record's field names change.
    const std::vector<std::u16string>& oracle_names(const udb_record& record);
    bool is_primary_key_column(const std::u16string& column) const;

    ora_database& database_;
    std::unique_ptr<ora_get_rowid> rowid_;
    std::vector<std::u16string> source_names_;
    std::vector<std::u16string> oracle_names_;
    std::vector<size_t> field_of_;  // per column, the index of the record field that fills it
    std::u16string columns_text_;
    std::u16string values_text_;
    std::vector<std::u16string> literals_;
    std::vector<size_t> order_;
    std::u16string number_text_;  // a number rendered by exact_value
};
