#include "app/progress_reporter.hpp"

#include <algorithm>

#include "tk/tk_wstring.hpp"

namespace {

// A rate over less time than this jumps around too much to be worth showing.
constexpr std::chrono::milliseconds min_rate_window{1000};

}  // namespace

progress_snapshot progress_snapshot::read(const brixel_converter& converter) {
    progress_snapshot s;
    s.finished = converter.finished.load();
    s.table = converter.current_table_name();
    s.percent = converter.percent();
    s.current_record = converter.current_record.load();
    s.total_records = converter.total_records.load();
    s.tables_done = converter.tables_done.load();
    s.total_tables = converter.total_tables.load();
    return s;
}

std::string progress_line(const std::string& table, uint32_t table_number, uint32_t table_count,
                          uint32_t percent, std::optional<uint32_t> records_per_second) {
    std::string line;
    if (table_count != 0) {
        line = "[" + std::to_string(table_number) + "/" + std::to_string(table_count) + "] ";
    }
    line += "Processing table '" + table + "'  " + std::to_string(percent) + "%";
    if (records_per_second) {
        line += "  " + std::to_string(*records_per_second) + " records/s";
    }
    return line;
}

progress_reporter::progress_reporter(std::vector<std::u16string> tables, bool b_terminal)
    : tables_(std::move(tables)), b_terminal_(b_terminal) {}

std::string progress_reporter::position(size_t index) const {
    return "[" + std::to_string(index + 1) + "/" + std::to_string(tables_.size()) + "] ";
}

void progress_reporter::start_line(size_t index, output& out) {
    out.lines.push_back(position(index) + tk_w2a(tables_[index]) + ": started");
    started_ = index + 1;
}

void progress_reporter::end_line(size_t index, output& out) {
    if (started_ <= index) {
        start_line(index, out);
    }
    out.lines.push_back(position(index) + tk_w2a(tables_[index]) + ": done");
    ended_ = index + 1;
}

progress_reporter::output progress_reporter::update(const progress_snapshot& snapshot,
                                                    clock::time_point now) {
    output out;
    if (snapshot.finished) {
        // The run has reset its counters; finish() reports the rest from the run's reports.
        return out;
    }
    if (!b_terminal_) {
        const size_t done = std::min<size_t>(snapshot.tables_done, tables_.size());
        for (size_t i = ended_; i < done; ++i) {
            end_line(i, out);
        }
        // The current table is named by the run before it is counted as done: a start line only
        // when the name is the one of the next table, never a stale one.
        if (done < tables_.size() && started_ == done && snapshot.table == tables_[done]) {
            start_line(done, out);
        }
        return out;
    }

    if (snapshot.table.empty() || snapshot.total_tables == 0) {
        return out;
    }
    if (snapshot.table != rate_table_ || snapshot.current_record < rate_start_record_) {
        rate_table_ = snapshot.table;
        rate_start_ = now;
        rate_start_record_ = snapshot.current_record;
    }
    std::optional<uint32_t> rate;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - rate_start_);
    if (elapsed >= min_rate_window) {
        const uint64_t records = snapshot.current_record - rate_start_record_;
        rate = static_cast<uint32_t>(records * 1000 / static_cast<uint64_t>(elapsed.count()));
    }
    const uint32_t number = std::min(snapshot.tables_done + 1, snapshot.total_tables);
    out.status = progress_line(tk_w2a(snapshot.table), number, snapshot.total_tables,
                               snapshot.percent, rate);
    return out;
}

progress_reporter::output progress_reporter::finish(const std::vector<t_table_report>& reports) {
    output out;
    if (b_terminal_) {
        return out;
    }
    size_t reached = 0;
    for (size_t i = 0; i < reports.size() && i < tables_.size(); ++i) {
        if (reports[i].result != t_table_report::outcome::not_reached) {
            reached = i + 1;
        }
    }
    // A table whose start was seen ends too, whatever the run made of it.
    reached = std::max(reached, started_);
    for (size_t i = ended_; i < reached; ++i) {
        end_line(i, out);
    }
    return out;
}
