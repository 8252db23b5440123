// brixel-cli: the headless front end. Each command is a function of the application library;
// this file only picks the command, hands it its arguments and the terminal, and returns its
// exit code.

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/dump_command.hpp"
#include "app/folder_report_command.hpp"
#include "app/run_command.hpp"
#include "app/run_summary.hpp"
#include "app/verify_command.hpp"

namespace {

const char* const usage =
    "usage: brixel-cli PROFILE [OPTIONS]\n"
    "       brixel-cli run [OPTIONS]\n"
    "       brixel-cli verify [OPTIONS]\n"
    "       brixel-cli inspect FOLDER [TABLE...] [--encoding ID|NAME]\n"
    "       brixel-cli dump FOLDER [TABLE...] [--codepage CP | --ldid ID]\n"
    "commands:\n"
    "  PROFILE  run the conversion a profile describes, without questions\n"
    "  run      run a conversion described by options (and an optional profile)\n"
    "  verify   compare the converted tables with their sources value by value\n"
    "  inspect  show the tables of a DBF folder and the Oracle types they would get\n"
    "  dump     print the records of DBF tables as JSON Lines\n"
    "'brixel-cli COMMAND --help' describes a command and its options;\n"
    "'brixel-cli --version' prints the version.\n";

int run(const std::vector<std::string>& args, bool b_profile_first) {
    run_terminal terminal{std::cout, std::cerr, std::cin};
    terminal.b_progress_line = isatty(STDERR_FILENO) != 0;
    terminal.b_interactive = terminal.b_progress_line && isatty(STDIN_FILENO) != 0;
    run_options options;
    try {
        options = parse_run_arguments(args, b_profile_first);
    } catch (const run_usage_error& e) {
        std::cerr << "brixel-cli: " << e.message << "\n'brixel-cli run --help' lists the options\n";
        return cli_exit_usage;
    }
    return run_command(options, terminal);
}

int inspect(const std::vector<std::string>& args) {
    inspect_options options;
    try {
        options = parse_inspect_arguments(args);
    } catch (const run_usage_error& e) {
        std::cerr << "brixel-cli inspect: " << e.message
                  << "\n'brixel-cli inspect --help' shows the usage\n";
        return inspect_usage;
    }
    if (options.help) {
        std::cout << inspect_usage_text;
        return inspect_ok;
    }
    return run_inspect(options, std::cout, std::cerr);
}

int dump(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << dump_usage_text;
        return dump_ok;
    }
    const auto options = parse_dump_arguments(args, std::cerr);
    if (!options) {
        return dump_usage;
    }
    return run_dump(*options, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty()) {
        std::cerr << usage;
        return cli_exit_usage;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << usage;
        return cli_exit_ok;
    }
    if (command == "--version" || command == "version") {
        std::cout << "brixel-cli " << BRIXEL_VERSION << '\n';
        return cli_exit_ok;
    }
    if (command == "run") {
        return run(rest, false);
    }
    if (command == "verify") {
        run_terminal terminal{std::cout, std::cerr, std::cin};
        try {
            return verify_command(parse_run_arguments(rest, false), terminal);
        } catch (const run_usage_error& e) {
            std::cerr << "brixel-cli verify: " << e.message
                      << "\n'brixel-cli verify --help' shows the usage\n";
            return cli_exit_usage;
        }
    }
    if (command == "inspect") {
        return inspect(rest);
    }
    if (command == "dump") {
        return dump(rest);
    }
    if (command.size() > 1 && command[0] == '-') {
        std::cerr << "brixel-cli: unknown option '" << command << "'\n" << usage;
        return cli_exit_usage;
    }
    // Anything else is a profile; a file named like a command is reached as ./run.
    return run(args, true);
}
