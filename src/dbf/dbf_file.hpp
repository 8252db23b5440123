#pragma once
// Read-only access to table and memo files: positioned reads at 64-bit offsets through a small
// read-ahead window, so that walking a table record by record costs one system call per window
// rather than one per record, and memory stays the same whatever the size of the table.
//
// File names of DBF tables are built in lower case; on a file system that tells letter cases
// apart, dbf_find_file looks in the folder for the entry whose name matches without regard to
// case, so that orders.dbf opens Orders.DBF.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class dbf_file {
  public:
    // Opens an existing file for reading ("Error opening file" with the system's text on failure).
    // window: bytes read ahead at once; reads of at least that size bypass the window.
    explicit dbf_file(const std::string& path, size_t window = 64 * 1024);
    ~dbf_file();
    dbf_file(const dbf_file&) = delete;
    dbf_file& operator=(const dbf_file&) = delete;

    uint64_t get_size() const noexcept { return size_; }
    const std::string& path() const noexcept { return path_; }

    // Exactly `length` bytes at `offset`; fewer bytes in the file: "Error reading from file".
    void read_at(uint64_t offset, void* dest, size_t length);
    // Up to `length` bytes at `offset`, fewer at the end of the file; returns the count.
    size_t read_some(uint64_t offset, void* dest, size_t length);
    unsigned char get_byte(uint64_t offset);
    uint32_t get_dword(uint64_t offset);  // little-endian

  private:
    size_t pread_full(uint64_t offset, void* dest, size_t length);

    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    std::vector<char> window_;
    uint64_t window_offset_ = 0;
    size_t window_length_ = 0;
};

// The path of the file that is really there: `path` itself when it exists, otherwise the entry of
// its folder whose name equals the file name without regard to case; nothing when neither exists.
std::optional<std::string> dbf_find_file(const std::string& path);

// `path` with its extension (the part after the last dot of the file name) replaced by `ext`
// (given without the dot); a name without extension gets one.
std::string dbf_replace_extension(const std::string& path, const std::string& ext);
