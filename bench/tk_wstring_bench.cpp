// Decoding one DBF text field into a reused wide buffer, as the record path does.

#include <benchmark/benchmark.h>

#include <string>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

void bm_ansi_to_ucs2_reused_buffer(benchmark::State& state) {
    tk_log::get().reset();
    const int codepage = static_cast<int>(state.range(0));
    // A 40-byte character field: letters with a few code-page specific bytes and blank padding.
    std::string field = "Customer \xc4\xe4\xd6 name \x8f\xe0 address";
    field.resize(40, ' ');
    std::u16string out;
    for (auto _ : state) {
        tk_ansi_to_ucs2(field, codepage, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 40);
}
BENCHMARK(bm_ansi_to_ucs2_reused_buffer)->Arg(1252)->Arg(866)->Arg(932);

}  // namespace

BENCHMARK_MAIN();
