#pragma once
// Readers of the memo files that keep the text of memo fields outside the records: dBASE III /
// FoxBASE .dbt (old_memo_file), dBASE IV .dbt (dbt_memo_file), FoxPro and Visual FoxPro .fpt and
// the .dct of a database container (fpt_memo_file), and .smt (smt_memo_file). The record holds a
// block reference; get_block_number turns the field's bytes into a block number (0: no memo) and
// read_memo reads the memo stored at that block. Memo files are only read.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "dbf/dbf_file.hpp"

class dbf_memo_file {
  public:
    // Opens the memo file; each reader reads and checks its header.
    explicit dbf_memo_file(const std::string& path, int open_flag = 0);
    virtual ~dbf_memo_file() = default;
    dbf_memo_file(const dbf_memo_file&) = delete;
    dbf_memo_file& operator=(const dbf_memo_file&) = delete;

    // field: the memo field's bytes in the record, width: how many bytes the field has there.
    // The base reads the first 10 bytes as a decimal number.
    virtual uint32_t get_block_number(const char* field, size_t width);
    // Replaces `out` with the memo text of block `block` (its capacity is reused).
    virtual void read_memo(uint32_t block, std::string& out) = 0;
    // Memo files are not written: logs the call and does nothing else.
    virtual void write_memo(uint32_t block, const std::string& text);

    uint64_t get_size() const noexcept { return file.get_size(); }

    // Length-prefixed memos are returned with every byte, zero bytes included (exact values);
    // otherwise they end at their first zero byte.
    bool b_whole = false;

  protected:
    // Length-prefixed memo at p = block x block_length: the length at p+4, the text at p+8.
    // big_endian selects the FoxPro length field; otherwise the dBASE IV one (which counts the
    // 8 bytes of the block header).
    void read_length_prefixed(const char* unit, uint32_t block, uint32_t block_length,
                              bool big_endian, std::string& out);
    // Terminator-ended memo from p up to the first `terminator` byte or the end of the file.
    void read_terminated(uint64_t position, char terminator, std::string& out);

    dbf_file file;
};

class old_memo_file : public dbf_memo_file {
  public:
    explicit old_memo_file(const std::string& path, int open_flag = 0);
    void read_memo(uint32_t block, std::string& out) override;
    // Writing is not supported: an internal error.
    void write_memo(uint32_t block, const std::string& text) override;

    static constexpr uint32_t block_length = 512;
};

class dbt_memo_file : public dbf_memo_file {
  public:
    explicit dbt_memo_file(const std::string& path, int open_flag = 0);
    void read_memo(uint32_t block, std::string& out) override;
    uint32_t get_block_length() const noexcept { return block_length; }

  private:
    uint32_t block_length = 0;
};

class fpt_memo_file : public dbf_memo_file {
  public:
    // memo_kind 8 and 12 (Visual FoxPro) keep binary block references in the record.
    fpt_memo_file(const std::string& path, int memo_kind, int open_flag = 0);
    uint32_t get_block_number(const char* field, size_t width) override;
    void read_memo(uint32_t block, std::string& out) override;
    uint32_t get_block_length() const noexcept { return block_length; }
    uint32_t get_next_free_block() const noexcept { return next_free_block; }

  private:
    int memo_kind = 0;
    uint32_t next_free_block = 0;
    uint32_t block_length = 0;
};

class smt_memo_file : public dbf_memo_file {
  public:
    explicit smt_memo_file(const std::string& path, int open_flag = 0);
    uint32_t get_block_number(const char* field, size_t width) override;
    void read_memo(uint32_t block, std::string& out) override;
    uint32_t get_block_length() const noexcept { return block_length; }

    static constexpr size_t header_size = 512;

  private:
    unsigned char header[header_size] = {};
    uint32_t block_length = 0;
};

// The reader of a memo kind for the memo file at `path`.
std::unique_ptr<dbf_memo_file> dbf_open_memo_file(int memo_kind, const std::string& path);
