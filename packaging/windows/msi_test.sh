#!/usr/bin/env bash
# One architecture's MSI under Wine's msiexec, in a prefix made afresh: its
# tables, files and registry view, the installed programs at work, a
# configuration kept by a reinstall, an upgrade and an uninstall, the other
# architecture beside it, and the README's appcmd commands as a stand-in
# appcmd.exe records them from the scripts and from REGISTERIIS=1.
#
# Usage: msi_test.sh x64|x86 PACKAGES VERSION UPGRADE_VERSION WORK
#   PACKAGES holds both architectures' MSIs of VERSION and this one's of
#   UPGRADE_VERSION; WORK is a scratch folder (the prefix goes there).
set -euo pipefail

arch=$1 version=$3 upgrade=$4
packages=$(cd "$2" && pwd) work=$(cd "$5" && pwd) # Wine wants absolute paths
top=$(cd "$(dirname "$0")/../.." && pwd)
other=x86 view=64 folder='Program Files'
# The README documents the 64-bit package's commands; the 32-bit one's
# differ in these names.
to_arch=''
if [ "$arch" = x86 ]; then
  other=x64 view=32 folder='Program Files (x86)'
  to_arch="s/'Mervane'/'Mervane 32-bit'/; s/Mervane administration/& 32-bit/g;"
  to_arch+=' s/8081/8082/; s/bitness64/bitness32/; s/Program Files/& (x86)/'
fi
msi=$packages/mervane-$version-$arch.msi
key='HKLM\Software\Halvost soft\Mervane'

x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -o "$work/appcmd.exe" \
  "$top/packaging/windows/appcmd_stand_in_test.c"

# shellcheck source=scripts/wine-prefix.sh
. "$top/scripts/wine-prefix.sh"
fresh_wine_prefix "$work/prefix-$arch"
c=$WINEPREFIX/drive_c
installed=$c/$folder/Mervane
data=$c/ProgramData/Mervane

fail() { echo "FAILED ($arch): $*" >&2; exit 1; }
expect() { [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"; }
run() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
msiexec() { wine msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
# value 64|32: the registry value in that view, empty when there is none.
value() {
  { wine reg query "$key" /v 'Configuration File' "/reg:$1" 2>/dev/null || true; } |
    sed -n 's/^ *Configuration File *REG_SZ *\(.*\)\r$/\1/p'
}

echo "== $arch: tables"
table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }
expect "Registry row" "$(table "$msi" Registry | cut -f2-)" \
  $'2\tSoftware\\Halvost soft\\Mervane\tConfiguration File\t[CONFIGFILE]\tConfiguration'
# Fixed GUIDs, none shared with the other architecture; the 64-bit flag
# (256) on every component of the x64 package and on none of the x86 one.
guids() { table "$1" Component | cut -f2 | sort; }
expect "components" "$(guids "$msi" | grep -c .)" 5
expect "GUIDs shared with $other" \
  "$(comm -12 <(guids "$msi") <(guids "$packages/mervane-$version-$other.msi"))" ""
expect "64-bit flags" "$(table "$msi" Component | awk -F'\t' '{print int($4 / 256) % 2}' | sort -u)" \
  "$([ "$arch" = x64 ] && echo 1 || echo 0)"
# The configuration's actions run deferred without impersonation (1024 +
# 2048) after the registry is written; only its creation may fail.
expect "custom actions" "$(table "$msi" CustomAction | cut -f1,2 | tr '\t\n' ': ')" \
  'KeepConfigFile:51 DefaultConfigFile:51 SetCmd:51 CreateConfigFile:3186 RegisterIis:3122 '

echo "== $arch: install with CONFIGFILE, the programs, reinstall, upgrade"
mkdir -p "$c/farm"
msiexec /i "$msi" 'CONFIGFILE=C:\farm\mervane.cfg' || fail "install"
for f in mervane.dll mervane-map.exe admin/mervanecfg.exe mervane-example.cfg \
  INSTALL.txt register-iis.cmd unregister-iis.cmd iis-names.cmd; do
  [ -f "$installed/$f" ] || fail "$installed/$f missing"
done
expect "value /reg:$view" "$(value "$view")" 'C:\farm\mervane.cfg'
expect "value of the other view" "$(value $((96 - view)))" ""
[ -f "$c/farm/mervane.cfg" ] || fail "no configuration file"
[ ! -s "$c/farm/mervane.cfg" ] || fail "the new configuration is not empty"
[ ! -e "$data/mervane.cfg" ] || fail "the default configuration was made too"

cp "$installed/mervane-example.cfg" "$c/farm/mervane.cfg"
run "C:\\$folder\\Mervane\\mervane-map.exe" --requests "Z:$top/examples/requests.txt" |
  grep -q '^HANDLED  alpha:80     /docs/x/y.txt      d:\\shared\\docs\\x\\y.txt$' ||
  fail "the installed mervane-map and mervane.dll did not map the example"
body=newIP=10.0.0.9
printf %s "$body" | CONTENT_LENGTH=${#body} QUERY_STRING=Action=DoAddIP \
  REQUEST_METHOD=POST SCRIPT_NAME=/mervanecfg.exe \
  wine "C:\\$folder\\Mervane\\admin\\mervanecfg.exe" 2>/dev/null |
  grep -q 'IP successfuly added!' || fail "the installed mervanecfg did not save"
cp "$c/farm/mervane.cfg" "$work/changed-$arch.cfg"
grep -q '10.0.0.9' "$work/changed-$arch.cfg" || fail "the change is not in the file"
# kept WHAT VALUE: the changed configuration and the registry value after WHAT.
kept() {
  cmp -s "$c/farm/mervane.cfg" "$work/changed-$arch.cfg" || fail "$1 changed the configuration"
  expect "value after $1" "$(value "$view")" "$2"
}

msiexec /i "$msi" REINSTALL=ALL REINSTALLMODE=vomus || fail "reinstall"
kept reinstall 'C:\farm\mervane.cfg'
msiexec /i "$packages/mervane-$upgrade-$arch.msi" || fail "upgrade"
kept upgrade 'C:\farm\mervane.cfg'
expect "installed versions" "$(wine reg query \
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$view" 2>/dev/null |
  tr -d '\r' | sed -n 's/^ *DisplayVersion *REG_SZ *//p')" "$upgrade"

echo "== $arch: uninstall keeps the configuration"
msiexec /x "$packages/mervane-$upgrade-$arch.msi" || fail "uninstall"
[ ! -e "$installed" ] || fail "$installed is left"
kept uninstall ""

echo "== $arch: REGISTERIIS=1, the scripts by hand"
for system in system32 syswow64; do
  mkdir -p "$c/windows/$system/inetsrv"
  cp "$work/appcmd.exe" "$c/windows/$system/inetsrv/appcmd.exe"
done
log=$c/windows/appcmd.log
documented=$(sed -n '/^## Installing on IIS/,/^## [^I]/s/^ *appcmd //p' "$top/README.md" |
  sed "$to_arch")
recorded() { tr -d '\r' <"$log"; rm -f "$log"; }
msiexec /i "$msi" REGISTERIIS=1 || fail "install with REGISTERIIS=1"
expect "default value" "$(value "$view")" 'C:\ProgramData\Mervane\mervane.cfg'
[ -f "$data/mervane.cfg" ] || fail "no default configuration"
expect "REGISTERIIS=1 commands" "$(recorded)" "$(head -10 <<<"$documented")"
run "C:\\$folder\\Mervane\\unregister-iis.cmd" >/dev/null || fail "unregister-iis.cmd"
expect "unregister-iis.cmd commands" "$(recorded)" "$(tail -n +11 <<<"$documented")"
echo 'add site' >"$c/windows/appcmd.fail"
output=$(run "C:\\$folder\\Mervane\\register-iis.cmd") && fail "register-iis.cmd ignored a failure"
grep -q "^FAILED: Adding the site 'Mervane administration.*' on http://127.0.0.1:808.* only" \
  <<<"$output" || fail "no message for the failing step: $output"
expect "commands up to the failure" "$(recorded)" "$(head -4 <<<"$documented")"

echo "== $arch: side by side with $other, a failing REGISTERIIS=1 rolls back"
msiexec /i "$packages/mervane-$version-$other.msi" || fail "install $other"
msiexec /x "$msi" || fail "uninstall beside $other"
expect "$other's value" "$(value $((96 - view)))" 'C:\ProgramData\Mervane\mervane.cfg'
msiexec /i "$msi" REGISTERIIS=1 && fail "a failing registration did not fail the install"
[ ! -e "$installed/mervane.dll" ] || fail "the failed install left its files"
expect "value after the rollback" "$(value "$view")" ""
grep -q "^FAILED: Adding the site" "$data/register-iis.log" || fail "no message in register-iis.log"
other_dir=$c/Program\ Files/Mervane
[ "$other" = x86 ] && other_dir=$c/Program\ Files\ \(x86\)/Mervane
[ -f "$other_dir/mervane.dll" ] || fail "$other's files went with $arch"
msiexec /x "$packages/mervane-$version-$other.msi" || fail "uninstall $other"
[ ! -e "$other_dir" ] || fail "$other's files are left"
echo "== $arch: the installer passed"
