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
    dbf_record(const std::vector<dbf_field_descriptor>& fds, const char* bytes,
               size_t record_length, dbf_memo_file* memo, int codepage);
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

  private:
    void fill_memo(ole_variant& value, const char* bytes, size_t width, bool b_text);

    struct layout {
        uint32_t width;
        uint32_t advance;
        VARTYPE vt;
        bool b_memo;
        std::u16string name;  // the field's name as built, restored should a caller change it
    };

    const std::vector<dbf_field_descriptor>* fds_;
    size_t record_length_;
    dbf_memo_file* memo_;
    int codepage_;
    std::vector<layout> layout_;
    std::u16string scratch_;
    std::string memo_text_;
};
