#!/bin/sh
# make-release.sh [--tree TREE] BUILD_ROOT [CMAKE ARGUMENTS...]
# Builds the downloads in a windows tree of their own, without the tests
# (BUILD_ROOT/release-tree), and puts into BUILD_ROOT/release the installer,
# a zip archive (tavrin.scr, README.txt, LICENSE.txt, CREDITS.txt) and
# SHA256SUMS for both. With --tree, packs those of TREE, a windows tree
# already built, instead (the tests check such a release quickly).
#
# Two runs on one commit give the same bytes, in any folder and at any time:
# every time stamp is SOURCE_DATE_EPOCH, by default the commit's time (in a
# checkout without git, such as an unpacked source archive, whose files carry
# the commit's time, the time of VERSION), and no path of the build reaches
# the files. The files name the commit (cmake/commit-id.cmake).
set -eu
tree=""
if [ "$1" = "--tree" ]; then
  tree=$(cd "$2" && pwd)
  shift 2
fi
mkdir -p "$1"
build_root=$(cd "$1" && pwd)
shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(head -n 1 "$source_dir/VERSION")
commit_time=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || true)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-${commit_time:-$(stat -c %Y "$source_dir/VERSION")}}
export SOURCE_DATE_EPOCH

if [ -z "$tree" ]; then
  tree="$build_root/release-tree"
  cmake -S "$source_dir" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" -DTAVRIN_TESTS=OFF \
    "$@" >/dev/null
  if ! cmake --build "$tree" --target tavrin_installer; then
    echo "The release tree did not build (without makensis, package nsis, it has no installer)." >&2
    exit 1
  fi
fi
installer="$tree/tavrin-setup-$version.exe"
if [ ! -f "$installer" ]; then
  echo "No installer at $installer: is makensis installed (package nsis)?" >&2
  exit 1
fi

release="$build_root/release"
rm -rf "$release" "$tree/zip"
mkdir -p "$release" "$tree/zip/tavrin-$version"
cp "$installer" "$release/"
cp "$tree/tavrin.scr" "$tree/tools/installer/README.txt" "$tree/tools/installer/LICENSE.txt" \
  "$tree/tools/installer/CREDITS.txt" "$tree/zip/tavrin-$version/"
# The zip keeps each member's time (as local time: hence UTC), its Unix mode
# and, without -X, its owner; -D leaves out the folder's own entry, and the
# members go in in one order whatever the file system lists.
(
  cd "$tree/zip"
  chmod 644 "tavrin-$version"/*
  TZ=UTC touch -d "@$SOURCE_DATE_EPOCH" "tavrin-$version"/*
  printf '%s\n' "tavrin-$version"/* | LC_ALL=C sort | TZ=UTC zip -q -X -D "$release/tavrin-$version.zip" -@
)
(cd "$release" && sha256sum "tavrin-setup-$version.exe" "tavrin-$version.zip" >SHA256SUMS)
ls -l "$release"
