#!/bin/bash
# Runs the benchmarks whose figures stand in the README: Tovakin's convert
# button on a million-line cassette (native), one poll cycle of Vistel beside
# the platform's profile functions, and the player and Vistel writing
# Sorbel.ini at once (both under Wine, on a private virtual display).  They
# print figures and assert nothing.
#
#   RACE_ROUNDS   rounds of each race (default 40)
set -euo pipefail
SORBEL_SCRIPT="bench"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$SORBEL_ROOT" || exit 1

bash scripts/setup.sh >/dev/null
sorbel_wine_env

say "building"
cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
cmake --preset windows -DSORBEL_WINEPREFIX="$WINEPREFIX" >/dev/null
cmake --build --preset windows --target poll_bench race_bench Vistel >/dev/null

cleanup() {
  sorbel_stop_wineserver
  sorbel_stop_xvfb
}
trap cleanup EXIT

say "Tovakin: convert button on a million-line cassette (native)"
./build/bench/bench/cassette_bench

unset DISPLAY
sorbel_start_xvfb || die "could not start Xvfb"
sorbel_start_wineserver || die "could not start wineserver"
say "Vistel: one poll cycle beside ten profile-function calls (under Wine)"
"$SORBEL_WINE64" build/windows/bench/poll_bench.exe

rounds="${RACE_ROUNDS:-40}"
say "Vistel and the player writing Sorbel.ini at once: $rounds rounds of each race (under Wine)"
vistel="Z:$(pwd)/build/windows/display/Vistel.exe"
"$SORBEL_WINE64" build/windows/bench/race_bench.exe "${vistel//\//\\}" "$rounds"
