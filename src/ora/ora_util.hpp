#pragma once
// The Oracle dialect of the common type model: column type texts for CREATE and ALTER TABLE,
// common vartypes for what the catalogue and describe calls report, SQL literals for values and
// DEFAULT clauses. Pure functions; none of them talks to the server.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "ora/ora_column_value.hpp"
#include "udb/ole_types.hpp"

class t_ftd;
class udb_field;

// Largest declared size that stays an inline column (NVARCHAR2, RAW); above it, large objects.
inline constexpr uint32_t ora_max_inline_length = 2000;

// The column type of a descriptor: "NUMBER(10,2)", "NVARCHAR2(40) ", "CLOB", ...; with b_bare
// only the base name ("NUMBER", "NVARCHAR2"). An unsupported vartype is an internal error.
std::u16string get_ora_native_type(const t_ftd& ftd, bool b_bare);

// The common vartype of NUMBER(precision, scale); a pure fraction (precision == scale) gets one
// more digit of precision for its leading zero.
VARTYPE get_refined_num_type(int& precision, int scale);

// The common vartype of an OCI external datatype code.
VARTYPE sqlt_to_vartype(uint32_t code);

// True for a plain decimal number: sign, digits with at most one point, optional exponent.
bool is_number_text(std::u16string_view text);

// A user-chosen Oracle type with its length, or precision and scale, for display.
std::u16string format_ora_type_name(std::u16string_view name, uint32_t size, int precision,
                                    int scale);

// The SQL literal of a value given as text, for a column of the given vartype. An empty text
// gives '' (NULL to Oracle); a text that is no date gives empty text for a date column; a
// binary text that is not 0x-hexadecimal gives ''.
std::u16string to_oracle_str(std::u16string_view text, VARTYPE vartype);
// The same, appended to `out` (the statement being built); nothing is allocated when `out` has
// room.
void append_oracle_str(std::u16string_view text, VARTYPE vartype, std::u16string& out);

// The SQL literal of a field's value; a text or binary value that names a GUID becomes
// HEXTORAW with the GUID's bytes in memory order. A null field is an internal error.
std::u16string to_oracle_str(const udb_field* field);
void append_oracle_str(const udb_field* field, std::u16string& out);

// Exact values: the SQL literal of a field's value for a column of the given vartype, with
// nothing guessed. Number texts go unquoted, dates keep their milliseconds (TO_TIMESTAMP when
// there are any), texts are quoted as they are and binary values become hexadecimal. A value the
// column cannot hold raises a level-0 tk_exception. A null field is an internal error.
void append_oracle_str_exact(const udb_field* field, VARTYPE column_vartype, std::u16string& out);

// Exact values: the value a field gives a column of the given vartype (not a large object), as
// append_oracle_str_exact would write it, or false when only that literal says it (a kind or a
// pair of kinds without a shape of its own, a value that fails its record, a date no calendar
// has). NULL for a null field and for empty text into a text column. `scratch` holds the
// characters of a number the field renders.
bool exact_column_value(const udb_field& field, VARTYPE column_vartype, std::u16string& scratch,
                        ora_column_value& out);
// The SQL literal of such a value.
void append_oracle_literal(const ora_column_value& value, std::u16string& out);

// The literal of a column's DEFAULT clause, or empty text when the column gets no default.
std::u16string make_ora_def_val(const t_ftd* ftd);

// Oracle type names the system supports, with the OCI external datatype code of each.
const std::map<std::u16string, uint32_t>& ora_native_types();
