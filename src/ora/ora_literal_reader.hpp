#pragma once
// The row load's literals read back into the value each carries and the SQL around it: a quoted
// text, N'...', a to_date or TO_TIMESTAMP call with its format, HEXTORAW, a bare number, NULL.
// The array load binds such values with the same SQL written around a bind variable, so that a
// value only a literal says is still stored as the row load stores it.

#include <string>
#include <string_view>

// The shape (see ora_column_value.hpp) of a literal, its value unquoted in `text`: NULL for NULL
// and for the empty text Oracle reads as NULL, ora_shape::number for a bare number. 0 for a
// literal of any other form, large objects included.
char16_t read_literal(std::u16string_view literal, std::u16string& text);

// Appends the SQL that gives a column a bound value of that shape: the bind variable `name`
// itself, or the call of the literal around it.
void append_bound_value(char16_t shape, std::u16string_view name, std::u16string& out);
