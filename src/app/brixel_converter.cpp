#include "app/brixel_converter.hpp"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "app/brixel_settings.hpp"
#include "app/run_journal.hpp"
#include "dbf/dbf_database.hpp"
#include "dbf/dbf_record.hpp"
#include "dbf/dbf_recordset.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_loader.hpp"
#include "ora/ora_table.hpp"
#include "ora/ora_validator.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/brixel_bool_rule.hpp"
#include "udb/udb_custom_conversion.hpp"

namespace {

// ORA-00054: resource busy; the table is locked by another session.
constexpr uint16_t ora_resource_busy = 54;

// The scope of one run: it stamps the start and the end in the log, starts the front end's
// progress polling, and marks the run finished however it ends.
class init_conversion {
  public:
    explicit init_conversion(brixel_converter& converter) : converter_(converter) {
        TK_LOG(2, "init_conversion::ctor");
        log_time("Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n");
        if (converter_.start_progress_timer) {
            converter_.start_progress_timer(200);
        }
    }
    ~init_conversion() {
        TK_LOG(2, "init_conversion::dtor");
        log_time("Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n");
        converter_.finished.store(true, std::memory_order_release);
    }
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;

  private:
    static void log_time(const char* format) {
        if (!tk_log::get().active(3)) {
            return;
        }
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        tk_log::get().write(3, format, local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
                            local.tm_hour, local.tm_min, local.tm_sec);
    }

    brixel_converter& converter_;
};

bool contains_ignoring_case(const std::vector<std::u16string>& names, const std::u16string& name) {
    for (const std::u16string& used : names) {
        if (tk_wstring::iequals(used, name)) {
            return true;
        }
    }
    return false;
}

// A failure to open or read a source table costs that table only: an error that would end the
// run is reported as one the run may go on after.
tk_exception table_failure(const tk_exception& e) {
    tk_exception copy(e.message, e.level == 1 ? 0 : e.level);
    copy.code = e.code;
    return copy;
}

// The error of a memo whose block lies outside the memo file: the record arrived with the value
// empty.
std::string unreadable_memo_message(const dbf_record& record, size_t field) {
    return "Failed to read MEMO field " + tk_w2a(record[field]->name) +
           ": its block is outside the memo file; loaded as empty";
}

}  // namespace

brixel_converter::brixel_converter(bool b_use_store)
    : tk_serializer(brixel_settings_key), b_save_settings(b_use_store) {
    TK_LOG(2, "brixel_converter::ctor");
    code_page = 0;
    if (b_use_store) {
        serialize(false);
    } else {
        port = u"1521";
    }
}

brixel_converter::~brixel_converter() {
    TK_LOG(2, "brixel_converter::dtor");
    if (b_save_settings) {
        serialize(true);
    }
}

bool brixel_converter::test_query(const std::u16string& /*query*/) {
    return false;
}

std::vector<t_table_report> brixel_converter::reports() const {
    const std::lock_guard<std::mutex> lock(reports_mutex_);
    return reports_;
}

void brixel_converter::operator()() {
    TK_LOG(2, "brixel_converter::operator()");
    init_conversion scope(*this);
    {
        const std::lock_guard<std::mutex> lock(reports_mutex_);
        reports_.clear();
        for (const std::u16string& table : selected_tables) {
            reports_.push_back(t_table_report{table, {}});
        }
    }
    try {
        if (ora_base == nullptr) {
            throw tk_exception("There is no connection to an Oracle server.", 1);
        }
        ora_base->b_uppercase = uppercase;
        ora_base->values = values;
        dbf_database source(src, 1, static_cast<uint8_t>(code_page & 0xFF));
        source.values = values;
        TK_TRACE("After initializing DBs");

        udb_custom_conversion rules;
        if (bool_dbf) {
            rules.add_rule(std::make_unique<brixel_bool_rule>());
        }

        total_tables = static_cast<uint32_t>(selected_tables.size());
        TK_LOGW(3, u"Converting database %s (%d tables)", src.c_str(),
                static_cast<int>(total_tables.load()));

        ora_tn_validator validator(selected_tables, ora_base->get_tables());
        for (const std::u16string& table : selected_tables) {
            sel_queries.emplace(table, std::u16string());
        }
        TK_TRACE("sel_queries.size=%d", static_cast<int>(sel_queries.size()));

        check_mapped_names();
        t_run_tables run{source, validator, {}, {}};
        b_run_stopped_ = false;
        reconnects_ = 0;
        reconnected_ = 0;
        if (journal) {
            journal->begin(src, mode, selected_tables);
        }
        if (jobs <= 1 || selected_tables.size() <= 1) {
            table_progress progress(*this, true);
            for (size_t i = 0; i < selected_tables.size(); ++i) {
                check_stop();
                // After a lost connection and a new one, the table goes on from what the
                // journal says is committed, on the new session.
                while (convert_one(i, run, *ora_base, progress, true)) {
                }
                ++tables_done;
            }
        } else {
            brixel_job_runner runner(*this, jobs, b_run_stopped_);
            runner.run([&](size_t i, ora_database& session_db, table_progress& progress) {
                convert_one(i, run, session_db, progress, false);
            });
        }
        if (journal) {
            journal->finished();
        }
        error_handler::instance().clear_context();
        tables_done = 0;
        total_tables = 0;
    } catch (const tk_final_exception&) {
        TK_LOG(2, "The conversion was stopped");
    } catch (const tk_exception& e) {
        error_handler::instance().handle(e, true);
    } catch (const std::exception& e) {
        error_handler::instance().handle(
            tk_exception(std::string("Unexpected failure: ") + e.what(), 1), true);
    }
}

bool brixel_converter::convert_one(size_t i, t_run_tables& run, ora_database& session_db,
                                   table_progress& progress, bool b_may_reconnect) {
    t_table_report report{selected_tables[i], {}};
    try {
        convert_table(i, run, session_db, progress, report);
        if (journal) {
            journal->ended(i, report.result == t_table_report::outcome::skipped);
        }
        publish(i, report);
    } catch (const tk_exception& e) {
        const ora_fault fault = ora_fault_of(e);
        if (fault == ora_fault::session && b_may_reconnect && journal && reconnects_ < reconnect &&
            reconnect_after_loss(reconnects_)) {
            return true;
        }
        // Published before the handler is asked: Abort raises from there.
        report.result = t_table_report::outcome::failed;
        publish(i, report);
        if (fault != ora_fault::none) {
            report_fault(i, e, fault == ora_fault::session, report);
        } else {
            error_handler::instance().set_context(selected_tables[i]);
            error_handler::instance().handle(e, false);
        }
    } catch (const tk_final_exception&) {
        // Abort or a stop request: the table keeps what it reached, and the run ends.
        report.result = t_table_report::outcome::failed;
        publish(i, report);
        throw;
    } catch (const std::exception& e) {
        // A failure that is no error of ours still fails only this table, and is recorded like
        // every other.
        report.result = t_table_report::outcome::failed;
        publish(i, report);
        error_handler::instance().set_context(selected_tables[i]);
        error_handler::instance().handle(
            tk_exception(std::string("Unexpected failure: ") + e.what(), 0), false);
    }
    return false;
}

void brixel_converter::check_stop() const {
    // Raised between tables and records once the front end asked the run to stop, or another
    // worker of the run ended it; it ends the run like an Abort.
    if (stopping()) {
        TK_LOG(2, "Stop requested");
        throw tk_final_exception();
    }
}

void brixel_converter::check_mapped_names() {
    // Two tables that would land in one destination table: under Overwrite the second would
    // drop the first one's rows. A name given by a mapping is the user's word, so it is not
    // changed: the run is refused before anything is touched. Names taken from file names are
    // made distinct as each table is created.
    std::vector<std::pair<std::u16string, std::u16string>> seen;  // destination, source
    for (const std::u16string& table : selected_tables) {
        const udb_table_mutator* mutator = find_table_mutator(table);
        std::u16string name = mutator != nullptr ? mutator->new_name : table;
        if (uppercase) {
            tk_wstring::to_upper(name);
        }
        for (const auto& [destination, source] : seen) {
            if (tk_wstring::iequals(destination, name) &&
                (mutator != nullptr || find_table_mutator(source) != nullptr)) {
                throw tk_exception("Tables " + tk_w2a(source) + " and " + tk_w2a(table) +
                                       " are both mapped to the destination table " + tk_w2a(name) +
                                       "; give them distinct names",
                                   1);
            }
        }
        seen.emplace_back(std::move(name), table);
    }
}

void brixel_converter::publish(size_t index, const t_table_report& report) {
    const std::lock_guard<std::mutex> lock(reports_mutex_);
    if (index < reports_.size()) {
        reports_[index] = report;
    }
}

void brixel_converter::report_fault(size_t index, const tk_exception& e, bool b_session,
                                    const t_table_report& report) {
    const std::u16string& table = selected_tables[index];
    std::string message = e.message;
    while (!message.empty() &&
           (message.back() == ' ' || message.back() == '.' || message.back() == '\n')) {
        message.pop_back();
    }
    message += ". ";
    message += b_session ? "The connection to the Oracle server is lost and the run ends: "
                         : "There is no room left for this table and it ends here: ";
    message += "the first " + std::to_string(report.committed) + " records of " + tk_w2a(table) +
               " are committed";
    if (b_session) {
        std::string missed;
        {
            const std::lock_guard<std::mutex> lock(reports_mutex_);
            for (size_t i = 0; i < reports_.size(); ++i) {
                if (i != index && reports_[i].result == t_table_report::outcome::not_reached) {
                    missed += (missed.empty() ? "" : ", ") + tk_w2a(selected_tables[i]);
                }
            }
        }
        message +=
            missed.empty() ? "; every other table was reached" : "; tables not reached: " + missed;
    } else {
        message += "; the run goes on with the next table";
    }
    error_handler& errors = error_handler::instance();
    if (report.fault_record != 0) {
        errors.set_context(table, report.fault_record);
    } else {
        errors.set_context(table);
    }
    // One message for the table, not one per record; a lost session ends the run.
    errors.handle(tk_exception(message, b_session ? 1 : 0), false);
}

bool brixel_converter::reconnect_after_loss(uint32_t& attempts) {
    while (attempts < reconnect) {
        const uint32_t wait = reconnect_wait_ms << std::min<uint32_t>(attempts, 10);
        ++attempts;
        TK_LOG(3, "Connection lost: connecting again in %u ms (attempt %u of %u)\n", wait, attempts,
               reconnect);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
        while (std::chrono::steady_clock::now() < until) {
            check_stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint32_t>(wait, 50)));
        }
        try {
            connect_oracle_server(database);
            ora_base->b_uppercase = uppercase;
            ora_base->values = values;
            ora_base->get_tables();
            ++reconnected_;
            return true;
        } catch (const tk_exception& e) {
            TK_LOG(3, "Connecting again failed: %s\n", e.message.c_str());
        }
    }
    return false;
}

void brixel_converter::convert_table(size_t index, t_run_tables& run, ora_database& session_db,
                                     table_progress& progress, t_table_report& report) {
    const std::u16string& table = selected_tables[index];
    ordered_turns::turn setup(run.setups, index);
    progress.start(table);

    std::unique_ptr<udb_recordset> source_table;
    try {
        source_table = run.source.get_table(table, 1);
    } catch (const tk_exception& e) {
        throw table_failure(e);
    }
    if (source_table->schema.size() == 0) {
        throw tk_exception("The table has no fields: there is no column to create", 0);
    }
    const auto* dbf_table = dynamic_cast<const dbf_recordset*>(source_table.get());
    const uint32_t announced =
        dbf_table != nullptr ? dbf_table->records_announced() : source_table->records_cnt;
    report.records_announced = announced;
    if (announced > source_table->records_cnt) {
        // The complete records are loaded; the missing ones are told, never invented.
        error_handler::instance().set_context(table);
        error_handler::instance().handle(
            tk_exception("The file holds " + std::to_string(source_table->records_cnt) +
                             " of the " + std::to_string(announced) +
                             " records its header announces; the complete records are loaded",
                         0),
            false);
    }
    std::u16string name = modify1(table, source_table->schema, source_table->indexes);
    if (uppercase) {
        tk_wstring::to_upper(name);
    }
    // A table the journal knows keeps the destination it was given.
    std::optional<journal_table> known;
    if (journal) {
        run_journal_state state = journal->state();
        if (index < state.tables.size() && !state.tables[index].destination.empty()) {
            known = std::move(state.tables[index]);
            name = known->destination;
        }
    }
    // Every destination name follows the name rules, whether it comes from a file name or a
    // mapping, and no two tables of one run share one: nothing in a name reaches SQL but
    // letters, digits, "_", "$" and "#".
    const bool b_acceptable = run.validator.is_acceptable(name) &&
                              (known.has_value() || !contains_ignoring_case(run.used_names, name));
    if (!b_acceptable) {
        name = run.validator.get_safe_name(name);
    }
    report.destination = name;

    int32_t policy = mode;
    uint32_t first = 0;
    if (known) {
        if (!contains_ignoring_case(run.used_names, name)) {
            run.validator.add_existing_name(name);
            run.used_names.push_back(name);
        }
        if (known->b_done) {
            TK_LOGW(3, u"Table %s was done by the interrupted run\n", table.c_str());
            report.result = t_table_report::outcome::skipped;
            report.b_done_earlier = true;
            return;
        }
        if (!session_db.is_table_exist(name)) {
            throw tk_exception("The destination table " + tk_w2a(name) +
                                   " of the interrupted run no longer exists; it is not continued",
                               0);
        }
        const uint64_t rows = ora_engine::instance().get_records_cnt(name, false);
        run_journal_state state;
        state.tables.push_back(*known);
        const resume_step step = state.decide(0, rows);
        if (step.what == resume_step::kind::conflict) {
            throw tk_exception(step.message, 0);
        }
        // The table goes on in merge mode after the last committed record.
        policy = mode_merge;
        first = step.after;
        report.resumed_after = first;
        report.committed = first;
    }

    if (session_db.is_table_exist(name)) {
        TK_LOGW(2, u"Table %s already exists", name.c_str());
        if (policy == mode_overwrite) {
            TK_LOG(2, "Overwrite existing table");
            try {
                session_db.delete_tab(name);
            } catch (const ora_exception& e) {
                if (e.ora_number() == ora_resource_busy) {
                    throw tk_exception(
                        "Cannot delete table because it is busy with another process", 0);
                }
                throw;
            }
        } else if (policy == mode_skip) {
            TK_LOG(2, "Skip existing table");
            report.result = t_table_report::outcome::skipped;
            return;
        } else if (policy == mode_refuse) {
            throw tk_exception("Table " + tk_w2a(name) +
                                   " already exists in the destination and no policy for "
                                   "existing tables was chosen: overwrite, merge or skip",
                               0);
        }
    }

    std::unique_ptr<udb_recordset> destination;
    const bool b_existed = session_db.is_table_exist(name);
    if (b_existed) {
        destination = session_db.get_table(name, 8);
    } else if (skip_idx) {
        destination = session_db.create_table(name, source_table->schema, udb_indexes());
    } else {
        destination =
            session_db.create_table(name, source_table->schema, udb_indexes(source_table->indexes));
    }

    if (policy == mode_merge && !bool_dbf &&
        !source_table->schema.conform_to(destination->schema)) {
        throw tk_exception(
            "The structure of data source does not conform to the destination table.", 0);
    }

    if (!b_acceptable) {
        TK_LOGW(2, u"Store generated table name '%s'", name.c_str());
    }
    if (!known) {
        run.validator.add_existing_name(name);
        run.used_names.push_back(name);
    }
    uint64_t rows = 0;
    if (journal) {
        rows = b_existed ? ora_engine::instance().get_records_cnt(name, false) : 0;
        journal->started(index, name, mode, journal_point{first, rows});
    }

    setup.end();

    progress.set_total(source_table->records_cnt);
    report.records = source_table->records_cnt;
    TK_LOGW(3, u"Converting table %s (%d records)", table.c_str(),
            static_cast<int>(source_table->records_cnt));
    if (source_table->records_cnt != 0 && !tab_def) {
        convert_records(index, *source_table, *destination, first, rows, progress, report);
    }
    report.result = t_table_report::outcome::converted;
    // The destination is released before the source, so its pending work completes first.
    destination.reset();
}

void brixel_converter::convert_records(size_t index, udb_recordset& source,
                                       udb_recordset& destination, uint32_t first, uint64_t rows,
                                       table_progress& progress, t_table_report& report) {
    const std::u16string& table = selected_tables[index];
    // Exact lookup once per table; null when the table has no column changes.
    udb_table_mutator* mutator = find_table_mutator(table);
    if (mutator != nullptr && mutator->fields().empty()) {
        mutator = nullptr;
    }
    if (mutator != nullptr) {
        mutator->values = values;
    }
    error_handler& errors = error_handler::instance();
    // An Oracle table is loaded through the chosen load method; the outcome of a record is
    // known once the loader has sent it, so the messages that depend on it wait until then.
    auto* oracle = dynamic_cast<ora_table*>(&destination);
    std::unique_ptr<ora_loader> loader =
        oracle != nullptr ? make_ora_loader(*oracle, load) : nullptr;
    if (loader != nullptr && journal) {
        loader->before_commit = [this, index, rows](uint32_t through, uint64_t stored) {
            journal->committing(index, journal_point{through, rows + stored});
        };
    }
    struct waiting_notes {
        uint32_t number;
        std::vector<std::string> messages;
    };
    std::vector<waiting_notes> waiting;
    // Reports, in record order, the records refused and the notes of the records loaded up to
    // where the loader has sent.
    auto settle = [&] {
        if (loader == nullptr) {
            return;
        }
        std::vector<ora_rejected_row> refused = loader->take_rejected();
        const uint32_t through = loader->settled_through();
        size_t r = 0;
        size_t w = 0;
        while (r < refused.size() || (w < waiting.size() && waiting[w].number <= through)) {
            const bool b_refused =
                r < refused.size() && (w >= waiting.size() || waiting[w].number > through ||
                                       refused[r].number <= waiting[w].number);
            if (b_refused) {
                const uint32_t number = refused[r].number;
                if (w < waiting.size() && waiting[w].number == number) {
                    ++w;  // a refused record's notes are not told, as when it fails on its own
                }
                --report.inserted;
                ++report.rejected;
                errors.set_context(table, number);
                try {
                    std::rethrow_exception(refused[r++].error);
                } catch (const tk_exception& e) {
                    try {
                        errors.handle(e, false);
                    } catch (const tk_final_exception&) {
                        // Abort after a batch: the records sent with it, those after this one
                        // included, are kept and committed; what was read but not yet sent is
                        // dropped. The summary counts what the table holds.
                        for (; r < refused.size(); ++r) {
                            --report.inserted;
                            ++report.rejected;
                        }
                        report.inserted -= loader->abandon();
                        report.aborted_at = number;
                        report.sent_through = through;
                        throw;
                    }
                }
                continue;
            }
            for (const std::string& message : waiting[w].messages) {
                errors.set_context(table, waiting[w].number);
                errors.handle(tk_exception(message, 0), false);
            }
            ++w;
        }
        waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(w));
    };
    source.first();
    try {
        while (!source.is_eof()) {
            const uint32_t number = progress.record() + 1;
            TK_TRACE("Converting %d record", static_cast<int>(number));
            if (number <= first) {
                // Committed by an earlier run.
                source.next();
                progress.set_record(number);
                report.records_read = number;
                continue;
            }
            try {
                udb_record* read = nullptr;
                try {
                    read = source.get_item();
                } catch (const tk_exception& e) {
                    throw table_failure(e);
                }
                TK_LOGW(2, u"udb_db_mutator::modify2(%s)", table.c_str());
                udb_record& record = mutator != nullptr ? mutator->modify2(*read) : *read;
                const auto* dbf = dynamic_cast<const dbf_record*>(read);
                if (skip_del && dbf != nullptr && dbf->is_deleted) {
                    ++report.skipped_deleted;
                } else {
                    if (loader != nullptr) {
                        loader->add(record, number);
                    } else {
                        destination.append_record(record);
                    }
                    ++report.inserted;
                    if (dbf != nullptr && (!dbf->unreadable_memos.empty() || !dbf->notes.empty())) {
                        // Values the record carried empty or NULL for a reason the user must hear;
                        // the record itself is loaded.
                        waiting_notes notes{number, {}};
                        for (const size_t field : dbf->unreadable_memos) {
                            notes.messages.push_back(unreadable_memo_message(*dbf, field));
                        }
                        notes.messages.insert(notes.messages.end(), dbf->notes.begin(),
                                              dbf->notes.end());
                        waiting.push_back(std::move(notes));
                    }
                }
            } catch (const tk_exception& e) {
                if (ora_fault_of(e) != ora_fault::none) {
                    report.fault_record = number;
                    throw;
                }
                ++report.rejected;
                try {
                    // What was read before this record is sent and told first.
                    if (loader != nullptr) {
                        loader->flush();
                    }
                    settle();
                    errors.set_context(table, number);
                    errors.handle(e, false);
                } catch (...) {
                    report.records_read = number;
                    progress.set_record(number);
                    throw;
                }
            }
            try {
                settle();
                if (loader != nullptr && stopping()) {
                    loader->flush();  // the stop keeps every record read so far
                    settle();
                }
            } catch (...) {
                report.records_read = number;
                progress.set_record(number);
                throw;
            }
            source.next();
            progress.set_record(number);
            report.records_read = number;
            check_stop();
        }
        if (loader != nullptr) {
            loader->flush();
            settle();
        }
    } catch (const tk_exception& e) {
        if (loader != nullptr && ora_fault_of(e) != ora_fault::none) {
            // What was sent and not committed is given up; the report tells what landed.
            if (ora_fault_of(e) == ora_fault::table) {
                loader->roll_back();
            }
            report.committed = std::max(first, loader->committed_through());
            report.inserted = static_cast<uint32_t>(loader->rows_committed());
            report.fault_record = report.committed + 1;
        }
        throw;
    }
}

void brixel_converter::get_all_tables(std::vector<std::u16string>& tables) {
    TK_LOG(2, "brixel_convertor::get_all_tables");
    dbf_database source(src, 1, 0);
    tables = source.get_tables();
}

udb_schema brixel_converter::get_schema(const std::u16string& table) {
    TK_LOGW(2, u"brixel_converter::get_schema(%s)", table.c_str());
    dbf_database source(src, 1, 0);
    TK_ASSERT(source.is_table_exist(table), "brixel_conv.cpp");
    std::unique_ptr<udb_recordset> recordset = source.get_table(table, 1);
    // The recordset's descriptors die with it: the copy owns copies of them.
    udb_schema copy;
    for (const t_ftd* column : recordset->schema) {
        copy.add_owned(std::make_unique<t_ftd>(*column));
    }
    return copy;
}
