#pragma once
// The one place every error reaches the user. It decides from the exception's level whether the
// user may continue, the operation stops, or the program ends; it replaces raw server messages
// by friendly texts, prefixes where the error happened, and keeps the messages for the end.
//
// Several threads may report at once (a run that loads tables in parallel): each thread has its
// own context, and one error is handled at a time, so questions come one after another and each
// names its own table and record.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "tk/tk_error_converter.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_singleton.hpp"
#include "tk/tk_user_interface.hpp"

class error_handler : public tk_singleton<error_handler> {
  public:
    // Messages past this count are not kept in the front end's error list.
    static constexpr size_t max_listed_errors = 20;

    error_handler(size_t count, const t_error_message* pairs);
    ~error_handler() override = default;

    // The front end that shows messages and asks questions; none means nothing is shown.
    void set_user_interface(tk_user_interface* ui) noexcept { ui_ = ui; }
    tk_user_interface* user_interface() const noexcept { return ui_; }

    // Where the next error of the calling thread happens: a table, or a table and a one-based
    // record number.
    void set_context(std::u16string_view table);
    void set_context(std::u16string_view table, int64_t record);
    void clear_context() noexcept;

    // Reports the error by its level. With b_final false, Abort and fatal errors raise
    // tk_final_exception to stop the caller's operation; with b_final true it only reports.
    // An internal error (level 2) ends the process after its dialog.
    void handle(const tk_exception& e, bool b_final);

    // An operation that runs on several threads: once one thread's question is answered Abort
    // (or an error ends the operation), stopping() answers true and the errors of the other
    // threads are listed but no longer asked about; they raise tk_final_exception as an Abort
    // would.
    void begin_shared_operation() noexcept;
    void end_shared_operation() noexcept;
    bool stopping() const noexcept { return b_stopping_.load(std::memory_order_acquire); }

    bool dont_show() const noexcept { return b_dont_show; }
    const tk_error_converter& converter() const noexcept { return converter_; }

    // How the process ends after an internal error; tests replace it.
    std::function<void(int)> end_process;

    // The caption of message boxes: the window title and " Error", or "Error" alone.
    std::string error_caption() const;

  private:
    std::string build_message(const tk_exception& e) const;
    // Reports the error; called with the lock held.
    void handle_locked(const tk_exception& e, bool b_final);
    [[noreturn]] void stop_operation();

    std::recursive_mutex mutex_;
    bool b_shared_ = false;
    std::atomic<bool> b_stopping_{false};
    bool b_dont_show = false;
    std::map<uint32_t, int> help_topics_;
    tk_error_converter converter_;
    tk_user_interface* ui_ = nullptr;
};
