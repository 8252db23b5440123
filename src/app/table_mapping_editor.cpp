#include "app/table_mapping_editor.hpp"

#include <algorithm>
#include <cstdlib>

#include "app/brixel_converter.hpp"
#include "app/wizard_rules.hpp"
#include "ora/ora_util.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// "NUMBER(10,2)" -> "NUMBER", 10, 2; "NVARCHAR2(40) " -> "NVARCHAR2", 40; a part that is missing
// leaves its number at -1.
std::u16string split_type(std::u16string_view text, int32_t& first, int32_t& second) {
    first = -1;
    second = -1;
    const std::u16string trimmed = tk_trim(text);
    const size_t open = trimmed.find(u'(');
    if (open == std::u16string::npos) {
        return trimmed;
    }
    const std::string sizes = tk_w2a(trimmed.substr(open + 1));
    char* end = nullptr;
    first = static_cast<int32_t>(std::strtol(sizes.c_str(), &end, 10));
    if (end != nullptr && *end == ',') {
        second = static_cast<int32_t>(std::strtol(end + 1, nullptr, 10));
    }
    return tk_trim(std::u16string_view(trimmed).substr(0, open));
}

}  // namespace

std::u16string t_mapping_row::type_text(const brixel_converter& converter) const {
    const type_inputs inputs = inputs_for_type(converter.get_type_params(base_type));
    std::u16string text = base_type;
    if (inputs.b_length) {
        text += u"(" + tk_a2w(std::to_string(length)) + u")";
    } else if (inputs.b_precision_scale) {
        text +=
            u"(" + tk_a2w(std::to_string(precision)) + u"," + tk_a2w(std::to_string(scale)) + u")";
    }
    return text;
}

std::u16string t_mapping_row::state(const brixel_converter& converter) const {
    return name + u'\n' + type_text(converter) + u'\n' + default_value + u'\n' +
           (b_converted ? u"1" : u"0");
}

t_table_mapping load_table_mapping(brixel_converter& converter, const std::u16string& table) {
    t_table_mapping out;
    out.table = table;
    const udb_table_mutator* mutator = converter.find_table_mutator(table);
    out.new_name = mutator != nullptr ? mutator->new_name : table;

    const udb_schema schema = converter.get_schema(table);
    for (const t_ftd* column : schema) {
        t_mapping_row row;
        row.source_name = column->name;
        row.marker = column->b_auto_increment ? "auto_increment"
                     : column->b_not_null     ? "NOT NULL"
                                              : "NULL";
        t_field_description description;
        converter.init_field_description(*column, description);
        std::u16string type = description.type;
        if (type.empty()) {
            type = get_ora_native_type(*column, false);
        }
        row.name = column->name;
        row.length = description.length;
        row.precision = description.precision;
        row.scale = description.scale;
        if (column->default_value.vt() != VT_EMPTY && column->default_value.vt() != VT_NULL) {
            row.default_value = column->default_value.to_wstring();
        }
        const udb_field_mutator* field =
            mutator != nullptr ? mutator->find_field(column->name) : nullptr;
        if (field != nullptr) {
            row.name = field->new_name.empty() ? column->name : field->new_name;
            type = field->type;
            row.length = field->length;
            row.precision = field->precision;
            row.scale = field->scale;
            row.default_value = field->default_value;
            row.b_converted = field->status != udb_field_mutator::status_deleted;
            row.b_mapped = true;
        }
        int32_t first = 0;
        int32_t second = 0;
        row.base_type = split_type(type, first, second);
        const type_inputs inputs = inputs_for_type(converter.get_type_params(row.base_type));
        if (inputs.b_length && first >= 0) {
            row.length = first;
        } else if (inputs.b_precision_scale && first >= 0) {
            row.precision = first;
            row.scale = std::max(second, 0);
        }
        row.available_types = converter.get_mapped_types(type);
        if (std::find(row.available_types.begin(), row.available_types.end(), row.base_type) ==
            row.available_types.end()) {
            row.available_types.insert(row.available_types.begin(), row.base_type);
        }
        row.loaded = row.state(converter);
        out.rows.push_back(std::move(row));
    }
    return out;
}

const char* check_table_mapping(const t_table_mapping& mapping) {
    const auto blank = [](const std::u16string& name) { return tk_trim(name).empty(); };
    if (blank(mapping.new_name)) {
        return "Name cannot be empty. Try again.";
    }
    for (const t_mapping_row& row : mapping.rows) {
        if (row.b_converted && blank(row.name)) {
            return "Name cannot be empty. Try again.";
        }
    }
    return nullptr;
}

void store_table_mapping(brixel_converter& converter, const t_table_mapping& mapping) {
    std::vector<const t_mapping_row*> changed;
    for (const t_mapping_row& row : mapping.rows) {
        if (row.b_mapped || row.state(converter) != row.loaded) {
            changed.push_back(&row);
        }
    }
    if (changed.empty() && mapping.new_name == mapping.table &&
        converter.find_table_mutator(mapping.table) == nullptr) {
        return;
    }
    udb_table_mutator& table = converter.get_table_mutator(mapping.table, mapping.new_name);
    for (const t_mapping_row* changed_row : changed) {
        const t_mapping_row& row = *changed_row;
        t_field_description description;
        description.name = row.name;
        description.type = row.type_text(converter);
        description.default_value = row.default_value;
        description.length = row.length;
        description.precision = row.precision;
        description.scale = row.scale;
        table.update_field(row.source_name, row.name, description);
        table.find_field(row.source_name)->status =
            row.b_converted ? udb_field_mutator::status_changed : udb_field_mutator::status_deleted;
    }
}
