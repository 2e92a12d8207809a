#!/usr/bin/env bash
# Throughput and CPU cost of mod_mervane against plain Apache and
# mod_vhost_alias. Four Apaches run side by side on loopback ports, each
# serving one 1 KiB file for one host:
#   plain        DocumentRoot, no mapping
#   vhost_alias  VirtualDocumentRoot .../%0
#   mervane_10   mod_mervane, 10 hosts configured (no filter log)
#   mervane_100k mod_mervane, 100,000 hosts configured
# wrk loads them in turn (A B C D, then B C D A, ..., ROUNDS times). The
# script prints, per server, the median requests per second and CPU time of
# its httpd processes per request (from /proc), the medians of its per-round
# ratio and CPU difference to vhost_alias (which the machine's drifting load
# does not bias), and the resident memory of one child.
#
# Usage: bench/apache/compare_servers.sh [BUILD_DIR]   (default build/bench-apache)
#        ROUNDS=5 SECONDS_PER_RUN=5 CONNECTIONS=50 to change the load.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-"$source_dir/build/bench-apache"}
rounds=${ROUNDS:-5}
duration=${SECONDS_PER_RUN:-5}
connections=${CONNECTIONS:-50}
. "$source_dir/scripts/apache-site.sh"
. "$source_dir/bench/apache/common.sh"

build_site "$build_dir"

names=(plain vhost_alias mervane_10 mervane_100k)
declare -A port_of site_of pid_of
started=0
read -r -a ports < <(free_ports ${#names[@]})
cleanup() {
  [ "$started" -gt 0 ] || return 0
  for name in "${!site_of[@]}"; do
    site=${site_of[$name]} site_pid=${pid_of[$name]} site_stop
  done
}
trap cleanup EXIT

# start NAME: one Apache of the comparison.
start() {
  local name=$1 port=${ports[$started]} conf
  site_create "$build_dir"
  site_file 'd:\www\host1\f.htm' "$(head -c 1023 /dev/zero | tr '\0' x)"
  site_conf "warn" "$port"
  conf=$site/conf/httpd.conf
  case $name in
    plain | vhost_alias)
      sed -i -e '/^Mervane\|mervane_module/d' \
        -e "s|^DocumentRoot .*|DocumentRoot \"$site/drives/d/www/host1\"|" "$conf"
      ;;
    mervane_10) configuration 10 "$port" >"$site/drives/c/mervane/mervane.cfg" ;;
    mervane_100k) configuration 100000 "$port" >"$site/drives/c/mervane/mervane.cfg" ;;
  esac
  [ "$name" = vhost_alias ] && cat >>"$conf" <<EOF
LoadModule vhost_alias_module /usr/lib/apache2/modules/mod_vhost_alias.so
UseCanonicalName Off
VirtualDocumentRoot "$site/drives/d/www/%0"
EOF
  site_start
  [ "$(curl -s -H 'Host: host1' "http://127.0.0.1:$port/f.htm" | wc -c)" = 1024 ] ||
    { echo "$name does not serve the file" >&2; exit 1; }
  port_of[$name]=$port site_of[$name]=$site pid_of[$name]=$site_pid
  started=$((started + 1))
}

# cpu_ticks PID: user and system clock ticks of the process and its children.
cpu_ticks() {
  local total=0 p
  for p in "$1" $(pgrep -P "$1"); do
    total=$((total + $(awk '{ print $14 + $15 }' "/proc/$p/stat")))
  done
  echo "$total"
}

# child_rss_mb PID: the resident memory of one child of the Apache, in MB.
child_rss_mb() {
  awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$(pgrep -P "$1" | head -1)/status"
}


for name in "${names[@]}"; do start "$name"; done
ticks_per_second=$(getconf CLK_TCK)
declare -A rps cpu  # by "name round"
for round in $(seq "$rounds"); do
  # Each round starts one server further on: the load of the machine drifts,
  # and no server should always run last.
  shift_by=$((round % ${#names[@]}))
  for name in "${names[@]:shift_by}" "${names[@]:0:shift_by}"; do
    before=$(cpu_ticks "${pid_of[$name]}")
    out=$(wrk -t2 -c"$connections" -d"${duration}s" -H 'Host: host1' \
      "http://127.0.0.1:${port_of[$name]}/f.htm")
    after=$(cpu_ticks "${pid_of[$name]}")
    grep 'Non-2xx\|Socket errors' <<<"$out" | sed "s/^/$name: /" >&2 || true
    rps[$name $round]=$(awk '/Requests\/sec/ { print $2 }' <<<"$out")
    cpu[$name $round]=$(awk -v t=$((after - before)) -v hz="$ticks_per_second" \
      '/requests in/ { printf "%.2f", t * 1e6 / hz / $1 }' <<<"$out")
    echo "round $round $name: ${rps[$name $round]} req/s, ${cpu[$name $round]} us/req" >&2
  done
done

# The medians of each server's runs, and of its ratio and CPU difference to
# vhost_alias within each round, which the machine's drift does not bias.
printf '\n%-13s %12s %14s %14s %16s %10s\n' server "req/s (med)" "vs vhost_alias" \
  "CPU us/req" "vs vhost_alias" "child MB"
for name in "${names[@]}"; do
  for round in $(seq "$rounds"); do
    echo "${rps[$name $round]} ${cpu[$name $round]} ${rps[vhost_alias $round]} ${cpu[vhost_alias $round]}"
  done | awk -v n="$name" -v m="$(child_rss_mb "${pid_of[$name]}")" '
    function median(a, k,   i, j, t) {
      for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    { r[NR] = $1; c[NR] = $2; ratio[NR] = 100 * $1 / $3; diff[NR] = $2 - $4 }
    END { printf "%-13s %12.0f %13.1f%% %14.2f %+16.2f %10s\n", n, median(r, NR),
                 median(ratio, NR), median(c, NR), median(diff, NR), m }'
done
echo "($rounds rounds of ${duration}s, $connections connections, wrk -t2; medians)"
