#pragma once
// udb_db_mutator: the whole custom type mapping, one table mutator per source table, with the
// two data files that list the Oracle types offered for a column's type and the parameters each
// Oracle type takes, and the "Type Mappings" section of a profile.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tk/tk_yaml_config.hpp"
#include "udb/udb_properties.hpp"
#include "udb/udb_table_mutator.hpp"

class t_ftd;
class udb_indexes;
class udb_profile;
class udb_schema;

class udb_db_mutator : public udb_properties {
  public:
    using table_map = std::map<std::u16string, std::unique_ptr<udb_table_mutator>, std::less<>>;
    using table_index = std::map<std::u16string, udb_table_mutator*, std::less<>>;

    // The data files are found by tk_data_file_path (beside the program unless absolute).
    udb_db_mutator(std::string map_file, std::string types_file,
                   udb_table_mutator::type_code_lookup lookup);
    ~udb_db_mutator() override;
    udb_db_mutator(const udb_db_mutator&) = delete;
    udb_db_mutator& operator=(const udb_db_mutator&) = delete;

    // Copies a source column's name, type text, type code and size (and, for VT_DECIMAL, its
    // scale and precision) into a description; a destination refines the type text.
    virtual void init_field_description(const t_ftd& column, t_field_description& out) const;
    // Values left out when reading the type list file.
    virtual const tk_yaml_config::exclusion_set& map_exclusions() const;

    // Applies the table's mapping to its schema and index list and answers the destination
    // name; a table without a mapping keeps its name and is not changed.
    std::u16string modify1(const std::u16string& table, udb_schema& schema, udb_indexes& indexes);
    // The mapping of a source table, or null.
    udb_table_mutator* find_table_mutator(std::u16string_view table) const;
    // The mapping of a source table, created when missing; its destination name becomes
    // new_name.
    udb_table_mutator& get_table_mutator(const std::u16string& table,
                                         const std::u16string& new_name);
    // The Oracle types offered for a column of this type text (the list stored under the text,
    // or, for a sized text such as "NVARCHAR2(40)", under its bare name). Raises the fatal
    // "Cannot find ora.map. ..." when the file cannot be read.
    const std::vector<std::u16string>& get_mapped_types(std::u16string_view type_text) const;
    // The parameter kinds ("LENGTH", "SCALE", "PRECISION") of an Oracle type.
    const std::vector<std::u16string>& get_type_params(std::u16string_view type_name) const;
    // Removes every table mapping.
    void clear();

    const table_map& tables() const noexcept { return by_source_; }
    const table_index& tables_by_destination() const noexcept { return by_destination_; }

    // Writes the mapping as the "Type Mappings" list section of the profile. Answers false, and
    // writes nothing, when a name or value would not read back as it is (blanks at its ends, a
    // property name that is empty or holds ":").
    bool store_profile(udb_profile& profile);
    // Replaces the mapping with the profile's "Type Mappings" section. Answers false, with the
    // mapping left empty, when a line cannot be read (a number that is not one, a field line
    // outside a table).
    bool load_profile(const udb_profile& profile);

  private:
    const tk_yaml_config& data_file(const std::string& name,
                                    const tk_yaml_config::exclusion_set& exclusions,
                                    const char* first_load_line = nullptr) const;

    std::string map_file_;
    std::string types_file_;
    udb_table_mutator::type_code_lookup lookup_;
    table_map by_source_;
    table_index by_destination_;
};
