#pragma once
// What the wizard's progress page shows beyond the percent: the table and its position, the
// records done of the table's total, the records per second of the run, the time elapsed and an
// estimate of the time left. Fed with the progress fields as the window thread polls them.

#include <chrono>
#include <cstdint>
#include <string>

#include "app/progress_reporter.hpp"

// "0:07", "12:34", "1:02:03": minutes and seconds, hours only when there are any.
std::string format_duration(std::chrono::seconds duration);

struct progress_view {
    uint32_t percent = 0;
    std::string status;     // "Processing table 'orders'", or empty between tables
    std::string position;   // "Table 2 of 5", or empty before the first table
    std::string records;    // "Record 50 of 200", or empty
    std::string rate;       // "1530 records/s", or empty until a second has passed
    std::string elapsed;    // "Elapsed 0:42"
    std::string remaining;  // "About 1:10 left", or empty until the current table has a pace
};

class progress_estimate {
  public:
    using clock = std::chrono::steady_clock;

    explicit progress_estimate(clock::time_point start) : start_(start) {}

    progress_view update(const progress_snapshot& snapshot, clock::time_point now);

  private:
    clock::time_point start_;
    // Records of the tables passed so far (each counted with the total last seen for it), and
    // the table being counted now.
    uint64_t records_before_ = 0;
    uint32_t counted_table_ = 0;
    uint32_t last_total_ = 0;
    // Where the current table was first seen, for its own rate: tables differ in size, so the
    // time left comes from the current table's pace plus the average time of a table done.
    std::u16string rate_table_;
    uint32_t rate_tables_done_ = 0;
    clock::time_point table_start_{};
    uint32_t table_start_record_ = 0;
};
