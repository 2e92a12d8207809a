#!/usr/bin/env bash
# One change through mervanecfg at 100,000 virtual hosts: the time and the
# most memory of one DoEditVHost request (a new host, saved), for each
# program given, side by side: the old build against the new one, say.
# The file is made afresh for each run, so every run saves the same change.
#
#   bench/cgi/save_bench.sh MERVANECFG [MERVANECFG...]
set -euo pipefail
hosts=100000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
key="$work/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane"
mkdir -p "$work/drives/d" "$key"
printf 'd:\\mervane.cfg\0' >"$key/Configuration File"

# One IP with $hosts hosts, each with a folder exception.
python3 - "$work/start.cfg" "$hosts" <<'PY'
import sys
path, hosts = sys.argv[1], int(sys.argv[2])
with open(path, "w") as out:
    out.write("{ 10.0.0.5:\n    { VIRTUAL_HOSTS:\n")
    for n in range(hosts):
        name = "host%d.example.com" % n
        out.write("        { %s:\n            (string)UserDir=u%d\n"
                  "            (string)MapScheme=SchemeA\n"
                  "            { FolderExceptions:\n"
                  "                (string)docs=d:\\docs\\%d\n"
                  "            } FolderExceptions;\n        } %s;\n"
                  % (name, n, n, name))
    out.write("    } VIRTUAL_HOSTS;\n} 10.0.0.5;\n")
PY

body="IP=10.0.0.5&VHost=new.example.com&NewVHost=new.example.com&UserDir=n"
printf '%-40s %10s %14s\n' "program" "seconds" "KiB at most"
for program in "$@"; do
  cp "$work/start.cfg" "$work/drives/d/mervane.cfg"
  /usr/bin/time -f "%e %M" -o "$work/time" env -i \
    MERVANE_REGISTRY="$work/registry" MERVANE_DRIVES="$work/drives" \
    REQUEST_METHOD=POST QUERY_STRING=Action=DoEditVHost \
    SCRIPT_NAME=/cgi-bin/mervanecfg.exe CONTENT_LENGTH=${#body} \
    "$program" <<<"$body" >"$work/out"
  grep -q "Virtual host options saved!" "$work/out" ||
    { echo "$program: not saved: $(tail -c 300 "$work/out")" >&2; exit 1; }
  read -r seconds kib <"$work/time"
  printf '%-40s %10s %14s\n' "$program" "$seconds" "$kib"
done
