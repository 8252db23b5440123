#pragma once
// The run journal: what a conversion run has committed, table by table, written as it goes so
// that a run cut short (a lost connection, a killed process, a full tablespace) can be finished
// later without loading any record twice.
//
// The file is text, one entry a line, appended with one write per line and never rewritten, so
// a process killed at any moment leaves every complete line readable:
//
//   brixel-journal 1
//   source <folder>
//   policy <existing-table policy of the run>
//   table <i> <source table>            one per selected table, in the run's order
//   run                                 a run, or a resumed one, starts
//   start <i> <destination> <policy> <through> <rows>
//   commit <i> <through> <rows>         written before each commit
//   end <i> converted|skipped
//   finished
//
// Fields are separated by tabs; texts escape "\", tab, CR, LF and other control bytes. A commit
// line says: once this commit lands, the outcome of every source record up to `through` is
// committed (inserted, refused or left out as deleted) and the destination holds `rows` rows.
// Whether the last one landed is read from the destination's row count afterwards.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tk/tk_exception.hpp"

// A journal that cannot be read as one: damaged, cut, or not a journal at all.
class run_journal_error : public tk_exception {
  public:
    explicit run_journal_error(std::string text) : tk_exception(std::move(text), 1) {}
};

// A point a table's load can go on from.
struct journal_point {
    uint32_t through = 0;  // records settled
    uint64_t rows = 0;     // destination rows once the point's commit landed
};

struct journal_table {
    std::u16string name;                // source table
    std::u16string destination;         // empty until the table started
    int32_t policy = 0;                 // the existing-table policy it started with
    bool b_done = false;                // converted or skipped: nothing left to do
    std::vector<journal_point> points;  // from its last start on; the first is the start
};

// Where a table's load goes on, from its journal entries and its destination's row count.
struct resume_step {
    enum class kind { as_planned, done, continue_after, conflict };
    kind what = kind::as_planned;
    uint32_t after = 0;   // continue_after: the last record whose outcome is committed
    std::string message;  // conflict: why the table cannot be continued
};

struct run_journal_state {
    std::u16string source;
    int32_t policy = 0;  // the run's existing-table policy
    std::vector<journal_table> tables;
    bool b_finished = false;
    uint64_t complete_bytes = 0;  // the length of the file up to its last whole line

    // A table was started and is not done, or the run did not end.
    bool unfinished() const;
    // The index of a source table, when the journal lists it.
    std::optional<size_t> find(const std::u16string& table) const;
    // A table that started is continued after the last point whose row count the destination
    // holds (rows only grow, and a point is written before its commit, so that point is the
    // last one that landed); a count no point has means the table was changed by someone else.
    resume_step decide(size_t index, uint64_t destination_rows) const;

    // Reads a journal; raises run_journal_error naming the file and line when it is damaged.
    static run_journal_state read(const std::string& path);
};

class run_journal {
  public:
    // Opens the journal for appending (created with mode 0600 when new); raises
    // run_journal_error when it cannot. A journal that exists is read first and continued.
    explicit run_journal(std::string path);
    ~run_journal();
    run_journal(const run_journal&) = delete;
    run_journal& operator=(const run_journal&) = delete;

    const std::string& path() const noexcept { return path_; }
    // What the journal holds so far (what was read, and what this run wrote).
    run_journal_state state() const;

    // The run's plan, written when the journal is new; a continued journal only marks the run.
    void begin(const std::u16string& source, int32_t policy,
               const std::vector<std::u16string>& tables);
    void started(size_t index, const std::u16string& destination, int32_t policy,
                 journal_point from);
    void committing(size_t index, journal_point point);
    void ended(size_t index, bool b_skipped);
    void finished();

  private:
    void write_line(const std::string& line);

    std::string path_;
    int fd_ = -1;
    mutable std::mutex mutex_;
    run_journal_state state_;
};

// The default place of a run's journal: beside the errors file when there is one, else in
// $XDG_STATE_HOME/brixel, else ~/.local/state/brixel, named after the time the run started.
std::string default_journal_path(const std::optional<std::string>& errors_file);
// The journal folder when there is no errors file.
std::string journal_state_folder();
