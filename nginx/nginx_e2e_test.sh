#!/usr/bin/env bash
# End-to-end tests through a real nginx that hosts the built filter, started
# by the test on loopback with a configuration of its own.
# Usage: nginx_e2e_test.sh BUILD_DIR mapping|fallbacks|admin|startup|php|stall
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1
. "$source_dir/scripts/apache-site.sh"
. "$source_dir/scripts/site-tables.sh"
trap 'nginx_stop; site_stop' EXIT
read -r port other_port site_admin_port < <(free_ports 3)
failures=0

# nginx_conf LEVEL PORT...: $site/conf/nginx.conf, the filter on for a
# server on 127.0.0.1 (and [::1] when $nginx_ipv6 is set) at each PORT,
# whose own root is the site's wwwroot and which holds the lines of
# $nginx_server (index files when unset). Two workers unless
# $nginx_workers says otherwise.
nginx_conf() {
  local level=$1 p
  shift
  cp "$build_dir/nginx/ngx_http_mervane_module.so" "$site/bin/"
  mkdir -p "$site/tmp"
  {
    echo "load_module $site/bin/ngx_http_mervane_module.so;"
    [ "$(id -u)" -ne 0 ] || echo "user www-data www-data;"
    cat <<EOF
worker_processes ${nginx_workers:-2};
error_log $site/logs/error.log $level;
events { worker_connections 256; }
http {
  include /etc/nginx/mime.types;
  access_log off;
  client_body_temp_path $site/tmp/body;
  proxy_temp_path $site/tmp/proxy;
  fastcgi_temp_path $site/tmp/fastcgi;
  uwsgi_temp_path $site/tmp/uwsgi;
  scgi_temp_path $site/tmp/scgi;
  mervane_library bin/mervane.so;
  mervane_registry registry;
  mervane_drives drives;
  mervane on;
EOF
    for p in "$@"; do
      echo "  server {"
      echo "    listen 127.0.0.1:$p;"
      [ -z "${nginx_ipv6:-}" ] || echo "    listen [::1]:$p;"
      echo "    root $site/drives/c/inetpub/wwwroot;"
      echo "${nginx_server:-    index index.htm;}"
      echo "  }"
    done
    echo "}"
  } >"$site/conf/nginx.conf"
}

# nginx_run [GLOBAL_DIRECTIVES [ARG...]]: becomes nginx with the site's
# prefix, configuration and pid file (one -g: nginx keeps only the last).
nginx_run() {
  exec /usr/sbin/nginx -p "$site/" -c "$site/conf/nginx.conf" \
    -g "pid $site/logs/nginx.pid; ${1:-}" "${@:2}"
}

# nginx_start: starts nginx in the foreground of a background job
# ($nginx_pid, its master) and waits until it answers on $port.
nginx_start() {
  chown -R "$(site_user)" "$site/registry" "$site/drives/c/mervane" "$site/drives/c/logs"
  (nginx_run "daemon off;" 2>>"$site/logs/error.log") &
  nginx_pid=$!
  site_wait "$nginx_pid" "127.0.0.1:$port"
}

nginx_stop() {
  [ -z "${nginx_pid:-}" ] || { kill -TERM "$nginx_pid" 2>/dev/null; wait "$nginx_pid" || true; }
  nginx_pid=
}

# nginx runs no CGI programs: those rows are Apache's.
without_cgi() { grep -v /cgi-bin/ || true; }

# The example's requests, over IPv6 too where the machine has ::1 (its
# section --1 maps alpha elsewhere), and nginx's own redirect to a folder.
test_mapping() {
  local cfg=$site/drives/c/mervane/mervane.cfg
  site_example "$port"
  site_deep_host "$port"
  if grep -q '^0\{31\}1 ' /proc/net/if_inet6 2>/dev/null; then
    nginx_ipv6=yes
    printf '{ --1:\n{ VIRTUAL_HOSTS:\n{ alpha|%s:\n(string)UserDir=ipv6\n(string)MapScheme=SchemeA\n} alpha|%s;\n} VIRTUAL_HOSTS;\n{ MAIN:\n(string)WebRoot=d:\\www\n} MAIN;\n} --1;\n' \
      "$port" "$port" >>"$cfg"
    site_file 'd:\www\ipv6\index.htm' 'd:\www\ipv6\index.htm'
  else
    echo "NOTE: no ::1 on this machine; the IPv6 rows are left out"
  fi
  nginx_conf "warn" "$port" "$other_port"
  nginx_start
  while read -r host url listener expected; do
    expect "$host $url on $listener" "$expected" "$(fetch "$host" "$url" "${!listener}")"
  done < <(site_example_requests | without_cgi)
  if [ -n "${nginx_ipv6:-}" ]; then
    expect "alpha over IPv6" "200 d:\\www\\ipv6\\index.htm" "$(address='[::1]' fetch alpha /)"
    expect "beta over IPv6" "200 c:\\inetpub\\wwwroot\\index.htm" "$(address='[::1]' fetch beta /)"
  fi
  expect "a decoded URL" "200 d:\\www\\alpha\\a\\b.htm" "$(fetch alpha /a/%62.htm)"
  expect "directory without its final /" "301 http://alpha:$port/docs/" \
    "$(curl -s -o /dev/null -H 'Host: alpha' -w '%{http_code} %{redirect_url}' \
      "http://127.0.0.1:$port/docs")"
}

# try_files and index files rebuild the path from the mapped folder, and a
# fallback's internal redirect or a rewritten URL is mapped again;
# $request_filename follows. An alias location is nginx's own.
test_fallbacks() {
  local host url expected
  site_example "$port"
  site_file 'd:\shared\docs\index.htm' 'd:\shared\docs\index.htm'
  site_file 'd:\www\alpha\fallback.htm' 'd:\www\alpha\fallback.htm'
  site_file 'd:\www\users\beta\fallback.htm' 'd:\www\users\beta\fallback.htm'
  site_file 'c:\inetpub\wwwroot\fallback.htm' 'c:\inetpub\wwwroot\fallback.htm'
  nginx_server='    index index.htm;
    location / {
      add_header X-Filename $request_filename;
      try_files $uri $uri/ /fallback.htm;
    }
    location /exact/ { alias '"$site"'/drives/d/www/alpha/a/; }
    location /old/ { rewrite ^/old/(.*)$ /a/$1 last; }'
  nginx_conf "warn" "$port"
  nginx_start
  while read -r host url expected; do
    expect "$host $url" "$expected" "$(fetch "$host" "$url")"
  done <<'EOF'
alpha  /a/b.htm         200 d:\www\alpha\a\b.htm
alpha  /                200 d:\www\alpha\index.htm
alpha  /missing         200 d:\www\alpha\fallback.htm
alpha  /docs/           200 d:\shared\docs\index.htm
alpha  /docs/x/y.txt    200 d:\shared\docs\x\y.txt
alpha  /docs/missing    200 d:\www\alpha\fallback.htm
beta   /img/logo.gif    200 d:\www\img\beta\logo.gif
beta   /img/missing     200 d:\www\users\beta\fallback.htm
gamma  /missing         200 c:\inetpub\wwwroot\fallback.htm
alpha  /exact/b.htm     200 d:\www\alpha\a\b.htm
alpha  /old/b.htm       200 d:\www\alpha\a\b.htm
EOF
  expect "\$request_filename" "$site/drives/d/shared/docs/x/y.txt" \
    "$(curl -s -D - -o /dev/null -H 'Host: alpha' "http://127.0.0.1:$port/docs/x/y.txt" |
      sed -n 's/^X-Filename: \(.*\)\r$/\1/p')"
}

# A change saved through the administration program (in an Apache of its
# own) is served at once.
test_admin() {
  site_conf "warn"
  site_start
  nginx_conf "warn" "$port"
  nginx_start
  site_gamma_saved
}

# nginx -t refuses, naming the directive to fix and why; each row changes
# the site (conf SED_EDIT edits nginx.conf), which is restored after. Then
# nginx starts without the configuration file, and serves it once created.
test_startup() {
  local conf=$site/conf/nginx.conf change reason
  local key="$site/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane"
  local cfg=$site/drives/c/mervane/mervane.cfg
  conf() { sed -i "$1" "$conf"; }
  site_example "$port"
  nginx_conf "warn" "$port"
  chown -R "$(site_user)" "$site/registry" "$site/drives/c/mervane"
  cp -a "$conf" "$site/nginx.conf.good"
  cp -a "$site/registry" "$site/registry.good"
  cp -a "$site/drives/c/mervane" "$site/mervane.good"
  while IFS='|' read -r change reason; do
    eval "$change"
    reason=${reason//SITE/$site}
    expect "nginx -t after $change" "mervane: $reason" \
      "$( (nginx_run "" -t) 2>&1 | grep -oF "mervane: $reason")"
    cp -a "$site/nginx.conf.good" "$conf"
    rm -rf "$site/registry" "$site/drives/c/mervane"
    cp -a "$site/registry.good" "$site/registry"
    cp -a "$site/mervane.good" "$site/drives/c/mervane"
  done <<'EOF'
conf 's#^  mervane_library.*#  mervane_library bin/ngx_http_mervane_module.so;#'|mervane_library SITE/bin/ngx_http_mervane_module.so: it does not export
conf 's#^  mervane_library.*#  mervane_library /nonexistent/mervane.so;#'|mervane_library /nonexistent/mervane.so: the file does not exist
conf 's#^  mervane_library.*#  mervane_library /etc/hostname;#'|mervane_library /etc/hostname: it cannot be loaded
conf 's#^  mervane_library.*##'|mervane on needs mervane_library
conf 's#^  mervane_registry.*##'|mervane_registry must name an existing folder
conf 's#^  mervane_drives.*#  mervane_drives nowhere;#'|mervane_drives SITE/nowhere: not an existing folder
chmod 0 "$key"|mervane_registry SITE/registry: nginx's user cannot read a configuration file's path
chmod 0 "$key/Configuration File"|mervane_registry SITE/registry: nginx's user cannot read a configuration file's path
chmod 0 "$cfg"|mervane_registry SITE/registry: nginx's user cannot read the configuration file c:\mervane\mervane.cfg
EOF
  rm "$cfg"
  nginx_start
  expect "started without its file" "200 c:\\inetpub\\wwwroot\\a\\b.htm" "$(fetch alpha /a/b.htm)"
  site_example "$port"
  expect "the file once created" "200 d:\\www\\alpha\\a\\b.htm" "$(fetch alpha /a/b.htm)"
}

# PHP-FPM behind nginx as the README's "Serving with nginx" sets it up: the
# tenant's pool by $mervane_userdir, the server's own PHP (the pool "main")
# for what the filter does not map, 403 for a mapped host without a pool.
test_php() {
  command -v php-fpm8.2 >/dev/null || { echo "SKIP: php-fpm8.2 is not installed"; exit 77; }
  local host url expected
  trap 'php_cleanup; nginx_stop; site_stop' EXIT
  php_site "$port"
  nginx_server="    index index.php index.htm;
    location ~ [^/]\\.php(/|\$) {
      fastcgi_split_path_info ^(.+?\\.php)(/.*)\$;
      if (\$mervane_entry = \"\") {
        fastcgi_pass unix:$php/mervane-main.sock;
        break;
      }
      if (\$mervane_userdir = \"\") {
        return 403;
      }
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME \$mervane_script_filename;
      fastcgi_param DOCUMENT_ROOT \$mervane_document_root;
      fastcgi_param CONTEXT_PREFIX \$mervane_context_prefix;
      fastcgi_param CONTEXT_DOCUMENT_ROOT \$mervane_context_document_root;
      fastcgi_param MERVANE_ENTRY \$mervane_entry if_not_empty;
      fastcgi_param PATH_INFO \$fastcgi_path_info if_not_empty;
      fastcgi_pass unix:$php/mervane-\$mervane_userdir.sock;
    }"
  nginx_conf "warn" "$port" "$other_port"
  # Apache serves only the administration.
  site_conf "warn"
  site_start
  nginx_start
  admin DoFolderExceptions IP=127.0.0.1 "VHost=alpha|$port" URLsub=new \
    'mapPath=d:\www\alpha\new' Add=Add >/dev/null
  while read -r host url expected; do
    [ -n "$host" ] || continue
    expect "$host $url" "$expected" "$(fetch "$host" "$url")"
  done < <(php_requests | without_cgi)
  expect "unknown host: the main site" \
    "200 c/inetpub/wwwroot||c/inetpub/wwwroot|/info.php|-|c/inetpub/wwwroot/info.php|-|$www" \
    "$(fetch gamma /info.php "$other_port")"
}

# A hand edit of a large configuration without --compile: the one worker
# parses the text on a thread of its pool, and keeps answering meanwhile.
# Of two requests sent together after the edit, the first answered comes
# from the old configuration while the other still waits; then the new one
# is served.
test_stall() {
  local cfg=$site/drives/c/mervane/mervane.cfg first answers
  . "$source_dir/bench/apache/common.sh"
  configuration 100000 "$port" >"$cfg"
  site_file 'd:\www\host1\index.htm' old
  site_file 'd:\www\new1\index.htm' new
  MERVANE_REGISTRY=$site/registry MERVANE_DRIVES=$site/drives \
    "$build_dir/tools/mervane_map/mervane-map" --compile >/dev/null
  nginx_workers=1 nginx_conf "warn" "$port"
  nginx_start
  expect "from the index" "200 old" "$(fetch host1 /)"
  sed -i 's/^(string)UserDir=host1$/(string)UserDir=new1/' "$cfg"
  # The filter first waits a second for an index that a save would write.
  expect "while an index may come" "200 old" "$(fetch host1 /)"
  sleep 1.5
  fetch host1 / >"$site/answer1" &
  local one=$!
  fetch host1 / >"$site/answer2" &
  local two=$!
  wait -n -p first "$one" "$two"
  answers=$(cat "$site/answer$([ "$first" = "$one" ] && echo 1 || echo 2)")
  expect "the first answer, while the other waits" "200 old" "$answers"
  wait "$one" "$two"
  expect "the waiting one" "200 new" \
    "$(cat "$site/answer$([ "$first" = "$one" ] && echo 2 || echo 1)")"
  expect "then" "200 new" "$(fetch host1 /)"
}

site_create "$build_dir"
"test_$2"
[ "$failures" -eq 0 ] || { tail -5 "$site/logs/error.log"; exit 1; }
echo "PASS $2"
