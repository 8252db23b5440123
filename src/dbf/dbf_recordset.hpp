#pragma once
// One DBF table opened for reading: the header and field descriptors are read and checked when
// it is constructed, the memo file is opened beside it, and get_item reads the record under the
// cursor with one positioned read at its 64-bit offset. Only the header, the descriptors and the
// current record are held; the record object and its fields are refilled in place by every
// get_item, so memory does not grow with the number of records.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_file.hpp"
#include "dbf/dbf_header.hpp"
#include "dbf/dbf_memo_file.hpp"
#include "dbf/dbf_record.hpp"
#include "udb/udb_recordset.hpp"

class dbf_recordset : public udb_recordset {
  public:
    // file_name: the full file name of the table (lower case is fine: the file really there is
    // found without regard to case). open_mode 1 or 8 reads the table; any other mode only opens
    // the file. user_language_driver_id: 0, or the id that replaces the header's. values: how
    // field values are decoded (exact values also read the memo file whenever the table has
    // memo fields, and leave Visual FoxPro's null flags out of the schema).
    dbf_recordset(const std::u16string& file_name, uint32_t open_mode,
                  uint8_t user_language_driver_id, udb_values values = udb_values::classic);
    ~dbf_recordset() override;

    // Not supported: DBF tables are only read (internal error).
    void append_record(udb_record& record) override;
    // The record under the cursor, owned by the recordset and valid until the next get_item.
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void prev() override;
    void first() override;

    const dbf_header& header() const noexcept { return header_; }
    const std::vector<dbf_field_descriptor>& descriptors() const noexcept { return fds_; }
    int get_memo_kind() const noexcept { return memo_kind_; }
    const dbf_memo_file* memo_file() const noexcept { return memo_.get(); }
    uint32_t current_record() const noexcept { return current_; }
    // The record count of the header; more than records_cnt when the file was cut short and
    // only its complete records are read.
    uint32_t records_announced() const noexcept { return records_announced_; }
    // The code page of the (possibly user-replaced) language driver id; 0 for the ANSI one.
    int get_codepage() const;
    // Exact values: where the code page came from (".cpg file 'CP1251'", ...); empty otherwise.
    const std::string& codepage_reason() const noexcept { return codepage_reason_; }
    // The path of the file really opened.
    const std::string& file_path() const noexcept { return path_; }

  private:
    void check_header();
    void init_schema();
    void fd7_post_process(const dbf_field_descriptor& fd);
    void check_record_layout();
    void init_memo_file();
    void init_indexes();

    std::string path_;
    std::unique_ptr<dbf_file> file_;
    dbf_header header_;
    uint32_t current_ = 0;
    uint32_t records_announced_ = 0;
    int memo_kind_ = 0;
    int codepage_ = 0;  // the one text is decoded with
    std::unique_ptr<dbf_memo_file> memo_;
    std::vector<dbf_field_descriptor> fds_;
    std::unique_ptr<dbf_record> record_;
    std::vector<char> buffer_;  // the bytes of the current record
    udb_values values_ = udb_values::classic;
    std::string codepage_reason_;
};
