#!/usr/bin/env bash
# Saves under load: nginx with the module and HOSTS hosts (SchemeA) under
# wrk, in runs without saves and runs while the configuration is saved every
# SAVE_SECONDS as the administration program saves it (the new text compiled
# aside, its index renamed into place, then the text), and runs while the
# same work is done on a copy that nothing serves (busy). Prints per run the
# requests, the slowest request and the saves made, and at the end, per
# kind, the requests, the slowest request and the CPU time of the nginx
# processes per request (bench/servers.sh).
#
# Usage: bench/nginx/saves_under_load.sh [BUILD_DIR]   (default build/bench-nginx)
#        ROUNDS=3 SECONDS_PER_RUN=20 SAVE_SECONDS=2 CONNECTIONS=20 HOSTS=100000
#        WORKERS=2, NGINX_MODULE=PATH for a module built elsewhere,
#        ORDER=compile-after to compile after the replacement (a hand edit).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-"$source_dir/build/bench-nginx"}
rounds=${ROUNDS:-3}
duration=${SECONDS_PER_RUN:-20}
save_seconds=${SAVE_SECONDS:-2}
connections=${CONNECTIONS:-20}
hosts=${HOSTS:-100000}
ORDER=${ORDER:-index-first}
. "$source_dir/bench/nginx/common.sh"

build_site "$build_dir"
if [ -z "$(nginx_module)" ]; then
  echo "no nginx module in $build_dir/nginx and no NGINX_MODULE: no saves to measure" >&2
  exit 0
fi

# start NAME PORT: the nginx under load.
start() {
  site_create "$build_dir"
  host1_file
  compiled_configuration "$hosts" "$2"
  nginx_start mervane "$2"
}

servers_start start nginx
echo "$(du -h "$site/saved.cfg" | cut -f1) configuration, $hosts hosts, ${WORKERS:-2} workers, $ORDER"
saves_rounds "${port_of[nginx]}"
