#!/bin/sh
# soak.sh BUILD_ROOT SECONDS
# The long reliability runs under Wine: the full-screen saver for SECONDS
# under the resource watcher. Prints the watcher's samples.
set -eu
build_root=$1
seconds=$2
tools=$(cd "$(dirname "$0")" && pwd)
win="$build_root/win"
sh "$tools/wine-session.sh" "$build_root" start
trap 'sh "$tools/wine-session.sh" "$build_root" stop >/dev/null' EXIT
status=0
TAVRIN_SOAK_SECONDS=$seconds sh "$tools/wine-run.sh" "$build_root" "$win/soak_tests.exe" || status=1
exit $status
