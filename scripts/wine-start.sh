#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator through which CTest starts
# the cross builds' test programs (cmake/mingw-common.cmake).
#
# Wine now and then fails to start a program: it exits with an error before
# the program has written a byte. Only that case is started again, at most
# twice more. A program that wrote anything has run, and its exit status
# stands, so a failing assertion is never retried away (every test program
# writes GoogleTest's banner before its first test).
#
# With MERVANE_WINE_UNAVAILABLE set (test-windows.sh, for 32-bit builds that
# this machine cannot run) nothing is started: test discovery then finds no
# tests, and only the checks of the binaries themselves run.
set -u
[ -z "${MERVANE_WINE_UNAVAILABLE:-}" ] || exit 0
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for attempt in 1 2 3; do
  wine "$@" >"$out"
  status=$?
  if [ $status -eq 0 ] || [ -s "$out" ]; then
    cat "$out"
    exit $status
  fi
  echo "wine-start: Wine did not start $1 (exit status $status," \
    "attempt $attempt of 3)" >&2
done
exit $status
