# Sourced by bench/servers.sh, after scripts/apache-site.sh.

# build_site BUILD_DIR: a Release build of what a site runs, the nginx
# module too where nginx's sources are installed to build it.
build_site() {
  local targets=(mervane mervanecfg mervane-map mod_mervane)
  cmake -S "$source_dir" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMERVANE_TESTS=OFF >/dev/null
  ! ninja -C "$1" -t targets all | grep -q '^ngx_http_mervane_module:' ||
    targets+=(ngx_http_mervane_module)
  cmake --build "$1" -j2 --target "${targets[@]}" >/dev/null
}

# configuration HOSTS PORT: a configuration for 127.0.0.1 with hosts
# host1..hostN, keyed for PORT, SchemeA under d:\www.
configuration() {
  awk -v n="$1" -v port="$2" 'BEGIN {
    print "{ 127.0.0.1:\n{ VIRTUAL_HOSTS:"
    for (i = 1; i <= n; i++)
      printf "{ host%d|%s:\n(string)UserDir=host%d\n(string)MapScheme=SchemeA\n} host%d|%s;\n", i, port, i, i, port
    print "} VIRTUAL_HOSTS;\n{ MAIN:\n(int)Disable=0\n(string)WebRoot=d:\\www\n} MAIN;\n} 127.0.0.1;"
  }'
}
