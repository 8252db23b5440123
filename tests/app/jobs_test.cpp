// Tables converted on several sessions at once: the same rows, errors and summary as one session,
// in both load methods; names that collide still get the names a one-by-one run gives them; an
// Abort or a stop ends every worker cleanly and keeps what each table reached.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "app/converter_run_fixture.hpp"

namespace {

// "a_b" and "a-b" ask for the same destination name.
const std::vector<std::u16string> tables = {u"keys", u"memos", u"stamps", u"a_b", u"a-b", u"big"};

}  // namespace

class jobs_test : public converter_run_test {
  protected:
    void SetUp() override {
        converter_run_test::SetUp();
        // Duplicate keys that the destination's primary key refuses, the first one early.
        dbf_writer keys(dbf_ver::dbase3);
        keys.field("ID", 'N', 5).field("NAME", 'C', 10).field("QTY", 'N', 6, 1);
        for (int i = 0; i < 40; ++i) {
            const int id = i == 1 ? 0 : i % 9 == 8 ? i - 3 : i;
            keys.add_record({dbf_cell::integer(id), dbf_cell::text("n" + std::to_string(i)),
                             dbf_cell::number(i * 0.5)});
        }
        write(keys, "keys.dbf");

        // A memo outside its file: loaded empty, and told.
        dbf_writer memos(dbf_ver::foxpro2_memo);
        memos.field("ID", 'N', 4).field("NOTE", 'M', 10);
        for (int i = 0; i < 12; ++i) {
            memos.add_record({dbf_cell::integer(i), i == 10 ? dbf_cell::memo_block(99999)
                                                            : dbf_cell::memo(std::string(i, 'm'))});
        }
        write(memos, "memos.dbf");

        dbf_writer stamps(dbf_ver::vfp);
        stamps.field("AT", 'T', 8, 0, dbf_vfp_flag::nullable)
            .field("TAG", 'C', 8, 0, dbf_vfp_flag::nullable);
        for (int i = 0; i < 15; ++i) {
            stamps.add_record(
                {i % 4 == 0 ? dbf_cell::null() : dbf_cell::datetime(2021, 3, i + 1, 8, i, 0, 0),
                 i % 5 == 0 ? dbf_cell::null() : dbf_cell::text("t" + std::to_string(i))});
        }
        write(stamps, "stamps.dbf");

        for (const char* name : {"a_b.dbf", "a-b.dbf"}) {
            dbf_writer small(dbf_ver::dbase3);
            small.field("WHO", 'C', 8);
            small.add_record({dbf_cell::text(name)});
            write(small, name);
        }

        dbf_writer big(dbf_ver::dbase3);
        big.field("N", 'N', 8).field("T", 'C', 20);
        for (int i = 0; i < 300; ++i) {
            big.add_record({dbf_cell::integer(i), dbf_cell::text("row " + std::to_string(i))});
        }
        write(big, "big.dbf");
    }

    // Converts the folder into a new user; `answers` scripts the continue-or-abort questions.
    run_outcome convert(uint32_t jobs, const ora_load_settings& load,
                        std::deque<tk_user_interface::continue_answer> answers = {}) {
        ui_.continue_script = std::move(answers);
        run_outcome out = convert_into_new_user(
            tables,
            {u"CREATE TABLE KEYS (ID NUMBER(5,0) PRIMARY KEY, NAME NVARCHAR2(10) NOT NULL, "
             u"QTY NUMBER(7,1))",
             // A table that exists before the run, whichever session meets it.
             u"CREATE TABLE BIG (N NUMBER(8,0), T NVARCHAR2(20))"},
            [&](brixel_converter& c) {
                c.jobs = jobs;
                c.load = load;
            });
        // Sorted: their order follows the workers' timing.
        std::sort(out.errors.begin(), out.errors.end());
        return out;
    }
};

TEST_F(jobs_test, several_sessions_leave_the_rows_errors_and_summary_of_one) {
    for (const ora_load_settings& load : {ora_load_settings{ora_load_method::row, 1000, 10000},
                                          ora_load_settings{ora_load_method::array, 7, 20}}) {
        SCOPED_TRACE(load.method == ora_load_method::row ? "row" : "array");
        const run_outcome one = convert(1, load);
        // The folder does exercise refusals, notes and colliding names.
        ASSERT_EQ(one.summary.size(), tables.size());
        EXPECT_NE(one.summary[0].find("rejected 5"), std::string::npos) << one.summary[0];
        EXPECT_EQ(one.errors.size(), 6u);
        EXPECT_NE(one.destinations[3], one.destinations[4]);
        for (const uint32_t jobs : {2u, 3u, 8u}) {
            SCOPED_TRACE("jobs " + std::to_string(jobs));
            const run_outcome many = convert(jobs, load);
            EXPECT_EQ(many.summary, one.summary);
            EXPECT_EQ(many.rows, one.rows);
            EXPECT_EQ(many.errors, one.errors);
        }
    }
}

TEST_F(jobs_test, abort_or_stop_ends_every_worker_and_keeps_what_was_read) {
    struct stop_case {
        const char* name;
        bool b_abort;  // else the first error asks the run to stop and answers Continue
    };
    for (const stop_case& test : {stop_case{"abort", true}, stop_case{"stop", false}}) {
        for (const ora_load_method method : {ora_load_method::row, ora_load_method::array}) {
            SCOPED_TRACE(std::string(test.name) +
                         (method == ora_load_method::row ? " row" : " array"));
            std::deque<tk_user_interface::continue_answer> answers;
            if (test.b_abort) {
                answers.push_back({false, false});
            } else {
                ui_.on_continue = [this] { converter().request_stop(); };
            }
            convert(3, {method, 5, 10}, answers);
            ui_.on_continue = nullptr;
            // The first refusal of "keys" comes long before the last table can end. After an
            // Abort nothing more is asked; after a stop, a worker may still ask about the record
            // it is on. Each table holds what its report counts (convert checked that).
            const std::vector<t_table_report> reports = converter().reports();
            ASSERT_GE(questions(), 1u);
            EXPECT_EQ(ui_.log.front().text.rfind("keys, record #2: ", 0), 0u)
                << ui_.log.front().text;
            if (test.b_abort) {
                EXPECT_EQ(questions(), 1u);
            }
            EXPECT_EQ(reports[0].result, t_table_report::outcome::failed);
            EXPECT_NE(reports.back().result, t_table_report::outcome::converted);
        }
    }
}
