#pragma once
// Builds a new Oracle table from a source schema: column names Oracle accepts, column types,
// defaults and NOT NULL, the CREATE TABLE statement, and a sequence with a trigger standing in
// for an auto-increment column.

#include <string>

#include "ora/ora_validator.hpp"
#include "udb/udb_names_map.hpp"
#include "udb/udb_schema.hpp"

class ora_database;
class udb_indexes;

class ora_schema_initializer {
  public:
    ora_schema_initializer(std::u16string table_name, bool b_uppercase,
                           const udb_schema& source_schema, const udb_indexes& source_indexes);

    // Sends CREATE TABLE, then creates the sequence and trigger of the auto-increment column.
    void build_schema(ora_database& database);
    // The new sequence's name; empty when every candidate name is taken.
    std::u16string create_sequence(ora_database& database);

    // The CREATE TABLE text of the schema built so far.
    std::u16string create_table_statement() const;

    const udb_schema& schema() const noexcept { return schema_; }
    const t_names_map& names_map() const noexcept { return names_map_; }
    const std::u16string& auto_increment_column() const noexcept { return auto_increment_; }

    // The name a source field gets in Oracle, in source order: upper-cased when asked, replaced
    // by the validator's safe name when Oracle would refuse it, and registered as taken. Record
    // loading repeats it over a record's own field names, so both arrive at the same names.
    static std::u16string make_column_name(ora_validator& validator, const std::u16string& source,
                                           bool b_uppercase);

  private:
    void create_trigger(ora_database& database, const std::u16string& sequence);

    std::u16string table_name_;
    bool b_uppercase_;
    udb_schema schema_;
    std::u16string auto_increment_;
    ora_fn_validator validator_;
    t_names_map names_map_;
    const udb_schema& source_schema_;
};
