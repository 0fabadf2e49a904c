#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UBSan (GCC) in build-asan and runs every test there.
# Any leak, memory error or undefined behaviour fails the run.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=build-asan

# Also in effect while building: test discovery runs the test programs.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0

started=$(date +%s)
# Unoptimised: builds much faster, and the tests are short.
# shellcheck disable=SC2086  # CMAKE_FLAGS holds several settings
cmake -S . -B "$build_dir" -G Ninja -DSITE_LAUNCHER_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build_dir" -j2
built=$(date +%s)

status=0
ctest --test-dir "$build_dir" --output-on-failure -j2 --timeout 600 || status=$?
finished=$(date +%s)
echo "sanitized build: $((built - started)) s, tests: $((finished - built)) s"
exit "$status"
