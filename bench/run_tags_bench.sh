#!/usr/bin/env bash
# Builds and runs the tag benchmarks (bench/tags_bench.cpp) in build-tags-bench/.
#   bench/run_tags_bench.sh [FOLDER [read|save]]   FOLDER: where the test files go (a real disk,
#   not tmpfs); read or save runs only that half
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tags-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRVANE_BENCH=ON -DMIRVANE_TESTS=OFF >/dev/null
cmake --build build-tags-bench --target tags_bench -- -j2
exec build-tags-bench/bench/tags_bench "$@"
