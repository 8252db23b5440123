#pragma once
// Runs one functor on a worker thread. A thread cannot be killed safely in C++, so terminate()
// asks the functor to stop (it checks stop_requested() between units of work) and joins it.

#include <atomic>
#include <memory>
#include <thread>

class tk_thread_functor {
  public:
    virtual ~tk_thread_functor() = default;

    // The thread's body: idles until is_done() or a stop request, then on_finish().
    virtual void operator()();
    virtual bool is_done() { return false; }
    virtual void idle();
    virtual void on_finish() {}

    void request_stop() noexcept { stop_.store(true, std::memory_order_relaxed); }
    void clear_stop() noexcept { stop_.store(false, std::memory_order_relaxed); }
    bool stop_requested() const noexcept { return stop_.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> stop_{false};
};

class tk_thread {
  public:
    explicit tk_thread(bool owns_functor = false) : b_owns_functor(owns_functor) {}
    virtual ~tk_thread();
    tk_thread(const tk_thread&) = delete;
    tk_thread& operator=(const tk_thread&) = delete;

    // The functor to run; the base makes a plain functor that it owns.
    virtual tk_thread_functor* create_functor();

    void start();
    // Asks the functor to stop and waits for the thread to end.
    void terminate();
    bool is_running() const noexcept;
    // Waits for the thread to end by itself.
    void join();

  protected:
    bool b_owns_functor;

  private:
    void clean_up();

    std::thread thread_;
    std::atomic<bool> finished_{true};
    tk_thread_functor* functor_ = nullptr;
};
