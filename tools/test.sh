#!/bin/sh
# Builds Tessaro with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test. Usage: tools/test.sh (TESSARO_JOBS limits the parallel jobs)
set -eu
cd "$(dirname "$0")/.."

tools/install-deps.sh

build=build-test
jobs=${TESSARO_JOBS:-$(nproc)}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTESSARO_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$jobs"

# Leaks of Qt's font and platform plugins at exit are not the program's.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$(pwd)/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
