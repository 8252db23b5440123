#pragma once
// The whole file in memory: read at construction, written back by flush (and by the destructor
// of a writable file). The file itself is not kept open in between.

#include <vector>

#include "tk/tk_file.hpp"

class tk_memory_file final : public tk_file {
  public:
    tk_memory_file(const std::string& path, uint32_t mode);
    // Flushes a writable file. A failure there cannot be reported from a destructor: it is
    // logged; call flush() first to see it as an exception.
    ~tk_memory_file() override;

    // A pointer to `length` bytes at `offset` inside the buffer, valid until the size changes.
    const uint8_t* get_at(uint32_t offset, uint32_t length);

    void* get_at(uint32_t offset, void* destination, uint32_t length) override;
    uint8_t get_byte(uint32_t offset) override;
    uint16_t get_word(uint32_t offset) override;
    uint32_t get_dword(uint32_t offset) override;
    void put_at(uint32_t offset, const void* source, uint32_t length) override;
    uint32_t get_size() override { return size_; }

    // Growing fills the new bytes with zeros; shrinking only lowers the size.
    void set_size(uint32_t n);
    // Writes the whole content back ("Error opening file", "Cannot write into file"). The file
    // must be writable (internal assertion).
    void flush();

  private:
    void initialize();
    void check_range(uint32_t offset, uint32_t length) const;

    std::vector<uint8_t> data_;  // at least size_ + 1 bytes
    uint32_t size_ = 0;
};
