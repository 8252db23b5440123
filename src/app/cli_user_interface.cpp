#include "app/cli_user_interface.hpp"

#include <algorithm>
#include <cctype>

namespace {

std::string trimmed_lower(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (!std::isspace(c)) {
            out.push_back(static_cast<char>(std::tolower(c)));
        }
    }
    return out;
}

}  // namespace

void cli_user_interface::wipe_locked() {
    if (drawn_width_ != 0) {
        out_ << '\r' << std::string(drawn_width_, ' ') << '\r';
        drawn_width_ = 0;
    }
}

void cli_user_interface::draw_progress(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << '\r' << line;
    if (line.size() < drawn_width_) {
        // Blank out the tail of a longer line drawn before.
        out_ << std::string(drawn_width_ - line.size(), ' ');
    }
    out_.flush();
    drawn_width_ = std::max<size_t>({line.size(), drawn_width_, 1});
}

void cli_user_interface::end_progress() {
    std::lock_guard<std::mutex> lock(mutex_);
    wipe_locked();
    out_.flush();
}

void cli_user_interface::print_line(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    wipe_locked();
    out_ << line << '\n';
    out_.flush();
}

void cli_user_interface::error(const std::string& /*caption*/, const std::string& message) {
    print_line("error: " + message);
}

void cli_user_interface::message(const std::string& /*caption*/, const std::string& message) {
    print_line(message);
}

bool cli_user_interface::ask_yes_no(const std::string& /*caption*/, const std::string& question) {
    print_line(question + " (answered no)");
    return false;
}

tk_user_interface::continue_answer cli_user_interface::read_answer_locked() {
    continue_answer answer;
    while (true) {
        out_ << "Continue? [y]es, [n]o (abort the run), [a]lways (do not ask again): ";
        out_.flush();
        std::string line;
        if (!std::getline(*in_, line)) {
            // Nobody left to answer: stopping is the answer that changes nothing on the server.
            out_ << "\nno answer: the run is aborted\n";
            answer.b_continue = false;
            return answer;
        }
        const std::string reply = trimmed_lower(line);
        if (reply == "y" || reply == "yes") {
            return answer;
        }
        if (reply == "n" || reply == "no") {
            answer.b_continue = false;
            return answer;
        }
        if (reply == "a" || reply == "always") {
            answer.b_dont_show = true;
            return answer;
        }
    }
}

tk_user_interface::continue_answer cli_user_interface::ask_continue(const std::string& /*caption*/,
                                                                    const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    wipe_locked();
    continue_answer answer;
    if (max_errors_ != 0 && all_errors_.size() >= max_errors_) {
        answer.b_continue = false;
        out_ << "error: " << message << "\nerror: " << all_errors_.size()
             << " errors reached the limit of --max-errors: the run stops\n";
    } else if (policy_ == on_error_policy::ask && in_ != nullptr) {
        out_ << "error: " << message << '\n';
        answer = read_answer_locked();
    } else {
        answer.b_continue = policy_ != on_error_policy::abort_run;
        out_ << (answer.b_continue ? "warning: " : "error: ") << message << '\n';
    }
    out_.flush();
    return answer;
}

void cli_user_interface::internal_error(const std::string& message) {
    print_line("internal error: " + message);
}

void cli_user_interface::error_noted(const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    all_errors_.push_back(message);
}

size_t cli_user_interface::errors_noted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return all_errors_.size();
}

std::vector<std::string> cli_user_interface::all_errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return all_errors_;
}
