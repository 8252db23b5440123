// Oracle column data types: declaration limits, catalogue figures and describe codes.
#pragma once

#include <climits>
#include <cstdint>
#include <string>

namespace ocisim {

enum class TypeKind {
    Varchar2,
    NVarchar2,
    Char,
    NChar,
    Number,
    Float,
    Date,
    Timestamp,
    Raw,
    Clob,
    NClob,
    Blob,
    Long,
    LongRaw,
    Rowid,
    IntervalYM,  // precision: leading (year) digits
    IntervalDS,  // precision: leading (day) digits; scale: fractional second digits
};

constexpr int kNoPrecision = INT_MIN;

struct ColumnType {
    TypeKind kind = TypeKind::Varchar2;
    int length = 0;                // declared length (characters or bytes)
    bool char_semantics = false;   // VARCHAR2(n CHAR), NVARCHAR2, NCHAR
    int precision = kNoPrecision;  // NUMBER(p), FLOAT(p), TIMESTAMP(p), INTERVAL leading digits
    int scale = kNoPrecision;      // NUMBER(p,s); 0 for INTEGER

    bool is_text() const;      // character data stored inline or in LONG
    bool is_national() const;  // NVARCHAR2, NCHAR, NCLOB
    bool is_lob() const;       // CLOB, NCLOB, BLOB
    bool is_binary() const;    // RAW, LONG RAW, BLOB
    bool is_long() const { return kind == TypeKind::Long || kind == TypeKind::LongRaw; }
    bool is_interval() const {
        return kind == TypeKind::IntervalYM || kind == TypeKind::IntervalDS;
    }

    // USER_TAB_COLUMNS figures.
    std::string data_type_name() const;  // "NVARCHAR2", "TIMESTAMP(6)", ...
    // Bytes; CHAR-semantics lengths take the most bytes a character has in the database set.
    int data_length(int max_char_bytes = 4) const;
    int char_length() const;        // characters (0 for non-character types)
    std::string char_used() const;  // "B", "C" or "" (NULL)
    // The type as written in DDL, used as the SQLite column's declared type (LONG is declared
    // LONG TEXT there).
    std::string declaration() const;

    // What a select-list describe reports.
    uint16_t describe_code() const;
    uint8_t charset_form() const;  // 1 implicit, 2 national, 0 for non-character data
};

// Maximum byte length of inline character and RAW data.
constexpr int kMaxVarchar2Bytes = 4000;
constexpr int kMaxCharBytes = 2000;
constexpr int kMaxRawBytes = 2000;

}  // namespace ocisim
