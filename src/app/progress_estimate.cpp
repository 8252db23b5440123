#include "app/progress_estimate.hpp"

#include <algorithm>
#include <cstdio>

#include "tk/tk_wstring.hpp"

namespace {

// Less than this is too little to measure a rate or to extrapolate from.
constexpr std::chrono::seconds min_rate_time{1};
constexpr std::chrono::seconds min_estimate_time{2};

}  // namespace

std::string format_duration(std::chrono::seconds duration) {
    const long long total = std::max<long long>(duration.count(), 0);
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    char text[48];
    if (hours != 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, seconds);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds);
    }
    return text;
}

progress_view progress_estimate::update(const progress_snapshot& s, clock::time_point now) {
    progress_view view;
    view.percent = s.percent;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - start_);
    view.elapsed = "Elapsed " + format_duration(elapsed);

    // The records of every table the run has left behind since the last poll count whole.
    if (s.tables_done > counted_table_) {
        records_before_ += last_total_;
        counted_table_ = s.tables_done;
        last_total_ = 0;
    }
    last_total_ = std::max(last_total_, s.total_records);
    if (s.finished || s.total_tables == 0) {
        return view;
    }

    if (!s.table.empty()) {
        view.status = "Processing table '" + tk_w2a(s.table) + "'";
        const uint32_t number = std::min(s.tables_done + 1, s.total_tables);
        view.position = "Table " + std::to_string(number) + " of " + std::to_string(s.total_tables);
        if (s.total_records != 0) {
            view.records = "Record " + std::to_string(std::min(s.current_record, s.total_records)) +
                           " of " + std::to_string(s.total_records);
        }
    }
    const uint64_t done = records_before_ + s.current_record;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
    if (elapsed >= min_rate_time && ms > 0) {
        view.rate = std::to_string(done * 1000 / static_cast<uint64_t>(ms)) + " records/s";
    }

    if (s.table != rate_table_ || s.tables_done != rate_tables_done_ ||
        s.current_record < table_start_record_) {
        rate_table_ = s.table;
        rate_tables_done_ = s.tables_done;
        table_start_ = now;
        table_start_record_ = s.current_record;
    }
    const auto in_table = std::chrono::duration_cast<std::chrono::milliseconds>(now - table_start_);
    const uint32_t table_done = s.current_record - table_start_record_;
    if (in_table >= min_estimate_time && table_done != 0 && s.total_records >= s.current_record) {
        const double ms_per_record = static_cast<double>(in_table.count()) / table_done;
        double left_ms = ms_per_record * (s.total_records - s.current_record);
        const uint32_t after = s.total_tables - std::min(s.total_tables, s.tables_done + 1);
        if (after != 0 && s.tables_done != 0) {
            const auto before =
                std::chrono::duration_cast<std::chrono::milliseconds>(table_start_ - start_);
            left_ms += static_cast<double>(before.count()) / s.tables_done * after;
        } else if (after != 0) {
            // No table done yet: the others are taken to be like this one.
            left_ms += ms_per_record * s.total_records * after;
        }
        view.remaining =
            "About " +
            format_duration(std::chrono::seconds(static_cast<long long>(left_ms / 1000.0 + 0.5))) +
            " left";
    }
    return view;
}
