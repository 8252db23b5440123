// The two load methods side by side: one folder (layouts and types of every kind, NULLs, memos,
// records the server refuses, values the run refuses, a memo that cannot be read) converted row
// by row and in arrays of several sizes must leave the same rows, the same error list and the
// same counts, in both values settings.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/converter_run_fixture.hpp"
#include "app/run_summary.hpp"

namespace {

const std::vector<std::u16string> tables = converter_run_test::mixed_tables();

}  // namespace

class load_method : public converter_run_test {
  protected:
    void SetUp() override {
        converter_run_test::SetUp();
        write_mixed_folder();
    }

    // Converts the folder into a new user with these settings.
    run_outcome convert(udb_values values, const ora_load_settings& load) {
        return convert_into_new_user(tables, mixed_existing(), [&](brixel_converter& c) {
            c.values = values;
            c.load = load;
        });
    }
};

TEST_F(load_method, arrays_of_any_size_store_and_refuse_what_the_row_load_does) {
    for (const udb_values values : {udb_values::classic, udb_values::exact}) {
        const run_outcome row = convert(values, {ora_load_method::row, 1000, 10000});
        // The folder does exercise refusals and NULLs.
        EXPECT_EQ(row.summary[0].find("rejected 0"), std::string::npos) << row.summary[0];
        EXPECT_NE(row.summary[3].find("rejected 1"), std::string::npos) << row.summary[3];
        ASSERT_EQ(row.rows.size(), tables.size());
        for (const uint32_t batch : {1u, 7u, 1000u}) {
            for (const uint32_t commit : {0u, 5u}) {
                SCOPED_TRACE("values " + std::to_string(static_cast<int>(values)) + " batch " +
                             std::to_string(batch) + " commit " + std::to_string(commit));
                const ora_statement_log log;
                const run_outcome array = convert(values, {ora_load_method::array, batch, commit});
                // Bound values only: no record goes out as a statement of its own, and each
                // statement the server takes is prepared once.
                EXPECT_TRUE(log.starting_with("INSERT /*+ APPEND").empty());
                const std::vector<std::string> inserts = log.starting_with("INSERT INTO");
                if (values == udb_values::classic) {
                    EXPECT_EQ(std::set<std::string>(inserts.begin(), inserts.end()).size(),
                              inserts.size());
                }
                EXPECT_EQ(array.rows, row.rows);
                EXPECT_EQ(array.errors, row.errors);
                EXPECT_EQ(array.summary, row.summary);
            }
        }
    }
}

// Abort answered for a refused record is asked after its batch went out: the rows sent with it
// stay, and the summary counts exactly what the table holds.
TEST_F(load_method, abort_after_a_batch_counts_the_rows_it_kept) {
    for (const uint32_t batch : {7u, 1000u}) {
        SCOPED_TRACE("batch " + std::to_string(batch));
        ui_.continue_script = {{false, false}};  // Abort at the first refusal (record 3)
        const run_outcome array = convert(udb_values::classic, {ora_load_method::array, batch, 0});
        const t_table_report keys = converter().reports().at(0);
        EXPECT_EQ(keys.aborted_at, 3u);
        EXPECT_EQ(keys.sent_through, std::min(batch, keys.records_read));
        ASSERT_FALSE(array.rows.empty());
        EXPECT_EQ(keys.inserted, array.rows[0].size());
        EXPECT_EQ(keys.inserted + keys.rejected + keys.skipped_deleted, keys.records_read);
        EXPECT_NE(format_summary(converter().reports(), {}).find("aborted at record 3"),
                  std::string::npos);
    }
}
