#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them. Benchmarks print figures;
# none of them is a test.
#
#   scripts/bench.sh [SUITE...] [-- GOOGLE_BENCHMARK_ARGS...]
#
# Suites (default: store filter):
#   store   loading, saving and host lookups of the configuration store for
#           1,000 to 100,000 hosts (Google Benchmark)
#   filter  the filter's cost per request, log off and on, one and two
#           threads, warm and with the caches flushed, through the library's
#           exports and by a loaded snapshot, against a bare stat() (Google
#           Benchmark)
#   memory  the resident memory that the filter library gains by loading
#           100,000 hosts, and at the peak of a reload
#   reload  requests through the built library while the configuration file
#           is replaced again and again: latencies, waits, blocked time
#   saves   1,000 saves killed at random: torn, lost and left-over files
#   body    time and memory of mervanecfg for a 1 MiB request body
#   apache  plain Apache, mod_vhost_alias and mod_mervane under wrk
#   index   the compiled index at 100,000 hosts: one load through the
#           exports with the index and from the text, the Pss of 20
#           processes, the administration's save
#   index-million  the same at 1,000,000 hosts (about 270 MB of text)
#   apache-saves  mod_mervane with 100,000 hosts under wrk, with and without
#           the configuration file replaced every 2 s, compiled after the
#           replacement (a hand edit) and with its index first (a save),
#           with the event MPM and with prefork's 20 children
#   nginx   nginx with the module (10 and 100,000 hosts) against nginx with
#           root .../$host, then the module with 100,000 hosts under wrk
#           with and without a save every 2 s (NGINX_MODULE=PATH: a module
#           built elsewhere; BASELINE_BUILD=DIR: an older revision's build
#           of the module and library compared beside this one's)
#
# BASELINE=PATH (a mervane.so built from an older revision) runs the index
# and apache-saves suites with that library too, beside this build's.
set -euo pipefail
cd "$(dirname "$0")/.."
suites=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  suites+=("$1")
  shift
done
[ "${1:-}" != -- ] || shift
[ ${#suites[@]} -gt 0 ] || suites=(store filter)

scripts/install-deps.sh native
dir=build/bench
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMERVANE_BENCH=ON \
  -DMERVANE_TESTS=OFF >/dev/null
cmake --build "$dir" -j"${JOBS:-2}"

for suite in "${suites[@]}"; do
  echo "== $suite"
  case $suite in
  store) "$dir/bench/config/config_bench" "$@" ;;
  filter) "$dir/bench/filter/filter_bench" "$@" ;;
  memory) "$dir/bench/filter/load_memory_bench" ;;
  reload) "$dir/bench/reload/reload_bench" ;;
  saves) "$dir/bench/config/killed_save_bench" 1000 ;;
  body) bench/cgi/large_body_bench.sh "$dir/admin/mervanecfg" ;;
  apache) bench/apache/compare_servers.sh "$dir" ;;
  nginx)
    bench/nginx/compare_servers.sh "$dir"
    bench/nginx/saves_under_load.sh "$dir"
    ;;
  index | index-million)
    hosts=100000
    [ "$suite" = index ] || hosts=1000000
    for library in "$dir/filter/mervane.so" ${BASELINE:+"$BASELINE"}; do
      "$dir/bench/filter/index_bench" --library "$library" "$hosts"
    done
    ;;
  apache-saves)
    for order in compile-after index-first; do
      for mpm in event prefork; do
        for library in "" ${BASELINE:+"$BASELINE"}; do
          ORDER=$order MPM=$mpm LIBRARY=$library \
            bench/apache/saves_under_load.sh "$dir"
        done
      done
    done
    ;;
  *)
    echo "unknown suite: $suite" >&2
    exit 2
    ;;
  esac
done
