// A value as the server computes with it: NULL, number, character or binary data, date, or a
// reference to a LOB stored in a row.
#pragma once

#include <cstdint>
#include <string>

#include "date_time.h"
#include "decimal.h"

namespace ocisim {

struct LobRef {
    int64_t table_id = 0;
    int64_t rowid = 0;
    int column = -1;  // index in the table's column list
};

struct Value {
    enum class Kind : uint8_t { Null, Number, Text, Raw, Date, Rowid };
    Kind kind = Kind::Null;
    bool national = false;      // N'...' literals and national columns
    bool fixed = false;         // CHAR/NCHAR data: blank-padded comparison
    bool empty_lob = false;     // EMPTY_CLOB()/EMPTY_BLOB()
    bool has_fraction = false;  // TIMESTAMP data
    Decimal number;
    std::string bytes;  // UTF-8 text, raw bytes, or ROWID text
    DateTime date;
    LobRef lob;  // set when the value was read from a LOB column

    bool is_null() const { return kind == Kind::Null; }
    static Value null() { return Value{}; }
    static Value of_number(Decimal d) {
        Value v;
        v.kind = Kind::Number;
        v.number = std::move(d);
        return v;
    }
    static Value of_text(std::string s, bool national = false) {
        Value v;
        if (s.empty()) {
            return v;  // the empty string is NULL
        }
        v.kind = Kind::Text;
        v.bytes = std::move(s);
        v.national = national;
        return v;
    }
    static Value of_raw(std::string b) {
        Value v;
        if (b.empty()) {
            return v;
        }
        v.kind = Kind::Raw;
        v.bytes = std::move(b);
        return v;
    }
    static Value of_date(const DateTime& d, bool fraction = false) {
        Value v;
        v.kind = Kind::Date;
        v.date = d;
        v.has_fraction = fraction;
        return v;
    }
};

// Type names Oracle uses in ORA-00932 for each kind of value.
const char* value_type_name(const Value& v);

}  // namespace ocisim
