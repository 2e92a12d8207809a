#!/bin/sh
# Builds the filter library and mervane-map, then maps the example requests
# (examples/requests.txt) against the example configuration
# (examples/mervane.cfg) as a web server would, and prints the results and
# the mapping log.
#
# The registry and the drives live in a temporary folder for the run:
#   $MERVANE_REGISTRY/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane/
#       "Configuration File" holds c:\mervane\mervane.cfg
#   $MERVANE_DRIVES/c/mervane/mervane.cfg   the configuration
#   $MERVANE_DRIVES/c/logs/filter.log       the mapping log of 10.0.0.5
#   $MERVANE_DRIVES/d/www/users/beta/index.htm   beta's root file
#
# Usage: scripts/run-example.sh [BUILD_FOLDER]   (default: build/example)
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-"$source_dir/build/example"}

"$source_dir/scripts/install-deps.sh" native
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DMERVANE_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target mervane mervane-map >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/mervane-example.XXXXXX")
trap 'rm -rf "$work"' EXIT
export MERVANE_REGISTRY="$work/registry"
export MERVANE_DRIVES="$work/drives"

cp -R "$source_dir/examples/drives" "$MERVANE_DRIVES"
mkdir -p "$MERVANE_DRIVES/c/mervane" "$MERVANE_DRIVES/c/logs"
cp "$source_dir/examples/mervane.cfg" "$MERVANE_DRIVES/c/mervane/mervane.cfg"
key="$MERVANE_REGISTRY/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane"
mkdir -p "$key"
# A REG_SZ value: the text and its terminating zero byte.
printf 'c:\\mervane\\mervane.cfg\0' >"$key/Configuration File"

"$build_dir/tools/mervane_map/mervane-map" \
  --requests "$source_dir/examples/requests.txt"

printf '\n%s\n' 'Mapping log c:\logs\filter.log:'
cat "$MERVANE_DRIVES/c/logs/filter.log"
