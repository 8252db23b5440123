#include "app/run_command.hpp"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"
#include "app/brixel_startup.hpp"
#include "app/cli_user_interface.hpp"
#include "app/progress_reporter.hpp"
#include "app/run_journal.hpp"
#include "app/run_summary.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_wstring.hpp"

const char* const run_usage_text =
    "usage: brixel-cli run [OPTIONS]\n"
    "       brixel-cli PROFILE [OPTIONS]\n"
    "  Converts DBF tables into Oracle without questions. Settings start from the defaults\n"
    "  (or Brixel's last ones with --use-last-settings), then the profile (when given), then\n"
    "  the options.\n"
    "  --profile FILE           load this profile first (same as giving PROFILE)\n"
    "  --source FOLDER          the folder of DBF tables\n"
    "  --host HOST --port PORT --service NAME --user USER\n"
    "                           the Oracle server, listener port, service and user\n"
    "  --password-env VAR       the password is in environment variable VAR\n"
    "                           (without any password option: BRIXEL_PASSWORD when set)\n"
    "  --password-file FILE     the password is the first line of FILE\n"
    "  --password PASSWORD      visible to every user in the process list: avoid\n"
    "  --tables A,B,C           the tables to convert, in this order (default: the profile's,\n"
    "                           else every table of the folder)\n"
    "  --existing overwrite|merge|skip   what to do with a table that already exists\n"
    "  --definitions-only       create the tables, copy no record\n"
    "  --skip-deleted           leave deleted records out\n"
    "  --bool-as-is             convert logical values as they are\n"
    "  --skip-indexes           create no indexes\n"
    "                           (each of these four has a --no-... form to turn it off)\n"
    "  --uppercase on|off       make destination names upper case\n"
    "  --encoding ID|NAME       the code page of the DBF texts (see brixel-cli inspect --help)\n"
    "  --values exact|classic   exact (default for new settings): every value as the file\n"
    "                           holds it, or an error naming it; classic: the conversions\n"
    "                           of earlier releases (a profile without the setting)\n"
    "  --load array|row         array (default): rows bound in arrays, many per round trip;\n"
    "                           row: one INSERT with the values written out per record\n"
    "  --batch-rows N           rows per execute of the array load (default 1000)\n"
    "  --commit-rows N          rows per commit of the array load (default 10000; 0: one\n"
    "                           commit at the end of each table)\n"
    "  --jobs N                 convert N tables at once, each on its own Oracle session\n"
    "                           (default 1); the summary keeps the tables' order\n"
    "  --log FILE               write the trace log to FILE\n"
    "  --log-level N            1 everything, 2 notable events, 3 progress only\n"
    "  --save-profile FILE      save the resulting settings as a profile (mode 0600)\n"
    "  --on-error ask|continue|abort   answer to an error that allows going on\n"
    "                           (default: ask on a terminal, continue otherwise)\n"
    "  --errors-file FILE       also write every error message to FILE\n"
    "  --summary-json FILE      write the per-table report and every error as JSON to FILE\n"
    "  --max-errors N           stop the run once N errors were met (default: no limit)\n"
    "  --journal FILE           record what each table has committed in FILE (default:\n"
    "                           beside the errors file, else in $XDG_STATE_HOME/brixel)\n"
    "  --resume JOURNAL         finish the run of JOURNAL: tables it marks done are skipped,\n"
    "                           a table cut short goes on after its last committed record\n"
    "  --reconnect N            after a lost connection connect again up to N times and go on\n"
    "  --connect USER@//HOST[:PORT]/SERVICE | USER@NAME\n"
    "                           the user and the server in one connect string\n"
    "  --use-last-settings      start from the settings Brixel saved last, not the defaults\n"
    "  --save-settings          save the settings in force for Brixel's next start\n"
    "  --quiet                  no progress and no summary\n"
    "A table that already exists in the destination fails unless a policy is chosen\n"
    "(--existing, or the profile's).\n"
    "A lost connection ends the run with one message saying what was committed.\n"
    "Exit status: 0 converted without errors, 1 finished with errors, 2 bad usage or an\n"
    "unreadable profile, 3 internal error, 255 cannot connect.\n";

namespace {

// The run being drawn, for Ctrl-C: a signal handler may only store a flag.
brixel_startup* g_interrupted_startup = nullptr;

extern "C" void on_interrupt(int /*signal*/) {
    if (g_interrupted_startup != nullptr) {
        g_interrupted_startup->request_stop();
    }
}

// Ctrl-C asks the run to stop at its next record; a second one ends the process as usual.
class interrupt_scope {
  public:
    explicit interrupt_scope(brixel_startup& startup) {
        g_interrupted_startup = &startup;
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &action, &previous_);
    }
    ~interrupt_scope() {
        sigaction(SIGINT, &previous_, nullptr);
        g_interrupted_startup = nullptr;
    }
    interrupt_scope(const interrupt_scope&) = delete;
    interrupt_scope& operator=(const interrupt_scope&) = delete;

  private:
    struct sigaction previous_ {};
};

void print_all(cli_user_interface& ui, const progress_reporter::output& output) {
    for (const std::string& line : output.lines) {
        ui.print_line(line);
    }
    if (output.status) {
        ui.draw_progress(*output.status);
    }
}

// Opens the run's journal. A journal of an unfinished run is continued only when resumed; a
// finished one at the same place is replaced.
std::shared_ptr<run_journal> open_journal(const run_options& options) {
    const std::string path = options.resume    ? *options.resume
                             : options.journal ? *options.journal
                                               : default_journal_path(options.errors_file);
    std::error_code error;
    if (!options.resume && std::filesystem::exists(path, error) &&
        std::filesystem::file_size(path, error) != 0) {
        bool b_finished = false;
        try {
            b_finished = !run_journal_state::read(path).unfinished();
        } catch (const run_journal_error&) {
            throw run_usage_error("the journal " + path +
                                  " exists and is not a journal: give another with --journal");
        }
        if (!b_finished) {
            throw run_usage_error("the journal " + path +
                                  " belongs to a run that did not finish: finish it with "
                                  "--resume " +
                                  path + ", or remove it");
        }
        std::filesystem::remove(path, error);
    }
    try {
        return std::make_shared<run_journal>(path);
    } catch (const run_journal_error& e) {
        throw run_usage_error(e.message);
    }
}

std::string destination_text(const brixel_converter& c) {
    return tk_w2a(c.user) + "@" + tk_w2a(c.host) + ":" + tk_w2a(c.port) + "/" + tk_w2a(c.dest);
}

}  // namespace

int run_command(const run_options& options, run_terminal& terminal) {
    if (options.help) {
        terminal.out << run_usage_text;
        return cli_exit_ok;
    }
    const on_error_policy policy =
        options.on_error.value_or(default_on_error_policy(terminal.b_interactive));
    cli_user_interface ui(terminal.err, policy, terminal.in);

    if (options.errors_file) {
        // Found out now rather than after a long run.
        try {
            write_errors_file(*options.errors_file, {});
        } catch (const run_usage_error& e) {
            ui.error("", e.message);
            return cli_exit_usage;
        }
    }

    if (options.max_errors) {
        ui.set_max_errors(*options.max_errors);
    }

    std::unique_ptr<brixel_startup> startup;
    try {
        startup = std::make_unique<brixel_startup>(ui, options.use_last_settings);
    } catch (const std::exception&) {
        // Reported by the start-up (most often: no Oracle client library).
        return cli_exit_cannot_connect;
    }
    brixel_converter& converter = startup->converter();
    startup->handler().end_process = [](int /*code*/) { std::exit(cli_exit_internal); };
    // Nothing is written back to the store unless asked, and only once the command line was
    // accepted.
    converter.b_save_settings = false;
    if (!options.use_last_settings) {
        // Without a policy from the profile or the options, an existing table is not touched.
        converter.mode = brixel_converter::mode_refuse;
    }

    run_options effective = options;
    try {
        if (options.resume) {
            // The journal's folder, tables and policy, unless the options name others.
            const run_journal_state state = run_journal_state::read(*options.resume);
            if (!effective.source) {
                effective.source = tk_w2a(state.source);
            }
            effective.tables.emplace();
            for (const journal_table& table : state.tables) {
                effective.tables->push_back(tk_w2a(table.name));
            }
            if (!effective.existing) {
                effective.existing = state.policy;
            }
        }
    } catch (const run_journal_error& e) {
        ui.error("", e.message);
        return cli_exit_usage;
    }

    try {
        if (options.profile && !startup->load_quick_launch_profile(*options.profile)) {
            ui.error("", "the profile " + *options.profile +
                             " is not a valid profile: a setting comes before its section");
            return cli_exit_usage;
        }
        apply_run_options(effective, converter, run_environment::process());
        if (options.save_profile) {
            save_run_profile(converter, *options.save_profile);
        }
        converter.journal = open_journal(options);
        converter.reconnect = options.reconnect.value_or(0);
        if (const char* wait = std::getenv("BRIXEL_RECONNECT_WAIT_MS")) {
            converter.reconnect_wait_ms = static_cast<uint32_t>(std::strtoul(wait, nullptr, 10));
        }
    } catch (const run_usage_error& e) {
        ui.error("", e.message);
        return cli_exit_usage;
    } catch (const tk_exception& e) {
        // The profile that does not exist and the log file errors are the converter's own.
        ui.error("", e.message);
        return cli_exit_usage;
    }

    converter.b_save_settings = options.save_settings;
    if (options.summary_json) {
        // Found out now rather than after a long run.
        try {
            write_text_file(*options.summary_json, "", "--summary-json");
        } catch (const run_usage_error& e) {
            ui.error("", e.message);
            return cli_exit_usage;
        }
    }

    if (!options.quiet) {
        const size_t count = converter.selected_tables.size();
        ui.print_line("brixel-cli: " + std::to_string(count) + (count == 1 ? " table" : " tables") +
                      " from " + tk_w2a(converter.src) + " into " + destination_text(converter));
    }
    if (!startup->connect()) {
        // No run began: an empty journal is not left behind.
        std::error_code error;
        if (std::filesystem::file_size(converter.journal->path(), error) == 0 && !error) {
            std::filesystem::remove(converter.journal->path(), error);
        }
        return cli_exit_cannot_connect;
    }

    progress_reporter reporter(converter.selected_tables, terminal.b_progress_line);
    {
        interrupt_scope interrupts(*startup);
        startup->run([&] {
            if (!options.quiet) {
                print_all(ui, reporter.update(progress_snapshot::read(converter),
                                              progress_reporter::clock::now()));
            }
        });
    }
    ui.end_progress();

    const std::vector<t_table_report> reports = converter.reports();
    const std::vector<std::string> errors = ui.all_errors();
    if (!options.quiet) {
        print_all(ui, reporter.finish(reports));
        for (const t_table_report& report : reports) {
            if (report.b_done_earlier) {
                ui.print_line("brixel-cli: " + tk_w2a(report.table) +
                              " was converted by the interrupted run");
            } else if (report.resumed_after != 0) {
                ui.print_line("brixel-cli: " + tk_w2a(report.table) + " went on after record " +
                              std::to_string(report.resumed_after) +
                              ", the last one the interrupted run committed");
            }
        }
        if (converter.reconnected() != 0) {
            ui.print_line("brixel-cli: the connection was lost " +
                          std::to_string(converter.reconnected()) +
                          (converter.reconnected() == 1 ? " time" : " times") +
                          "; the run connected again and went on after its last commit");
        }
        if (startup->stop_requested()) {
            ui.print_line("brixel-cli: the run was interrupted");
        }
        terminal.out << format_settings(converter) << format_summary(reports, errors);
        terminal.out.flush();
    }
    std::string kept_journal = converter.journal->path();
    if (!converter.journal->state().unfinished()) {
        if (!options.journal && !options.resume && !options.errors_file) {
            // A finished run's journal in the state folder serves nothing: it goes, so that
            // runs do not pile journals up there.
            std::error_code error;
            std::filesystem::remove(converter.journal->path(), error);
            kept_journal.clear();
        }
    } else {
        ui.print_line("brixel-cli: what each table has committed is in the journal " +
                      converter.journal->path() + "; to finish the run: brixel-cli run --resume " +
                      converter.journal->path() + " with the same connection options");
    }
    int code = run_exit_code(reports, errors.size());
    if (startup->stop_requested()) {
        code = cli_exit_errors;
    }
    if (options.errors_file) {
        try {
            write_errors_file(*options.errors_file, errors);
        } catch (const run_usage_error& e) {
            ui.error("", e.message);
            code = cli_exit_errors;
        }
    }
    if (options.summary_json) {
        try {
            write_text_file(*options.summary_json,
                            format_summary_json(reports, errors, code, kept_journal),
                            "--summary-json");
        } catch (const run_usage_error& e) {
            ui.error("", e.message);
            code = cli_exit_errors;
        }
    }
    return code;
}
