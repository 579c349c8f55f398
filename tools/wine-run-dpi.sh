#!/bin/sh
# wine-run-dpi.sh BUILD_ROOT DPI PROGRAM [ARGS...]
# Runs a Windows program at a display scale of DPI (96 is 100 %, 144 is
# 150 %, 192 is 200 %) in a Wine session of its own, on a virtual display, and
# passes its exit code on. Wine reports the prefix's
# HKCU\Control Panel\Desktop\LogPixels to a program that declares itself aware
# of the scale (it stretches nothing for one that does not); its server reads
# the value when it starts, so the session's server is stopped after the value
# is set and before the session starts. The prefix is a copy of the tests'
# prefix, made once, so that the tests' own stays at 96; the program sees the
# scale in TAVRIN_DPI too.
set -eu
build_root=$1
dpi=$2
shift 2
tools=$(cd "$(dirname "$0")" && pwd)
. "$tools/wine-env.sh"
template="$WINEPREFIX"
own_root="$build_root/dpi-session"
mkdir -p "$own_root/wine"
if [ ! -f "$own_root/wine/prefix/.tavrin-ready" ] && [ -f "$template/.tavrin-ready" ]; then
  rm -rf "$own_root/wine/prefix"
  cp -a "$template" "$own_root/wine/prefix"
fi
sh "$tools/wine-session.sh" "$own_root" start >/dev/null
(
  build_root=$own_root
  . "$tools/wine-env.sh"
  . "$wine_state/session.env"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
) </dev/null >/dev/null 2>&1
sh "$tools/wine-session.sh" "$own_root" start
status=0
TAVRIN_DPI=$dpi sh "$tools/wine-run.sh" "$own_root" "$@" || status=$?
sh "$tools/wine-session.sh" "$own_root" stop
exit $status
