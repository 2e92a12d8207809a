# Sourced by the nginx benchmarks, with $source_dir set: a throw-away nginx
# in $site (made by site_create), run in the foreground as $site_pid so that
# site_stop stops it.
. "$source_dir/bench/servers.sh"

# nginx_module: the module that nginx_start loads, $NGINX_MODULE or the
# one built in $build_dir, as an absolute path (nginx takes a relative one
# from its prefix, the site); empty when there is none.
nginx_module() {
  local module=${NGINX_MODULE:-$build_dir/nginx/ngx_http_mervane_module.so}
  [ ! -f "$module" ] || realpath "$module"
}

# nginx_start MODE PORT: nginx on 127.0.0.1:PORT serving host1's file.
# MODE root: `root .../d/www/$host`, the folder per host that a site
# written without the module names. MODE mervane: the module on, with the
# site's registry, and the server's own root for what it does not map.
nginx_start() {
  local mode=$1 port=$2
  {
    [ "$mode" = root ] || echo "load_module $(nginx_module);"
    [ "$(id -u)" -ne 0 ] || echo "user $(site_user);"
    cat <<EOF
worker_processes ${WORKERS:-2};
pid $site/logs/nginx.pid;
events {
  worker_connections 1024;
}
http {
  include /etc/nginx/mime.types;
  default_type application/octet-stream;
  access_log off;
  sendfile on;
EOF
    [ "$mode" = root ] || cat <<EOF
  mervane_library $site/bin/mervane.so;
  mervane_registry $site/registry;
  mervane_drives $site/drives;
EOF
    echo "  server {"
    echo "    listen 127.0.0.1:$port;"
    if [ "$mode" = root ]; then
      echo "    root $site/drives/d/www/\$host;"
    else
      echo "    mervane on;"
      echo "    root $site/drives/c/inetpub/wwwroot;"
    fi
    echo "  }"
    echo "}"
  } >"$site/conf/nginx.conf"
  site_own
  /usr/sbin/nginx -p "$site" -c "$site/conf/nginx.conf" -e "$site/logs/error.log" \
    -g 'daemon off;' &
  site_pid=$!
  site_wait "$site_pid" "127.0.0.1:$port"
}
