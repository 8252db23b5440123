#include "app/brixel_startup.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/brixel_converter.hpp"
#include "ora/ora_exception.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_error_converter.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_thread.hpp"
#include "tk/tk_user_interface.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// Runs the converter, which it does not own, on the worker thread.
class conversion_thread : public tk_thread {
  public:
    explicit conversion_thread(tk_thread_functor& converter) : converter_(converter) {}
    tk_thread_functor* create_functor() override {
        b_owns_functor = false;
        return &converter_;
    }

  private:
    tk_thread_functor& converter_;
};

// How often the waiting thread looks whether the run has ended: a run that ends between two
// polls is not waited for until the next one.
constexpr uint32_t end_check_ms = 10;

}  // namespace

brixel_startup::brixel_startup(tk_user_interface& ui, bool b_use_store) : ui_(ui) {
    size_t count = 0;
    const t_error_message* messages = ora_error_messages(count);
    handler_ = std::make_unique<error_handler>(count, messages);
    handler_->set_user_interface(&ui_);
    try {
        converter_ = std::make_unique<brixel_converter>(b_use_store);
    } catch (const std::exception& e) {
        report(e);
        throw;
    }
}

brixel_startup::~brixel_startup() {
    converter_.reset();
    handler_.reset();
}

bool brixel_startup::load_quick_launch_profile(const std::string& command_line) {
    TK_LOG(2, "QUICK LAUNCH: profile=%s", command_line.c_str());
    return converter_->load_profile(tk_a2w(command_line));
}

bool brixel_startup::connect() {
    TK_LOGW(2, u"Just before calling 'connect_oracle_server', dest=%s", converter_->dest.c_str());
    try {
        converter_->connect_oracle_server(converter_->dest);
        TK_LOG(2, "Connection has been established");
        return true;
    } catch (const ora_exception& e) {
        report_connection_error(e);
    } catch (const tk_exception& e) {
        if (e.level == 2) {
            handler_->handle(e, true);  // the internal-error dialog, then the end of the process
        } else {
            ui_.error_noted(e.message);
            ui_.error(handler_->error_caption(), e.message);
        }
    } catch (const std::exception& e) {
        ui_.error_noted(e.what());
        ui_.error(handler_->error_caption(), e.what());
    }
    TK_LOG(2, "Cannot connect to Oracle");
    return false;
}

void brixel_startup::report_connection_error(const ora_exception& e) {
    // Nothing is left to continue with, so the user is told, not asked; a listener that cannot
    // be reached also gets the help page on connecting.
    const std::string friendly = handler_->converter().convert(e.code);
    const std::string& text = friendly.empty() ? e.message : friendly;
    ui_.error_noted(text);
    ui_.error(handler_->error_caption(), text);
    switch (e.ora_number()) {
        case 12500:
        case 12505:
        case 12541:
        case 12545:
            ui_.display_help(connection_help_topic);
            break;
        default:
            break;
    }
}

void brixel_startup::run(const std::function<void()>& poll, uint32_t poll_ms) {
    if (!stop_requested()) {
        conversion_thread worker(*converter_);
        worker.start();
        // Starting the thread clears the converter's stop request; one that came meanwhile is
        // passed on again.
        if (stop_requested()) {
            converter_->request_stop();
        }
        // A period of 0 would spin; the shortest wait is one millisecond.
        const uint32_t period = std::max<uint32_t>(poll_ms, 1);
        while (worker.is_running()) {
            if (poll) {
                poll();
            }
            for (uint32_t waited = 0; waited < period && worker.is_running();
                 waited += end_check_ms) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::min(end_check_ms, period - waited)));
            }
        }
        worker.join();
    }
    if (poll) {
        poll();
    }
}

void brixel_startup::request_stop() noexcept {
    b_stop_.store(true, std::memory_order_relaxed);
    if (converter_) {
        converter_->request_stop();
    }
}

void brixel_startup::report(const std::exception& e) {
    if (const auto* error = dynamic_cast<const tk_exception*>(&e)) {
        handler_->handle(*error, true);
    } else if (dynamic_cast<const tk_final_exception*>(&e) == nullptr) {
        // tk_final_exception means the user was told already.
        ui_.error(handler_->error_caption(), e.what());
    }
}

int brixel_startup::quick_launch(const std::string& command_line, const std::function<void()>& poll,
                                 uint32_t poll_ms) {
    try {
        // A profile that is not applied completely still runs with what it set.
        load_quick_launch_profile(command_line);
    } catch (const std::exception& e) {
        report(e);
        return exit_start_up_error;
    }
    if (!connect()) {
        return exit_cannot_connect;
    }
    run(poll, poll_ms);
    return 0;
}
