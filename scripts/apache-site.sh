# A throw-away Apache httpd site that hosts the filter, sourced by
# serve-example.sh, the end-to-end tests and the benchmark. Everything lives in
# one folder ($site) made by site_create; nothing of the system's Apache
# configuration is used.
#
#   $site/bin        mod_mervane.so, mervane.so, the filter's copies
#   $site/admin      mervanecfg, run by mod_cgi at /mervane-admin/ on the
#                    administration's own port ($site_admin_port), if set
#   $site/registry   MERVANE_REGISTRY: "Configuration File" = c:\mervane\mervane.cfg
#   $site/drives     MERVANE_DRIVES: c/mervane/mervane.cfg, c/logs, d/www, ...
#   $site/conf       httpd.conf, htpasswd
#   $site/logs       Apache's logs
#
# Run as root, Apache's children run as www-data; otherwise as the caller.

site_user() {
  if [ "$(id -u)" -eq 0 ]; then echo www-data; else id -un; fi
}

# site_create BUILD_DIR: makes $site and copies the built binaries into it.
site_create() {
  local build=$1
  # Everything made here must be readable by the children's user.
  umask 022
  site=$(mktemp -d "${TMPDIR:-/tmp}/mervane-site.XXXXXX")
  chmod 755 "$site"
  mkdir -p "$site/bin" "$site/admin" "$site/conf" "$site/logs" \
    "$site/drives/c/mervane" "$site/drives/c/logs" \
    "$site/drives/c/inetpub/wwwroot" \
    "$site/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane"
  cp "$build/apache/mod_mervane.so" "$build/filter/mervane.so" "$site/bin/"
  cp "$build/admin/mervanecfg" "$site/admin/"
  printf 'c:\\mervane\\mervane.cfg\0' \
    >"$site/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane/Configuration File"
  : >"$site/drives/c/mervane/mervane.cfg"
}

# site_native PATH: the native form of a drive-form PATH (d:\www\a.htm).
site_native() {
  local native="$site/drives/${1:0:1}${1:2}"
  echo "${native//\\//}"
}

# site_file PATH TEXT: a site file under the drives; PATH in drive form.
site_file() {
  local native
  native=$(site_native "$1")
  mkdir -p "$(dirname "$native")"
  printf '%s\n' "$2" >"$native"
}

# site_cgi PATH: a CGI program that answers with its own location.
site_cgi() {
  site_file "$1" "#!/bin/sh
printf 'Content-Type: text/plain\\n\\n%s\\n' '$1'"
  chmod 755 "$(site_native "$1")"
}

# site_example PORT: the built-in example for 127.0.0.1, its host keys
# written for PORT, with site files that say where they were served from.
site_example() {
  local port=$1 key_suffix="|$1" host
  [ "$port" = 80 ] && key_suffix=""
  sed -e 's/10\.0\.0\.5/127.0.0.1/g' \
    -e "s/\\([{}] \\)\\(alpha\\|beta\\)\\([:;]\\)/\\1\\2${key_suffix}\\3/" \
    "$source_dir/examples/mervane.cfg" >"$site/drives/c/mervane/mervane.cfg"
  for host in alpha beta; do
    site_file "d:\\www\\users\\$host\\index.htm" "d:\\www\\users\\$host\\index.htm"
  done
  site_file 'd:\www\alpha\a\b.htm' 'd:\www\alpha\a\b.htm'
  site_file 'd:\www\alpha\index.htm' 'd:\www\alpha\index.htm'
  site_file 'd:\shared\docs\x\y.txt' 'd:\shared\docs\x\y.txt'
  site_file 'd:\www\img\beta\logo.gif' 'd:\www\img\beta\logo.gif'
  site_file 'c:\inetpub\wwwroot\a\b.htm' 'c:\inetpub\wwwroot\a\b.htm'
  site_file 'c:\inetpub\wwwroot\index.htm' 'c:\inetpub\wwwroot\index.htm'
  site_cgi 'd:\www\cgi-bin\run.exe'
  site_cgi 'd:\www\cgi-bin\beta\run.exe'
}

# site_conf LOG_LEVEL PORT...: writes httpd.conf, listening on 127.0.0.1 at
# each PORT, the filter on for all of them, and an administration password
# ($site_password) for user admin. When $site_admin_port is set, the
# administration program is served there ($site_admin_url) and nowhere else:
# a page served under a hosted name must never share its origin.
site_conf() {
  local level=$1 port modules=/usr/lib/apache2/modules m
  shift
  site_password=$(head -c 12 /dev/urandom | base64 | tr -d '/+=')
  site_admin_url=${site_admin_port:+http://127.0.0.1:$site_admin_port}
  htpasswd -cbB "$site/conf/htpasswd" admin "$site_password" 2>/dev/null
  {
    echo "ServerRoot \"$site\""
    for port in "$@"; do echo "Listen 127.0.0.1:$port"; done
    for m in mpm_event authz_core authz_host authn_core authn_file \
      auth_basic authz_user alias cgi dir mime env; do
      echo "LoadModule ${m}_module $modules/mod_$m.so"
    done
    [ "$(id -u)" -eq 0 ] && echo "User www-data
Group www-data"
    cat <<EOF
LoadModule mervane_module bin/mod_mervane.so
ServerName 127.0.0.1
PidFile logs/httpd.pid
ErrorLog logs/error.log
LogLevel $level
TypesConfig /etc/mime.types
# Two children of 50 threads, both kept: a child at its connection limit
# closes keep-alive connections, and one stopped for being idle takes its
# CPU time figures with it.
StartServers 2
ServerLimit 2
ThreadsPerChild 50
MaxRequestWorkers 100
MaxSpareThreads 100
DocumentRoot "$site/drives/c/inetpub/wwwroot"
DirectoryIndex index.htm index.html
<Directory />
  AllowOverride None
  Require all denied
</Directory>
# The mapped folders lie outside DocumentRoot.
<Directory "$site/drives">
  Require all granted
</Directory>
<Directory "$site/drives/d/www/cgi-bin">
  Options +ExecCGI
  SetHandler cgi-script
</Directory>

MervaneLibrary bin/mervane.so
MervaneRegistry registry
MervaneDrives drives
MervaneFilter On
EOF
    [ -z "${site_admin_port:-}" ] || site_admin_conf
  } >"$site/conf/httpd.conf"
}

# site_admin_conf: the administration's own listener, which serves the
# program and nothing of the sites (its DocumentRoot is an empty folder
# that <Directory /> denies).
site_admin_conf() {
  mkdir -p "$site/admin-root"
  cat <<EOF

Listen 127.0.0.1:$site_admin_port
<VirtualHost 127.0.0.1:$site_admin_port>
  MervaneFilter Off
  DocumentRoot "$site/admin-root"
  RedirectMatch ^/(mervane-admin/)?\$ /mervane-admin/mervanecfg
  ScriptAlias /mervane-admin/ "$site/admin/"
</VirtualHost>
<Directory "$site/admin">
  SetEnv MERVANE_REGISTRY "$site/registry"
  SetEnv MERVANE_DRIVES "$site/drives"
  SetEnv MERVANE_ADMIN_ORIGIN "$site_admin_url"
  AuthType Basic
  AuthName "Mervane administration"
  AuthUserFile conf/htpasswd
  Require valid-user
</Directory>
EOF
}

# site_start [CONF]: starts Apache with CONF (conf/httpd.conf when not
# given) in the background ($site_pid) and waits until it answers on its
# first Listen address; fails with the error logs when it does not.
site_start() {
  local conf=${1:-$site/conf/httpd.conf} address
  address=$(sed -n 's/^Listen \(127\.[0-9.]*:[0-9]*\)$/\1/p' "$conf" | head -1)
  site_own
  /usr/sbin/apache2 -d "$site" -f "$conf" -DFOREGROUND &
  site_pid=$!
  site_wait "$site_pid" "$address"
}

# site_own: gives the server's user what its children write: the
# configuration's folder (saves, lock file), the filter's logs and the
# registry.
site_own() {
  chown -R "$(site_user)" "$site/registry" "$site/drives/c/mervane" "$site/drives/c/logs"
}

# site_wait PID ADDRESS: waits until the server PID answers at ADDRESS
# (IP:PORT); fails with the error logs when it ends or does not answer.
site_wait() {
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://$2/" && return 0
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  cat "$site"/logs/error*.log >&2
  return 1
}

# site_stop: stops Apache by its PID and removes $site.
site_stop() {
  if [ -n "${site_pid:-}" ]; then
    kill -TERM "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
    site_pid=
  fi
  [ -n "${site:-}" ] && rm -rf "$site"
  site=
}

# free_ports N: N loopback TCP ports that nothing listens on now.
free_ports() {
  local ports=() p
  while [ ${#ports[@]} -lt "$1" ]; do
    # Below Linux's ephemeral range (32768 on), where the clients' own
    # connections could hold the port by the time Apache binds it.
    p=$((20000 + RANDOM % 12000))
    [[ " ${ports[*]} " == *" $p "* ]] && continue
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || ports+=("$p")
  done
  echo "${ports[@]}"
}
