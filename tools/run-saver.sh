#!/bin/sh
# run-saver.sh BUILD_ROOT [SECONDS]
# Runs BUILD_ROOT/win/tavrin.scr full screen under Wine. On the current X
# display when there is one (any key or mouse travel ends it); otherwise on a
# virtual display for SECONDS (default 6), then saves a screenshot and prints
# its path. The tests share the prefix and leave their settings in it, so the
# saver runs with its defaults: the settings key is removed first.
set -eu
build_root=$1
seconds=${2:-6}
tools=$(cd "$(dirname "$0")" && pwd)
. "$tools/wine-env.sh"
saver="$build_root/win/tavrin.scr"

reset_settings() { wine reg delete 'HKCU\Software\Orvane\Tavrin' /f >/dev/null 2>&1 || true; }

if [ -n "${DISPLAY:-}" ]; then
  # A running server keeps the desktop of the display it started on.
  wineserver -k 2>/dev/null || true
  wine_prepare_prefix >/dev/null 2>&1
  reset_settings
  status=0
  wine "$saver" /s || status=$?
  echo "tavrin.scr ended with exit code $status"
  exit 0
fi

sh "$tools/wine-session.sh" "$build_root" start
. "$wine_state/session.env"
trap 'sh "$tools/wine-session.sh" "$build_root" stop >/dev/null' EXIT
reset_settings
wine "$saver" /s &
saver_pid=$!
sleep "$seconds"
mkdir -p "$build_root/screenshots"
shot="$build_root/screenshots/saver.png"
import -window root -display "$DISPLAY" "$shot"
# Any key ends the saver.
xdotool key --clearmodifiers space 2>/dev/null || true
status=0
wait $saver_pid || status=$?
echo "tavrin.scr ended with exit code $status"
echo "Screenshot: $shot"
