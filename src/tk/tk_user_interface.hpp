#pragma once
// What the error handler and the conversion need from whoever talks to the user: the wizard
// implements it with dialogs, the command line on the terminal, tests with a scripted double.

#include <string>
#include <vector>

class tk_user_interface {
  public:
    struct continue_answer {
        bool b_continue = true;    // "Continue" (true) or "Abort" (false)
        bool b_dont_show = false;  // "&Do not show this dialog box again" was ticked
    };

    virtual ~tk_user_interface() = default;

    // False until the front end is ready to show anything (the wizard shell is built).
    virtual bool is_initialized() const = 0;
    // The window title; empty when there is none.
    virtual std::string title() const = 0;

    // A message box with the error icon.
    virtual void error(const std::string& caption, const std::string& message) = 0;
    // A message box with the information icon.
    virtual void message(const std::string& caption, const std::string& message) = 0;
    virtual bool ask_yes_no(const std::string& caption, const std::string& question) = 0;
    // The continue-or-abort question of a recoverable error.
    virtual continue_answer ask_continue(const std::string& caption,
                                         const std::string& message) = 0;
    // The internal-error dialog ("OK", "Copy to clipboard", "Send bug").
    virtual void internal_error(const std::string& message) = 0;
    // The list of errors shown at the end of a run (kept to its first 20 by the caller).
    virtual std::vector<std::string>& error_list() = 0;
    // Every error message, including those past the first 20; for front ends that report all.
    virtual void error_noted(const std::string& /*message*/) {}
    // Opens the help page of a topic.
    virtual void display_help(int /*topic*/) {}
};
