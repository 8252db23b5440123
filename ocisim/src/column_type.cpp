#include "column_type.h"

#include "oci_defs.h"

namespace ocisim {

bool ColumnType::is_text() const {
    switch (kind) {
        case TypeKind::Varchar2:
        case TypeKind::NVarchar2:
        case TypeKind::Char:
        case TypeKind::NChar:
        case TypeKind::Clob:
        case TypeKind::NClob:
        case TypeKind::Long:
            return true;
        default:
            return false;
    }
}

bool ColumnType::is_national() const {
    return kind == TypeKind::NVarchar2 || kind == TypeKind::NChar || kind == TypeKind::NClob;
}

bool ColumnType::is_lob() const {
    return kind == TypeKind::Clob || kind == TypeKind::NClob || kind == TypeKind::Blob;
}

bool ColumnType::is_binary() const {
    return kind == TypeKind::Raw || kind == TypeKind::LongRaw || kind == TypeKind::Blob;
}

std::string ColumnType::data_type_name() const {
    switch (kind) {
        case TypeKind::Varchar2:
            return "VARCHAR2";
        case TypeKind::NVarchar2:
            return "NVARCHAR2";
        case TypeKind::Char:
            return "CHAR";
        case TypeKind::NChar:
            return "NCHAR";
        case TypeKind::Number:
            return "NUMBER";
        case TypeKind::Float:
            return "FLOAT";
        case TypeKind::Date:
            return "DATE";
        case TypeKind::Timestamp:
            return "TIMESTAMP(" + std::to_string(precision == kNoPrecision ? 6 : precision) + ")";
        case TypeKind::Raw:
            return "RAW";
        case TypeKind::Clob:
            return "CLOB";
        case TypeKind::NClob:
            return "NCLOB";
        case TypeKind::Blob:
            return "BLOB";
        case TypeKind::Long:
            return "LONG";
        case TypeKind::LongRaw:
            return "LONG RAW";
        case TypeKind::Rowid:
            return "ROWID";
        case TypeKind::IntervalYM:
            return "INTERVAL YEAR(" + std::to_string(precision) + ") TO MONTH";
        case TypeKind::IntervalDS:
            return "INTERVAL DAY(" + std::to_string(precision) + ") TO SECOND(" +
                   std::to_string(scale) + ")";
    }
    return "";
}

int ColumnType::data_length(int max_char_bytes) const {
    switch (kind) {
        case TypeKind::Varchar2:
        case TypeKind::Char:
            // CHAR semantics: the most bytes the characters can take, capped by the limit.
            if (char_semantics) {
                int cap = kind == TypeKind::Char ? kMaxCharBytes : kMaxVarchar2Bytes;
                return length * max_char_bytes > cap ? cap : length * max_char_bytes;
            }
            return length;
        case TypeKind::NVarchar2:
        case TypeKind::NChar:
            return length * 2;  // AL16UTF16
        case TypeKind::Number:
        case TypeKind::Float:
            return 22;
        case TypeKind::Date:
            return 7;
        case TypeKind::Timestamp:
            return 11;
        case TypeKind::Raw:
            return length;
        case TypeKind::Clob:
        case TypeKind::NClob:
        case TypeKind::Blob:
            return 4000;
        case TypeKind::Long:
        case TypeKind::LongRaw:
            return 0;
        case TypeKind::Rowid:
            return 10;
        case TypeKind::IntervalYM:
            return 5;
        case TypeKind::IntervalDS:
            return 11;
    }
    return 0;
}

int ColumnType::char_length() const {
    switch (kind) {
        case TypeKind::Varchar2:
        case TypeKind::NVarchar2:
        case TypeKind::Char:
        case TypeKind::NChar:
            return length;
        default:
            return 0;
    }
}

std::string ColumnType::char_used() const {
    switch (kind) {
        case TypeKind::Varchar2:
        case TypeKind::Char:
            return char_semantics ? "C" : "B";
        case TypeKind::NVarchar2:
        case TypeKind::NChar:
            return "C";
        default:
            return "";
    }
}

std::string ColumnType::declaration() const {
    std::string name = data_type_name();
    switch (kind) {
        case TypeKind::Varchar2:
        case TypeKind::Char:
            // SQLite type names take numbers only; the length semantics stay in the catalogue.
            return name + "(" + std::to_string(length) + ")";
        case TypeKind::NVarchar2:
        case TypeKind::NChar:
        case TypeKind::Raw:
            return name + "(" + std::to_string(length) + ")";
        case TypeKind::Number:
            if (precision == kNoPrecision && scale == kNoPrecision) {
                return name;
            }
            // NUMBER(*,s) is written with the largest precision: SQLite type names take numbers.
            return name + "(" + std::to_string(precision == kNoPrecision ? 38 : precision) + "," +
                   std::to_string(scale == kNoPrecision ? 0 : scale) + ")";
        case TypeKind::Float:
            return name + "(" + std::to_string(precision == kNoPrecision ? 126 : precision) + ")";
        case TypeKind::Long:
            // "LONG" alone would give the column numeric affinity in SQLite, which turns
            // number-like text into numbers.
            return "LONG TEXT";
        case TypeKind::IntervalYM:
        case TypeKind::IntervalDS:
            // Any declared type with "INT" in it has integer affinity in SQLite; the interval's
            // text is kept as text.
            return "TEXT";
        default:
            return name;
    }
}

uint16_t ColumnType::describe_code() const {
    switch (kind) {
        case TypeKind::Varchar2:
        case TypeKind::NVarchar2:
            return SQLT_CHR;
        case TypeKind::Char:
        case TypeKind::NChar:
            return SQLT_AFC;
        case TypeKind::Number:
        case TypeKind::Float:
            return SQLT_NUM;
        case TypeKind::Date:
            return SQLT_DAT;
        case TypeKind::Timestamp:
            return SQLT_TIMESTAMP;
        case TypeKind::Raw:
            return SQLT_BIN;
        case TypeKind::Clob:
        case TypeKind::NClob:
            return SQLT_CLOB;
        case TypeKind::Blob:
            return SQLT_BLOB;
        case TypeKind::Long:
            return SQLT_LNG;
        case TypeKind::LongRaw:
            return SQLT_LBI;
        case TypeKind::Rowid:
            return SQLT_RDD;
        case TypeKind::IntervalYM:
            return SQLT_INTERVAL_YM;
        case TypeKind::IntervalDS:
            return SQLT_INTERVAL_DS;
    }
    return SQLT_CHR;
}

uint8_t ColumnType::charset_form() const {
    if (is_national()) {
        return SQLCS_NCHAR;
    }
    return is_text() ? SQLCS_IMPLICIT : 0;
}

}  // namespace ocisim
