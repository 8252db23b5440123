#pragma once
// The indexes and keys of one table: udb_index is one index (its columns in key order),
// udb_indexes the table's list of them. Index names are compared without regard to case.

#include <string>
#include <vector>

class udb_index {
  public:
    udb_index() = default;
    udb_index(std::u16string index_name, bool unique, bool primary,
              std::vector<std::u16string> columns = {})
        : name(std::move(index_name)),
          b_unique(unique),
          b_primary(primary),
          fields(std::move(columns)) {}

    // The index's leading columns are `columns`, in order (names compared without case).
    bool starts_with_fields(const std::vector<std::u16string>& columns) const;
    // The index is made of exactly `columns`, in any order.
    bool consists_of_fields(const std::vector<std::u16string>& columns) const;

    std::u16string name;
    bool b_unique = false;
    bool b_primary = false;
    std::vector<std::u16string> fields;
};

class udb_indexes : public std::vector<udb_index> {
  public:
    // The first index of that name; an absent name is an internal error.
    udb_index& get_index(const std::u16string& index_name);
    const udb_index& get_index(const std::u16string& index_name) const;
    // Whether the column belongs to an index (only primary keys when b_primary_only); column
    // names are compared exactly.
    bool is_idx_field(const std::u16string& column, bool b_primary_only) const;
    // False when an index of that name exists already.
    bool is_acceptable_name(const std::u16string& index_name) const;
    // Whether the first index that starts with `columns` is unique.
    bool has_index_on_fields(const std::vector<std::u16string>& columns) const;
};
