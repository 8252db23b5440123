#pragma once
// tk_yaml_config: the reader of the small data files that list, under a key line "name:", the
// values of that key, one per line after "-". Used for the Oracle types the type-mapping dialog
// offers and the parameters each type takes.

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class tk_yaml_config : public std::map<std::u16string, std::vector<std::u16string>, std::less<>> {
  public:
    using exclusion_set = std::set<std::u16string, std::less<>>;

    // Adds the file's keys and values; values in `exclusions` are left out. Answers false when
    // the file cannot be opened. A line that is not UTF-8 raises
    // "Cannot convert to UNICODE string: ...". A key line creates its key even when no value
    // follows, so an empty list is told apart from an unknown key.
    bool load(const std::string& file_name, const exclusion_set& exclusions);

    // The values stored under the key; an unknown key answers an empty list.
    const std::vector<std::u16string>& get(std::u16string_view key) const;
};

// The path of a data file installed beside the program: the program's folder and the name
// (an absolute name is answered as it is).
std::string tk_data_file_path(std::string_view file_name);
