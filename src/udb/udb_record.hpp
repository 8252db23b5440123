#pragma once
// udb_record: one row, its fields in column order. The record owns its fields: clear() and the
// destructor destroy every field. Use clear() (not the vector's own erase/resize) to drop
// fields; field i corresponds to column i of the producing recordset's schema.

#include <cstddef>
#include <memory>
#include <vector>

#include "udb/udb_field.hpp"

class udb_record : public std::vector<udb_field*> {
  public:
    udb_record() = default;
    udb_record(const udb_record&) = delete;
    udb_record& operator=(const udb_record&) = delete;
    udb_record(udb_record&& other) noexcept;
    udb_record& operator=(udb_record&& other) noexcept;
    virtual ~udb_record();

    // Destroys every field, nulls each slot, then empties the array.
    void clear();
    // Appends the field and takes its ownership; returns it.
    udb_field* add(std::unique_ptr<udb_field> field);
    // Field i; an index out of range (or a null slot) is an internal error.
    udb_field& field(size_t i);
    const udb_field& field(size_t i) const;
};
