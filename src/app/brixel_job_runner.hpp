#pragma once
// The tables of one run converted on several worker threads at once, each with its own Oracle
// session. A table is handed to one worker and stays on its session from its first statement to
// its last; the workers take the tables in the order of the selection, so at most one table per
// worker is open at a time.
//
// The front ends poll one set of progress fields. They show the first table of the selection
// that is not finished yet, and the tables done are those before it: a count that only grows
// and never names a table as done before it is.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class brixel_converter;
class ora_database;
class udb_converter;

// Where one table step tells how far it got. While the table is the one shown, every change
// reaches the converter's progress fields too.
class table_progress {
  public:
    table_progress(udb_converter& converter, bool b_shown) noexcept
        : converter_(converter), b_shown_(b_shown) {}
    table_progress(const table_progress&) = delete;
    table_progress& operator=(const table_progress&) = delete;

    // A table begins: its name, and no record read and none known yet.
    void start(const std::u16string& table);
    void set_total(uint32_t records) noexcept;
    void set_record(uint32_t number) noexcept;
    uint32_t record() const noexcept { return current_.load(std::memory_order_relaxed); }

    // Makes this table, named `table`, the one the front ends show, or no longer.
    void show(const std::u16string& table);
    void hide() noexcept { b_shown_.store(false, std::memory_order_relaxed); }

  private:
    udb_converter& converter_;
    std::atomic<bool> b_shown_;
    std::atomic<uint32_t> current_{0};
    std::atomic<uint32_t> total_{0};
};

// Sections of work run one at a time and in the order of their numbers: the section numbered n
// begins once those numbered 0 to n - 1 have ended. Every number from 0 up must be used; one used
// again after its turn ended (a table converted again after a lost connection) does not wait.
class ordered_turns {
  public:
    class turn {
      public:
        // Waits for the turn of `number`.
        turn(ordered_turns& turns, size_t number);
        // Ends the turn when end() did not.
        ~turn() { end(); }
        turn(const turn&) = delete;
        turn& operator=(const turn&) = delete;
        void end();

      private:
        ordered_turns& turns_;
        bool b_ended_ = false;
    };

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;
};

class brixel_job_runner {
  public:
    // One table step: the table at `index` of the selection, converted through `database`, the
    // calling thread's session.
    using table_step =
        std::function<void(size_t index, ora_database& database, table_progress& progress)>;

    // jobs: the number of sessions, the converter's own included. `stop` is set once a worker
    // ended the run (Abort, an error that ends the run, a stop request); the table steps read it.
    brixel_job_runner(brixel_converter& converter, uint32_t jobs, std::atomic<bool>& stop);
    brixel_job_runner(const brixel_job_runner&) = delete;
    brixel_job_runner& operator=(const brixel_job_runner&) = delete;

    // Converts every selected table: the calling thread on the converter's session, the other
    // workers on sessions of their own, opened with the same connection settings. A session that
    // cannot be opened leaves its tables to the others. Returns once every worker has ended;
    // raises tk_final_exception when the run was stopped, and passes on anything else a table
    // step let through.
    void run(const table_step& step);

  private:
    void work(ora_database& database, const table_step& step);
    void work_on_own_session(const table_step& step);
    bool take(size_t& index, table_progress& progress);
    void finish(size_t index, table_progress& progress);
    void end_run(std::exception_ptr failure, const table_progress* progress);

    brixel_converter& converter_;
    uint32_t jobs_;
    std::atomic<bool>& stop_;
    std::u16string data_source_;
    std::u16string user_;
    std::u16string password_;

    std::mutex mutex_;
    size_t next_ = 0;  // the next table to hand out
    size_t lead_ = 0;  // the first table not finished: the one shown
    std::vector<bool> finished_;
    std::vector<table_progress*> owners_;  // the progress of the worker on each table
    std::exception_ptr failure_;           // the first failure a worker could not handle
};
