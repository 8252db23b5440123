#pragma once
// The end of a brixel-cli run: the table of what happened to each selected table, the list of
// every error met, and the exit code that scripts test.

#include <iosfwd>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"

// Exit codes of brixel-cli run (and of brixel-cli PROFILE).
enum : int {
    cli_exit_ok = 0,        // every table converted (or skipped by the policy), no error
    cli_exit_errors = 1,    // finished with errors: an error was noted or a table not converted
    cli_exit_usage = 2,     // bad command line, unreadable profile, unusable option value
    cli_exit_internal = 3,  // an internal error ended the program
    cli_exit_cannot_connect = 255,  // the connection failed (the -1 of the quick launch)
};

// The word of an outcome in the summary: "converted", "skipped", "failed", "not reached".
const char* outcome_word(t_table_report::outcome outcome);

// 0 when every table was converted or skipped by the policy, no record was rejected and no error
// was noted; 1 otherwise.
int run_exit_code(const std::vector<t_table_report>& reports, size_t error_count);

// The summary: one row per table (source and destination names, records of the table, records
// read, inserted, deleted ones left out, rejected, outcome) under a header, a line of totals by
// outcome, then every error message, numbered. Lines end with '\n'.
std::string format_summary(const std::vector<t_table_report>& reports,
                           const std::vector<std::string>& errors);

// The settings in force, for the first lines of the summary: source, destination, the policy
// for existing tables and the options. Lines end with '\n'.
std::string format_settings(const brixel_converter& converter);

// The per-table reports and every error as one JSON object, for scripts:
// {"tables":[{"table":..,"destination":..,"outcome":..,"records":..,"records_announced":..,
// "read":..,"inserted":..,"deleted":..,"rejected":..}],"errors":[..],"exit_code":N}, and
// "journal":"<path>" when the run's journal is kept (an unfinished run, or one asked for).
std::string format_summary_json(const std::vector<t_table_report>& reports,
                                const std::vector<std::string>& errors, int exit_code,
                                const std::string& journal = {});

// Writes `text` to `path` (for --summary-json). Raises run_usage_error when it cannot.
void write_text_file(const std::string& path, const std::string& text, const char* option);

// Every error message, one per line, for --errors-file. Raises run_usage_error when the file
// cannot be written.
void write_errors_file(const std::string& path, const std::vector<std::string>& errors);
