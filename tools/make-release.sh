#!/bin/sh
# make-release.sh BUILD_ROOT
# Puts the installer (made by the windows tree) and a zip archive with the
# saver, README, LICENSE and the credits into BUILD_ROOT/release.
set -eu
build_root=$1
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(head -n 1 "$source_dir/VERSION")
release="$build_root/release"
installer="$build_root/win/tavrin-setup-$version.exe"
if [ ! -f "$installer" ]; then
  echo "No installer at $installer: is makensis installed (package nsis)?" >&2
  exit 1
fi
rm -rf "$release"
mkdir -p "$release/tavrin-$version"
cp "$installer" "$release/"
cp "$build_root/win/tavrin.scr" "$source_dir/README.md" "$source_dir/LICENSE" "$source_dir/docs/CREDITS.txt" \
  "$release/tavrin-$version/"
(cd "$release" && zip -q -r -X "tavrin-$version.zip" "tavrin-$version" && rm -rf "tavrin-$version")
ls -l "$release"
