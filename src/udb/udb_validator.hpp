#pragma once
// Decides whether a name is acceptable to an engine (length, reserved words, illegal
// characters), whether it is already taken, and makes a safe, unique name when it is not.
// Engine-specific validators fill the lists and may replace the rules.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class udb_validator {
  public:
    explicit udb_validator(uint32_t max_len);
    virtual ~udb_validator() = default;

    virtual bool is_acceptable(const std::u16string& name) const;
    virtual bool is_duplicated(const std::u16string& name) const;
    // A name that is acceptable and not taken: cut, cleaned of illegal characters and, when
    // still refused, numbered with five digits. Does not record the answer.
    virtual std::u16string get_safe_name(const std::u16string& name) const;

    void add_existing_name(const std::u16string& name);
    // Records a source name and the name generated for it.
    void add_mapped_pair(const std::u16string& source, const std::u16string& generated);

    uint32_t max_len;
    std::map<std::u16string, std::u16string> mapped_names;
    std::u16string illegal_chars;
    std::vector<std::u16string> restricted_names;
    std::vector<std::u16string> existing_names;
};
