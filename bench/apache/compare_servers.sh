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
. "$source_dir/bench/servers.sh"

build_site "$build_dir"

# start NAME PORT: one Apache of the comparison.
start() {
  local name=$1 port=$2 conf
  site_create "$build_dir"
  host1_file
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
}

names=(plain vhost_alias mervane_10 mervane_100k)
servers_start start "${names[@]}"
compare_rounds vhost_alias "${names[@]}"
