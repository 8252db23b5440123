#include "app/cli_user_interface.hpp"

void cli_user_interface::error(const std::string& /*caption*/, const std::string& message) {
    out_ << "error: " << message << '\n';
}

void cli_user_interface::message(const std::string& /*caption*/, const std::string& message) {
    out_ << message << '\n';
}

bool cli_user_interface::ask_yes_no(const std::string& /*caption*/, const std::string& question) {
    out_ << question << " (answered no)\n";
    return false;
}

tk_user_interface::continue_answer cli_user_interface::ask_continue(const std::string& /*caption*/,
                                                                    const std::string& message) {
    out_ << (b_continue_ ? "warning: " : "error: ") << message << '\n';
    continue_answer answer;
    answer.b_continue = b_continue_;
    return answer;
}

void cli_user_interface::internal_error(const std::string& message) {
    out_ << "internal error: " << message << '\n';
}

void cli_user_interface::error_noted(const std::string& /*message*/) {
    ++noted_;
}
