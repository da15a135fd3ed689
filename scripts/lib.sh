# shellcheck shell=bash
# Shell helpers shared by setup.sh, test.sh and demo.sh.  Source it; it sets no
# shell options of its own.

SORBEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian's wine64 package keeps its launcher and server out of PATH.
SORBEL_WINE64=/usr/lib/wine/wine64
SORBEL_WINESERVER=/usr/lib/wine/wineserver

say() { printf '[%s] %s\n' "${SORBEL_SCRIPT:-sorbel}" "$*"; }
die() { say "error: $*" >&2; exit 1; }

# --- which Windows build runs under Wine here ---------------------------------
# The release is 32-bit.  Some x86-64 hosts run no 32-bit code at all (their
# kernel refuses i386 programs and the 32-bit code segment alike), and there
# no Wine runs a 32-bit Windows program.  sorbel_host_runs_32bit finds out by
# starting a 96-byte i386 Linux program that only exits with status 42:
# packages say nothing about what the kernel allows.
sorbel_host_runs_32bit() {
  if [ -z "${SORBEL_HOST_32BIT_PROBED:-}" ]; then
    local probe status=0
    probe="$(mktemp)"
    # ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    SORBEL_HOST_32BIT=no
    [ "$status" -eq 42 ] && SORBEL_HOST_32BIT=yes
    SORBEL_HOST_32BIT_PROBED=1
  fi
  [ "$SORBEL_HOST_32BIT" = yes ]
}

# The Windows build whose test programs run under Wine, and why: the release
# ("windows", 32-bit) where this host runs 32-bit code, otherwise the 64-bit
# build of the same sources ("windows64").  SORBEL_NO_32BIT=1 takes the
# 64-bit path on any host (and the release check then starts the release in
# the emulated x86 machine), so both paths can be tried anywhere.
# Sets SORBEL_WINE_PRESET and SORBEL_WINE_WHY.
sorbel_choose_wine_build() {
  if [ -n "${SORBEL_NO_32BIT:-}" ] && [ "${SORBEL_NO_32BIT}" != 0 ]; then
    SORBEL_WINE_PRESET=windows64
    SORBEL_WINE_WHY="the 64-bit build: SORBEL_NO_32BIT is set"
  elif sorbel_host_runs_32bit; then
    SORBEL_WINE_PRESET=windows
    SORBEL_WINE_WHY="the 32-bit release: this machine runs 32-bit x86 code"
  else
    SORBEL_WINE_PRESET=windows64
    SORBEL_WINE_WHY="the 64-bit build: this machine's kernel runs no 32-bit x86 code"
  fi
}

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
# every server started so (not one that was running already).
SORBEL_WINESERVER_PREFIXES=()
sorbel_start_wineserver() {
  local prefix="${1:-$WINEPREFIX}" status=0
  WINEPREFIX="$prefix" "$SORBEL_WINESERVER" -p 2>/dev/null || status=$?
  # 2: a server already serves the prefix (the test command's, say); it is
  # used as it is and left to whoever started it.
  [ "$status" -eq 2 ] && return 0
  [ "$status" -eq 0 ] || return 1
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
