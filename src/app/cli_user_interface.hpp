#pragma once
// The user interface of brixel-cli: everything the error handler shows goes to a text stream
// (standard error), and questions are answered by a fixed policy instead of a dialog, since
// nobody may be there to answer.

#include <ostream>
#include <string>
#include <vector>

#include "tk/tk_user_interface.hpp"

class cli_user_interface : public tk_user_interface {
  public:
    // out: where messages go; b_continue: the answer to every continue-or-abort question.
    explicit cli_user_interface(std::ostream& out, bool b_continue = true)
        : out_(out), b_continue_(b_continue) {}

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

    // How many errors the handler reported, the first 20 included or not.
    size_t errors_noted() const noexcept { return noted_; }

  private:
    std::ostream& out_;
    bool b_continue_;
    std::vector<std::string> errors_;
    size_t noted_ = 0;
};
