# What the end-to-end tests of every server (apache/, nginx/) ask of the
# example's site and of its PHP sites, how they ask, and what they must
# answer; sourced after apache-site.sh, whose $site they fill. The tests
# count their failures in $failures and listen on $port and $other_port.

# expect WHAT EXPECTED ACTUAL
expect() {
  [ "$2" = "$3" ] || { echo "FAIL $1: expected '$2', got '$3'"; failures=$((failures + 1)); }
}

# fetch HOST URL [PORT]: prints "STATUS BODY" (the body's first line; "-"
# unless the status is 200). Asks $address ([::1] for IPv6), 127.0.0.1 when
# unset.
fetch() {
  local answer status
  answer=$(curl -s -g -H "Host: $1" -w '\n%{http_code}' "http://${address:-127.0.0.1}:${3:-$port}$2")
  status=${answer##*$'\n'}
  [ "$status" = 200 ] && echo "$status ${answer%%$'\n'*}" || echo "$status -"
}

# admin ACTION FIELD=VALUE... [-- CURL_OPTION...]: POSTs to the
# administration program on its own port ($site_admin_url).
admin() {
  local action=$1 args=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=(--data-urlencode "$1"); shift; done
  [ $# -eq 0 ] || shift
  curl -s -u "admin:$site_password" "${args[@]}" "$@" \
    "$site_admin_url/mervane-admin/mervanecfg?Action=$action"
}

# site_gamma_saved: the host gamma on $port, which the site's server maps
# to its own root, mapped to a folder of its own and given a folder
# exception through the administration program ($site_admin_url); each
# save is served at once.
site_gamma_saved() {
  site_file 'c:\inetpub\wwwroot\index.htm' 'c:\inetpub\wwwroot\index.htm'
  site_file 'd:\sites\gamma\index.htm' 'd:\sites\gamma\index.htm'
  site_file 'd:\sites\gamma-docs\f.txt' 'd:\sites\gamma-docs\f.txt'
  expect "before" "200 c:\\inetpub\\wwwroot\\index.htm" "$(fetch gamma /)"
  admin DoAddIP newIP=127.0.0.1 >/dev/null
  admin DoEditVHost IP=127.0.0.1 "VHost=gamma|$port" "NewVHost=gamma|$port" \
    'UserDir=d:\sites\gamma' Scheme=SchemeA >/dev/null
  admin DoFolderExceptions IP=127.0.0.1 "VHost=gamma|$port" URLsub=docs \
    'mapPath=d:\sites\gamma-docs' Add=Add >/dev/null
  expect "host added" "200 d:\\sites\\gamma\\index.htm" "$(fetch gamma /)"
  expect "exception added" "200 d:\\sites\\gamma-docs\\f.txt" "$(fetch gamma /docs/f.txt)"
}

# site_deep_host PORT: a host whose mapped path outgrows the server's
# 260-byte buffer ($long_dir), with its file.
site_deep_host() {
  long_dir="deep\\$(printf 'a%.0s' {1..130})\\$(printf 'b%.0s' {1..130})"
  sed -i "s/{ VIRTUAL_HOSTS:/&\n{ deep|$1:\n(string)UserDir=${long_dir//\\/\\\\}\n(string)MapScheme=SchemeA\n} deep|$1;/" \
    "$site/drives/c/mervane/mervane.cfg"
  site_file "d:\\www\\$long_dir\\f.htm" "d:\\www\\$long_dir\\f.htm"
}

# site_example_requests: the example's requests for a site made by
# site_example "$port" and site_deep_host "$port", one a line: HOST URL
# LISTENER (the variable that holds the port: port or other_port) and the
# answer, "STATUS BODY" (the body's first line; "-" unless 200).
site_example_requests() {
  cat <<EOF
alpha        /a/b.htm          port       200 d:\\www\\alpha\\a\\b.htm
alpha        /                 port       200 d:\\www\\alpha\\index.htm
alpha        /docs/x/y.txt     port       200 d:\\shared\\docs\\x\\y.txt
alpha        /cgi-bin/run.exe  port       200 d:\\www\\cgi-bin\\run.exe
beta         /img/logo.gif     port       200 d:\\www\\img\\beta\\logo.gif
beta         /index.htm        port       200 d:\\www\\users\\beta\\index.htm
beta         /                 port       200 d:\\www\\users\\beta\\index.htm
beta         /cgi-bin/run.exe  port       200 d:\\www\\cgi-bin\\beta\\run.exe
alpha        /a/b.htm          other_port 200 c:\\inetpub\\wwwroot\\a\\b.htm
gamma        /a/b.htm          port       200 c:\\inetpub\\wwwroot\\a\\b.htm
alpha:1      /a/b.htm          port       200 d:\\www\\alpha\\a\\b.htm
alpha:$port  /a/b.htm          other_port 200 c:\\inetpub\\wwwroot\\a\\b.htm
alpha        /a%5c..%5cb.htm   port       400 -
deep         /f.htm            port       200 d:\\www\\$long_dir\\f.htm
EOF
}

# php_site PORT: the example's site on PORT as the README's "PHP sites" sets
# it up, beside the example's hosts a wildcard, a default and a host whose
# UserDir is a full path: a PHP-FPM of the test's own ($php) with a pool for
# each tenant's UserDir under the tenant's own user (two throw-away users,
# when run as root, removed by php_cleanup) and a pool "main" of the
# server's user for the server's own site. Every folder holds info.php,
# which prints what it sees.
php_site() {
  local port=$1 cfg=$site/drives/c/mervane/mervane.cfg
  www=$(site_user)
  d=$site/drives/d php=$site/php tenant_a=$www tenant_b=$www
  if [ "$(id -u)" -eq 0 ]; then
    tenant_a=mervane-php-a-$$ tenant_b=mervane-php-b-$$
    useradd --system --no-create-home --shell /usr/sbin/nologin "$tenant_a"
    useradd --system --no-create-home --shell /usr/sbin/nologin "$tenant_b"
  else
    echo "NOTE: not root; every pool runs as $www, so only open_basedir keeps tenants apart"
  fi
  site_example "$port"
  sed -i -e "s/{ VIRTUAL_HOSTS:/&\n{ *.example.com|$port:\n(string)UserDir=example\n(string)MapScheme=SchemeA\n} *.example.com|$port;\n{ *|$port:\n(string)UserDir=parking\n(string)MapScheme=SchemeA\n} *|$port;\n{ full|$port:\n(string)UserDir=d:\\\\www\\\\alpha\n(string)MapScheme=SchemeA\n} full|$port;/" \
    -e 's/(string)cgi-bin=.*/&\n(string)tools=d:\\www\\tools/' "$cfg"
  local script='<?php
$v = [];
foreach (["DOCUMENT_ROOT", "CONTEXT_PREFIX", "CONTEXT_DOCUMENT_ROOT", "SCRIPT_NAME",
          "PATH_INFO", "SCRIPT_FILENAME", "MERVANE_ENTRY"] as $n) { $v[] = $_SERVER[$n] ?? "-"; }
$v[] = posix_getpwuid(posix_geteuid())["name"];
if (isset($_GET["read"])) { $v[] = @file_get_contents($_GET["read"]) === false ? "denied" : "read"; }
echo str_replace("'"$site/drives/"'", "", implode("|", $v)), "\n";'
  # php_files OWNER FOLDER...: info.php in each folder, the folders the
  # owner's, which Apache's group may read for the static files.
  php_files() {
    local owner=$1 f
    shift
    for f in "$@"; do
      mkdir -p "$f"
      printf '%s\n' "$script" >"$f/info.php"
      chown -R "$owner:$(id -gn "$www")" "$f"
      chmod -R u=rwX,g=rX,o= "$f"
    done
  }
  php_files "$tenant_a" "$d/www/alpha/new" "$d/shared/docs" "$d/www/example"
  php_files "$tenant_b" "$d/www/users/beta" "$d/www/app/beta" "$d/www/parking"
  php_files "$www" "$d/www/tools" "$site/drives/c/inetpub/wwwroot"
  php_files "$tenant_a" "$d/www/alpha"
  chmod -R o+rX "$d/www/tools"  # a common path serves every tenant
  cp -p "$d/www/alpha/info.php" "$d/www/alpha/index.php"
  cp -p "$d/www/users/beta/info.php" "$d/www/users/beta/index.php"
  cp -p "$d/www/users/beta/info.php" "$d/www/users/beta/secret.txt"
  site_file 'd:\www\cgi-bin\env.exe' "#!/bin/sh
printf 'Content-Type: text/plain\\n\\n%s|%s|%s\\n' \"\$DOCUMENT_ROOT\" \"\$CONTEXT_PREFIX\" \"\$CONTEXT_DOCUMENT_ROOT\" |
  sed 's#$site/drives/##g'"
  chmod 755 "$d/www/cgi-bin/env.exe"
  php_start "$tenant_a" alpha "$d/www/alpha/:$d/shared/docs/:$d/www/tools/" \
    "$tenant_a" example "$d/www/example/" \
    "$tenant_b" beta "$d/www/users/beta/:$d/www/app/beta/" \
    "$tenant_b" parking "$d/www/parking/" \
    "$www" main "$site/drives/c/inetpub/wwwroot/"
}

php_cleanup() {
  php_stop
  [ "${tenant_a:-}" = "${www:-}" ] || userdel "$tenant_a" 2>/dev/null || true
  [ "${tenant_b:-}" = "${www:-}" ] || userdel "$tenant_b" 2>/dev/null || true
}

# php_requests: HOST URL and what info.php (or the CGI program) sees for
# it, with the drives' folder left out of paths; the last field says
# whether it could read the file named by ?read=. The host "full", whose
# UserDir names no pool, is refused.
php_requests() {
  cat <<EOF
alpha             /info.php             200 d/www/alpha||d/www/alpha|/info.php|-|d/www/alpha/info.php|alpha|$port|$tenant_a
alpha             /info.php/extra/path  200 d/www/alpha||d/www/alpha|/info.php|/extra/path|d/www/alpha/info.php|alpha|$port|$tenant_a
alpha             /                     200 d/www/alpha||d/www/alpha|/index.php|-|d/www/alpha/index.php|alpha|$port|$tenant_a
alpha             /docs/info.php        200 d/www/alpha|/docs|d/shared/docs|/docs/info.php|-|d/shared/docs/info.php|alpha|$port|$tenant_a
alpha             /tools/info.php       200 d/www/alpha|/tools|d/www/tools|/tools/info.php|-|d/www/tools/info.php|alpha|$port|$tenant_a
alpha             /new/info.php         200 d/www/alpha|/new|d/www/alpha/new|/new/info.php|-|d/www/alpha/new/info.php|alpha|$port|$tenant_a
alpha             /info.php?read=$d/www/alpha/index.php       200 d/www/alpha||d/www/alpha|/info.php|-|d/www/alpha/info.php|alpha|$port|$tenant_a|read
alpha             /info.php?read=$d/www/users/beta/secret.txt 200 d/www/alpha||d/www/alpha|/info.php|-|d/www/alpha/info.php|alpha|$port|$tenant_a|denied
beta              /                     200 d/www/users/beta||d/www/users/beta|/index.php|-|d/www/users/beta/index.php|beta|$port|$tenant_b
beta              /app/info.php         200 d/www/users/beta|/app|d/www/app/beta|/app/info.php|-|d/www/app/beta/info.php|beta|$port|$tenant_b
blog.example.com  /info.php             200 d/www/example||d/www/example|/info.php|-|d/www/example/info.php|*.example.com|$port|$tenant_a
gamma             /info.php             200 d/www/parking||d/www/parking|/info.php|-|d/www/parking/info.php|*|$port|$tenant_b
full              /info.php             403 -
alpha             /cgi-bin/env.exe      200 d/www/alpha|/cgi-bin|d/www/cgi-bin
EOF
}

# php_start [USER NAME OPEN_BASEDIR]...: a PHP-FPM of the test's own
# ($php_pid), one pool NAME for each triple, on $php/mervane-NAME.sock,
# which only Apache's user may connect to.
php_start() {
  mkdir -p "$php"
  {
    printf '[global]\npid = %s/fpm.pid\nerror_log = %s/fpm.log\n' "$php" "$php"
    while [ $# -gt 0 ]; do
      printf '[%s]\nlisten = %s/mervane-%s.sock\n' "$2" "$php" "$2"
      [ "$(id -u)" -ne 0 ] || printf 'user = %s\ngroup = %s\nlisten.owner = %s\n' \
        "$1" "$(id -gn "$1")" "$www"
      printf 'listen.mode = 0600\npm = ondemand\npm.max_children = 2\n'
      printf 'php_admin_value[open_basedir] = %s\n' "$3"
      shift 3
    done
  } >"$php/fpm.conf"
  php-fpm8.2 -F -y "$php/fpm.conf" &
  php_pid=$!
  for _ in $(seq 50); do
    [ -S "$php/mervane-main.sock" ] && return 0
    sleep 0.1
  done
  cat "$php/fpm.log" >&2
  return 1
}

php_stop() {
  [ -z "${php_pid:-}" ] || { kill -TERM "$php_pid"; wait "$php_pid" || true; }
  php_pid=
}

