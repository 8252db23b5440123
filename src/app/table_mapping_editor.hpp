#pragma once
// The content of the type-mapping dialog for one source table: a row per source column with the
// destination name, type, size and default it gets today (the table's mapping, else the Oracle
// type a column gets unchanged), and the way back: the edited rows written into the converter's
// mapping. The dialog only shows rows and hands them back.

#include <cstdint>
#include <string>
#include <vector>

class brixel_converter;

struct t_mapping_row {
    std::u16string source_name;
    std::u16string name;       // destination column name
    std::u16string base_type;  // Oracle type name without its sizes: "NUMBER", "NVARCHAR2"
    std::u16string default_value;
    std::string marker;  // "auto_increment", "NOT NULL" or "NULL"
    int32_t length = 0;
    int32_t precision = 0;
    int32_t scale = 0;
    bool b_converted = true;  // the check box: false leaves the column out
    // The Oracle types offered for the column, the current one first when the list lacks it.
    std::vector<std::u16string> available_types;

    // The type as a column declaration takes it: "NVARCHAR2(40)", "NUMBER(10,2)", "CLOB".
    std::u16string type_text(const brixel_converter& converter) const;

    // Whether the column had a mapping, and what it showed when loaded: a column without a
    // mapping that the user left as it was gets none, so its values travel unconverted.
    bool b_mapped = false;
    std::u16string loaded;
    std::u16string state(const brixel_converter& converter) const;
};

struct t_table_mapping {
    std::u16string table;  // source table
    std::u16string new_name;
    std::vector<t_mapping_row> rows;
};

// The rows of a source table of the converter's folder, in column order.
t_table_mapping load_table_mapping(brixel_converter& converter, const std::u16string& table);

// Null when the mapping may be stored, else the message that refuses it (an empty table or
// column name).
const char* check_table_mapping(const t_table_mapping& mapping);

// Writes the table's destination name and every row into the converter's mapping; rows left
// unticked are left out of the destination table.
void store_table_mapping(brixel_converter& converter, const t_table_mapping& mapping);
