#include "ora/ora_type.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_oci.hpp"
#include "ora/ora_util.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_decimal.hpp"

namespace {

constexpr const char* source_tag = "ora_type.cpp";
constexpr ub4 lob_piece_bytes = 32768;

template <class T>
T param_attr(OCIParam* param, ub4 attribute) {
    ora_engine& engine = ora_engine::instance();
    T value{};
    ub4 size = 0;
    engine.check_err(
        ora_oci().attr_get(param, OCI_DTYPE_PARAM, &value, &size, attribute, engine.err()));
    return value;
}

// The text up to its terminator, never past the buffer.
std::u16string_view terminated(const std::vector<char16_t>& buffer) {
    size_t n = 0;
    while (n < buffer.size() && buffer[n] != u'\0') {
        ++n;
    }
    return std::u16string_view(buffer.data(), n);
}

std::u16string wide(std::u16string_view text) {
    return std::u16string(text);
}

// The integer range of each integer vartype a NUMBER column refines to.
bool integer_range(VARTYPE vartype, int64_t& min, int64_t& max) {
    switch (vartype) {
        case VT_I1:
            min = INT8_MIN;
            max = INT8_MAX;
            return true;
        case VT_I2:
            min = INT16_MIN;
            max = INT16_MAX;
            return true;
        case VT_I4:
            min = INT32_MIN;
            max = INT32_MAX;
            return true;
        case VT_I8:
            min = INT64_MIN;
            max = INT64_MAX;
            return true;
        default:
            return false;
    }
}

// Whether the number text needs more than DECIMAL keeps (29 significant digits, 28 decimals);
// the parser would round such a value without failing.
bool exceeds_decimal(std::u16string_view text) {
    long exponent = 0;
    const size_t e = text.find_first_of(u"eE");
    if (e != std::u16string_view::npos) {
        exponent = std::strtol(tk_w2a(text.substr(e + 1)).c_str(), nullptr, 10);
        text = text.substr(0, e);
    }
    long digits = 0;     // digits seen
    long first = -1;     // index of the first non-zero digit
    long last = -1;      // index of the last non-zero digit
    long point_at = -1;  // digits before the point
    for (const char16_t c : text) {
        if (c == u'.') {
            point_at = digits;
        } else if (c >= u'0' && c <= u'9') {
            if (c != u'0') {
                if (first < 0) {
                    first = digits;
                }
                last = digits;
            }
            ++digits;
        }
    }
    if (first < 0) {
        return false;  // zero
    }
    if (point_at < 0) {
        point_at = digits;
    }
    const long decimals = (last + 1 - point_at) - exponent;
    return last - first + 1 > 29 || decimals > 28;
}

}  // namespace

// ora_type

ora_type::ora_type(OCIParam* param) {
    type_code = param_attr<ub2>(param, OCI_ATTR_DATA_TYPE);
    OraText* text = nullptr;
    ora_engine& engine = ora_engine::instance();
    ub4 bytes = 0;
    engine.check_err(
        ora_oci().attr_get(param, OCI_DTYPE_PARAM, &text, &bytes, OCI_ATTR_NAME, engine.err()));
    if (text != nullptr && bytes >= 2) {
        name.resize(bytes / 2);
        std::memcpy(name.data(), text, name.size() * 2);
    }
    b_nullable = param_attr<ub1>(param, OCI_ATTR_IS_NULL) != 0;
    data_size = param_attr<ub2>(param, OCI_ATTR_DATA_SIZE);
}

ora_type::~ora_type() = default;

VARTYPE ora_type::get_vartype() const {
    return sqlt_to_vartype(type_code);
}

std::unique_ptr<t_ftd> ora_type::get_ftd() const {
    const VARTYPE vartype = get_vartype();
    TK_TRACEW(u"Got field '%s', type=%d, vartype=%d, lenght=%d, nullable=%d", name.c_str(),
              type_code, vartype, static_cast<int>(data_size), b_nullable ? 1 : 0);
    return std::make_unique<t_ftd>(data_size, name, vartype, !b_nullable, false, ole_variant(),
                                   vartype == VT_DATE ? 1u : 0u, std::u16string());
}

void ora_type::check_truncation() const {
    if (return_code_ == 1406 || indicator > 0 || indicator == -2) {
        throw ora_exception(
            1406, "ORA-01406: fetched column value was truncated (column " + tk_w2a(name) + ")");
    }
}

// ora_number

ora_number::ora_number(OCIParam* param) : ora_type(param) {
    precision = param_attr<sb2>(param, OCI_ATTR_PRECISION);
    scale = param_attr<sb1>(param, OCI_ATTR_SCALE);
    TK_TRACE("Prec=%d, scale=%d", precision, scale);
    vartype_ = get_refined_num_type(precision, scale);
}

std::unique_ptr<t_ftd> ora_number::get_ftd() const {
    TK_TRACEW(u"Got field '%s', type=%d, lenght=%d, nullable=%d", name.c_str(), type_code,
              static_cast<int>(data_size), b_nullable ? 1 : 0);
    const uint32_t reserved =
        vartype_ == VT_DECIMAL ? static_cast<uint32_t>(precision * 256 + scale) : 0u;
    return std::make_unique<t_ftd>(data_size, name, vartype_, !b_nullable, false, ole_variant(),
                                   reserved, std::u16string());
}

void ora_number::define(OCIStmt* stmt, uint32_t position) {
    TK_TRACE("ora_number::define(%d)", static_cast<int>(position));
    ora_engine& engine = ora_engine::instance();
    engine.check_err(ora_oci().define_by_pos(stmt, &define_, engine.err(), position, buffer_,
                                             sizeof buffer_, SQLT_STR, &indicator,
                                             &returned_length_, &return_code_, OCI_DEFAULT));
}

ole_variant ora_number::to_variant() {
    buffer_[std::size(buffer_) - 1] = u'\0';
    const std::u16string_view text(buffer_);
    TK_TRACEW(u"ora_number::to_variant(buf=%s)", buffer_);
    check_truncation();
    if (b_text) {
        return ole_variant(text);
    }
    int64_t min = 0;
    int64_t max = 0;
    if (integer_range(vartype_, min, max) || vartype_ == VT_DECIMAL) {
        // Read exactly: a value the refined kind cannot hold must not come back changed.
        ole_decimal dec;
        if (exceeds_decimal(text) || ole_failed(ole_dec_from_str(text, dec))) {
            throw tk_exception("Column '" + tk_w2a(name) + "': the number " + tk_w2a(text) +
                                   " cannot be read without losing digits",
                               0);
        }
        ole_variant value;
        if (vartype_ == VT_DECIMAL) {
            value.set_dec(dec);
            return value;
        }
        int64_t whole = 0;
        if (dec.scale == 0 && ole_succeeded(ole_dec_to_i64(dec, min, max, whole))) {
            switch (vartype_) {
                case VT_I1:
                    value.set_i1(static_cast<int8_t>(whole));
                    break;
                case VT_I2:
                    value.set_i2(static_cast<int16_t>(whole));
                    break;
                case VT_I4:
                    value.set_i4(static_cast<int32_t>(whole));
                    break;
                default:
                    value.set_i8(whole);
                    break;
            }
            return value;
        }
        // NUMBER(19) and NUMBER(20) hold integers beyond 64 bits: keep them exact.
        TK_LOGW(2, u"Number %s does not fit its column's integer type, kept as decimal", buffer_);
        value.set_dec(dec);
        return value;
    }
    return ole_variant::from_wstring(text, vartype_);
}

// ora_string

ora_string::ora_string(OCIParam* param) : ora_type(param), buffer_(data_size + 1, u'\0') {}

void ora_string::define(OCIStmt* stmt, uint32_t position) {
    TK_TRACE("ora_string::define(%d)", static_cast<int>(position));
    ora_engine& engine = ora_engine::instance();
    engine.check_err(ora_oci().define_by_pos(stmt, &define_, engine.err(), position, buffer_.data(),
                                             static_cast<sb4>(buffer_.size() * 2), type_code,
                                             &indicator, &returned_length_, &return_code_,
                                             OCI_DEFAULT));
}

ole_variant ora_string::to_variant() {
    check_truncation();
    // Only SQLT_STR ends in a terminator; the others are as long as the length received.
    std::u16string_view text =
        type_code == SQLT_STR
            ? terminated(buffer_)
            : std::u16string_view(buffer_.data(),
                                  std::min<size_t>(returned_length_ / 2, buffer_.size()));
    TK_TRACEW(u"ora_string::to_variant: %s", wide(text).c_str());
    return ole_variant(text);
}

// ora_str_repr

ora_str_repr::ora_str_repr(OCIParam* param, uint32_t buffer_bytes)
    : ora_type(param), buffer_(buffer_bytes / 2, u'\0') {}

void ora_str_repr::define(OCIStmt* stmt, uint32_t position) {
    TK_TRACE("ora_str_repr::define(%d)", static_cast<int>(position));
    ora_engine& engine = ora_engine::instance();
    // The length received does not fit 16 bits for a large buffer: the terminator ends the text.
    engine.check_err(ora_oci().define_by_pos(stmt, &define_, engine.err(), position, buffer_.data(),
                                             static_cast<sb4>(buffer_.size() * 2), SQLT_STR,
                                             &indicator, nullptr, &return_code_, OCI_DEFAULT));
}

ole_variant ora_str_repr::to_variant() {
    check_truncation();
    const std::u16string_view text = terminated(buffer_);
    TK_TRACEW(u"ora_str_repr::to_variant (buf=%s)", wide(text).c_str());
    return ole_variant(text);
}

// ora_date

ora_date::ora_date(OCIParam* param) : ora_type(param) {
    ora_engine& engine = ora_engine::instance();
    void* descriptor = nullptr;
    engine.check_err(
        ora_oci().descriptor_alloc(engine.env(), &descriptor, OCI_DTYPE_TIMESTAMP, 0, nullptr));
    descriptor_ = static_cast<OCIDateTime*>(descriptor);
}

ora_date::~ora_date() {
    if (descriptor_ != nullptr) {
        ora_oci().descriptor_free(descriptor_, OCI_DTYPE_TIMESTAMP);
    }
}

std::unique_ptr<t_ftd> ora_date::get_ftd() const {
    std::unique_ptr<t_ftd> ftd = ora_type::get_ftd();
    ftd->reserved = 1;  // written back as TIMESTAMP, which keeps the fraction
    return ftd;
}

void ora_date::define(OCIStmt* stmt, uint32_t position) {
    TK_TRACE("ora_date::define(%d)", static_cast<int>(position));
    ora_engine& engine = ora_engine::instance();
    engine.check_err(ora_oci().define_by_pos(stmt, &define_, engine.err(), position, &descriptor_,
                                             sizeof descriptor_, SQLT_TIMESTAMP, &indicator,
                                             nullptr, nullptr, OCI_DEFAULT));
}

ole_variant ora_date::to_variant() {
    TK_TRACE("ora_date::to_variant");
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    sb2 year = 0;
    ub1 month = 0;
    ub1 day = 0;
    engine.check_err(
        oci.date_time_get_date(engine.env(), engine.err(), descriptor_, &year, &month, &day));
    ub1 hour = 0;
    ub1 minute = 0;
    ub1 second = 0;
    ub4 fraction = 0;  // nanoseconds
    engine.check_err(oci.date_time_get_time(engine.env(), engine.err(), descriptor_, &hour, &minute,
                                            &second, &fraction));
    TK_TRACE("Got time: %02d:%02d:%02d.%d", hour, minute, second, static_cast<int>(fraction));
    if (year < 1) {
        // The common date holds no year before 1 (Oracle's dates reach back to 4712 BC).
        throw tk_exception("Column '" + tk_w2a(name) + "': the date of year " +
                               std::to_string(year) + " cannot be represented",
                           0);
    }
    t_systemtime time;
    time.year = static_cast<uint16_t>(year);
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    time.milliseconds = static_cast<uint16_t>(fraction / 1000000u);
    ole_variant value;
    value.set_date(time);
    return value;
}

// ora_binary

ora_binary::ora_binary(OCIParam* param) : ora_type(param), buffer_(data_size) {}

void ora_binary::define(OCIStmt* stmt, uint32_t position) {
    TK_TRACE("ora_binary::define(%d)", static_cast<int>(position));
    ora_engine& engine = ora_engine::instance();
    engine.check_err(ora_oci().define_by_pos(
        stmt, &define_, engine.err(), position, buffer_.data(), static_cast<sb4>(buffer_.size()),
        type_code, &indicator, &returned_length_, &return_code_, OCI_DEFAULT));
}

ole_variant ora_binary::to_variant() {
    TK_ASSERT(!buffer_.empty(), source_tag);
    check_truncation();
    // The bytes received, not the column's maximum: RAW(16) holding 4 bytes gives 4 bytes.
    const size_t count = std::min<size_t>(returned_length_, buffer_.size());
    return ole_variant(count, buffer_.data());
}

// ora_lob

ora_lob::ora_lob(OCIParam* param) : ora_type(param) {
    ora_engine& engine = ora_engine::instance();
    void* locator = nullptr;
    engine.check_err(ora_oci().descriptor_alloc(engine.env(), &locator, OCI_DTYPE_LOB, 0, nullptr));
    locator_ = static_cast<OCILobLocator*>(locator);
}

ora_lob::~ora_lob() {
    if (locator_ != nullptr) {
        ora_oci().descriptor_free(locator_, OCI_DTYPE_LOB);
    }
}

void ora_lob::define(OCIStmt* stmt, uint32_t position) {
    TK_TRACE("ora_lob::defind(%d)", static_cast<int>(position));
    ora_engine& engine = ora_engine::instance();
    engine.check_err(ora_oci().define_by_pos(stmt, &define_, engine.err(), position, &locator_, -1,
                                             type_code, &indicator, nullptr, nullptr, OCI_DEFAULT));
}

ole_variant ora_lob::to_variant() {
    TK_TRACE("ora_lob::to_variant");
    ole_variant value;
    read_lob(value);
    return value;
}

void ora_lob::read_lob(ole_variant& out) {
    ora_engine& engine = ora_engine::instance();
    const ora_oci_functions& oci = ora_oci();
    const bool b_clob = type_code == SQLT_CLOB;
    ub1 form = 0;
    engine.check_err(oci.lob_char_set_form(engine.env(), engine.err(), locator_, &form));
    TK_TRACE("Got charset form: %d", form);
    std::vector<unsigned char> piece(lob_piece_bytes);
    std::u16string text;
    std::vector<unsigned char> bytes;
    // Offsets and amounts count characters (UTF-16 units in this environment) for a CLOB and
    // bytes for a BLOB.
    ub4 offset = 1;
    for (;;) {
        ub4 amount = b_clob ? lob_piece_bytes / 2 : lob_piece_bytes;
        TK_TRACE("ora_lob::read_lob(%d,%d)", static_cast<int>(offset), static_cast<int>(amount));
        const sword status =
            oci.lob_read(engine.svc(), engine.err(), locator_, &amount, offset, piece.data(),
                         lob_piece_bytes, nullptr, nullptr, b_clob ? OCI_UTF16ID : 0, form);
        engine.check_err(status);
        if (status == OCI_NO_DATA || amount == 0) {
            break;
        }
        const size_t piece_bytes = b_clob ? amount * 2u : amount;
        TK_TRACE("bytes_read=%d", static_cast<int>(piece_bytes));
        if (b_clob) {
            const size_t at = text.size();
            text.resize(at + amount);
            std::memcpy(text.data() + at, piece.data(), piece_bytes);
        } else {
            bytes.insert(bytes.end(), piece.begin(), piece.begin() + piece_bytes);
        }
        offset += amount;
    }
    if (b_clob) {
        TK_TRACE("Got SQLT_CLOB!");
        out.set_wstring(text);
    } else {
        out.bytes_buffer().swap(bytes);  // an empty BLOB is an empty byte array, not NULL
    }
}

// ora_dummy

void ora_dummy::define(OCIStmt* /*stmt*/, uint32_t /*position*/) {}

ole_variant ora_dummy::to_variant() {
    return ole_variant(u"<unsupported type>");
}
