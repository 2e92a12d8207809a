#!/usr/bin/env bash
# Saves under load: one Apache with mod_mervane and 100,000 hosts (SchemeA)
# under wrk, in runs without saves and runs while the configuration file is
# replaced (written aside and renamed over it, as a save does) every
# SAVE_SECONDS, each replacement followed by mervane-map --compile, as a hand
# edit is compiled. Prints per run the requests, the slowest request and the
# saves made, and at the end the ratio of the requests of the runs with
# saves to those without, and each kind's slowest request.
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
. "$source_dir/scripts/apache-site.sh"
. "$source_dir/bench/apache/common.sh"

build_site "$build_dir"

read -r port < <(free_ports 1)
saver_pid=
cleanup() {
  [ -z "$saver_pid" ] || kill "$saver_pid" 2>/dev/null || true
  site_stop
}
trap cleanup EXIT
site_create "$build_dir"
[ -z "${LIBRARY:-}" ] || cp "$LIBRARY" "$site/bin/mervane.so"
site_file 'd:\www\host1\f.htm' "$(head -c 1023 /dev/zero | tr '\0' x)"
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
config=$site/drives/c/mervane/mervane.cfg
configuration "$hosts" "$port" >"$site/saved.cfg"
cp "$site/saved.cfg" "$config"
compile() { "$build_dir/tools/mervane_map/mervane-map" --compile "$config" >/dev/null; }
compile
site_start
echo "$(du -h "$config" | cut -f1) configuration, $hosts hosts, $mpm MPM, ${LIBRARY:-this build}, ${ORDER:-compiled after the replacement}"

# Replaces the file every save_seconds until killed; counts its saves.
save_forever() {
  local saves=0
  trap 'echo "$saves" >"$site/saves"; exit 0' TERM
  while :; do
    sleep "$save_seconds" &
    wait $!
    cp "$site/saved.cfg" "$config.next"
    chown --reference="$config" "$config.next"
    if [ "${ORDER:-}" = index-first ]; then
      "$build_dir/tools/mervane_map/mervane-map" --compile "$config.next" >/dev/null
      mv "$config.next.index" "$config.index"
      mv "$config.next" "$config"
    else
      mv "$config.next" "$config"
      compile
    fi
    saves=$((saves + 1))
  done
}

# run KIND: one wrk run; prints "requests slowest_ms".
run() {
  local out
  if [ "$1" = saves ]; then
    save_forever &
    saver_pid=$!
  fi
  out=$(wrk -t2 -c"$connections" -d"${duration}s" -H 'Host: host1' \
    "http://127.0.0.1:$port/f.htm")
  if [ "$1" = saves ]; then
    kill -TERM "$saver_pid"
    wait "$saver_pid" || true
    saver_pid=
  fi
  grep 'Non-2xx\|Socket errors' <<<"$out" >&2 || true
  awk '
    function ms(v) {
      if (v ~ /us$/) return v / 1000
      if (v ~ /ms$/) return v + 0
      if (v ~ /m$/) return v * 60000
      return v * 1000
    }
    /Latency/ { slowest = ms($4) }
    /requests in/ { requests = $1 }
    END { printf "%d %.1f\n", requests, slowest }' <<<"$out"
}

total_quiet=0 total_saves=0 slowest_quiet=0 slowest_saves=0
for round in $(seq "$rounds"); do
  for kind in quiet saves; do
    read -r requests slowest < <(run "$kind")
    saves=0
    [ "$kind" = quiet ] || saves=$(cat "$site/saves")
    echo "round $round $kind: $requests requests, slowest $slowest ms, $saves saves"
    if [ "$kind" = quiet ]; then
      total_quiet=$((total_quiet + requests))
      slowest_quiet=$(awk -v a="$slowest_quiet" -v b="$slowest" 'BEGIN { print (b > a) ? b : a }')
    else
      total_saves=$((total_saves + requests))
      slowest_saves=$(awk -v a="$slowest_saves" -v b="$slowest" 'BEGIN { print (b > a) ? b : a }')
    fi
  done
done
awk -v q="$total_quiet" -v s="$total_saves" -v mq="$slowest_quiet" -v ms="$slowest_saves" 'BEGIN {
  printf "requests with saves: %.1f%% of those without; slowest %.1f ms with saves, %.1f ms without\n",
    100 * s / q, ms, mq }'
echo "($rounds rounds of ${duration}s each kind, a save every ${save_seconds}s, wrk -t2 -c$connections)"
