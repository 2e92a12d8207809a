#!/usr/bin/env bash
# Saves under load: one Apache with mod_mervane and 100,000 hosts (SchemeA)
# under wrk, in runs without saves and runs while the configuration file is
# replaced (written aside and renamed over it, as a save does) every
# SAVE_SECONDS, each replacement followed by mervane-map --compile, as a hand
# edit is compiled, and runs while the same work is done on a copy that
# nothing serves (busy). Prints per run the requests, the slowest request
# and the saves made, and at the end, per kind, the requests, the slowest
# request and the server's CPU time per request (bench/servers.sh).
#
# Usage: bench/apache/saves_under_load.sh [BUILD_DIR]   (default build/bench-apache)
#        ROUNDS=1 SECONDS_PER_RUN=20 SAVE_SECONDS=2 CONNECTIONS=20 HOSTS=100000
#        MPM=event (two children of 50 threads) or prefork (20 children)
#        ORDER=index-first compiles the new text aside and renames its index
#        into place before the text, in the order of the administration
#        program's saves, instead of compiling after the replacement
#        LIBRARY=PATH measures another build of the filter, an older one
#        for example (one that knows no index ignores it).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-"$source_dir/build/bench-apache"}
rounds=${ROUNDS:-1}
duration=${SECONDS_PER_RUN:-20}
save_seconds=${SAVE_SECONDS:-2}
connections=${CONNECTIONS:-20}
hosts=${HOSTS:-100000}
mpm=${MPM:-event}
. "$source_dir/bench/servers.sh"

build_site "$build_dir"

# start NAME PORT: the Apache under load.
start() {
  local port=$2
  site_create "$build_dir"
  [ -z "${LIBRARY:-}" ] || cp "$LIBRARY" "$site/bin/mervane.so"
  host1_file
  site_conf "warn" "$port"
  if [ "$mpm" = prefork ]; then
    # One connection per child, as wrk's 20 need.
    sed -i -e 's/mpm_event/mpm_prefork/g' \
      -e '/^\(StartServers\|ServerLimit\|ThreadsPerChild\|MaxRequestWorkers\|MaxSpareThreads\) /d' \
      "$site/conf/httpd.conf"
    printf '%s\n' "StartServers $connections" "MinSpareServers $connections" \
      "MaxSpareServers $connections" "ServerLimit $connections" \
      "MaxRequestWorkers $connections" >>"$site/conf/httpd.conf"
  fi
  compiled_configuration "$hosts" "$port"
  site_start
}

servers_start start apache
echo "$(du -h "$site/saved.cfg" | cut -f1) configuration, $hosts hosts, $mpm MPM, ${LIBRARY:-this build}, ${ORDER:-compiled after the replacement}"
saves_rounds "${port_of[apache]}"
