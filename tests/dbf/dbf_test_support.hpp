#pragma once
// Helpers shared by the DBF reader tests: a scratch folder per test, a log file whose lines the
// test can look for, and little-endian byte building for hand-made files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

class dbf_test_folder {
  public:
    dbf_test_folder() {
        const char* root = std::getenv("BRIXEL_TEST_TMP");
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("dbf.") + info->test_suite_name() + "." + info->name() +
                           "." + std::to_string(getpid());
        for (char& c : name) {
            c = c == '/' ? '_' : c;
        }
        path_ = (root != nullptr && *root != 0 ? std::filesystem::path(root)
                                               : std::filesystem::temp_directory_path()) /
                name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~dbf_test_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path_ / name, std::ios::binary | std::ios::trunc) << bytes;
        return file(name);
    }

  private:
    std::filesystem::path path_;
};

// Sends every trace line of the test to a file of its own.
class dbf_log_capture {
  public:
    explicit dbf_log_capture(const dbf_test_folder& folder) : path_(folder.file("trace.log")) {
        tk_log::get().reset();
        tk_log::get().set_path(path_);
    }
    ~dbf_log_capture() { tk_log::get().reset(); }

    std::string text() const {
        std::ostringstream content;
        content << std::ifstream(path_, std::ios::binary).rdbuf();
        return "\r\n" + content.str();
    }
    // How often a whole line equal to `line` was written, and where it first was.
    int count(const std::string& line) const {
        const std::string all = text();
        int n = 0;
        for (size_t at = all.find("\r\n" + line + "\r\n"); at != std::string::npos;
             at = all.find("\r\n" + line + "\r\n", at + 2)) {
            ++n;
        }
        return n;
    }
    bool has_line(const std::string& line) const { return count(line) > 0; }
    size_t position(const std::string& line) const { return text().find("\r\n" + line + "\r\n"); }

  private:
    std::string path_;
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

// Exception text of a call, or "<no exception>".
template <class F>
std::string dbf_message_of(F&& f) {
    try {
        f();
    } catch (const tk_exception& e) {
        return e.message;
    }
    return "<no exception>";
}
