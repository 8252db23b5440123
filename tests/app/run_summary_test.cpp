// The end of a brixel-cli run: which exit code a set of table reports and errors gives, and the
// summary text (aligned table, totals, every error however many).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_summary.hpp"

namespace {

using outcome = t_table_report::outcome;

t_table_report report(std::u16string table, outcome result, uint32_t records = 0,
                      uint32_t inserted = 0, uint32_t deleted = 0, uint32_t rejected = 0) {
    t_table_report r;
    r.table = table;
    r.destination = result == outcome::not_reached ? u"" : u"D_" + table;
    r.result = result;
    r.records = records;
    r.records_read = result == outcome::converted ? records : 0;
    r.inserted = inserted;
    r.skipped_deleted = deleted;
    r.rejected = rejected;
    return r;
}

TEST(run_exit_code, clean_only_when_every_table_is_converted_or_skipped_without_errors) {
    EXPECT_EQ(run_exit_code({}, 0), cli_exit_ok);
    EXPECT_EQ(run_exit_code(
                  {report(u"a", outcome::converted, 5, 4, 1), report(u"b", outcome::skipped)}, 0),
              cli_exit_ok);
    // An error noted anywhere (a missing memo file, a warning) makes the run one with errors.
    EXPECT_EQ(run_exit_code({report(u"a", outcome::converted, 5, 5)}, 1), cli_exit_errors);
    EXPECT_EQ(run_exit_code({report(u"a", outcome::converted, 5, 4, 0, 1)}, 0), cli_exit_errors);
    EXPECT_EQ(run_exit_code({report(u"a", outcome::converted), report(u"b", outcome::failed)}, 0),
              cli_exit_errors);
    EXPECT_EQ(
        run_exit_code({report(u"a", outcome::converted), report(u"b", outcome::not_reached)}, 0),
        cli_exit_errors);
}

TEST(run_summary, rows_line_up_and_every_error_is_listed) {
    std::vector<std::string> errors;
    for (int i = 1; i <= 25; ++i) {
        errors.push_back("orders, record #" + std::to_string(i) + ": rejected");
    }
    const std::string text =
        format_summary({report(u"orders", outcome::converted, 1200, 1170, 5, 25),
                        report(u"c", outcome::skipped, 7), report(u"broken", outcome::failed),
                        report(u"late", outcome::not_reached)},
                       errors);
    const std::string expected_head =
        "table   destination  records  read  inserted  deleted  rejected  outcome\n"
        "orders  D_orders        1200  1200      1170        5        25  converted\n"
        "c       D_c                7     0         0        0         0  skipped\n"
        "broken  D_broken           0     0         0        0         0  failed\n"
        "late    -                  0     0         0        0         0  not reached\n"
        "4 tables: 1 converted, 1 skipped, 1 failed, 1 not reached\n"
        "25 errors:\n"
        "  1. orders, record #1: rejected\n";
    EXPECT_EQ(text.substr(0, expected_head.size()), expected_head);
    // Past the 20 that the wizard's final page keeps.
    EXPECT_NE(text.find("  25. orders, record #25: rejected\n"), std::string::npos);
}

}  // namespace
