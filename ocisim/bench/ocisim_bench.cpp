// Rows per second the stand-in accepts: single-row INSERTs committed one by one (literal
// values, and the application's INSERT ... RETURNING ROWID form) and array INSERTs.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "oci_client.h"

namespace {

struct Fixture {
    ScratchHome home;
    Conn db;
    Fixture() {
        db.connect();
        db.exec(
            "CREATE TABLE \"T\" (\"ID\" NUMBER(11,0), \"NAME\" NVARCHAR2(40) , \"AMT\" "
            "NUMBER(10,2))");
    }
};

void report(benchmark::State& state, int64_t rows) {
    state.SetItemsProcessed(rows);
    state.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void BM_SingleRowInsertCommitEach(benchmark::State& state) {
    Fixture f;
    int64_t n = 0;
    for (auto _ : state) {
        ++n;
        std::string sql = "INSERT INTO \"T\" (\"ID\", \"NAME\", \"AMT\") VALUES(" +
                          std::to_string(n) + ", 'name " + std::to_string(n) + "', 12.5)";
        if (f.db.exec(sql, oci::COMMIT_ON_SUCCESS) != oci::SUCCESS) {
            state.SkipWithError(f.db.text().c_str());
            break;
        }
    }
    report(state, n);
}
BENCHMARK(BM_SingleRowInsertCommitEach)->Unit(benchmark::kMicrosecond)->UseRealTime();

struct RowidBuffer {
    char16_t buf[256];
    ub4 len = sizeof buf;
    sb2 in_ind = -1;
    sb2 out_ind = -1;
};

sb4 no_data(void* ctx, void*, ub4, ub4, void** bufp, ub4* alenp, ub1* piecep, void** indp) {
    *bufp = nullptr;
    *alenp = 0;
    *indp = &static_cast<RowidBuffer*>(ctx)->in_ind;
    *piecep = oci::ONE_PIECE;
    return oci::CONTINUE;
}

sb4 get_data(void* ctx, void*, ub4, ub4, void** bufp, ub4** alenp, ub1* piecep, void** indp,
             ub2** rcodep) {
    auto* r = static_cast<RowidBuffer*>(ctx);
    *bufp = r->buf;
    *alenp = &r->len;
    *piecep = oci::ONE_PIECE;
    *indp = &r->out_ind;
    *rcodep = nullptr;
    return oci::CONTINUE;
}

void BM_SingleRowInsertReturningRowid(benchmark::State& state) {
    Fixture f;
    auto& a = oci::Api::get();
    RowidBuffer rowid;
    std::u16string placeholder = u16(":1");
    int64_t n = 0;
    for (auto _ : state) {
        ++n;
        std::string sql = "INSERT /*+ APPEND */ INTO \"T\" (\"ID\", \"NAME\", \"AMT\") VALUES(" +
                          std::to_string(n) + ", 'name " + std::to_string(n) +
                          "', 12.5) RETURNING ROWID INTO :1";
        f.db.prepare(sql);
        void* bind = nullptr;
        a.BindByName(f.db.stmt, &bind, f.db.err, placeholder.data(), 4, rowid.buf, sizeof rowid.buf,
                     oci::SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, oci::DATA_AT_EXEC);
        a.BindDynamic(bind, f.db.err, &rowid, no_data, &rowid, get_data);
        if (f.db.execute(1, oci::COMMIT_ON_SUCCESS) != oci::SUCCESS) {
            state.SkipWithError(f.db.text().c_str());
            break;
        }
    }
    report(state, n);
}
BENCHMARK(BM_SingleRowInsertReturningRowid)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ArrayInsert(benchmark::State& state) {
    Fixture f;
    auto& a = oci::Api::get();
    const auto batch = static_cast<ub4>(state.range(0));
    std::vector<int> ids(batch);
    std::vector<char16_t> names(batch * 16, u'\0');
    std::vector<double> amounts(batch, 12.5);
    int64_t rows = 0;
    f.db.prepare("INSERT INTO \"T\" (\"ID\", \"NAME\", \"AMT\") VALUES (:1, :2, :3)");
    void* b = nullptr;
    a.BindByPos(f.db.stmt, &b, f.db.err, 1, ids.data(), sizeof(int), oci::SQLT_INT, nullptr,
                nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    a.BindByPos(f.db.stmt, &b, f.db.err, 2, names.data(), 32, oci::SQLT_STR, nullptr, nullptr,
                nullptr, 0, nullptr, oci::DEFAULT);
    a.BindByPos(f.db.stmt, &b, f.db.err, 3, amounts.data(), sizeof(double), oci::SQLT_FLT, nullptr,
                nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    for (auto _ : state) {
        for (ub4 i = 0; i < batch; ++i) {
            ids[i] = static_cast<int>(rows + i);
            std::u16string name = u16("name " + std::to_string(rows + i));
            std::copy(name.begin(), name.end(), names.begin() + i * 16);
        }
        if (f.db.execute(batch, oci::COMMIT_ON_SUCCESS) != oci::SUCCESS) {
            state.SkipWithError(f.db.text().c_str());
            break;
        }
        rows += batch;
    }
    report(state, rows);
}
BENCHMARK(BM_ArrayInsert)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
