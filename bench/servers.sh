# Sourced by the benchmarks that load a real server (Apache, nginx) with
# wrk, with $source_dir set. Every run asks host1 for f.htm, a 1 KiB file, on
# 127.0.0.1:PORT; $duration, $connections and $rounds set the load.
. "$source_dir/scripts/apache-site.sh"
. "$source_dir/bench/apache/common.sh"

# host1_file: the file every run asks for, in d:\www\host1.
host1_file() {
  site_file 'd:\www\host1\f.htm' "$(head -c 1023 /dev/zero | tr '\0' x)"
}

# expect_host1 NAME PORT: fails unless the server answers with the file.
expect_host1() {
  [ "$(curl -s -H 'Host: host1' "http://127.0.0.1:$2/f.htm" | wc -c)" = 1024 ] ||
    { echo "$1 does not serve the file" >&2; exit 1; }
}

# servers_start STARTER NAME...: starts a server for each NAME through
# STARTER NAME PORT, which leaves it in $site and $site_pid, checks that it
# serves the file, and records it in port_of, site_of and pid_of. Stops
# them all on exit.
declare -A port_of site_of pid_of
servers_start() {
  local starter=$1 name ports i=0
  shift
  read -r -a ports < <(free_ports $#)
  trap servers_stop EXIT
  for name; do
    "$starter" "$name" "${ports[i]}"
    port_of[$name]=${ports[i]} site_of[$name]=$site pid_of[$name]=$site_pid
    expect_host1 "$name" "${ports[i]}"
    i=$((i + 1))
  done
}

# servers_stop: stops the recorded servers, and the one that was starting
# when a start failed.
servers_stop() {
  local name starting=${site:-} starting_pid=${site_pid:-}
  [ -z "${saver_pid:-}" ] || kill "$saver_pid" 2>/dev/null || true
  for name in "${!site_of[@]}"; do
    [ "${site_of[$name]}" != "$starting" ] || starting=
    site=${site_of[$name]} site_pid=${pid_of[$name]} site_stop
  done
  [ -z "$starting" ] || site=$starting site_pid=$starting_pid site_stop
}

# load PORT: one wrk run against host1's file. A server that stops answering
# ends the run through wrk's timeout rather than hanging the benchmark.
load() {
  timeout $((duration + 60)) wrk -t2 -c"$connections" -d"${duration}s" \
    --timeout 10s -H 'Host: host1' "http://127.0.0.1:$1/f.htm"
}

# load_figures: "requests slowest_ms" from wrk's output on stdin; what was
# not 2xx or failed goes to stderr.
load_figures() {
  tee >(grep 'Non-2xx\|Socket errors' >&2) | awk '
    function ms(v) {
      if (v ~ /us$/) return v / 1000
      if (v ~ /ms$/) return v + 0
      if (v ~ /m$/) return v * 60000
      return v * 1000
    }
    /Latency/ { slowest = ms($4) }
    /requests in/ { requests = $1 }
    END { printf "%d %.1f\n", requests, slowest }'
}

# cpu_ticks PID: user and system clock ticks of the process and its children.
cpu_ticks() {
  local total=0 p
  for p in "$1" $(pgrep -P "$1"); do
    total=$((total + $(awk '{ print $14 + $15 }' "/proc/$p/stat")))
  done
  echo "$total"
}

# child_rss_mb PID: the resident memory of one child of the server, in MB.
child_rss_mb() {
  awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$(pgrep -P "$1" | head -1)/status"
}

# compare_rounds REFERENCE NAME...: loads each server (port_of[NAME],
# pid_of[NAME]; REFERENCE is one of them) in turn, $rounds times, and prints per server the median
# requests per second and CPU time per request of its processes, and the
# medians of its per-round ratio and CPU difference to REFERENCE, which the
# machine's drifting load does not bias, both figures of each beside them.
compare_rounds() {
  local reference=$1 name round shift_by before after out
  local ticks_per_second requests names
  shift
  names=("$@")
  ticks_per_second=$(getconf CLK_TCK)
  declare -A rps cpu # by "name round"
  for round in $(seq "$rounds"); do
    # Each round starts one server further on: the load of the machine
    # drifts, and no server should always run last.
    shift_by=$((round % ${#names[@]}))
    for name in "${names[@]:shift_by}" "${names[@]:0:shift_by}"; do
      before=$(cpu_ticks "${pid_of[$name]}")
      out=$(load "${port_of[$name]}")
      after=$(cpu_ticks "${pid_of[$name]}")
      read -r requests _ < <(load_figures <<<"$out" 2> >(sed "s/^/$name: /" >&2))
      rps[$name $round]=$(awk '/Requests\/sec/ { print $2 }' <<<"$out")
      cpu[$name $round]=$(awk -v t=$((after - before)) -v hz="$ticks_per_second" \
        -v n="$requests" 'BEGIN { printf "%.2f", t * 1e6 / hz / n }')
      echo "round $round $name: ${rps[$name $round]} req/s, ${cpu[$name $round]} us/req" >&2
    done
  done
  printf '\n%-14s %12s %26s %12s %22s %9s\n' server "req/s (med)" "ratio to $reference" \
    "CPU us/req" "CPU diff to $reference" "child MB"
  for name in "${names[@]}"; do
    for round in $(seq "$rounds"); do
      echo "${rps[$name $round]} ${cpu[$name $round]} ${rps[$reference $round]} ${cpu[$reference $round]}"
    done | awk -v n="$name" -v m="$(child_rss_mb "${pid_of[$name]}")" '
      function median(a, k,   i, j, t) {
        for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
      }
      { r[NR] = $1; c[NR] = $2; ratio[NR] = 100 * $1 / $3; diff[NR] = $2 - $4 }
      END { printf "%-14s %12.0f %26s %12.2f %22s %9s\n", n, median(r, NR),
                   sprintf("%.1f%%", median(ratio, NR)), median(c, NR),
                   sprintf("%+.2f", median(diff, NR)), m }'
  done
  echo "($rounds rounds of ${duration}s, $connections connections, wrk -t2; medians)"
}

# compiled_configuration HOSTS PORT: $site's configuration of HOSTS hosts
# keyed for PORT, compiled, and its copy $site/saved.cfg that saves write.
compiled_configuration() {
  configuration "$1" "$2" >"$site/saved.cfg"
  cp "$site/saved.cfg" "$site/drives/c/mervane/mervane.cfg"
  compile "$site/drives/c/mervane/mervane.cfg"
}

# save_forever CONFIG: replaces CONFIG with $site/saved.cfg every
# $save_seconds (or as often as a save can, when one takes longer) until
# killed, then writes the count to $site/saves. With
# ORDER=index-first the new text is compiled aside and its index renamed into
# place before the text, as the administration program saves; otherwise the
# text is replaced and then compiled, as a hand edit is.
save_forever() {
  local config=$1 saves=0 timer
  trap 'echo "$saves" >"$site/saves"; exit 0' TERM
  sleep "$save_seconds" &
  wait $!
  while :; do
    sleep "$save_seconds" &
    timer=$!
    cp "$site/saved.cfg" "$config.next"
    chown --reference="$config" "$config.next"
    if [ "${ORDER:-}" = index-first ]; then
      compile "$config.next"
      mv "$config.next.index" "$config.index"
      mv "$config.next" "$config"
    else
      mv "$config.next" "$config"
      compile "$config"
    fi
    saves=$((saves + 1))
    wait "$timer"
  done
}

# compile CONFIG: CONFIG's index, as mervane-map --compile writes it.
compile() {
  "$build_dir/tools/mervane_map/mervane-map" --compile "$1" >/dev/null
}

# saves_rounds PORT: $rounds rounds of three runs: quiet; busy, while
# save_forever does the same work on a copy of the configuration that
# nothing serves; saves, while it replaces $site's configuration. Prints
# each run, then for each kind the requests, the slowest request and the
# CPU time of the server's processes per request. Against quiet the saves
# include their own CPU on a shared machine; against busy they show the
# server's part alone.
saves_rounds() {
  local port=$1 round kind requests slowest saves before after
  local -A config=([busy]=$site/busy/mervane.cfg [saves]=$site/drives/c/mervane/mervane.cfg)
  local -A total=() ticks=() most=()
  mkdir -p "$site/busy"
  cp -p "${config[saves]}" "${config[busy]}"
  for round in $(seq "$rounds"); do
    for kind in quiet busy saves; do
      saver_pid=
      if [ "$kind" != quiet ]; then
        save_forever "${config[$kind]}" &
        saver_pid=$!
      fi
      before=$(cpu_ticks "$site_pid")
      read -r requests slowest < <(load "$port" | load_figures)
      after=$(cpu_ticks "$site_pid")
      saves=0
      if [ -n "$saver_pid" ]; then
        kill -TERM "$saver_pid"
        wait "$saver_pid" || true
        saves=$(cat "$site/saves")
      fi
      echo "round $round $kind: $requests requests, slowest $slowest ms, $saves saves"
      total[$kind]=$((${total[$kind]:-0} + requests))
      ticks[$kind]=$((${ticks[$kind]:-0} + after - before))
      most[$kind]=$(awk -v a="${most[$kind]:-0}" -v b="$slowest" 'BEGIN { print (b > a) ? b : a }')
    done
  done
  for kind in quiet busy saves; do
    echo "$kind ${total[$kind]} ${most[$kind]} ${ticks[$kind]}"
  done | awk -v hz="$(getconf CLK_TCK)" '
    { n[$1] = $2; most[$1] = $3; us[$1] = $4 * 1e6 / hz / $2 }
    END {
      printf "requests: %d with saves, %d quiet: %.1f%%; %d busy: %.1f%%\n",
        n["saves"], n["quiet"], 100 * n["saves"] / n["quiet"], n["busy"], 100 * n["saves"] / n["busy"]
      printf "slowest request: %.1f ms with saves, %.1f ms quiet: %.2fx; %.1f ms busy\n",
        most["saves"], most["quiet"], most["saves"] / most["quiet"], most["busy"]
      printf "server CPU per request: %.2f us with saves, %.2f us quiet, %.2f us busy\n",
        us["saves"], us["quiet"], us["busy"]
    }'
  echo "($rounds rounds of ${duration}s each kind, a save every ${save_seconds}s, wrk -t2 -c$connections)"
}
