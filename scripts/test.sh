#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a normal build (build/), once
# under AddressSanitizer and UndefinedBehaviorSanitizer with clang (build-asan/),
# where the fuzz targets also get a short smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
jobs=$(nproc)

echo "== Normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 900
packaging/package-check.sh build

echo "== Sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTALMON_SANITIZE=ON -DTALMON_BENCH=OFF -DTALMON_FUZZ=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 1800
