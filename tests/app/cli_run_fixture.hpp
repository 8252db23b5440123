#pragma once
// brixel-cli run as a script runs it: the program itself with the OCI stand-in as its Oracle
// client, the stand-in's home (service DB, user SCOTT with password pw), the settings store, the
// state folder and the DBF folder all in the test's own folder.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tk/tk_test_folder.hpp"

template <class base = testing::Test>
class cli_run_test : public base {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.path() / "sim");
        std::filesystem::create_directories(source);
        admin("create-service DB");
        admin("create-user DB SCOTT pw");
    }

    // The environment of the program; `extra` adds variables ("NAME=value ...").
    std::string environment(const std::string& extra = "") const {
        return "env -u BRIXEL_PASSWORD BRIXEL_OCI_LIBRARY='" OCISIM_LIBRARY "' OCISIM_HOME='" +
               folder.file("sim") + "' BRIXEL_CONFIG_HOME='" + folder.file("config") +
               "' XDG_STATE_HOME='" + folder.file("state") + "' PW=pw " + extra + " ";
    }
    // Runs brixel-cli with these arguments (already quoted for the shell) and standard input
    // from `input`; keeps what it wrote and answers its exit status.
    int cli(const std::string& arguments, const std::string& input = "",
            const std::string& extra = "") {
        tk_test_folder::write(folder.file("in"), input);
        const std::string command = environment(extra) + "'" BRIXEL_CLI_PROGRAM "' " + arguments +
                                    " < '" + folder.file("in") + "' > '" + folder.file("out") +
                                    "' 2> '" + folder.file("err") + "'";
        const int status = std::system(command.c_str());
        stdout_text = tk_test_folder::read(folder.file("out"));
        stderr_text = tk_test_folder::read(folder.file("err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void admin(const std::string& arguments) {
        const std::string command = "OCISIM_HOME='" + folder.file("sim") + "' " OCISIM_ADMIN " " +
                                    arguments + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    tk_test_folder folder;
    std::filesystem::path source = folder.path() / "dbf";
    std::string stdout_text;
    std::string stderr_text;
};
