#pragma once
// Decoding the bytes of one DBF record into a udb_record: a dbf_field per ordinary field, a plain
// udb_field per memo field whose text comes from the memo file. The record of a recordset is
// built once and then refilled in place for every record read, reusing its field objects and
// their text buffers.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_header.hpp"
#include "dbf/dbf_memo_file.hpp"
#include "udb/ole_variant.hpp"
#include "udb/udb_record.hpp"
#include "udb/udb_values.hpp"

// Bytes the field occupies in the record (0 for memo fields, which still advance the record
// position by their wide length).
uint32_t dbf_get_size_2(const dbf_field_descriptor& fd);
// The VARTYPE a field's values get.
VARTYPE dbf_get_vartype_2(const dbf_field_descriptor& fd);
// How far the field moves the record position: its width, or the wide length of a memo field.
uint32_t dbf_get_advance(const dbf_field_descriptor& fd);
// The bytes a binary field's value is made of (I: 4; B, T, Y: 8); 0 for every other letter.
uint32_t dbf_binary_width(uint8_t type);

// Decodes one field's bytes into `out`. `scratch` is a reusable buffer for text that is
// converted further.
void dbf_decode_field(const char* bytes, const dbf_field_descriptor& fd, uint32_t width, VARTYPE vt,
                      int codepage, ole_variant& out, std::u16string& scratch);

// What exact decoding needs to know of a field beyond its descriptor.
struct dbf_exact_field {
    int precision = 0;  // N, F: the NUMBER(precision, scale) the column is
    int scale = 0;
    int null_bit = -1;    // Visual FoxPro: the field's bit in _NullFlags, -1 for none
    int length_bit = -1;  // V, Q: the bit telling the field's last byte holds its length
    bool b_level7 = false;
};

// True for Visual FoxPro version bytes (0x30, 0x31, 0x32).
bool dbf_is_vfp(uint8_t version) noexcept;
// Exact values: true for a field whose value lives in the memo file (M, G, P, W, and B outside
// Visual FoxPro).
bool dbf_is_memo_type(const dbf_field_descriptor& fd, bool level7);
// Exact values: the VARTYPE of a field of a table of this version byte; `reserved` receives
// NUMBER precision x 256 + scale for numbers, 2 for dates, 3 for date-times with milliseconds.
VARTYPE dbf_get_vartype_exact(const dbf_field_descriptor& fd, uint8_t version, uint32_t& reserved);
// Exact values: the size of the field's column (0 for memo fields).
uint32_t dbf_get_size_exact(const dbf_field_descriptor& fd, bool level7);
// Exact values: decodes one field's bytes. A value that cannot be carried raises a level-0
// dbf_exception naming the field; a value written as NULL with a reason appends the reason to
// `notes`.
void dbf_decode_exact(const char* bytes, const dbf_field_descriptor& fd, uint32_t width,
                      const dbf_exact_field& ef, int codepage, ole_variant& out,
                      std::string& scratch, std::vector<std::string>& notes);

class dbf_field : public udb_field {
  public:
    // A field of the given bytes.
    dbf_field(const char* bytes, const dbf_field_descriptor& fd, int codepage);
    // A field whose value is filled later (by refill).
    dbf_field(const dbf_field_descriptor& fd, int codepage);

    // The value of a field's bytes.
    static ole_variant get_variant(const char* bytes, const dbf_field_descriptor& fd, int codepage);
};

class dbf_record : public udb_record {
  public:
    // record_length: the bytes of `bytes` (the header's record length); the descriptors and the
    // memo reader must outlive the record. The bytes are not kept.
    // With exact values, `version` is the table's version byte: it decides the dBASE 7 binary
    // layouts and the Visual FoxPro null flags, whose hidden field gets no field object.
    dbf_record(const std::vector<dbf_field_descriptor>& fds, const char* bytes,
               size_t record_length, dbf_memo_file* memo, int codepage,
               udb_values values = udb_values::classic, uint8_t version = 0);
    ~dbf_record() override;
    dbf_record(const dbf_record&) = delete;
    dbf_record& operator=(const dbf_record&) = delete;

    // Decodes the next record's bytes into the same field objects.
    void refill(const char* bytes);

    // A new memo field for a field's bytes (text flag: the value is text).
    std::unique_ptr<udb_field> get_memo_field(const std::u16string& field_name, const char* bytes,
                                              size_t width, bool b_text);

    bool is_deleted = false;
    // Indexes of the memo fields of this record whose value could not be read and is empty.
    std::vector<size_t> unreadable_memos;
    // Exact values: why a value of the record last read was written as NULL (an impossible
    // date, an unknown logical byte); empty for most records.
    std::vector<std::string> notes;

  private:
    void fill_memo(ole_variant& value, const char* bytes, size_t width, bool b_text);

    struct layout {
        uint32_t width;
        uint32_t advance;
        VARTYPE vt;
        bool b_memo;
        std::u16string name;    // the field's name as built, restored should a caller change it
        bool b_hidden = false;  // exact values: the null flags, not a field of the record
        dbf_exact_field exact;
        uint32_t offset = 0;  // from the record's first byte
    };
    bool is_null_flag_set(const char* bytes, int bit) const;

    const std::vector<dbf_field_descriptor>* fds_;
    size_t record_length_;
    dbf_memo_file* memo_;
    int codepage_;
    std::vector<layout> layout_;
    udb_values values_ = udb_values::classic;
    uint32_t null_flags_offset_ = 0;  // exact values: where _NullFlags lies; 0 for none
    uint32_t null_flags_width_ = 0;
    std::string number_text_;
    std::u16string scratch_;
    std::string memo_text_;
};
