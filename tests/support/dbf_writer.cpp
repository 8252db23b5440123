#include "support/dbf_writer.hpp"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace {

void put_le(std::string& out, size_t at, uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) {
        out[at + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
    }
}

void put_be(std::string& out, size_t at, uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) {
        out[at + k] = static_cast<char>((value >> (8 * (bytes - 1 - k))) & 0xFF);
    }
}

void append_le(std::string& out, uint64_t value, int bytes) {
    out.resize(out.size() + bytes);
    put_le(out, out.size() - bytes, value, bytes);
}

void append_be(std::string& out, uint64_t value, int bytes) {
    out.resize(out.size() + bytes);
    put_be(out, out.size() - bytes, value, bytes);
}

[[noreturn]] void misuse(const std::string& what) {
    throw std::invalid_argument("dbf_writer: " + what);
}

bool is_fixed_width_letter(char type) {
    return std::strchr("BDFILNTY", type) != nullptr && type != '\0';
}

// Binary fields whose "empty" is zero bytes rather than blanks.
bool is_binary_letter(char type, bool vfp) {
    switch (type) {
        case 'I':
        case 'Y':
        case 'T':
        case '+':
        case '@':
        case 'O':
        case '0':
            return true;
        case 'B':
            return vfp;
        default:
            return false;
    }
}

std::string format_number(double value, int decimals) {
    char buf[400];
    int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    if (n < 0 || n >= static_cast<int>(sizeof buf)) {
        misuse("number too long");
    }
    return std::string(buf, static_cast<size_t>(n));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Cells

dbf_cell dbf_cell::raw(std::string_view bytes) {
    dbf_cell c(kind::raw);
    c.bytes = bytes;
    return c;
}

dbf_cell dbf_cell::text(std::string_view text) {
    dbf_cell c(kind::text);
    c.bytes = text;
    return c;
}

dbf_cell dbf_cell::right(std::string_view text) {
    dbf_cell c(kind::right);
    c.bytes = text;
    return c;
}

dbf_cell dbf_cell::number(double value) {
    dbf_cell c(kind::number);
    c.d = value;
    return c;
}

dbf_cell dbf_cell::integer(int64_t value) {
    dbf_cell c(kind::integer);
    c.i = value;
    return c;
}

dbf_cell dbf_cell::floating(double value) {
    dbf_cell c(kind::floating);
    c.d = value;
    return c;
}

dbf_cell dbf_cell::currency(int64_t ten_thousandths) {
    dbf_cell c(kind::currency);
    c.i = ten_thousandths;
    return c;
}

dbf_cell dbf_cell::date(int year, int month, int day) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
    dbf_cell c(kind::date);
    c.bytes = buf;
    c.i = dbf_julian_day(year, month, day);
    return c;
}

dbf_cell dbf_cell::datetime(int year, int month, int day, int hour, int minute, int second,
                            int millisecond) {
    return julian(dbf_julian_day(year, month, day),
                  ((hour * 60 + minute) * 60 + second) * 1000 + millisecond);
}

dbf_cell dbf_cell::julian(int32_t day, int32_t milliseconds) {
    dbf_cell c(kind::julian);
    c.i = day;
    c.d = milliseconds;
    return c;
}

dbf_cell dbf_cell::logical_char(char ch) {
    dbf_cell c(kind::logical);
    c.bytes.assign(1, ch);
    return c;
}

dbf_cell dbf_cell::memo(std::string_view bytes) {
    dbf_cell c(kind::memo);
    c.bytes = bytes;
    return c;
}

dbf_cell dbf_cell::memo_typed(std::string_view bytes, uint32_t type) {
    dbf_cell c(kind::memo);
    c.bytes = bytes;
    c.fpt_type = type;
    return c;
}

dbf_cell dbf_cell::memo_block(uint32_t block) {
    dbf_cell c(kind::memo_block);
    c.i = block;
    return c;
}

int32_t dbf_julian_day(int year, int month, int day) {
    // Days from 0001-01-01 in the proleptic Gregorian calendar (civil-from-days inverse).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days_from_epoch_0000_03_01 = static_cast<int64_t>(era) * 146097 + doe;
    // 0001-01-01 is day 306 counted from 0000-03-01.
    return static_cast<int32_t>(days_from_epoch_0000_03_01 - 306 + 1721426);
}

// ---------------------------------------------------------------------------------------------
// The memo file under construction

struct dbf_writer::memo_store {
    dbf_memo_format format;
    uint32_t block;
    std::string data;   // bytes not yet flushed
    uint64_t base = 0;  // bytes already flushed (streaming)

    memo_store(dbf_memo_format f, uint32_t block_size) : format(f), block(block_size) {
        if (format == dbf_memo_format::none) {
            return;
        }
        if (block == 0) {
            misuse("memo block size 0 (use damage().memo_block_size_field)");
        }
        // dBASE IV keeps its header in the first block (at least 24 bytes); the other formats
        // have a 512-byte header and start their memos at the first block after it.
        uint64_t header = format == dbf_memo_format::dbt4 ? std::max<uint32_t>(block, 24) : 512;
        header = (header + block - 1) / block * block;
        data.assign(header, '\0');
        switch (format) {
            case dbf_memo_format::dbt3:
                data[16] = 0x03;
                break;
            case dbf_memo_format::dbt4:
                data[18] = 0x02;
                data[19] = 0x01;
                put_le(data, 20, block, 2);
                break;
            case dbf_memo_format::fpt:
            case dbf_memo_format::dct:
                put_be(data, 6, block, 2);
                break;
            case dbf_memo_format::smt:
                put_le(data, 4, block, 4);
                break;
            default:
                break;
        }
    }

    uint64_t size() const { return base + data.size(); }
    uint32_t next_free() const { return static_cast<uint32_t>(size() / block); }

    void pad() {
        const uint64_t s = size();
        const uint64_t rounded = (s + block - 1) / block * block;
        data.append(static_cast<size_t>(rounded - s), '\0');
    }

    uint32_t store(std::string_view bytes, uint32_t fpt_type) {
        const uint32_t at = next_free();
        switch (format) {
            case dbf_memo_format::dbt3:
                data.append(bytes);
                data.append("\x1A\x1A", 2);
                break;
            case dbf_memo_format::dbt4:
                data.append("\xFF\xFF\x08\x00", 4);
                append_le(data, bytes.size() + 8, 4);
                data.append(bytes);
                break;
            case dbf_memo_format::fpt:
            case dbf_memo_format::dct:
                append_be(data, fpt_type, 4);
                append_be(data, bytes.size(), 4);
                data.append(bytes);
                break;
            case dbf_memo_format::smt:
                data.append(bytes);
                data.push_back('\0');
                break;
            default:
                misuse("memo value in a table without a memo file");
        }
        pad();
        return at;
    }

    // The header words that depend on the finished file, as they go at offset 0.
    void patch_header(std::string& header, const dbf_damage& damage) const {
        const uint32_t next = damage.memo_next_free.value_or(next_free());
        switch (format) {
            case dbf_memo_format::dbt3:
            case dbf_memo_format::dbt4:
            case dbf_memo_format::smt:
                put_le(header, 0, next, 4);
                break;
            case dbf_memo_format::fpt:
            case dbf_memo_format::dct:
                put_be(header, 0, next, 4);
                break;
            default:
                break;
        }
        if (damage.memo_block_size_field) {
            const uint32_t b = *damage.memo_block_size_field;
            switch (format) {
                case dbf_memo_format::dbt4:
                    put_le(header, 20, b, 2);
                    break;
                case dbf_memo_format::fpt:
                case dbf_memo_format::dct:
                    put_be(header, 6, b, 2);
                    break;
                case dbf_memo_format::smt:
                    put_le(header, 4, b, 4);
                    break;
                default:
                    break;
            }
        }
    }
};

// ---------------------------------------------------------------------------------------------
// Layout

dbf_writer::dbf_writer(uint8_t version) : version_(version) {}

dbf_writer& dbf_writer::version(uint8_t v) {
    version_ = v;
    return *this;
}

dbf_writer& dbf_writer::codepage(uint8_t language_driver_id) {
    codepage_ = language_driver_id;
    return *this;
}

dbf_writer& dbf_writer::table_flags(uint8_t flags) {
    table_flags_ = flags;
    return *this;
}

dbf_writer& dbf_writer::language_driver_name(std::string_view name) {
    driver_name_ = name;
    return *this;
}

dbf_writer& dbf_writer::memo_format(dbf_memo_format format) {
    memo_format_ = format;
    return *this;
}

dbf_writer& dbf_writer::memo_block_size(uint32_t size) {
    block_size_ = size;
    return *this;
}

dbf_writer& dbf_writer::null_flags(bool on) {
    null_flags_ = on;
    return *this;
}

dbf_writer& dbf_writer::field(std::string name, char type, uint16_t length, uint8_t decimals,
                              uint8_t flags) {
    if (length > 255 && (decimals != 0 || is_fixed_width_letter(type))) {
        misuse("length above 255 only for text-like fields without decimals: " + name);
    }
    fields_.push_back(dbf_field_def{std::move(name), type, length, decimals, flags});
    return *this;
}

dbf_writer& dbf_writer::add_record(std::vector<dbf_cell> cells, bool deleted) {
    return add_record_with_flag(std::move(cells), deleted ? '*' : ' ');
}

dbf_writer& dbf_writer::add_record_with_flag(std::vector<dbf_cell> cells, char flag) {
    if (cells.size() > fields_.size()) {
        misuse("more cells than fields");
    }
    records_.push_back(record{std::move(cells), flag});
    return *this;
}

uint16_t dbf_writer::field_width(const dbf_field_def& f) {
    if (is_fixed_width_letter(f.type)) {
        return f.length & 0xFF;
    }
    return f.length > 255 ? f.length : static_cast<uint16_t>(f.length + 256 * f.decimals);
}

bool dbf_writer::wants_null_flags() const {
    if (!is_vfp()) {
        return false;
    }
    if (null_flags_) {
        return *null_flags_;
    }
    return std::any_of(fields_.begin(), fields_.end(), [](const dbf_field_def& f) {
        return (f.flags & dbf_vfp_flag::nullable) || f.type == 'V' || f.type == 'Q';
    });
}

std::vector<dbf_field_def> dbf_writer::all_fields() const {
    std::vector<dbf_field_def> all = fields_;
    if (wants_null_flags()) {
        // One bit per V/Q field (set when the value is shorter than the field), then one per
        // nullable field, in field order.
        int bits = 0;
        for (const auto& f : fields_) {
            bits += (f.type == 'V' || f.type == 'Q') ? 1 : 0;
            bits += (f.flags & dbf_vfp_flag::nullable) ? 1 : 0;
        }
        dbf_field_def nf;
        nf.name = "_NullFlags";
        nf.type = '0';
        nf.length = static_cast<uint16_t>(std::max(1, (bits + 7) / 8));
        nf.flags = dbf_vfp_flag::system | dbf_vfp_flag::binary;
        all.push_back(nf);
    }
    return all;
}

uint8_t dbf_writer::effective_table_flags() const {
    if (table_flags_) {
        return *table_flags_;
    }
    if (!is_vfp()) {
        return 0;
    }
    uint8_t flags = 0;
    const bool memo_fields = std::any_of(fields_.begin(), fields_.end(), [](const auto& f) {
        return f.type == 'M' || f.type == 'G' || f.type == 'P' || f.type == 'W';
    });
    if (memo_fields || memo_format_ == dbf_memo_format::fpt ||
        memo_format_ == dbf_memo_format::dct) {
        flags |= 0x02;
    }
    if (memo_format_ == dbf_memo_format::dct) {
        flags |= 0x04;
    }
    return flags;
}

dbf_memo_format dbf_writer::effective_memo_format() const {
    if (memo_format_ != dbf_memo_format::automatic) {
        return memo_format_;
    }
    if (is_vfp()) {
        const uint8_t flags = effective_table_flags();
        if (!(flags & 0x02)) {
            return dbf_memo_format::none;
        }
        return (flags & 0x04) ? dbf_memo_format::dct : dbf_memo_format::fpt;
    }
    switch (version_) {
        case 0x7B:
        case 0x8B:
        case 0xCB:
        case 0xEB:
        case 0x8C:
            return dbf_memo_format::dbt4;
        case 0x83:
            return dbf_memo_format::dbt3;
        case 0xE5:
            return dbf_memo_format::smt;
        case 0xF5:
            return dbf_memo_format::fpt;
        default:
            return dbf_memo_format::none;
    }
}

uint32_t dbf_writer::effective_block_size() const {
    if (block_size_) {
        return *block_size_;
    }
    switch (effective_memo_format()) {
        case dbf_memo_format::fpt:
        case dbf_memo_format::dct:
            return 64;
        case dbf_memo_format::smt:
            return 32;
        default:
            return 512;
    }
}

std::string dbf_writer::memo_extension(dbf_memo_format format) {
    switch (format) {
        case dbf_memo_format::dbt3:
        case dbf_memo_format::dbt4:
            return "dbt";
        case dbf_memo_format::fpt:
            return "fpt";
        case dbf_memo_format::dct:
            return "dct";
        case dbf_memo_format::smt:
            return "smt";
        default:
            return "";
    }
}

uint16_t dbf_writer::header_length() const {
    const size_t n = all_fields().size();
    size_t len = is_level7() ? 68 + 48 * n : 32 + 32 * n;
    len += damage_.no_terminator ? 0 : 1;
    if (is_vfp()) {
        len += 263;
    }
    if (len > 0xFFFF) {
        misuse("too many fields");
    }
    return static_cast<uint16_t>(len);
}

uint16_t dbf_writer::record_length() const {
    size_t len = 1;
    for (const auto& f : all_fields()) {
        len += field_width(f);
    }
    if (len > 0xFFFF) {
        misuse("record too long");
    }
    return static_cast<uint16_t>(len);
}

// ---------------------------------------------------------------------------------------------
// Encoding

std::string dbf_writer::encode_header(uint32_t count) const {
    const auto fields = all_fields();
    const uint16_t hlen = header_length();
    std::string h(hlen, '\0');
    h[0] = static_cast<char>(version_);
    h[1] = 124;  // last update 2024-01-15
    h[2] = 1;
    h[3] = 15;
    put_le(h, 4, damage_.record_count.value_or(count), 4);
    put_le(h, 8, damage_.header_length.value_or(hlen), 2);
    put_le(h, 10, damage_.record_length.value_or(record_length()), 2);
    h[28] = static_cast<char>(effective_table_flags());
    h[29] = static_cast<char>(codepage_);

    size_t at = 32;
    if (is_level7()) {
        std::memcpy(&h[32], driver_name_.data(), std::min<size_t>(driver_name_.size(), 32));
        at = 68;
    }
    uint32_t displacement = 1;
    for (const auto& f : fields) {
        const uint16_t width = field_width(f);
        const uint8_t len_byte = static_cast<uint8_t>(f.length & 0xFF);
        const uint8_t dec_byte = f.length > 255 ? static_cast<uint8_t>(f.length >> 8) : f.decimals;
        if (is_level7()) {
            std::memcpy(&h[at], f.name.data(), std::min<size_t>(f.name.size(), 31));
            h[at + 32] = f.type;
            h[at + 33] = static_cast<char>(len_byte);
            h[at + 34] = static_cast<char>(dec_byte);
            at += 48;
        } else {
            std::memcpy(&h[at], f.name.data(), std::min<size_t>(f.name.size(), 11));
            h[at + 11] = f.type;
            put_le(h, at + 12, displacement, 4);
            h[at + 16] = static_cast<char>(len_byte);
            h[at + 17] = static_cast<char>(dec_byte);
            h[at + 18] = static_cast<char>(f.flags);
            at += 32;
        }
        displacement += width;
    }
    if (!damage_.no_terminator) {
        h[at] = static_cast<char>(damage_.terminator.value_or(0x0D));
    }
    // Visual FoxPro: the 263-byte database container backlink stays zero (free table).
    return h;
}

void dbf_writer::encode_record(const std::vector<dbf_cell>& cells, char flag, memo_store& memo,
                               std::string& out) const {
    const auto fields = all_fields();
    const bool vfp = is_vfp();
    const bool nulls = wants_null_flags();
    out.assign(record_length(), ' ');
    out[0] = flag;

    std::vector<int> null_bits;  // bits of _NullFlags to set
    int next_bit = 0;
    size_t pos = 1;
    for (size_t k = 0; k < fields.size(); ++k) {
        const dbf_field_def& f = fields[k];
        const size_t width = field_width(f);
        const bool var_field = nulls && (f.type == 'V' || f.type == 'Q');
        const int var_bit = var_field ? next_bit++ : -1;
        const int null_bit = (nulls && (f.flags & dbf_vfp_flag::nullable)) ? next_bit++ : -1;
        char* dst = out.data() + pos;
        pos += width;

        if (nulls && k + 1 == fields.size() && f.name == "_NullFlags") {
            std::memset(dst, 0, width);
            for (int b : null_bits) {
                dst[b / 8] = static_cast<char>(dst[b / 8] | (1 << (b % 8)));
            }
            continue;
        }
        const dbf_cell empty = dbf_cell::blank();
        const dbf_cell& c = k < cells.size() ? cells[k] : empty;
        auto place = [&](std::string_view bytes, bool right_aligned, char pad = ' ') {
            if (bytes.size() > width) {
                misuse("value too long for field " + f.name);
            }
            std::memset(dst, pad, width);
            std::memcpy(dst + (right_aligned ? width - bytes.size() : 0), bytes.data(),
                        bytes.size());
        };
        auto place_le = [&](uint64_t value, size_t bytes) {
            if (bytes > width) {
                misuse("binary value does not fit field " + f.name);
            }
            std::string tmp(bytes, '\0');
            put_le(tmp, 0, value, static_cast<int>(bytes));
            place(tmp, false, '\0');
        };
        auto place_reference = [&](uint32_t block, uint32_t length) {
            if (memo.format == dbf_memo_format::smt) {
                if (width < 10) {
                    misuse("SMT memo field shorter than 10: " + f.name);
                }
                std::string tmp(10, '\0');
                put_le(tmp, 0, 1, 2);
                put_le(tmp, 2, length, 4);
                put_le(tmp, 6, block, 4);
                place(tmp, false);
            } else if (width == 4) {
                place_le(block, 4);
            } else {
                place(std::to_string(block), true);
            }
        };

        switch (c.what) {
            case dbf_cell::kind::blank:
            case dbf_cell::kind::null:
                if (is_binary_letter(f.type, vfp) ||
                    (width == 4 && std::strchr("MWGPQ", f.type) != nullptr)) {
                    std::memset(dst, 0, width);
                } else {
                    std::memset(dst, ' ', width);
                }
                if (c.what == dbf_cell::kind::null) {
                    if (null_bit < 0) {
                        misuse("null in a field that is not nullable: " + f.name);
                    }
                    null_bits.push_back(null_bit);
                }
                break;
            case dbf_cell::kind::raw:
                place(c.bytes, false);
                break;
            case dbf_cell::kind::text:
                if (var_field && c.bytes.size() < width) {
                    if (c.bytes.size() > 255) {
                        misuse("varying value too long: " + f.name);
                    }
                    place(c.bytes, false, '\0');
                    dst[width - 1] = static_cast<char>(c.bytes.size());
                    null_bits.push_back(var_bit);
                } else {
                    place(c.bytes, false);
                }
                break;
            case dbf_cell::kind::right:
                place(c.bytes, true);
                break;
            case dbf_cell::kind::number:
                place(format_number(c.d, f.decimals), true);
                break;
            case dbf_cell::kind::integer:
                if (f.type == 'I' || f.type == '+') {
                    place_le(static_cast<uint32_t>(static_cast<int32_t>(c.i)), 4);
                } else if (f.type == 'B' && vfp) {
                    place_le(std::bit_cast<uint64_t>(static_cast<double>(c.i)), 8);
                } else {
                    place(std::to_string(c.i), true);
                }
                break;
            case dbf_cell::kind::floating:
                if (f.type == 'O') {
                    // dBASE 7 stores doubles so that they sort as bytes: big-endian, the sign
                    // bit flipped for positives, every bit inverted for negatives.
                    uint64_t bits = std::bit_cast<uint64_t>(c.d);
                    bits = (bits >> 63) ? ~bits : (bits | (uint64_t{1} << 63));
                    std::string tmp(8, '\0');
                    put_be(tmp, 0, bits, 8);
                    place(tmp, false, '\0');
                } else if (f.type == 'N' || f.type == 'F') {
                    place(format_number(c.d, f.decimals), true);
                } else {
                    place_le(std::bit_cast<uint64_t>(c.d), 8);
                }
                break;
            case dbf_cell::kind::currency:
                place_le(static_cast<uint64_t>(c.i), 8);
                break;
            case dbf_cell::kind::date:
                if (f.type == 'T') {
                    std::string tmp(8, '\0');
                    put_le(tmp, 0, static_cast<uint32_t>(c.i), 4);
                    place(tmp, false, '\0');
                } else {
                    place(c.bytes, false);
                }
                break;
            case dbf_cell::kind::julian: {
                std::string tmp(8, '\0');
                put_le(tmp, 0, static_cast<uint32_t>(static_cast<int32_t>(c.i)), 4);
                put_le(tmp, 4, static_cast<uint32_t>(static_cast<int32_t>(c.d)), 4);
                place(tmp, false, '\0');
                break;
            }
            case dbf_cell::kind::logical:
                place(c.bytes, false);
                break;
            case dbf_cell::kind::memo: {
                const uint32_t block = memo.store(c.bytes, c.fpt_type);
                place_reference(block, static_cast<uint32_t>(c.bytes.size()));
                break;
            }
            case dbf_cell::kind::memo_block:
                place_reference(static_cast<uint32_t>(c.i), 0);
                break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Output

dbf_image dbf_writer::build() const {
    const dbf_memo_format mf = effective_memo_format();
    memo_store memo(mf, mf == dbf_memo_format::none ? 512 : effective_block_size());

    dbf_image image;
    image.dbf = encode_header(static_cast<uint32_t>(records_.size()));
    std::string rec;
    for (const auto& r : records_) {
        encode_record(r.cells, r.flag, memo, rec);
        image.dbf += rec;
    }
    if (!damage_.no_eof_marker) {
        image.dbf.push_back('\x1A');
    }
    image.dbf += damage_.trailing;
    if (damage_.dbf_size) {
        image.dbf.resize(std::min(image.dbf.size(), *damage_.dbf_size));
    }

    if (mf != dbf_memo_format::none && !damage_.no_memo_file) {
        image.memo = std::move(memo.data);
        memo.data.clear();
        memo.base = image.memo.size();
        memo.patch_header(image.memo, damage_);
        if (damage_.memo_size) {
            image.memo.resize(*damage_.memo_size, '\0');
        }
        image.memo_extension = memo_extension(mf);
    }
    return image;
}

namespace {

std::filesystem::path memo_path_for(const std::filesystem::path& dbf, const std::string& ext) {
    std::string e = ext;
    const std::string table_ext = dbf.extension().string();
    const bool upper =
        table_ext.size() > 1 && std::isupper(static_cast<unsigned char>(table_ext[1]));
    if (upper) {
        for (char& ch : e) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
    }
    std::filesystem::path p = dbf;
    p.replace_extension("." + e);
    return p;
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("dbf_writer: cannot write " + path.string());
    }
}

}  // namespace

dbf_written dbf_writer::write(const std::filesystem::path& folder,
                              const std::string& file_name) const {
    std::filesystem::create_directories(folder);
    const dbf_image image = build();
    dbf_written paths;
    paths.dbf = folder / file_name;
    write_file(paths.dbf, image.dbf);
    if (!image.memo_extension.empty()) {
        paths.memo = memo_path_for(paths.dbf, image.memo_extension);
        write_file(paths.memo, image.memo);
    }
    return paths;
}

// ---------------------------------------------------------------------------------------------
// Streaming

dbf_writer::stream::stream(const dbf_writer& layout, const std::filesystem::path& folder,
                           const std::string& file_name, uint32_t count)
    : layout_(layout), count_(count) {
    std::filesystem::create_directories(folder);
    paths_.dbf = folder / file_name;
    dbf_ = std::fopen(paths_.dbf.c_str(), "wb");
    if (!dbf_) {
        throw std::runtime_error("dbf_writer: cannot write " + paths_.dbf.string());
    }
    const std::string header = layout_.encode_header(count);
    std::fwrite(header.data(), 1, header.size(), dbf_);
    const dbf_memo_format mf = layout_.effective_memo_format();
    if (mf != dbf_memo_format::none) {
        paths_.memo = memo_path_for(paths_.dbf, memo_extension(mf));
        memo_ = std::fopen(paths_.memo.c_str(), "wb");
        if (!memo_) {
            throw std::runtime_error("dbf_writer: cannot write " + paths_.memo.string());
        }
    }
}

dbf_writer::stream::~stream() {
    if (dbf_) {
        std::fclose(dbf_);
    }
    if (memo_) {
        std::fclose(memo_);
    }
}

void dbf_writer::stream::add(const std::vector<dbf_cell>& cells, bool deleted) {
    if (added_ == count_) {
        misuse("more records than announced");
    }
    const dbf_memo_format mf = layout_.effective_memo_format();
    memo_store memo(mf, mf == dbf_memo_format::none ? 512 : layout_.effective_block_size());
    if (memo_end_ != 0) {
        memo.data.clear();  // the header was written with the first record
        memo.base = memo_end_;
    }
    layout_.encode_record(cells, deleted ? '*' : ' ', memo, record_);
    std::fwrite(record_.data(), 1, record_.size(), dbf_);
    if (memo_ && !memo.data.empty()) {
        std::fwrite(memo.data.data(), 1, memo.data.size(), memo_);
    }
    memo_end_ = memo.size();
    ++added_;
}

dbf_written dbf_writer::stream::finish() {
    if (added_ != count_) {
        misuse("fewer records than announced");
    }
    std::fputc(0x1A, dbf_);
    if (std::fclose(dbf_) != 0) {
        dbf_ = nullptr;
        throw std::runtime_error("dbf_writer: cannot write " + paths_.dbf.string());
    }
    dbf_ = nullptr;
    if (memo_) {
        const dbf_memo_format mf = layout_.effective_memo_format();
        memo_store memo(mf, layout_.effective_block_size());
        if (memo_end_ == 0) {  // no record was added: write the header alone
            std::fwrite(memo.data.data(), 1, memo.data.size(), memo_);
            memo_end_ = memo.data.size();
        }
        std::string head(8, '\0');
        memo.data.clear();
        memo.base = memo_end_;
        memo.patch_header(head, dbf_damage{});
        std::fseek(memo_, 0, SEEK_SET);
        std::fwrite(head.data(), 1, 4, memo_);
        if (std::fclose(memo_) != 0) {
            memo_ = nullptr;
            throw std::runtime_error("dbf_writer: cannot write " + paths_.memo.string());
        }
        memo_ = nullptr;
    }
    return paths_;
}
