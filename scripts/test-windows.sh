#!/usr/bin/env bash
# Cross-builds the tree for 64-bit and 32-bit Windows with MinGW-w64 and runs
# the Windows tests under Wine, in a Wine prefix made afresh in the build
# folder.
#
#   scripts/test-windows.sh              every target, every test
#   scripts/test-windows.sh platform     only the targets and tests of the
#                                        named source folders
#
# JOBS sets the build's parallelism (default 2). The 32-bit tests run only
# where Wine can start 32-bit programs (wine32, which install-deps.sh
# installs); otherwise only the checks of the 32-bit binaries' exports and
# imports run, which need no Wine.
#
# A run of every test ends with the installers: scripts/package.sh windows
# builds them, and a later version of each for the upgrade, and
# packaging/windows/msi_test.sh installs each architecture with Wine's
# msiexec in a prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=${JOBS:-2}
out=$top/build/windows
folders=("$@")

started=$(date +%s)
# Prints a step's name with the seconds since the start.
step() { echo "== [$(($(date +%s) - started))s] $*"; }

# Configures and builds one architecture, all of it or the named folders.
build() {
  local arch=$1 dir=$out/$1
  step "Build $arch"
  cmake -S "$top" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" >/dev/null
  local targets=()
  for f in "${folders[@]}"; do targets+=(--target "$f/all"); done
  cmake --build "$dir" -j"$jobs" "${targets[@]}"
}

# Runs the tests of one build (of the named folders only, when given), with
# more ctest arguments after the architecture.
run_tests() {
  local dirs=("$out/$1") status=0
  if [ ${#folders[@]} -gt 0 ]; then
    dirs=()
    for f in "${folders[@]}"; do dirs+=("$out/$1/$f"); done
  fi
  for d in "${dirs[@]}"; do
    # A failed start of Wine is retried by scripts/wine-start.sh; a failing
    # test is not.
    ctest --test-dir "$d" --output-on-failure --no-tests=error --timeout 300 \
      -j"$jobs" "${@:2}" || status=1
  done
  return $status
}

build x86_64
build i686

step "Wine prefix"
# Debian's wine starts every program through its 32-bit loader once wine32 is
# installed. A kernel that cannot run 32-bit programs refuses that loader;
# then the 64-bit loader starts the 64-bit programs directly, and the 32-bit
# tests are left to the probe below.
if ! wine --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
  echo "The 32-bit Wine loader cannot run here: using the 64-bit one"
  mkdir -p "$out/wine64-loader"
  for name in wine wine-stable; do
    rm -f "$out/wine64-loader/$name" # never write through an old link
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' \
      >"$out/wine64-loader/$name"
    chmod +x "$out/wine64-loader/$name"
  done
  export PATH="$out/wine64-loader:$PATH" WINELOADER=/usr/lib/wine/wine64
fi
# shellcheck source=scripts/wine-prefix.sh
. "$top/scripts/wine-prefix.sh"
fresh_wine_prefix "$out/wine-prefix"

status=0
step "Tests x86_64"
run_tests x86_64 || status=1

step "Tests i686"
wine32=0
probe=$(find "$out/i686" -name '*_tests.exe' -print -quit)
# A Wine without wine32 starts a 32-bit program as nothing: no output, exit
# status 0. A test program that lists its tests proves it ran.
if [ -n "$probe" ] &&
  wine "$probe" --gtest_list_tests </dev/null 2>/dev/null | grep -q .; then
  wine32=1
  run_tests i686 || status=1
else
  echo "i686: Wine cannot start 32-bit programs here (no wine32, or a kernel" \
    "without 32-bit support):" \
    "only the binaries are checked"
  MERVANE_WINE_UNAVAILABLE=1 \
    run_tests i686 -L windows_binary --no-tests=ignore || status=1
fi

# Prints a line in ctest's words, which scripts/test.sh counts.
installer_tests() {
  local version upgrade work=$out/msi passed=0 failed=0 arch
  version=$(sed -n 's/^project(mervane VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
  upgrade=${version%.*}.$((${version##*.} + 1))
  mkdir -p "$work"
  JOBS=$jobs scripts/package.sh windows >/dev/null || return 1
  JOBS=$jobs MERVANE_MSI_VERSION=$upgrade scripts/package.sh windows >/dev/null ||
    return 1
  for arch in x64 x86; do
    if [ $arch = x86 ] && [ $wine32 = 0 ]; then
      echo "x86 installer: Wine cannot start 32-bit programs here: not tested"
    elif packaging/windows/msi_test.sh $arch "$top/build/package" \
      "$version" "$upgrade" "$work"; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
    fi
  done
  echo "$((100 * passed / (passed + failed)))% tests passed, $failed tests failed" \
    "out of $((passed + failed))"
  [ $failed -eq 0 ]
}

if [ ${#folders[@]} -eq 0 ]; then
  step "Installers"
  installer_tests || status=1
fi

step "Done"
exit $status
