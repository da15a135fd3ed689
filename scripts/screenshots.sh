#!/bin/bash
# Makes the README's pictures in docs/images: Vistel over a desktop, showing
# a player's state, and Tovakin's dialog with its fields filled in.  Runs on
# a private virtual display; leaves no process behind.
set -euo pipefail
SORBEL_SCRIPT="screenshots"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$SORBEL_ROOT" || exit 1

bash scripts/setup.sh
sorbel_wine_env
cmake --preset windows -DSORBEL_WINEPREFIX="$WINEPREFIX" >/dev/null
cmake --build --preset windows --target Vistel Tovakin >/dev/null

desktop_pid=
cleanup() {
  [ -n "$desktop_pid" ] && kill "$desktop_pid" 2>/dev/null
  sorbel_stop_wineserver
  sorbel_stop_xvfb
}
trap cleanup EXIT
unset DISPLAY
sorbel_start_xvfb || die "could not start Xvfb"
sorbel_start_wineserver || die "could not start wineserver"

work="$SORBEL_ROOT/build/screenshots"
rm -rf "$work"
mkdir -p "$work" docs/images

# Vistel over a desktop picture, with a player's state in its Sorbel.ini.
convert -size 1280x1024 gradient:'#4f7fb8-#16263f' "$work/desktop.png"
display -geometry +0+0 "$work/desktop.png" >/dev/null 2>&1 &
desktop_pid=$!
sleep 1
cp build/windows/display/Vistel.exe "$work/"
printf '%s\r\n' '[VISTEL]' 'Visible=1' 'CasFile=C:\Music\Lists\お気に入り.cas' 'PlaySong=02 表参道の午後.mid' \
  'Total=04:12' 'Current=01:07' 'PlayingIndex=2' 'Count=6' 'How=1' 'Play=1' 'Stop=0' 'ColorNum=17' |
  iconv -f UTF-8 -t CP932 >"$work/Sorbel.ini"
(cd "$work" && exec "$SORBEL_WINE64" Vistel.exe >/dev/null 2>&1) &
vistel_pid=$!
sleep 4
import -window root -crop 318x150+697+106 +repage docs/images/vistel.png
printf '[VISTEL]\r\nVisible=0\r\n' >"$work/Sorbel.ini"
wait "$vistel_pid" || true
kill "$desktop_pid" 2>/dev/null
desktop_pid=

# Tovakin in a Wine desktop of its own, which draws the window's caption
# and frame; the fields are typed in as a user would.
"$SORBEL_WINE64" explorer /desktop=tovakin,520x160 build/windows/converter/Tovakin.exe >/dev/null 2>&1 &
tovakin_pid=$!
xdotool search --sync --limit 1 --name '^tovakin - Wine desktop$' >/dev/null
sleep 2
xdotool mousemove 250 40 click 1
xdotool type --delay 20 'C:\Music\Lists\favorites.cas'
xdotool mousemove 250 72 click 1
xdotool type --delay 20 'C:\Music\Lists\'
sleep 1
import -window root -crop 452x132+0+0 +repage docs/images/tovakin.png
kill "$tovakin_pid" 2>/dev/null || true
say "docs/images/vistel.png and docs/images/tovakin.png written"
