#pragma once
// Sends the trace log of one test to a scratch file and reads back what was written.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tk/tk_log.hpp"
#include "tk/tk_test_folder.hpp"

class log_capture {
  public:
    explicit log_capture(int threshold = 1) : path_(file_path()) {
        tk_log::get().reset();
        std::filesystem::remove(path_);
        tk_log::get().set_threshold(threshold);
        tk_log::get().set_path(path_);
    }
    ~log_capture() {
        tk_log::get().reset();
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    log_capture(const log_capture&) = delete;
    log_capture& operator=(const log_capture&) = delete;

    std::string text() const { return tk_test_folder::read(path_); }
    bool has_line(const std::string& line) const {
        return text().find(line + "\r\n") != std::string::npos;
    }

  private:
    // A file of its own beside the tests' folders, so that a test's own scratch folder is not
    // emptied for it.
    static std::string file_path() {
        const char* root = std::getenv("BRIXEL_TEST_TMP");
        const std::filesystem::path base =
            root != nullptr && *root != 0 ? root : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(base);
        return (base / ("trace." + std::to_string(getpid()) + ".log")).string();
    }

    std::string path_;
};
