#!/usr/bin/env bash
# The whole test suite: install what is missing, configure, build under AddressSanitizer and
# UndefinedBehaviorSanitizer, run every test; fuzz the DBF reader briefly with Clang's libFuzzer;
# then check that a Release build compiles cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIXEL_SANITIZE=ON -DBRIXEL_WERROR=ON \
      -DBRIXEL_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs"

# The DBF reader under libFuzzer: seeds from the test writer and the real samples, then 30 s.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIXEL_FUZZ=ON \
      -DBRIXEL_WERROR=ON -DBRIXEL_BENCH=OFF
cmake --build build/fuzz -j "$jobs" --target dbf_fuzz dbf_fuzz_seeds
ctest --test-dir build/fuzz --output-on-failure -R '^dbf_fuzz'

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIXEL_WERROR=ON -DBRIXEL_TESTS=OFF
cmake --build build/release -j "$jobs"
