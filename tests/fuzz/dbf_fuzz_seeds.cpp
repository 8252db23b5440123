// Writes the starting corpus of the DBF fuzzer: tables of every layout, field type and memo
// format made by the test writer, some damaged on purpose, and the small real tables of a
// sample folder with their memo files.
//
//     dbf_fuzz_seeds OUT_DIR [SAMPLES_DIR [MAX_BYTES]]

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/dbf_fuzz_cases.hpp"
#include "fuzz/dbf_fuzz_input.hpp"
#include "support/dbf_writer.hpp"

namespace fs = std::filesystem;

namespace {

int seeds_written = 0;

void put_seed(const fs::path& dir, const std::string& name, const dbf_fuzz_case& c) {
    std::ofstream out(dir / (name + ".seed"), std::ios::binary | std::ios::trunc);
    const std::string bytes = dbf_fuzz_pack(c);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ++seeds_written;
}

bool is_table(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext == ".dbf" || ext == ".dbc";
}

std::string read_all(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The memo file beside a table, whatever the case of its name.
std::string memo_beside(const fs::path& table) {
    const std::string stem = table.stem().string();
    for (const auto& entry : fs::directory_iterator(table.parent_path())) {
        const fs::path& p = entry.path();
        std::string ext = p.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (p.stem() == stem &&
            (ext == ".dbt" || ext == ".fpt" || ext == ".smt" || ext == ".dct")) {
            return read_all(p);
        }
    }
    return {};
}

void sample_seeds(const fs::path& dir, const fs::path& samples, uintmax_t max_bytes) {
    int n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(samples)) {
        const fs::path& p = entry.path();
        const std::string rel = fs::relative(p, samples).string();
        if (!entry.is_regular_file() || !is_table(p) || rel.rfind("expected/", 0) == 0 ||
            entry.file_size() > max_bytes) {
            continue;
        }
        std::string memo = memo_beside(p);
        if (memo.size() > max_bytes) {
            memo.clear();
        }
        put_seed(dir, "sample_" + std::to_string(n++), dbf_fuzz_case{read_all(p), memo, 0});
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dbf_fuzz_seeds OUT_DIR [SAMPLES_DIR [MAX_BYTES]]\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);
    for (const auto& [name, c] : dbf_fuzz_writer_cases()) {
        put_seed(out, name, c);
    }
    if (argc > 2 && fs::is_directory(argv[2])) {
        sample_seeds(out, argv[2], argc > 3 ? std::stoull(argv[3]) : 64 * 1024);
    }
    std::printf("%d seeds in %s\n", seeds_written, out.c_str());
    return 0;
}
