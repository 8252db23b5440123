#pragma once
// A conversion run against the stand-in: a fresh Oracle user and DBF folder per test, the error
// handler answering through a scripted user interface, and the converter connected the way the
// front ends connect it. Rows are read back through the Oracle table reader, and the source
// through the DBF reader, so both sides are compared as the program sees them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"
#include "dbf/dbf_database.hpp"
#include "dbf/dbf_record.hpp"
#include "ora/ora_statement_log.hpp"
#include "support/dbf_writer.hpp"
#include "support/scripted_user_interface.hpp"
#include "support/standin_home.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_error_converter.hpp"
#include "tk/tk_wstring.hpp"

class converter_run_test : public testing::Test {
  public:
    static void SetUpTestSuite() {
        ora_statement_log::path();  // the stand-in reads where to log when the engine starts
        setenv("OCISIM_LOCK_WAIT_MS", "200", 1);
        home() = std::make_unique<standin_home>("converter_run");
        home()->admin("create-service DB");
    }
    static void TearDownTestSuite() { home().reset(); }

  protected:
    void SetUp() override {
        home()->select();
        user_ = home()->next_user("R");
        admin("create-user DB " + user_ + " pw");
        folder_ = home()->path() / ("dbf_" + user_);
        std::filesystem::create_directories(folder_);
        setenv("BRIXEL_CONFIG_HOME", config_folder().c_str(), 1);
        size_t count = 0;
        const t_error_message* messages = ora_error_messages(count);
        handler_.emplace(count, messages);
        handler_->set_user_interface(&ui_);
        handler_->end_process = [](int code) { FAIL() << "process ended with " << code; };
    }
    void TearDown() override {
        converter_.reset();
        handler_.reset();
    }

    // The converter, connected to the test's user, converting the test's folder.
    brixel_converter& converter() {
        if (!converter_) {
            converter_.emplace();
            // The settings a run starts from are the ones of earlier releases unless a test
            // asks for exact values.
            converter_->values = udb_values::classic;
            converter_->src = tk_a2w(folder_.string());
            converter_->store_oracle_settings(u"localhost", wide(user_), u"pw", u"1521");
            converter_->dest = u"DB";
            converter_->connect_oracle_server(u"DB");
        }
        return *converter_;
    }
    // Ends the converter (which saves its settings) and forgets the saved settings, so the next
    // converter starts from the defaults as at a first start.
    void restart() {
        converter_.reset();
        std::filesystem::remove_all(config_folder());
    }
    // Runs the conversion of these tables.
    void run(const std::vector<std::u16string>& tables) {
        brixel_converter& c = converter();
        c.selected_tables = tables;
        c();
        ASSERT_TRUE(c.finished.load());
    }

    void write(const dbf_writer& table, const std::string& file) { table.write(folder_, file); }

    // Every row of a destination table, in insertion order.
    std::vector<std::vector<ole_variant>> rows(const std::u16string& table) {
        ora_database& db = *converter().ora_base;
        db.get_tables();
        return read_rows(*db.get_table(table, 0));
    }
    // Every record of a source table as the DBF reader decodes it, and whether it is deleted.
    struct source_record {
        std::vector<ole_variant> values;
        bool b_deleted = false;
    };
    std::vector<source_record> source_rows(const std::u16string& table,
                                           udb_values values = udb_values::classic) {
        dbf_database db(tk_a2w(folder_.string()), 1, 0);
        db.values = values;
        std::vector<source_record> out;
        const std::unique_ptr<udb_recordset> reader = db.get_table(table, 1);
        reader->first();
        while (!reader->is_eof()) {
            const udb_record* record = reader->get_item();
            source_record r;
            for (const udb_field* field : *record) {
                r.values.push_back(*field);
            }
            r.b_deleted = static_cast<const dbf_record*>(record)->is_deleted;
            out.push_back(std::move(r));
            reader->next();
        }
        return out;
    }
    bool exists(const std::u16string& table) {
        ora_database& db = *converter().ora_base;
        db.get_tables();
        return db.is_table_exist(table);
    }
    void sql(const std::u16string& statement) { converter().engine.execute(statement); }

  public:
    // A folder of every layout and type the loads treat apart, and of the refusals and notes a
    // run tells: its tables, in order, and the tables they merge into.
    static std::vector<std::u16string> mixed_tables() {
        return {u"keys", u"stamps", u"ledger", u"notes", u"a_b", u"a-b"};
    }
    static std::vector<std::u16string> mixed_existing() {
        return {
            u"CREATE TABLE KEYS (ID NUMBER(5,0) PRIMARY KEY, NAME NVARCHAR2(10) NOT NULL, "
            u"QTY NUMBER(7,1))",
            u"CREATE TABLE NOTES (ID NUMBER(5,0) PRIMARY KEY, NOTE CLOB)"};
    }

  protected:
    void write_mixed_folder() {
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

        // "a_b" and "a-b" ask for the same destination name.
        for (const char* name : {"a_b.dbf", "a-b.dbf"}) {
            dbf_writer small(dbf_ver::dbase3);
            small.field("WHO", 'C', 8);
            small.add_record({dbf_cell::text(name)});
            write(small, name);
        }
    }

    // What a run left: per table its report line and its destination's rows, and the errors.
    struct run_outcome {
        std::vector<std::string> summary;  // outcome, destination and counts
        std::vector<std::vector<std::string>> rows;
        std::vector<std::string> errors;  // in the order told
        std::vector<std::u16string> destinations;
    };
    // Converts `tables` of the folder into a new user, merging into the tables `existing`
    // creates there first; `settings` chooses the rest of the run's settings.
    run_outcome convert_into_new_user(const std::vector<std::u16string>& tables,
                                      const std::vector<std::u16string>& existing,
                                      const std::function<void(brixel_converter&)>& settings) {
        converter_.reset();
        user_ += "X";
        admin("create-user DB " + user_ + " pw");
        ui_.log.clear();
        ui_.errors.clear();
        ui_.all_errors.clear();
        for (const std::u16string& statement : existing) {
            sql(statement);
        }
        brixel_converter& c = converter();
        c.mode = brixel_converter::mode_merge;
        settings(c);
        run(tables);
        run_outcome out;
        out.errors = ui_.all_errors;
        for (const t_table_report& r : c.reports()) {
            out.summary.push_back(
                tk_w2a(r.table) + " " + std::to_string(static_cast<int>(r.result)) + " " +
                tk_w2a(r.destination) + " read " + std::to_string(r.records_read) + " inserted " +
                std::to_string(r.inserted) + " rejected " + std::to_string(r.rejected));
            out.destinations.push_back(r.destination);
            std::vector<std::string> lines;
            if (!r.destination.empty() && exists(r.destination)) {
                for (const auto& row : rows(r.destination)) {
                    std::string line;
                    for (const ole_variant& v : row) {
                        line += typed(v) + "|";
                    }
                    lines.push_back(line);
                }
            }
            // What the run counts as loaded is what the destination holds.
            EXPECT_EQ(lines.size(), r.inserted) << out.summary.back();
            out.rows.push_back(std::move(lines));
        }
        return out;
    }
    // How many continue-or-abort questions the run asked.
    size_t questions() const {
        return static_cast<size_t>(std::count_if(ui_.log.begin(), ui_.log.end(), [](const auto& s) {
            return s.kind == "ask_continue";
        }));
    }

    static std::u16string wide(const std::string& ascii) {
        return std::u16string(ascii.begin(), ascii.end());
    }
    static void admin(const std::string& arguments) { home()->admin(arguments); }
    std::filesystem::path config_folder() const { return home()->path() / ("config_" + user_); }

    std::string user_;
    std::filesystem::path folder_;
    scripted_user_interface ui_;
    std::optional<error_handler> handler_;
    std::optional<brixel_converter> converter_;

  private:
    static std::unique_ptr<standin_home>& home() {
        static std::unique_ptr<standin_home> instance;
        return instance;
    }
};
