#!/bin/sh
# run-bench.sh BUILD_ROOT
# Runs every benchmark: the native ones (BUILD_ROOT/bench/bench_*), then the
# Windows ones (BUILD_ROOT/win/bench_*.exe) under Wine on the tests' virtual
# display (1024x768). A Wine session of this build root that is already
# running is used as it is; otherwise one is started and stopped again.
# The figures are printed; any benchmark that fails makes the status non-zero.
set -eu
build_root=$1
tools=$(cd "$(dirname "$0")" && pwd)
status=0

for bench in "$build_root"/bench/bench_*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" || status=$?
done

set -- "$build_root"/win/bench_*.exe
if [ -f "$1" ]; then
  . "$tools/wine-env.sh"
  started=
  if [ ! -f "$wine_state/session.env" ]; then
    sh "$tools/wine-session.sh" "$build_root" start >/dev/null
    started=yes
  fi
  for bench in "$@"; do
    echo "== $(basename "$bench") (under Wine)"
    sh "$tools/wine-run.sh" "$build_root" "$bench" || status=$?
  done
  if [ -n "$started" ]; then
    sh "$tools/wine-session.sh" "$build_root" stop >/dev/null
  fi
fi
exit $status
