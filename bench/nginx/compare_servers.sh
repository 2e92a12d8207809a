#!/usr/bin/env bash
# Throughput and CPU cost of nginx with the module against nginx with
# `root .../$host`, what a site written without it names. Three nginx run
# side by side on loopback ports, each with WORKERS workers (2), serving
# one 1 KiB file for host1 from the same folder:
#   root          root .../d/www/$host, no module
#   mervane_10    mervane on, 10 hosts configured (SchemeA, compiled)
#   mervane_100k  mervane on, 100,000 hosts configured
#   before_10, before_100k  the same with the module and library of
#                 BASELINE_BUILD (an older revision's build), when set
# wrk loads them in turn, ROUNDS times, each round starting one further on.
# The script prints, per server, the median requests per second and CPU
# time of its nginx processes per request (from /proc), and the medians of
# its per-round ratio and CPU difference to root.
#
# Usage: bench/nginx/compare_servers.sh [BUILD_DIR]   (default build/bench-nginx)
#        ROUNDS=5 SECONDS_PER_RUN=5 CONNECTIONS=50 WORKERS=2 to change the load,
#        NGINX_MODULE=PATH for a module built elsewhere,
#        BASELINE_BUILD=DIR to measure a change side by side.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-"$source_dir/build/bench-nginx"}
rounds=${ROUNDS:-5}
duration=${SECONDS_PER_RUN:-5}
connections=${CONNECTIONS:-50}
. "$source_dir/bench/nginx/common.sh"

build_site "$build_dir"

# start NAME PORT: one nginx of the comparison.
start() {
  local name=$1 port=$2 build=$build_dir
  [[ $name != before_* ]] || build=$BASELINE_BUILD
  site_create "$build"
  host1_file
  case $name in
    root)
      nginx_start root "$port"
      return
      ;;
    *_10) compiled_configuration 10 "$port" ;;
    *_100k) compiled_configuration 100000 "$port" ;;
  esac
  build_dir=$build nginx_start mervane "$port"
}

names=(root mervane_10 mervane_100k)
[ -z "${BASELINE_BUILD:-}" ] || names+=(before_10 before_100k)
if [ -z "$(nginx_module)" ]; then
  echo "no nginx module in $build_dir/nginx and no NGINX_MODULE: nginx alone" >&2
  names=(root)
fi
servers_start start "${names[@]}"
compare_rounds root "${names[@]}"
