#include "sim_config.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "oracle_model.h"

namespace ocisim {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

long env_long(const char* name, long fallback) {
    std::string v = env(name);
    return v.empty() ? fallback : std::strtol(v.c_str(), nullptr, 10);
}

std::mutex g_file_mutex;  // serialises appends from sessions of several threads

}  // namespace

void FaultInjector::parse(const std::string& text) {
    std::string normalized = text;
    for (char& c : normalized) {
        if (c == ';') {
            c = '\n';
        }
    }
    std::stringstream in(normalized);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::stringstream fields(line);
        std::string error, nth, mode;
        if (!std::getline(fields, error, ',') || !std::getline(fields, nth, ',') ||
            !std::getline(fields, mode, ',')) {
            continue;
        }
        FaultRule r;
        std::getline(fields, r.pattern);
        r.error = std::atoi(error.c_str());
        r.nth = std::max(1, std::atoi(nth.c_str()));
        r.once = mode != "always";
        r.regex = std::regex(r.pattern, std::regex::icase | std::regex::ECMAScript);
        rules_.push_back(std::move(r));
    }
}

std::optional<int> FaultInjector::check(const std::string& sql) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (FaultRule& r : rules_) {
        if (!std::regex_search(sql, r.regex)) {
            continue;
        }
        ++r.seen;
        if (r.once ? r.seen == r.nth : r.seen >= r.nth) {
            return r.error;
        }
    }
    return std::nullopt;
}

std::shared_ptr<SimConfig> SimConfig::from_environment() {
    auto c = std::make_shared<SimConfig>();
    c->statement_log = env("OCISIM_STATEMENT_LOG");
    c->counters_file = env("OCISIM_COUNTERS");
    c->round_trip_us = env_long("OCISIM_ROUND_TRIP_US", 0);
    c->commit_us = env_long("OCISIM_COMMIT_US", 0);
    c->lock_wait_ms = static_cast<int>(env_long("OCISIM_LOCK_WAIT_MS", kDefaultLockWaitMs));
    c->faults = std::make_shared<FaultInjector>();
    c->faults->parse(env("OCISIM_FAULTS"));
    std::string file = env("OCISIM_FAULTS_FILE");
    if (!file.empty()) {
        std::ifstream in(file);
        std::stringstream ss;
        ss << in.rdbuf();
        c->faults->parse(ss.str());
    }
    return c;
}

void SimConfig::log_statement(const std::string& sql) const {
    if (statement_log.empty()) {
        return;
    }
    // One statement per line; line feeds and backslashes are escaped.
    std::string line;
    line.reserve(sql.size() + 1);
    for (char c : sql) {
        if (c == '\\') {
            line += "\\\\";
        } else if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    line += '\n';
    std::lock_guard<std::mutex> lock(g_file_mutex);
    std::ofstream(statement_log, std::ios::app) << line;
}

void SimConfig::append_counters(const std::string& line) const {
    if (counters_file.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_file_mutex);
    std::ofstream(counters_file, std::ios::app) << line << '\n';
}

void sleep_us(long us) {
    if (us > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
}

}  // namespace ocisim
