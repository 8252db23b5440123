#pragma once
// The foreign keys collected for a database: each relationship names the referencing table and
// columns, the referenced table and columns, and its delete rule.

#include <string>
#include <vector>

struct udb_relationship {
    std::u16string name;         // constraint name, the key for lookups
    std::u16string second_name;  // stored by the catalogue reader, used by nothing else
    std::u16string table;        // referencing (child) table
    std::u16string ref_table;    // referenced (parent) table
    std::u16string on_delete;    // "ON DELETE " and the rule, or empty
    std::vector<std::u16string> fields;
    std::vector<std::u16string> ref_fields;
};

class udb_relationships : public std::vector<udb_relationship> {
  public:
    // The relationship of that name (compared without case); absent is an internal error.
    udb_relationship& get_index(const std::u16string& relationship_name);
    const udb_relationship& get_index(const std::u16string& relationship_name) const;
    // False when a relationship of that name exists already.
    bool is_acceptable_name(const std::u16string& relationship_name) const;
    void append(udb_relationship relationship) { push_back(std::move(relationship)); }
};
