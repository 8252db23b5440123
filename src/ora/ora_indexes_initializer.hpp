#pragma once
// Turns the source indexes of a new table into its primary key, unique constraints and plain
// indexes, with names unique across the whole run.

#include <cstdint>
#include <string>

#include "udb/udb_indexes.hpp"

class ora_in_validator;
class t_ftd;
class t_names_map;
class udb_schema;

class ora_indexes_initializer {
  public:
    // `schema` and `names` are the new table's columns and the source-to-column name map.
    ora_indexes_initializer(std::u16string table_name, const udb_indexes& source_indexes,
                            const udb_schema& schema, const t_names_map& names,
                            ora_in_validator& validator);

    // Sends one statement per kept index; ORA-01408 and ORA-02261 are passed over.
    void build_indexes();

    // Large objects cannot be indexed.
    static bool can_be_part_of_index(const t_ftd& field);

    const udb_indexes& indexes() const noexcept { return indexes_; }
    int32_t primary_position() const noexcept { return primary_; }

  private:
    std::u16string table_name_;
    int32_t primary_ = -1;
    udb_indexes indexes_;
};
