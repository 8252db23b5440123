#include "value_rules.h"

#include <cmath>

#include "ora_error.h"
#include "oracle_model.h"
#include "text_codec.h"

namespace ocisim {

const char* value_type_name(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Number:
            return "NUMBER";
        case Value::Kind::Date:
            return "DATE";
        case Value::Kind::Raw:
            return "BINARY";
        case Value::Kind::Rowid:
            return "ROWID";
        default:
            return "CHAR";
    }
}

std::string column_label(const TableDef& table, const std::string& column) {
    return "\"" + table.owner + "\".\"" + table.name + "\".\"" + column + "\"";
}

std::string raw_to_hex(std::string_view raw) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(raw.size() * 2);
    for (unsigned char c : raw) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

std::string hex_to_raw(std::string_view hex) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    // An odd number of digits reads as if a leading zero were there.
    size_t i = 0;
    if (hex.size() % 2 == 1) {
        int d = digit(hex[0]);
        if (d < 0) {
            throw ora(1465);
        }
        out += static_cast<char>(d);
        i = 1;
    }
    for (; i < hex.size(); i += 2) {
        int hi = digit(hex[i]);
        int lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            throw ora(1465);
        }
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

Decimal to_number(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Number:
            return v.number;
        case Value::Kind::Text: {
            auto d = Decimal::parse(v.bytes);
            if (!d) {
                throw ora(1722);
            }
            return to_oracle_number(std::move(*d));
        }
        default:
            throw ora(932, {"NUMBER", value_type_name(v)});
    }
}

Decimal to_oracle_number(Decimal d) {
    d = d.rounded_significant(kNumberDigits);
    if (d.is_zero()) {
        return d;
    }
    if (d.leading_exponent() >= kNumberOverflowExponent) {
        throw ora(1426);
    }
    if (d.leading_exponent() < kNumberSmallestExponent) {
        return Decimal{};
    }
    return d;
}

std::string to_text(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Null:
            return "";
        case Value::Kind::Number:
            return v.number.to_text();
        case Value::Kind::Date:
            return v.date.to_default_text();
        case Value::Kind::Raw:
            return raw_to_hex(v.bytes);
        default:
            return v.bytes;
    }
}

DateTime to_date_value(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Date:
            return v.date;
        case Value::Kind::Text:
            return text_to_date(v.bytes);
        default:
            throw ora(932, {"DATE", value_type_name(v)});
    }
}

namespace {

Stored text_stored(std::string s) {
    Stored out;
    out.kind = Stored::Kind::Text;
    out.s = std::move(s);
    return out;
}

// Whole numbers that fit 64 bits are INTEGER and numbers of at most 15 significant digits
// REAL (a double gives such a number back digit for digit); any other number is its exact
// decimal text. That text goes in as a BLOB: the NUMBER column has numeric affinity, and SQLite
// would turn a TEXT value that looks like a number into a REAL and lose digits.
Stored number_stored(const Decimal& d) {
    Stored out;
    if (auto i = d.to_int64()) {
        out.kind = Stored::Kind::Int;
        out.i = *i;
        return out;
    }
    std::string text = d.to_text();
    if (d.significant_digits() <= 15) {
        out.kind = Stored::Kind::Real;
        out.r = std::strtod(text.c_str(), nullptr);
        return out;
    }
    out.kind = Stored::Kind::Blob;
    out.s = std::move(text);
    return out;
}

[[noreturn]] void too_large(const TableDef& t, const ColumnDef& c, size_t actual, int maximum,
                            const ServiceSettings& settings) {
    if (!settings.release.value_too_large_with_column) {
        throw ora(1401);
    }
    throw ora(12899, {column_label(t, c.name), std::to_string(actual), std::to_string(maximum)});
}

// Character data for an inline column: character set conversion, length check, CHAR padding.
Stored inline_text(std::string text, bool national, const TableDef& t, const ColumnDef& c,
                   const ServiceSettings& settings) {
    const ColumnType& ty = c.type;
    bool fixed = ty.kind == TypeKind::Char || ty.kind == TypeKind::NChar;
    if (ty.is_national()) {
        if (!national && settings.single_byte()) {
            // Character data sent in the database character set (a bind of the implicit form)
            // went through that set before it became national data.
            text = through_cp1252(text);
        }
        size_t units = utf16_length(text);
        if (units > static_cast<size_t>(ty.length)) {
            too_large(t, c, units, ty.length, settings);
        }
        if (fixed) {
            text.append(static_cast<size_t>(ty.length) - units, ' ');
        }
        return text_stored(std::move(text));
    }
    if (settings.single_byte()) {
        text = through_cp1252(text);
    }
    size_t bytes = settings.single_byte() ? char_count(text) : text.size();
    size_t chars = char_count(text);
    int max_bytes = fixed ? kMaxCharBytes : kMaxVarchar2Bytes;
    if (ty.char_semantics) {
        if (chars > static_cast<size_t>(ty.length)) {
            too_large(t, c, chars, ty.length, settings);
        }
        if (bytes > static_cast<size_t>(max_bytes)) {
            too_large(t, c, bytes, max_bytes, settings);
        }
        if (fixed) {
            text.append(static_cast<size_t>(ty.length) - chars, ' ');
        }
    } else {
        if (bytes > static_cast<size_t>(ty.length)) {
            too_large(t, c, bytes, ty.length, settings);
        }
        if (fixed) {
            text.append(static_cast<size_t>(ty.length) - bytes, ' ');
        }
    }
    return text_stored(std::move(text));
}

}  // namespace

Stored to_storage(const Value& v, const TableDef& t, const ColumnDef& c,
                  const ServiceSettings& settings) {
    const ColumnType& ty = c.type;
    if (v.empty_lob) {
        if (!ty.is_lob()) {
            throw ora(932, {ty.data_type_name(), ty.kind == TypeKind::Blob ? "BLOB" : "CLOB"});
        }
        Stored s;
        s.kind = ty.kind == TypeKind::Blob ? Stored::Kind::Blob : Stored::Kind::Text;
        return s;
    }
    if (v.is_null()) {
        return Stored{};
    }
    switch (ty.kind) {
        case TypeKind::Varchar2:
        case TypeKind::NVarchar2:
        case TypeKind::Char:
        case TypeKind::NChar:
            return inline_text(to_text(v), v.national, t, c, settings);
        case TypeKind::Clob:
        case TypeKind::NClob:
        case TypeKind::Long: {
            if (v.kind == Value::Kind::Raw && ty.kind != TypeKind::Long) {
                throw ora(932, {ty.data_type_name(), "BINARY"});
            }
            std::string text = to_text(v);
            if (settings.single_byte() && (ty.kind != TypeKind::NClob || !v.national)) {
                text = through_cp1252(text);
            }
            return text_stored(std::move(text));
        }
        case TypeKind::Number:
        case TypeKind::Float: {
            Decimal d = to_number(v);
            if (ty.kind == TypeKind::Float) {
                int digits = static_cast<int>(
                    std::ceil((ty.precision == kNoPrecision ? 126 : ty.precision) * 0.30103));
                d = d.rounded_significant(digits);
            } else {
                if (ty.scale != kNoPrecision) {
                    d = d.rounded(ty.scale);
                }
                if (ty.precision != kNoPrecision) {
                    int scale = ty.scale == kNoPrecision ? 0 : ty.scale;
                    if (d.integer_digits() > ty.precision - scale && !d.is_zero()) {
                        throw ora(1438);
                    }
                }
            }
            return number_stored(to_oracle_number(std::move(d)));
        }
        case TypeKind::Date:
        case TypeKind::Timestamp: {
            DateTime dt = to_date_value(v);
            if (ty.kind == TypeKind::Date) {
                dt.nanos = 0;
            }
            return text_stored(dt.to_storage(ty.kind == TypeKind::Timestamp));
        }
        case TypeKind::Raw:
        case TypeKind::LongRaw:
        case TypeKind::Blob: {
            std::string bytes;
            if (v.kind == Value::Kind::Raw) {
                bytes = v.bytes;
            } else if (v.kind == Value::Kind::Text) {
                bytes = hex_to_raw(v.bytes);
            } else {
                throw ora(932, {ty.kind == TypeKind::Blob ? "BLOB" : "BINARY", value_type_name(v)});
            }
            if (ty.kind == TypeKind::Raw && bytes.size() > static_cast<size_t>(ty.length)) {
                too_large(t, c, bytes.size(), ty.length, settings);
            }
            Stored s;
            s.kind = Stored::Kind::Blob;
            s.s = std::move(bytes);
            return s;
        }
        case TypeKind::Rowid:
            return text_stored(to_text(v));
    }
    return Stored{};
}

void bind_stored(SqlStmt& st, int index, const Stored& s) {
    switch (s.kind) {
        case Stored::Kind::Null:
            st.bind_null(index);
            break;
        case Stored::Kind::Int:
            st.bind(index, s.i);
            break;
        case Stored::Kind::Real:
            st.bind(index, s.r);
            break;
        case Stored::Kind::Text:
            st.bind(index, std::string_view(s.s));
            break;
        case Stored::Kind::Blob:
            st.bind_blob(index, s.s);
            break;
    }
}

Value load_value(const SqlStmt& st, int index, const ColumnType& type) {
    int sqlite_type = st.column_type(index);
    if (sqlite_type == SQLITE_NULL) {
        return Value::null();
    }
    Value v;
    switch (type.kind) {
        case TypeKind::Number:
        case TypeKind::Float:
            if (sqlite_type == SQLITE_INTEGER) {
                return Value::of_number(Decimal::from_int(st.int64(index)));
            }
            if (sqlite_type == SQLITE_FLOAT) {
                return Value::of_number(Decimal::from_double(st.real(index)));
            }
            // The exact decimal text (BLOB; TEXT in files a client wrote by hand).
            return Value::of_number(
                Decimal::parse(sqlite_type == SQLITE_BLOB ? st.blob(index) : st.text(index))
                    .value_or(Decimal{}));
        case TypeKind::Date:
        case TypeKind::Timestamp: {
            DateTime d;
            DateTime::from_storage(st.text(index), &d);
            return Value::of_date(d, type.kind == TypeKind::Timestamp);
        }
        case TypeKind::Raw:
        case TypeKind::LongRaw:
        case TypeKind::Blob:
            v.kind = Value::Kind::Raw;
            v.bytes = st.blob(index);
            return v;
        default:
            v.kind = Value::Kind::Text;
            v.bytes = st.text(index);
            v.national = type.is_national();
            v.fixed = type.kind == TypeKind::Char || type.kind == TypeKind::NChar;
            return v;
    }
}

int compare_values(const Value& a, const Value& b) {
    auto sign = [](int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); };
    if (a.kind == Value::Kind::Number || b.kind == Value::Kind::Number) {
        return compare(to_number(a), to_number(b));
    }
    if (a.kind == Value::Kind::Date || b.kind == Value::Kind::Date) {
        return sign(to_date_value(a).to_storage(true).compare(to_date_value(b).to_storage(true)));
    }
    if (a.kind == Value::Kind::Raw || b.kind == Value::Kind::Raw) {
        std::string ra = a.kind == Value::Kind::Raw ? a.bytes : hex_to_raw(a.bytes);
        std::string rb = b.kind == Value::Kind::Raw ? b.bytes : hex_to_raw(b.bytes);
        return sign(ra.compare(rb));
    }
    std::string_view ta = a.bytes;
    std::string_view tb = b.bytes;
    if (a.fixed || b.fixed) {
        // Blank-padded comparison semantics.
        while (!ta.empty() && ta.back() == ' ')
            ta.remove_suffix(1);
        while (!tb.empty() && tb.back() == ' ')
            tb.remove_suffix(1);
    }
    return sign(ta.compare(tb));
}

}  // namespace ocisim
