#!/bin/bash
# Shows the two programs under Wine: Vistel with a sample player status, and
# Tovakin's dialog.  On the caller's X display if it answers; otherwise in a
# private Xvfb, with a screenshot in build/demo/screenshot.png.  Both programs
# are stopped after a few seconds (DEMO_SECONDS, default 8) and no process is
# left behind.
set -euo pipefail
SORBEL_SCRIPT="demo"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$SORBEL_ROOT" || exit 1

bash scripts/setup.sh
sorbel_wine_env

say "building Vistel and Tovakin"
cmake --preset windows -DSORBEL_WINEPREFIX="$WINEPREFIX" >/dev/null
cmake --build --preset windows --target Vistel Tovakin >/dev/null

cleanup() {
  sorbel_stop_wineserver
  sorbel_stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

virtual=
if sorbel_display_works; then
  say "using display $DISPLAY"
else
  unset DISPLAY
  sorbel_start_xvfb || die "could not start Xvfb"
  virtual=1
  say "started Xvfb on $DISPLAY"
fi
sorbel_start_wineserver || die "could not start wineserver"

# Vistel reads Sorbel.ini beside its executable: give it a folder of its own
# with a status section as the player would write it (code page 932).
demo="$SORBEL_ROOT/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
cp build/windows/display/Vistel.exe "$demo/"
printf '%s\r\n' '[VISTEL]' 'Visible=1' 'CasFile=C:\Music\お気に入り.cas' 'PlaySong=03 Prelude.mid' \
  'Total=03:05' 'Current=00:42' 'PlayingIndex=3' 'Count=12' 'How=0' 'Play=1' 'Stop=0' |
  iconv -f UTF-8 -t CP932 >"$demo/Sorbel.ini"

say "starting Vistel and Tovakin"
(cd "$demo" && exec "$SORBEL_WINE64" Vistel.exe >/dev/null 2>&1) &
programs=($!)
(cd "$demo" && exec "$SORBEL_WINE64" "$SORBEL_ROOT/build/windows/converter/Tovakin.exe" >/dev/null 2>&1) &
programs+=($!)
sleep "${DEMO_SECONDS:-8}"

if [ -n "$virtual" ]; then
  import -window root "$demo/screenshot.png"
  say "screenshot: $demo/screenshot.png"
fi

say "stopping"
sorbel_stop_wineserver
wait "${programs[@]}" 2>/dev/null || true
say "done"
