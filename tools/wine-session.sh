#!/bin/sh
# wine-session.sh BUILD_ROOT start|stop [XORG_CONFIG]
# The session the tests under Wine run in: a virtual X display (Xvfb,
# 1024x768x24), the private Wine prefix, and a persistent wineserver so that
# every later start of a Windows program is fast. With XORG_CONFIG the display
# is an Xorg server with that layout instead (needs root), for what Xvfb cannot
# show Wine, such as monitors side by side.
set -eu
build_root=$1
. "$(dirname "$0")/wine-env.sh"
mkdir -p "$wine_state"
session="$wine_state/session.env"

stop_session() {
  if [ -f "$session" ]; then
    . "$session"
    wineserver -k 2>/dev/null || true
    kill "${X_PID:-}" 2>/dev/null || true
    rm -f "$session"
  else
    wineserver -k 2>/dev/null || true
  fi
}

case "$2" in
start)
  # The server keeps the desktop of the display it started on: a new display
  # needs a new server.
  stop_session
  rm -f "$wine_state/display"
  # Either server picks a free display number itself (-displayfd), so the
  # session never takes one that another build's tests are using.
  if [ -n "${3:-}" ]; then
    # An empty configuration directory: the machine's own xorg.conf.d snippets
    # stay out. -sharevts: a console's virtual terminal is left alone.
    mkdir -p "$wine_state/xorg.conf.d"
    log="$wine_state/xorg.out"
    Xorg -config "$3" -configdir "$wine_state/xorg.conf.d" -noreset -nolisten tcp -sharevts -novtswitch \
      -logfile "$wine_state/xorg.log" -displayfd 3 3>"$wine_state/display" >"$log" 2>&1 &
  else
    log="$wine_state/xvfb.log"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -ac 3>"$wine_state/display" >"$log" 2>&1 &
  fi
  x_pid=$!
  n=0
  until [ -s "$wine_state/display" ]; do
    n=$((n + 1))
    if [ $n -gt 100 ] || ! kill -0 $x_pid 2>/dev/null; then
      echo "The X server did not start:"; cat "$log"; exit 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(head -n 1 "$wine_state/display")"
  printf 'export DISPLAY=%s\nX_PID=%s\n' "$DISPLAY" "$x_pid" >"$session"
  # Wine's own long-lived processes (the server, the desktop, services) must
  # not hold ctest's output pipe open, or the start never seems to end.
  (
    wine_prepare_prefix
    wineserver -p
    # The first program of a session starts the desktop process; do it now.
    wine cmd /c exit 0 || true
  ) </dev/null >>"$wine_state/wine.log" 2>&1
  echo "Wine session on display $DISPLAY, prefix $WINEPREFIX"
  ;;
stop)
  stop_session
  echo "Wine session stopped"
  ;;
*)
  echo "usage: $0 BUILD_ROOT start|stop [XORG_CONFIG]" >&2; exit 2 ;;
esac
