#!/usr/bin/env bash
# The Debian packages in this machine's own Apache and nginx, as an
# administrator installs them: builds the three .debs, upgrades the single
# 1.0.0 package to them, installs them afresh, enables the Apache module,
# serves hosts below /srv through Apache and through nginx, changes the
# configuration through the administration instance, then removes and
# purges each package and checks that nothing of them remains.
#
# It changes the machine while it runs: the packages, Apache's ports.conf
# (loopback addresses only), a test file in Apache's conf-enabled and one in
# nginx's conf.d (a free loopback port), nginx's default site (set aside: it
# listens on every address), the main Apache's and nginx's state (stopped
# and started again when they ran). It puts all of it back, also when it
# fails or is interrupted, and refuses to start where a package is
# installed already. Run it as root on a machine it may change;
# scripts/test.sh runs it when CI=true or MERVANE_PACKAGE_TEST=1.
#
# Prints a closing summary in ctest's form, which scripts/test.sh counts.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "package-test.sh: run as root" >&2; exit 1; }
# shellcheck source=scripts/apache-site.sh
. "$top/scripts/apache-site.sh"

packages=(mervane libapache2-mod-mervane libnginx-mod-http-mervane)
# The last single package, which the three replace.
old_version=1.0.0
old_commit=086bbfe

state=/var/lib/mervane
key="$state/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane"
test_conf=/etc/apache2/conf-enabled/mervane-package-test.conf
nginx_test_conf=/etc/nginx/conf.d/mervane-package-test.conf
nginx_default_site=/etc/nginx/sites-enabled/default
nginx_link=/etc/nginx/modules-enabled/50-mod-http-mervane.conf
nginx_pid_file=/run/nginx.pid
admin_url=http://127.0.0.1:8081/mervane-admin/mervanecfg
wants=multi-user.target.wants/mervane-admin.service
unit=/lib/systemd/system/mervane-admin.service
admin_pid_file=/run/mervane-admin/httpd.pid
# Everything the package or its scripts make.
package_paths=(/usr/lib/apache2/modules/mod_mervane.so /usr/lib/mervane
  /usr/bin/mervane-map /usr/sbin/mervane-admin
  /etc/apache2/mods-available/mervane.load /etc/apache2/mods-available/mervane.conf
  /etc/apache2/mods-enabled/mervane.load /etc/apache2/mods-enabled/mervane.conf
  /etc/mervane /var/lib/mervane /var/log/mervane /var/log/mervane-admin
  /run/mervane-admin /lib/systemd/system/mervane-admin.service
  /usr/lib/nginx/modules/ngx_http_mervane_module.so
  /usr/share/nginx/modules-available/mod-http-mervane.conf
  "$nginx_link" "$nginx_link.removed"
  /etc/logrotate.d/mervane "/etc/systemd/system/$wants"
  /var/lib/systemd/deb-systemd-helper-enabled/mervane-admin.service.dsh-also
  "/var/lib/systemd/deb-systemd-helper-enabled/$wants"
  /var/lib/systemd/deb-systemd-helper-masked/mervane-admin.service
  "${packages[@]/#//usr/share/doc/}")

checks=0
failures=0
# expect WHAT EXPECTED ACTUAL
expect() {
  checks=$((checks + 1))
  if [ "$2" = "$3" ]; then
    echo "ok   $1"
  else
    echo "FAIL $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}

# The packages' traces, Apache's and nginx's configuration and Apache's
# module state.
machine_state() {
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${db:Status-Status}\n' "$package" 2>/dev/null || echo absent
  done
  getent passwd mervane || true
  getent group mervane || true
  ls -d "${package_paths[@]}" 2>/dev/null || true
  find /etc/apache2 /var/lib/apache2 /etc/nginx -printf '%p %M %u %g %l\n' | sort
  find /etc/apache2 /var/lib/apache2 /etc/nginx -type f -print0 | sort -z | xargs -0 md5sum
}

# present_packages: those of the packages that dpkg knows of, installed or not.
present_packages() {
  dpkg-query -W -f='${db:Status-Status} ${Package}\n' "${packages[@]}" 2>/dev/null |
    awk '$1 != "not-installed" { print $2 }' || true
}

# apt_get COMMAND PACKAGE...: apt-get, quietly, without questions.
apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get "$1" -y -qq "${@:2}" >/dev/null
}

# old_package: the single package of $old_version built from its commit in
# build/package-$old_version/ (kept, so that another run rebuilds little).
old_package() {
  local tree=$top/build/package-$old_version
  if [ ! -e "$tree/CMakeLists.txt" ]; then
    mkdir -p "$tree"
    git -C "$top" archive "$old_commit" | tar -x -C "$tree"
  fi
  "$tree/scripts/package.sh" deb | tail -1
}

main_pid_file() {
  (set +u && . /etc/apache2/envvars && echo "$APACHE_PID_FILE")
}

# running_pid FILE: the PID in FILE when that process runs.
running_pid() {
  local pid
  pid=$(cat "$1" 2>/dev/null) && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

# system_nginx_pid: the PID of the nginx that runs the machine's own
# configuration. Others on this machine may write its pid file too: their
# command line names a configuration or a prefix of their own.
system_nginx_pid() {
  local pid
  pid=$(running_pid "$nginx_pid_file") || return 1
  case $(tr '\0' ' ' <"/proc/$pid/cmdline") in
    *" -c "* | *" -p "*) return 1 ;;
    "nginx: master process /usr/sbin/nginx"*) echo "$pid" ;;
    *) return 1 ;;
  esac
}

# stop_pid PID: stops that process, if it runs, and waits for it.
stop_pid() {
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid"
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  echo "package-test.sh: process $pid did not stop" >&2
  return 1
}

# wait_for URL: waits until URL answers at all.
wait_for() {
  for _ in $(seq 100); do
    curl -s -o /dev/null "$1" && return 0
    sleep 0.1
  done
  echo "package-test.sh: nothing answers on $1" >&2
  return 1
}

# fetch HOST URL [PORT]: "STATUS FIRST_LINE_OF_BODY" from the main Apache,
# or from what listens on PORT ("-" for the body unless the status is 200).
fetch() {
  local answer status
  answer=$(curl -s -H "Host: $1" -w '\n%{http_code}' "http://127.0.0.1:${3:-80}$2")
  status=${answer##*$'\n'}
  [ "$status" = 200 ] && echo "$status ${answer%%$'\n'*}" || echo "$status -"
}

status_of() {  # status_of CURL_ARGUMENT...
  curl -s -o /dev/null -w '%{http_code}' "$@"
}

# as_owner FOLDER COMMAND...: COMMAND as FOLDER's owner, who may plant
# links there.
as_owner() {
  local folder=$1
  shift
  setpriv --reuid="$(stat -c %u "$folder")" --regid="$(stat -c %g "$folder")" \
    --clear-groups -- "$@"
}

# alive PID: yes when PID runs (a zombie does not).
alive() {
  case $(ps -o stat= -p "$1") in '' | Z*) echo no ;; *) echo yes ;; esac
}

# unit_key KEY: the value the administration's systemd unit gives KEY.
unit_key() {
  sed -n "s/^$1=//p" "$unit"
}

start_nginx() {
  /usr/sbin/nginx -g 'daemon on; master_process on;'
}

# Apache and nginx as their services start them; nginx is stopped by the
# PID it had, whatever writes its pid file meanwhile.
start_servers() {
  apache2ctl start
  start_nginx
  # Its master writes the pid file after the command has returned.
  for _ in $(seq 50); do
    nginx_started=$(system_nginx_pid) && return 0
    sleep 0.1
  done
}

# stop_servers: stops the main Apache and nginx (a purge may restart them).
stop_servers() {
  stop_pid "$(running_pid "$(main_pid_file)")"
  stop_pid "$(system_nginx_pid)"
  stop_pid "$nginx_started"
  nginx_started=
}

# nginx_check: what `nginx -t` says of the machine's configuration. It
# leaves an empty pid file behind, which no running nginx has.
nginx_check() {
  /usr/sbin/nginx -t -q -g 'daemon on; master_process on;' 2>&1 || true
  [ -s "$nginx_pid_file" ] || rm -f "$nginx_pid_file"
}

# host_entry NAME: NAME's entry, mapped to its folder below $srv.
host_entry() {
  printf '        { %s:\n            (string)UserDir=%s\n' "$1" "${1%|*}"
  printf '            (string)MapScheme=SchemeA\n        } %s;\n' "$1"
}

# write_configuration: alpha and beta on Apache's port and on nginx's,
# compiled as an administrator who edits the text does.
write_configuration() {
  cat >"$state/mervane.cfg" <<EOF
{ 127.0.0.1:
    { VIRTUAL_HOSTS:
$(for host in alpha beta "alpha|$nginx_port" "beta|$nginx_port"; do host_entry "$host"; done)
    } VIRTUAL_HOSTS;
    { MAIN:
        (int)Disable=0
        (string)Log=/var/log/mervane/filter.log
        (string)WebRoot=$srv
    } MAIN;
} 127.0.0.1;
EOF
  as_owner "$state" mervane-map --compile "$state/mervane.cfg" >/dev/null
}

# The test's own changes, undone (the packages' are the purge's business).
undo_test_changes() {
  rm -f "$test_conf" "$nginx_test_conf"
  cp -p "$work/ports.conf" /etc/apache2/ports.conf
  if [ -L "$work/nginx-default-site" ]; then
    mv "$work/nginx-default-site" "$nginx_default_site"
  fi
  rm -rf "$srv"
}

# restore_tree LIVE COPY: LIVE made again from COPY when they differ.
restore_tree() {
  diff -rq --no-dereference "$2" "$1" >/dev/null 2>&1 && return 0
  echo "package-test.sh: putting back $1" >&2
  rm -rf "$1"
  cp -a "$2" "$1"
}

cleanup() {
  set +e
  for f in "$work"/hidden/*; do [ -e "$f" ] && mv "$f" /usr/sbin/; done
  stop_servers
  mapfile -t present < <(present_packages)
  if [ ${#present[@]} -gt 0 ]; then
    apt_get purge "${present[@]}"
    stop_servers
  fi
  undo_test_changes
  restore_tree /etc/apache2 "$work/etc-apache2"
  restore_tree /var/lib/apache2 "$work/var-lib-apache2"
  restore_tree /etc/nginx "$work/etc-nginx"
  [ -n "$main_was_running" ] && apache2ctl start
  [ -n "$nginx_was_running" ] && start_nginx
  rm -rf "$work"
}

if [ -n "$(present_packages)" ] || getent passwd mervane >/dev/null ||
  [ -e "$state" ] || [ -e /etc/mervane ]; then
  echo "package-test.sh: mervane is installed here already; not touching it" >&2
  exit 1
fi

# package.sh names the packages, in the order of $packages.
mapfile -t debs < <("$top/scripts/package.sh" deb)
old_deb=
if git -C "$top" cat-file -e "$old_commit^{commit}" 2>/dev/null; then
  old_deb=$(old_package)
fi

before=$(machine_state)
work=$(mktemp -d "${TMPDIR:-/tmp}/mervane-package-test.XXXXXX")
srv=
main_was_running=
nginx_was_running=
nginx_started=
trap cleanup EXIT
trap 'exit 1' INT TERM
cp -a /etc/apache2 "$work/etc-apache2"
cp -a /var/lib/apache2 "$work/var-lib-apache2"
cp -a /etc/nginx "$work/etc-nginx"
cp -p /etc/apache2/ports.conf "$work/ports.conf"
srv=$(mktemp -d /srv/mervane-test.XXXXXX)
chmod 755 "$srv"
running_pid "$(main_pid_file)" >/dev/null && main_was_running=1
system_nginx_pid >/dev/null && nginx_was_running=1
stop_servers
password=$(head -c 12 /dev/urandom | base64 | tr -d '/+=')
nginx_port=$(free_ports 1)

# Three hosts below /srv, the main Apache on loopback only, a tenant's CGI.
for host in alpha beta gamma; do
  mkdir -p "$srv/$host"
  echo "$host's site" >"$srv/$host/index.html"
done
mkdir -p "$srv/alpha/scripts"
cat >"$srv/alpha/scripts/try.cgi" <<EOF
#!/bin/sh
printf 'Content-Type: text/plain\n\n'
for f in "$state/mervane.cfg" "$key/Configuration File"; do
  (echo >>"\$f") 2>/dev/null && echo "wrote \$f" || echo "refused \$f"
done
for f in "$state/new" "$key/new" /var/log/mervane/new; do
  (: >"\$f") 2>/dev/null && echo "wrote \$f" || echo "refused \$f"
done
EOF
chmod 755 "$srv/alpha/scripts/try.cgi"
sed -i -E 's/^([[:space:]]*Listen[[:space:]]+)([0-9]+)[[:space:]]*$/\1127.0.0.1:\2/' \
  /etc/apache2/ports.conf
cat >"$test_conf" <<EOF
<IfModule !cgid_module>
  LoadModule cgid_module /usr/lib/apache2/modules/mod_cgid.so
  ScriptSock \${APACHE_RUN_DIR}/mervane-package-test.sock
</IfModule>
<Directory $srv>
  Require all granted
</Directory>
<Directory $srv/alpha/scripts>
  Options +ExecCGI
  SetHandler cgi-script
</Directory>
EOF

echo "== Upgrade from the single $old_version package"
if [ -n "$old_deb" ]; then
  apt_get install "$old_deb"
  write_configuration
  htpasswd -cbB /etc/mervane/htpasswd admin "$password" 2>/dev/null
  a2enmod -q mervane
  # A conffile that moves to another package keeps its change, unasked.
  echo "# the administrator's line" >>/etc/apache2/mods-available/mervane.conf
  apache2ctl start
  wait_for http://127.0.0.1/
  expect "$old_version serves alpha" "200 alpha's site" "$(fetch alpha /index.html)"
  kept() {
    md5sum "$state/mervane.cfg" "$key/Configuration File" /etc/mervane/htpasswd \
      /etc/apache2/mods-available/mervane.conf
    a2query -m mervane
  }
  kept_before=$(kept)
  apt_get install "${debs[@]}"
  expect "upgrade keeps the configuration, registry value, password, conffile, a2enmod" \
    "$kept_before" "$(kept)"
  expect "Apache's files handed over to libapache2-mod-mervane" libapache2-mod-mervane \
    "$(dpkg -S /usr/lib/apache2/modules/mod_mervane.so /etc/apache2/mods-available/mervane.load \
      /etc/apache2/mods-available/mervane.conf /etc/apache2/conf-available/mervane-php.conf |
      cut -d: -f1 | sort -u)"
  apache2ctl restart
  sleep 1
  wait_for http://127.0.0.1/
  expect "upgraded Apache serves alpha" "200 alpha's site" "$(fetch alpha /index.html)"
  mervane-admin start
  wait_for "$admin_url"
  expect "upgraded administration takes the password" 200 \
    "$(status_of -u "admin:$password" "$admin_url")"
  mervane-admin stop
  stop_servers
  apt_get purge "${packages[@]}"
  stop_servers
else
  echo "skip $old_version: this clone lacks commit $old_commit (shallow?)"
fi

echo "== Install and enable"
apt_get install "${debs[@]}"
# Installing enables the nginx module and reloads nginx: no server uses it
# yet, and nginx must start as before.
expect "nginx module enabled by installing" \
  /usr/share/nginx/modules-available/mod-http-mervane.conf "$(readlink "$nginx_link")"
expect "nginx -t right after installing" "" "$(nginx_check)"
a2enmod -q mervane
if command -v systemd-analyze >/dev/null; then
  expect "systemd unit verified" "" \
    "$(systemd-analyze verify mervane-admin.service 2>&1 | grep mervane-admin)"
fi
expect "unit not enabled by installing" no \
  "$([ -e "/etc/systemd/system/$wants" ] && echo yes || echo no)"
# As an administrator does, so that the purge must remove the link.
systemctl enable -q mervane-admin.service
expect "unit enabled by the administrator" yes \
  "$([ -L "/etc/systemd/system/$wants" ] && echo yes || echo no)"

echo "== Links planted by mervane, then a reinstall"
# Root's postinst must follow no link that mervane makes in its folders.
for n in 1 2; do
  echo "root's secret $n" >"$work/secret$n"
  chmod 600 "$work/secret$n"
done
secrets() { stat -c '%U %a %s' "$work"/secret?; md5sum "$work"/secret?; }
secrets_before=$(secrets)
as_owner "$state" sh -ec 'rm "$1" "$2"; ln -s "$3" "$1.new"; ln -s "$4" "$2.new"' - \
  "$state/mervane.cfg" "$key/Configuration File" "$work/secret1" "$work/secret2"
# The administration's logs as versions that ran it as root left them.
chown root /var/log/mervane-admin
: >/var/log/mervane-admin/error.log
dpkg -i "${debs[0]}" >/dev/null || true
expect "the links' targets untouched" "$secrets_before" "$(secrets)"
expect "configured after the reinstall" installed \
  "$(dpkg-query -W -f='${db:Status-Status}' mervane)"
expect "registry value names the configuration" "$state/mervane.cfg" \
  "$(tr -d '\0' <"$key/Configuration File")"
expect "registry value ends with a zero byte" "00" \
  "$(tail -c 1 "$key/Configuration File" | od -An -tx1 | tr -d ' ')"
expect "owners and modes" \
  "mervane mervane 755|mervane mervane 644|mervane mervane 755|mervane mervane 644|www-data adm 750|mervane adm 750|mervane adm 644|root mervane 640" \
  "$(stat -c '%U %G %a' "$state" "$state/mervane.cfg" "$key" "$key/Configuration File" \
    /var/log/mervane /var/log/mervane-admin /var/log/mervane-admin/error.log \
    /etc/mervane/htpasswd | paste -sd '|')"

write_configuration
# nginx on a loopback port of its own, its default site (every address's
# port 80) set aside; the module's library and registry are the packages'.
if [ -L "$nginx_default_site" ]; then mv "$nginx_default_site" "$work/nginx-default-site"; fi
cat >"$nginx_test_conf" <<EOF
mervane_library /usr/lib/mervane/mervane.so;
mervane_registry $state/registry;
server {
  listen 127.0.0.1:$nginx_port;
  mervane on;
  root /var/www/html;
  index index.html;
}
EOF

echo "== Serve"
expect "nginx -t with a server that uses it" "" "$(nginx_check)"
start_servers
wait_for http://127.0.0.1/
wait_for "http://127.0.0.1:$nginx_port/"
mervane-admin start
wait_for "$admin_url"
expect "admin instance started without a warning" "" \
  "$(grep -v ':notice\]' /var/log/mervane-admin/error.log)"
while read -r server port host url expected; do
  expect "$server: $host $url" "$expected" "$(fetch "$host" "$url" "$port")"
done <<EOF
Apache 80 alpha /index.html 200 alpha's site
Apache 80 beta  /index.html 200 beta's site
Apache 80 alpha /mervane-admin/mervanecfg 404 -
Apache 80 localhost /mervane-admin/mervanecfg 404 -
nginx $nginx_port alpha /index.html 200 alpha's site
nginx $nginx_port beta  / 200 beta's site
EOF
expect "mervane-map with the installed library" \
  "HANDLED alpha:80 $srv\\alpha\\index.html" \
  "$(runuser -u www-data -- mervane-map 127.0.0.1 80 alpha /index.html \
    '\var\www\html\index.html' | awk '$1 == "HANDLED" { print $1, $2, $4 }')"
expect "tenant's CGI writes only the logs" \
  "refused $state/mervane.cfg|refused $key/Configuration File|refused $state/new|refused $key/new|wrote /var/log/mervane/new" \
  "$(curl -s -H 'Host: alpha' http://127.0.0.1/scripts/try.cgi | paste -sd '|')"
expect "filter's log written" yes \
  "$([ -s /var/log/mervane/filter.log ] && echo yes || echo no)"

echo "== Administration"
while read -r what expected url; do
  expect "admin instance: $what" "$expected" "$(status_of -u admin:x "$url")"
done <<EOF
before_a_password 401 $admin_url
other_paths 404 http://127.0.0.1:8081/mervane-admin/
root 404 http://127.0.0.1:8081/
EOF
expect "admin instance listens on" "127.0.0.1:8081" \
  "$(ss -Hltnp | grep "pid=$(cat $admin_pid_file)," | awk '{print $4}' | sort -u | paste -sd ' ')"
htpasswd -cbB /etc/mervane/htpasswd admin "$password" 2>/dev/null
# What logrotate runs: a graceful restart, the same process afterwards.
admin_pid=$(cat $admin_pid_file)
mervane-admin reload
sleep 1
wait_for "$admin_url"
expect "admin instance reloaded in place" "$admin_pid" "$(cat $admin_pid_file)"
expect "admin instance: wrong password" 401 "$(status_of -u admin:x "$admin_url")"
expect "admin instance: with the password" 200 \
  "$(status_of -u "admin:$password" "$admin_url")"
expect "gamma before the change: not its folder" yes \
  "$([ "$(fetch gamma /index.html)" != "200 gamma's site" ] && echo yes)"
for host in gamma "gamma|$nginx_port"; do
  curl -s -o /dev/null -u "admin:$password" --data-urlencode IP=127.0.0.1 \
    --data-urlencode VHost="$host" --data-urlencode NewVHost="$host" \
    --data-urlencode UserDir=gamma --data-urlencode Scheme=SchemeA \
    "$admin_url?Action=DoEditVHost"
done
expect "gamma after the change, without a restart" "200 gamma's site|200 gamma's site" \
  "$(fetch gamma /index.html)|$(fetch gamma /index.html "$nginx_port")"
expect "saved by the user mervane" "mervane mervane" \
  "$(stat -c '%U %G' "$state/mervane.cfg")"

echo "== A stale pid file, and the systemd unit"
admin_pid=$(cat $admin_pid_file)
mervane-admin stop
expect "stop ends the instance" no "$(alive "$admin_pid")"
# The instance died without removing its pid file, whose number now names
# another process, root's or mervane's.
for user in root mervane; do
  setpriv --reuid=$user --regid=$user --clear-groups sleep 60 &
  sleeper=$!
  as_owner /run/mervane-admin sh -c 'echo "$1" >"$2"' - $sleeper $admin_pid_file
  mervane-admin stop || true
  mervane-admin reload || true
  expect "stale pid file: $user's process lives on" yes "$(alive $sleeper)"
  kill $sleeper 2>/dev/null || true
done
# What systemd would run (it does not run here): the unit's ExecStart as
# its User, whose process must be the instance itself, and its ExecReload.
read -ra exec_start <<<"$(unit_key ExecStart)"
setpriv --reuid="$(unit_key User)" --regid="$(unit_key Group)" --init-groups \
  "${exec_start[@]}" &
main=$!
wait_for "$admin_url" || true
reload=$(unit_key ExecReload)
sh -c "${reload//\$MAINPID/$main}" || true
sleep 1
expect "unit: in the foreground, as mervane, reloaded in place" "$main mervane 200" \
  "$(cat $admin_pid_file) $(ps -o user= -p $main) $(status_of -u "admin:$password" "$admin_url")"
kill $main 2>/dev/null || true
wait $main || true
mervane-admin start
wait_for "$admin_url"

echo "== Remove and purge"
admin_pid=$(cat $admin_pid_file)
stop_servers
# It names the module's directives.
rm "$nginx_test_conf"
apt_get remove libnginx-mod-http-mervane
expect "remove disables the nginx module, remembering it" "no yes" \
  "$([ -e "$nginx_link" ] && echo yes || echo no) $([ -L "$nginx_link.removed" ] && echo yes)"
expect "nginx -t without the module" "" "$(nginx_check)"
apt_get remove libapache2-mod-mervane
stop_servers
expect "remove disables the Apache module" "" "$(ls /etc/apache2/mods-enabled/mervane.* 2>/dev/null)"
expect "apache2ctl -t without the module" "Syntax OK" "$(apache2ctl -t 2>&1 | tail -1)"
apt_get remove mervane
stop_servers
expect "remove stops the administration" stopped \
  "$(kill -0 "$admin_pid" 2>/dev/null && echo running || echo stopped)"
expect "remove keeps the configuration and logs" "yes yes" \
  "$(grep -q '{ gamma:' "$state/mervane.cfg" && echo yes) $([ -s /var/log/mervane/filter.log ] && echo yes)"
# adduser, which gives deluser, may be gone before the purge.
mkdir "$work/hidden"
mv /usr/sbin/deluser /usr/sbin/delgroup "$work/hidden/"
expect "purge without deluser" 0 "$(apt_get purge "${packages[@]}"; echo $?)"
mv "$work"/hidden/* /usr/sbin/
stop_servers
undo_test_changes
# a2enmod and a2dismod leave their (empty) state folders behind.
expect "after the purge, the machine as before" "" \
  "$(diff <(echo "$before") <(machine_state) |
    grep -v -E '^> /var/lib/apache2/[a-z]+/[a-z_]+ d' | grep '^[<>]')"

echo "package test: $(((checks - failures) * 100 / checks))% tests passed, $failures tests failed out of $checks"
[ "$failures" -eq 0 ]
