#pragma once
// A read-only file addressed by 64-bit offsets, for tables and memo files too large for memory.
// Reads are positioned (pread), so the object keeps no file pointer.

#include <cstdint>
#include <string>

class tk_huge_file {
  public:
    // "Error opening file" when the file cannot be opened for reading or is a folder.
    explicit tk_huge_file(const std::string& path);
    ~tk_huge_file();
    tk_huge_file(const tk_huge_file&) = delete;
    tk_huge_file& operator=(const tk_huge_file&) = delete;

    // Reads exactly `length` bytes: tk_exception_ex on a system failure, "Error reading from
    // file" when the file ends first.
    void read_at(uint64_t offset, void* destination, uint32_t length);
    uint8_t get_byte(uint64_t offset);
    uint32_t get_dword(uint64_t offset);  // little-endian
    uint64_t get_size();                  // tk_exception_ex on failure

  private:
    int fd_ = -1;
};
