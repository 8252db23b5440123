#include "dbf/dbf_record.hpp"

#include <cstring>

#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_exception.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// Julian day number of 0001-01-01 in the proleptic Gregorian calendar.
constexpr int32_t julian_day_one = 1721426;
// Julian day number of 1970-01-01.
constexpr int64_t julian_unix_epoch = 2440588;

uint32_t le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint32_t>(u[0]) | (static_cast<uint32_t>(u[1]) << 8) |
           (static_cast<uint32_t>(u[2]) << 16) | (static_cast<uint32_t>(u[3]) << 24);
}
uint64_t le64(const char* p) {
    return static_cast<uint64_t>(le32(p)) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}

bool is_ascii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The calendar date of a day count from 1970-01-01 (proleptic Gregorian).
void civil_from_days(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

// A Visual FoxPro date-time: Julian day number and milliseconds since midnight.
void decode_datetime(const char* bytes, ole_variant& out) {
    TK_TRACE("Processing as DATETIME");
    const auto julian = static_cast<int32_t>(le32(bytes));
    const auto milliseconds = static_cast<int32_t>(le32(bytes + 4));
    if (julian < julian_day_one) {
        out.set_empty();
        return;
    }
    int64_t seconds = (static_cast<int64_t>(milliseconds) + 1) / 1000;
    int64_t days = julian - julian_unix_epoch;
    // 23:59:59.999 rounds up to the next midnight.
    if (seconds == 86400) {
        seconds = 0;
        ++days;
    }
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civil_from_days(days, year, month, day);
    const auto hour = static_cast<int>(seconds / 3600);
    const auto minute = static_cast<int>((seconds % 3600) / 60);
    const auto second = static_cast<int>(seconds % 60);
    TK_TRACE("lDay=%d, lHour=%d, lMin=%d, lSec=%d", static_cast<int>(julian), hour, minute, second);
    if (seconds < 0 || seconds > 86400 || year > 65535) {
        TK_TRACE("Invalid DATETIME value");
        throw dbf_exception(dbf_msg_bad_format, 0);
    }
    t_systemtime st;
    st.year = static_cast<uint16_t>(year);
    st.month = static_cast<uint16_t>(month);
    st.day = static_cast<uint16_t>(day);
    st.day_of_week = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    st.hour = static_cast<uint16_t>(hour);
    st.minute = static_cast<uint16_t>(minute);
    st.second = static_cast<uint16_t>(second);
    TK_TRACE("SYSTEMTIME=%04d-%02d-%02d %02d:%02d:%02d", st.year, st.month, st.day, st.hour,
             st.minute, st.second);
    out = ole_variant(st);
}

}  // namespace

uint32_t dbf_get_size_2(const dbf_field_descriptor& fd) {
    switch (fd.type) {
        case 'B':
        case 'D':
        case 'F':
        case 'I':
        case 'L':
        case 'N':
        case 'T':
        case 'Y':
            return fd.length;
        case 'M':
            return 0;
        default:
            return fd.wide_length();
    }
}

VARTYPE dbf_get_vartype_2(const dbf_field_descriptor& fd) {
    switch (fd.type) {
        case 'C':
        case 'M':
            return VT_BSTR;
        case 'N':
            if (fd.decimals > 0) {
                return VT_DECIMAL;
            }
            if (fd.length < 3) {
                return VT_I1;
            }
            if (fd.length < 5) {
                return VT_I2;
            }
            if (fd.length < 10) {
                return VT_I4;
            }
            if (fd.length < 20) {
                return VT_I8;
            }
            return VT_R8;
        case 'F':
            return VT_R4;
        case 'D':
        case 'T':
            return VT_DATE;
        case 'I':
            return VT_I4;
        case 'Y':
            return VT_CY;
        case 'B':
            return VT_R8;
        case 'L':
            return VT_BOOL;
        case 'G':
        case 'P':
            return VT_BLOB;
        default:
            return VT_BSTR;
    }
}

uint32_t dbf_get_advance(const dbf_field_descriptor& fd) {
    return fd.type == 'M' ? fd.wide_length() : dbf_get_size_2(fd);
}

uint32_t dbf_binary_width(uint8_t type) {
    switch (type) {
        case 'I':
            return 4;
        case 'B':
        case 'T':
        case 'Y':
            return 8;
        default:
            return 0;
    }
}

void dbf_decode_field(const char* bytes, const dbf_field_descriptor& fd, uint32_t width, VARTYPE vt,
                      int codepage, ole_variant& out, std::u16string& scratch) {
    TK_TRACE("dbf_field::get_variant(%s, '%c')", fd.name, static_cast<char>(fd.type));
    switch (fd.type) {
        case 'L': {
            TK_TRACE("Processing as BOOLEAN");
            const char c = bytes[0];
            out.set_bool(c == 'T' || c == 't' || c == 'Y' || c == 'y');
            return;
        }
        case 'Y':
            TK_TRACE("Processing as CURRENCY");
            out.set_cy(ole_currency{static_cast<int64_t>(le64(bytes))});
            return;
        case 'I':
            TK_TRACE("Processing as INTEGER");
            out.set_i4(static_cast<int32_t>(le32(bytes)));
            return;
        case 'T':
            decode_datetime(bytes, out);
            return;
        case 'B': {
            TK_TRACE("Processing as DOUBLE");
            const uint64_t raw = le64(bytes);
            double value = 0;
            std::memcpy(&value, &raw, sizeof value);
            out.set_r8(value);
            return;
        }
        default:
            break;
    }
    // Text: the bytes up to the first NUL; C loses its trailing blanks, every other letter its
    // leading ones.
    std::string_view text(bytes, strnlen(bytes, width));
    if (fd.type == 'C') {
        while (!text.empty() && text.back() == ' ') {
            text.remove_suffix(1);
        }
    } else {
        while (!text.empty() && text.front() == ' ') {
            text.remove_prefix(1);
        }
    }
    if (vt == VT_BSTR) {
        dbf_decode_text(text, codepage, out.wstring_buffer());
        return;
    }
    // Numbers, dates and binary text: ASCII reads the same under every code page, so it goes to
    // the text conversion as it is; anything else is decoded first.
    if (is_ascii(text)) {
        out = ole_variant::from_string(text, vt);
    } else {
        dbf_decode_text(text, codepage, scratch);
        out = ole_variant::from_wstring(scratch, vt);
    }
}

// dbf_field

namespace {
std::u16string field_name(const dbf_field_descriptor& fd, int codepage) {
    std::u16string name;
    dbf_decode_text(fd.name_view(), codepage, name);
    return name;
}
}  // namespace

dbf_field::dbf_field(const dbf_field_descriptor& fd, int codepage)
    : udb_field(field_name(fd, codepage), dbf_get_size_2(fd), ole_variant(), false, false) {}

dbf_field::dbf_field(const char* bytes, const dbf_field_descriptor& fd, int codepage)
    : dbf_field(fd, codepage) {
    std::u16string scratch;
    dbf_decode_field(bytes, fd, dbf_get_size_2(fd), dbf_get_vartype_2(fd), codepage, *this,
                     scratch);
}

ole_variant dbf_field::get_variant(const char* bytes, const dbf_field_descriptor& fd,
                                   int codepage) {
    ole_variant value;
    std::u16string scratch;
    dbf_decode_field(bytes, fd, dbf_get_size_2(fd), dbf_get_vartype_2(fd), codepage, value,
                     scratch);
    return value;
}

// dbf_record

dbf_record::dbf_record(const std::vector<dbf_field_descriptor>& fds, const char* bytes,
                       size_t record_length, dbf_memo_file* memo, int codepage, udb_values values,
                       uint8_t version)
    : fds_(&fds), record_length_(record_length), memo_(memo), codepage_(codepage), values_(values) {
    const bool b_exact = values == udb_values::exact;
    const bool b_level7 = dbf_is_level7(version);
    const bool b_vfp = dbf_is_vfp(version);
    layout_.reserve(fds.size());
    reserve(fds.size());
    uint32_t offset = 1;
    int next_bit = 0;
    for (const auto& fd : fds) {
        layout l{dbf_get_size_2(fd),
                 dbf_get_advance(fd),
                 dbf_get_vartype_2(fd),
                 false,
                 {},
                 false,
                 {},
                 0};
        l.offset = offset;
        offset += l.advance;
        if (b_exact) {
            uint32_t reserved = 0;
            l.vt = dbf_get_vartype_exact(fd, version, reserved);
            l.b_memo = dbf_is_memo_type(fd, b_level7);
            l.width = l.b_memo ? 0 : l.width;
            l.exact.precision = static_cast<int>(reserved >> 8);
            l.exact.scale = static_cast<int>(reserved & 0xFF);
            l.exact.b_level7 = b_level7;
            if (b_vfp && fd.type == '0') {
                // The null flags: read with the other fields, never a field of their own.
                l.b_hidden = true;
                null_flags_offset_ = l.offset;
                null_flags_width_ = l.advance;
                layout_.push_back(std::move(l));
                continue;
            }
            if (b_vfp) {
                // Bits are handed out in field order: a V or Q field's length bit first, then
                // the null bit of a nullable field.
                if (fd.type == 'V' || fd.type == 'Q') {
                    l.exact.length_bit = next_bit++;
                }
                if ((fd.vfp_flags() & 0x02) != 0) {
                    l.exact.null_bit = next_bit++;
                }
            }
            l.name = field_name(fd, 0);
            if (l.b_memo) {
                push_back(new udb_field(l.name, 0, ole_variant(), false, false));
            } else {
                TK_ASSERT(l.width != 0, "dbf_rec.cpp");
                push_back(new udb_field(l.name, l.width, ole_variant(), false, false));
            }
            layout_.push_back(std::move(l));
            continue;
        }
        if ((l.vt == VT_BSTR || l.vt == VT_BLOB) && l.width == 0) {
            l.b_memo = true;
            l.name = field_name(fd, 0);
            push_back(new udb_field(l.name, 0, ole_variant(), false, false));
        } else {
            // A fixed-size field whose length byte is 0.
            TK_ASSERT(l.width != 0, "dbf_rec.cpp");
            push_back(new dbf_field(fd, codepage));
            l.name = back()->name;
        }
        layout_.push_back(std::move(l));
    }
    refill(bytes);
}

bool dbf_record::is_null_flag_set(const char* bytes, int bit) const {
    const auto byte = static_cast<uint32_t>(bit) / 8;
    if (bit < 0 || null_flags_offset_ == 0 || byte >= null_flags_width_ ||
        null_flags_offset_ + byte >= record_length_) {
        return false;
    }
    return (static_cast<unsigned char>(bytes[null_flags_offset_ + byte]) & (1u << (bit % 8))) != 0;
}

dbf_record::~dbf_record() = default;

void dbf_record::refill(const char* bytes) {
    TK_TRACE("dbf_record::ctor");
    TK_TRACE("%.*s", static_cast<int>(record_length_ < 20 ? record_length_ : 20), bytes);
    is_deleted = bytes[0] == '*';
    TK_TRACE("Got deleted flag: %d", is_deleted ? 1 : 0);
    unreadable_memos.clear();
    const char* p = bytes + 1;
    const auto& fds = *fds_;
    const bool b_exact = values_ == udb_values::exact;
    if (b_exact) {
        notes.clear();
    }
    size_t index = 0;
    for (size_t i = 0; i < layout_.size(); ++i) {
        const layout& l = layout_[i];
        if (l.b_hidden) {
            p += l.advance;
            continue;
        }
        TK_TRACE("field #%d: type=%08X, size=%d", static_cast<int>(i), static_cast<unsigned>(l.vt),
                 static_cast<int>(l.width));
        // The field objects belong to the record; a caller that took some away broke it.
        TK_ASSERT(index < size() && (*this)[index] != nullptr, "dbf_rec.cpp");
        udb_field& field = *(*this)[index++];
        // A record handed out before may have been renamed or resized by its user; every
        // record read starts from the table's own field.
        if (field.name != l.name) {
            field.name = l.name;
        }
        field.size = l.b_memo ? 0 : l.width;
        if (b_exact && is_null_flag_set(bytes, l.exact.null_bit)) {
            field.set_null();
        } else if (l.b_memo) {
            // A memo that cannot be read (its block past the end of the memo file) costs only
            // its own value: it is empty, and the caller learns which field it was.
            try {
                fill_memo(field, p, l.advance, l.vt == VT_BSTR);
            } catch (const dbf_exception& e) {
                if (e.level != 0) {
                    throw;
                }
                field.set_empty();
                unreadable_memos.push_back(index - 1);
            }
        } else if (b_exact) {
            uint32_t width = l.width;
            if (is_null_flag_set(bytes, l.exact.length_bit)) {
                // The field is shorter than its width: its last byte says how long.
                const auto length = static_cast<unsigned char>(p[width - 1]);
                width = length < width ? length : width - 1;
            }
            dbf_decode_exact(p, fds[i], width, l.exact, codepage_, field, number_text_, notes);
        } else {
            dbf_decode_field(p, fds[i], l.width, l.vt, codepage_, field, scratch_);
        }
        p += l.advance;
    }
    TK_ASSERT(index == size(), "dbf_rec.cpp");
}

void dbf_record::fill_memo(ole_variant& value, const char* bytes, size_t width, bool b_text) {
    TK_TRACE("dbf_record::get_memo_field");
    if (memo_ == nullptr) {
        TK_TRACE("No MEMO file!");
        value.set_empty();
        return;
    }
    const uint32_t block = memo_->get_block_number(bytes, width);
    TK_TRACE("Got memo block number: %d", static_cast<int>(block));
    if (block == 0) {
        value.set_empty();
        return;
    }
    memo_->read_memo(block, memo_text_);
    if (!b_text && values_ == udb_values::exact) {
        // Binary memos arrive byte for byte.
        value.set_bytes(reinterpret_cast<const unsigned char*>(memo_text_.data()),
                        memo_text_.size());
        return;
    }
    if (b_text) {
        std::u16string& text = value.wstring_buffer();
        dbf_decode_text(memo_text_, codepage_, text);
        TK_TRACEW(u"Got MEMO: %s", text.c_str());
    } else {
        value.attach_string(memo_text_);
    }
}

std::unique_ptr<udb_field> dbf_record::get_memo_field(const std::u16string& name, const char* bytes,
                                                      size_t width, bool b_text) {
    auto field = std::make_unique<udb_field>(name, 0, ole_variant(), false, false);
    fill_memo(*field, bytes, width, b_text);
    return field;
}
