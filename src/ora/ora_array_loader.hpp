#pragma once
// The array load of one table. Each record's values are first written as the row load's
// literals (the same rules, the same NOT NULL relaxation), then each literal is taken apart into
// the value it carries and the SQL around it: a quoted text, a number, a date with its format, a
// GUID's hexadecimal digits, an empty or filled large object, NULL. Rows whose columns have the
// same shapes go out together through one prepared INSERT whose values are bind variables fed
// from the kept rows; a row with a literal of any other shape is sent by the row load itself.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ora/ora_engine.hpp"
#include "ora/ora_loader.hpp"
#include "ora/ora_oci.hpp"

class ora_array_loader : public ora_loader {
  public:
    ora_array_loader(ora_table& table, const ora_load_settings& settings);
    ~ora_array_loader() override;

    void add(udb_record& record, uint32_t number) override;
    void flush() override;

  private:
    // The value of one column in one kept row; its buffers are reused from batch to batch.
    struct cell {
        std::u16string text;  // text, number, date and hexadecimal values, CLOB data
        std::string bytes;    // BLOB data
        bool b_null = false;
    };
    struct row {
        uint32_t number = 0;
        std::vector<cell> cells;  // per column of the table
        std::u16string shape;     // its own shape, for a resend on its own
    };
    struct bind_context {
        ora_array_loader* loader;
        size_t column;
        bool b_bytes;
    };
    struct statement {
        ora_stmt stmt;
        std::vector<std::unique_ptr<bind_context>> contexts;
    };

    // The shape of the literal, or empty text when it has none this load knows; the value goes
    // into `value`.
    std::u16string shape_of(size_t column, const std::u16string& literal, const udb_record& record,
                            size_t field, cell& value);
    statement& prepared(const std::u16string& shape);
    void send();
    // Executes kept rows [first, first + count) with the shape; their refusals go to the list
    // and their number is answered. Raises when the execute fails as a whole.
    size_t execute(const std::u16string& shape, size_t first, size_t count);
    void commit();
    static int32_t cbf_in(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                          void** buffer, uint32_t* length, uint8_t* piece, void** indicator);

    ora_table& table_;
    ora_load_settings settings_;
    std::vector<std::u16string> literals_;
    std::vector<size_t> order_;
    std::vector<size_t> current_order_;
    std::vector<row> rows_;
    size_t kept_ = 0;
    size_t first_ = 0;           // the kept row the execute's first iteration reads
    std::u16string shape_;       // the shape of the kept rows
    std::u16string row_shape_;   // the shape of the record in hand
    std::u16string own_shape_;   // the same before NULLs took the shapes of their columns
    std::u16string sticky_;      // per column, the last shape a value gave it
    std::vector<cell> scratch_;  // the record in hand, until it joins the kept rows
    std::map<std::u16string, std::unique_ptr<statement>> statements_;
    uint32_t uncommitted_ = 0;
    int16_t null_indicator_ = -1;
    int16_t value_indicator_ = 0;
};
