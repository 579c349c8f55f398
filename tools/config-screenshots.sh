#!/bin/sh
# Pictures of the configuration dialog's two tabs for the README:
# docs/config-settings.png and docs/config-about.png.
#
# Runs scene_screenshots.exe's dialog pictures (tavrin.scr /c as it is on
# the screen) in a Wine prefix of its own, BUILD/screenshots, made to look
# like Windows: Wine's own faces (Tahoma, MS Sans Serif, from fonts-wine) in
# the prefix's font folder, and the caption drawn by Wine since the virtual
# display has no window manager. The tests' own prefix is left as it is.
#
# usage: tools/config-screenshots.sh [BUILD]   (after make win BUILD=...)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
tool="$build/win/scene_screenshots.exe"
[ -f "$tool" ] || { echo "config-screenshots: $tool is missing (make win BUILD=...)" >&2; exit 1; }
shots="$build/screenshots"

sh "$root/tools/wine-session.sh" "$shots" start
trap 'sh "$root/tools/wine-session.sh" "$shots" stop >/dev/null' EXIT
(
  build_root=$shots
  . "$root/tools/wine-env.sh"
  . "$wine_state/session.env"
  if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"
  else
    echo "config-screenshots: no /usr/share/wine/fonts (fonts-wine): other faces stand in" >&2
  fi
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
)
sh "$root/tools/wine-run.sh" "$shots" "$tool" "Z:$shots" dialog

mkdir -p "$root/docs"
# No time chunks: the same picture gives the same bytes.
for page in settings about; do
  convert "$shots/config-$page.bmp" -strip -define png:exclude-chunks=date,time "$root/docs/config-$page.png"
  echo "docs/config-$page.png"
done
