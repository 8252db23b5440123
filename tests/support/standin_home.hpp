#pragma once
// A home folder of the OCI stand-in for one test suite: made fresh in the scratch folder, filled
// with services and users through the stand-in's admin tool, and removed at the end. The client
// library the engine loads is the stand-in. Only test programs that are given the stand-in's
// paths (OCISIM_LIBRARY, OCISIM_ADMIN) include this.

#include <gtest/gtest.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "tk/tk_wstring.hpp"
#include "udb/ole_decimal.hpp"
#include "udb/udb_recordset.hpp"

class standin_home {
  public:
    // A fresh, empty home named `name` and the process id, chosen for the stand-in and the engine.
    explicit standin_home(const std::string& name) {
        const char* root = std::getenv("BRIXEL_TEST_TMP");
        const std::filesystem::path base =
            root != nullptr && *root != 0 ? root : std::filesystem::temp_directory_path();
        path_ = base / (name + "." + std::to_string(getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        select();
        setenv("BRIXEL_OCI_LIBRARY", OCISIM_LIBRARY, 1);
    }
    ~standin_home() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    standin_home(const standin_home&) = delete;
    standin_home& operator=(const standin_home&) = delete;

    // Points the stand-in at this home (other suites of the program may have chosen theirs).
    void select() const { setenv("OCISIM_HOME", path_.c_str(), 1); }
    const std::filesystem::path& path() const noexcept { return path_; }

    // Runs the admin tool on this home, for example "create-user DB scott tiger".
    void admin(const std::string& arguments) const {
        const std::string command = "OCISIM_HOME='" + path_.string() + "' " +
                                    std::string(OCISIM_ADMIN) + " " + arguments + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // A user name not used before in this home.
    std::string next_user(const std::string& prefix) { return prefix + std::to_string(++users_); }

  private:
    std::filesystem::path path_;
    int users_ = 0;
};

// Every row a recordset gives, each as its values, in the order it gives them.
inline std::vector<std::vector<ole_variant>> read_rows(udb_recordset& reader) {
    std::vector<std::vector<ole_variant>> out;
    reader.first();
    while (!reader.is_eof()) {
        const udb_record* row = reader.get_item();
        if (row == nullptr) {
            break;
        }
        std::vector<ole_variant> values;
        for (const udb_field* field : *row) {
            values.push_back(*field);
        }
        out.push_back(std::move(values));
        reader.next();
    }
    return out;
}

// A value as its kind and text, to compare whole rows at once: decimals exact, doubles to the
// last bit, dates to the millisecond, bytes in hexadecimal, texts quoted, "null" for no value.
inline std::string typed(const ole_variant& v) {
    char buffer[64];
    switch (v.vt()) {
        case VT_EMPTY:
        case VT_NULL:
            return "null";
        case VT_BSTR:
            return "'" + tk_to_utf8(v.wstring()) + "'";
        case VT_I2:
            return "i2 " + std::to_string(v.i2());
        case VT_I4:
            return "i4 " + std::to_string(v.i4());
        case VT_I8:
            return "i8 " + std::to_string(v.i8());
        case VT_DECIMAL:
            return "dec " + ole_dec_to_string(v.dec());
        case VT_R8:  // the shortest text that reads back as the same double
            return "r8 " +
                   std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v.r8()).ptr);
        case VT_DATE: {
            const t_systemtime& t = v.date();
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.milliseconds);
            return buffer;
        }
        case VT_BLOB:
        case VT_BYTE_ARRAY: {
            std::string hex = "0x";
            for (const unsigned char b : v.bytes()) {
                std::snprintf(buffer, sizeof buffer, "%02X", b);
                hex += buffer;
            }
            return hex;
        }
        default:
            return "vt" + std::to_string(v.vt()) + " " + v.to_string();
    }
}
inline std::vector<std::string> typed(const std::vector<ole_variant>& row) {
    std::vector<std::string> out;
    for (const ole_variant& v : row) {
        out.push_back(typed(v));
    }
    return out;
}
