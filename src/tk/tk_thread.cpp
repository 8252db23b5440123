#include "tk/tk_thread.hpp"

#include <chrono>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

void tk_thread_functor::operator()() {
    while (!is_done() && !stop_requested()) {
        idle();
    }
    on_finish();
}

void tk_thread_functor::idle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

tk_thread::~tk_thread() {
    if (is_running()) {
        if (functor_ != nullptr) {
            functor_->request_stop();
        }
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (b_owns_functor) {
        delete functor_;
    }
}

tk_thread_functor* tk_thread::create_functor() {
    b_owns_functor = true;
    return new tk_thread_functor;
}

bool tk_thread::is_running() const noexcept {
    return thread_.joinable() && !finished_.load(std::memory_order_acquire);
}

void tk_thread::clean_up() {
    TK_ASSERT(!is_running(), "tk_threa.cpp");
    if (thread_.joinable()) {
        thread_.join();
    }
    if (b_owns_functor) {
        delete functor_;
    }
    functor_ = nullptr;
}

void tk_thread::start() {
    TK_ASSERT(!is_running(), "tk_threa.cpp");
    clean_up();
    TK_ASSERT(functor_ == nullptr, "tk_threa.cpp");
    functor_ = create_functor();
    TK_ASSERT(functor_ != nullptr, "tk_threa.cpp");
    functor_->clear_stop();
    finished_.store(false, std::memory_order_release);
    thread_ = std::thread([this, functor = functor_] {
        try {
            (*functor)();
        } catch (const std::exception& e) {
            // The functor reports its own errors; anything that escapes is logged, because an
            // exception leaving a thread would end the process.
            TK_LOG(3, "Worker thread ended by an exception: %s", e.what());
        }
        finished_.store(true, std::memory_order_release);
    });
}

void tk_thread::terminate() {
    TK_ASSERT(is_running(), "tk_threa.cpp");
    functor_->request_stop();
    thread_.join();
    clean_up();
}

void tk_thread::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}
