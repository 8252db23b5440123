#pragma once
// `brixel-cli run [OPTIONS]` and `brixel-cli PROFILE [OPTIONS]`: the whole headless conversion.
// Start-up (error handler, converter with the last settings), the profile, the options, an
// optional profile saved from the result, the connection, the run on a worker thread with the
// progress drawn here, then the summary and the exit code.

#include <iosfwd>

#include "app/run_options.hpp"

// Where a run talks to: the summary goes to `out`, progress, messages and questions to `err`,
// answers come from `in`.
struct run_terminal {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    bool b_progress_line = false;  // err is a terminal: one progress line redrawn in place
    bool b_interactive = false;    // someone can answer questions (in and err are terminals)
};

// Carries the run out and answers the exit code (cli_exit_* of run_summary.hpp).
int run_command(const run_options& options, run_terminal& terminal);

extern const char* const run_usage_text;
