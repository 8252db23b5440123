#pragma once
// brixel_converter: the process-wide converter. It holds every setting of a conversion (kept in
// the settings store between runs and in profiles), the Oracle connection and the custom type
// mapping, and its call operator is the conversion run: every selected DBF table of the source
// folder copied into the connected Oracle schema, table by table and record by record.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/brixel_job_runner.hpp"
#include "app/oracle_converter_impl.hpp"
#include "ora/ora_db_mutator.hpp"
#include "ora/ora_loader.hpp"
#include "tk/tk_serializer.hpp"
#include "tk/tk_singleton.hpp"
#include "udb/udb_converter.hpp"
#include "udb/udb_schema.hpp"
#include "udb/udb_values.hpp"

class dbf_database;
class run_journal;
class dbf_record;
class ora_tn_validator;
class udb_recordset;

// What happened to one selected table in a run, for the summary of a front end.
struct t_table_report {
    enum class outcome {
        converted,    // every step ran (some records may have been rejected)
        skipped,      // the destination table existed and the policy is Skip
        failed,       // the table step stopped on an error
        not_reached,  // the run ended before this table
    };
    std::u16string table;        // source name
    std::u16string destination;  // destination name, empty when it was never computed
    outcome result = outcome::not_reached;
    uint32_t records = 0;            // records of the source table (its complete ones)
    uint32_t records_announced = 0;  // records its header counts; more when the file is short
    uint32_t records_read = 0;       // records handled, deleted ones included
    uint32_t inserted = 0;           // records the destination accepted
    uint32_t skipped_deleted = 0;    // deleted records left out
    uint32_t rejected = 0;           // records that failed; each one reached the error handler
    uint32_t resumed_after = 0;      // a continued table: the records an earlier run committed
    bool b_done_earlier = false;     // skipped: an earlier run of the journal converted it
    uint32_t committed = 0;          // a table cut short: the records whose outcome is committed
    uint32_t fault_record = 0;       // a table cut short in a record: that record
    // Abort answered for a record the array load had refused: that record, and the last record
    // the load had sent by then (the records between them that the server took are kept).
    uint32_t aborted_at = 0;
    uint32_t sent_through = 0;
};

class brixel_converter : public udb_converter,
                         public oracle_converter_impl,
                         public tk_serializer,
                         public ora_db_mutator,
                         public tk_singleton<brixel_converter> {
  public:
    // Existing-table policies.
    static constexpr int32_t mode_overwrite = 0;
    static constexpr int32_t mode_merge = 1;
    static constexpr int32_t mode_skip = 2;
    // No policy was chosen: an existing table fails with a message naming the choices. Never
    // kept in the settings store, where the three policies live.
    static constexpr int32_t mode_refuse = 3;

    // b_use_store: read the last settings from the settings store now and write them back at the
    // end (the wizard); false starts from the defaults and leaves the store alone unless
    // b_save_settings is set later.
    explicit brixel_converter(bool b_use_store = true);
    // Writes the settings back to the settings store when b_save_settings is set.
    ~brixel_converter() override;

    // The conversion run; called on the worker thread. The connection must be made before.
    void operator()() override;
    bool test_query(const std::u16string& query) override;

    // Reads (b_store false) or writes (b_store true) the settings in the settings store.
    bool serialize(bool b_store);
    // A whole profile file: the generic, Oracle, converter and type-mapping settings.
    bool load_profile(const std::u16string& path);
    bool store_profile(const std::u16string& path);

    // The tables of the source folder, in the folder's order.
    void get_all_tables(std::vector<std::u16string>& tables);
    // A copy of a source table's schema.
    udb_schema get_schema(const std::u16string& table);

    // The reports of the last run, one per selected table in order; read after the run.
    std::vector<t_table_report> reports() const;
    // How often the last run lost its connection and connected again.
    uint32_t reconnected() const noexcept { return reconnected_; }

    // Called once at the start of a run with the period in milliseconds at which the front end
    // should poll the progress fields.
    std::function<void(uint32_t)> start_progress_timer;

    int32_t mode = mode_overwrite;  // existing-table policy
    bool bool_dbf = false;          // logical values as they are
    bool uppercase = true;          // upper-case destination names
    bool skip_del = false;          // leave deleted records out
    int32_t code_page = 0;          // 0: each file's own code page
    bool b_save_settings = true;    // write the settings back to the store at the end
    // Exact for new settings; a profile without the setting replays as classic.
    udb_values values = udb_values::exact;
    // How records reach Oracle: literal INSERTs one by one, or bound arrays.
    ora_load_settings load;
    // What the run has committed, written as it goes; none: no journal. A table the journal
    // already marks done is skipped, one it marks started is continued after its last
    // committed record, in merge mode.
    std::shared_ptr<run_journal> journal;
    // After a lost connection, how many times the run connects again and goes on from the
    // journal; the first wait in milliseconds, doubled each time. Only a run of one job
    // connects again: further sessions end the run.
    uint32_t reconnect = 0;
    uint32_t reconnect_wait_ms = 2000;
    // Tables converted at once, each on its own Oracle session; 1 converts them one by one.
    uint32_t jobs = 1;
    static constexpr uint32_t max_jobs = 64;

  private:
    // What the table steps of one run share.
    struct t_run_tables {
        dbf_database& source;
        ora_tn_validator& validator;
        std::vector<std::u16string> used_names;  // destination names of this run so far
        // From opening a table's source until its destination name is taken and its destination
        // table exists, one table at a time and in the selection's order: two tables never get
        // one name, and each gets the name it gets when the tables are converted one by one.
        ordered_turns setups;
    };

    // The table at `index` of the selection, inside its own error guard, through `session_db`.
    // True when the connection was lost and made again (`b_may_reconnect`): the table is to be
    // converted again, on the new session, from where the journal says.
    bool convert_one(size_t index, t_run_tables& run, ora_database& session_db,
                     table_progress& progress, bool b_may_reconnect);
    // One table step.
    void convert_table(size_t index, t_run_tables& run, ora_database& session_db,
                       table_progress& progress, t_table_report& report);
    // Loads the records after `first` (an earlier run committed those); the destination held
    // `rows` rows before.
    void convert_records(size_t index, udb_recordset& source, udb_recordset& destination,
                         uint32_t first, uint64_t rows, table_progress& progress,
                         t_table_report& report);
    // The one message of an error that ends the table or the run, and what it costs.
    void report_fault(size_t index, const tk_exception& e, bool b_session,
                      const t_table_report& report);
    // Connects again after a lost connection, waiting longer each time; false when every
    // attempt failed.
    bool reconnect_after_loss(uint32_t& attempts);
    // Raises tk_final_exception once stopping() answers true.
    void check_stop() const;
    // A stop was asked for, or another worker of the run ended it.
    bool stopping() const noexcept {
        return stop_requested() || b_run_stopped_.load(std::memory_order_relaxed);
    }

    void publish(size_t index, const t_table_report& report);
    // Refuses a run in which a mapping sends two selected tables to one destination name.
    void check_mapped_names();

    std::atomic<bool> b_run_stopped_{false};
    uint32_t reconnects_ = 0;   // attempts to connect again in this run
    uint32_t reconnected_ = 0;  // of which succeeded
    mutable std::mutex reports_mutex_;
    std::vector<t_table_report> reports_;
};
