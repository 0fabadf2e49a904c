#!/usr/bin/env bash
# Runs every test of a build folder; CTest's summary is the last thing printed.
set -euo pipefail
build_dir=${1:-build}
exec ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --timeout 300
