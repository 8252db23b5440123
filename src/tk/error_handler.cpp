#include "tk/error_handler.hpp"

#include <algorithm>
#include <cstdlib>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// The context of the calling thread: where its next error happens.
thread_local std::string context;

}  // namespace

error_handler::error_handler(size_t count, const t_error_message* pairs)
    : end_process([](int code) { std::exit(code); }), converter_(count, pairs) {
    TK_LOG(2, "error_handler::ctor");
    // A context left by an earlier handler on this thread is not this one's.
    context.clear();
}

void error_handler::set_context(std::u16string_view table) {
    context = tk_w2a(table);
}

void error_handler::set_context(std::u16string_view table, int64_t record) {
    context = tk_w2a(table) + ", record #" + std::to_string(record);
}

void error_handler::clear_context() noexcept {
    context.clear();
}

void error_handler::begin_shared_operation() noexcept {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    b_shared_ = true;
    b_stopping_.store(false, std::memory_order_release);
}

void error_handler::end_shared_operation() noexcept {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    b_shared_ = false;
    b_stopping_.store(false, std::memory_order_release);
}

void error_handler::stop_operation() {
    if (b_shared_) {
        b_stopping_.store(true, std::memory_order_release);
    }
    throw tk_final_exception();
}

std::string error_handler::error_caption() const {
    if (ui_ != nullptr && ui_->is_initialized()) {
        const std::string title = ui_->title();
        if (!title.empty()) {
            return title + " Error";
        }
    }
    return "Error";
}

std::string error_handler::build_message(const tk_exception& e) const {
    std::string m;
    if (!context.empty()) {
        m = context + ": ";
    }
    const std::string friendly = converter_.convert(e.code);
    m += friendly.empty() ? e.message : friendly;
    return m;
}

void error_handler::handle(const tk_exception& e, bool b_final) {
    TK_LOG(2, "error_handler::handle");
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    handle_locked(e, b_final);
}

void error_handler::handle_locked(const tk_exception& e, bool b_final) {
    if (e.level == 2) {
        TK_LOG(3, "Internal error:\n%s", e.message.c_str());
        if (ui_ != nullptr) {
            ui_->internal_error(e.message);
        }
        end_process(-1);
        return;
    }

    std::string m = build_message(e);
    TK_LOG(3, "Error:\n%s", m.c_str());
    std::replace(m.begin(), m.end(), '\n', ' ');

    if (ui_ != nullptr) {
        ui_->error_noted(m);
        if (ui_->is_initialized() && ui_->error_list().size() < max_listed_errors) {
            ui_->error_list().push_back(m);
        }
    }

    if (!b_final && stopping()) {
        // Another thread's error already stopped the operation: nothing left to ask.
        throw tk_final_exception();
    }

    if (e.level == 1) {
        TK_TRACE("Got 1-level error");
        if (!b_dont_show) {
            TK_TRACE("Step 1");
            if (ui_ != nullptr) {
                ui_->error(error_caption(), m);
            }
        }
        TK_TRACE("Step 2");
        if (!b_final) {
            stop_operation();
        }
        return;
    }

    TK_TRACE("Got 0-level error");
    if (b_dont_show) {
        return;
    }
    tk_user_interface::continue_answer answer;
    if (ui_ != nullptr) {
        answer = ui_->ask_continue(error_caption(), m);
    }
    if (!answer.b_continue && !b_final) {
        stop_operation();
    }
    b_dont_show = answer.b_dont_show;
}
