#pragma once
// Fills the large-object columns of a row just inserted with empty locators: the row is
// selected FOR UPDATE by its ROWID, and each locator gets one write of the record's value.

#include <cstdint>
#include <string>
#include <vector>

#include "udb/ole_types.hpp"

struct OCILobLocator;
struct OCIDefine;
class udb_record;
class udb_field;
class udb_schema;
class t_ftd;

class ora_lob_insert {
  public:
    ora_lob_insert(const std::u16string& table_name, const udb_schema& schema);
    ~ora_lob_insert();
    ora_lob_insert(const ora_lob_insert&) = delete;
    ora_lob_insert& operator=(const ora_lob_insert&) = delete;

    // Whether a column holds large objects. A column whose Oracle type is known is one only when
    // that type is a LOB type (a LONG or a long VARCHAR2 never is); otherwise its kind and size
    // decide.
    static bool is_lob_column(const t_ftd& column);

    bool empty() const noexcept { return columns_.empty(); }
    // Fills the large objects of the row; answers whether anything was written (then the
    // caller commits). A record whose large objects are all empty keeps the empty locators of
    // its INSERT and costs no statement.
    // field_of: for each column of the schema, the index of the record's field that fills it
    // (npos: none); without it the fields are taken in column order.
    bool insert(const std::u16string& rowid, const udb_record& record,
                const std::vector<size_t>* field_of = nullptr);

  private:
    struct lob_column {
        size_t position;
        VARTYPE vartype;
        std::u16string name;
        OCILobLocator* locator = nullptr;
        OCIDefine* define = nullptr;
        int16_t indicator = 0;
    };

    void write_clob(lob_column& column, const udb_field* field);
    void write_blob(lob_column& column, const udb_field* field);
    static bool has_content(const lob_column& column, const udb_field* field);
    static const udb_field* field_for(const lob_column& column, const udb_record& record,
                                      const std::vector<size_t>* field_of);

    const std::u16string& table_name_;
    std::vector<lob_column> columns_;
};
