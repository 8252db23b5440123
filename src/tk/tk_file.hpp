#pragma once
// A random-access byte file addressed by 32-bit offsets. Errors are tk_exception of level 1.

#include <cstdint>
#include <string>

class tk_file {
  public:
    // Mode bits: bit 0 writable; bits 0 and 1 together create or truncate.
    static constexpr uint32_t mode_read = 0;
    static constexpr uint32_t mode_write = 1;
    static constexpr uint32_t mode_create = 3;

    // Keeps the mode and the absolute path; a file opened for reading only must exist and be
    // readable ("Bad path or busy with another process"). An empty path is an internal assertion.
    tk_file(const std::string& path, uint32_t mode);
    virtual ~tk_file();
    tk_file(const tk_file&) = delete;
    tk_file& operator=(const tk_file&) = delete;

    // Copies `length` bytes at `offset` into `destination` and returns it.
    virtual void* get_at(uint32_t offset, void* destination, uint32_t length) = 0;
    virtual uint8_t get_byte(uint32_t offset) = 0;
    virtual uint16_t get_word(uint32_t offset) = 0;   // little-endian
    virtual uint32_t get_dword(uint32_t offset) = 0;  // little-endian
    // Writes `length` bytes at `offset`, growing the file when needed.
    virtual void put_at(uint32_t offset, const void* source, uint32_t length) = 0;
    virtual uint32_t get_size() = 0;

    const std::string& path() const noexcept { return path_; }
    uint32_t mode() const noexcept { return mode_; }
    bool writable() const noexcept { return (mode_ & mode_write) != 0; }

  protected:
    uint32_t mode_;
    std::string path_;
};

// True when the file exists and opens for reading (mode 0) or reading and writing (mode 1).
// Folders are not files.
bool tk_is_file_exist(const std::string& path, int mode);
bool tk_is_file_exist(const std::u16string& path, int mode);
