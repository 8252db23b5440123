// Costs of the value conversions on the record path: parsing DBF texts into DECIMAL, DATE and
// I4 values and rendering DECIMAL, R8 and DATE values as literal text. Logging is off, as in a
// conversion run without a log file. Google Benchmark prints the time per call.
#include <benchmark/benchmark.h>

#include "tk/tk_log.hpp"
#include "udb/ole_variant.hpp"

namespace {

void log_off() {
    tk_log::get().disable();
}

void from_string_decimal(benchmark::State& state) {
    log_off();
    for (auto _ : state) {
        ole_variant v = ole_variant::from_string("  -1234567.8900", VT_DECIMAL);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(from_string_decimal);

void from_string_date_timestamp(benchmark::State& state) {
    log_off();
    for (auto _ : state) {
        ole_variant v = ole_variant::from_string("20161231", VT_DATE);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(from_string_date_timestamp);

void from_string_date_time(benchmark::State& state) {
    log_off();
    for (auto _ : state) {
        ole_variant v = ole_variant::from_string("2016-12-31 23:59:59", VT_DATE);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(from_string_date_time);

void from_string_i4(benchmark::State& state) {
    log_off();
    for (auto _ : state) {
        ole_variant v = ole_variant::from_string("   123456", VT_I4);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(from_string_i4);

void to_string_decimal(benchmark::State& state) {
    log_off();
    const ole_variant v = ole_variant::from_string("-1234567.89", VT_DECIMAL);
    for (auto _ : state) {
        std::string text = v.to_string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(to_string_decimal);

void to_string_r8(benchmark::State& state) {
    log_off();
    const ole_variant v(1234.5678);
    for (auto _ : state) {
        std::string text = v.to_string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(to_string_r8);

void to_string_date(benchmark::State& state) {
    log_off();
    const ole_variant v = ole_variant::from_string("20161231235959", VT_DATE);
    for (auto _ : state) {
        std::string text = v.to_string();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(to_string_date);

// The reader's refill path: one value object reused for every record.
void set_wstring_reused(benchmark::State& state) {
    log_off();
    ole_variant v;
    const std::u16string text(40, u'x');
    for (auto _ : state) {
        v.set_wstring(text);
        v.set_i4(1);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(set_wstring_reused);

}  // namespace

BENCHMARK_MAIN();
