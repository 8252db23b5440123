#pragma once
// brixel_startup: what both front ends do between the start of the process and its end. It owns
// the process-wide error handler and the converter, loads the profile of a quick launch,
// connects, and runs the conversion on a worker thread while the front end draws the progress.
// The front ends stay thin: they build their user interface, hand it here and map the answers to
// their own results.
//
// Typical headless use:
//     cli_user_interface ui(std::cerr);
//     brixel_startup startup(ui);                 // reads the last settings
//     return startup.quick_launch(command_line, [&] { draw(startup.converter()); });
//
// Everything here runs on the caller's thread except the conversion itself.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class brixel_converter;
class error_handler;
class ora_exception;
class tk_user_interface;

class brixel_startup {
  public:
    // The exit code of a quick launch that could not connect.
    static constexpr int exit_cannot_connect = -1;
    // The exit code of a quick launch whose profile could not be loaded (the error was reported).
    static constexpr int exit_start_up_error = 1;

    // Creates, in this order, the process-wide error handler with the server messages, talking to
    // `ui`, and the converter, which reads the last settings from the settings store. The log is
    // the process-wide one and is left as it is (off until a log file is set). When the converter
    // cannot be built (no OCI client library, a converter already alive), the error is reported
    // through report() and raised again: the caller only has to end.
    // b_use_store false: the converter starts from the defaults and leaves the store alone.
    explicit brixel_startup(tk_user_interface& ui, bool b_use_store = true);
    // Destroys the converter (which writes its settings back) and then the error handler.
    ~brixel_startup();
    brixel_startup(const brixel_startup&) = delete;
    brixel_startup& operator=(const brixel_startup&) = delete;

    brixel_converter& converter() noexcept { return *converter_; }
    error_handler& handler() noexcept { return *handler_; }

    // Takes the whole command line, unparsed, as a profile path and loads it. Raises the fatal
    // "Profile does not exist. Please verify the correct path/name was given." when the file
    // cannot be opened; answers the converter's load_profile otherwise (false when the profile
    // was not applied completely; a quick launch goes on with what it set).
    bool load_quick_launch_profile(const std::string& command_line);

    // Connects to the converter's `dest` with its connection settings. A failure is shown in an
    // error box (a server error with its friendly text, and the help page on connecting when
    // the listener cannot be reached) and the answer is false; an internal error ends the
    // process through the error handler.
    bool connect();
    // The help page opened when the listener or the service cannot be reached.
    static constexpr int connection_help_topic = 1017;

    // Runs the conversion on a worker thread and waits for it, calling `poll` on this thread
    // every poll_ms milliseconds while it works and once after it has ended. A stop requested
    // before the call means the run does not start (poll is still called once).
    void run(const std::function<void()>& poll, uint32_t poll_ms = 200);

    // Asks a run to stop at its next record or table (Ctrl-C). Only stores a flag, so it may be
    // called from any thread or from a signal handler.
    void request_stop() noexcept;
    bool stop_requested() const noexcept { return b_stop_.load(std::memory_order_relaxed); }

    // Reports an error of start-up: a tk_exception to the error handler as a final error, any
    // other exception to the user interface's error box.
    void report(const std::exception& e);

    // The whole quick launch: loads the profile (a failure is reported and answers
    // exit_start_up_error), connects (exit_cannot_connect when that fails), runs with `poll`
    // as in run(), and answers 0. Errors met during the run reach the error handler as usual.
    int quick_launch(const std::string& command_line, const std::function<void()>& poll,
                     uint32_t poll_ms = 200);

  private:
    void report_connection_error(const ora_exception& e);

    tk_user_interface& ui_;
    std::unique_ptr<error_handler> handler_;
    std::unique_ptr<brixel_converter> converter_;
    std::atomic<bool> b_stop_{false};
};
