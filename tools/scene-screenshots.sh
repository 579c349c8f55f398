#!/bin/sh
# scene-screenshots.sh BUILD_ROOT
# Makes docs/screenshot-full.png and docs/screenshot-preview.png from the
# saver's own frames, in the tests' Wine session (a display of 1024x768).
set -eu
build_root=$1
tools=$(cd "$(dirname "$0")" && pwd)
docs="$tools/../docs"
mkdir -p "$build_root/screenshots"
work=$(cd "$build_root/screenshots" && pwd)
sh "$tools/wine-session.sh" "$build_root" start
trap 'sh "$tools/wine-session.sh" "$build_root" stop >/dev/null' EXIT
sh "$tools/wine-run.sh" "$build_root" "$build_root/win/scene_screenshots.exe" "Z:$work"
stable="-strip -define png:exclude-chunks=date,time"
# shellcheck disable=SC2086
convert "$work/full-screen.bmp" $stable "$docs/screenshot-full.png"
# shellcheck disable=SC2086
convert "$work/preview.bmp" -scale 200% $stable "$docs/screenshot-preview.png"
echo "docs/screenshot-full.png and docs/screenshot-preview.png"
