#!/usr/bin/env bash
# Time and memory of mervanecfg for a body of 1 MiB, the largest it reads,
# made of many short fields (the costliest kind), and for one just over the
# limit, which is refused unread.
#
#   bench/cgi/large_body_bench.sh PATH_TO_MERVANECFG
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/drives/d" "$work/registry"

python3 - "$work/body" <<'PY'
import sys
limit = 1 << 20
fields, n = [], 0
while True:
    field = "f%d=%d" % (n, n)
    if sum(map(len, fields)) + len(fields) + len(field) > limit:
        break
    fields.append(field)
    n += 1
body = "&".join(fields)
open(sys.argv[1], "w").write(body + "x" * (limit - len(body)))
PY

run() {
  local length=$1
  /usr/bin/time -f "%e s, %M KiB resident at most" env -i \
    MERVANE_REGISTRY="$work/registry" MERVANE_DRIVES="$work/drives" \
    REQUEST_METHOD=POST QUERY_STRING=Action=DoGeneral \
    SCRIPT_NAME=/cgi-bin/mervanecfg.exe CONTENT_LENGTH="$length" \
    "$program" <"$work/body" >"$work/out" 2>"$work/time" || true
  echo "CONTENT_LENGTH $length: $(tail -1 "$work/time")"
}
run $((1 << 20))
run $(((1 << 20) + 1))
