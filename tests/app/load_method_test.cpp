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

const std::vector<std::u16string> tables = {u"keys", u"stamps", u"ledger", u"notes"};

}  // namespace

class load_method : public converter_run_test {
  protected:
    void SetUp() override {
        converter_run_test::SetUp();
        // Duplicate keys refused by the server, spread over several batches; a blank name in a
        // NOT NULL column, which is relaxed; a number the exact values refuse.
        dbf_writer keys(dbf_ver::dbase3);
        keys.field("ID", 'N', 5).field("NAME", 'C', 10).field("QTY", 'N', 6, 1);
        const int ids[] = {1, 2, 2, 3, 4, 5, 6, 7, 1, 8, 9, 10, 11, 12, 13, 14, 14, 15};
        for (const int id : ids) {
            keys.add_record({dbf_cell::integer(id), dbf_cell::text(id % 5 == 0 ? "" : "n"),
                             dbf_cell::number(id * 1.5)});
        }
        keys.add_record({dbf_cell::integer(16), dbf_cell::text("bad"), dbf_cell::raw(" 1x3.0")});
        keys.add_record({dbf_cell::integer(17), dbf_cell::text("o'k"), dbf_cell::number(-0.5)},
                        true);
        write(keys, "keys.dbf");

        // Date-times with and without milliseconds, NULLs, a GUID among texts.
        dbf_writer stamps(dbf_ver::vfp);
        stamps.field("AT", 'T', 8, 0, dbf_vfp_flag::nullable)
            .field("DAY", 'D', 8)
            .field("TAG", 'C', 38, 0, dbf_vfp_flag::nullable)
            .field("N", 'I', 4);
        for (int i = 0; i < 12; ++i) {
            stamps.add_record({i % 4 == 3 ? dbf_cell::null()
                                          : dbf_cell::datetime(2020, 1, i + 1, 10, 0, 0, i * 7),
                               i % 3 == 0 ? dbf_cell::blank() : dbf_cell::date(1999, 12, i + 1),
                               i == 5   ? dbf_cell::text("{12345678-9ABC-DEF0-1234-56789ABCDEF0}")
                               : i == 6 ? dbf_cell::null()
                                        : dbf_cell::text("t" + std::to_string(i)),
                               dbf_cell::integer(i)});
        }
        write(stamps, "stamps.dbf");

        // Money, doubles, memos of text and bytes, empty and long.
        dbf_writer ledger(dbf_ver::vfp);
        ledger.field("AMOUNT", 'Y', 8)
            .field("RATIO", 'B', 8, 4)
            .field("BODY", 'M', 4)
            .field("RAW", 'M', 4, 0, dbf_vfp_flag::binary);
        for (int i = 0; i < 9; ++i) {
            ledger.add_record(
                {dbf_cell::currency(i * 123456789LL - 5), dbf_cell::floating(0.1 * i),
                 i % 2 == 0 ? dbf_cell::blank()
                            : dbf_cell::memo(std::string(i * 700, 'x') + "'\xe9"),
                 i % 3 == 0 ? dbf_cell::blank() : dbf_cell::memo(std::string("\x00\xff", 2))});
        }
        write(ledger, "ledger.dbf");

        // A memo outside its file: the record loads and its error is told after it.
        dbf_writer notes(dbf_ver::foxpro2_memo);
        notes.field("ID", 'N', 4).field("NOTE", 'M', 10);
        for (int i = 0; i < 5; ++i) {
            notes.add_record({dbf_cell::integer(i == 3 ? 1 : i),
                              i == 2 ? dbf_cell::memo_block(99999) : dbf_cell::memo("m")});
        }
        write(notes, "notes.dbf");
    }

    // Converts the folder into a new user with these settings.
    run_outcome convert(udb_values values, const ora_load_settings& load) {
        return convert_into_new_user(
            tables,
            {u"CREATE TABLE KEYS (ID NUMBER(5,0) PRIMARY KEY, NAME NVARCHAR2(10) NOT NULL, "
             u"QTY NUMBER(7,1))",
             u"CREATE TABLE NOTES (ID NUMBER(5,0) PRIMARY KEY, NOTE CLOB)"},
            [&](brixel_converter& c) {
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
