#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each one over its seed corpus.
# Usage: scripts/fuzz.sh [--brief]
#   FUZZ_SECONDS per target: 60, or 10 with --brief.
# New corpus entries go to build-fuzz/corpus/<target>/, findings to build-fuzz/findings/; the
# committed seeds in fuzz/corpus/<target>/ are only read. Exits non-zero when a target fails.
set -euo pipefail

cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
case "${1:-}" in
    --brief) seconds=${FUZZ_SECONDS:-10} ;;
    "") ;;
    *) echo "usage: $0 [--brief]" >&2; exit 2 ;;
esac

build_dir=build-fuzz
# shellcheck disable=SC2086  # CMAKE_FLAGS holds several settings
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DSITE_LAUNCHER_FUZZ=ON \
    ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build_dir" -j2 --target fuzzers

failed=()
while read -r target; do
    [ -n "$target" ] || continue
    seeds=fuzz/corpus/$target
    corpus=$build_dir/corpus/$target
    findings=$build_dir/findings/$target
    mkdir -p "$corpus" "$findings"
    [ -d "$seeds" ] || seeds=
    echo "== $target: ${seconds}s"
    log=$build_dir/findings/$target.log
    if "$build_dir/fuzzers/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" ${seeds:+"$seeds"} \
        >"$log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
    else
        failed+=("$target")
        tail -n 40 "$log"
        echo "== $target FAILED; the input is in $findings/, the log in $log"
    fi
done <"$build_dir/fuzzers/targets.txt"

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found problems in: ${failed[*]}"
    exit 1
fi
echo "fuzzing: no problems found"
