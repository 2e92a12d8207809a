#!/usr/bin/env bash
# Runs the Windows mervanecfg under Wine as a web server runs a CGI program:
# DoConfig stores the file's path in the prefix's registry, the next request
# creates the file, DoAddIP saves into it in text mode. The value is put back.
#
# Usage: mervanecfg_cgi_test.sh MERVANECFG_EXE BITS   (WINEPREFIX must be set)
#   BITS: 64 or 32, the program's registry view, which reg.exe is told to use
set -euo pipefail

exe=$1
reg_args=('HKLM\Software\Halvost soft\Mervane' /v 'Configuration File' "/reg:$2")
: "${WINEPREFIX:?the Wine prefix to run in}"

fail() { echo "FAILED: $*" >&2; exit 1; }
registry_value() {  # empty when there is none
  { wine reg query "${reg_args[@]}" 2>/dev/null || true; } |
    sed -n 's/^ *Configuration File *REG_SZ *\(.*\)\r$/\1/p'
}
delete_value() { wine reg delete "${reg_args[@]}" /f >/dev/null 2>&1 || true; }

previous=$(registry_value)
delete_value
work=$(mktemp -d "$WINEPREFIX/drive_c/mervane-cgi.XXXXXX")
config_path="C:\\$(basename "$work")\\mervane.cfg"
restore() {
  delete_value
  if [ -n "$previous" ]; then
    wine reg add "${reg_args[@]}" /t REG_SZ /d "$previous" /f >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap restore EXIT

# Runs one request (QUERY_STRING, POST body); fails unless the response
# holds the text.
expect_response() {
  local query=$1 body=$2 text=$3 response
  response=$(printf '%s' "$body" | CONTENT_LENGTH=${#body} QUERY_STRING=$query \
    REQUEST_METHOD=POST SCRIPT_NAME=/cgi-bin/mervanecfg.exe wine "$exe")
  grep -qF -- "$text" <<<"$response" || fail "'$text' not in: $response"
}

encoded_path=$(sed 's/:/%3A/g; s/\\/%5C/g' <<<"$config_path")
expect_response "Action=DoConfig" "Config=$encoded_path" "An error #1 occured!"
[ "$(registry_value)" = "$config_path" ] ||
  fail "registry holds '$(registry_value)', not '$config_path'"
[ ! -e "$work/mervane.cfg" ] || fail "the file exists before the next request"
expect_response "" "" "value=\"$config_path\""
[ -f "$work/mervane.cfg" ] || fail "the next request did not create the file"

expect_response "Action=DoAddIP" "newIP=10.0.0.9" "IP successfuly added!"
grep -q $'^        { COMMON_PATHS:\r$' "$work/mervane.cfg" &&
  ! grep -qv $'\r$' "$work/mervane.cfg" ||
  fail "not the new IP in CR LF lines: $(cat -A "$work/mervane.cfg")"
echo "mervanecfg under Wine: DoConfig, file creation and DoAddIP passed"
