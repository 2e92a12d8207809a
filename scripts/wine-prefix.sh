# Sourced by the scripts that run Windows programs under Wine.
#
# fresh_wine_prefix DIR: makes DIR a new 64-bit Wine prefix, exported as
# WINEPREFIX, and starts its server for the rest of the calling script,
# which stops it on exit.
fresh_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEARCH=win64
  # No Mono or Gecko: nothing here needs them, and their installers would ask.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$WINEPREFIX"
  # Wine's background processes keep whatever descriptors they are given, so
  # they get none of ours (ctest would wait for them to close its pipes).
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  # One server for the whole run, with the services already up: each
  # program then starts in a fraction of a second instead of seconds.
  wineserver -p </dev/null >/dev/null 2>&1
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wine cmd /c exit </dev/null >/dev/null 2>&1
}
