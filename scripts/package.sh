#!/usr/bin/env bash
# Builds the release packages in build/package/ (Release builds below it):
#
#   mervane_VERSION_amd64.deb   for Debian 12 (layout: packaging/): the
#                               filter, mervanecfg behind an Apache instance
#                               of its own, mervane-map
#   libapache2-mod-mervane_VERSION_amd64.deb     mod_mervane
#   libnginx-mod-http-mervane_VERSION_amd64.deb  ngx_http_mervane_module,
#                               for the nginx whose nginx-dev built it
#   mervane-VERSION-x64.msi     the Windows installers (packaging/windows/),
#   mervane-VERSION-x86.msi     built with wixl
#   mervane-VERSION-win64.zip   the installers' folder: mervane.dll,
#   mervane-VERSION-win32.zip   mervane-map.exe, admin\mervanecfg.exe, the
#                               example configuration, the IIS registration
#                               scripts and INSTALL.txt, the README's steps
#                               for IIS
#
# VERSION is project()'s in CMakeLists.txt (MERVANE_MSI_VERSION overrides it
# for the installers alone: the upgrade test builds a later one). lintian
# checks each .deb and fails the script on an error. Prints the path of each
# package made.
#
# Usage: scripts/package.sh [deb] [windows]   (default: both)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build/package
version=$(sed -n 's/^project(mervane VERSION \([0-9.]*\) .*/\1/p' "$top/CMakeLists.txt")
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
# Dates in the package are the last commit's, so that a rebuild gives the
# same bytes.
SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

# release_build FOLDER [CMAKE_ARGUMENT...] -- TARGET...
release_build() {
  local dir=$1 args=()
  shift
  while [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMERVANE_TESTS=OFF "${args[@]}" >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j"${JOBS:-2}" "${targets[@]}" >/dev/null
}

# The Debian packages, which one version ties together.
debs=(mervane libapache2-mod-mervane libnginx-mod-http-mervane)
# The programs in each package, below its root.
declare -A elf_files=(
  [mervane]="usr/lib/mervane/mervane.so usr/lib/mervane/mervanecfg usr/bin/mervane-map"
  [libapache2-mod-mervane]=usr/lib/apache2/modules/mod_mervane.so
  [libnginx-mod-http-mervane]=usr/lib/nginx/modules/ngx_http_mervane_module.so
)
# The ABI of the nginx that nginx-dev describes, which a module depends on.
nginx_abi_file=/usr/share/nginx/src/debian/libnginx-mod.abisubstvars

# changelog: the packages' one changelog entry.
changelog() {
  printf 'mervane (%s) unstable; urgency=medium\n\n  * Release %s.\n\n' \
    "$version" "$version"
  printf ' -- %s  %s\n' "$(sed -n 's/^Maintainer: //p' "$top/packaging/debian/control")" \
    "$(date -u -R -d "@$SOURCE_DATE_EPOCH")"
}

# debian_flag NAME: Debian's value of a compiler or linker flag variable,
# with all of its hardening.
debian_flag() {
  DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"
}

# stage_deb PACKAGE ROOT: the package's installed files, its documentation
# and its maintainer scripts below ROOT.
stage_deb() {
  local package=$1 root=$2 doc=$2/usr/share/doc/$1 file
  rm -rf "$root"
  umask 022
  DESTDIR=$root cmake --install "$out/linux" --prefix /usr --component "$package" \
    >/dev/null
  for file in ${elf_files[$package]}; do
    [ -f "$root/$file" ] || {
      echo "package.sh: the build made no /$file for $package" >&2
      exit 1
    }
    strip --remove-section=.comment --remove-section=.note "$root/$file"
  done
  if [ -d "$root/usr/share/man" ]; then
    find "$root/usr/share/man" -type f -exec gzip -9n {} +
  fi
  install -d "$doc" "$root/DEBIAN"
  install -m 644 "$top/packaging/debian/copyright" "$doc/"
  changelog | gzip -9n >"$doc/changelog.gz"
  if [ "$package" = mervane ]; then gzip -9n <"$top/README.md" >"$doc/README.md.gz"; fi
  for file in postinst prerm postrm conffiles; do
    if [ -e "$top/packaging/debian/$package.$file" ]; then
      install -m "$([ $file = conffiles ] && echo 644 || echo 755)" \
        "$top/packaging/debian/$package.$file" "$root/DEBIAN/$file"
    fi
  done
  # conffiles have no md5sums entry: dpkg keeps their sums itself.
  (cd "$root" && find . -path ./DEBIAN -prune -o -path ./etc -prune -o -type f -printf '%P\0' |
    sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
}

# write_control PACKAGE ROOT: ROOT/DEBIAN/control, with the libraries'
# packages and, for nginx's module, nginx's ABI.
write_control() {
  local work=$out/debian file programs=()
  for file in ${elf_files[$1]}; do programs+=("$2/$file"); done
  # dpkg-shlibdeps and dpkg-gencontrol read debian/ in their folder.
  rm -rf "$work"
  mkdir -p "$work/debian"
  cp "$top/packaging/debian/control" "$work/debian/"
  changelog >"$work/debian/changelog"
  if [ "$1" = libnginx-mod-http-mervane ]; then
    grep '^nginx:abi=' "$nginx_abi_file" >"$work/debian/substvars"
  fi
  (
    cd "$work"
    dpkg-shlibdeps -Tdebian/substvars "${programs[@]}"
    dpkg-gencontrol -p"$1" -Tdebian/substvars -P"$2"
  )
}

build_deb() {
  local ldflags package root deb
  [ -e "$nginx_abi_file" ] || {
    echo "package.sh: no $nginx_abi_file: install nginx-dev" >&2
    exit 1
  }
  ldflags=$(debian_flag LDFLAGS)
  release_build "$out/linux" \
    -DCMAKE_CXX_FLAGS="$(debian_flag CPPFLAGS) $(debian_flag CXXFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DMERVANE_MAP_LIBRARY=/usr/lib/mervane/mervane.so -DMERVANE_DEBIAN_LAYOUT=ON \
    -- mervane mervanecfg mervane-map mod_mervane ngx_http_mervane_module
  for package in "${debs[@]}"; do
    root=$out/root/$package
    deb=$out/${package}_${version}_amd64.deb
    stage_deb "$package" "$root"
    write_control "$package" "$root"
    dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
    lintian --fail-on error "$deb" >&2
    echo "$deb"
  done
}

# iis_steps: the README's installation on IIS, as a Windows text file.
iis_steps() {
  echo "Mervane $version"
  echo
  sed -n '/^## Installing on IIS/,/^## /{/^## [^I]/!p}' "$top/README.md"
}

# stage_windows ARCH FOLDER: the files of one architecture's package, in
# Windows text form where they are text; the IIS scripts get the
# architecture's names (packaging/windows/iis-names.cmd).
stage_windows() {
  local arch=$1 stage=$2 build=$out/$3 names
  names='s/@FILTER@/Mervane/; s/@BITNESS@/bitness64/;'
  names+=' s/@SITE@/Mervane administration/; s/@PORT@/8081/'
  if [ "$arch" = i686 ]; then
    names='s/@FILTER@/Mervane 32-bit/; s/@BITNESS@/bitness32/;'
    names+=' s/@SITE@/Mervane administration 32-bit/; s/@PORT@/8082/'
  fi
  rm -rf "$stage"
  mkdir -p "$stage/admin"
  cp "$build/filter/mervane.dll" "$build/tools/mervane_map/mervane-map.exe" "$stage/"
  cp "$build/admin/mervanecfg.exe" "$stage/admin/"
  "$arch-w64-mingw32-strip" "$stage"/*.dll "$stage"/*.exe "$stage"/admin/*.exe
  sed 's/$/\r/' "$top/examples/mervane.cfg" >"$stage/mervane-example.cfg"
  iis_steps | sed 's/$/\r/' >"$stage/INSTALL.txt"
  for script in iis-names register-iis unregister-iis; do
    sed "$names; s/\$/\r/" "$top/packaging/windows/$script.cmd" >"$stage/$script.cmd"
  done
}

build_windows() {
  local arch name msi_arch stage zip msi msi_version=${MERVANE_MSI_VERSION:-$version}
  for arch in x86_64 i686; do
    name=win64 msi_arch=x64
    [ "$arch" = i686 ] && name=win32 msi_arch=x86
    # mervane-map loads the filter beside it by default: Windows looks for
    # a library in the program's own folder first.
    release_build "$out/$name" -DMERVANE_MAP_LIBRARY=mervane.dll \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
      -- mervane mervanecfg mervane-map
    stage=$out/$name-files
    zip=$out/mervane-$version-$name.zip
    msi=$out/mervane-$msi_version-$msi_arch.msi
    stage_windows "$arch" "$stage" "$name"
    rm -f "$zip" "$msi"
    (cd "$stage" && cmake -E tar cf "$zip" --format=zip \
      --mtime="$(date -u -d "@$SOURCE_DATE_EPOCH" "+%Y-%m-%d %H:%M:%S UTC")" \
      mervane.dll mervane-map.exe admin/mervanecfg.exe mervane-example.cfg \
      iis-names.cmd register-iis.cmd unregister-iis.cmd INSTALL.txt)
    # wixl finds the files relative to the folder it runs in.
    (cd "$stage" && wixl -a "$msi_arch" -D Arch="$msi_arch" \
      -D Version="$msi_version" -o "$msi" "$top/packaging/windows/mervane.wxs")
    echo "$zip"
    echo "$msi"
  done
}

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb windows)
for kind in "${kinds[@]}"; do
  case $kind in
    deb | windows)
      "$top/scripts/install-deps.sh" "$kind"
      "build_$kind"
      ;;
    *) echo "Usage: scripts/package.sh [deb] [windows]" >&2; exit 2 ;;
  esac
done
