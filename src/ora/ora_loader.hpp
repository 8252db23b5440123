#pragma once
// How a table's records reach the server. `row` sends one INSERT with the values written as
// literals per record and commits it; `array` sends the same values through one prepared INSERT
// with bind variables, many rows per execute, and commits every so many rows. Both store the
// same values and refuse the same records with the same server text.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ora_table;
class udb_record;

enum class ora_load_method { row, array };

struct ora_load_settings {
    ora_load_method method = ora_load_method::array;
    uint32_t batch_rows = 1000;    // rows per execute (array)
    uint32_t commit_rows = 10000;  // rows per commit (array); 0: at the end of the table
};

// A record the server refused, with the number the caller gave it.
struct ora_rejected_row {
    uint32_t number;
    std::exception_ptr error;  // what the row load would have raised for it
};

class ora_loader {
  public:
    virtual ~ora_loader() = default;

    // Loads the record, or keeps a copy of its values for the next execute. Raises, after
    // sending what was kept, when this record cannot be sent at all (its values do not match
    // the columns, a value the column cannot hold, or the server refused it on its own).
    virtual void add(udb_record& record, uint32_t number) = 0;
    // Sends what is kept and commits.
    virtual void flush() = 0;
    // The run ends here (Abort): commits what was sent, drops what is kept unsent; answers the
    // number of records dropped.
    virtual uint32_t abandon() = 0;

    // The records refused since the last call, in record order.
    std::vector<ora_rejected_row> take_rejected() { return std::move(rejected_); }
    // Every record up to this number has been sent (or refused).
    uint32_t settled_through() const noexcept { return settled_through_; }

    // Told before each commit: once it lands, the outcome of every record up to `through` is
    // committed and the table holds `rows` rows from this loader. A commit that fails or is
    // cut short leaves the table as after the previous one.
    std::function<void(uint32_t through, uint64_t rows)> before_commit;
    // The last record whose outcome is committed, and the rows this loader committed.
    uint32_t committed_through() const noexcept { return committed_through_; }
    uint64_t rows_committed() const noexcept { return rows_committed_; }
    // Gives up what was sent and not committed (after an error that ends the table).
    void roll_back();

  protected:
    void committing(uint32_t through, uint64_t rows) {
        if (before_commit) {
            before_commit(through, rows);
        }
    }
    void committed(uint32_t through, uint64_t rows) noexcept {
        committed_through_ = through;
        rows_committed_ = rows;
    }

    std::vector<ora_rejected_row> rejected_;
    uint32_t settled_through_ = 0;
    uint64_t rows_sent_ = 0;  // rows the server stored, committed or not

  private:
    uint32_t committed_through_ = 0;
    uint64_t rows_committed_ = 0;
};

std::unique_ptr<ora_loader> make_ora_loader(ora_table& table, const ora_load_settings& settings);
