// brixel-cli: the headless front end. Each command is a function of the application library;
// this file only picks the command and hands it its arguments.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/dump_command.hpp"

namespace {

const char* const usage =
    "usage: brixel-cli COMMAND [ARGUMENTS]\n"
    "commands:\n"
    "  dump FOLDER [TABLE...] [--codepage CP | --ldid ID]\n"
    "      print the records of DBF tables as JSON Lines\n";

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << usage;
        return args.empty() ? dump_usage : 0;
    }
    if (args[0] == "dump") {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
            std::cout << dump_usage_text;
            return 0;
        }
        const auto options = parse_dump_arguments(rest, std::cerr);
        if (!options) {
            return dump_usage;
        }
        return run_dump(*options, std::cout, std::cerr);
    }
    std::cerr << "brixel-cli: unknown command '" << args[0] << "'\n" << usage;
    return dump_usage;
}
