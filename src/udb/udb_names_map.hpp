#pragma once
// Which destination names the source tables and columns of one conversion were given.

#include <map>
#include <string>

class t_names_map : public std::map<std::u16string, std::u16string> {
  public:
    // An existing source keeps its first destination.
    void add(const std::u16string& source, const std::u16string& destination);
    // The destination name of `name`, or `name` itself when it has none.
    std::u16string get_mapped_name(const std::u16string& name, bool b_case_sensitive) const;
};

class udb_names_map {
  public:
    void add_tn_mapping(const std::u16string& source_table, const std::u16string& dest_table);
    void add_fn_map(const std::u16string& dest_table, const t_names_map& columns);

    std::u16string get_tn_mapped_name(const std::u16string& table, bool b_case_sensitive) const;
    std::u16string get_fn_mapped_name(const std::u16string& table, const std::u16string& column,
                                      bool b_case_sensitive) const;

    const t_names_map& table_names() const noexcept { return tables_; }

  private:
    t_names_map tables_;
    std::map<std::u16string, t_names_map> columns_;
};
