// Oracle's rules for turning values into column data (lengths, precision and scale, implicit
// conversions, character sets) and for comparing values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "schema_catalog.h"
#include "service_store.h"
#include "sql_value.h"
#include "sqlite_db.h"

namespace ocisim {

// Column data in the form it takes in the SQLite table.
struct Stored {
    enum class Kind : uint8_t { Null, Int, Real, Text, Blob };
    Kind kind = Kind::Null;
    int64_t i = 0;
    double r = 0;
    std::string s;
};

// Converts `v` for `col` of `table`; throws ORA-12899, 01438, 01722, 00932, 01465, ...
// NOT NULL is checked by the caller (the error differs for INSERT and UPDATE).
Stored to_storage(const Value& v, const TableDef& table, const ColumnDef& col,
                  const ServiceSettings& settings);
void bind_stored(SqlStmt& st, int index, const Stored& s);
Value load_value(const SqlStmt& st, int index, const ColumnType& type);

Decimal to_number(const Value& v);
// `d` as a NUMBER holds it: rounded to 38 significant digits, zero below 1E-130 in magnitude;
// ORA-01426 from 1E126 on.
Decimal to_oracle_number(Decimal d);
std::string to_text(const Value& v);  // implicit conversion to character data
DateTime to_date_value(const Value& v);
std::string hex_to_raw(std::string_view hex);  // ORA-01465 for odd length or non-hex digits
std::string raw_to_hex(std::string_view raw);

enum class Tri : uint8_t { False, True, Unknown };
// Compares two non-NULL values with Oracle's implicit conversions; returns <0, 0, >0.
int compare_values(const Value& a, const Value& b);

// "S"."T"."C" as Oracle names a column in error messages.
std::string column_label(const TableDef& table, const std::string& column);

}  // namespace ocisim
