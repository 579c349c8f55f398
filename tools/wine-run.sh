#!/bin/sh
# wine-run.sh BUILD_ROOT PROGRAM [ARGS...]
# Runs a Windows program in the tests' Wine session and passes its exit code on.
set -eu
build_root=$1
shift
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$wine_state/session.env" ]; then
  echo "No Wine session: start one with tools/wine-session.sh $build_root start" >&2
  exit 1
fi
. "$wine_state/session.env"
export GTEST_COLOR=no
exec wine "$@"
