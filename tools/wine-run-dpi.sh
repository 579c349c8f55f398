#!/bin/sh
# wine-run-dpi.sh BUILD_ROOT DPI PROGRAM [ARGS...]
# Runs a Windows program on a display scaled to DPI (96 is 100 %, 144 150 %,
# 192 200 %), on a virtual display and in a Wine session of their own whose
# prefix is a copy of the tests' prefix, and passes its exit code on.
# Wine reports HKCU\Control Panel\Desktop\LogPixels as the display's DPI,
# read when its server starts: the session starts, the value is set, and the
# session starts again. Wine stretches nothing for a program that is not DPI
# aware, so only what an aware program draws can be seen this way. The
# program also finds the DPI in TAVRIN_DPI.
set -eu
build_root=$1
dpi=$2
shift 2
tools=$(cd "$(dirname "$0")" && pwd)
. "$tools/wine-env.sh"
own_root="$build_root/dpi-session"
wine_copy_prefix "$own_root"
sh "$tools/wine-session.sh" "$own_root" start >/dev/null
sh "$tools/wine-run.sh" "$own_root" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
  >/dev/null 2>&1
sh "$tools/wine-session.sh" "$own_root" start
status=0
TAVRIN_DPI=$dpi sh "$tools/wine-run.sh" "$own_root" "$@" || status=$?
sh "$tools/wine-session.sh" "$own_root" stop
exit $status
