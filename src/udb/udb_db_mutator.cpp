#include "udb/udb_db_mutator.hpp"

#include <charconv>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_indexes.hpp"
#include "udb/udb_profile.hpp"
#include "udb/udb_schema.hpp"

namespace {

const std::u16string section_name = u"Type Mappings";

std::u16string number_text(int32_t value) {
    return tk_a2w(std::to_string(value));
}

bool parse_number(std::u16string_view text, int32_t& out) {
    const std::string narrow = tk_w2a(text);
    const char* const end = narrow.data() + narrow.size();
    const auto result = std::from_chars(narrow.data(), end, out);
    return !narrow.empty() && result.ec == std::errc() && result.ptr == end;
}

// The value after a leading key such as "type:", blanks removed at both ends.
bool take_value(std::u16string_view line, std::u16string_view key, std::u16string& value) {
    if (!line.starts_with(key)) {
        return false;
    }
    value = tk_trim(line.substr(key.size()));
    return true;
}

bool split_property(std::u16string_view line, std::u16string& key, std::u16string& value) {
    const size_t colon = line.find(u':');
    if (colon == std::u16string_view::npos) {
        return false;
    }
    key = tk_trim(line.substr(0, colon));
    value = tk_trim(line.substr(colon + 1));
    return true;
}

struct collected_field {
    t_field_description description;
    std::u16string new_name;
    bool b_deleted = false;
};

struct collected_table {
    std::u16string new_name;
    std::map<std::u16string, collected_field> fields;
    udb_properties::property_map properties;
};

// Profiles read back with their lines trimmed, so a table entry and a field entry both start
// with "- name:". The writer gives every table a "fields:" line right after its name lines:
// an entry is a table when that line comes before the next entry.
bool starts_table(const std::vector<std::u16string>& lines, size_t at) {
    const std::u16string_view raw = lines[at];
    if (raw.starts_with(u"      - name:")) {
        return false;
    }
    if (raw.starts_with(u"  - name:")) {
        return true;
    }
    for (size_t i = at + 1; i < lines.size(); ++i) {
        const std::u16string line = tk_trim(lines[i]);
        if (line == u"fields:") {
            return true;
        }
        if (line.starts_with(u"- name:")) {
            return false;
        }
    }
    return false;
}

}  // namespace

udb_db_mutator::udb_db_mutator(std::string map_file, std::string types_file,
                               udb_table_mutator::type_code_lookup lookup)
    : map_file_(std::move(map_file)), types_file_(std::move(types_file)), lookup_(lookup) {}

udb_db_mutator::~udb_db_mutator() = default;

void udb_db_mutator::init_field_description(const t_ftd& column, t_field_description& out) const {
    out.name = column.name;
    out.type = column.native_type;
    out.vartype = column.vartype;
    out.length = static_cast<int32_t>(column.size);
    if (column.vartype == VT_DECIMAL) {
        out.scale = static_cast<int32_t>(column.reserved & 0xFF);
        out.precision = static_cast<int32_t>((column.reserved >> 8) & 0xFF);
    }
}

const tk_yaml_config::exclusion_set& udb_db_mutator::map_exclusions() const {
    static const tk_yaml_config::exclusion_set none;
    return none;
}

std::u16string udb_db_mutator::modify1(const std::u16string& table, udb_schema& schema,
                                       udb_indexes& indexes) {
    TK_LOGW(2, u"udb_db_mutator::modify1(%s)", table.c_str());
    udb_table_mutator* mutator = find_table_mutator(table);
    if (mutator == nullptr) {
        return table;
    }
    mutator->modify3(indexes);
    return mutator->modify1(schema);
}

udb_table_mutator* udb_db_mutator::find_table_mutator(std::u16string_view table) const {
    const auto found = by_source_.find(table);
    return found == by_source_.end() ? nullptr : found->second.get();
}

udb_table_mutator& udb_db_mutator::get_table_mutator(const std::u16string& table,
                                                     const std::u16string& new_name) {
    udb_table_mutator* mutator = find_table_mutator(table);
    if (mutator == nullptr) {
        auto created = std::make_unique<udb_table_mutator>(new_name, lookup_);
        mutator = created.get();
        by_source_.emplace(table, std::move(created));
    } else {
        mutator->new_name = new_name;
        std::erase_if(by_destination_, [&](const auto& entry) {
            return entry.second == mutator && entry.first != new_name;
        });
    }
    by_destination_[new_name] = mutator;
    return *mutator;
}

const tk_yaml_config& udb_db_mutator::data_file(const std::string& name,
                                                const tk_yaml_config::exclusion_set& exclusions,
                                                const char* first_load_line) const {
    // One instance per data file for the whole process, read when first needed.
    static std::map<std::string, tk_yaml_config> instances;
    tk_yaml_config& config = instances[name];
    if (config.empty()) {
        if (first_load_line != nullptr) {
            TK_TRACE("%s", first_load_line);
        }
        bool b_loaded = false;
        try {
            b_loaded = config.load(tk_data_file_path(name), exclusions);
        } catch (...) {
            config.clear();
            throw;
        }
        if (!b_loaded) {
            throw tk_exception("Cannot find " + name + ". Custom type mapping is not available.",
                               1);
        }
    }
    return config;
}

const std::vector<std::u16string>& udb_db_mutator::get_mapped_types(
    std::u16string_view type_text) const {
    TK_TRACEW(u"udb_db_mutator<F>::get_mapped_types(%s)", std::u16string(type_text).c_str());
    const tk_yaml_config& types = data_file(map_file_, map_exclusions(), "Gonna load typesmap.cfg");
    if (const auto found = types.find(type_text); found != types.end()) {
        return found->second;
    }
    // Sized type texts ("NVARCHAR2(40) ") are listed under their bare name.
    const std::u16string text = tk_trim(type_text);
    return types.get(tk_trim(std::u16string_view(text).substr(0, text.find(u'('))));
}

const std::vector<std::u16string>& udb_db_mutator::get_type_params(
    std::u16string_view type_name) const {
    static const tk_yaml_config::exclusion_set none;
    return data_file(types_file_, none).get(type_name);
}

void udb_db_mutator::clear() {
    by_destination_.clear();
    by_source_.clear();
}

bool udb_db_mutator::store_profile(udb_profile& profile) {
    // The reader trims every name and value and splits properties at the first colon: texts
    // that would come back different are reported, not written altered.
    bool b_ok = true;
    const auto check = [&b_ok](std::u16string_view text) {
        if (tk_trim(text).size() != text.size()) {
            TK_LOGW(2, u"Type mapping text cannot be stored as it is: '%s'",
                    std::u16string(text).c_str());
            b_ok = false;
        }
    };
    const auto check_property = [&](const std::u16string& key, const std::u16string& value) {
        check(key);
        check(value);
        if (key.empty() || key.find(u':') != std::u16string::npos) {
            TK_LOGW(2, u"Type mapping property name cannot be stored: '%s'", key.c_str());
            b_ok = false;
        }
    };
    for (const auto& [key, value] : get_properties()) {
        check_property(key, value);
    }
    for (const auto& [name, table] : by_source_) {
        check(name);
        check(table->new_name);
        for (const auto& [column, field] : table->fields()) {
            check(column);
            check(field->new_name);
            check(field->type);
            check(field->default_value);
            check(field->character_set);
        }
        for (const auto& [key, value] : table->get_properties()) {
            check_property(key, value);
        }
    }
    if (!b_ok) {
        return false;
    }

    profile.add_line(section_name, u"database:");
    for (const auto& [key, value] : get_properties()) {
        profile.add_line(section_name, u"  " + key + u": " + value);
    }
    profile.add_line(section_name, u"tables:");
    for (const auto& [name, table] : by_source_) {
        profile.add_line(section_name, u"  - name: " + name);
        profile.add_line(section_name, u"    new_name: " + table->new_name);
        profile.add_line(section_name, u"    fields:");
        for (const auto& [column, field] : table->fields()) {
            profile.add_line(section_name, u"      - name:" + column);
            profile.add_line(section_name, u"        new_name: " + field->new_name);
            profile.add_line(section_name, field->status == udb_field_mutator::status_deleted
                                               ? u"        status: deleted"
                                               : u"        status: changed");
            profile.add_line(section_name, u"        type: " + field->type);
            profile.add_line(section_name, u"        default_value: " + field->default_value);
            profile.add_line(section_name, u"        character_set: " + field->character_set);
            profile.add_line(section_name, u"        length: " + number_text(field->length));
            profile.add_line(section_name, u"        scale: " + number_text(field->scale));
            profile.add_line(section_name, u"        precision: " + number_text(field->precision));
        }
        const property_map& table_properties = table->get_properties();
        if (!table_properties.empty()) {
            profile.add_line(section_name, u"    properties:");
            for (const auto& [key, value] : table_properties) {
                profile.add_line(section_name, u"        " + key + u": " + value);
            }
        }
    }
    return true;
}

bool udb_db_mutator::load_profile(const udb_profile& profile) {
    clear();
    properties.clear();
    const std::vector<std::u16string>& lines = profile.get_lines(section_name);
    if (lines.empty()) {
        return true;
    }

    enum class part { none, database, tables } where = part::none;
    std::map<std::u16string, collected_table> tables;
    property_map database_properties;
    collected_table* table = nullptr;
    collected_field* field = nullptr;
    bool b_in_fields = false;
    bool b_in_properties = false;
    std::u16string key;
    std::u16string value;

    for (size_t i = 0; i < lines.size(); ++i) {
        const std::u16string line = tk_trim(lines[i]);
        if (line == u"database:") {
            where = part::database;
            continue;
        }
        if (line == u"tables:") {
            where = part::tables;
            continue;
        }
        if (where == part::database) {
            if (split_property(line, key, value)) {
                database_properties[key] = value;
            }
            continue;
        }
        if (where != part::tables || line.empty()) {
            continue;
        }
        if (take_value(line, u"- name:", value)) {
            if (starts_table(lines, i)) {
                table = &tables[value];
                field = nullptr;
                b_in_fields = false;
                b_in_properties = false;
            } else {
                if (table == nullptr || !b_in_fields || b_in_properties) {
                    TK_LOGW(2, u"Type mapping line out of place: %s", line.c_str());
                    clear();
                    return false;
                }
                field = &table->fields[value];
            }
            continue;
        }
        if (table == nullptr) {
            TK_LOGW(2, u"Type mapping line out of place: %s", line.c_str());
            clear();
            return false;
        }
        if (b_in_properties) {
            if (split_property(line, key, value)) {
                table->properties[key] = value;
            }
            continue;
        }
        if (line == u"fields:") {
            b_in_fields = true;
            field = nullptr;
            continue;
        }
        if (line == u"properties:") {
            b_in_properties = true;
            field = nullptr;
            continue;
        }
        if (take_value(line, u"new_name:", value)) {
            (field != nullptr ? field->new_name : table->new_name) = value;
            continue;
        }
        if (field == nullptr) {
            TK_LOGW(2, u"Type mapping line out of place: %s", line.c_str());
            clear();
            return false;
        }
        t_field_description& description = field->description;
        bool b_number_ok = true;
        if (take_value(line, u"status:", value)) {
            field->b_deleted = value == u"deleted";
        } else if (take_value(line, u"type:", value)) {
            description.type = value;
        } else if (take_value(line, u"default_value:", value)) {
            description.default_value = value;
        } else if (take_value(line, u"character_set:", value)) {
            description.character_set = value;
        } else if (take_value(line, u"length:", value)) {
            b_number_ok = parse_number(value, description.length);
        } else if (take_value(line, u"scale:", value)) {
            b_number_ok = parse_number(value, description.scale);
        } else if (take_value(line, u"precision:", value)) {
            b_number_ok = parse_number(value, description.precision);
        } else {
            TK_LOGW(2, u"Type mapping line skipped: %s", line.c_str());
        }
        if (!b_number_ok) {
            TK_LOGW(2, u"Type mapping number is not a number: %s", line.c_str());
            clear();
            return false;
        }
    }

    properties = std::move(database_properties);
    for (auto& [source, collected] : tables) {
        // A table or column without a destination name keeps its source name.
        const std::u16string& destination =
            collected.new_name.empty() ? source : collected.new_name;
        udb_table_mutator& mutator = get_table_mutator(source, destination);
        for (auto& [column, entry] : collected.fields) {
            const std::u16string& new_column = entry.new_name.empty() ? column : entry.new_name;
            mutator.update_field(column, new_column, entry.description);
            if (entry.b_deleted) {
                mutator.find_field(column)->status = udb_field_mutator::status_deleted;
            }
        }
        for (auto& [name, text] : collected.properties) {
            mutator.get_properties()[name] = text;
        }
    }
    return true;
}
