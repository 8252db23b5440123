#pragma once
// The options of `brixel-cli run` and `brixel-cli PROFILE`: parsing the command line into
// run_options, and applying them to the converter on top of the settings it already holds (the
// defaults, or the wizard's last settings when asked, then the profile, then the options, each
// overriding what it names).
//
// A mistake on the command line is a run_usage_error; the front end prints its text and ends
// with the usage exit code. Nothing here prints.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_user_interface.hpp"
#include "ora/ora_loader.hpp"
#include "tk/tk_exception.hpp"
#include "udb/udb_values.hpp"

class brixel_converter;

// A command line that cannot be carried out as given: unknown or malformed options, a password
// source that gives nothing, a profile that cannot be read, tables the folder does not hold.
class run_usage_error : public tk_exception {
  public:
    explicit run_usage_error(std::string text) : tk_exception(std::move(text), 1) {}
};

struct run_options {
    std::optional<std::string> profile;  // a profile loaded before the other options apply
    std::optional<std::string> source;   // DBF folder
    std::optional<std::string> host;
    std::optional<std::string> port;
    std::optional<std::string> service;  // the Oracle service or database name
    std::optional<std::string> user;
    std::optional<std::string> password_env;   // name of the variable holding the password
    std::optional<std::string> password_file;  // the password is its first line
    std::optional<std::string> password;       // given on the command line itself
    std::optional<std::vector<std::string>> tables;
    std::optional<int32_t> existing;  // brixel_converter::mode_overwrite, _merge or _skip
    std::optional<bool> definitions_only;
    std::optional<bool> skip_deleted;
    std::optional<bool> bool_as_is;
    std::optional<bool> skip_indexes;
    std::optional<bool> uppercase;
    std::optional<uint8_t> encoding;  // language driver id of the chosen code page, 0 = each file's
    std::optional<udb_values> values;     // --values exact|classic
    std::optional<ora_load_method> load;  // --load array|row
    std::optional<uint32_t> batch_rows;   // rows per execute of the array load
    std::optional<uint32_t> commit_rows;  // rows per commit of the array load, 0: per table
    std::optional<uint32_t> jobs;         // tables converted at once, each on its own session
    std::optional<std::string> log_file;
    std::optional<int> log_level;
    std::optional<std::string> save_profile;
    std::optional<on_error_policy> on_error;
    std::optional<std::string> errors_file;
    std::optional<std::string> summary_json;  // the per-table report and every error, as JSON
    std::optional<uint32_t> max_errors;       // the run stops once this many errors were met
    std::optional<std::string> journal;       // where the run journal goes
    std::optional<std::string> resume;        // the journal of the run to finish
    std::optional<uint32_t> reconnect;        // attempts after a lost connection
    bool use_last_settings = false;  // start from the wizard's last settings, not the defaults
    bool save_settings = false;      // write the settings in force back for the wizard
    bool quiet = false;
    bool help = false;  // --help was given: nothing else is looked at
};

// Parses the arguments after `run` (b_profile_first false) or the arguments of
// `brixel-cli PROFILE [options]`, where the first one is the profile (b_profile_first true).
// Raises run_usage_error.
run_options parse_run_arguments(const std::vector<std::string>& args, bool b_profile_first);

// The language driver id an --encoding value names: the id itself (decimal or 0x-hexadecimal)
// or the display name of the code page list, in any letter case. Raises run_usage_error.
uint8_t parse_encoding(const std::string& text);

// The policy used when --on-error is not given: ask when someone can answer on a terminal.
on_error_policy default_on_error_policy(bool b_interactive);

// Reaches the world outside the options: tests replace both.
struct run_environment {
    // The value of an environment variable, nothing when it is not set.
    std::function<std::optional<std::string>(const std::string&)> getenv;
    // The tables of the source folder in the folder's order (default: the converter's list).
    std::function<std::vector<std::u16string>(brixel_converter&)> list_tables;

    // The process environment and the converter's own listing.
    static run_environment process();
};

// The password the options choose: --password, --password-env VAR or --password-file FILE (at
// most one of them), else BRIXEL_PASSWORD when it is set and not empty; nothing keeps the
// password the converter already has. Raises run_usage_error.
std::optional<std::string> resolve_password(const run_options& options,
                                            const run_environment& environment);

// Appends the names of a comma-separated table list (blanks around names ignored). Raises
// run_usage_error for an empty name.
void append_table_list(const std::string& list, std::vector<std::string>& names);

// A connect string: USER@//HOST[:PORT]/SERVICE, or USER@NAME for a net service name. Fills the
// user, host, port and service it names; raises run_usage_error for anything else.
void parse_connect_string(const std::string& text, run_options& options);

// The tables to convert from the names the user gave: each must be a table of the folder (letter
// case and a ".dbf" ending do not matter), given once; the folder's spelling is kept, the user's
// order too. Raises run_usage_error naming every name that is wrong.
std::vector<std::u16string> match_tables(const std::vector<std::string>& wanted,
                                         const std::vector<std::u16string>& available);

// Applies the options to the converter, after the profile (when one is named) was loaded into
// it. The tables are the ones given, else the profile's selection, else every table of the
// folder. Raises run_usage_error; a log file that cannot be used raises the converter's own
// error.
void apply_run_options(const run_options& options, brixel_converter& converter,
                       const run_environment& environment);

// Writes the converter's settings as a profile readable by its owner only (mode 0600, set
// before anything is written). The profile goes to a temporary file beside `path` that replaces
// it only once complete, so a refused profile leaves an existing file as it was. Raises
// run_usage_error when the file cannot be written.
void save_run_profile(brixel_converter& converter, const std::string& path);
