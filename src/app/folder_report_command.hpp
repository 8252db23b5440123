#pragma once
// `brixel-cli inspect FOLDER [TABLE...] [--encoding ID|NAME]`: what the reader sees in a folder of
// DBF tables, before anything is converted. Per table: the layout, the record count, the code
// page its texts are decoded with, whether its memo file is there, and per field the DBF type
// letter, the size (and decimals) and the Oracle column type it would get:
//
//     orders: FoxPro 2.x with memo (0xF5), 2 records, code page 0x65 Russian MS-DOS (866),
//         memo file present (orders.fpt)
//       field  type  size  dec  oracle type
//       NAME   C       20       NVARCHAR2(20)
//
// A table that cannot be read gets one line saying why, and the other tables still print.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct inspect_options {
    std::string folder;
    std::vector<std::string> tables;  // empty: every table of the folder
    std::optional<uint8_t> encoding;  // language driver id replacing each table's own
    bool help = false;
};

// Exit codes of inspect.
enum : int {
    inspect_ok = 0,
    inspect_damaged = 1,  // a table could not be read, or its memo file is missing
    inspect_usage = 2,    // bad arguments, a missing folder or table
};

// Parses the arguments after "inspect". Raises run_usage_error.
inspect_options parse_inspect_arguments(const std::vector<std::string>& args);

// The name of the layout a version byte selects, as the reader treats it.
std::string dbf_layout_name(uint8_t version);

// Prints the tables to `out`; a usage problem (missing folder or table) goes to `err`. Answers
// one of the exit codes above.
int run_inspect(const inspect_options& options, std::ostream& out, std::ostream& err);

extern const char* const inspect_usage_text;
