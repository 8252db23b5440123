#pragma once
// udb_schema: a table's columns in order. It is itself the array of descriptor pointers, which
// the engines build and read directly.
//
// Ownership: a schema never releases descriptors pushed as raw pointers (their creator keeps
// them alive at least as long as the schema). Descriptors handed over with add_owned() are owned
// by the schema and shared with its copies: they live until the last schema sharing them is
// destroyed, so a copied schema never dangles.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "udb/t_ftd.hpp"

class udb_schema : public std::vector<t_ftd*> {
  public:
    explicit udb_schema(bool flag = true) : b_flag(flag) {}
    virtual ~udb_schema();
    udb_schema(const udb_schema&) = default;
    udb_schema(udb_schema&&) noexcept = default;
    udb_schema& operator=(const udb_schema&) = default;
    udb_schema& operator=(udb_schema&&) noexcept = default;

    // Appends the descriptor and takes its ownership; returns it.
    t_ftd* add_owned(std::unique_ptr<t_ftd> descriptor);

    // Positions, types and sizes conform column by column (names play no part).
    bool conform_to(const udb_schema& destination) const;

    // Name lookups ignore letter case and return the first match in column order.
    bool find_field(std::u16string_view name) const;
    // The column of that name; an absent name is an internal error.
    t_ftd& get_field(std::u16string_view name);
    const t_ftd& get_field(std::u16string_view name) const;
    // Zero-based position of the first column of that name, or -1.
    int32_t get_field_idx(std::u16string_view name) const;
    // Column i; an index out of range (or a null slot) is an internal error.
    t_ftd& column(size_t i);
    const t_ftd& column(size_t i) const;

    bool b_flag = true;

  private:
    std::shared_ptr<std::vector<std::unique_ptr<t_ftd>>> owned_;
};
