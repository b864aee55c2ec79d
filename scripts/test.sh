#!/usr/bin/env bash
# Builds Quarry and runs every test: the ordinary build, then the parsers,
# codecs and network code again under AddressSanitizer and UBSan together
# with a bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUARRY_SANITIZE=ON -DQUARRY_FUZZ=ON -DQUARRY_BUILD_BENCH=OFF -DQUARRY_BUILD_GUI=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L 'engine|web|platform|updater|fault|fuzz'
