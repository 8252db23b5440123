#pragma once
// udb_profile: the replayable settings of a conversion as a text file. Key sections hold
// key=value lines; list sections hold lines kept as they are (the type mapping). The file is
// UTF-8 without a byte order mark, CR LF line ends, and is written with mode 0600 because it
// holds the Oracle password.

#include <map>
#include <string>
#include <string_view>
#include <vector>

class udb_profile {
  public:
    // Both levels order by plain code-unit comparison (upper case before lower case).
    using key_map = std::map<std::u16string, std::u16string, std::less<>>;
    using section_map = std::map<std::u16string, key_map, std::less<>>;
    using list_map = std::map<std::u16string, std::vector<std::u16string>, std::less<>>;

    // The longest line, line end excluded, that a profile may hold.
    static constexpr size_t max_line_bytes = 4095;

    // Starts with the empty key sections "Available Queries", "Selected Tables" and
    // "Generic settings", so every saved profile holds them.
    udb_profile();

    // Adds the file's sections to this profile. A path that cannot be opened raises the fatal
    // "Profile does not exist..." error; a line over 4095 bytes is an internal error; a line that
    // is not UTF-8 raises "Cannot convert to UNICODE string: ...". Answers false when a key or
    // list line comes before the first section header (reading stops there).
    bool load(const std::u16string& path);
    // Writes every section (replacing the file through a temporary file and a rename). Answers
    // false, leaving the file as it was, when the file cannot be written or when a line would
    // not load back as written (a line break in a text, a line over 4095 bytes, "=" in a key or
    // in a list line, blanks at the ends of a key or the end of a value, a line that reads as a
    // section header). A text that is not valid UTF-16 raises "Cannot convert to UTF8 string: ...".
    bool store(const std::u16string& path) const;

    // A key already in the section keeps its value (the first value set wins).
    void set_value(std::u16string_view section, std::u16string_view key, std::u16string_view value);
    // The value, or empty text when the section or key is absent.
    std::u16string get_value(std::u16string_view section, std::u16string_view key) const;
    // The section's keys; an absent section answers an empty map.
    const key_map& get_section(std::u16string_view name) const;
    // Appends a line to a list section (created on first use).
    void add_line(std::u16string_view section, std::u16string_view line);
    // A list section's lines; an absent section answers an empty list.
    const std::vector<std::u16string>& get_lines(std::u16string_view name) const;

    const section_map& sections() const noexcept { return sections_; }
    const list_map& list_sections() const noexcept { return lists_; }

  private:
    section_map sections_;
    list_map lists_;
};
