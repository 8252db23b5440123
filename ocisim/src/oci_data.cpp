#include "oci_data.h"

#include <cmath>
#include <cstring>

#include "text_codec.h"
#include "value_rules.h"

namespace ocisim {
namespace {

bool is_descriptor_type(ub2 dty) {
    return dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_RDD || dty == SQLT_DATE ||
           dty == SQLT_TIMESTAMP || dty == SQLT_TIMESTAMP_TZ || dty == SQLT_TIMESTAMP_LTZ;
}

template <typename T>
T load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void store(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

DateTime from_oracle_date(const unsigned char* b) {
    DateTime d;
    d.year = (b[0] - 100) * 100 + (b[1] - 100);
    d.month = b[2];
    d.day = b[3];
    d.hour = b[4] - 1;
    d.minute = b[5] - 1;
    d.second = b[6] - 1;
    return d;
}

void to_oracle_date(const DateTime& d, unsigned char* b) {
    b[0] = static_cast<unsigned char>(d.year / 100 + 100);
    b[1] = static_cast<unsigned char>(d.year % 100 + 100);
    b[2] = static_cast<unsigned char>(d.month);
    b[3] = static_cast<unsigned char>(d.day);
    b[4] = static_cast<unsigned char>(d.hour + 1);
    b[5] = static_cast<unsigned char>(d.minute + 1);
    b[6] = static_cast<unsigned char>(d.second + 1);
}

// OCIDate: sb2 year, ub1 month, ub1 day, ub1 hour, ub1 minute, ub1 second.
constexpr size_t kOciDateSize = 8;

}  // namespace

Value decode_client_value(const OCIEnv* env, ub2 dty, const void* data, size_t len, bool national) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    switch (dty) {
        case SQLT_STR: {
            // Up to the terminator inside the buffer.
            size_t n = 0;
            if (env->utf16) {
                while (n + 1 < len && (bytes[n] != 0 || bytes[n + 1] != 0)) {
                    n += 2;
                }
            } else {
                while (n < len && bytes[n] != 0) {
                    ++n;
                }
            }
            return Value::of_text(client_text(env, data, n), national);
        }
        case SQLT_CHR:
        case SQLT_AFC:
        case SQLT_LNG:
            return Value::of_text(client_text(env, data, len), national);
        case SQLT_VCS: {
            size_t n = load<ub2>(data);
            return Value::of_text(client_text(env, bytes + 2, n), national);
        }
        case SQLT_LVC:
        case SQLT_LVB: {
            // A 4-byte count of the bytes that follow it.
            if (len < sizeof(sb4)) {
                throw ora(1460);
            }
            sb4 n = load<sb4>(data);
            if (n < 0 || static_cast<size_t>(n) > len - sizeof(sb4)) {
                throw ora(1460);
            }
            if (dty == SQLT_LVB) {
                return Value::of_raw(
                    std::string(reinterpret_cast<const char*>(bytes + sizeof(sb4)), size_t(n)));
            }
            return Value::of_text(client_text(env, bytes + sizeof(sb4), size_t(n)), national);
        }
        case SQLT_INT:
            switch (len) {
                case 1:
                    return Value::of_number(Decimal::from_int(load<int8_t>(data)));
                case 2:
                    return Value::of_number(Decimal::from_int(load<int16_t>(data)));
                case 4:
                    return Value::of_number(Decimal::from_int(load<int32_t>(data)));
                case 8:
                    return Value::of_number(Decimal::from_int(load<int64_t>(data)));
                default:
                    throw ora(1460);
            }
        case SQLT_UIN:
            switch (len) {
                case 1:
                    return Value::of_number(Decimal::from_int(load<uint8_t>(data)));
                case 2:
                    return Value::of_number(Decimal::from_int(load<uint16_t>(data)));
                case 4:
                    return Value::of_number(Decimal::from_int(load<uint32_t>(data)));
                default:
                    throw ora(1460);
            }
        case SQLT_FLT:
        case 21:
        case 22:
        case 100:
        case 101: {
            double x = len == sizeof(float) ? load<float>(data) : load<double>(data);
            // NUMBER has no NaN; an infinity is a magnitude past its range.
            if (std::isnan(x)) {
                throw ora(1722);
            }
            if (std::isinf(x)) {
                throw ora(1426);
            }
            return Value::of_number(Decimal::from_double(x));
        }
        case SQLT_NUM:
        case SQLT_VNU: {
            // VARNUM carries its length in the first byte.
            if (dty == SQLT_VNU) {
                if (len < 1 || bytes[0] + size_t{1} > len) {
                    throw ora(1460);
                }
                len = bytes[0];
                ++bytes;
            }
            auto d = Decimal::from_oracle_bytes(bytes, len);
            if (!d) {
                throw ora(1722);
            }
            return Value::of_number(to_oracle_number(std::move(*d)));
        }
        case SQLT_BIN:
        case SQLT_LBI:
            return Value::of_raw(std::string(static_cast<const char*>(data), len));
        case SQLT_DAT:
            if (len < 7) {
                throw ora(1460);
            }
            return Value::of_date(from_oracle_date(bytes));
        case SQLT_ODT: {
            DateTime d;
            d.year = load<sb2>(bytes);
            d.month = bytes[2];
            d.day = bytes[3];
            d.hour = bytes[4];
            d.minute = bytes[5];
            d.second = bytes[6];
            return Value::of_date(d);
        }
        case SQLT_DATE:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case SQLT_TIMESTAMP_LTZ: {
            auto* dt = checked<OCIDateTime>(load<void*>(data), OCI_DTYPE_TIMESTAMP);
            if (dt == nullptr) {
                dt = checked<OCIDateTime>(load<void*>(data), OCI_DTYPE_DATE);
            }
            if (dt == nullptr) {
                throw ora(1460);
            }
            return Value::of_date(dt->value, dty != SQLT_DATE);
        }
        case SQLT_RDD: {
            auto* rid = checked<OCIRowid>(load<void*>(data), OCI_DTYPE_ROWID);
            if (rid == nullptr) {
                throw ora(1460);
            }
            return Value::of_text(rid->text);
        }
        case SQLT_CLOB:
        case SQLT_BLOB: {
            // Temporary LOBs carry their data with them; a locator of a stored LOB is refused.
            auto* loc = checked<OCILobLocator>(load<void*>(data), OCI_DTYPE_LOB);
            if (loc == nullptr || !loc->initialised) {
                throw ora(22275);
            }
            if (!loc->temporary) {
                throw ora(932, {"CHAR", "UNSUPPORTED BIND TYPE " + std::to_string(dty)});
            }
            if ((dty == SQLT_CLOB) != loc->is_clob) {
                throw ora(932,
                          {dty == SQLT_CLOB ? "CLOB" : "BLOB", loc->is_clob ? "CLOB" : "BLOB"});
            }
            Value v = loc->is_clob ? Value::of_text(loc->temp_data, loc->national || national)
                                   : Value::of_raw(loc->temp_data);
            if (v.is_null()) {
                v.empty_lob = true;  // an empty LOB, not NULL
            }
            return v;
        }
        default:
            // LOB locator binds and others.
            throw ora(932, {"CHAR", "UNSUPPORTED BIND TYPE " + std::to_string(dty)});
    }
}

Value read_bind(const OCIBind& b, ub4 iter) {
    size_t stride = b.value_skip != 0           ? b.value_skip
                    : is_descriptor_type(b.dty) ? sizeof(void*)
                                                : static_cast<size_t>(b.size);
    const char* elem = static_cast<const char*>(b.buf) + iter * stride;
    if (b.ind != nullptr) {
        size_t ind_stride = b.ind_skip != 0 ? b.ind_skip : sizeof(sb2);
        sb2 ind = load<sb2>(static_cast<const char*>(b.ind) + iter * ind_stride);
        if (ind == -1) {
            return Value::null();
        }
    }
    if (b.buf == nullptr) {
        return Value::null();
    }
    size_t len = static_cast<size_t>(b.size);
    if (b.alen != nullptr && b.dty != SQLT_STR && b.dty != SQLT_LVC && b.dty != SQLT_LVB &&
        !is_descriptor_type(b.dty)) {
        size_t alen_stride = b.alen_skip != 0 ? b.alen_skip : sizeof(ub2);
        len = load<ub2>(reinterpret_cast<const char*>(b.alen) + iter * alen_stride);
    }
    return decode_client_value(b.env, b.dty, elem, len, b.charset_form == SQLCS_NCHAR);
}

ub4 write_out_text(const OCIEnv* env, ub2 dty, void* buf, ub4 capacity, const std::string& text) {
    if (dty == SQLT_RDD) {
        auto* rid = checked<OCIRowid>(load<void*>(buf), OCI_DTYPE_ROWID);
        if (rid != nullptr) {
            rid->text = text;
        }
        return sizeof(void*);
    }
    std::string encoded = encode_client_text(env, text);
    size_t unit = env->utf16 ? 2 : 1;
    size_t room = dty == SQLT_STR ? (capacity >= unit ? capacity - unit : 0) : capacity;
    size_t n = std::min(room / unit * unit, encoded.size());
    std::memcpy(buf, encoded.data(), n);
    if (dty == SQLT_STR && n + unit <= capacity) {
        std::memset(static_cast<char*>(buf) + n, 0, unit);
    }
    return static_cast<ub4>(n);
}

int write_define(const OCIDefine& d, size_t row, const Value& v) {
    const ub2 dty = d.dty;
    size_t stride = d.value_skip != 0         ? d.value_skip
                    : is_descriptor_type(dty) ? sizeof(void*)
                                              : static_cast<size_t>(d.size);
    char* elem = static_cast<char*>(d.buf) + row * stride;
    auto* ind = d.ind == nullptr
                    ? nullptr
                    : reinterpret_cast<sb2*>(static_cast<char*>(d.ind) +
                                             row * (d.ind_skip ? d.ind_skip : sizeof(sb2)));
    auto* rlen = d.rlen == nullptr
                     ? nullptr
                     : reinterpret_cast<ub2*>(reinterpret_cast<char*>(d.rlen) +
                                              row * (d.rlen_skip ? d.rlen_skip : sizeof(ub2)));
    auto* rcode = d.rcode == nullptr
                      ? nullptr
                      : reinterpret_cast<ub2*>(reinterpret_cast<char*>(d.rcode) +
                                               row * (d.rcode_skip ? d.rcode_skip : sizeof(ub2)));
    auto set_ind = [&](sb2 value) {
        if (ind != nullptr) {
            store<sb2>(ind, value);
        }
    };
    auto set_rlen = [&](size_t n) {
        if (rlen != nullptr) {
            store<ub2>(rlen, static_cast<ub2>(std::min<size_t>(n, 65535)));
        }
    };
    auto set_rcode = [&](ub2 c) {
        if (rcode != nullptr) {
            store<ub2>(rcode, c);
        }
    };
    if (v.is_null() && !v.empty_lob) {
        if (ind == nullptr) {
            throw ora(1405);
        }
        set_ind(-1);
        set_rlen(0);
        set_rcode(1405);
        return 0;
    }
    set_ind(0);
    set_rcode(0);
    if (d.buf == nullptr) {
        return 0;
    }
    switch (dty) {
        case SQLT_STR:
        case SQLT_CHR:
        case SQLT_AFC:
        case SQLT_LNG:
        case SQLT_VCS: {
            std::string text = to_text(v);
            if (v.national && d.charset_form != SQLCS_NCHAR && d.stmt != nullptr &&
                single_byte_charset(d.stmt->db_charset)) {
                // National data fetched in the implicit form passes through the database
                // character set on its way to the client.
                text = through_charset(text, d.stmt->db_charset);
            }
            std::string encoded = encode_client_text(d.env, text);
            size_t unit = d.env->utf16 ? 2 : 1;
            size_t cap = static_cast<size_t>(d.size);
            char* out = elem;
            if (dty == SQLT_VCS) {
                cap = cap >= 2 ? cap - 2 : 0;
                out += 2;
            }
            size_t room = dty == SQLT_STR ? (cap >= unit ? cap - unit : 0) : cap;
            room = room / unit * unit;
            size_t n = std::min(room, encoded.size());
            std::memcpy(out, encoded.data(), n);
            if (dty == SQLT_STR && n + unit <= cap) {
                std::memset(out + n, 0, unit);
            }
            if (dty == SQLT_VCS) {
                store<ub2>(elem, static_cast<ub2>(n));
            }
            set_rlen(n);
            if (n < encoded.size()) {
                set_ind(encoded.size() > 32767 ? sb2{-2} : static_cast<sb2>(encoded.size()));
                set_rcode(1406);
                return 1406;
            }
            return 0;
        }
        case SQLT_INT:
        case SQLT_UIN: {
            Decimal n = to_number(v).rounded(0);
            auto whole = n.to_int64();
            int bits = d.size == 1 || d.size == 2 || d.size == 4 ? 8 * d.size : 64;
            int64_t high = bits == 64 ? INT64_MAX : (int64_t{1} << (bits - 1)) - 1;
            int64_t low = -high - 1;
            if (dty == SQLT_UIN) {
                low = 0;
                high = bits == 64 ? INT64_MAX : (int64_t{1} << bits) - 1;
            }
            if (!whole || *whole > high || *whole < low) {
                throw ora(1455);
            }
            int64_t i = *whole;
            switch (d.size) {
                case 1:
                    store<int8_t>(elem, static_cast<int8_t>(i));
                    break;
                case 2:
                    store<int16_t>(elem, static_cast<int16_t>(i));
                    break;
                case 4:
                    store<int32_t>(elem, static_cast<int32_t>(i));
                    break;
                default:
                    store<int64_t>(elem, i);
                    break;
            }
            set_rlen(static_cast<size_t>(d.size));
            return 0;
        }
        case SQLT_FLT:
        case 21:
        case 22:
        case 100:
        case 101: {
            double x = to_number(v).to_double();
            if (d.size == sizeof(float)) {
                store<float>(elem, static_cast<float>(x));
            } else {
                store<double>(elem, x);
            }
            set_rlen(static_cast<size_t>(d.size));
            return 0;
        }
        case SQLT_NUM:
        case SQLT_VNU: {
            unsigned char number[22];
            size_t n = to_oracle_number(to_number(v)).to_oracle_bytes(number + 1);
            size_t need = dty == SQLT_VNU ? n + 1 : n;
            if (static_cast<size_t>(d.size) < need) {
                throw ora(1460);
            }
            number[0] = static_cast<unsigned char>(n);
            std::memcpy(elem, dty == SQLT_VNU ? number : number + 1, need);
            set_rlen(need);
            return 0;
        }
        case SQLT_BIN:
        case SQLT_LBI: {
            const std::string& bytes = v.bytes;
            size_t n = std::min(bytes.size(), static_cast<size_t>(d.size));
            std::memcpy(elem, bytes.data(), n);
            set_rlen(n);
            if (n < bytes.size()) {
                set_rcode(1406);
                return 1406;
            }
            return 0;
        }
        case SQLT_DAT: {
            to_oracle_date(to_date_value(v), reinterpret_cast<unsigned char*>(elem));
            set_rlen(7);
            return 0;
        }
        case SQLT_ODT: {
            DateTime dt = to_date_value(v);
            unsigned char b[kOciDateSize] = {};
            store<sb2>(b, static_cast<sb2>(dt.year));
            b[2] = static_cast<unsigned char>(dt.month);
            b[3] = static_cast<unsigned char>(dt.day);
            b[4] = static_cast<unsigned char>(dt.hour);
            b[5] = static_cast<unsigned char>(dt.minute);
            b[6] = static_cast<unsigned char>(dt.second);
            std::memcpy(elem, b, kOciDateSize);
            set_rlen(kOciDateSize);
            return 0;
        }
        case SQLT_DATE:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case SQLT_TIMESTAMP_LTZ: {
            auto* dt = static_cast<OCIDateTime*>(load<void*>(elem));
            if (dt == nullptr || dt->magic != kHandleMagic) {
                throw ora(1460);
            }
            dt->value = to_date_value(v);
            return 0;
        }
        case SQLT_CLOB:
        case SQLT_BLOB: {
            auto* loc = checked<OCILobLocator>(load<void*>(elem), OCI_DTYPE_LOB);
            if (loc == nullptr) {
                throw ora(22275);
            }
            if (v.lob.column < 0) {
                throw ora(932, {dty == SQLT_CLOB ? "CLOB" : "BLOB", value_type_name(v)});
            }
            loc->initialised = true;
            loc->ref = v.lob;
            loc->is_clob = dty == SQLT_CLOB;
            loc->national = v.national;
            return 0;
        }
        case SQLT_RDD: {
            auto* rid = checked<OCIRowid>(load<void*>(elem), OCI_DTYPE_ROWID);
            if (rid == nullptr) {
                throw ora(1460);
            }
            rid->text = to_text(v);
            return 0;
        }
        default:
            throw ora(932, {"CHAR", "UNSUPPORTED DEFINE TYPE " + std::to_string(dty)});
    }
}

}  // namespace ocisim
