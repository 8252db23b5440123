// The run journal on its own: where a table goes on for each destination row count, names that
// survive the round trip whatever they hold, a line cut by a kill, and damaged journals refused
// with the line that is wrong.

#include "app/run_journal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tk/tk_test_folder.hpp"

namespace {

TEST(run_journal, a_table_goes_on_after_the_last_point_its_row_count_matches) {
    run_journal_state state;
    state.tables.resize(3);
    state.tables[0].destination = u"T";
    // Started on 10 rows; a commit of 3 rows; one of refused records only; a commit of 2.
    state.tables[0].points = {{0, 10}, {5, 13}, {9, 13}, {12, 15}};
    state.tables[1].destination = u"U";
    state.tables[1].b_done = true;
    struct case_t {
        uint64_t rows;
        resume_step::kind what;
        uint32_t after;
    };
    const std::vector<case_t> cases = {
        {15, resume_step::kind::continue_after, 12},  // the last commit landed
        {13, resume_step::kind::continue_after, 9},   // it did not
        {10, resume_step::kind::continue_after, 0},   // nothing landed
        {14, resume_step::kind::conflict, 0},         // rows no point announced
        {16, resume_step::kind::conflict, 0},        {9, resume_step::kind::conflict, 0},
    };
    for (const case_t& c : cases) {
        const resume_step step = state.decide(0, c.rows);
        EXPECT_EQ(step.what, c.what) << c.rows;
        EXPECT_EQ(step.after, c.after) << c.rows;
    }
    EXPECT_NE(state.decide(0, 14).message.find("holds 14 rows"), std::string::npos);
    EXPECT_EQ(state.decide(1, 0).what, resume_step::kind::done);
    EXPECT_EQ(state.decide(2, 99).what, resume_step::kind::as_planned);
}

TEST(run_journal, names_survive_the_round_trip_and_a_cut_last_line_is_ignored) {
    tk_test_folder folder;
    const std::string path = folder.file("j");
    const std::vector<std::u16string> names = {u"a\tb\nc", u"back\\slash \x1f", u"\u00e9t\u00e9"};
    {
        run_journal journal(path);
        journal.begin(u"/data/dbf", 1, names);
        journal.started(0, u"A_B", 1, {0, 4});
        journal.committing(0, {7, 9});
        journal.ended(2, true);
    }
    tk_test_folder::write(path, tk_test_folder::read(path) + "commit\t0\t9\t1");  // no newline
    run_journal_state state = run_journal_state::read(path);
    ASSERT_EQ(state.tables.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(state.tables[i].name, names[i]);
    }
    EXPECT_EQ(state.source, u"/data/dbf");
    EXPECT_EQ(state.policy, 1);
    EXPECT_EQ(state.tables[0].destination, u"A_B");
    ASSERT_EQ(state.tables[0].points.size(), 2u);
    EXPECT_EQ(state.tables[0].points[1].through, 7u);
    EXPECT_TRUE(state.tables[2].b_done);
    EXPECT_FALSE(state.b_finished);

    // A continued journal goes on from what it holds.
    run_journal again(path);
    again.begin(u"/data/dbf", 1, names);
    again.finished();
    state = run_journal_state::read(path);
    EXPECT_TRUE(state.b_finished);
    EXPECT_EQ(state.tables.size(), names.size());
}

TEST(run_journal, a_damaged_journal_is_refused_with_its_line) {
    const std::string head = "brixel-journal\t1\nsource\t/s\ntable\t0\tt\nrun\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "is empty"},
        {"PK\x03\x04 zip\n", "line 1: this is not a Brixel run journal"},
        {head + "commit\t0\t1\t1\n", "line 5: a commit that cannot follow"},
        {head + "start\t0\tT\t0\t0\t5\ncommit\t0\t3\t4\n", "line 6: a commit that cannot follow"},
        {head + "start\t1\tT\t0\t0\t0\n", "line 5: no table number 1"},
        {head + "start\t0\tT\t0\t-1\t0\n", "line 5: a table start"},
        {head + "start\t0\tT\t0\t99999999999\t0\n", "line 5: a table start"},
        {"brixel-journal\t1\ntable\t0\tbad\\q\n", "line 2: a table out of order"},
        {"brixel-journal\t1\ntable\t1\tt\n", "line 2: a table out of order"},
        {head + "end\t0\tmaybe\n", "line 5: an unknown table outcome"},
        {head + "drop table\n", "line 5: an entry that cannot be read"},
        {head + std::string(70000, 'x') + "\n", "line 5: a line longer than"},
    };
    tk_test_folder folder;
    for (const auto& [content, expected] : cases) {
        tk_test_folder::write(folder.file("j"), content);
        try {
            run_journal_state::read(folder.file("j"));
            ADD_FAILURE() << "accepted: " << expected;
        } catch (const run_journal_error& e) {
            EXPECT_NE(e.message.find(expected), std::string::npos) << e.message;
        }
    }
}

}  // namespace
