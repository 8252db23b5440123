#include "app/run_options.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/brixel_converter.hpp"
#include "dbf/dbf_codepage.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// Options that take a value, and the member each one fills.
using text_member = std::optional<std::string> run_options::*;
const std::map<std::string, text_member, std::less<>>& text_options() {
    static const std::map<std::string, text_member, std::less<>> options = {
        {"--profile", &run_options::profile},
        {"--source", &run_options::source},
        {"--host", &run_options::host},
        {"--port", &run_options::port},
        {"--service", &run_options::service},
        {"--user", &run_options::user},
        {"--password-env", &run_options::password_env},
        {"--password-file", &run_options::password_file},
        {"--password", &run_options::password},
        {"--log", &run_options::log_file},
        {"--save-profile", &run_options::save_profile},
        {"--errors-file", &run_options::errors_file},
        {"--summary-json", &run_options::summary_json},
        {"--journal", &run_options::journal},
        {"--resume", &run_options::resume},
    };
    return options;
}

// On/off switches: --NAME sets the setting, --no-NAME clears it.
using flag_member = std::optional<bool> run_options::*;
const std::map<std::string, flag_member, std::less<>>& flag_options() {
    static const std::map<std::string, flag_member, std::less<>> options = {
        {"definitions-only", &run_options::definitions_only},
        {"skip-deleted", &run_options::skip_deleted},
        {"bool-as-is", &run_options::bool_as_is},
        {"skip-indexes", &run_options::skip_indexes},
    };
    return options;
}

// Options with a value that is not kept as text.
const char* const valued_options[] = {"--tables",    "--existing", "--uppercase",  "--encoding",
                                      "--log-level", "--on-error", "--max-errors", "--connect",
                                      "--values",    "--load",     "--batch-rows", "--commit-rows",
                                      "--reconnect", "--jobs"};

bool is_valued(std::string_view name) {
    if (text_options().count(name) != 0) {
        return true;
    }
    return std::find(std::begin(valued_options), std::end(valued_options), name) !=
           std::end(valued_options);
}

std::string ascii_lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<long> parse_integer(std::string_view text, bool b_allow_hex) {
    int base = 10;
    if (b_allow_hex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    long value = 0;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, value, base);
    if (text.empty() || ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> split_tables(const std::string& value) {
    std::vector<std::string> names;
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        const std::string name = tk_trim(value.substr(start, comma - start));
        if (name.empty()) {
            throw run_usage_error("--tables: empty table name in '" + value + "'");
        }
        names.push_back(name);
        if (comma == std::string::npos) {
            return names;
        }
        start = comma + 1;
    }
}

void set_valued(run_options& options, const std::string& name, const std::string& value) {
    if (const auto it = text_options().find(name); it != text_options().end()) {
        std::optional<std::string>& member = options.*(it->second);
        if (member) {
            throw run_usage_error(name + " is given twice");
        }
        member = value;
        return;
    }
    auto once = [&name](bool b_set) {
        if (b_set) {
            throw run_usage_error(name + " is given twice");
        }
    };
    if (name == "--tables") {
        once(options.tables.has_value());
        options.tables = split_tables(value);
    } else if (name == "--existing") {
        once(options.existing.has_value());
        const std::string v = ascii_lower(value);
        if (v == "overwrite") {
            options.existing = brixel_converter::mode_overwrite;
        } else if (v == "merge") {
            options.existing = brixel_converter::mode_merge;
        } else if (v == "skip") {
            options.existing = brixel_converter::mode_skip;
        } else {
            throw run_usage_error("--existing takes overwrite, merge or skip, not '" + value + "'");
        }
    } else if (name == "--uppercase") {
        once(options.uppercase.has_value());
        const std::string v = ascii_lower(value);
        if (v != "on" && v != "off") {
            throw run_usage_error("--uppercase takes on or off, not '" + value + "'");
        }
        options.uppercase = v == "on";
    } else if (name == "--values") {
        once(options.values.has_value());
        options.values = udb_values_from_name(ascii_lower(value));
        if (!options.values) {
            throw run_usage_error("--values takes exact or classic, not '" + value + "'");
        }
    } else if (name == "--load") {
        once(options.load.has_value());
        const std::string v = ascii_lower(value);
        if (v != "array" && v != "row") {
            throw run_usage_error("--load takes array or row, not '" + value + "'");
        }
        options.load = v == "array" ? ora_load_method::array : ora_load_method::row;
    } else if (name == "--batch-rows" || name == "--commit-rows") {
        const bool b_batch = name == "--batch-rows";
        std::optional<uint32_t>& target = b_batch ? options.batch_rows : options.commit_rows;
        once(target.has_value());
        const std::optional<long> count = parse_integer(value, false);
        if (!count || *count < (b_batch ? 1 : 0) || *count > 1000000) {
            throw run_usage_error(std::string(name) + " takes a number of rows from " +
                                  (b_batch ? "1" : "0") + " to 1000000, not '" + value + "'");
        }
        target = static_cast<uint32_t>(*count);
    } else if (name == "--jobs") {
        once(options.jobs.has_value());
        const std::optional<long> count = parse_integer(value, false);
        if (!count || *count < 1 || *count > brixel_converter::max_jobs) {
            throw run_usage_error("--jobs takes a number of sessions from 1 to " +
                                  std::to_string(brixel_converter::max_jobs) + ", not '" + value +
                                  "'");
        }
        options.jobs = static_cast<uint32_t>(*count);
    } else if (name == "--encoding") {
        once(options.encoding.has_value());
        options.encoding = parse_encoding(value);
    } else if (name == "--log-level") {
        once(options.log_level.has_value());
        const std::optional<long> level = parse_integer(value, false);
        if (!level || *level < 1 || *level > 3) {
            throw run_usage_error("--log-level takes 1 (trace), 2 or 3, not '" + value + "'");
        }
        options.log_level = static_cast<int>(*level);
    } else if (name == "--max-errors") {
        once(options.max_errors.has_value());
        const std::optional<long> count = parse_integer(value, false);
        if (!count || *count < 1 || *count > INT32_MAX) {
            throw run_usage_error("--max-errors takes a number of errors from 1 up, not '" + value +
                                  "'");
        }
        options.max_errors = static_cast<uint32_t>(*count);
    } else if (name == "--reconnect") {
        once(options.reconnect.has_value());
        const std::optional<long> count = parse_integer(value, false);
        if (!count || *count < 0 || *count > 100) {
            throw run_usage_error("--reconnect takes a number of attempts from 0 to 100, not '" +
                                  value + "'");
        }
        options.reconnect = static_cast<uint32_t>(*count);
    } else if (name == "--connect") {
        parse_connect_string(value, options);
    } else if (name == "--on-error") {
        once(options.on_error.has_value());
        const std::string v = ascii_lower(value);
        if (v == "ask") {
            options.on_error = on_error_policy::ask;
        } else if (v == "continue") {
            options.on_error = on_error_policy::go_on;
        } else if (v == "abort") {
            options.on_error = on_error_policy::abort_run;
        } else {
            throw run_usage_error("--on-error takes ask, continue or abort, not '" + value + "'");
        }
    }
}

void check_options(const run_options& options) {
    const int password_sources = (options.password ? 1 : 0) + (options.password_env ? 1 : 0) +
                                 (options.password_file ? 1 : 0);
    if (password_sources > 1) {
        throw run_usage_error(
            "give the password one way: --password, --password-env or --password-file");
    }
    if (options.resume && (options.journal || options.tables)) {
        throw run_usage_error(std::string("--resume continues the journal's own tables: ") +
                              (options.journal ? "--journal" : "--tables") + " cannot be given");
    }
    if (options.port) {
        const std::optional<long> port = parse_integer(*options.port, false);
        if (!port || *port < 1 || *port > 65535) {
            throw run_usage_error("--port takes a number from 1 to 65535, not '" + *options.port +
                                  "'");
        }
    }
}

}  // namespace

run_options parse_run_arguments(const std::vector<std::string>& args, bool b_profile_first) {
    run_options options;
    size_t i = 0;
    if (b_profile_first) {
        if (args.empty() || args[0].empty()) {
            throw run_usage_error("no profile given");
        }
        options.profile = args[0];
        i = 1;
    }
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            throw run_usage_error("unexpected argument '" + arg + "'");
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (is_valued(name)) {
            if (!value) {
                if (i + 1 == args.size()) {
                    throw run_usage_error(name + " needs a value");
                }
                value = args[++i];
            }
            if (value->empty()) {
                throw run_usage_error(name + " needs a value that is not empty");
            }
            set_valued(options, name, *value);
            continue;
        }
        if (value) {
            throw run_usage_error(name + " takes no value");
        }
        if (name == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (name == "--use-last-settings" || name == "--save-settings") {
            bool& member =
                name == "--save-settings" ? options.save_settings : options.use_last_settings;
            if (member) {
                throw run_usage_error(name + " is given twice");
            }
            member = true;
            continue;
        }
        const bool b_off = name.compare(0, 5, "--no-") == 0;
        const auto flag = flag_options().find(name.substr(b_off ? 5 : 2));
        if (flag == flag_options().end()) {
            throw run_usage_error("unknown option '" + name + "'");
        }
        std::optional<bool>& member = options.*(flag->second);
        if (member) {
            throw run_usage_error("--" + flag->first + " is given twice");
        }
        member = !b_off;
    }
    check_options(options);
    return options;
}

uint8_t parse_encoding(const std::string& text) {
    const auto& names = codepage_names();
    if (const std::optional<long> id = parse_integer(text, true)) {
        for (const auto& [known, name] : names) {
            if (known == *id) {
                return known;
            }
        }
    } else {
        const std::u16string wide = tk_a2w(tk_trim(text));
        for (const auto& [known, name] : names) {
            if (tk_wstring::iequals(wide, name)) {
                return known;
            }
        }
    }
    std::string message = "--encoding: no code page '" + text + "'";
    if (const std::optional<long> number = parse_integer(text, false)) {
        // A code page number where an id is wanted: name the ids that decode with it.
        std::string ids;
        for (const auto& [known, name] : names) {
            if (known != 0 && dbf_codepage_of(known) == *number) {
                char id[8];
                std::snprintf(id, sizeof id, "0x%02X", static_cast<unsigned>(known));
                ids += std::string(ids.empty() ? "" : ", ") + id + " " + tk_w2a(name);
            }
        }
        if (!ids.empty()) {
            message += "; " + text + " is a code page number, chosen by the id " + ids;
        }
    }
    message += "; the choices are:";
    for (const auto& [known, name] : names) {
        char id[8];
        std::snprintf(id, sizeof id, "0x%02X", static_cast<unsigned>(known));
        message += "\n  ";
        message += id;
        message += "  ";
        message += tk_w2a(name);
    }
    throw run_usage_error(message);
}

on_error_policy default_on_error_policy(bool b_interactive) {
    return b_interactive ? on_error_policy::ask : on_error_policy::go_on;
}

run_environment run_environment::process() {
    run_environment environment;
    environment.getenv = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) {
            return std::nullopt;
        }
        return std::string(value);
    };
    environment.list_tables = [](brixel_converter& converter) {
        std::vector<std::u16string> tables;
        converter.get_all_tables(tables);
        return tables;
    };
    return environment;
}

std::optional<std::string> resolve_password(const run_options& options,
                                            const run_environment& environment) {
    if (options.password) {
        return options.password;
    }
    if (options.password_env) {
        const std::optional<std::string> value = environment.getenv(*options.password_env);
        if (!value || value->empty()) {
            throw run_usage_error("--password-env: the variable " + *options.password_env +
                                  " is not set or empty");
        }
        return value;
    }
    if (options.password_file) {
        std::ifstream in(*options.password_file, std::ios::binary);
        if (!in) {
            throw run_usage_error("--password-file: cannot read " + *options.password_file + ": " +
                                  std::strerror(errno));
        }
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            throw run_usage_error("--password-file: the first line of " + *options.password_file +
                                  " is empty");
        }
        return line;
    }
    if (const std::optional<std::string> value = environment.getenv("BRIXEL_PASSWORD")) {
        if (!value->empty()) {
            return value;
        }
    }
    return std::nullopt;
}

void append_table_list(const std::string& list, std::vector<std::string>& names) {
    for (std::string& name : split_tables(list)) {
        names.push_back(std::move(name));
    }
}

void parse_connect_string(const std::string& text, run_options& options) {
    const auto bad = [&text](const std::string& why) {
        return run_usage_error("--connect takes USER@//HOST[:PORT]/SERVICE or USER@NAME, not '" +
                               text + "': " + why);
    };
    const size_t at = text.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == text.size()) {
        throw bad("a user and a destination are needed");
    }
    if (text.find('/') < at) {
        throw bad("the password is not given in the connect string (see --password-env)");
    }
    std::string user = text.substr(0, at);
    std::string rest = text.substr(at + 1);
    std::optional<std::string> host;
    std::optional<std::string> port;
    std::string service = rest;
    if (rest.starts_with("//")) {
        rest.erase(0, 2);
        const size_t slash = rest.find('/');
        if (slash == std::string::npos || slash == 0 || slash + 1 == rest.size()) {
            throw bad("a host and a service are needed after //");
        }
        std::string address = rest.substr(0, slash);
        service = rest.substr(slash + 1);
        if (const size_t colon = address.rfind(':'); colon != std::string::npos) {
            port = address.substr(colon + 1);
            address.resize(colon);
        }
        if (address.empty()) {
            throw bad("the host is empty");
        }
        host = address;
    }
    if (service.find_first_of("/@") != std::string::npos) {
        throw bad("the service name holds '/' or '@'");
    }
    const auto set = [](std::optional<std::string>& member, std::string value, const char* option) {
        if (member && *member != value) {
            throw run_usage_error(std::string("--connect and ") + option + " disagree");
        }
        member = std::move(value);
    };
    set(options.user, std::move(user), "--user");
    set(options.service, std::move(service), "--service");
    if (host) {
        set(options.host, std::move(*host), "--host");
    }
    if (port) {
        set(options.port, std::move(*port), "--port");
    }
}

std::vector<std::u16string> match_tables(const std::vector<std::string>& wanted,
                                         const std::vector<std::u16string>& available) {
    std::vector<std::u16string> tables;
    std::string unknown;
    std::string repeated;
    for (const std::string& name : wanted) {
        std::u16string wide = tk_a2w(name);
        if (wide.size() > 4 &&
            tk_wstring::iequals(std::u16string_view(wide).substr(wide.size() - 4), u".dbf")) {
            wide.resize(wide.size() - 4);
        }
        const auto found =
            std::find_if(available.begin(), available.end(),
                         [&wide](const std::u16string& t) { return tk_wstring::iequals(t, wide); });
        if (found == available.end()) {
            unknown += (unknown.empty() ? "" : ", ") + name;
        } else if (std::find(tables.begin(), tables.end(), *found) != tables.end()) {
            repeated += (repeated.empty() ? "" : ", ") + name;
        } else {
            tables.push_back(*found);
        }
    }
    std::string message;
    if (!unknown.empty()) {
        message = "no such table in the source folder: " + unknown;
    }
    if (!repeated.empty()) {
        message += (message.empty() ? "" : "\n") + std::string("table given twice: ") + repeated;
    }
    if (!message.empty()) {
        throw run_usage_error(message);
    }
    return tables;
}

void apply_run_options(const run_options& options, brixel_converter& converter,
                       const run_environment& environment) {
    if (options.log_level) {
        tk_log::get().set_threshold(*options.log_level);
    }
    if (options.log_file) {
        converter.set_logfile(*options.log_file);
    }
    if (options.source) {
        converter.src = tk_a2w(*options.source);
    }
    if (options.service) {
        converter.dest = tk_a2w(*options.service);
    }
    if (options.host) {
        converter.host = tk_a2w(*options.host);
    }
    if (options.port) {
        converter.port = tk_a2w(*options.port);
    }
    if (options.user) {
        converter.user = tk_a2w(*options.user);
    }
    if (const std::optional<std::string> password = resolve_password(options, environment)) {
        converter.password = tk_a2w(*password);
    }
    if (options.existing) {
        converter.mode = *options.existing;
    }
    if (options.definitions_only) {
        converter.tab_def = *options.definitions_only;
    }
    if (options.skip_deleted) {
        converter.skip_del = *options.skip_deleted;
    }
    if (options.bool_as_is) {
        converter.bool_dbf = *options.bool_as_is;
    }
    if (options.skip_indexes) {
        converter.skip_idx = *options.skip_indexes;
    }
    if (options.uppercase) {
        converter.uppercase = *options.uppercase;
    }
    if (options.encoding) {
        converter.code_page = *options.encoding;
    }
    if (options.values) {
        converter.values = *options.values;
    }
    if (options.load) {
        converter.load.method = *options.load;
    }
    if (options.batch_rows) {
        converter.load.batch_rows = *options.batch_rows;
    }
    if (options.commit_rows) {
        converter.load.commit_rows = *options.commit_rows;
    }
    if (options.jobs) {
        converter.jobs = *options.jobs;
    }

    if (converter.src.empty()) {
        throw run_usage_error("no source folder: give --source FOLDER");
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(tk_w2a(converter.src), ec)) {
        throw run_usage_error("the source folder " + tk_w2a(converter.src) +
                              " does not exist or is not a folder");
    }
    if (options.tables) {
        std::vector<std::u16string> tables;
        try {
            tables = match_tables(*options.tables, environment.list_tables(converter));
        } catch (const run_usage_error& e) {
            throw run_usage_error("--tables: " + e.message);
        }
        // The profile's tables give way to the ones named; its queries stay, so that a profile
        // saved from this run lists exactly the tables it converts.
        for (auto it = converter.sel_queries.begin(); it != converter.sel_queries.end();) {
            it = it->second.empty() ? converter.sel_queries.erase(it) : std::next(it);
        }
        converter.selected_tables = tables;
        for (const std::u16string& table : tables) {
            converter.sel_queries.emplace(table, std::u16string());
        }
    } else if (!options.profile) {
        converter.selected_tables = environment.list_tables(converter);
        for (const std::u16string& table : converter.selected_tables) {
            converter.sel_queries.emplace(table, std::u16string());
        }
    }
}

void save_run_profile(brixel_converter& converter, const std::string& path) {
    // The profile holds the password: the file is made private before anything is written. It
    // is written beside its place under a name of its own and renamed over it only when
    // complete, so a profile that is refused or cut short never replaces a good one.
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temporary.c_str());
        }
        throw run_usage_error("--save-profile: cannot write " + path + ": " + reason);
    }
    ::close(fd);
    if (!converter.store_profile(tk_a2w(temporary))) {
        ::unlink(temporary.c_str());
        throw run_usage_error("--save-profile: cannot write " + path);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temporary.c_str());
        throw run_usage_error("--save-profile: cannot write " + path + ": " + reason);
    }
}
