#!/bin/sh
# wine-run-xorg.sh BUILD_ROOT right|left PROGRAM [ARGS...]
# Runs a Windows program on an Xorg display of its own with two monitors side
# by side (tools/xorg-two-monitors.conf), the second right or left of the
# first, in a Wine session of its own whose prefix is a copy of the tests'
# prefix, and passes its exit code on.
# The session's wineserver is stopped before and after: it keeps the desktop
# of the display it started on. Xorg needs root.
set -eu
build_root=$1
order=$2
shift 2
tools=$(cd "$(dirname "$0")" && pwd)
. "$tools/wine-env.sh"
own_root="$build_root/xorg-session"
wine_copy_prefix "$own_root"
config="$own_root/xorg-$order.conf"
side=RightOf
[ "$order" = left ] && side=LeftOf
sed "s/RightOf/$side/" "$tools/xorg-two-monitors.conf" >"$config"
sh "$tools/wine-session.sh" "$own_root" start "$config"
status=0
sh "$tools/wine-run.sh" "$own_root" "$@" || status=$?
sh "$tools/wine-session.sh" "$own_root" stop
exit $status
