#pragma once
// The rows of one SELECT, read forward: the select list is described once, every column gets
// its output buffer, and each fetch fills them for the next record.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ora/ora_engine.hpp"
#include "ora/ora_record.hpp"
#include "ora/ora_type.hpp"
#include "udb/udb_recordset.hpp"

struct OCIParam;

class ora_query_results : public udb_recordset {
  public:
    // A result set named `name`; `query_text` is kept as the recordset's query (empty for a
    // table, whose select is built when it is opened).
    ora_query_results(std::u16string result_name, std::u16string query_text,
                      uint32_t open_mode = 0);
    ~ora_query_results() override;

    // Describes `select` (all of its columns when `column_count` is 0), defines the outputs and
    // opens the cursor.
    void initialize(uint32_t column_count, const std::u16string& select);

    // Plain result sets take no rows.
    void append_record(udb_record& record) override;
    udb_record* get_item() override;
    bool is_eof() override;

    // The column object for each result column, in select order.
    const std::vector<std::unique_ptr<ora_type>>& columns() const noexcept { return columns_; }
    bool is_initialized() const noexcept { return stmt_ != nullptr; }

    static std::unique_ptr<ora_type> gen_co_by_type(uint16_t type_code, OCIParam* param);

  protected:
    // One row fetched into the column buffers; false at the end.
    bool fetch();

    uint32_t open_mode_ = 0;
    bool b_fetched_ = false;  // a fetched row waits for get_item
    bool b_end_ = false;      // the cursor reached its end

  private:
    std::unique_ptr<ora_stmt> stmt_;
    std::vector<std::unique_ptr<ora_type>> columns_;
    std::unique_ptr<ora_record> record_;
};
