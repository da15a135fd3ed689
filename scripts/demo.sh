#!/bin/bash
# The main job: Vistel at work beside a player, and Tovakin converting a
# cassette.  As root on Debian 12, from a fresh clone:
#   1. set-up and the Windows build (Vistel, Tovakin, the player stand-in):
#      the 32-bit release, or the 64-bit build where this machine runs no
#      32-bit code (SORBEL_NO_32BIT=1 chooses it anywhere);
#   2. a sample player folder inside the Wine prefix (C:\Sorbel) with the
#      player's Sorbel.ini, and a sample cassette with Shift-JIS song paths
#      (C:\Music\Lists\お気に入り.cas);
#   3. the stand-in plays the cassette and Vistel shows it, on your X display
#      or, when there is none, on a virtual one with a desktop picture, where a
#      screenshot is saved (build/demo/screenshot.png);
#   4. Tovakin's command line converts a copy of the cassette in place; its
#      lines are printed before and after;
#   5. the stand-in quits, which closes Vistel.
# It ends by itself (on a real display after DEMO_SECONDS, default 60, or on
# Ctrl-C) with exit code 0 and leaves no process behind.
set -euo pipefail
SORBEL_SCRIPT="demo"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$SORBEL_ROOT" || exit 1

bash scripts/setup.sh
sorbel_wine_env
# The 32-bit release where this machine runs 32-bit code, otherwise the
# 64-bit build of the same sources.
sorbel_choose_wine_build
build="build/$SORBEL_WINE_PRESET"

say "building Vistel, Tovakin and the player stand-in: $SORBEL_WINE_WHY"
cmake --preset "$SORBEL_WINE_PRESET" -DSORBEL_WINEPREFIX="$WINEPREFIX" >/dev/null
cmake --build --preset "$SORBEL_WINE_PRESET" --target Vistel Tovakin sorbel_standin >/dev/null

standin_pid=
desktop_pid=
cleanup() {
  [ -n "$standin_pid" ] && kill "$standin_pid" 2>/dev/null
  [ -n "$desktop_pid" ] && kill "$desktop_pid" 2>/dev/null
  sorbel_stop_wineserver
  sorbel_stop_xvfb
}
trap cleanup EXIT
trap 'exit 0' INT
trap 'exit 143' TERM

virtual=
if sorbel_display_works; then
  say "using display $DISPLAY"
else
  unset DISPLAY
  sorbel_start_xvfb || die "could not start Xvfb"
  virtual=1
  say "started a virtual display $DISPLAY"
fi
sorbel_start_wineserver || die "could not start wineserver"

demo="$SORBEL_ROOT/build/demo"
mkdir -p "$demo"
rm -f "$demo/screenshot.png"
drive_c="$WINEPREFIX/drive_c"

# --- 2. the player's folder and its cassette -----------------------------------
# Text files of the player are code page 932 with CR LF line ends.
cp932() { iconv -f UTF-8 -t CP932 | sed 's/$/\r/'; }
player="$drive_c/Sorbel"
lists="$drive_c/Music/Lists"
rm -rf "$player" "$lists"
mkdir -p "$player" "$lists"
cp "$build/display/Vistel.exe" "$build/tools/SorbelStandIn.exe" "$player/"
cp932 >"$player/Sorbel.ini" <<'EOF'
; Sorbel settings
[Sorbel]
Version=3.12
LastCassette=C:\Music\Lists\お気に入り.cas
Volume=88

[Window]
Left=120
Top=80
Width=640
Height=480

[MIDI]
Device=Microsoft GS Wavetable Synth
Reset=GS

[VISTEL]
ColorNum=17
EOF
cp932 >"$lists/お気に入り.cas" <<'EOF'
C:\Music\さくら\01 春の小川.mid
C:\Music\さくら\02 表参道の午後.mid
C:\Music\ソナタ集\03 能舞台の朝.mid
C:\Music\Lists\04 夜明けの歌.mid
D:\Archive\05 遠い街.mid
..\Shared\06 雨の日.mid
EOF

# --- 3. the display beside the playing stand-in ----------------------------------
# On a virtual display, a desktop picture for the display to float over: a
# plain window filling the screen (Wine paints the root window itself).
if [ -n "$virtual" ]; then
  convert -size 1280x1024 gradient:'#4f7fb8-#16263f' \
    -gravity southeast -pointsize 28 -fill '#ffffff70' -annotate +30+30 'Sorbel companions' \
    "$demo/desktop.png"
  display -geometry +0+0 "$demo/desktop.png" >/dev/null 2>&1 &
  desktop_pid=$!
  sleep 1
fi
seconds="${DEMO_SECONDS:-60}"
[ -n "$virtual" ] && seconds=12
say "the stand-in plays C:\\Music\\Lists\\お気に入り.cas for $seconds s; Vistel shows it"
(cd "$player" && exec "$SORBEL_WINE64" SorbelStandIn.exe play 'C:\Sorbel\Sorbel.ini' \
  'C:\Music\Lists\お気に入り.cas' --seconds 8 --quit-after "$seconds" </dev/null >"$demo/standin.log" 2>&1) &
standin_pid=$!
sleep 2
(cd "$player" && exec "$SORBEL_WINE64" Vistel.exe >/dev/null 2>&1) &
vistel_pid=$!
sleep 4
if [ -n "$virtual" ]; then
  import -window root "$demo/screenshot.png"
  say "screenshot of the display over the desktop: $demo/screenshot.png"
fi

# --- 4. Tovakin's command line ----------------------------------------------------------
show_lines() { iconv -f CP932 -t UTF-8 "$1" | tr -d '\r' | sed 's/^/    /'; }
cp "$lists/お気に入り.cas" "$lists/変換テスト.cas"
say "cassette C:\\Music\\Lists\\変換テスト.cas before:"
show_lines "$lists/変換テスト.cas"
say "converting it with: Tovakin.exe \"C:\\Music\\Lists\\変換テスト.cas\""
(cd "$lists" && exec "$SORBEL_WINE64" "$SORBEL_ROOT/$build/converter/Tovakin.exe" \
  'C:\Music\Lists\変換テスト.cas' >/dev/null 2>&1) &
tovakin_pid=$!
# Tovakin reports completion in a message box captioned with its title:
# press Enter on it as a user would.
if box=$(xdotool search --sync --limit 1 --name '^Zelbin$' 2>/dev/null); then
  sleep 0.5
  xdotool windowactivate --sync "$box" >/dev/null 2>&1 || xdotool windowfocus --sync "$box" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers Return
  say "Tovakin said: 変換完了"
fi
wait "$tovakin_pid" || die "Tovakin failed"
say "after (relative to C:\\Music\\Lists\\; the other drive and the relative line stay):"
show_lines "$lists/変換テスト.cas"

# --- 5. the end -----------------------------------------------------------------------------
say "waiting for the stand-in to quit (Ctrl-C ends the demo at once)"
wait "$standin_pid" || true
standin_pid=
wait "$vistel_pid" || true
say "the stand-in wrote Visible=0 and Vistel closed itself; done"
