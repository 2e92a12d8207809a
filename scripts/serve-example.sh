#!/usr/bin/env bash
# Serves the built-in example through a real Apache httpd on
# 127.0.0.1:${PORT:-8080}: the filter hosted by mod_mervane, the example's
# hosts alpha and beta, and the administration program at /mervane-admin/ on
# a port of its own, 127.0.0.1:${ADMIN_PORT:-PORT+1}, never under the hosted
# names (user admin, a fresh password printed below). Stays in the
# foreground; Ctrl-C or SIGTERM stops Apache and removes everything it made.
#
# Usage: [PORT=8080] [ADMIN_PORT=8081] scripts/serve-example.sh [BUILD_FOLDER]
#        (default build folder: build/example)
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-"$source_dir/build/example"}
port=${PORT:-8080}
site_admin_port=${ADMIN_PORT:-$((port + 1))}
. "$source_dir/scripts/apache-site.sh"

"$source_dir/scripts/install-deps.sh" native
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DMERVANE_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target mervane mervanecfg mod_mervane >/dev/null

trap 'site_stop; exit 0' INT TERM
trap 'site_stop' EXIT
site_create "$build_dir"
site_example "$port"
site_conf "warn mervane:info" "$port"
site_start

url="http://127.0.0.1:$port"
cat <<EOF

Apache serves the example on $url (children run as $(site_user)).
Try:
  curl -H 'Host: alpha' $url/a/b.htm
  curl -H 'Host: alpha' $url/docs/x/y.txt
  curl -H 'Host: alpha' $url/cgi-bin/run.exe
  curl -H 'Host: beta' $url/img/logo.gif
  curl -H 'Host: beta' $url/
  curl -H 'Host: gamma' $url/a/b.htm      (not configured: the main site)

Administration: $site_admin_url/mervane-admin/   user admin, password $site_password
Site folder: $site (configuration: drives/c/mervane/mervane.cfg)
Press Ctrl-C to stop.
EOF
# wait returns early on a signal; the trap then stops Apache.
wait "$site_pid"
