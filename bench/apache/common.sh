# Sourced by the Apache benchmarks, after scripts/apache-site.sh.

# build_site BUILD_DIR: a Release build of what a site runs.
build_site() {
  cmake -S "$source_dir" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMERVANE_TESTS=OFF >/dev/null
  cmake --build "$1" -j2 --target mervane mervanecfg mervane-map mod_mervane \
    >/dev/null
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
