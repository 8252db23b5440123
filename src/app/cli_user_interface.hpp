#pragma once
// The user interface of brixel-cli: the terminal. Everything the error handler shows goes to a
// text stream (standard error); the continue-or-abort question is answered by a policy, which may
// be to ask the person at the terminal. The same object draws the progress line, so that a
// message or a question never lands in the middle of it: every output first wipes the line.
//
// The conversion runs on a worker thread while the main thread draws the progress: every
// output takes the object's lock.

#include <istream>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "tk/tk_user_interface.hpp"

// What to do when a recoverable error asks whether to go on.
enum class on_error_policy {
    ask,       // ask on the terminal
    go_on,     // continue without asking
    abort_run  // stop the run at the first such error
};

class cli_user_interface : public tk_user_interface {
  public:
    // out: where messages go; b_continue: the answer to every continue-or-abort question.
    explicit cli_user_interface(std::ostream& out, bool b_continue = true)
        : out_(out), policy_(b_continue ? on_error_policy::go_on : on_error_policy::abort_run) {}
    // With the ask policy the answers are read from `in`, one line each.
    cli_user_interface(std::ostream& out, on_error_policy policy, std::istream& in)
        : out_(out), in_(&in), policy_(policy) {}

    bool is_initialized() const override { return true; }
    std::string title() const override { return "brixel-cli"; }
    void error(const std::string& caption, const std::string& message) override;
    void message(const std::string& caption, const std::string& message) override;
    // Nobody can answer: the answer is no.
    bool ask_yes_no(const std::string& caption, const std::string& question) override;
    continue_answer ask_continue(const std::string& caption, const std::string& message) override;
    void internal_error(const std::string& message) override;
    std::vector<std::string>& error_list() override { return errors_; }
    void error_noted(const std::string& message) override;

    // Once this many errors were reported, every continue-or-abort question is answered Abort.
    void set_max_errors(size_t count) { max_errors_ = count; }

    // How many errors the handler reported, the first 20 included or not.
    size_t errors_noted() const;
    // Every error message the handler reported, in order (the list above keeps the first 20).
    std::vector<std::string> all_errors() const;

    // Draws `line` over the current progress line (terminal mode: carriage return, no line end).
    void draw_progress(const std::string& line);
    // Wipes the progress line, if one is drawn, so that the next output starts a clean line.
    void end_progress();
    // Writes a whole line (the progress of a non-terminal, the summary) after wiping the
    // progress line.
    void print_line(const std::string& line);

  private:
    void wipe_locked();
    continue_answer read_answer_locked();

    mutable std::mutex mutex_;
    std::ostream& out_;
    std::istream* in_ = nullptr;
    on_error_policy policy_;
    size_t max_errors_ = 0;  // 0: no limit
    std::vector<std::string> errors_;
    std::vector<std::string> all_errors_;
    size_t drawn_width_ = 0;  // characters of the progress line on the terminal, 0 when none
};
