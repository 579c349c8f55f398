# Sourced by the Wine scripts: the private prefix and quiet Wine settings.
# Needs $build_root (the directory that holds the win, native and fuzz trees).
mkdir -p "$build_root"
build_root=$(cd "$build_root" && pwd)
wine_state="$build_root/wine"
export WINEPREFIX="$wine_state/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Creates the prefix once (needs $DISPLAY) and sets what the tests rely on.
wine_prepare_prefix() {
  [ -f "$WINEPREFIX/.tavrin-ready" ] && return 0
  mkdir -p "$wine_state"
  wineboot -i || true
  # No debugger for an unhandled fault: the system's filter then lets the
  # program's own handler run, as on a machine without a debugger installed
  # (Wine's default starts winedbg, which kills the process itself).
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || true
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d "" /f || true
  wineserver -w
  touch "$WINEPREFIX/.tavrin-ready"
}

# A session root of its own ($1) whose prefix is a copy of the tests' one,
# made once, for tests that change what Wine reads at its start (the display,
# its DPI): the tests' own prefix stays as it was.
wine_copy_prefix() {
  if [ ! -f "$1/wine/prefix/.tavrin-ready" ] && [ -f "$WINEPREFIX/.tavrin-ready" ]; then
    mkdir -p "$1/wine"
    rm -rf "$1/wine/prefix"
    cp -a "$WINEPREFIX" "$1/wine/prefix"
  fi
}
