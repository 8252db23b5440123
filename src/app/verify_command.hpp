#pragma once
// `brixel-cli verify [OPTIONS]`: proof that a conversion lost nothing. Every selected source
// table is read (values decoded exactly, whatever the conversion used) beside its destination
// table, record by record in load order, and each value is compared with the meaning of its
// type: numbers as decimals, dates as dates with milliseconds, texts as texts, bytes as bytes,
// NULL as NULL (an empty text is NULL, as Oracle keeps it).

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/run_command.hpp"

class brixel_converter;

struct verify_column_report {
    std::u16string name;  // the source field
    uint64_t differing = 0;
    std::vector<std::string> examples;  // the first few: record, source value, destination value
};

struct verify_table_report {
    std::u16string table;
    std::u16string destination;
    std::string failure;  // why the table could not be compared at all; empty when it was
    uint64_t rows_compared = 0;
    uint64_t rows_missing = 0;  // source records with no destination row
    uint64_t rows_extra = 0;    // destination rows with no source record
    uint64_t values_total = 0;  // source values, those of missing records included
    uint64_t values_equal = 0;
    std::vector<verify_column_report> columns;    // those with differing values
    std::vector<std::u16string> missing_columns;  // source fields with no destination column
    std::vector<std::u16string> extra_columns;    // destination columns with no source field

    bool equal() const noexcept {
        return failure.empty() && rows_missing == 0 && rows_extra == 0 &&
               values_equal == values_total && extra_columns.empty();
    }
};

// How many examples a column keeps.
inline constexpr size_t verify_examples = 3;

// Compares every selected table of the converter's source folder with its destination table in
// the connected schema (the converter's name rules: upper case when it upper-cases, deleted
// records left out when it leaves them out).
std::vector<verify_table_report> verify_tables(brixel_converter& converter);

// The report as text: per table the rows compared, missing and extra, the equal/total values,
// the columns that differ with their first examples; then the totals.
std::string format_verify_report(const std::vector<verify_table_report>& reports);

// Two values compared with the meaning of their type; `b_number` when either side's column is a
// number. The canonical text of each goes to the out parameters (for examples).
bool verify_same_value(const class ole_variant& source, const class ole_variant& destination,
                       bool b_number, std::string& source_text, std::string& destination_text);

// The command: start-up, profile and options as for run, the connection, the comparison, the
// report on `out`. Exit 0 when every table is equal, 1 when something differs, 2 for a usage
// error, 255 when the connection fails.
int verify_command(const run_options& options, run_terminal& terminal);

extern const char* const verify_usage_text;
