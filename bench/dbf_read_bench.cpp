// Reading speed of the DBF source: a Visual FoxPro table with a realistic mix of character,
// numeric, date, logical, integer, double, date-time and memo fields is generated once (1,000,000
// records by default, and a 100,000-record table to compare memory with), then opened and walked
// record by record, every field decoded, as the conversion run does. Logging stays off.
//
// Reported per run: records/s and MB/s (bytes of table and memo file per second), and the peak
// resident memory of the process after the run, so that the two table sizes show whether memory
// grows with the number of records.
//
//     dbf_read_bench [--benchmark_filter=...]      BRIXEL_BENCH_DIR: where the tables go

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_recordset.hpp"
#include "support/dbf_writer.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace fs = std::filesystem;

namespace {

fs::path bench_dir() {
    const char* dir = std::getenv("BRIXEL_BENCH_DIR");
    if (dir == nullptr) {
        dir = std::getenv("BRIXEL_TEST_TMP");
    }
    return fs::path(dir != nullptr ? dir : "/tmp") / "brixel_dbf_read_bench";
}

double max_rss_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// A customer table: every record has a name, city and code, an amount with decimals, a
// quantity, dates, flags, an integer id, a double, a time stamp; one record in four has a note
// of 40 to 400 characters in the memo file.
const fs::path& table_of(uint32_t records) {
    static std::vector<std::pair<uint32_t, fs::path>> made;
    for (const auto& [n, p] : made) {
        if (n == records) {
            return p;
        }
    }
    dbf_writer w(dbf_ver::vfp);
    w.codepage(0x03)
        .field("CUST_ID", 'I', 4)
        .field("NAME", 'C', 40)
        .field("CITY", 'C', 25)
        .field("CODE", 'C', 8)
        .field("AMOUNT", 'N', 12, 2)
        .field("QTY", 'N', 6)
        .field("BORN", 'D', 8)
        .field("JOINED", 'D', 8)
        .field("ACTIVE", 'L', 1)
        .field("VIP", 'L', 1)
        .field("RATIO", 'B', 8, 4)
        .field("UPDATED", 'T', 8)
        .field("NOTE", 'M', 4);
    const std::string file = "customers_" + std::to_string(records) + ".dbf";
    const fs::path folder = bench_dir();
    if (!fs::exists(folder / file)) {
        static const char* const names[] = {"Anna Müller", "Björn Sørensen", "Carlos García",
                                            "Dana Novak",  "Émile Dubois",   "Farah Khan"};
        static const char* const cities[] = {"Zürich", "Oslo", "Sevilla", "Brno", "Lyon"};
        dbf_writer::stream out(w, folder, file, records);
        std::vector<dbf_cell> cells;
        for (uint32_t i = 0; i < records; ++i) {
            cells.clear();
            cells.push_back(dbf_cell::integer(static_cast<int64_t>(i) + 1));
            cells.push_back(dbf_cell::text(names[i % 6]));
            cells.push_back(dbf_cell::text(cities[i % 5]));
            cells.push_back(dbf_cell::text("C" + std::to_string(i % 100000)));
            cells.push_back(dbf_cell::number((i % 1000000) / 100.0));
            cells.push_back(dbf_cell::integer(i % 997));
            cells.push_back(dbf_cell::date(1940 + i % 60, 1 + i % 12, 1 + i % 28));
            cells.push_back(i % 10 ? dbf_cell::date(2000 + i % 24, 1 + i % 12, 1 + i % 28)
                                   : dbf_cell::blank());
            cells.push_back(dbf_cell::logical(i % 3 != 0));
            cells.push_back(dbf_cell::logical(i % 17 == 0));
            cells.push_back(dbf_cell::floating(i * 0.001));
            cells.push_back(
                dbf_cell::datetime(2020 + i % 5, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 60));
            cells.push_back(i % 4 == 0 ? dbf_cell::memo(std::string(40 + i % 361, 'a' + i % 26))
                                       : dbf_cell::blank());
            out.add(cells, i % 50 == 0);
        }
        out.finish();
    }
    made.emplace_back(records, folder / file);
    return made.back().second;
}

uint64_t bytes_of(const fs::path& table) {
    uint64_t total = fs::file_size(table);
    fs::path memo = table;
    memo.replace_extension(".fpt");
    if (fs::exists(memo)) {
        total += fs::file_size(memo);
    }
    return total;
}

void read_table(benchmark::State& state) {
    tk_log::get().disable();
    const auto records = static_cast<uint32_t>(state.range(0));
    const fs::path& table = table_of(records);
    const std::u16string name = tk_a2w(table.string());
    const uint64_t bytes = bytes_of(table);

    uint64_t read = 0;
    uint64_t values = 0;
    for (auto _ : state) {
        dbf_recordset rs(name, 1, 0);
        for (rs.first(); !rs.is_eof(); rs.next()) {
            udb_record* record = rs.get_item();
            for (udb_field* f : *record) {
                values += f->vt() != VT_EMPTY ? 1 : 0;
            }
            ++read;
        }
        benchmark::DoNotOptimize(values);
    }
    if (read != static_cast<uint64_t>(records) * state.iterations()) {
        state.SkipWithError("record count mismatch");
        return;
    }
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(read), benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(
        static_cast<double>(bytes) * static_cast<double>(state.iterations()) / 1e6,
        benchmark::Counter::kIsRate);
    state.counters["table_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["max_rss_MB"] = max_rss_mb();
}

}  // namespace

// The small table first: the peak memory after the large one shows any growth.
BENCHMARK(read_table)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

BENCHMARK_MAIN();
