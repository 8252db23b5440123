#include "app/interrupted_run.hpp"

#include <filesystem>
#include <memory>
#include <optional>

#include "app/run_journal.hpp"
#include "tk/tk_wstring.hpp"

namespace fs = std::filesystem;

std::string find_interrupted_journal(const std::string& folder) {
    std::string newest;
    fs::file_time_type newest_time{};
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        if (path.extension() != ".journal" || !it->is_regular_file(error)) {
            continue;
        }
        const fs::file_time_type time = it->last_write_time(error);
        if (error || (!newest.empty() && time <= newest_time)) {
            error.clear();
            continue;
        }
        try {
            if (run_journal_state::read(path.string()).unfinished()) {
                newest = path.string();
                newest_time = time;
            }
        } catch (const run_journal_error&) {
            // Not one of ours, or damaged: it is not offered.
        }
    }
    return newest;
}

std::string describe_interrupted_run(const run_journal_state& state) {
    std::string text = "The conversion of " + tk_w2a(state.source) + " did not finish:\n";
    for (const journal_table& table : state.tables) {
        text += "  " + tk_w2a(table.name) + ": ";
        if (table.b_done) {
            text += "done\n";
        } else if (table.destination.empty()) {
            text += "not reached\n";
        } else {
            // The last point was written before its commit: it may not have landed, and the
            // resume reads the destination to know.
            const uint32_t through = table.points.empty() ? 0 : table.points.back().through;
            text +=
                "cut short, at most its first " + std::to_string(through) + " records committed\n";
        }
    }
    return text;
}

void prepare_resume(brixel_converter& converter, const std::string& journal_path) {
    const run_journal_state state = run_journal_state::read(journal_path);
    converter.src = state.source;
    converter.mode = state.policy;
    converter.selected_tables.clear();
    for (const journal_table& table : state.tables) {
        converter.selected_tables.push_back(table.name);
    }
    converter.journal = std::make_shared<run_journal>(journal_path);
}

void start_run_journal(brixel_converter& converter) {
    if (!converter.journal) {
        converter.journal = std::make_shared<run_journal>(default_journal_path(std::nullopt));
    }
}

std::string interrupted_run_text(brixel_converter& converter,
                                 const std::vector<t_table_report>& reports) {
    if (!converter.journal) {
        return {};
    }
    const std::string path = converter.journal->path();
    if (!converter.journal->state().unfinished()) {
        std::error_code error;
        if (fs::path(path).parent_path() == fs::path(journal_state_folder())) {
            fs::remove(path, error);
        }
        return {};
    }
    std::string text = "The conversion did not finish. What each table committed:\n";
    for (const t_table_report& report : reports) {
        text += "  " + tk_w2a(report.table) + ": ";
        switch (report.result) {
            case t_table_report::outcome::converted:
                text += "converted, " + std::to_string(report.inserted) + " records inserted\n";
                break;
            case t_table_report::outcome::skipped:
                text += report.b_done_earlier ? "converted by the earlier run\n" : "skipped\n";
                break;
            case t_table_report::outcome::failed:
                text += "cut short, the outcome of its first " + std::to_string(report.committed) +
                        " records committed\n";
                break;
            case t_table_report::outcome::not_reached:
                text += "not reached\n";
                break;
        }
    }
    text +=
        "To finish it without loading any record twice, start Brixel again and choose to "
        "resume on its first page, or run:\n  brixel-cli run --resume " +
        path + " --connect USER@HOST/SERVICE\n";
    return text;
}
