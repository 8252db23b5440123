#pragma once
// The progress of a brixel-cli run, from the converter's progress fields as the main thread polls
// them. On a terminal it is one line, redrawn in place: the table, the percent of the whole run
// and the records per second of the current table. Elsewhere (a log file, a pipe) it is plain
// lines, one when a table starts and one when it ends.
//
// The polls may miss a short table entirely; the tables are named from the selection and the
// count of tables done, so every table still gets its two lines.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"

// The progress fields read once per poll.
struct progress_snapshot {
    std::u16string table;  // current_table
    uint32_t percent = 0;
    uint32_t current_record = 0;
    uint32_t total_records = 0;
    uint32_t tables_done = 0;
    uint32_t total_tables = 0;
    bool finished = false;

    static progress_snapshot read(const brixel_converter& converter);
};

// The terminal line: "[2/5] Processing table 'orders'  42%  1530 records/s". The position is
// left out when the table count is not known, the rate when it is not.
std::string progress_line(const std::string& table, uint32_t table_number, uint32_t table_count,
                          uint32_t percent, std::optional<uint32_t> records_per_second);

class progress_reporter {
  public:
    using clock = std::chrono::steady_clock;

    // What a poll asks the terminal to show: a line to draw in place, and whole lines to print.
    struct output {
        std::optional<std::string> status;
        std::vector<std::string> lines;
    };

    // tables: the selection in run order; b_terminal: draw one line in place.
    progress_reporter(std::vector<std::u16string> tables, bool b_terminal);

    // One poll while the run works.
    output update(const progress_snapshot& snapshot, clock::time_point now);
    // After the run: the lines of the tables the polls missed, up to the last table the run
    // reached (the reports say which).
    output finish(const std::vector<t_table_report>& reports);

  private:
    void start_line(size_t index, output& out);
    void end_line(size_t index, output& out);
    std::string position(size_t index) const;

    std::vector<std::u16string> tables_;
    bool b_terminal_;
    size_t started_ = 0;  // tables whose start line was written
    size_t ended_ = 0;    // tables whose end line was written
    // The rate is measured from the first poll that saw the current table.
    std::u16string rate_table_;
    clock::time_point rate_start_{};
    uint32_t rate_start_record_ = 0;
};
