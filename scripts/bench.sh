#!/bin/bash
# Runs the benchmarks whose figures stand in the README: Tovakin's convert
# button on a million-line cassette (native), one poll cycle of Vistel
# beside the platform's profile functions, Tovakin.exe converting the same
# cassette beside Python's ntpath.relpath, and the player and Vistel writing
# Sorbel.ini at once (the last three under Wine, on a private virtual
# display).  The poll cycle and Tovakin.exe are measured as the 32-bit
# release and as a 64-bit build, in the same run.  They print figures and assert nothing.
# Where this machine runs no 32-bit code (or SORBEL_NO_32BIT=1), the 32-bit
# release cannot be measured: the 64-bit build drives the runs and the
# release's rows are left out, with a word that says so.
#
#   RACE_ROUNDS        rounds of each race (default 40)
#   PREVIOUS_RELEASE   commit of the last 64-bit release (default 815700a)
set -euo pipefail
SORBEL_SCRIPT="bench"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$SORBEL_ROOT" || exit 1
PREVIOUS_RELEASE="${PREVIOUS_RELEASE:-815700a}"

bash scripts/setup.sh >/dev/null
sorbel_wine_env
sorbel_choose_wine_build
# The build whose bench programs drive the runs under Wine.
drivers="build/$SORBEL_WINE_PRESET"
[ "$SORBEL_WINE_PRESET" = windows ] || say "the 32-bit release is not measured: $SORBEL_WINE_WHY"

say "building"
cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
cmake --preset windows -DSORBEL_WINEPREFIX="$WINEPREFIX" >/dev/null
cmake --build --preset windows --target poll_bench race_bench Vistel >/dev/null
# The 64-bit build, measured beside the 32-bit release in the same run, and
# the last 64-bit release itself, built from its commit in a work tree of
# its own.
cmake --preset windows64 >/dev/null
cmake --build --preset windows64 --target poll_bench race_bench tovakin_bench Vistel Tovakin >/dev/null
previous="$SORBEL_ROOT/build/previous-release"
if [ ! -d "$previous" ]; then
  git -C "$SORBEL_ROOT" worktree prune
  git -C "$SORBEL_ROOT" worktree add --detach "$previous" "$PREVIOUS_RELEASE" >/dev/null 2>&1 ||
    die "cannot check out the last 64-bit release ($PREVIOUS_RELEASE)"
fi
(cd "$previous" && cmake --preset windows -DSORBEL_TESTS=OFF >/dev/null &&
  cmake --build --preset windows --target poll_bench Tovakin >/dev/null) ||
  die "cannot build the last 64-bit release"

# Tovakin.exe under Wine, and what it is set against.
cmake --build --preset windows --target Tovakin tovakin_bench >/dev/null

# The cassette Tovakin.exe converts lies in C:\Music\Lists of the Wine
# prefix, the folder its lines are made relative to; made here, removed after.
tovakin_work="$(mktemp -d)"
tovakin_folder="$WINEPREFIX/drive_c/Music/Lists"
tovakin_made_music=
[ -e "$WINEPREFIX/drive_c/Music" ] || tovakin_made_music=1

cleanup() {
  sorbel_stop_wineserver
  sorbel_stop_xvfb
  rm -rf "$tovakin_work"
  rm -f "$tovakin_folder/bench.cas"
  [ -z "$tovakin_made_music" ] || rm -rf "$WINEPREFIX/drive_c/Music"
}
trap cleanup EXIT

say "Tovakin: convert button on a million-line cassette (native)"
./build/bench/bench/cassette_bench

unset DISPLAY
sorbel_start_xvfb || die "could not start Xvfb"
sorbel_start_wineserver || die "could not start wineserver"
if [ "$SORBEL_WINE_PRESET" = windows ]; then
  say "Vistel: one poll cycle beside ten profile-function calls (under Wine), 32-bit release"
  "$SORBEL_WINE64" build/windows/bench/poll_bench.exe
fi
say "Vistel: one poll cycle beside ten profile-function calls (under Wine), 64-bit build"
"$SORBEL_WINE64" build/windows64/bench/poll_bench.exe
say "the same, the last 64-bit release"
"$SORBEL_WINE64" "$previous/build/windows/bench/poll_bench.exe"

say "Tovakin.exe converting the cassette in place (under Wine), and Python's ntpath.relpath on the same lines"
cassette="$tovakin_work/bench.cas"
./build/bench/bench/cassette_bench --write "$cassette"
mkdir -p "$tovakin_folder"
wine_path() { printf 'Z:%s' "${1//\//\\}"; }
release_row=()
[ "$SORBEL_WINE_PRESET" = windows ] &&
  release_row=("32-bit=$(wine_path "$SORBEL_ROOT/build/windows/converter/Tovakin.exe")")
"$SORBEL_WINE64" "$drivers/bench/tovakin_bench.exe" "$(wine_path "$cassette")" 'C:\Music\Lists' \
  "${release_row[@]}" \
  "64-bit=$(wine_path "$SORBEL_ROOT/build/windows64/converter/Tovakin.exe")" \
  "last 64-bit release=$(wine_path "$previous/build/windows/converter/Tovakin.exe")" \
  --repetitions 15 </dev/null | tee "$tovakin_work/wine.txt"
python3 bench/relpath_bench.py "$cassette" 'C:\Music\Lists\bench.cas' "$tovakin_work/python.cas" 3 |
  tee "$tovakin_work/python.txt"
if cmp -s "$tovakin_work/python.cas" "$tovakin_folder/bench.cas"; then same=yes; else same=no; fi
python3 - "$tovakin_work/wine.txt" "$tovakin_work/python.txt" "$same" <<'PY'
import sys
def median(path):
    for line in open(path):
        if "median seconds:" in line:
            return float(line.split(":")[1])
tovakin, python = median(sys.argv[1]), median(sys.argv[2])
print("ratio ntpath.relpath / Tovakin.exe (start-up subtracted): %.0f times faster (medians); same bytes written: %s"
      % (python / tovakin, sys.argv[3]))
PY

rounds="${RACE_ROUNDS:-40}"
say "Vistel and the player writing Sorbel.ini at once: $rounds rounds of each race (under Wine)"
vistel="Z:$(pwd)/$drivers/display/Vistel.exe"
"$SORBEL_WINE64" "$drivers/bench/race_bench.exe" "${vistel//\//\\}" "$rounds"
