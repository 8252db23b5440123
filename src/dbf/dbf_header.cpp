#include "dbf/dbf_header.hpp"

#include <cstring>

#include "tk/tk_log.hpp"

namespace {
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
}  // namespace

dbf_header dbf_header::parse(const unsigned char* bytes) {
    dbf_header h;
    h.version = bytes[0];
    std::memcpy(h.last_update, bytes + 1, 3);
    h.records_count = le32(bytes + 4);
    h.header_length = le16(bytes + 8);
    h.record_length = le16(bytes + 10);
    std::memcpy(h.reserved, bytes + 12, 16);
    h.table_flags = bytes[28];
    h.language_driver_id = bytes[29];
    std::memcpy(h.reserved2, bytes + 30, 2);
    return h;
}

std::string_view dbf_field_descriptor::name_view() const noexcept {
    return std::string_view(name, strnlen(name, sizeof name));
}

void dbf_field_descriptor::assign_standard(const unsigned char* bytes) {
    const size_t n = strnlen(reinterpret_cast<const char*>(bytes), 11);
    std::memcpy(name, bytes, n);
    name[n] = '\0';
    type = bytes[11];
    length = bytes[16];
    decimals = bytes[17];
    rest[0] = bytes[18];
}

void dbf_field_descriptor::assign_level7(const unsigned char* bytes) {
    std::memcpy(name, bytes, 32);
    name[31] = '\0';
    type = bytes[32];
    length = bytes[33];
    decimals = bytes[34];
    std::memcpy(rest, bytes + 35, 13);
}

bool dbf_is_level7(uint8_t version) noexcept {
    return version == 0x04 || version == 0x8C;
}

int dbf_memo_kind(const dbf_header& header, bool log) {
    switch (header.version) {
        case 0x30:
        case 0x31:
        case 0x32: {
            if (log) {
                TK_TRACE("MEMO TYPE=Visual FoxPro 3.0");
            }
            if ((header.table_flags & 0x02) == 0) {
                if (log) {
                    TK_TRACE("MEMO TYPE=NO MEMO");
                }
                return dbf_memo_none;
            }
            return (header.table_flags & 0x04) != 0 ? dbf_memo_dct : dbf_memo_fpt_vfp;
        }
        case 0x7B:
        case 0x8B:
        case 0xCB:
        case 0xEB:
        case 0x8C:
            if (log) {
                TK_TRACE("MEMO TYPE=DBASE IV");
            }
            return dbf_memo_dbt_iv;
        case 0x83:
            if (log) {
                TK_TRACE("MEMO TYPE=OLD (FoxBASE/dBASE III)");
            }
            return dbf_memo_dbt_old;
        case 0xE5:
            if (log) {
                TK_TRACE("MEMO TYPE=SMT");
            }
            return dbf_memo_smt;
        case 0xF5:
            if (log) {
                TK_TRACE("MEMO TYPE=FPT");
            }
            return dbf_memo_fpt;
        default:
            if (log) {
                TK_TRACE("MEMO TYPE=NO MEMO");
            }
            return dbf_memo_none;
    }
}

const char* dbf_memo_extension(int memo_kind) noexcept {
    switch (memo_kind) {
        case dbf_memo_none:
            return nullptr;
        case dbf_memo_fpt:
        case dbf_memo_fpt_vfp:
            return "fpt";
        case dbf_memo_dct:
            return "dct";
        case dbf_memo_smt:
            return "smt";
        default:
            return "dbt";
    }
}
