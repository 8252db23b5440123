#pragma once
// udb_table_mutator: the custom mapping of one source table: its destination name and the
// mappings of its columns, applied to the table's schema, its index list and every record.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "udb/udb_field_mutator.hpp"
#include "udb/udb_properties.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_schema.hpp"

class udb_indexes;

class udb_table_mutator : public udb_properties {
  public:
    // The common type code that values of a column mapped to an Oracle type are converted to:
    // looks up the type's base name ("NUMBER" for "NUMBER(10,2)") in the destination's type
    // table; false when the table does not know it.
    using type_code_lookup = bool (*)(std::u16string_view base_name, VARTYPE& code);

    using field_map = std::map<std::u16string, std::unique_ptr<udb_field_mutator>, std::less<>>;
    using field_index = std::map<std::u16string, udb_field_mutator*, std::less<>>;

    udb_table_mutator(std::u16string destination_name, type_code_lookup lookup);
    ~udb_table_mutator() override;
    udb_table_mutator(const udb_table_mutator&) = delete;
    udb_table_mutator& operator=(const udb_table_mutator&) = delete;

    // Drops deleted columns from the schema and applies the changed ones; answers new_name.
    virtual std::u16string modify1(udb_schema& schema);
    // The record to write: the input itself when no column is mapped, otherwise the output
    // record (owned here, overwritten by the next call) without deleted fields and with mapped
    // fields renamed and converted.
    virtual udb_record& modify2(udb_record& record);
    // Removes deleted columns from the indexes and renames mapped ones; an index left without
    // columns is removed.
    void modify3(udb_indexes& indexes);

    // Creates or updates the mapping of source column old_name, now named new_name.
    void update_field(const std::u16string& old_name, const std::u16string& new_name,
                      const t_field_description& description);

    // The mapping of a source column, or null.
    udb_field_mutator* find_field(std::u16string_view source_name) const;
    const field_map& fields() const noexcept { return by_source_; }
    const field_index& fields_by_destination() const noexcept { return by_destination_; }

    // The common type code of a column mapped to this type text, scale and precision.
    VARTYPE mapped_vartype(std::u16string_view type_text, int32_t scale, int32_t precision) const;

    std::u16string new_name;
    // How mapped values are converted; the run sets it from its own setting.
    udb_values values = udb_values::classic;

  private:
    field_map by_source_;
    field_index by_destination_;
    udb_record output_;
    udb_schema output_schema_;
    type_code_lookup lookup_;
    // Per position of the last input record, the mapping of its field (null when unmapped); the
    // names are compared once per record instead of looked up.
    std::vector<std::u16string> cached_names_;
    std::vector<const udb_field_mutator*> cached_mutators_;
};
