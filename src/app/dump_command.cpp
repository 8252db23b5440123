#include "app/dump_command.hpp"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "app/cli_user_interface.hpp"
#include "app/run_options.hpp"
#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_database.hpp"
#include "dbf/dbf_exception.hpp"
#include "dbf/dbf_record.hpp"
#include "dbf/dbf_recordset.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"

const char* const dump_usage_text =
    "usage: brixel-cli dump FOLDER [TABLE...] [--tables A,B,C]\n"
    "                       [--encoding ID|NAME | --codepage CP | --ldid ID]\n"
    "  Prints every record of the DBF tables of FOLDER (all of them, or the ones named) as\n"
    "  JSON Lines: table, record number from 1, deleted flag, and each field's name, vartype\n"
    "  and value.\n"
    "  --tables A,B,C      the tables to print, as brixel-cli run takes them\n"
    "  --encoding ID|NAME  the code page choice of brixel-cli run (language driver id or name)\n"
    "  --codepage CP  decode the texts of every table with this code page (437, 850, 866,\n"
    "                 1250, 1251, 1252, ...) instead of the one each table names\n"
    "  --ldid ID      the same with a language driver id byte (decimal, or hexadecimal 0x65)\n";

namespace {

std::optional<long> parse_number(const std::string& text) {
    long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        first += 2;
        base = 16;
    }
    const auto [end, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc() || end != last || first == last) {
        return std::nullopt;
    }
    return value;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The name of the folder's table that the user means: the listed names are lower case and
// carry no extension; the user may type any case and a ".dbf" ending.
std::optional<std::u16string> find_table(const std::vector<std::u16string>& tables,
                                         const std::string& wanted) {
    std::string name = lower(wanted);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dbf") == 0) {
        name.resize(name.size() - 4);
    }
    const std::u16string wide = tk_a2w(name);
    for (const auto& t : tables) {
        if (t == wide) {
            return t;
        }
    }
    return std::nullopt;
}

nlohmann::ordered_json value_of(const udb_field& field) {
    const VARTYPE vt = field.vt();
    if (vt == VT_EMPTY || vt == VT_NULL) {
        return nullptr;
    }
    if (ole_variant::is_binary(vt)) {
        const std::vector<unsigned char>& bytes = field.bytes();
        if (bytes.empty()) {
            return "";
        }
        std::string hex(2 + 2 * bytes.size(), '0');
        hex[1] = 'x';
        tk_bytes_to_hex(bytes.size(), bytes.data(), hex.data() + 2);
        return hex;
    }
    return tk_w2a(field.to_wstring());
}

std::string one_line(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// Makes an error handler exist for the reader to report through (a missing memo file), speaking
// to the terminal, and restores the previous state when the dump ends.
class handler_scope {
  public:
    explicit handler_scope(tk_user_interface& ui) {
        if (!error_handler::exists()) {
            size_t count = 0;
            const t_error_message* pairs = ora_error_messages(count);
            own_ = std::make_unique<error_handler>(count, pairs);
        }
        previous_ = error_handler::instance().user_interface();
        error_handler::instance().set_user_interface(&ui);
    }
    ~handler_scope() {
        error_handler::instance().clear_context();
        error_handler::instance().set_user_interface(previous_);
    }
    handler_scope(const handler_scope&) = delete;
    handler_scope& operator=(const handler_scope&) = delete;

  private:
    std::unique_ptr<error_handler> own_;
    tk_user_interface* previous_ = nullptr;
};

// Dumps one table; returns false when it could not be read whole.
bool dump_table(dbf_database& db, const std::u16string& table, std::ostream& out,
                std::ostream& err) {
    const std::string table_name = tk_w2a(table);
    error_handler::instance().set_context(table);
    std::unique_ptr<udb_recordset> rs;
    try {
        rs = db.get_table(table, 1);
    } catch (const tk_exception& e) {
        err << "error: " << table_name << ": " << one_line(e.message) << '\n';
        return false;
    }

    bool b_ok = true;
    if (const auto* dbf = dynamic_cast<const dbf_recordset*>(rs.get());
        dbf != nullptr && dbf->records_announced() > rs->records_cnt) {
        err << "error: " << table_name << ": the file holds " << rs->records_cnt << " of the "
            << dbf->records_announced() << " records its header announces\n";
        b_ok = false;
    }
    int64_t number = 0;
    nlohmann::ordered_json line;
    for (rs->first(); !rs->is_eof(); rs->next()) {
        ++number;
        try {
            const udb_record* record = rs->get_item();
            const auto* dbf = dynamic_cast<const dbf_record*>(record);
            if (dbf != nullptr) {
                for (const size_t i : dbf->unreadable_memos) {
                    err << "error: " << table_name << ": record " << number << ": "
                        << dbf_msg_memo_read_failed << " " << tk_w2a((*record)[i]->name) << '\n';
                    b_ok = false;
                }
            }
            line = nlohmann::ordered_json::object();
            line["table"] = table_name;
            line["record"] = number;
            line["deleted"] = dbf != nullptr && dbf->is_deleted;
            auto& fields = line["fields"] = nlohmann::ordered_json::array();
            for (const udb_field* field : *record) {
                nlohmann::ordered_json f = nlohmann::ordered_json::object();
                f["name"] = tk_w2a(field->name);
                f["vartype"] = field->vt();
                f["value"] = value_of(*field);
                fields.push_back(std::move(f));
            }
        } catch (const tk_exception& e) {
            err << "error: " << table_name << ": record " << number << ": " << one_line(e.message)
                << '\n';
            b_ok = false;
            continue;
        }
        out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    }
    return b_ok;
}

}  // namespace

std::optional<uint8_t> dump_ldid_of_codepage(int codepage) {
    for (const auto& [id, cp] : codepage_table()) {
        if (id != 0 && cp == codepage) {
            return id;
        }
    }
    return std::nullopt;
}

std::optional<dump_options> parse_dump_arguments(const std::vector<std::string>& args,
                                                 std::ostream& err) {
    dump_options options;
    bool b_folder = false;
    bool b_codepage = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--tables" || a == "--encoding") {
            // The spelling of brixel-cli run: a list of tables, a code page by id or name.
            if (i + 1 == args.size() || args[i + 1].empty()) {
                err << "brixel-cli dump: " << a << " needs a value\n";
                return std::nullopt;
            }
            const std::string& v = args[++i];
            if (a == "--tables") {
                append_table_list(v, options.tables);
                continue;
            }
            if (b_codepage) {
                err << "brixel-cli dump: give one of --encoding, --codepage and --ldid, once\n";
                return std::nullopt;
            }
            try {
                options.user_language_driver_id = parse_encoding(v);
            } catch (const run_usage_error& e) {
                err << "brixel-cli dump: " << e.message << '\n';
                return std::nullopt;
            }
            b_codepage = true;
        } else if (a == "--codepage" || a == "--ldid") {
            if (b_codepage) {
                err << "brixel-cli dump: give one of --encoding, --codepage and --ldid, once\n";
                return std::nullopt;
            }
            if (i + 1 == args.size()) {
                err << "brixel-cli dump: " << a << " needs a value\n";
                return std::nullopt;
            }
            const std::string& v = args[++i];
            const std::optional<long> n = parse_number(v);
            if (a == "--ldid") {
                if (!n || *n < 0 || *n > 255) {
                    err << "brixel-cli dump: --ldid takes a byte (0 to 255), not '" << v << "'\n";
                    return std::nullopt;
                }
                options.user_language_driver_id = static_cast<uint8_t>(*n);
            } else {
                const std::optional<uint8_t> id =
                    n ? dump_ldid_of_codepage(static_cast<int>(*n)) : std::nullopt;
                if (!id) {
                    err << "brixel-cli dump: unknown code page '" << v << "'; known:";
                    for (const auto& [ldid, cp] : codepage_table()) {
                        if (ldid != 0) {
                            err << ' ' << cp;
                        }
                    }
                    err << '\n';
                    return std::nullopt;
                }
                options.user_language_driver_id = *id;
            }
            b_codepage = true;
        } else if (a == "--") {
            for (++i; i < args.size(); ++i) {
                if (b_folder) {
                    options.tables.push_back(args[i]);
                } else {
                    options.folder = args[i];
                    b_folder = true;
                }
            }
        } else if (a.size() > 1 && a[0] == '-') {
            err << "brixel-cli dump: unknown option '" << a << "'\n" << dump_usage_text;
            return std::nullopt;
        } else if (!b_folder) {
            options.folder = a;
            b_folder = true;
        } else {
            options.tables.push_back(a);
        }
    }
    if (!b_folder) {
        err << dump_usage_text;
        return std::nullopt;
    }
    return options;
}

int run_dump(const dump_options& options, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (!std::filesystem::is_directory(options.folder, ec)) {
        err << "error: folder not found: " << options.folder << '\n';
        return dump_not_found;
    }
    cli_user_interface ui(err);
    handler_scope scope(ui);
    try {
        dbf_database db(tk_a2w(options.folder), 1, options.user_language_driver_id);
        const std::vector<std::u16string>& listed = db.get_tables();

        std::vector<std::u16string> tables;
        if (options.tables.empty()) {
            tables = listed;
        } else {
            bool b_missing = false;
            for (const auto& wanted : options.tables) {
                const std::optional<std::u16string> t = find_table(listed, wanted);
                if (!t) {
                    err << "error: no table '" << wanted << "' in " << options.folder << '\n';
                    b_missing = true;
                } else {
                    tables.push_back(*t);
                }
            }
            if (b_missing) {
                return dump_not_found;
            }
        }

        bool b_ok = true;
        for (const auto& t : tables) {
            b_ok = dump_table(db, t, out, err) && b_ok;
        }
        out.flush();
        return b_ok && ui.errors_noted() == 0 ? dump_ok : dump_table_failed;
    } catch (const tk_exception& e) {
        err << "error: " << one_line(e.message) << '\n';
    } catch (const tk_final_exception&) {
        err << "error: dump stopped\n";
    }
    return dump_table_failed;
}
