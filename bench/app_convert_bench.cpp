// The whole conversion of one DBF table into the OCI stand-in, through the converter as a front
// end drives it: 100,000 records of character, numeric, date, logical and memo fields (a memo on
// every tenth record), logging off, once with the row load and once with the array load. Reports
// rows per second of the run, and from the stand-in's session counters the statements (executes),
// round trips and commits per row; the destination row count must equal the source's.
//
//     app_convert_bench [--benchmark_...]
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

constexpr uint32_t record_count = 100000;
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
        write_table();

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

  private:
    void write_table() const {
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
        dbf_writer::stream out(layout, source(), "sales.dbf", record_count);
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

void convert_table(benchmark::State& state) {
    static bench_setup setup;
    for (auto _ : state) {
        scripted_user_interface ui;
        size_t count = 0;
        const t_error_message* messages = ora_error_messages(count);
        auto handler = std::make_unique<error_handler>(count, messages);
        handler->set_user_interface(&ui);
        fs::remove(setup.counters());

        double seconds = 0;
        uint32_t inserted = 0;
        uint32_t destination_rows = 0;
        try {
            brixel_converter converter;
            converter.src = setup.source().u16string();
            converter.selected_tables = {u"sales"};
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

            const std::vector<t_table_report> reports = converter.reports();
            inserted = reports.empty() ? 0 : reports.front().inserted;
            destination_rows = converter.engine.get_records_cnt(u"SALES", false);
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
        state.counters["statements_per_row"] = c.executes / rows;
        state.counters["round_trips_per_row"] = c.round_trips / rows;
        state.counters["commits_per_row"] = c.commits / rows;
    }
}

// Argument 0: the row load; 1: the array load (1000 rows per execute, a commit per 10,000).
BENCHMARK(convert_table)
    ->ArgName("array")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
