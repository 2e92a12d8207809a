#!/usr/bin/env bash
# The Debian package in this machine's own Apache, as an administrator
# installs it: builds the .deb, installs it, enables the module, serves two
# hosts below /srv, changes the configuration through the administration
# instance, then removes and purges the package and checks that nothing of
# it remains.
#
# It changes the machine while it runs: the package, Apache's ports.conf
# (loopback addresses only), a test file in conf-enabled, the main Apache's
# state (stopped and started again when it ran). It puts all of it back,
# also when it fails or is interrupted, and refuses to start where the
# package is installed already. Run it as root on a machine it may change;
# scripts/test.sh runs it when CI=true or MERVANE_PACKAGE_TEST=1.
#
# Prints a closing summary in ctest's form, which scripts/test.sh counts.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "package-test.sh: run as root" >&2; exit 1; }

state=/var/lib/mervane
key="$state/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane"
test_conf=/etc/apache2/conf-enabled/mervane-package-test.conf
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
  /etc/logrotate.d/mervane "/etc/systemd/system/$wants"
  /var/lib/systemd/deb-systemd-helper-enabled/mervane-admin.service.dsh-also
  "/var/lib/systemd/deb-systemd-helper-enabled/$wants"
  /var/lib/systemd/deb-systemd-helper-masked/mervane-admin.service
  /usr/share/doc/mervane)

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

# The package's traces, Apache's configuration and its module state.
machine_state() {
  dpkg-query -W -f='${db:Status-Status}\n' mervane 2>/dev/null || echo absent
  getent passwd mervane || true
  getent group mervane || true
  ls -d "${package_paths[@]}" 2>/dev/null || true
  find /etc/apache2 /var/lib/apache2 -printf '%p %M %u %g %l\n' | sort
  find /etc/apache2 /var/lib/apache2 -type f -print0 | sort -z | xargs -0 md5sum
}

main_pid_file() {
  (set +u && . /etc/apache2/envvars && echo "$APACHE_PID_FILE")
}

# running_pid FILE: the PID in FILE when that process runs.
running_pid() {
  local pid
  pid=$(cat "$1" 2>/dev/null) && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

# stop_pid FILE: stops the process whose PID FILE holds and waits for it.
stop_pid() {
  local pid
  pid=$(running_pid "$1") || return 0
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

# fetch HOST URL: "STATUS FIRST_LINE_OF_BODY" from the main Apache ("-"
# for the body unless the status is 200).
fetch() {
  local answer status
  answer=$(curl -s -H "Host: $1" -w '\n%{http_code}' "http://127.0.0.1$2")
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

# The test's own changes, undone (the package's are the purge's business).
undo_test_changes() {
  rm -f "$test_conf"
  cp -p "$work/ports.conf" /etc/apache2/ports.conf
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
  stop_pid "$(main_pid_file)"
  if dpkg-query -W mervane >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq mervane >/dev/null
    stop_pid "$(main_pid_file)"  # a purge may restart Apache
  fi
  undo_test_changes
  restore_tree /etc/apache2 "$work/etc-apache2"
  restore_tree /var/lib/apache2 "$work/var-lib-apache2"
  [ -n "$main_was_running" ] && apache2ctl start
  rm -rf "$work"
}

if dpkg-query -W mervane >/dev/null 2>&1 || getent passwd mervane >/dev/null ||
  [ -e "$state" ] || [ -e /etc/mervane ]; then
  echo "package-test.sh: mervane is installed here already; not touching it" >&2
  exit 1
fi

# package.sh names the package on its last line.
deb=$("$top/scripts/package.sh" deb | tail -1)

before=$(machine_state)
work=$(mktemp -d "${TMPDIR:-/tmp}/mervane-package-test.XXXXXX")
srv=
main_was_running=
trap cleanup EXIT
trap 'exit 1' INT TERM
cp -a /etc/apache2 "$work/etc-apache2"
cp -a /var/lib/apache2 "$work/var-lib-apache2"
cp -p /etc/apache2/ports.conf "$work/ports.conf"
srv=$(mktemp -d /srv/mervane-test.XXXXXX)
chmod 755 "$srv"
if running_pid "$(main_pid_file)" >/dev/null; then
  main_was_running=1
  stop_pid "$(main_pid_file)"
fi

echo "== Install and enable"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
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
dpkg -i "$deb" >/dev/null || true
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

# Two hosts below /srv, the main Apache on loopback only, a tenant's CGI.
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
cat >"$state/mervane.cfg" <<EOF
{ 127.0.0.1:
    { VIRTUAL_HOSTS:
        { alpha:
            (string)UserDir=alpha
            (string)MapScheme=SchemeA
        } alpha;
        { beta:
            (string)UserDir=beta
            (string)MapScheme=SchemeA
        } beta;
    } VIRTUAL_HOSTS;
    { MAIN:
        (int)Disable=0
        (string)Log=/var/log/mervane/filter.log
        (string)WebRoot=$srv
    } MAIN;
} 127.0.0.1;
EOF
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

echo "== Serve"
apache2ctl start
wait_for http://127.0.0.1/
mervane-admin start
wait_for "$admin_url"
expect "admin instance started without a warning" "" \
  "$(grep -v ':notice\]' /var/log/mervane-admin/error.log)"
while read -r host url expected; do
  expect "main Apache: $host $url" "$expected" "$(fetch "$host" "$url")"
done <<'EOF'
alpha /index.html 200 alpha's site
beta  /index.html 200 beta's site
alpha /mervane-admin/mervanecfg 404 -
localhost /mervane-admin/mervanecfg 404 -
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
password=$(head -c 12 /dev/urandom | base64 | tr -d '/+=')
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
curl -s -o /dev/null -u "admin:$password" --data-urlencode IP=127.0.0.1 \
  --data-urlencode VHost=gamma --data-urlencode NewVHost=gamma \
  --data-urlencode UserDir=gamma --data-urlencode Scheme=SchemeA \
  "$admin_url?Action=DoEditVHost"
expect "gamma after the change, without a restart" "200 gamma's site" \
  "$(fetch gamma /index.html)"
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
stop_pid "$(main_pid_file)"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq mervane >/dev/null
stop_pid "$(main_pid_file)"
expect "remove stops the administration" stopped \
  "$(kill -0 "$admin_pid" 2>/dev/null && echo running || echo stopped)"
expect "remove keeps the configuration and logs" "yes yes" \
  "$(grep -q '{ gamma:' "$state/mervane.cfg" && echo yes) $([ -s /var/log/mervane/filter.log ] && echo yes)"
expect "remove disables the module" "" "$(ls /etc/apache2/mods-enabled/mervane.* 2>/dev/null)"
# adduser, which gives deluser, may be gone before the purge.
mkdir "$work/hidden"
mv /usr/sbin/deluser /usr/sbin/delgroup "$work/hidden/"
expect "purge without deluser" 0 \
  "$(DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq mervane >/dev/null; echo $?)"
mv "$work"/hidden/* /usr/sbin/
stop_pid "$(main_pid_file)"
undo_test_changes
# a2enmod and a2dismod leave their (empty) state folders behind.
expect "after the purge, the machine as before" "" \
  "$(diff <(echo "$before") <(machine_state) |
    grep -v -E '^> /var/lib/apache2/[a-z]+/[a-z_]+ d' | grep '^[<>]')"

echo "package test: $(((checks - failures) * 100 / checks))% tests passed, $failures tests failed out of $checks"
[ "$failures" -eq 0 ]
