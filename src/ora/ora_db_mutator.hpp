#pragma once
// ora_db_mutator: the custom type mapping with Oracle's data files (ora.map, ora.typ), Oracle's
// type names, and the Oracle type a source column gets when the user changes nothing.

#include "udb/udb_db_mutator.hpp"

class ora_db_mutator : public udb_db_mutator {
  public:
    ora_db_mutator();
    // The generic description, with the type text of the column's Oracle default.
    void init_field_description(const t_ftd& column, t_field_description& out) const override;
    // The common type code of an Oracle type name ("NUMBER", "NVARCHAR2", ...).
    static bool type_code(std::u16string_view base_name, VARTYPE& code);
};
