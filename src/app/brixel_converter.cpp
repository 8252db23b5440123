#include "app/brixel_converter.hpp"

#include <ctime>
#include <memory>
#include <utility>

#include "app/brixel_settings.hpp"
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

// Raised between tables and records once the front end asked the run to stop; it ends the run
// like an Abort.
void check_stop(const brixel_converter& converter) {
    if (converter.stop_requested()) {
        TK_LOG(2, "Stop requested");
        throw tk_final_exception();
    }
}

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
        std::vector<std::u16string> used_names;
        for (size_t i = 0; i < selected_tables.size(); ++i) {
            check_stop(*this);
            t_table_report report{selected_tables[i], {}};
            try {
                convert_table(selected_tables[i], validator, used_names, source, report);
                publish(i, report);
            } catch (const tk_exception& e) {
                // Published before the handler is asked: Abort raises from there.
                report.result = t_table_report::outcome::failed;
                publish(i, report);
                error_handler::instance().set_context(selected_tables[i]);
                error_handler::instance().handle(e, false);
            } catch (const tk_final_exception&) {
                // Abort or a stop request: the table keeps what it reached, and the run ends.
                report.result = t_table_report::outcome::failed;
                publish(i, report);
                throw;
            } catch (const std::exception& e) {
                // A failure that is no error of ours still fails only this table, and is
                // recorded like every other.
                report.result = t_table_report::outcome::failed;
                publish(i, report);
                error_handler::instance().set_context(selected_tables[i]);
                error_handler::instance().handle(
                    tk_exception(std::string("Unexpected failure: ") + e.what(), 0), false);
            }
            ++tables_done;
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

void brixel_converter::convert_table(const std::u16string& table, ora_tn_validator& validator,
                                     std::vector<std::u16string>& used_names, dbf_database& source,
                                     t_table_report& report) {
    set_current_table(table);
    current_record = 0;
    total_records = 0;

    std::unique_ptr<udb_recordset> source_table;
    try {
        source_table = source.get_table(table, 1);
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
    // Every destination name follows the name rules, whether it comes from a file name or a
    // mapping, and no two tables of one run share one: nothing in a name reaches SQL but
    // letters, digits, "_", "$" and "#".
    const bool b_acceptable =
        validator.is_acceptable(name) && !contains_ignoring_case(used_names, name);
    if (!b_acceptable) {
        name = validator.get_safe_name(name);
    }
    report.destination = name;

    if (ora_base->is_table_exist(name)) {
        TK_LOGW(2, u"Table %s already exists", name.c_str());
        if (mode == mode_overwrite) {
            TK_LOG(2, "Overwrite existing table");
            try {
                ora_base->delete_tab(name);
            } catch (const ora_exception& e) {
                if (e.ora_number() == ora_resource_busy) {
                    throw tk_exception(
                        "Cannot delete table because it is busy with another process", 0);
                }
                throw;
            }
        } else if (mode == mode_skip) {
            TK_LOG(2, "Skip existing table");
            report.result = t_table_report::outcome::skipped;
            return;
        } else if (mode == mode_refuse) {
            throw tk_exception("Table " + tk_w2a(name) +
                                   " already exists in the destination and no policy for "
                                   "existing tables was chosen: overwrite, merge or skip",
                               0);
        }
    }

    std::unique_ptr<udb_recordset> destination;
    if (ora_base->is_table_exist(name)) {
        destination = ora_base->get_table(name, 8);
    } else if (skip_idx) {
        destination = ora_base->create_table(name, source_table->schema, udb_indexes());
    } else {
        destination =
            ora_base->create_table(name, source_table->schema, udb_indexes(source_table->indexes));
    }

    if (mode == mode_merge && !bool_dbf && !source_table->schema.conform_to(destination->schema)) {
        throw tk_exception(
            "The structure of data source does not conform to the destination table.", 0);
    }

    if (!b_acceptable) {
        TK_LOGW(2, u"Store generated table name '%s'", name.c_str());
    }
    validator.add_existing_name(name);
    used_names.push_back(name);

    total_records = source_table->records_cnt;
    report.records = source_table->records_cnt;
    TK_LOGW(3, u"Converting table %s (%d records)", table.c_str(),
            static_cast<int>(total_records.load()));
    if (total_records != 0 && !tab_def) {
        convert_records(table, *source_table, *destination, report);
    }
    report.result = t_table_report::outcome::converted;
    // The destination is released before the source, so its pending work completes first.
    destination.reset();
}

void brixel_converter::convert_records(const std::u16string& table, udb_recordset& source,
                                       udb_recordset& destination, t_table_report& report) {
    // Exact lookup once per table; null when the table has no column changes.
    udb_table_mutator* mutator = find_table_mutator(table);
    if (mutator != nullptr && mutator->fields().empty()) {
        mutator = nullptr;
    }
    error_handler& errors = error_handler::instance();
    // An Oracle table is loaded through the chosen load method; the outcome of a record is
    // known once the loader has sent it, so the messages that depend on it wait until then.
    auto* oracle = dynamic_cast<ora_table*>(&destination);
    std::unique_ptr<ora_loader> loader =
        oracle != nullptr ? make_ora_loader(*oracle, load) : nullptr;
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
    while (!source.is_eof()) {
        const uint32_t number = current_record.load(std::memory_order_relaxed) + 1;
        TK_TRACE("Converting %d record", static_cast<int>(number));
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
                current_record = number;
                throw;
            }
        }
        try {
            settle();
            if (loader != nullptr && stop_requested()) {
                loader->flush();  // the stop keeps every record read so far
                settle();
            }
        } catch (...) {
            report.records_read = number;
            current_record = number;
            throw;
        }
        source.next();
        current_record.store(number, std::memory_order_relaxed);
        report.records_read = number;
        check_stop(*this);
    }
    if (loader != nullptr) {
        loader->flush();
        settle();
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
