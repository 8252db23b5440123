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

// The mixed folder and a large table that ends last.
std::vector<std::u16string> all_tables() {
    std::vector<std::u16string> tables = converter_run_test::mixed_tables();
    tables.push_back(u"big");
    return tables;
}
const std::vector<std::u16string> tables = all_tables();

}  // namespace

class jobs_test : public converter_run_test {
  protected:
    void SetUp() override {
        converter_run_test::SetUp();
        write_mixed_folder();
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
        std::vector<std::u16string> existing = mixed_existing();
        // A table that exists before the run, whichever session meets it.
        existing.push_back(u"CREATE TABLE BIG (N NUMBER(8,0), T NVARCHAR2(20))");
        run_outcome out = convert_into_new_user(tables, existing, [&](brixel_converter& c) {
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
        EXPECT_EQ(one.summary[0].find("rejected 0"), std::string::npos) << one.summary[0];
        EXPECT_GE(one.errors.size(), 3u);
        EXPECT_NE(one.destinations[4], one.destinations[5]);
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
            EXPECT_EQ(ui_.log.front().text.rfind("keys, record #3: ", 0), 0u)
                << ui_.log.front().text;
            if (test.b_abort) {
                EXPECT_EQ(questions(), 1u);
            }
            EXPECT_EQ(reports[0].result, t_table_report::outcome::failed);
            EXPECT_NE(reports.back().result, t_table_report::outcome::converted);
        }
    }
}
