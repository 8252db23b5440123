// Settings for tests and benchmarks, read from the environment when an OCI environment is
// created: statement log, per-session counters, simulated latency and fault injection.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace ocisim {

// One fault: statements matching `pattern` (case-insensitive regular expression) fail with
// ORA-`error` on their `nth` matching execution (once) or on every one from the nth on.
struct FaultRule {
    int error = 0;
    int nth = 1;
    bool once = true;
    std::string pattern;
    std::regex regex;
    int seen = 0;
};

class FaultInjector {
  public:
    // Rules, one per line or separated by ';':  error,nth,once|always,pattern
    // e.g. "54,1,once,^DROP TABLE" or "3113,500,once,INSERT".
    void parse(const std::string& text);
    // The error to raise for this execution of `sql`, if any rule fires.
    std::optional<int> check(const std::string& sql);
    bool empty() const { return rules_.empty(); }

  private:
    std::mutex mutex_;
    std::vector<FaultRule> rules_;
};

struct SimConfig {
    std::string statement_log;  // OCISIM_STATEMENT_LOG: file that receives every prepared text
    std::string counters_file;  // OCISIM_COUNTERS: per-session counters at session end
    long round_trip_us = 0;     // OCISIM_ROUND_TRIP_US
    long commit_us = 0;         // OCISIM_COMMIT_US
    int lock_wait_ms = 0;       // OCISIM_LOCK_WAIT_MS
    std::shared_ptr<FaultInjector> faults;  // OCISIM_FAULTS, OCISIM_FAULTS_FILE

    static std::shared_ptr<SimConfig> from_environment();
    void log_statement(const std::string& sql) const;
    void append_counters(const std::string& line) const;
};

void sleep_us(long us);

}  // namespace ocisim
