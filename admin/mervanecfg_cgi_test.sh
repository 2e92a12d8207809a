#!/usr/bin/env bash
# Runs the Windows build of mervanecfg under Wine as the web server runs a
# CGI program (environment variables, the form body on standard input) for
# three requests, against the prefix's real registry and drive C:
#   1. DoConfig stores the configuration file's path in the registry;
#   2. the next request creates the file at that path;
#   3. an action (DoAddIP) saves the change into the file, in text mode.
# The registry value is put back as it was found.
#
# Usage: mervanecfg_cgi_test.sh MERVANECFG_EXE BITS   (WINEPREFIX must be set)
#   BITS: 64 or 32, the program's registry view, which reg.exe is told to use
set -euo pipefail

exe=$1
view=/reg:$2
: "${WINEPREFIX:?the Wine prefix to run in}"
key='HKLM\Software\Halvost soft\Mervane'
value='Configuration File'

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The registry value's text, empty when there is none.
registry_value() {
  { wine reg query "$key" /v "$value" "$view" 2>/dev/null || true; } |
    sed -n 's/^ *Configuration File *REG_SZ *\(.*\)\r$/\1/p'
}

delete_value() {
  wine reg delete "$key" /v "$value" /f "$view" >/dev/null 2>&1 || true
}

previous=$(registry_value)
delete_value
work=$(mktemp -d "$WINEPREFIX/drive_c/mervane-cgi.XXXXXX")
config_path="C:\\$(basename "$work")\\mervane.cfg"
restore() {
  if [ -n "$previous" ]; then
    wine reg add "$key" /v "$value" /t REG_SZ /d "$previous" /f "$view" >/dev/null 2>&1
  else
    delete_value
  fi
  rm -rf "$work"
}
trap restore EXIT

# Runs one request: QUERY_STRING and the POST body; the response on stdout.
request() {
  local query=$1 body=${2:-}
  printf '%s' "$body" |
    CONTENT_LENGTH=${#body} QUERY_STRING=$query REQUEST_METHOD=POST \
      SCRIPT_NAME=/cgi-bin/mervanecfg.exe wine "$exe"
}

expect_in() {
  local text=$1 what=$2
  grep -qF -- "$what" <<<"$text" || fail "'$what' not in: $text"
}

# A form field's value, URL-encoded as a browser sends it.
encoded_path=$(sed 's/:/%3A/g; s/\\/%5C/g' <<<"$config_path")

# Without a configuration, the page says so, but the path is stored.
response=$(request "Action=DoConfig" "Config=$encoded_path&B1=Submit")
expect_in "$response" "An error #1 occured!"
[ "$(registry_value)" = "$config_path" ] ||
  fail "registry holds '$(registry_value)', not '$config_path'"

[ ! -e "$work/mervane.cfg" ] || fail "the file exists before the next request"
response=$(request "")
expect_in "$response" "value=\"$config_path\""
[ -f "$work/mervane.cfg" ] || fail "the next request did not create the file"

response=$(request "Action=DoAddIP" "newIP=10.0.0.9&B1=Submit")
expect_in "$response" "IP successfuly added!"
saved=$(cat "$work/mervane.cfg")
expect_in "$saved" $'{ 10.0.0.9:\r'
expect_in "$saved" $'        { COMMON_PATHS:\r'
# Text mode: every line ends with CR LF.
! grep -qv $'\r$' "$work/mervane.cfg" || fail "a line without CR LF: $saved"
echo "mervanecfg under Wine: DoConfig, file creation and DoAddIP passed"
