#pragma once
// The process-wide trace log. Every line is written by its own open, write and close, so two
// threads may log without a lock. The macros test the level before any argument is evaluated:
// a line that will not be written costs two relaxed loads and a branch.

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

class tk_log {
  public:
    // The one log object of the process; it exists from the first use and starts disabled.
    static tk_log& get() noexcept { return instance_; }

    // Sets the file and turns logging on; the first line written afterwards empties the file
    // (naming the file that is already set again keeps what this process wrote there).
    // The path may change while other threads write: it is read and changed under a lock, which
    // only a line that is written takes.
    void set_path(std::string path);
    std::string path() const;

    void set_threshold(int level) noexcept { threshold_.store(level, std::memory_order_relaxed); }
    int threshold() const noexcept { return threshold_.load(std::memory_order_relaxed); }
    void set_newline(bool on) noexcept { b_newline_.store(on, std::memory_order_relaxed); }
    void set_timestamp(bool on) noexcept { b_timestamp_.store(on, std::memory_order_relaxed); }
    void disable() noexcept { b_enabled_.store(false, std::memory_order_relaxed); }
    bool enabled() const noexcept { return b_enabled_.load(std::memory_order_relaxed); }

    // True when a line of this level would touch the file: either it passes the threshold, or
    // the file still has to be emptied (which happens even for a line below the threshold).
    bool active(int level) const noexcept {
        return b_enabled_.load(std::memory_order_relaxed) &&
               (level >= threshold_.load(std::memory_order_relaxed) ||
                !b_truncated_.load(std::memory_order_relaxed));
    }

    // printf-style narrow line (UTF-8).
    void write(int level, const char* format, ...) noexcept __attribute__((format(printf, 3, 4)));
    // Wide line: the format is UTF-16; %s takes a const char16_t* (null-terminated), %c a
    // char16_t, the numeric conversions are those of printf. Formatted into 10,240 UTF-16 units
    // (longer output is cut), then into 10,240 UTF-8 bytes (a longer line loses its text).
    void write_w(int level, const char16_t* format, ...) noexcept;

    // Used by tests to start from a clean state.
    void reset() noexcept;

  private:
    constexpr tk_log() = default;

    static tk_log instance_;  // constant-initialised: usable before any dynamic initialiser

    // Empties the file on the first line, applies the threshold, opens for appending and writes
    // the time prefix; null when the line is not to be written.
    std::FILE* begin_line(int level) noexcept;
    // Line end and close.
    void end_line(std::FILE* file) noexcept;

    mutable std::mutex path_mutex_;
    std::string path_;
    std::atomic<int> threshold_{1};
    std::atomic<bool> b_newline_{true};
    std::atomic<bool> b_enabled_{false};
    std::atomic<bool> b_truncated_{false};
    std::atomic<bool> b_timestamp_{false};
};

// TK_LOG(level, "format", args...): a narrow line. TK_TRACE(...) is TK_LOG at the trace level 1.
#define TK_LOG(level, ...)                             \
    do {                                               \
        if (tk_log::get().active(level)) {             \
            tk_log::get().write((level), __VA_ARGS__); \
        }                                              \
    } while (0)
#define TK_TRACE(...) TK_LOG(1, __VA_ARGS__)

// TK_LOGW(level, u"format", args...): a wide line; TK_TRACEW at the trace level.
#define TK_LOGW(level, ...)                              \
    do {                                                 \
        if (tk_log::get().active(level)) {               \
            tk_log::get().write_w((level), __VA_ARGS__); \
        }                                                \
    } while (0)
#define TK_TRACEW(...) TK_LOGW(1, __VA_ARGS__)
