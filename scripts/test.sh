#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, then the same
# tests under AddressSanitizer + UndefinedBehaviorSanitizer, then the engine and catalogue
# tests under ThreadSanitizer, then every fuzz target over its committed corpus and
# regression inputs (clang, AddressSanitizer + UBSan; no fuzzing). Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)

build_and_test() {
    local dir=$1
    shift
    local ctest_args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAVIN_BENCH=OFF "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 300 "${ctest_args[@]}")
}

echo "== normal build"
build_and_test build --
echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    build_and_test build-asan -- -DTESSAVIN_ASAN=ON
echo "== ThreadSanitizer (threaded subsystems)"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp" \
    build_and_test build-tsan -L "engine|catalogue" -- -DTESSAVIN_TSAN=ON
echo "== fuzz targets: corpora and regression inputs replayed"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 CC=clang CXX=clang++ \
    build_and_test build-fuzz -L fuzz -- -DTESSAVIN_FUZZ=ON
