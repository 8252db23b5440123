#pragma once
// A user interface for tests: it records everything shown, answers the continue-or-abort question
// from a script (Continue when the script runs out) and every yes-or-no question with yes.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tk/tk_user_interface.hpp"

class scripted_user_interface : public tk_user_interface {
  public:
    struct shown {
        std::string kind;  // "error", "message", "ask_yes_no", "ask_continue", "internal_error"
        std::string caption;
        std::string text;
    };

    bool initialized = true;
    std::deque<continue_answer> continue_script;
    std::vector<shown> log;
    std::vector<std::string> errors;
    std::vector<std::string> all_errors;
    // Called on every continue-or-abort question, before it is answered.
    std::function<void()> on_continue;

    bool is_initialized() const override { return initialized; }
    std::string title() const override { return "Brixel"; }
    void error(const std::string& caption, const std::string& text) override {
        log.push_back({"error", caption, text});
    }
    void message(const std::string& caption, const std::string& text) override {
        log.push_back({"message", caption, text});
    }
    bool ask_yes_no(const std::string& caption, const std::string& question) override {
        log.push_back({"ask_yes_no", caption, question});
        return true;
    }
    continue_answer ask_continue(const std::string& caption, const std::string& text) override {
        log.push_back({"ask_continue", caption, text});
        if (on_continue) {
            on_continue();
        }
        if (continue_script.empty()) {
            return {};
        }
        const continue_answer answer = continue_script.front();
        continue_script.pop_front();
        return answer;
    }
    void internal_error(const std::string& text) override {
        log.push_back({"internal_error", "", text});
    }
    std::vector<std::string>& error_list() override { return errors; }
    void error_noted(const std::string& text) override { all_errors.push_back(text); }
};
