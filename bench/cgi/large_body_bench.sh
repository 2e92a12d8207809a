#!/usr/bin/env bash
# Time and memory of mervanecfg for bodies of 1 MiB, the largest it reads:
# one of 1,000 fields (the most it accepts) with long values, one of many
# short fields (refused once read), and one byte over the limit (refused
# unread).
#
#   bench/cgi/large_body_bench.sh PATH_TO_MERVANECFG
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/drives/d" "$work/registry"

# body FILE FIELDS: 1 MiB in FIELDS fields of equal length.
body() {
  python3 - "$1" "$2" <<'PY'
import sys
limit, fields = 1 << 20, int(sys.argv[2])
size = (limit - (fields - 1)) // fields
body = "&".join("f%d=" % n + "v" * (size - len("f%d=" % n)) for n in range(fields))
open(sys.argv[1], "w").write(body + "x" * (limit - len(body)))
PY
}

run() {
  local what=$1 length=$2 body=$3
  /usr/bin/time -f "%e s, %M KiB resident at most" env -i \
    MERVANE_REGISTRY="$work/registry" MERVANE_DRIVES="$work/drives" \
    REQUEST_METHOD=POST QUERY_STRING=Action=DoGeneral \
    SCRIPT_NAME=/cgi-bin/mervanecfg.exe CONTENT_LENGTH="$length" \
    "$program" <"$body" >"$work/out" 2>"$work/time" || true
  echo "$what, CONTENT_LENGTH $length: $(tail -1 "$work/time")"
}
body "$work/few" 1000
body "$work/many" 100000
: >"$work/empty"
run "no body" 0 "$work/empty"
run "1,000 fields" $((1 << 20)) "$work/few"
run "100,000 fields" $((1 << 20)) "$work/many"
run "over the limit" $(((1 << 20) + 1)) "$work/many"
