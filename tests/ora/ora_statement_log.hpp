#pragma once
// The stand-in's log of every statement text a session prepared. The file is chosen before any
// test runs, because the stand-in reads its settings when the OCI environment is created.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class ora_statement_log {
  public:
    // Starts reading at the log's present end.
    ora_statement_log() : start_(size()) {}

    // The statements prepared since construction, unescaped, in order.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::ifstream in(path());
        in.seekg(static_cast<std::streamoff>(start_));
        std::string line;
        while (std::getline(in, line)) {
            std::string text;
            for (size_t i = 0; i < line.size(); ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    text += line[i + 1] == 'n' ? '\n' : line[i + 1];
                    ++i;
                } else {
                    text += line[i];
                }
            }
            out.push_back(std::move(text));
        }
        return out;
    }
    // The statements that begin with `prefix`.
    std::vector<std::string> starting_with(const std::string& prefix) const {
        std::vector<std::string> out;
        for (std::string& line : lines()) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                out.push_back(std::move(line));
            }
        }
        return out;
    }

    static const std::string& path() {
        static const std::string file = [] {
            const char* root = std::getenv("BRIXEL_TEST_TMP");
            const std::filesystem::path base =
                root != nullptr && *root != 0 ? root : std::filesystem::temp_directory_path();
            std::filesystem::create_directories(base);
            const std::string name =
                (base / ("ora_statements." + std::to_string(getpid()) + ".log")).string();
            std::filesystem::remove(name);
            setenv("OCISIM_STATEMENT_LOG", name.c_str(), 1);
            return name;
        }();
        return file;
    }

  private:
    static size_t size() {
        std::error_code ignored;
        const auto bytes = std::filesystem::file_size(path(), ignored);
        return ignored ? 0 : static_cast<size_t>(bytes);
    }
    size_t start_;
};

// Chooses the file while the program starts.
inline const std::string& ora_statement_log_path = ora_statement_log::path();
