#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine: the native
# toolchain with GoogleTest and Google Benchmark, and the MinGW-w64 cross
# compilers with Wine for the Windows builds. Installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine wine64
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
