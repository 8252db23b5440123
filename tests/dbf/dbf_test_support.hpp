#pragma once
// Helpers shared by the DBF reader tests: a scratch folder per test, byte building for hand-made
// files, and the message (and level) a call fails with.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "tk/tk_exception.hpp"
#include "tk/tk_test_folder.hpp"

// A scratch folder that also writes hand-made files into itself.
class dbf_test_folder : public tk_test_folder {
  public:
    std::string write(const std::string& name, const std::string& bytes) const {
        tk_test_folder::write(file(name), bytes);
        return file(name);
    }
};

inline std::string dbf_le16(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string dbf_le32(uint32_t v) {
    return dbf_le16(v & 0xFFFF) + dbf_le16(v >> 16);
}
inline std::string dbf_be16(uint32_t v) {
    return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}
inline std::string dbf_be32(uint32_t v) {
    return dbf_be16(v >> 16) + dbf_be16(v & 0xFFFF);
}
inline std::string dbf_pad(std::string bytes, size_t size, char fill = '\0') {
    bytes.resize(size, fill);
    return bytes;
}
// A standard header of a dBASE III table with `count` records, and one 32-byte descriptor.
inline std::string dbf_header_bytes(uint32_t count, uint16_t header_length,
                                    uint16_t record_length) {
    return std::string(1, '\x03') + "\x01\x01\x01" + dbf_le32(count) + dbf_le16(header_length) +
           dbf_le16(record_length) + std::string(20, '\0');
}
inline std::string dbf_descriptor_bytes(const std::string& name, char type, uint8_t length,
                                        uint8_t decimals = 0, uint32_t displacement = 0) {
    return dbf_pad(name, 11) + std::string(1, type) + dbf_le32(displacement) +
           std::string(1, static_cast<char>(length)) + std::string(1, static_cast<char>(decimals)) +
           std::string(14, '\0');
}

// Exception text and level of a call, or "<no exception>" and -1.
template <class F>
std::pair<std::string, int> dbf_error_of(F&& f) {
    try {
        f();
    } catch (const tk_exception& e) {
        return {e.message, e.level};
    }
    return {"<no exception>", -1};
}
template <class F>
std::string dbf_message_of(F&& f) {
    return dbf_error_of(std::forward<F>(f)).first;
}
