#pragma once
// A DBF writer for tests and benchmarks only (the product never writes DBF files). It builds a
// table of any version byte - dBASE III/IV/7, FoxBASE, FoxPro 2.x, Visual FoxPro, SMT - with its
// memo file (.dbt old and dBASE IV style, .fpt, .dct, .smt), and can damage what it writes on
// request. The result goes into a folder for the reader, or stays in memory (fuzzer seeds).
//
//     dbf_writer w(dbf_ver::foxpro2_memo);
//     w.codepage(0x65).field("NAME", 'C', 20).field("NOTE", 'M', 10);
//     w.add_record({dbf_cell::text("Ivan"), dbf_cell::memo("long text")});
//     w.write(folder, "people.dbf");   // people.dbf + people.fpt
//
// Record widths follow the reader's width rule: the length byte alone for B D F I L N T Y, the
// wide length (length + 256 x decimals) for every other letter, memo fields included.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Version bytes of the layouts the writer knows by name (any other byte may be passed too).
struct dbf_ver {
    static constexpr uint8_t dbase3 = 0x03;
    static constexpr uint8_t dbase7 = 0x04;
    static constexpr uint8_t vfp = 0x30;
    static constexpr uint8_t vfp_autoinc = 0x31;
    static constexpr uint8_t vfp_varchar = 0x32;
    static constexpr uint8_t dbase3_memo = 0x83;  // also FoxBASE+ with memo
    static constexpr uint8_t dbase4_memo = 0x8B;
    static constexpr uint8_t dbase7_memo = 0x8C;
    static constexpr uint8_t smt_memo = 0xE5;
    static constexpr uint8_t foxpro2_memo = 0xF5;
    static constexpr uint8_t foxbase = 0xFB;
};

// Memo file formats. `automatic` derives the format from the version byte and table flags the
// way the reader chooses its memo file.
enum class dbf_memo_format { automatic, none, dbt3, dbt4, fpt, dct, smt };

// Visual FoxPro field flags (descriptor byte 18).
struct dbf_vfp_flag {
    static constexpr uint8_t system = 0x01;
    static constexpr uint8_t nullable = 0x02;
    static constexpr uint8_t binary = 0x04;
};

struct dbf_field_def {
    std::string name;  // up to 11 bytes (31 for dBASE 7); longer names are cut
    char type = 'C';
    uint16_t length = 0;  // above 255 for text-like letters: stored in the decimals byte too
    uint8_t decimals = 0;
    uint8_t flags = 0;  // Visual FoxPro flags byte
};

// The content of one field of one record.
class dbf_cell {
  public:
    enum class kind {
        blank,       // the field filled with blanks
        raw,         // exact bytes, blank-padded on the right
        text,        // left-aligned, blank-padded (V in VFP: length byte when shorter)
        right,       // right-aligned text (numbers as the user typed them)
        number,      // N/F: formatted with the field's decimals, right-aligned
        integer,     // N: digits; I and +: 4 bytes little-endian
        floating,    // B: 8-byte little-endian double; O: dBASE 7 sortable double
        currency,    // Y: 8-byte little-endian count of 1/10000
        date,        // D: YYYYMMDD
        julian,      // T: Julian day + milliseconds since midnight
        logical,     // L: one character
        memo,        // stored in the memo file, the reference written in the field
        memo_block,  // only a reference (which may point anywhere)
        null         // Visual FoxPro null: _NullFlags bit set, field blank
    };

    static dbf_cell blank() { return dbf_cell(kind::blank); }
    static dbf_cell raw(std::string_view bytes);
    static dbf_cell text(std::string_view text);
    static dbf_cell right(std::string_view text);
    static dbf_cell number(double value);
    static dbf_cell integer(int64_t value);
    static dbf_cell floating(double value);
    static dbf_cell currency(int64_t ten_thousandths);
    static dbf_cell date(int year, int month, int day);
    static dbf_cell datetime(int year, int month, int day, int hour, int minute, int second,
                             int millisecond = 0);
    static dbf_cell julian(int32_t day, int32_t milliseconds);
    static dbf_cell logical(bool value) { return logical_char(value ? 'T' : 'F'); }
    static dbf_cell logical_char(char c);
    static dbf_cell memo(std::string_view bytes);
    // A memo stored with an explicit FoxPro block type (0 picture, 1 text, 2 object).
    static dbf_cell memo_typed(std::string_view bytes, uint32_t fpt_type);
    static dbf_cell memo_block(uint32_t block);
    static dbf_cell null() { return dbf_cell(kind::null); }

    kind what = kind::blank;
    std::string bytes;
    int64_t i = 0;
    double d = 0;
    uint32_t fpt_type = 1;

  private:
    explicit dbf_cell(kind k) : what(k) {}
};

// The Julian day number of a proleptic Gregorian date (0001-01-01 is 1721426).
int32_t dbf_julian_day(int year, int month, int day);

// Bytes of a written table: the .dbf and the memo file (empty extension when there is none).
struct dbf_image {
    std::string dbf;
    std::string memo;
    std::string memo_extension;  // "dbt", "fpt", "dct", "smt" or ""
};

struct dbf_written {
    std::filesystem::path dbf;
    std::filesystem::path memo;  // empty when no memo file was written
};

// Ways to damage a table on purpose. Every member left unset keeps the correct value.
struct dbf_damage {
    std::optional<uint32_t> record_count;   // header bytes 4-7
    std::optional<uint16_t> header_length;  // header bytes 8-9 (records still follow the
                                            // real descriptor area)
    std::optional<uint16_t> record_length;  // header bytes 10-11 (records keep their size)
    std::optional<uint8_t> terminator;      // written instead of 0x0D
    bool no_terminator = false;             // no terminator byte at all
    std::optional<size_t> dbf_size;         // the .dbf cut to this many bytes
    bool no_eof_marker = false;             // no 0x1A after the last record
    std::string trailing;                   // bytes appended after the records
    bool no_memo_file = false;              // the memo file is not written
    std::optional<size_t> memo_size;        // the memo file cut (or zero-extended) to this size
    std::optional<uint32_t> memo_block_size_field;  // block size written in the memo header
    std::optional<uint32_t> memo_next_free;         // next-free-block word of the memo header
};

class dbf_writer {
  public:
    explicit dbf_writer(uint8_t version = dbf_ver::dbase3);

    dbf_writer& version(uint8_t v);
    dbf_writer& codepage(uint8_t language_driver_id);
    // Visual FoxPro table flags (byte 28); by default 0x02 when the table has a memo file.
    dbf_writer& table_flags(uint8_t flags);
    // dBASE 7 language driver name (header bytes 32-63).
    dbf_writer& language_driver_name(std::string_view name);
    dbf_writer& memo_format(dbf_memo_format format);
    dbf_writer& memo_block_size(uint32_t size);
    // Visual FoxPro: add the hidden _NullFlags field (default: when a field is nullable or V/Q).
    dbf_writer& null_flags(bool on);

    dbf_writer& field(std::string name, char type, uint16_t length, uint8_t decimals = 0,
                      uint8_t flags = 0);

    // One record; missing trailing cells are blank. The flag byte is '*' when deleted.
    dbf_writer& add_record(std::vector<dbf_cell> cells, bool deleted = false);
    dbf_writer& add_record(std::initializer_list<dbf_cell> cells, bool deleted = false) {
        return add_record(std::vector<dbf_cell>(cells), deleted);
    }
    // A record whose flag byte is any byte.
    dbf_writer& add_record_with_flag(std::vector<dbf_cell> cells, char flag);

    dbf_damage& damage() { return damage_; }

    // The bytes of the table and its memo file.
    dbf_image build() const;
    // Writes folder/file_name and the memo file beside it; the memo extension takes the case of
    // the table's extension (ORDERS.DBF -> ORDERS.FPT).
    dbf_written write(const std::filesystem::path& folder, const std::string& file_name) const;

    // Writes records straight to files without keeping them: for tables too big to hold. The
    // header's record count is `count`; add exactly that many records, then finish().
    class stream {
      public:
        stream(const dbf_writer& layout, const std::filesystem::path& folder,
               const std::string& file_name, uint32_t count);
        ~stream();
        stream(const stream&) = delete;
        stream& operator=(const stream&) = delete;
        void add(const std::vector<dbf_cell>& cells, bool deleted = false);
        dbf_written finish();

      private:
        const dbf_writer& layout_;
        dbf_written paths_;
        std::FILE* dbf_ = nullptr;
        std::FILE* memo_ = nullptr;
        std::string record_;
        std::string memo_bytes_;
        uint64_t memo_end_ = 0;
        uint32_t added_ = 0;
        uint32_t count_ = 0;
    };

    // Layout facts, also useful to tests.
    bool is_level7() const { return version_ == 0x04 || version_ == 0x8C; }
    bool is_vfp() const { return version_ == 0x30 || version_ == 0x31 || version_ == 0x32; }
    dbf_memo_format effective_memo_format() const;
    uint32_t effective_block_size() const;
    uint16_t header_length() const;  // the correct one, before damage
    uint16_t record_length() const;  // the correct one, before damage
    static uint16_t field_width(const dbf_field_def& f);
    static std::string memo_extension(dbf_memo_format format);

  private:
    struct record {
        std::vector<dbf_cell> cells;
        char flag;
    };
    struct memo_store;  // the memo file while it is being built

    std::vector<dbf_field_def> all_fields() const;  // with _NullFlags when present
    bool wants_null_flags() const;
    uint8_t effective_table_flags() const;
    std::string encode_header(uint32_t count) const;
    void encode_record(const std::vector<dbf_cell>& cells, char flag, memo_store& memo,
                       std::string& out) const;

    uint8_t version_;
    uint8_t codepage_ = 0;
    std::optional<uint8_t> table_flags_;
    std::string driver_name_ = "DBWINUS0";
    dbf_memo_format memo_format_ = dbf_memo_format::automatic;
    std::optional<uint32_t> block_size_;
    std::optional<bool> null_flags_;
    std::vector<dbf_field_def> fields_;
    std::vector<record> records_;
    dbf_damage damage_;
};
