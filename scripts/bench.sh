#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them: loading, saving and host
# lookups of the configuration store for 1,000 to 100,000 hosts, and the
# filter's cost per request against a bare stat() of the configuration file.
# Extra arguments go to both benchmark programs (e.g. --benchmark_filter=...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
dir=build/bench
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMERVANE_BENCH=ON \
  -DMERVANE_TESTS=OFF >/dev/null
cmake --build "$dir" -j"${JOBS:-2}" --target config_bench filter_bench
"$dir/bench/config/config_bench" "$@"
"$dir/bench/filter/filter_bench" "$@"
