// The progress of a run as brixel-cli shows it: the terminal line (text, position, rate) and the
// plain lines of a log, which must name every table once at its start and once at its end even
// when the polls miss a table entirely.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/progress_reporter.hpp"

namespace {

using namespace std::chrono_literals;
using lines = std::vector<std::string>;
using outcome = t_table_report::outcome;

progress_snapshot at(std::u16string table, uint32_t done, uint32_t total, uint32_t record = 0,
                     uint32_t percent = 0) {
    progress_snapshot s;
    s.table = std::move(table);
    s.tables_done = done;
    s.total_tables = total;
    s.current_record = record;
    s.percent = percent;
    return s;
}

std::vector<t_table_report> reached(size_t count, size_t total) {
    std::vector<t_table_report> reports(total);
    for (size_t i = 0; i < count; ++i) {
        reports[i].result = outcome::converted;
    }
    return reports;
}

TEST(progress_terminal, rate_of_the_current_table_once_a_second_has_passed) {
    progress_reporter r({u"a", u"b"}, true);
    const auto t0 = progress_reporter::clock::time_point{} + 100s;
    EXPECT_FALSE(r.update(at(u"", 0, 0), t0).status);  // the run has not named a table yet
    EXPECT_EQ(r.update(at(u"a", 0, 2, 100, 5), t0).status, "[1/2] Processing table 'a'  5%");
    EXPECT_EQ(r.update(at(u"a", 0, 2, 600, 30), t0 + 500ms).status,
              "[1/2] Processing table 'a'  30%");
    EXPECT_EQ(r.update(at(u"a", 0, 2, 2100, 45), t0 + 2s).status,
              "[1/2] Processing table 'a'  45%  1000 records/s");
    // A new table starts its own measure.
    EXPECT_EQ(r.update(at(u"b", 1, 2, 10, 50), t0 + 3s).status, "[2/2] Processing table 'b'  50%");
    EXPECT_EQ(r.update(at(u"b", 1, 2, 310, 60), t0 + 4s).status,
              "[2/2] Processing table 'b'  60%  300 records/s");
    // The terminal line writes no plain lines, and nothing once the run has finished.
    progress_snapshot done = at(u"b", 0, 0);
    done.finished = true;
    const progress_reporter::output end = r.update(done, t0 + 5s);
    EXPECT_FALSE(end.status);
    EXPECT_TRUE(end.lines.empty());
    EXPECT_TRUE(r.finish(reached(2, 2)).lines.empty());
}

TEST(progress_plain, start_and_end_lines_as_the_polls_see_them) {
    progress_reporter r({u"a", u"b", u"c"}, false);
    const auto t = progress_reporter::clock::now();
    EXPECT_TRUE(r.update(at(u"", 0, 3), t).lines.empty());
    EXPECT_EQ(r.update(at(u"a", 0, 3), t).lines, (lines{"[1/3] a: started"}));
    EXPECT_TRUE(r.update(at(u"a", 0, 3, 50), t).lines.empty());
    // Table a counted as done while its name is still the current one: no start line for b yet.
    EXPECT_EQ(r.update(at(u"a", 1, 3), t).lines, (lines{"[1/3] a: done"}));
    EXPECT_EQ(r.update(at(u"b", 1, 3), t).lines, (lines{"[2/3] b: started"}));
    EXPECT_EQ(r.update(at(u"c", 2, 3), t).lines, (lines{"[2/3] b: done", "[3/3] c: started"}));
    EXPECT_EQ(r.finish(reached(3, 3)).lines, (lines{"[3/3] c: done"}));
}

TEST(progress_plain, tables_the_polls_missed_still_get_their_lines) {
    progress_reporter r({u"a", u"b", u"c", u"d"}, false);
    const auto t = progress_reporter::clock::now();
    EXPECT_EQ(r.update(at(u"c", 2, 4), t).lines,
              (lines{"[1/4] a: started", "[1/4] a: done", "[2/4] b: started", "[2/4] b: done",
                     "[3/4] c: started"}));
    // The run ends (and resets its counters) before another poll; it stopped after table c.
    progress_snapshot done = at(u"c", 0, 0);
    done.finished = true;
    EXPECT_TRUE(r.update(done, t).lines.empty());
    EXPECT_EQ(r.finish(reached(3, 4)).lines, (lines{"[3/4] c: done"}));
}

}  // namespace
