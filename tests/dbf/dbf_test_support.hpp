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
        const std::filesystem::path base =
            root != nullptr && *root != 0 ? root : std::filesystem::temp_directory_path();
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "dbf";
        if (info != nullptr) {
            name = std::string("dbf.") + info->test_suite_name() + "." + info->name();
        }
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = base / (name + "." + std::to_string(getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~dbf_test_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    dbf_test_folder(const dbf_test_folder&) = delete;
    dbf_test_folder& operator=(const dbf_test_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out << bytes;
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
        tk_log::get().set_threshold(1);
    }
    ~dbf_log_capture() { tk_log::get().reset(); }
    dbf_log_capture(const dbf_log_capture&) = delete;
    dbf_log_capture& operator=(const dbf_log_capture&) = delete;

    std::string text() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    // Whether a whole line equal to `line` was written.
    bool has_line(const std::string& line) const { return count(line) > 0; }
    int count(const std::string& line) const {
        const std::string all = "\r\n" + text();
        const std::string wanted = "\r\n" + line + "\r\n";
        int n = 0;
        for (size_t at = all.find(wanted); at != std::string::npos; at = all.find(wanted, at + 2)) {
            ++n;
        }
        return n;
    }
    // Position of the first occurrence of the line, npos when absent (to check order).
    size_t position(const std::string& line) const {
        return ("\r\n" + text()).find("\r\n" + line + "\r\n");
    }

  private:
    std::string path_;
};

inline std::string dbf_le16(uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string dbf_le32(uint32_t v) {
    return dbf_le16(v & 0xFFFF) + dbf_le16(v >> 16);
}
inline std::string dbf_be16(uint32_t v) {
    return std::string{static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}
inline std::string dbf_be32(uint32_t v) {
    return dbf_be16(v >> 16) + dbf_be16(v & 0xFFFF);
}
// `bytes` padded with `fill` (or cut) to exactly `size` bytes.
inline std::string dbf_pad(std::string bytes, size_t size, char fill = '\0') {
    bytes.resize(size, fill);
    return bytes;
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
