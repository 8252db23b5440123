#include "app/verify_command.hpp"

#include <charconv>
#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>

#include "app/brixel_converter.hpp"
#include "app/brixel_startup.hpp"
#include "app/cli_user_interface.hpp"
#include "app/run_summary.hpp"
#include "dbf/dbf_database.hpp"
#include "dbf/dbf_record.hpp"
#include "ora/ora_database.hpp"
#include "ora/ora_query_results.hpp"
#include "ora/ora_schema_initializer.hpp"
#include "ora/ora_type.hpp"
#include "ora/ora_validator.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_variant.hpp"

const char* const verify_usage_text =
    "usage: brixel-cli verify [OPTIONS]\n"
    "Reads every selected source table and its destination table back and compares them value\n"
    "by value: numbers as decimals, dates as dates, NULL as NULL. Prints per table the rows\n"
    "compared, missing and extra, and per column the values that differ with examples.\n"
    "Takes the options of 'brixel-cli run' (see 'brixel-cli run --help'); exit code 0 when\n"
    "every table is equal, 1 when something differs.\n";

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The plain decimal a number text stands for: sign, integer digits without leading zeros, the
// fraction without trailing zeros; an exponent is applied. Empty when the text is no number.
std::string decimal_text(std::string_view t) {
    while (!t.empty() && t.front() == ' ') {
        t.remove_prefix(1);
    }
    while (!t.empty() && t.back() == ' ') {
        t.remove_suffix(1);
    }
    size_t i = 0;
    bool b_negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        b_negative = t[i] == '-';
        ++i;
    }
    std::string digits;
    long point = -1;
    for (; i < t.size(); ++i) {
        if (is_digit(t[i])) {
            digits += t[i];
        } else if (t[i] == '.' && point < 0) {
            point = static_cast<long>(digits.size());
        } else {
            break;
        }
    }
    if (digits.empty()) {
        return {};
    }
    if (point < 0) {
        point = static_cast<long>(digits.size());
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        long exponent = 0;
        const char* first = t.data() + i + 1;
        if (first < t.data() + t.size() && *first == '+') {
            ++first;
        }
        const auto r = std::from_chars(first, t.data() + t.size(), exponent);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size() || exponent > 400 ||
            exponent < -400) {
            return {};
        }
        point += exponent;
    } else if (i != t.size()) {
        return {};
    }
    size_t lead = 0;
    while (lead < digits.size() && digits[lead] == '0') {
        ++lead;
    }
    digits.erase(0, lead);
    point -= static_cast<long>(lead);
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
    }
    if (digits.empty()) {
        return "0";
    }
    std::string out = b_negative ? "-" : "";
    const auto size = static_cast<long>(digits.size());
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out += digits;
    } else if (point >= size) {
        out += digits;
        out.append(static_cast<size_t>(point - size), '0');
    } else {
        out += digits.substr(0, static_cast<size_t>(point));
        out += '.';
        out += digits.substr(static_cast<size_t>(point));
    }
    return out;
}

bool is_null(const ole_variant& v) {
    switch (v.vt()) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_BSTR:
            return v.wstring().empty();
        case VT_BYTE_ARRAY:
            return v.bytes().empty();
        default:
            return false;
    }
}

// A value's number, when it is one (or a text of one).
std::string number_of(const ole_variant& v) {
    char buffer[40];
    switch (v.vt()) {
        case VT_BOOL:
            return v.to_bool() ? "1" : "0";
        case VT_R4: {
            const auto r =
                std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(v.to_double()));
            return decimal_text(std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)));
        }
        case VT_R8: {
            const auto r = std::to_chars(buffer, buffer + sizeof buffer, v.to_double());
            return decimal_text(std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)));
        }
        case VT_DATE:
        case VT_BYTE_ARRAY:
            return {};
        default:
            return decimal_text(v.to_string());
    }
}

std::string shown(const ole_variant& v) {
    if (is_null(v)) {
        return "NULL";
    }
    switch (v.vt()) {
        case VT_DATE: {
            const t_systemtime& t = v.date();
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.milliseconds);
            return buffer;
        }
        case VT_BYTE_ARRAY: {
            std::string hex = "0x";
            static constexpr char digits[] = "0123456789ABCDEF";
            for (const unsigned char b : v.bytes()) {
                hex += digits[b >> 4];
                hex += digits[b & 15];
            }
            return hex;
        }
        case VT_BSTR:
            return "'" + tk_w2a(v.wstring()) + "'";
        default: {
            const std::string number = number_of(v);
            return number.empty() ? v.to_string() : number;
        }
    }
}

std::string cut(std::string text) {
    constexpr size_t longest = 60;
    if (text.size() > longest) {
        text.resize(longest);
        text += "...";
    }
    return text;
}

bool is_number_vartype(VARTYPE vt) {
    return vt != VT_BSTR && vt != VT_DATE && vt != VT_BLOB && vt != VT_BYTE_ARRAY &&
           vt != VT_BLOB_OBJECT && vt != VT_EMPTY && vt != VT_NULL;
}

}  // namespace

bool verify_same_value(const ole_variant& source, const ole_variant& destination, bool b_number,
                       std::string& source_text, std::string& destination_text) {
    source_text = shown(source);
    destination_text = shown(destination);
    const bool b_source_null = is_null(source);
    const bool b_destination_null = is_null(destination);
    if (b_source_null || b_destination_null) {
        return b_source_null == b_destination_null;
    }
    if (source.vt() == VT_DATE || destination.vt() == VT_DATE) {
        return source.vt() == destination.vt() && source.date().year == destination.date().year &&
               source.date().month == destination.date().month &&
               source.date().day == destination.date().day &&
               source.date().hour == destination.date().hour &&
               source.date().minute == destination.date().minute &&
               source.date().second == destination.date().second &&
               source.date().milliseconds == destination.date().milliseconds;
    }
    if (b_number || is_number_vartype(source.vt()) || is_number_vartype(destination.vt())) {
        const std::string a = number_of(source);
        const std::string b = number_of(destination);
        if (!a.empty() && !b.empty()) {
            source_text = a;
            destination_text = b;
            return a == b;
        }
    }
    if (source.vt() == VT_BYTE_ARRAY || destination.vt() == VT_BYTE_ARRAY) {
        return source.vt() == destination.vt() && source.bytes() == destination.bytes();
    }
    if (source.vt() == VT_BSTR && destination.vt() == VT_BSTR) {
        return source.wstring() == destination.wstring();
    }
    return source_text == destination_text;
}

std::vector<verify_table_report> verify_tables(brixel_converter& converter) {
    std::vector<verify_table_report> reports;
    if (converter.ora_base == nullptr) {
        throw tk_exception("There is no connection to an Oracle server.", 1);
    }
    ora_database& destination_db = *converter.ora_base;
    // Every column an exact run can write is read back, whichever setting loaded it.
    destination_db.values = udb_values::exact;
    destination_db.get_tables();
    dbf_database source_db(converter.src, 1, static_cast<uint8_t>(converter.code_page & 0xFF));
    source_db.values = udb_values::exact;
    // Destination names as a run gives them into a schema that held none of them: a name the
    // rules refuse, or one already given, becomes the validator's safe name.
    ora_tn_validator names(converter.selected_tables, {});
    std::vector<std::u16string> given;
    for (const std::u16string& table : converter.selected_tables) {
        verify_table_report report;
        report.table = table;
        // A type mapping names the destination table and converts the values on their way.
        udb_table_mutator* mutator = converter.find_table_mutator(table);
        report.destination = mutator != nullptr ? mutator->new_name : table;
        if (converter.uppercase) {
            tk_wstring::to_upper(report.destination);
        }
        bool b_given = false;
        for (const std::u16string& name : given) {
            b_given = b_given || tk_wstring::iequals(name, report.destination);
        }
        if (!names.is_acceptable(report.destination) || b_given) {
            report.destination = names.get_safe_name(report.destination);
        }
        names.add_existing_name(report.destination);
        given.push_back(report.destination);
        try {
            std::unique_ptr<udb_recordset> source = source_db.get_table(table, 1);
            if (mutator != nullptr) {
                mutator->values = udb_values::exact;
                mutator->modify1(source->schema);
            }
            const size_t field_count = source->schema.size();
            if (!destination_db.is_table_exist(report.destination)) {
                report.failure = "no destination table";
                report.rows_missing = source->records_cnt;
                report.values_total = uint64_t{source->records_cnt} * field_count;
                reports.push_back(std::move(report));
                continue;
            }
            std::unique_ptr<udb_recordset> destination =
                destination_db.get_table(report.destination, 0);
            if (auto* results = dynamic_cast<ora_query_results*>(destination.get())) {
                for (const auto& column : results->columns()) {
                    if (auto* number = dynamic_cast<ora_number*>(column.get())) {
                        number->b_text = true;  // every digit, whatever the column's kind
                    }
                }
            }
            // Source field -> destination column, matched by name without regard to case.
            std::vector<long> column_of(field_count, -1);
            std::vector<bool> b_number(field_count, false);
            std::vector<bool> b_used(destination->schema.size(), false);
            // The column names the converter gives the fields of this table.
            ora_fn_validator column_names(source->schema);
            std::vector<std::u16string> made(field_count);
            for (size_t f = 0; f < field_count; ++f) {
                made[f] = ora_schema_initializer::make_column_name(
                    column_names, source->schema.column(f).name, converter.uppercase);
            }
            for (size_t f = 0; f < field_count; ++f) {
                const t_ftd& field = source->schema.column(f);
                // The first unused column whose name matches by `same`.
                const auto match = [&](auto same) {
                    for (size_t c = 0; c < destination->schema.size(); ++c) {
                        const t_ftd& column = destination->schema.column(c);
                        if (!b_used[c] && same(column.name)) {
                            column_of[f] = static_cast<long>(c);
                            b_used[c] = true;
                            b_number[f] = is_number_vartype(field.vartype) ||
                                          is_number_vartype(column.vartype);
                            return;
                        }
                    }
                };
                match([&](const std::u16string& name) {
                    return tk_wstring::iequals(name, field.name);
                });
                if (column_of[f] < 0) {
                    match([&](const std::u16string& name) { return name == made[f]; });
                }
                if (column_of[f] < 0) {
                    report.missing_columns.push_back(field.name);
                }
            }
            for (size_t c = 0; c < destination->schema.size(); ++c) {
                if (!b_used[c]) {
                    report.extra_columns.push_back(destination->schema.column(c).name);
                }
            }
            std::vector<verify_column_report> columns(field_count);
            for (size_t f = 0; f < field_count; ++f) {
                columns[f].name = source->schema.column(f).name;
            }

            source->first();
            destination->first();
            uint64_t number = 0;  // one-based number of the record under the source cursor
            std::string source_text;
            std::string destination_text;
            // The record under the cursor; null when it cannot be read exactly (an exact run did
            // not load it) or is a deleted record the run left out.
            const auto read = [&]() -> const udb_record* {
                try {
                    udb_record* record = source->get_item();
                    const auto* dbf = dynamic_cast<const dbf_record*>(record);
                    if (converter.skip_del && dbf != nullptr && dbf->is_deleted) {
                        return nullptr;
                    }
                    return mutator != nullptr ? &mutator->modify2(*record) : record;
                } catch (const tk_exception&) {
                    ++report.rows_missing;
                    report.values_total += field_count;
                    return nullptr;
                }
            };
            // Whether a row is the record's: at least half of the values equal.
            const auto belongs = [&](const udb_record& record, const udb_record& row) {
                size_t compared = 0;
                size_t equal = 0;
                for (size_t f = 0; f < field_count && f < record.size(); ++f) {
                    if (column_of[f] >= 0) {
                        ++compared;
                        equal += verify_same_value(*record[f],
                                                   row.field(static_cast<size_t>(column_of[f])),
                                                   b_number[f], source_text, destination_text)
                                     ? 1
                                     : 0;
                    }
                }
                return 2 * equal >= compared;
            };
            // How far ahead a record that the run failed to load is looked past.
            constexpr int lookahead = 20;
            while (!source->is_eof()) {
                ++number;
                const udb_record* record = read();
                if (record == nullptr) {
                    source->next();
                    continue;
                }
                report.values_total += field_count;
                if (destination->is_eof()) {
                    ++report.rows_missing;
                    source->next();
                    continue;
                }
                const udb_record* row = destination->get_item();
                if (!belongs(*record, *row)) {
                    // The run may have rejected this record: a later record that the row belongs
                    // to makes the ones before it missing rows.
                    int steps = 0;
                    bool b_found = false;
                    std::vector<int> passed;  // 0 readable, 1 unreadable (counted), 2 left out
                    while (steps < lookahead && !b_found) {
                        source->next();
                        ++steps;
                        if (source->is_eof()) {
                            break;
                        }
                        const uint64_t missing_before = report.rows_missing;
                        const udb_record* later = read();
                        passed.push_back(later != nullptr                        ? 0
                                         : report.rows_missing != missing_before ? 1
                                                                                 : 2);
                        b_found = later != nullptr && belongs(*later, *row);
                    }
                    if (b_found) {
                        // Every readable record passed over is missing from the destination.
                        ++report.rows_missing;
                        for (int i = 0; i + 1 < steps; ++i) {
                            if (passed[static_cast<size_t>(i)] == 0) {
                                ++report.rows_missing;
                                report.values_total += field_count;
                            }
                        }
                        number += static_cast<uint64_t>(steps);
                        report.values_total += field_count;
                        record = source->get_item();
                    } else {
                        for (int i = 0; i < steps; ++i) {
                            source->prev();
                        }
                        // Missing counts made while looking ahead are made again later.
                        for (const int kind : passed) {
                            if (kind == 1) {
                                --report.rows_missing;
                                report.values_total -= field_count;
                            }
                        }
                        record = source->get_item();
                    }
                }
                ++report.rows_compared;
                for (size_t f = 0; f < field_count && f < record->size(); ++f) {
                    if (column_of[f] < 0) {
                        continue;
                    }
                    const udb_field& from = *(*record)[f];
                    const udb_field& to = row->field(static_cast<size_t>(column_of[f]));
                    if (verify_same_value(from, to, b_number[f], source_text, destination_text)) {
                        ++report.values_equal;
                        continue;
                    }
                    verify_column_report& column = columns[f];
                    ++column.differing;
                    if (column.examples.size() < verify_examples) {
                        column.examples.push_back("record " + std::to_string(number) + ": source " +
                                                  cut(source_text) + ", destination " +
                                                  cut(destination_text));
                    }
                }
                source->next();
                destination->next();
            }
            while (!destination->is_eof()) {
                destination->get_item();
                ++report.rows_extra;
                destination->next();
            }
            for (verify_column_report& column : columns) {
                if (column.differing != 0) {
                    report.columns.push_back(std::move(column));
                }
            }
        } catch (const tk_exception& e) {
            report.failure = e.message;
        }
        reports.push_back(std::move(report));
    }
    return reports;
}

std::string format_verify_report(const std::vector<verify_table_report>& reports) {
    std::ostringstream out;
    uint64_t total = 0;
    uint64_t equal = 0;
    size_t equal_tables = 0;
    for (const verify_table_report& r : reports) {
        total += r.values_total;
        equal += r.values_equal;
        equal_tables += r.equal() ? 1 : 0;
        out << tk_w2a(r.table) << " -> " << tk_w2a(r.destination) << ": ";
        if (!r.failure.empty()) {
            out << "not compared: " << r.failure << "\n";
            continue;
        }
        out << r.rows_compared << " rows compared, " << r.rows_missing << " missing, "
            << r.rows_extra << " extra; " << r.values_equal << " of " << r.values_total
            << " values equal" << (r.equal() ? "" : " - DIFFERENT") << "\n";
        for (const std::u16string& name : r.missing_columns) {
            out << "  column " << tk_w2a(name) << ": not in the destination\n";
        }
        for (const std::u16string& name : r.extra_columns) {
            out << "  column " << tk_w2a(name) << ": only in the destination\n";
        }
        for (const verify_column_report& c : r.columns) {
            out << "  column " << tk_w2a(c.name) << ": " << c.differing << " values differ\n";
            for (const std::string& example : c.examples) {
                out << "    " << example << "\n";
            }
        }
    }
    out << "verify: " << equal << " of " << total << " values equal; " << equal_tables << " of "
        << reports.size() << " tables equal\n";
    return out.str();
}

int verify_command(const run_options& options, run_terminal& terminal) {
    if (options.help) {
        terminal.out << verify_usage_text;
        return cli_exit_ok;
    }
    cli_user_interface ui(terminal.err, options.on_error.value_or(on_error_policy::go_on),
                          terminal.in);
    std::unique_ptr<brixel_startup> startup;
    try {
        startup = std::make_unique<brixel_startup>(ui);
    } catch (const std::exception&) {
        return cli_exit_cannot_connect;
    }
    brixel_converter& converter = startup->converter();
    try {
        if (options.profile && !startup->load_quick_launch_profile(*options.profile)) {
            ui.error("", "the profile " + *options.profile + " is not a valid profile");
            return cli_exit_usage;
        }
        apply_run_options(options, converter, run_environment::process());
    } catch (const tk_exception& e) {
        ui.error("", e.message);
        return cli_exit_usage;
    }
    if (!startup->connect()) {
        return cli_exit_cannot_connect;
    }
    try {
        const std::vector<verify_table_report> reports = verify_tables(converter);
        terminal.out << format_verify_report(reports);
        terminal.out.flush();
        for (const verify_table_report& r : reports) {
            if (!r.equal()) {
                return cli_exit_errors;
            }
        }
        return cli_exit_ok;
    } catch (const tk_exception& e) {
        ui.error("", e.message);
        return cli_exit_errors;
    }
}
