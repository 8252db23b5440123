#pragma once
// A home for tests that build the converter: its own settings store folder, the OCI stand-in as
// the client library (the converter loads it when it is built) with a stand-in home of its own,
// and the stand-in's admin tool for services and users.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/brixel_converter.hpp"
#include "tk/tk_test_folder.hpp"
#include "tk/tk_wstring.hpp"

class converter_settings_test : public testing::Test {
  protected:
    converter_settings_test() {
        setenv("BRIXEL_OCI_LIBRARY", OCISIM_LIBRARY, 1);
        std::filesystem::create_directories(folder.path() / "ocisim");
        setenv("OCISIM_HOME", folder.file("ocisim").c_str(), 1);
        use_settings_folder("config");
    }
    ~converter_settings_test() override { unsetenv("BRIXEL_CONFIG_HOME"); }

    // Points the settings store at a folder of its own under the test's folder.
    void use_settings_folder(const std::string& name) {
        std::filesystem::create_directories(folder.path() / name);
        setenv("BRIXEL_CONFIG_HOME", folder.file(name).c_str(), 1);
        settings_file = folder.file(name) + "/Quillonworks/Brixel.conf";
    }

    void admin(const std::string& arguments) {
        const std::string command = "OCISIM_HOME='" + folder.file("ocisim") + "' " +
                                    std::string(OCISIM_ADMIN) + " " + arguments + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    static std::string read(const std::string& path) { return tk_test_folder::read(path); }
    static void write(const std::string& path, const std::string& content) {
        tk_test_folder::write(path, content);
    }

    tk_test_folder folder;
    std::string settings_file;
};

// Every setting the converter keeps between runs on one line, to compare two converters at once.
// (The number of sessions is kept by profiles only.)
inline std::string settings_of(const brixel_converter& c) {
    const std::u16string texts = u"src=" + c.src + u" dest=" + c.dest + u" host=" + c.host +
                                 u" user=" + c.user + u" password=" + c.password + u" port=" +
                                 c.port;
    return tk_w2a(texts) + " flags=" + std::to_string(c.bool_dbf) + std::to_string(c.skip_del) +
           std::to_string(c.skip_idx) + std::to_string(c.tab_def) + std::to_string(c.uppercase) +
           " mode=" + std::to_string(c.mode) + " code_page=" + std::to_string(c.code_page) +
           " values=" + std::string(udb_values_name(c.values)) +
           " load=" + (c.load.method == ora_load_method::array ? "array/" : "row/") +
           std::to_string(c.load.batch_rows) + "/" + std::to_string(c.load.commit_rows);
}
