#include "app/folder_report_command.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/run_options.hpp"
#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_database.hpp"
#include "dbf/dbf_header.hpp"
#include "dbf/dbf_record.hpp"
#include "dbf/dbf_recordset.hpp"
#include "ora/ora_util.hpp"
#include "tk/tk_codepage.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"

const char* const inspect_usage_text =
    "usage: brixel-cli inspect FOLDER [TABLE...] [--tables A,B,C] [--encoding ID|NAME]\n"
    "  Shows what would be read from each DBF table of FOLDER (all of them, or the ones\n"
    "  named): layout, record count, code page, memo file state, and every field with its\n"
    "  type letter, size, decimals and the Oracle column type it would get.\n"
    "  --encoding ID|NAME  the code page choice of a run (language driver id, decimal or\n"
    "                      0x-hexadecimal, or its name such as \"Russian MS-DOS\"); shows the\n"
    "                      code page the texts would then be decoded with\n"
    "Exit status: 0 every table readable, 1 a table unreadable or its memo file missing,\n"
    "2 bad arguments or a missing folder or table.\n";

namespace {

std::string hex_byte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

std::string one_line(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// "0x65 Russian MS-DOS (866)"; an id outside the list decodes with the ANSI code page.
std::string codepage_text(uint8_t id) {
    std::string text = hex_byte(id);
    for (const auto& [known, name] : codepage_names()) {
        if (known == id) {
            text += " " + tk_w2a(name);
            break;
        }
    }
    const int codepage = dbf_effective_codepage(dbf_codepage_of(id));
    if (codepage == 0) {
        text += " (ANSI code page " + std::to_string(tk_default_ansi_codepage()) + ")";
    } else {
        text += " (" + std::to_string(codepage) + ")";
    }
    return text;
}

std::string memo_state(const dbf_recordset& rs) {
    const int kind = dbf_memo_kind(rs.header(), false);
    if (kind == dbf_memo_none) {
        return "no memo file";
    }
    const std::string expected =
        std::filesystem::path(rs.file_path()).stem().string() + "." + dbf_memo_extension(kind);
    if (rs.memo_file() == nullptr) {
        return "memo file MISSING (" + expected + "): its memo fields would read as empty";
    }
    return "memo file present (" + expected + ")";
}

using row = std::array<std::string, 5>;

void print_fields(const dbf_recordset& rs, std::ostream& out) {
    std::vector<row> rows;
    rows.push_back({"field", "type", "size", "dec", "oracle type"});
    const auto& descriptors = rs.descriptors();
    for (size_t i = 0; i < descriptors.size(); ++i) {
        const dbf_field_descriptor& fd = descriptors[i];
        const char letter = static_cast<char>(fd.type);
        const bool b_decimals = (letter == 'N' || letter == 'F' || letter == 'B') && fd.decimals;
        std::string oracle;
        try {
            oracle = tk_trim(tk_w2a(get_ora_native_type(rs.schema.column(i), false)));
        } catch (const tk_exception&) {
            oracle = "(no Oracle type)";
        }
        rows.push_back({tk_w2a(rs.schema.column(i).name),
                        std::isprint(static_cast<unsigned char>(letter)) ? std::string(1, letter)
                                                                         : hex_byte(fd.type),
                        std::to_string(dbf_get_advance(fd)),
                        b_decimals ? std::to_string(fd.decimals) : std::string(), oracle});
    }
    std::array<size_t, 5> widths{};
    for (const row& r : rows) {
        for (size_t c = 0; c < r.size(); ++c) {
            widths[c] = std::max(widths[c], r[c].size());
        }
    }
    for (const row& r : rows) {
        std::string line = "  ";
        for (size_t c = 0; c < r.size(); ++c) {
            const size_t pad = widths[c] - r[c].size();
            const bool b_right = c == 2 || c == 3;
            if (b_right) {
                line.append(pad, ' ');
            }
            line += r[c];
            if (!b_right && c + 1 < r.size()) {
                line.append(pad, ' ');
            }
            if (c + 1 < r.size()) {
                line += "  ";
            }
        }
        out << line << '\n';
    }
}

// Prints one table; answers false when it is damaged.
bool inspect_table(dbf_database& db, const std::u16string& table, std::optional<uint8_t> encoding,
                   std::ostream& out) {
    const std::string name = tk_w2a(table);
    std::unique_ptr<udb_recordset> opened;
    try {
        // Opened with the file's own code page mark, so that both it and a chosen one can be
        // shown; nothing here decodes record text.
        opened = db.get_table(table, 1);
    } catch (const tk_exception& e) {
        out << name << ": cannot be read: " << one_line(e.message) << '\n';
        return false;
    }
    const auto* rs = dynamic_cast<const dbf_recordset*>(opened.get());
    if (rs == nullptr) {
        out << name << ": cannot be read\n";
        return false;
    }
    const dbf_header& h = rs->header();
    out << name << ": " << dbf_layout_name(h.version) << " (" << hex_byte(h.version) << "), "
        << rs->records_cnt << (rs->records_cnt == 1 ? " record" : " records");
    const bool b_short = rs->records_announced() > rs->records_cnt;
    if (b_short) {
        out << " (CUT SHORT: the header announces " << rs->records_announced() << ")";
    }
    out << ", code page ";
    if (encoding && *encoding != 0) {
        out << codepage_text(*encoding) << " by choice (the file says "
            << hex_byte(h.language_driver_id) << ")";
    } else {
        out << codepage_text(h.language_driver_id);
    }
    out << ", " << memo_state(*rs) << '\n';
    print_fields(*rs, out);
    return !b_short && (rs->memo_file() != nullptr || dbf_memo_kind(h, false) == dbf_memo_none);
}

}  // namespace

std::string dbf_layout_name(uint8_t version) {
    switch (version) {
        case 0x02:
        case 0xFB:
            return "FoxBASE";
        case 0x03:
            return "dBASE III / FoxPro without memo";
        case 0x83:
            return "dBASE III / FoxBASE+ with memo";
        case 0x04:
            return "dBASE 7";
        case 0x8C:
            return "dBASE 7 with memo";
        case 0x7B:
        case 0x8B:
            return "dBASE IV with memo";
        case 0xCB:
        case 0xEB:
            return "dBASE IV SQL with memo";
        case 0x30:
            return "Visual FoxPro";
        case 0x31:
            return "Visual FoxPro with auto-increment";
        case 0x32:
            return "Visual FoxPro with varchar or varbinary";
        case 0xE5:
            return "dBASE with SMT memo";
        case 0xF5:
            return "FoxPro 2.x with memo";
        default:
            return "unknown version, read as dBASE III";
    }
}

inspect_options parse_inspect_arguments(const std::vector<std::string>& args) {
    inspect_options options;
    bool b_folder = false;
    bool b_options_end = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!b_options_end && (a == "--help" || a == "-h")) {
            options.help = true;
            return options;
        }
        if (!b_options_end && (a == "--encoding" || a.rfind("--encoding=", 0) == 0)) {
            if (options.encoding) {
                throw run_usage_error("--encoding is given twice");
            }
            std::string value;
            if (a.size() > 10) {
                value = a.substr(11);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            if (value.empty()) {
                throw run_usage_error("--encoding needs a value");
            }
            options.encoding = parse_encoding(value);
        } else if (!b_options_end && a == "--tables") {
            if (i + 1 == args.size() || args[i + 1].empty()) {
                throw run_usage_error("--tables needs a value");
            }
            append_table_list(args[++i], options.tables);
        } else if (!b_options_end && a == "--") {
            b_options_end = true;
        } else if (!b_options_end && a.size() > 1 && a[0] == '-') {
            throw run_usage_error("unknown option '" + a + "'");
        } else if (!b_folder) {
            options.folder = a;
            b_folder = true;
        } else {
            options.tables.push_back(a);
        }
    }
    if (!b_folder || options.folder.empty()) {
        throw run_usage_error("no folder given");
    }
    return options;
}

int run_inspect(const inspect_options& options, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (!std::filesystem::is_directory(options.folder, ec)) {
        err << "brixel-cli inspect: no such folder: " << options.folder << '\n';
        return inspect_usage;
    }
    try {
        dbf_database db(tk_a2w(options.folder), 1, 0);
        std::vector<std::u16string> tables = db.get_tables();
        if (!options.tables.empty()) {
            tables = match_tables(options.tables, tables);
        }
        if (tables.empty()) {
            out << "no DBF tables in " << options.folder << '\n';
        }
        bool b_ok = true;
        for (const std::u16string& t : tables) {
            b_ok = inspect_table(db, t, options.encoding, out) && b_ok;
        }
        out.flush();
        return b_ok ? inspect_ok : inspect_damaged;
    } catch (const run_usage_error& e) {
        err << "brixel-cli inspect: " << e.message << '\n';
        return inspect_usage;
    } catch (const tk_exception& e) {
        err << "brixel-cli inspect: " << one_line(e.message) << '\n';
        return inspect_damaged;
    }
}
