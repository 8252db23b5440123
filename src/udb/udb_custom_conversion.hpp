#pragma once
// Conversion rules override, for the columns and values they recognise, the destination column
// type and the SQL literal that the destination would otherwise choose. The rules of one run
// live in the process-wide registry udb_custom_conversion, in the order they were added.

#include <memory>
#include <string>
#include <vector>

#include "tk/tk_singleton.hpp"

class ole_variant;
class t_ftd;

class udb_conversion_rule {
  public:
    virtual ~udb_conversion_rule() = default;
    // The rule handles this value.
    virtual bool is_acceptable2(const ole_variant& value) const = 0;
    // The rule handles this column.
    virtual bool is_acceptable1(const t_ftd& column) const = 0;
    // The SQL literal to write for the value.
    virtual std::u16string handle2(const ole_variant& value) const = 0;
    // The column type text to create.
    virtual std::u16string handle1(const t_ftd& column) const = 0;
};

class udb_custom_conversion : public tk_singleton<udb_custom_conversion> {
  public:
    udb_custom_conversion() = default;
    ~udb_custom_conversion() override;

    void add_rule(std::unique_ptr<udb_conversion_rule> rule);

    // Registry questions: they answer false or an empty text when no registry exists (outside a
    // run) or no rule applies.
    static bool is_acceptable1(const t_ftd& column);
    static bool is_acceptable2(const ole_variant& value);
    static std::u16string handle1(const t_ftd& column);
    // Only for a value some rule accepts; anything else is an internal error.
    static std::u16string handle2(const ole_variant& value);

  private:
    std::vector<std::unique_ptr<udb_conversion_rule>> rules_;
};
