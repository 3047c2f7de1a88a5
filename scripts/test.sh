#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: once as built for use, once
# with AddressSanitizer and UndefinedBehaviorSanitizer; then a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLAVUE_SANITIZE=ON -DPARLAVUE_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# libFuzzer targets with ASan and UBSan in a tree of their own (clang), each for a short run
# from its seeds in tests/fuzz/corpus/.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DPARLAVUE_FUZZ=ON
cmake --build build-fuzz --target fuzz -j "$jobs"
tests/fuzz/run_fuzzers.sh build-fuzz
