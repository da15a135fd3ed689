# shellcheck shell=bash
# Shell helpers shared by setup.sh, test.sh and demo.sh.  Source it; it sets no
# shell options of its own.

SORBEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian's wine64 package keeps its launcher and server out of PATH.
SORBEL_WINE64=/usr/lib/wine/wine64
SORBEL_WINESERVER=/usr/lib/wine/wineserver

say() { printf '[%s] %s\n' "${SORBEL_SCRIPT:-sorbel}" "$*"; }
die() { say "error: $*" >&2; exit 1; }

# The Wine environment every script and test program runs in: one prefix for
# the project (inside the repository unless WINEPREFIX says otherwise), quiet
# logs, and no offer to install Wine's .NET or browser add-ons, which would
# block an unattended run with a dialog.
# A second prefix beside it has its screen set to 144 pixels per inch, for
# the tests of display scaling.
sorbel_wine_env() {
  export WINEPREFIX="${WINEPREFIX:-$SORBEL_ROOT/build/wineprefix}"
  export SORBEL_WINEPREFIX_144DPI="${SORBEL_WINEPREFIX_144DPI:-$WINEPREFIX-144dpi}"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
}

# True when DISPLAY names an X display that answers.
sorbel_display_works() {
  [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1
}

# Starts a private Xvfb and exports DISPLAY.  -displayfd lets the server pick
# a free display number and report it, so a display already running on the
# machine is never disturbed.  Sets SORBEL_XVFB_PID.
SORBEL_XVFB_PID=
sorbel_start_xvfb() {
  local numfile n='' i
  numfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  SORBEL_XVFB_PID=$!
  for ((i = 0; i < 100; i++)); do
    n="$(tr -dc '0-9' <"$numfile")"
    [ -n "$n" ] && break
    kill -0 "$SORBEL_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  if [ -z "$n" ]; then
    sorbel_stop_xvfb
    return 1
  fi
  export DISPLAY=":$n"
  sorbel_display_works
}

sorbel_stop_xvfb() {
  if [ -n "$SORBEL_XVFB_PID" ]; then
    kill "$SORBEL_XVFB_PID" 2>/dev/null || true
    wait "$SORBEL_XVFB_PID" 2>/dev/null || true
    SORBEL_XVFB_PID=
  fi
}

# Keeps one wineserver up for the whole run (each program start then costs
# about a second instead of a server start-up), and ends it with every Wine
# process of the prefix at the end.  sorbel_start_wineserver [<prefix>]
# serves WINEPREFIX unless told another prefix; sorbel_stop_wineserver ends
# every server started so.
SORBEL_WINESERVER_PREFIXES=()
sorbel_start_wineserver() {
  local prefix="${1:-$WINEPREFIX}"
  WINEPREFIX="$prefix" "$SORBEL_WINESERVER" -p || return 1
  SORBEL_WINESERVER_PREFIXES+=("$prefix")
  # Start Wine's background services now, with no terminal or pipe attached.
  # Started later by a test program, they would inherit its output pipes and
  # keep ctest waiting for the end of that output until the test times out.
  WINEPREFIX="$prefix" "$SORBEL_WINE64" wineboot </dev/null >/dev/null 2>&1
}

sorbel_stop_wineserver() {
  local prefix
  for prefix in "${SORBEL_WINESERVER_PREFIXES[@]}"; do
    WINEPREFIX="$prefix" "$SORBEL_WINESERVER" -k 2>/dev/null || true
    WINEPREFIX="$prefix" "$SORBEL_WINESERVER" -w 2>/dev/null || true
  done
  SORBEL_WINESERVER_PREFIXES=()
}
