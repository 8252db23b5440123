#pragma once
// udb_converter: the engine-independent part of a converter: the progress of a run, which tables
// and queries were chosen, and the generic options, with the part of a profile they fill.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tk/tk_converter.hpp"

class udb_profile;

class udb_converter : public tk_converter {
  public:
    using query_map = std::map<std::u16string, std::u16string>;

    udb_converter() = default;
    ~udb_converter() override = default;

    // Tests a query text (the query dialog's test button).
    virtual bool test_query(const std::u16string& query) = 0;

    // The profile's "Selected Tables", "Available Queries" and generic settings. Loading only
    // overrides what the profile names; both answer true.
    bool load_profile(const udb_profile& profile);
    bool store_profile(udb_profile& profile);

    // The table being converted. The run writes it under the lock and the window thread reads
    // it through current_table_name(), so a redraw never sees half a string.
    void set_current_table(const std::u16string& table);
    std::u16string current_table_name() const;
    // The run's progress in percent: the tables done plus the share of the current table, each
    // division an integer one; 0 before a run.
    uint32_t percent() const noexcept;

    // The profile's one-digit "mode", carried here between a profile and its owner.
    uint32_t mode = 0;
    std::u16string current_table;
    std::u16string second_text;
    // Progress of a run: written by the run's thread only, read by the window thread.
    std::atomic<uint32_t> total_records{0};
    std::atomic<uint32_t> current_record{0};
    std::atomic<uint32_t> total_tables{0};
    std::atomic<uint32_t> tables_done{0};
    // The tables to convert, in the chosen order.
    std::vector<std::u16string> selected_tables;
    query_map sel_queries;
    query_map other_queries;
    query_map available_queries;
    bool tab_def = false;   // table definitions only
    bool skip_idx = false;  // no indexes
    bool b_flag3 = false;

  private:
    mutable std::mutex current_table_mutex_;
};
