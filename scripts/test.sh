#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the tree built for use and a
# tree with AddressSanitizer and UndefinedBehaviorSanitizer, whose tests run together in one ctest
# run; then a short run of each fuzz target. Each step prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
began=$SECONDS

timed() {
  local label=$1 t0=$SECONDS
  shift
  "$@"
  echo "test.sh: ${label} took $((SECONDS - t0)) s (${SECONDS} s so far)"
}

timed "installing" scripts/install-deps.sh --tests

timed "building for use" bash -c '
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$1"' _ "$jobs"

timed "building with sanitizers" bash -c '
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLAVUE_SANITIZE=ON \
    -DPARLAVUE_BENCH=OFF >/dev/null
  cmake --build build-asan -j "$1"' _ "$jobs"

# libFuzzer targets with ASan and UBSan in a tree of their own (clang); seeds in
# tests/fuzz/corpus/.
timed "building the fuzz targets" bash -c '
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DPARLAVUE_FUZZ=ON >/dev/null
  cmake --build build-fuzz --target fuzz -j "$1"' _ "$jobs"

# Both trees' tests together, so that resource locks rather than whole runs keep apart the tests
# that must not overlap (tests/CMakeLists.txt); the sanitizer tree's are named "asan.". First the
# voice's real-time measurements, one at a time with nothing beside them; then all the rest.
mkdir -p build-tests
printf 'subdirs("%s" "%s")\n' "$PWD/build" "$PWD/build-asan" >build-tests/CTestTestfile.cmake
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1
timed "testing the voice measurements" ctest --test-dir build-tests --output-on-failure --no-tests=error -L measure
timed "testing the rest" \
  ctest --test-dir build-tests --output-on-failure -j "$((jobs + 1))" -LE measure

timed "fuzzing" tests/fuzz/run_fuzzers.sh build-fuzz
echo "test.sh: all passed in $((SECONDS - began)) s"
