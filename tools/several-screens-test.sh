#!/bin/sh
# several-screens-test.sh BUILD_ROOT PROGRAM
# Runs PROGRAM (the several-screens test) on two X displays of its own:
#   two 1024x768 screens joined with Xinerama, RandR off (Wine then reports
#   two monitors; Xvfb places both at 0,0, so the virtual screen stays
#   1024x768), and one 2048x768 screen standing for two side by side.
# Each in a Wine session of its own, with a copy of the tests' prefix.
set -eu
build_root=$1
program=$2
tools=$(cd "$(dirname "$0")" && pwd)
. "$tools/wine-env.sh"
template="$WINEPREFIX"
dual_root="$build_root/several-screens"
mkdir -p "$dual_root/wine"
if [ ! -f "$dual_root/wine/prefix/.tavrin-ready" ] && [ -f "$template/.tavrin-ready" ]; then
  rm -rf "$dual_root/wine/prefix"
  cp -a "$template" "$dual_root/wine/prefix"
fi
status=0
for layout in "-screen 0 1024x768x24 -screen 1 1024x768x24 +xinerama -extension RANDR" "-screen 0 2048x768x24"; do
  echo "== Xvfb $layout"
  TAVRIN_XVFB_SCREENS="$layout" sh "$tools/wine-session.sh" "$dual_root" start
  sh "$tools/wine-run.sh" "$dual_root" "$program" || status=1
  sh "$tools/wine-session.sh" "$dual_root" stop
done
exit $status
