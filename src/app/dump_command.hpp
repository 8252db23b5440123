#pragma once
// `brixel-cli dump FOLDER [TABLE...]`: prints the decoded records of DBF tables as JSON Lines,
// one object per record, so that users can look at their data before they migrate it and
// readers can be compared:
//
//     {"table":"orders","record":1,"deleted":false,"fields":[
//         {"name":"ID","vartype":3,"value":"17"},{"name":"NOTE","vartype":0,"value":null}]}
//
// Values are rendered as the conversion would read them (to_wstring, byte arrays as "0x" and
// two hexadecimal digits per byte); an empty value is null.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct dump_options {
    std::string folder;
    std::vector<std::string> tables;      // empty: every table of the folder, in listing order
    uint8_t user_language_driver_id = 0;  // 0: each table's own code page
};

// Exit codes of the dump.
enum : int {
    dump_ok = 0,
    dump_table_failed = 1,  // a table or record could not be read (reported), or an error noted
    dump_usage = 2,         // bad arguments
    dump_not_found = 2,     // the folder or a named table does not exist (as for run)
};

// Parses the arguments after "dump". On failure returns nothing and writes why to `err`.
//     FOLDER [TABLE...] [--tables A,B,C] [--encoding ID|NAME | --codepage CP | --ldid ID]
// --tables and --encoding are spelled as for brixel-cli run; CP is a Windows/DOS code page number
// of the code-page list (866, 1251, 437, ...); ID is a language driver id byte, decimal or
// 0x-hexadecimal.
std::optional<dump_options> parse_dump_arguments(const std::vector<std::string>& args,
                                                 std::ostream& err);

// The language driver id that decodes with code page `codepage`; nothing when none does.
std::optional<uint8_t> dump_ldid_of_codepage(int codepage);

// Dumps the tables; messages go to `err`. Returns one of the exit codes above.
int run_dump(const dump_options& options, std::ostream& out, std::ostream& err);

extern const char* const dump_usage_text;
