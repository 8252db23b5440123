// Cost of a trace line that is not written: logging off, and logging on below the threshold.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tk/tk_log.hpp"

namespace {

void bm_trace_logging_off(benchmark::State& state) {
    tk_log::get().reset();
    int value = 0;
    for (auto _ : state) {
        TK_TRACE("dbf_record::get_field(%d) name=%s", value, "CUSTOMER");
        benchmark::DoNotOptimize(++value);
    }
}
BENCHMARK(bm_trace_logging_off);

void bm_trace_below_threshold(benchmark::State& state) {
    tk_log::get().reset();
    char path[] = "/tmp/tk_log_bench_XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) {
        close(fd);
    }
    tk_log::get().set_path(path);
    tk_log::get().set_threshold(3);
    TK_TRACE("first line empties the file");
    int value = 0;
    for (auto _ : state) {
        TK_TRACEW(u"ole_variant::get_type %d", value);
        benchmark::DoNotOptimize(++value);
    }
    tk_log::get().reset();
    remove(path);
}
BENCHMARK(bm_trace_below_threshold);

}  // namespace

BENCHMARK_MAIN();
