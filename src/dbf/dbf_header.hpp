#pragma once
// The fixed parts of a .dbf file: the 32-byte header and the field descriptors, in the standard
// 32-byte layout and the 48-byte layout of dBASE level 7. In memory every descriptor has the
// level-7 shape. The version byte selects the descriptor layout and the kind of memo file.

#include <cstddef>
#include <cstdint>
#include <string_view>

struct dbf_header {
    static constexpr size_t disk_size = 32;

    uint8_t version = 0;
    uint8_t last_update[3] = {};
    uint32_t records_count = 0;  // unsigned on disk; a negative value as int32 is rejected
    uint16_t header_length = 0;  // offset of the first record
    uint16_t record_length = 0;  // including the deleted flag
    uint8_t reserved[16] = {};
    uint8_t table_flags = 0;         // Visual FoxPro: 0x02 has memo, 0x04 database container
    uint8_t language_driver_id = 0;  // the table's code-page mark
    uint8_t reserved2[2] = {};

    // Decodes the first 32 bytes of a file (all integers little-endian).
    static dbf_header parse(const unsigned char* bytes);
};

struct dbf_field_descriptor {
    static constexpr size_t standard_disk_size = 32;
    static constexpr size_t level7_disk_size = 48;

    char name[32] = {};  // NUL-terminated, at most 31 characters
    uint8_t type = 0;    // field type letter
    uint8_t length = 0;
    uint8_t decimals = 0;
    uint8_t rest[13] = {};  // level 7: index flag, next auto-increment value, reserved;
                            // standard layout: rest[0] holds the field flags (byte 18)

    // Length and decimal count read together as one little-endian 16-bit value: the length of
    // character-like fields longer than 255.
    uint32_t wide_length() const noexcept { return length + 256u * decimals; }
    std::string_view name_view() const noexcept;
    // Visual FoxPro field flags: 0x01 hidden system field, 0x02 nullable, 0x04 binary.
    uint8_t vfp_flags() const noexcept { return rest[0]; }

    // A standard 32-byte descriptor: name (to its first NUL, at most 11 bytes), type letter
    // (byte 11), length (16), decimal count (17) and flags (18) replace those of this
    // descriptor; its other bytes stay as they are.
    void assign_standard(const unsigned char* bytes);
    // A level-7 48-byte descriptor, copied whole (the name is cut at 31 characters).
    void assign_level7(const unsigned char* bytes);
};
static_assert(sizeof(dbf_field_descriptor) == 48);

// Memo kinds: which memo file a table has and which reader reads it.
enum : int {
    dbf_memo_none = 0,
    dbf_memo_dbt_old = 1,
    dbf_memo_dbt_iv = 3,
    dbf_memo_fpt = 4,
    dbf_memo_fpt_vfp = 8,
    dbf_memo_dct = 12,
    dbf_memo_smt = 16,
};

// True for the level-7 descriptor layout (version bytes 0x04 and 0x8C).
bool dbf_is_level7(uint8_t version) noexcept;
// The memo kind of a header. When log is set, writes the "MEMO TYPE=..." lines.
int dbf_memo_kind(const dbf_header& header, bool log);
// The extension (without dot) of the memo file of a memo kind; null for kind 0.
const char* dbf_memo_extension(int memo_kind) noexcept;
