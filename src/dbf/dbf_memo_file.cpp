#include "dbf/dbf_memo_file.hpp"

#include <cstring>

#include "dbf/dbf_exception.hpp"
#include "dbf/dbf_header.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

namespace {

// Memo reads are scattered over the file and mostly short; a small window is enough.
constexpr size_t memo_window = 8 * 1024;

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t be32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

bool is_scan_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

dbf_memo_file::dbf_memo_file(const std::string& path, int /*open_flag*/) : file(path, memo_window) {
    TK_TRACE("dbf_memo_file::ctor");
}

uint32_t dbf_memo_file::get_block_number(const char* field, size_t width) {
    TK_ASSERT(field != nullptr, "dbf_memo.cpp");
    // A decimal number as a formatted "%d" scan reads it: blanks skipped, an optional sign, then
    // digits up to the first character that is not one. Only the first 10 bytes take part.
    const size_t n = width < 10 ? width : 10;
    size_t i = 0;
    while (i < n && is_scan_space(field[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    int64_t value = 0;
    size_t digits = 0;
    while (i < n && field[i] >= '0' && field[i] <= '9') {
        value = value * 10 + (field[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0) {
        TK_TRACE("Invalid MEMO block!");
        return 0;
    }
    // The scan stores an int: wider values keep their low 32 bits.
    return static_cast<uint32_t>(static_cast<uint64_t>(negative ? -value : value));
}

void dbf_memo_file::write_memo(uint32_t block, const std::string& text) {
    TK_TRACE("dbf_memo_file::write_memo(%d,%s)", static_cast<int>(block), text.c_str());
}

void dbf_memo_file::read_length_prefixed(const char* unit, uint32_t block, uint32_t block_length,
                                         bool big_endian, std::string& out) {
    TK_TRACE("%s::read_memo(%d)", unit, static_cast<int>(block));
    out.clear();
    const uint64_t p = static_cast<uint64_t>(block) * block_length;
    TK_TRACE("Reading MEMO at position=%lld", static_cast<long long>(p + 4));
    const uint64_t size = file.get_size();
    if (p + 4 >= size) {
        TK_TRACE("Reading MEMO out of range");
        throw dbf_exception(dbf_msg_memo_read_failed, 0);
    }
    unsigned char raw[4];
    file.read_at(p + 4, raw, 4);
    int64_t length = 0;
    if (big_endian) {
        length = be32(raw);
        TK_TRACE("memo_len=%d", static_cast<int>(length));
    } else {
        length = static_cast<int32_t>(le32(raw) - 8u);
        TK_TRACE("MEMO length=%d", static_cast<int>(length));
    }
    if (length < 0) {
        TK_TRACE("MEMO has invalid size");
        return;
    }
    if (p + 8 + static_cast<uint64_t>(length) > size) {
        TK_TRACE("MEMO reaches past the end of the file");
        throw dbf_exception(dbf_msg_memo_read_failed, 0);
    }
    if (length == 0) {
        TK_TRACE("Got empty MEMO");
        return;
    }
    out.resize(static_cast<size_t>(length));
    file.read_at(p + 8, out.data(), out.size());
    // The memo is taken as a NUL-terminated string, unless it is to be read whole.
    if (const size_t nul = out.find('\0'); !b_whole && nul != std::string::npos) {
        out.resize(nul);
    }
}

void dbf_memo_file::read_terminated(uint64_t position, char terminator, std::string& out) {
    TK_TRACE("Reading MEMO at position=%lld", static_cast<long long>(position));
    if (position >= file.get_size()) {
        TK_LOG(3, "Reading MEMO out of range");
        throw dbf_exception(dbf_msg_memo_read_failed, 0);
    }
    out.clear();
    char chunk[512];
    uint64_t at = position;
    for (;;) {
        const size_t n = file.read_some(at, chunk, sizeof chunk);
        if (n == 0) {
            return;  // end of the file
        }
        const void* end = std::memchr(chunk, terminator, n);
        if (end != nullptr) {
            out.append(chunk, static_cast<size_t>(static_cast<const char*>(end) - chunk));
            return;
        }
        out.append(chunk, n);
        at += n;
    }
}

// dBASE III / FoxBASE .dbt

old_memo_file::old_memo_file(const std::string& path, int open_flag)
    : dbf_memo_file(path, open_flag) {
    TK_TRACE("old_memo_file::ctor");
    const uint32_t next_block = file.get_dword(0);
    TK_TRACE("Next block=%d", static_cast<int>(next_block));
    if (next_block == 0) {
        throw dbf_exception(dbf_msg_memo_read_failed);
    }
}

void old_memo_file::read_memo(uint32_t block, std::string& out) {
    TK_TRACE("old_memo_file::read_memo(%d)", static_cast<int>(block));
    read_terminated(static_cast<uint64_t>(block) * block_length, '\x1A', out);
}

void old_memo_file::write_memo(uint32_t block, const std::string& text) {
    TK_TRACE("old_memo_file::write_memo(%d,%s)", static_cast<int>(block), text.c_str());
    TK_FAIL("dbf_memo.cpp");
}

// dBASE IV .dbt

dbt_memo_file::dbt_memo_file(const std::string& path, int open_flag)
    : dbf_memo_file(path, open_flag) {
    TK_TRACE("dbt_memo_file::ctor");
    if (file.get_size() < 24) {
        throw dbf_exception(dbf_msg_memo_corrupted);
    }
    unsigned char raw[24];
    file.read_at(0, raw, sizeof raw);
    block_length = static_cast<uint32_t>(raw[20] | (raw[21] << 8));
    if (block_length == 0) {
        throw dbf_exception(dbf_msg_memo_corrupted);
    }
    TK_TRACE("DBT block size=%d", static_cast<int>(block_length));
}

void dbt_memo_file::read_memo(uint32_t block, std::string& out) {
    read_length_prefixed("dbt_memo_file", block, block_length, false, out);
}

// FoxPro / Visual FoxPro .fpt and .dct

fpt_memo_file::fpt_memo_file(const std::string& path, int kind, int open_flag)
    : dbf_memo_file(path, open_flag), memo_kind(kind) {
    TK_TRACE("fpt_memo_file::ctor");
    if (file.get_size() < 8) {
        throw dbf_exception(dbf_msg_memo_corrupted);
    }
    unsigned char raw[8];
    file.read_at(0, raw, sizeof raw);
    next_free_block = be32(raw);
    block_length = static_cast<uint32_t>((raw[6] << 8) | raw[7]);
    if (block_length == 0) {
        throw dbf_exception(dbf_msg_memo_corrupted);
    }
    TK_TRACE("FPT block size=%d", static_cast<int>(block_length));
}

uint32_t fpt_memo_file::get_block_number(const char* field, size_t width) {
    if (memo_kind != dbf_memo_fpt_vfp && memo_kind != dbf_memo_dct) {
        return dbf_memo_file::get_block_number(field, width);
    }
    TK_ASSERT(field != nullptr, "dbf_memo.cpp");
    // Visual FoxPro keeps the block as a 4-byte binary number; a narrower field cannot hold one.
    if (width < 4) {
        throw dbf_exception(dbf_msg_memo_read_failed, 0);
    }
    return le32(reinterpret_cast<const unsigned char*>(field));
}

void fpt_memo_file::read_memo(uint32_t block, std::string& out) {
    read_length_prefixed("fpt_memo_file", block, block_length, true, out);
    TK_TRACE("fpt_memo_file::read_memo - END");
}

// .smt

smt_memo_file::smt_memo_file(const std::string& path, int open_flag)
    : dbf_memo_file(path, open_flag) {
    TK_TRACE("smt_memo_file::ctor");
    if (file.get_size() < header_size) {
        throw dbf_exception(dbf_msg_memo_corrupted);
    }
    file.read_at(0, header, header_size);
    block_length = le32(header + 4);
}

uint32_t smt_memo_file::get_block_number(const char* field, size_t width) {
    TK_ASSERT(field != nullptr, "dbf_memo.cpp");
    if (width < 10) {
        throw dbf_exception(dbf_msg_memo_read_failed, 0);
    }
    bool blank = true;
    for (size_t i = 0; i < 10; ++i) {
        blank = blank && field[i] == ' ';
    }
    if (blank) {
        TK_TRACE("No MEMO block!");
        return 0;
    }
    return le32(reinterpret_cast<const unsigned char*>(field) + 6);
}

void smt_memo_file::read_memo(uint32_t block, std::string& out) {
    TK_TRACE("smt_memo_file::read_memo(%d)", static_cast<int>(block));
    read_terminated(static_cast<uint64_t>(block) * block_length, '\0', out);
}

std::unique_ptr<dbf_memo_file> dbf_open_memo_file(int memo_kind, const std::string& path) {
    switch (memo_kind) {
        case dbf_memo_dbt_iv:
            return std::make_unique<dbt_memo_file>(path);
        case dbf_memo_fpt:
        case dbf_memo_fpt_vfp:
        case dbf_memo_dct:
            return std::make_unique<fpt_memo_file>(path, memo_kind);
        case dbf_memo_smt:
            return std::make_unique<smt_memo_file>(path);
        default:
            return std::make_unique<old_memo_file>(path);
    }
}
