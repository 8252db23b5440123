#pragma once
// t_ftd: one column's type descriptor as both engines describe their columns, with the equality
// and conformance rules used before pouring a source table into an existing destination table.

#include <cstdint>
#include <string>

#include "udb/ole_types.hpp"
#include "udb/ole_variant.hpp"

class t_ftd {
  public:
    t_ftd() = default;
    t_ftd(uint32_t size, std::u16string name, VARTYPE vartype, bool b_not_null,
          bool b_auto_increment, ole_variant default_value, uint32_t reserved,
          std::u16string native_type);

    // DECIMAL and CY are equal to each other; equal kinds are equal except text, which also
    // needs equal sizes.
    bool operator==(const t_ftd& other) const;
    // Whether values of this (source) column may be stored into the destination column.
    bool conform_to(const t_ftd& destination) const;

    // The copy a destination builder starts from: a column the engine fills automatically
    // (b_auto_increment) never rejects nulls in the copy.
    t_ftd copy_for_destination() const;

    // The thirteen numeric kinds (VT_INT, VT_UINT and VT_DATE are not among them).
    static bool is_numeric_type(VARTYPE type) noexcept;
    static bool is_text_type(VARTYPE type) noexcept;
    static bool is_binary_type(VARTYPE type) noexcept;
    bool is_numeric() const noexcept { return is_numeric_type(vartype); }
    bool is_text() const noexcept { return is_text_type(vartype); }
    bool is_binary() const noexcept { return is_binary_type(vartype); }

    uint32_t size = 0;  // declared length; 0 = no limit or not known
    std::u16string name;
    VARTYPE vartype = VT_EMPTY;
    std::u16string native_type;  // destination column type chosen by a type mapping
    bool b_auto_increment = false;
    bool b_not_null = false;
    ole_variant default_value;  // VT_EMPTY: no default
    // VT_DATE: 1 date with time, 2 date only; VT_DECIMAL: precision * 256 + scale;
    // unlimited VT_BSTR: 10 selects LONG instead of CLOB; 0 elsewhere.
    uint32_t reserved = 0;
};
