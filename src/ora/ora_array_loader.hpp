#pragma once
// The array load of one table. Under exact values each field gives the value the row load would
// write (the same rules, the same NOT NULL relaxation) as it stands: a text, a number in Oracle's
// own form, a date and time as a timestamp, a large object with or without content, NULL.
// Otherwise, and for what only a literal says, the row load's literal is taken apart into the value
// it carries and the SQL around it (a quoted text, a number, a date with its format, a GUID's
// hexadecimal digits). Rows whose columns have the same shapes go out together through one prepared
// INSERT whose values are bind variables: column arrays of the kept rows with indicator and length
// arrays, one execute per batch. A row with a literal of any other shape is sent by the row load
// itself.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ora/ora_column_value.hpp"
#include "ora/ora_engine.hpp"
#include "ora/ora_loader.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_varnum.hpp"

class ora_array_loader : public ora_loader {
  public:
    ora_array_loader(ora_table& table, const ora_load_settings& settings);
    ~ora_array_loader() override;

    void add(udb_record& record, uint32_t number) override;
    void flush() override;
    uint32_t abandon() override;

  private:
    // The value of one column in one kept row; its buffers are reused from batch to batch.
    struct cell {
        std::u16string text;  // text, number, date and hexadecimal values, CLOB data
        std::string bytes;    // BLOB data
        ora_varnum number{};  // a number in Oracle's form
        t_systemtime date;    // a date or timestamp
        bool b_null = false;
    };
    struct row {
        uint32_t number = 0;
        std::vector<cell> cells;  // per column of the table
        std::u16string shape;     // its own shape, for a resend on its own
    };
    // A bound column of a statement and the shape it was prepared for.
    struct bound_column {
        size_t column;
        char16_t kind;
    };
    struct statement {
        ora_stmt stmt;
        std::vector<bound_column> columns;  // in bind position order
        bool b_returning = false;           // ends with RETURNING ROWID INTO (large objects)
    };
    // The values of one bound column for one execute: `stride` bytes per row.
    struct column_array {
        std::vector<char> data;
        std::vector<int16_t> indicators;
        std::vector<uint16_t> lengths;
        size_t stride = 0;
        std::vector<OCIDateTime*> stamps;  // timestamp descriptors, one per row, kept
    };

    // The shape of the literal, or 0 when it has none this load knows; the value goes into
    // `value`.
    char16_t shape_of(const std::u16string& literal, const udb_record& record, size_t field,
                      cell& value);
    // The shape a column's value is bound with; the value goes into `value`.
    char16_t bound_value(const ora_column_value& given, const udb_record& record, size_t field,
                         cell& value);
    // A large object's shape: with the content of the record's field, or empty.
    static char16_t object_shape(bool b_clob, const udb_record& record, size_t field, cell& value);
    statement& prepared(const std::u16string& shape);
    void send();
    // Executes kept rows [first, first + count) with the shape; their refusals go to the list
    // and their number is answered. Raises when the execute fails as a whole.
    size_t execute(const std::u16string& shape, size_t first, size_t count);
    // Fills the column arrays of the statement from kept rows [first, first + count) and binds
    // them.
    void bind_arrays(statement& prepared_statement, size_t first, size_t count);
    // The values of a column in Oracle's number form, or in timestamp descriptors.
    void bind_numbers(column_array& array, size_t column, size_t first, size_t count);
    void bind_timestamps(column_array& array, size_t column, size_t first, size_t count);
    // Large objects kept empty: the rows that bound NULL for them get EMPTY_CLOB()/EMPTY_BLOB(),
    // which the row load writes, through the row ids the INSERT returned.
    void empty_large_objects(const statement& prepared_statement, size_t first, size_t count);
    // Large objects the INSERT wrote empty (the chunk's shape says which) get the content of
    // the rows that have one, through the row ids the INSERT returned.
    void fill_large_objects(size_t first, size_t count);
    void commit();
    static int32_t cbf_rowid_in(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                                void** buffer, uint32_t* length, uint8_t* piece, void** indicator);
    static int32_t cbf_rowid_out(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                                 void** buffer, uint32_t** length, uint8_t* piece, void** indicator,
                                 uint16_t** code);

    ora_table& table_;
    ora_load_settings settings_;
    std::vector<std::u16string> literals_;
    std::vector<size_t> order_;
    std::vector<size_t> current_order_;
    std::vector<row> rows_;
    size_t kept_ = 0;
    std::u16string shape_;       // the shape of the kept rows
    std::u16string row_shape_;   // the shape of the record in hand
    std::u16string own_shape_;   // the same before NULLs took the shapes of their columns
    std::u16string sticky_;      // per column, the last shape a value gave it
    std::vector<cell> scratch_;  // the record in hand, until it joins the kept rows
    std::map<std::u16string, std::unique_ptr<statement>> statements_;
    std::vector<column_array> arrays_;  // per bind position
    std::vector<size_t> widths_;        // per column, the widest value of the rows in hand
    // Row ids the INSERT returns, per iteration (UTF-16, fixed room each).
    std::vector<char16_t> rowids_;
    std::vector<uint32_t> rowid_lengths_;
    std::vector<int16_t> rowid_indicators_;
    std::vector<uint16_t> rowid_codes_;
    std::map<size_t, std::unique_ptr<ora_stmt>> emptiers_;  // per large-object column
    std::map<size_t, std::unique_ptr<ora_stmt>> fillers_;   // per large-object column
    column_array filler_;
    std::u16string chunk_shape_;  // the shape one execute of the kept rows goes out with
    std::vector<char16_t> empty_rowids_;
    std::vector<uint16_t> empty_rowid_lengths_;
    std::vector<uint8_t> failed_;  // per iteration of the last execute: refused
    statement* last_ = nullptr;    // the statement of the last execute
    uint32_t uncommitted_ = 0;
    int16_t rowid_indicator_in_ = 0;
};
