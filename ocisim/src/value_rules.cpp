#include "value_rules.h"

#include <cmath>
#include <cstdio>

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
    if (d.significant_digits() <= 15) {
        out.kind = Stored::Kind::Real;
        out.r = d.to_double();
        return out;
    }
    out.kind = Stored::Kind::Blob;
    out.s = d.to_text();
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
            text = through_charset(text, settings.charset);
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
        text = through_charset(text, settings.charset);
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

// An interval as Oracle writes it: "+YY-MM" or "+DD HH:MI:SS.FFFFFF", the leading field as wide
// as its precision and the fraction as long as the scale. Accepts the same form from text.
std::string interval_text(const Value& v, const ColumnType& ty) {
    const bool ym = ty.kind == TypeKind::IntervalYM;
    if (v.kind != Value::Kind::Text) {
        throw ora(932,
                  {ym ? "INTERVAL YEAR TO MONTH" : "INTERVAL DAY TO SECOND", value_type_name(v)});
    }
    std::string_view in = v.bytes;
    size_t i = 0;
    auto skip_blanks = [&] {
        while (i < in.size() && in[i] == ' ') {
            ++i;
        }
    };
    auto number = [&](size_t max_digits) {
        size_t start = i;
        int64_t n = 0;
        while (i < in.size() && in[i] >= '0' && in[i] <= '9' && i - start < max_digits) {
            n = n * 10 + (in[i++] - '0');
        }
        if (i == start || (i < in.size() && in[i] >= '0' && in[i] <= '9')) {
            throw ora(1867);
        }
        return n;
    };
    auto expect = [&](char c) {
        if (i >= in.size() || in[i] != c) {
            throw ora(1867);
        }
        ++i;
    };
    auto check_lead = [&](int64_t lead) {
        if (lead != 0 && std::to_string(lead).size() > static_cast<size_t>(ty.precision)) {
            throw ora(1873);
        }
    };
    skip_blanks();
    bool negative = false;
    if (i < in.size() && (in[i] == '+' || in[i] == '-')) {
        negative = in[i++] == '-';
    }
    int64_t lead = number(17);
    char buf[64];
    if (ym) {
        expect('-');
        int64_t months = number(2);
        skip_blanks();
        if (i != in.size() || months > 11) {
            throw ora(1867);
        }
        check_lead(lead);
        negative = negative && (lead != 0 || months != 0);
        std::snprintf(buf, sizeof buf, "%c%0*lld-%02lld", negative ? '-' : '+', ty.precision,
                      static_cast<long long>(lead), static_cast<long long>(months));
        return buf;
    }
    expect(' ');
    skip_blanks();
    int64_t h = number(2);
    expect(':');
    int64_t m = number(2);
    expect(':');
    int64_t sec = number(2);
    int64_t nanos = 0;
    if (i < in.size() && in[i] == '.') {
        ++i;
        int digits = 0;
        bool round_up = false;
        while (i < in.size() && in[i] >= '0' && in[i] <= '9') {
            if (digits < 9) {
                nanos = nanos * 10 + (in[i] - '0');
            } else if (digits == 9) {
                round_up = in[i] >= '5';
            }
            ++digits;
            ++i;
        }
        for (int d = digits; d < 9; ++d) {
            nanos *= 10;
        }
        nanos += round_up ? 1 : 0;
    }
    skip_blanks();
    if (i != in.size() || h > 23 || m > 59 || sec > 59) {
        throw ora(1867);
    }
    // Rounded to the scale, which may carry into the next day.
    constexpr int64_t kDayNanos = 86400LL * 1000000000LL;
    int64_t rem = ((h * 60 + m) * 60 + sec) * 1000000000LL + nanos;
    int64_t unit = 1;
    for (int d = ty.scale; d < 9; ++d) {
        unit *= 10;
    }
    rem = (rem + unit / 2) / unit * unit;
    if (rem >= kDayNanos) {
        rem -= kDayNanos;
        ++lead;
    }
    check_lead(lead);
    negative = negative && (lead != 0 || rem != 0);
    int64_t secs = rem / 1000000000LL;
    std::snprintf(buf, sizeof buf, "%c%0*lld %02lld:%02lld:%02lld", negative ? '-' : '+',
                  ty.precision, static_cast<long long>(lead), static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
    std::string out = buf;
    if (ty.scale > 0) {
        std::snprintf(buf, sizeof buf, "%09lld", static_cast<long long>(rem % 1000000000LL));
        out += '.';
        out.append(buf, static_cast<size_t>(ty.scale));
    }
    return out;
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
                text = through_charset(text, settings.charset);
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
                    // The magnitude must stay below 10^(precision - scale); with a scale past
                    // the precision that asks for leading zeros after the point.
                    int scale = ty.scale == kNoPrecision ? 0 : ty.scale;
                    if (!d.is_zero() && d.leading_exponent() >= ty.precision - scale) {
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
            } else {
                dt = round_fraction(dt, ty.precision == kNoPrecision ? 6 : ty.precision);
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
        case TypeKind::IntervalYM:
        case TypeKind::IntervalDS:
            return text_stored(interval_text(v, ty));
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
