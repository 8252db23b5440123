#pragma once
// The value an INSERT gives one column, taken from a record field before any SQL is written:
// the row load writes it as a literal, the array load binds it as it stands. Its shape says how
// the statement carries it; the shapes are characters so that the shapes of a row's columns
// form a text that keys the prepared statements.

#include <cstdint>
#include <string_view>

#include "udb/ole_types.hpp"

namespace ora_shape {
constexpr char16_t null = u'0';       // NULL
constexpr char16_t text = u'T';       // 'text' or a number, bound as text
constexpr char16_t national = u'N';   // N'text'
constexpr char16_t number = u'V';     // a number, bound in Oracle's own number form
constexpr char16_t datetime = u'O';   // a date and time to the second
constexpr char16_t timestamp = u'M';  // a date and time with milliseconds; bound as a timestamp
constexpr char16_t time = u'h';       // to_date(..., 'HH24-MI-SS')
constexpr char16_t date = u'd';       // to_date(..., 'YYYY-MM-DD')
constexpr char16_t date_text = u'D';  // to_date(..., 'YYYY-MM-DD HH24:MI:SS')
constexpr char16_t timestamp_text = u'S';  // TO_TIMESTAMP(..., 'YYYY-MM-DD HH24:MI:SS.FF3')
constexpr char16_t hex = u'H';             // HEXTORAW('...')
constexpr char16_t clob = u'C';
constexpr char16_t blob = u'B';
constexpr char16_t empty_clob = u'c';
constexpr char16_t empty_blob = u'b';
}  // namespace ora_shape

struct ora_column_value {
    char16_t shape = ora_shape::null;
    // The characters of a text or a number (not quoted); they live in the record's field or in
    // the table's scratch text, until the next value is taken.
    std::u16string_view text;
    t_systemtime date;  // for the date shapes
};
