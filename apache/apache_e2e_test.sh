#!/usr/bin/env bash
# End-to-end tests through a real Apache httpd that hosts the built filter.
# Usage: apache_e2e_test.sh BUILD_DIR mapping|lookup|admin|reload|browser|startup|shared
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1
. "$source_dir/scripts/apache-site.sh"
. "$source_dir/scripts/site-tables.sh"
trap site_stop EXIT
read -r port other_port site_admin_port < <(free_ports 3)
base="http://127.0.0.1:$port"
failures=0

test_mapping() {
  site_example "$port"
  site_deep_host "$port"
  site_conf "warn mervane:debug" "$port" "$other_port"
  site_start
  while read -r host url listener expected; do
    expect "$host $url on $listener" "$expected" \
      "$(fetch "$host" "$url" "${!listener}")"
  done < <(site_example_requests)
  expect "directory without its final /" "301 http://alpha/docs/" \
    "$(curl -s -o /dev/null -H 'Host: alpha' -w '%{http_code} %{redirect_url}' "$base/docs")"
}

# The lookup beyond exact names: a host over IPv6 ([::1], its section --1),
# and on 127.0.0.1 a wildcard and a default host beside the example's; and
# mervane-map naming the entry that served. (The lookup's order and letter
# case are the filter's rows.)
test_lookup() {
  local cfg=$site/drives/c/mervane/mervane.cfg dir map address ipv6=yes
  # A container may run without IPv6, where Apache could not listen on ::1.
  grep -q '^0\{31\}1 ' /proc/net/if_inet6 2>/dev/null ||
    { ipv6=; echo "NOTE: no ::1 on this machine; the IPv6 rows are left out"; }
  site_example "$port"
  sed -i "s/{ VIRTUAL_HOSTS:/&\n{ *.example.com|$port:\n(string)UserDir=example\n(string)MapScheme=SchemeA\n} *.example.com|$port;\n{ *|$port:\n(string)UserDir=parking\n(string)MapScheme=SchemeA\n} *|$port;/" \
    "$cfg"
  cat >>"$cfg" <<EOF
{ --1:
{ VIRTUAL_HOSTS:
{ alpha|$port:
(string)UserDir=ipv6
(string)MapScheme=SchemeA
} alpha|$port;
} VIRTUAL_HOSTS;
{ MAIN:
(string)WebRoot=d:\\www
} MAIN;
} --1;
EOF
  for dir in ipv6 example parking; do
    site_file "d:\\www\\$dir\\index.htm" "d:\\www\\$dir\\index.htm"
  done
  site_conf "warn" "$port" "$other_port"
  [ -z "$ipv6" ] || echo "Listen [::1]:$port" >>"$site/conf/httpd.conf"
  site_start
  while read -r address host listener expected; do
    [ -n "$address" ] || continue
    [ -n "$ipv6" ] || [ "$address" != "[::1]" ] || continue
    expect "$host on $address:$listener" "$expected" \
      "$(fetch "$host" / "${!listener}")"
  done <<EOF
[::1]       alpha             port       200 d:\\www\\ipv6\\index.htm
[::1]       beta              port       200 c:\\inetpub\\wwwroot\\index.htm
127.0.0.1   alpha             port       200 d:\\www\\alpha\\index.htm
127.0.0.1   blog.example.com  port       200 d:\\www\\example\\index.htm
127.0.0.1   gamma             port       200 d:\\www\\parking\\index.htm
127.0.0.1   gamma             other_port 200 c:\\inetpub\\wwwroot\\index.htm
EOF
  expect "the log names the default" "     Using virtual host entry '*|$port'" \
    "$(grep -o "     Using virtual host entry '\*|$port'" "$site/drives/c/logs/filter.log" | head -1)"
  map=$(MERVANE_REGISTRY=$site/registry MERVANE_DRIVES=$site/drives \
    "$build_dir/tools/mervane_map/mervane-map" --library "$site/bin/mervane.so" \
    127.0.0.1 "$port" blog.example.com / 'c:\inetpub\wwwroot\')
  expect "mervane-map names the wildcard" "using virtual host entry '*.example.com|$port'" \
    "$(grep -o "using virtual host entry .*" <<<"$map")"
}

test_admin() {
  site_conf "warn" "$port"
  site_start
  expect "no password" 401 "$(curl -s -o /dev/null -w '%{http_code}' "$site_admin_url/mervane-admin/mervanecfg")"
  expect "not under a hosted name" 404 "$(curl -s -o /dev/null -w '%{http_code}' -H 'Host: gamma' "$base/mervane-admin/mervanecfg")"
  expect "never in another site's frame" 2 "$(admin ListIPs -- -D - -o /dev/null |
    grep -c -e '^X-Frame-Options: DENY' -e "^Content-Security-Policy: frame-ancestors 'none'")"
  expect "only the program on its port" 403 "$(curl -s -o /dev/null -w '%{http_code}' "$site_admin_url/index.htm")"
  expect "a change sent to another host name" 1 \
    "$(admin DoAddIP newIP=127.0.0.1 -- -H 'Host: gamma' | grep -c "Changes are accepted only from the forms")"
  site_gamma_saved
}

# A client requests alpha while its directory changes 20 times by saves:
# every answer is 200 and a whole version, and versions never go back.
test_reload() {
  local v log=$site/answers
  site_example "$port"
  for v in $(seq 0 20); do site_file "d:\\www\\v$v\\a\\b.htm" "version $v"; done
  site_conf "warn" "$port"
  # One child: each child checks the file on its own, so only within one
  # process does a later request never map with an older version.
  sed -i -e 's/^StartServers .*/StartServers 1/' -e 's/^ServerLimit .*/ServerLimit 1/' \
    -e 's/^MaxRequestWorkers .*/MaxRequestWorkers 50/' "$site/conf/httpd.conf"
  site_start
  admin DoEditVHost IP=127.0.0.1 "VHost=alpha|$port" "NewVHost=alpha|$port" 'UserDir=v0' Scheme=SchemeA >/dev/null
  (
    end=$((SECONDS + 8))
    while [ $SECONDS -lt $end ] && [ ! -e "$site/done" ]; do fetch alpha /a/b.htm; done
  ) >"$log" &
  for v in $(seq 1 20); do
    admin DoEditVHost IP=127.0.0.1 "VHost=alpha|$port" "NewVHost=alpha|$port" "UserDir=v$v" Scheme=SchemeA >/dev/null
    sleep 0.1
  done
  touch "$site/done"
  wait $!
  expect "last version served" "200 version 20" "$(fetch alpha /a/b.htm)"
  awk 'BEGIN { last = 0 }
       $1 != 200 || $2 != "version" || $3 !~ /^[0-9]+$/ || NF != 3 { bad++; next }
       $3 < last { back++ } { last = $3 }
       END { printf "%d answers, %d broken, %d back\n", NR, bad, back; exit (bad + back > 0) }' "$log" ||
    failures=$((failures + 1))
}

# The administration program in a browser (admin_browser_test.js), then the
# host it added, through Apache.
test_browser() {
  site_conf "warn" "$port"
  site_start
  site_file 'd:\sites\delta\index.htm' 'd:\sites\delta\index.htm'
  node "$source_dir/apache/admin_browser_test.js" "$site_admin_url" "$site_password" \
    "delta|$port" "$build_dir/apache/admin_browser.png" ||
    failures=$((failures + 1))
  expect "host added in the browser" "200 d:\sites\delta\index.htm" "$(fetch delta /)"
}

# Apache refuses to start, naming the directive to fix and why; each row
# changes the site (conf SED_EDIT edits httpd.conf), which is restored after;
# the error log doubles every backslash. Missing values and files are
# configuration_access_test.cc's rows; here Apache's User meets permissions.
# Then it starts without the configuration file, and serves it once created.
test_startup() {
  local conf=$site/conf/httpd.conf change directive reason
  local key="$site/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane"
  local cfg=$site/drives/c/mervane/mervane.cfg
  conf() { sed -i "$1" "$conf"; }
  site_example "$port"
  site_conf "warn" "$port"
  cp -a "$conf" "$site/httpd.conf.good"
  cp -a "$site/registry" "$site/registry.good"
  cp -a "$site/drives/c/mervane" "$site/mervane.good"
  while IFS='|' read -r change directive reason; do
    eval "$change"
    timeout 10 /usr/sbin/apache2 -d "$site" -f "$conf" -DFOREGROUND 2>/dev/null || true
    expect "start-up after $change" "$reason" \
      "$(grep -F "mod_mervane: $directive " "$site/logs/error.log" | grep -oF "$reason")"
    rm "$site/logs/error.log"
    cp -a "$site/httpd.conf.good" "$conf"
    rm -rf "$site/registry" "$site/drives/c/mervane"
    cp -a "$site/registry.good" "$site/registry"
    cp -a "$site/mervane.good" "$site/drives/c/mervane"
  done <<'EOF'
conf 's#^MervaneLibrary.*#MervaneLibrary bin/mod_mervane.so#'|MervaneLibrary|does not export
conf 's#^MervaneLibrary.*#MervaneLibrary /nonexistent/mervane.so#'|MervaneLibrary|does not exist
conf 's#^MervaneLibrary.*#MervaneLibrary /etc/hostname#'|MervaneLibrary|cannot be loaded
conf 's#^MervaneLibrary.*##'|MervaneFilter|needs MervaneLibrary
conf 's#^MervaneRegistry.*##'|MervaneRegistry|must name an existing folder
conf 's#^MervaneDrives.*#MervaneDrives nowhere#'|MervaneDrives|not an existing folder
chmod 0 "$key"|MervaneRegistry|cannot read a configuration file's path
chmod 0 "$key/Configuration File"|MervaneRegistry|cannot read a configuration file's path
chmod 0 "$cfg"|MervaneRegistry|cannot read the configuration file c:\\mervane\\mervane.cfg
EOF
  rm "$cfg"
  site_start
  expect "started without its file" "200 c:\\inetpub\\wwwroot\\a\\b.htm" "$(fetch alpha /a/b.htm)"
  site_example "$port"
  expect "the file once created" "200 d:\\www\\alpha\\a\\b.htm" "$(fetch alpha /a/b.htm)"
}

# Two servers, on 127.0.0.1 and 127.0.0.2, share one configuration folder,
# as servers sharing a network folder do: a change made through either
# administration program is served by both, and two administrators saving at
# once, one on each, lose nothing.
test_shared() {
  local first=127.0.0.1 second=127.0.0.2 second_conf=$site/conf/second.conf
  local ip n
  site_conf "warn" "$port"
  # Every address of the first, its administration's origin included.
  sed -e "s/127\.0\.0\.1:/$second:/g" \
    -e 's#^PidFile .*#PidFile logs/second.pid#' \
    -e 's#^ErrorLog .*#ErrorLog logs/error-second.log#' \
    "$site/conf/httpd.conf" >"$second_conf"
  site_start "$second_conf"
  second_pid=$site_pid
  trap 'kill -TERM "$second_pid"; wait "$second_pid"; site_stop' EXIT
  site_start
  site_file 'd:\sites\gamma\index.htm' 'd:\sites\gamma\index.htm'
  site_file 'd:\sites\delta\index.htm' 'd:\sites\delta\index.htm'
  # on_both ACTION FIELD=VALUE...: the action for each server's IP, through
  # the administration program at $site_admin_url.
  on_both() {
    for ip in $first $second; do admin "$1" "IP=$ip" "${@:2}" >/dev/null; done
  }
  admin DoAddIP newIP=$first >/dev/null
  admin DoAddIP newIP=$second >/dev/null
  local via dir
  for via in "$first gamma" "$second delta"; do
    read -r via dir <<<"$via"
    site_admin_url=http://$via:$site_admin_port on_both DoEditVHost "VHost=gamma|$port" \
      "NewVHost=gamma|$port" "UserDir=d:\\sites\\$dir" Scheme=SchemeA
    for ip in $first $second; do
      expect "change through $via, served by $ip" "200 d:\\sites\\$dir\\index.htm" \
        "$(address=$ip fetch gamma /)"
    done
  done
  # 25 new hosts through each administration program at the same time.
  local writers=()
  for ip in $first $second; do
    for n in $(seq 25); do
      site_admin_url=http://$ip:$site_admin_port admin DoEditVHost "IP=$ip" "VHost=h$n-${ip##*.}|$port" \
        "NewVHost=h$n-${ip##*.}|$port" 'UserDir=d:\sites\gamma' Scheme=SchemeA |
        grep -c 'Virtual host options saved!' || true
    done >"$site/saved-${ip##*.}" &
    writers+=($!)
  done
  wait "${writers[@]}"
  expect "saves reported" 50 "$(cat "$site"/saved-* | awk '{ n += $1 } END { print n }')"
  expect "hosts in the file" 50 \
    "$(grep -c '^ *{ h[0-9]*-[12]|' "$site/drives/c/mervane/mervane.cfg")"
  for ip in $first $second; do
    for n in 1 25; do
      expect "host h$n-${ip##*.} served" "200 d:\\sites\\gamma\\index.htm" \
        "$(address=$ip fetch "h$n-${ip##*.}" /)"
    done
  done
}

# PHP-FPM behind Apache as the README's "PHP sites" sets it up (php_site),
# with the package's mervane-php.conf, whose handler must win over the
# server's own PHP (the pool "main").
test_php() {
  command -v php-fpm8.2 >/dev/null || { echo "SKIP: php-fpm8.2 is not installed"; exit 77; }
  local host url expected
  trap 'php_cleanup; site_stop' EXIT
  php_site "$port"
  site_conf "warn" "$port" "$other_port"
  sed -i "s/^DirectoryIndex .*/DirectoryIndex index.php index.htm/" "$site/conf/httpd.conf"
  {
    echo "LoadModule proxy_module /usr/lib/apache2/modules/mod_proxy.so"
    echo "LoadModule proxy_fcgi_module /usr/lib/apache2/modules/mod_proxy_fcgi.so"
    sed "s#/run/php/#$php/#" "$source_dir/packaging/apache2/mervane-php.conf"
    # The server's own PHP, after the snippet as conf-enabled orders them.
    printf '<FilesMatch "\\.php$">\n  SetHandler "proxy:unix:%s|fcgi://localhost"\n</FilesMatch>\n' \
      "$php/mervane-main.sock"
  } >>"$site/conf/httpd.conf"
  site_start
  admin DoFolderExceptions IP=127.0.0.1 "VHost=alpha|$port" URLsub=new \
    'mapPath=d:\www\alpha\new' Add=Add >/dev/null
  while read -r host url expected; do
    [ -n "$host" ] || continue
    expect "$host $url" "$expected" "$(fetch "$host" "$url")"
  done < <(php_requests)
  expect "unknown host: the main site" \
    "200 c/inetpub/wwwroot||c/inetpub/wwwroot|/info.php|-|c/inetpub/wwwroot/info.php|-|$www" \
    "$(fetch gamma /info.php "$other_port")"
}

site_create "$build_dir"
"test_$2"
[ "$failures" -eq 0 ] || { tail -5 "$site/logs/error.log"; exit 1; }
echo "PASS $2"
