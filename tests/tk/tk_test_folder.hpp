#pragma once
// A fresh scratch folder per test under BRIXEL_TEST_TMP (or the system's temporary folder),
// removed again when the test ends.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class tk_test_folder {
  public:
    tk_test_folder() {
        const char* root = getenv("BRIXEL_TEST_TMP");
        std::filesystem::path base =
            root != nullptr && *root != 0 ? root : std::filesystem::temp_directory_path();
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tk";
        if (info != nullptr) {
            name = std::string(info->test_suite_name()) + "." + info->name();
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
    ~tk_test_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    tk_test_folder(const tk_test_folder&) = delete;
    tk_test_folder& operator=(const tk_test_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    static void write(const std::string& path, const std::string& content) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }

  private:
    std::filesystem::path path_;
};
