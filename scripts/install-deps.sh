#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine: the native
# toolchains (GCC and Clang) with GoogleTest and Google Benchmark, and the
# MinGW-w64 cross compilers with Wine for the Windows builds, including the
# 32-bit Wine (wine32, from the i386 architecture, which is enabled for it)
# that runs the 32-bit tests; that part takes about a minute here. Installs
# only what is missing. PHP-FPM and nginx (which nginx-dev, the nginx
# module's build, pulls in), which the end-to-end tests start on sockets
# and ports of their own, are installed without starting Debian's services.
#
# Usage: install-deps.sh [native|deb|windows]
#   native:  only what the Linux build needs
#   deb:     that and Debian's packaging tools with lintian (package.sh deb)
#   windows: that, the cross compilers and wixl with msitools, which build
#            and read the installers (package.sh windows)
set -euo pipefail

packages=(
  cmake ninja-build g++ make clang-format
  clang libclang-rt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  apache2 apache2-dev apache2-utils curl nginx-dev
)
windows_tools=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64 wixl msitools)
if [ "${1:-}" = deb ]; then
  packages+=(dpkg-dev lintian)
elif [ "${1:-}" = windows ]; then
  packages+=("${windows_tools[@]}")
elif [ "${1:-}" != native ]; then
  packages+=(
    googletest "${windows_tools[@]}"
    wine wine64 wine32:i386
    chromium wrk php8.2-fpm
  )
  # Node.js may come from elsewhere (it bundles npm); Debian's otherwise.
  command -v npm >/dev/null || packages+=(nodejs npm)
fi

# The npm packages, exactly as the lock file pins them.
install_npm_packages() {
  [ -z "${1:-}" ] || return 0
  local top
  top=$(cd "$(dirname "$0")/.." && pwd)
  [ "$top/node_modules/.package-lock.json" -nt "$top/package-lock.json" ] ||
    (cd "$top" && npm ci --no-audit --no-fund --loglevel=error)
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  install_npm_packages "${1:-}"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if [[ " ${missing[*]} " == *:i386\ * ]] &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
    --no-install-recommends "$@" >/dev/null
}
others=() services=()
for p in "${missing[@]}"; do
  case $p in
  php8.2-fpm | nginx-dev) services+=("$p") ;;
  *) others+=("$p") ;;
  esac
done
[ ${#others[@]} -eq 0 ] || apt_install "${others[@]}"
# Apart, under a policy-rc.d that forbids starting services (unless the
# machine has its own), so that only their services stay stopped: nginx's
# would also fail on a port 80 that Apache holds, and fail the install.
if [ ${#services[@]} -gt 0 ]; then
  policy=/usr/sbin/policy-rc.d
  if [ -e "$policy" ]; then
    apt_install "${services[@]}"
  else
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    status=0
    apt_install "${services[@]}" || status=$?
    $sudo rm -f "$policy"
    [ "$status" -eq 0 ] || exit "$status"
  fi
fi
install_npm_packages "${1:-}"
