#include "app/run_summary.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "app/run_options.hpp"
#include "tk/tk_wstring.hpp"

const char* outcome_word(t_table_report::outcome outcome) {
    switch (outcome) {
        case t_table_report::outcome::converted:
            return "converted";
        case t_table_report::outcome::skipped:
            return "skipped";
        case t_table_report::outcome::failed:
            return "failed";
        case t_table_report::outcome::not_reached:
            break;
    }
    return "not reached";
}

int run_exit_code(const std::vector<t_table_report>& reports, size_t error_count) {
    if (error_count != 0) {
        return cli_exit_errors;
    }
    for (const t_table_report& r : reports) {
        const bool b_done = r.result == t_table_report::outcome::converted ||
                            r.result == t_table_report::outcome::skipped;
        if (!b_done || r.rejected != 0) {
            return cli_exit_errors;
        }
    }
    return cli_exit_ok;
}

namespace {

// The totals line counts outcomes by their order in the enumeration.
static_assert(static_cast<int>(t_table_report::outcome::converted) == 0 &&
              static_cast<int>(t_table_report::outcome::not_reached) == 3);

constexpr size_t column_count = 8;
using row = std::array<std::string, column_count>;
// Columns after the names are numbers and line up on the right.
constexpr size_t first_number_column = 2;

void append_row(const row& cells, const std::array<size_t, column_count>& widths,
                std::string& out) {
    std::string line;
    for (size_t i = 0; i < column_count; ++i) {
        const std::string& cell = cells[i];
        const size_t pad = widths[i] - std::min(widths[i], cell.size());
        if (i != 0) {
            line += "  ";
        }
        const bool b_right = i >= first_number_column && i + 1 < column_count;
        if (b_right) {
            line.append(pad, ' ');
        }
        line += cell;
        if (!b_right) {
            line.append(pad, ' ');
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    out += line;
    out += '\n';
}

}  // namespace

std::string format_summary(const std::vector<t_table_report>& reports,
                           const std::vector<std::string>& errors) {
    std::vector<row> rows;
    rows.push_back(
        {"table", "destination", "records", "read", "inserted", "deleted", "rejected", "outcome"});
    std::array<size_t, 4> by_outcome{};
    for (const t_table_report& r : reports) {
        rows.push_back({tk_w2a(r.table), r.destination.empty() ? "-" : tk_w2a(r.destination),
                        std::to_string(r.records), std::to_string(r.records_read),
                        std::to_string(r.inserted), std::to_string(r.skipped_deleted),
                        std::to_string(r.rejected), outcome_word(r.result)});
        ++by_outcome[static_cast<size_t>(r.result)];
    }
    std::array<size_t, column_count> widths{};
    for (const row& cells : rows) {
        for (size_t i = 0; i < column_count; ++i) {
            widths[i] = std::max(widths[i], cells[i].size());
        }
    }

    std::string out;
    if (!reports.empty()) {
        for (const row& cells : rows) {
            append_row(cells, widths, out);
        }
    }
    out += std::to_string(reports.size()) + (reports.size() == 1 ? " table: " : " tables: ");
    out += std::to_string(by_outcome[0]) + " converted, " + std::to_string(by_outcome[1]) +
           " skipped, " + std::to_string(by_outcome[2]) + " failed, " +
           std::to_string(by_outcome[3]) + " not reached\n";
    for (const t_table_report& r : reports) {
        if (r.aborted_at != 0) {
            // The array load sends records in batches: some after the aborted one were stored.
            out += tk_w2a(r.table) + ": aborted at record " + std::to_string(r.aborted_at) +
                   "; records through " + std::to_string(r.sent_through) +
                   " had been sent, and those the server took are kept (" +
                   std::to_string(r.inserted) + " inserted); no later record was loaded\n";
        }
    }
    if (errors.empty()) {
        out += "no errors\n";
        return out;
    }
    out += std::to_string(errors.size()) + (errors.size() == 1 ? " error:\n" : " errors:\n");
    for (size_t i = 0; i < errors.size(); ++i) {
        out += "  " + std::to_string(i + 1) + ". " + errors[i] + '\n';
    }
    return out;
}

void write_errors_file(const std::string& path, const std::vector<std::string>& errors) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    for (const std::string& e : errors) {
        file << e << '\n';
    }
    file.flush();
    if (!file) {
        throw run_usage_error("--errors-file: cannot write " + path + ": " + std::strerror(errno));
    }
}

std::string format_settings(const brixel_converter& c) {
    static const char* const policies[] = {"overwrite", "merge", "skip"};
    const char* policy = c.mode >= 0 && c.mode <= brixel_converter::mode_skip
                             ? policies[c.mode]
                             : "none chosen (an existing table fails)";
    const auto on_off = [](bool b) { return b ? "on" : "off"; };
    std::string out;
    out += "source: " + tk_w2a(c.src) + '\n';
    out += "destination: " + tk_w2a(c.user) + "@" + tk_w2a(c.host) + ":" + tk_w2a(c.port) + "/" +
           tk_w2a(c.dest) + '\n';
    out += std::string("existing tables: ") + policy + '\n';
    out += std::string("options: definitions-only ") + on_off(c.tab_def) + ", skip-deleted " +
           on_off(c.skip_del) + ", bool-as-is " + on_off(c.bool_dbf) + ", skip-indexes " +
           on_off(c.skip_idx) + ", uppercase " + on_off(c.uppercase) + ", encoding " +
           std::to_string(c.code_page) + '\n';
    return out;
}

std::string format_summary_json(const std::vector<t_table_report>& reports,
                                const std::vector<std::string>& errors, int exit_code,
                                const std::string& journal) {
    nlohmann::ordered_json tables = nlohmann::ordered_json::array();
    for (const t_table_report& r : reports) {
        tables.push_back({{"table", tk_w2a(r.table)},
                          {"destination", tk_w2a(r.destination)},
                          {"outcome", outcome_word(r.result)},
                          {"records", r.records},
                          {"records_announced", r.records_announced},
                          {"read", r.records_read},
                          {"inserted", r.inserted},
                          {"deleted", r.skipped_deleted},
                          {"rejected", r.rejected}});
        if (r.aborted_at != 0) {
            tables.back()["aborted_at"] = r.aborted_at;
            tables.back()["sent_through"] = r.sent_through;
        }
    }
    nlohmann::ordered_json summary = {
        {"tables", std::move(tables)}, {"errors", errors}, {"exit_code", exit_code}};
    if (!journal.empty()) {
        summary["journal"] = journal;
    }
    // A byte that is no UTF-8 (a message quoting a damaged file) must not cost the whole report.
    return summary.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

void write_text_file(const std::string& path, const std::string& text, const char* option) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.flush();
    if (!file) {
        throw run_usage_error(std::string(option) + ": cannot write " + path + ": " +
                              std::strerror(errno));
    }
}
