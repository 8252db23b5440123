#pragma once
// Oracle's rules for the names this program writes: 1 to 30 characters, a letter first, then
// letters, digits, "_", "$" and "#". Thirty characters fit every server release, so a name made
// here is valid whatever release the destination runs. The kinds differ only in which names
// they register as already taken: the columns of one table, the tables and views of the
// schema, or the index and constraint names of the whole run.

#include <cstdint>
#include <string>
#include <vector>

#include "udb/udb_validator.hpp"

class udb_record;
class udb_schema;
class udb_indexes;

class ora_validator : public udb_validator {
  public:
    static constexpr uint32_t max_name_length = 30;

    ora_validator();

    bool is_acceptable(const std::u16string& name) const override;
    // "A" before a name that does not start with a letter, cut to 29 characters when longer
    // than 30, every other character "_", then made unique among the existing names.
    std::u16string get_safe_name(const std::u16string& name) const override;

    // Names handed out so far by this validator (without regard to case): a name given once
    // is not given again, even when two sources bring the same one.
    bool is_given(const std::u16string& name) const;
    void mark_given(const std::u16string& name);

    // The character tests of the rules (national letters count as letters).
    static bool is_name_letter(char32_t c) noexcept;
    static bool is_name_char(char32_t c) noexcept;

  private:
    std::vector<std::u16string> given_names_;
};

// Column names of one table.
class ora_fn_validator : public ora_validator {
  public:
    explicit ora_fn_validator(const udb_schema& schema);
    explicit ora_fn_validator(const udb_record& record);
};

// Table and view names of the schema.
class ora_tn_validator : public ora_validator {
  public:
    ora_tn_validator(const std::vector<std::u16string>& tables,
                     const std::vector<std::u16string>& views);
};

// Index and constraint names; one instance serves a whole run.
class ora_in_validator : public ora_validator {
  public:
    ora_in_validator() = default;
    // Registers every index name of the list as taken.
    void load(const udb_indexes& indexes);
};
