#pragma once
// udb_field_mutator: the custom mapping of one source column (new name, Oracle type text with
// its length, scale and precision, default value, character set, or dropped), applied to the
// column's descriptor when the destination table is built and to its field in every record.

#include <cstdint>
#include <string>

#include "udb/ole_types.hpp"
#include "udb/udb_properties.hpp"
#include "udb/udb_values.hpp"

class t_ftd;
class udb_field;

// A column's mapping as the dialog and the profile hand it over (and as the dialog shows a
// source column: name, type text, type code and size).
struct t_field_description {
    std::u16string name;
    std::u16string type;  // Oracle type text, for example "NUMBER(11,0)"
    std::u16string default_value;
    std::u16string character_set;
    int32_t length = 0;
    int32_t scale = 0;
    int32_t precision = 0;
    VARTYPE vartype = VT_EMPTY;
};

class udb_field_mutator : public udb_properties {
  public:
    static constexpr int32_t status_changed = 1;
    static constexpr int32_t status_deleted = 2;
    // The vartype value that keeps the source column's type.
    static constexpr uint32_t keep_vartype = 1;

    udb_field_mutator() = default;
    ~udb_field_mutator() override;

    // Rebuilt from the members: "new_name", "type", "default_value", "character_set", "length",
    // "scale".
    property_map& get_properties() override;

    // Renames and retypes the destination column's descriptor.
    void modify1(t_ftd& descriptor) const;
    // Renames the record's field and converts its value to the mapped type; a value that cannot
    // follow raises the recoverable "Data conversion is not supported for given type mapping".
    // With exact values a number mapped to a number type travels as its decimal text, digit for
    // digit, and a value the mapped NUMBER(p,s) cannot hold fails its record instead of being
    // rounded.
    void modify2(udb_field& field, udb_values values = udb_values::classic) const;

    std::u16string new_name;
    uint32_t vartype = keep_vartype;
    uint32_t reserved = 0;
    std::u16string type;
    std::u16string default_value;
    std::u16string character_set;
    int32_t length = 0;
    int32_t scale = 0;
    int32_t precision = 0;
    int32_t status = status_changed;

  private:
    // The precision and scale of `type` for exact numbers, and the text they were read from.
    mutable std::u16string bounds_type_;
    mutable int bound_precision_ = 0;
    mutable int bound_scale_ = 0;
    mutable bool b_bounded_ = false;
};
