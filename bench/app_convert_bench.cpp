// The whole conversion of one DBF table into the OCI stand-in, through the converter as a front
// end drives it: 100,000 records of character, numeric, date, logical and memo fields (a memo on
// every tenth record), logging off, once with the row load and once with the array load, and a
// million records with the array load. Reports rows per second of the run, the peak resident
// memory of the run, and from the stand-in's session counters the round trips, commits and row
// executes per row; the destination row count must equal the source's. When GDAL's ogr2ogr is on
// the PATH, the same 100,000-record table is also written into SQLite by it, as a yardstick.
//
//     app_convert_bench [--benchmark_...]
//     OCISIM_ROUND_TRIP_US=200 app_convert_bench --benchmark_filter='records:100000'
//
// The stand-in reads its round-trip delay once per process (when the client environment is
// made): run the program once without and once with the delay. delay_us shows which it was.
//
// The table and the stand-in home are made once in a scratch folder (BRIXEL_TEST_TMP, else the
// system's temporary folder) and removed at the end. One conversion per benchmark run: a
// converter runs once, and a second run would only measure the drop of the table as well.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"
#include "ora/ora_exception.hpp"
#include "support/dbf_writer.hpp"
#include "support/scripted_user_interface.hpp"
#include "tk/error_handler.hpp"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t small_count = 100000;
constexpr uint32_t large_count = 1000000;
const char* const service = "BENCH";
const char* const user = "loader";
const char* const password = "pw";

// The scratch folder with the table, the stand-in home and the settings store, made once.
class bench_setup {
  public:
    bench_setup() {
        const char* tmp = std::getenv("BRIXEL_TEST_TMP");
        root_ = fs::path(tmp != nullptr && *tmp != 0 ? tmp : fs::temp_directory_path().string()) /
                ("app_convert_bench." + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(source());
        fs::create_directories(home());
        fs::create_directories(root_ / "config");

        setenv("BRIXEL_OCI_LIBRARY", OCISIM_LIBRARY, 1);
        setenv("OCISIM_HOME", home().c_str(), 1);
        setenv("OCISIM_COUNTERS", counters().c_str(), 1);
        setenv("BRIXEL_CONFIG_HOME", (root_ / "config").c_str(), 1);
        admin(std::string("create-service ") + service);
        admin(std::string("create-user ") + service + " " + user + " " + password);
    }
    ~bench_setup() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    bench_setup(const bench_setup&) = delete;
    bench_setup& operator=(const bench_setup&) = delete;

    fs::path source() const { return root_ / "dbf"; }
    fs::path home() const { return root_ / "ocisim"; }
    fs::path counters() const { return root_ / "counters.txt"; }
    fs::path root() const { return root_; }

    // The table "sales<count>" with that many records, written on first use.
    std::u16string table(uint32_t record_count) const {
        const std::string name = "sales" + std::to_string(record_count);
        if (!fs::exists(source() / (name + ".dbf"))) {
            write_table(name, record_count);
        }
        return std::u16string(name.begin(), name.end());
    }

  private:
    void write_table(const std::string& name, uint32_t record_count) const {
        dbf_writer layout(dbf_ver::foxpro2_memo);
        layout.codepage(0x03)
            .field("ID", 'N', 8)
            .field("CUSTOMER", 'C', 30)
            .field("CITY", 'C', 20)
            .field("AMOUNT", 'N', 12, 2)
            .field("ORDERED", 'D', 8)
            .field("PAID", 'L', 1)
            .field("NOTE", 'M', 10);
        const char* const cities[] = {"Besançon", "München", "Göteborg", "Porto", "Logroño"};
        const std::string note =
            "Delivered to the rear entrance; the customer asked for the invoice by e-mail and "
            "for the empty crates to be collected on the next delivery. Payment within 30 days.";
        dbf_writer::stream out(layout, source(), name + ".dbf", record_count);
        std::vector<dbf_cell> cells;
        for (uint32_t i = 0; i < record_count; ++i) {
            cells.clear();
            cells.push_back(dbf_cell::integer(i + 1));
            cells.push_back(dbf_cell::text("Customer number " + std::to_string(i % 5000)));
            cells.push_back(dbf_cell::text(cities[i % 5]));  // ASCII but for one accent each
            cells.push_back(dbf_cell::number(static_cast<double>(i % 100000) / 100.0 + 10.25));
            cells.push_back(dbf_cell::date(2000 + static_cast<int>(i % 25),
                                           1 + static_cast<int>(i % 12),
                                           1 + static_cast<int>(i % 28)));
            cells.push_back(dbf_cell::logical(i % 3 != 0));
            cells.push_back(i % 10 == 0 ? dbf_cell::memo(note) : dbf_cell::blank());
            out.add(cells);
        }
        out.finish();
    }
    void admin(const std::string& arguments) const {
        const std::string command = std::string(OCISIM_ADMIN) + " " + arguments + " > /dev/null";
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("failed: " + command);
        }
    }

    fs::path root_;
};

// The counters of the last session that ended: "user=U service=S round_trips=N commits=N
// executes=N".
struct session_counters {
    double round_trips = 0;
    double commits = 0;
    double executes = 0;
};

session_counters last_session(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::string last;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            last = line;
        }
    }
    session_counters c;
    std::istringstream words(last);
    for (std::string word; words >> word;) {
        const size_t eq = word.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        if (key == "round_trips") {
            c.round_trips = std::stod(value);
        } else if (key == "commits") {
            c.commits = std::stod(value);
        } else if (key == "executes") {
            c.executes = std::stod(value);
        }
    }
    if (c.executes == 0) {
        throw std::runtime_error("no session counters in " + file.string());
    }
    return c;
}

std::u16string wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Starts a new peak of the resident memory; false when the system cannot.
bool reset_peak_memory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

// The peak resident memory since the last reset, in MB (VmHWM).
double peak_memory_mb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

double delay_us() {
    const char* value = std::getenv("OCISIM_ROUND_TRIP_US");
    return value != nullptr ? std::atof(value) : 0.0;
}

bench_setup& setup() {
    static bench_setup one;
    return one;
}

void convert_table(benchmark::State& state) {
    bench_setup& setup = ::setup();
    const auto record_count = static_cast<uint32_t>(state.range(1));
    const std::u16string table = setup.table(record_count);
    std::u16string destination_name = table;
    for (char16_t& c : destination_name) {
        c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    }
    const bool b_peak = reset_peak_memory();
    for (auto _ : state) {
        scripted_user_interface ui;
        size_t count = 0;
        const t_error_message* messages = ora_error_messages(count);
        auto handler = std::make_unique<error_handler>(count, messages);
        handler->set_user_interface(&ui);
        fs::remove(setup.counters());

        double seconds = 0;
        double peak_mb = 0;
        uint32_t inserted = 0;
        uint32_t destination_rows = 0;
        try {
            brixel_converter converter;
            converter.src = setup.source().u16string();
            converter.selected_tables = {table};
            converter.mode = brixel_converter::mode_overwrite;
            converter.load.method =
                state.range(0) == 0 ? ora_load_method::row : ora_load_method::array;
            converter.store_oracle_settings(u"localhost", wide(user), wide(password), u"1521");
            converter.connect_oracle_server(wide(service));

            const auto start = std::chrono::steady_clock::now();
            converter();
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            state.SetIterationTime(seconds);
            // The run's peak, the in-process stand-in's included; read before the row count
            // below, for which the stand-in reads the whole table into memory.
            peak_mb = b_peak ? peak_memory_mb() : 0;

            const std::vector<t_table_report> reports = converter.reports();
            inserted = reports.empty() ? 0 : reports.front().inserted;
            destination_rows = converter.engine.get_records_cnt(destination_name, false);
        } catch (const std::exception& e) {  // the session has ended and written its counters
            state.SkipWithError((std::string("the conversion failed: ") + e.what()).c_str());
            break;
        }
        handler.reset();

        if (!ui.log.empty()) {
            state.SkipWithError(("the run reported: " + ui.log.front().text).c_str());
            break;
        }
        if (inserted != record_count || destination_rows != record_count) {
            state.SkipWithError(("rows: " + std::to_string(inserted) + " inserted, " +
                                 std::to_string(destination_rows) + " in the destination, " +
                                 std::to_string(record_count) + " expected")
                                    .c_str());
            break;
        }
        const session_counters c = last_session(setup.counters());
        const double rows = record_count;
        state.counters["rows"] = rows;
        state.counters["rows_per_s"] = rows / seconds;
        // The stand-in counts an execute per row an array execute carries, so this is about 1
        // for both methods; the round trips tell the executes the server was sent.
        state.counters["row_executes_per_row"] = c.executes / rows;
        state.counters["round_trips_per_row"] = c.round_trips / rows;
        state.counters["commits_per_row"] = c.commits / rows;
        state.counters["delay_us"] = delay_us();
        if (b_peak) {
            state.counters["peak_rss_mb"] = peak_mb;
        }
    }
}

// GDAL's ogr2ogr writing the same 100,000-record table into a new SQLite file, timed from its
// start to its exit; skipped when it is not installed.
void ogr2ogr_sqlite(benchmark::State& state) {
    bench_setup& setup = ::setup();
    const std::u16string table = setup.table(small_count);
    const fs::path dbf = setup.source() / (std::string(table.begin(), table.end()) + ".dbf");
    const fs::path out = setup.root() / "ogr.sqlite";
    if (std::system("command -v ogr2ogr > /dev/null 2>&1") != 0) {
        state.SkipWithError("ogr2ogr is not installed (Debian: gdal-bin)");
        return;
    }
    for (auto _ : state) {
        fs::remove(out);
        const std::string command =
            "ogr2ogr -f SQLite '" + out.string() + "' '" + dbf.string() + "' > /dev/null 2>&1";
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            break;
        }
        state.SetIterationTime(seconds);
        state.counters["rows"] = small_count;
        state.counters["rows_per_s"] = small_count / seconds;
    }
}

// Arguments: the method (0: the row load; 1: the array load, 1000 rows per execute, a commit
// per 10,000) and the number of records.
BENCHMARK(convert_table)
    ->ArgNames({"array", "records"})
    ->Args({0, small_count})
    ->Args({1, small_count})
    ->Args({1, large_count})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK(ogr2ogr_sqlite)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
