#!/bin/bash
# Starts the release's own programs under Wine and checks each one's main job
# with the end-to-end tests (tests/e2e), driven from outside as a user would.
# The release check runs it natively where this host runs 32-bit code, and in
# the emulated x86 machine (scripts/guest.sh) where it does not: the same
# checks both ways.
#
#   release_run.sh <programs folder> <test programs folder>
#
# <programs folder> holds the zip's Vistel.exe, Tovakin.exe and
# SorbelStandIn.exe; <test programs folder> the end-to-end test programs of
# a Windows build.  Uses WINEPREFIX (default: the project's), DISPLAY if it
# answers or a private Xvfb, and a running wineserver or one of its own.
# Each check names itself and its outcome; the exit status is non-zero if
# any failed.
set -uo pipefail
SORBEL_SCRIPT="release run"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

[ $# -eq 2 ] || die "usage: release_run.sh <programs folder> <test programs folder>"
programs="$(cd "$1" && pwd)" || exit 1
tests="$(cd "$2" && pwd)" || exit 1

# <check>|<test program>|<tests>|<programs it drives>
CHECKS=(
  "Vistel: its window, in its place and size, a press on the mode writes How, a close ends it with 0|e2e_smoke_tests|VistelSmoke.ShowsBorderlessTopmostWindowAndClosesWithExitCodeZero|Vistel"
  "Vistel: follows Sorbel.ini, Visible=0 ends it with 0|e2e_vistel_tests|VistelTest.LabelsMirrorTheStatusSectionAndFollowItsChanges|Vistel"
  "Vistel: presses on the mode write How|e2e_vistel_tests|VistelTest.PressesOnTheModeLabelStepTheModeAndWriteHow|Vistel"
  "Vistel: a press on Color, ColorNum written when Visible=0 ends it|e2e_vistel_tests|VistelTest.PressOnColourStepsTheSchemeSavedAtClose|Vistel"
  "Vistel: follows Sorbel.ini inside the system's move loop|e2e_vistel_tests|VistelTest.ThePollGoesOnInsideTheSystemsMoveLoop|Vistel"
  "Tovakin: converts the cassette on its command line, 変換完了|e2e_tovakin_tests|TovakinCommandLine.ConvertsOneCassetteInPlaceAndEndsWithoutItsWindow|Tovakin"
  "Tovakin: a cassette it cannot open gives the open error|e2e_tovakin_tests|TovakinCommandLine.ReportsAMissingCassetteAndConvertsTheOthersInOrder|Tovakin"
  "Tovakin: the dialog converts with 削除 ticked|e2e_tovakin_tests|TovakinDialog.DeleteWithAnotherOutputFolderRemovesTheSourceOnceConverted|Tovakin"
  "SorbelStandIn: set and show|e2e_smoke_tests|StandInSmoke.*|StandIn"
)
declare -A EXE=([Vistel]=Vistel.exe [Tovakin]=Tovakin.exe [StandIn]=SorbelStandIn.exe)

sorbel_wine_env
# The caller's display and server (the test command's), or ones of its own,
# ended at the end.
if ! sorbel_display_works; then
  unset DISPLAY
  sorbel_start_xvfb || die "could not start Xvfb"
fi
sorbel_start_wineserver || die "could not start wineserver"
cleanup() {
  sorbel_stop_wineserver
  sorbel_stop_xvfb
}
trap 'cleanup; rm -rf "$logs"' EXIT

logs="$(mktemp -d)"
failed=0
for check in "${CHECKS[@]}"; do
  IFS='|' read -r title program filter drives <<<"$check"
  args=()
  for name in $drives; do args+=("--program=$name=$programs/${EXE[$name]}"); done
  t0=$SECONDS
  # A guard against a hang, generous for the emulated machine.
  if timeout --kill-after=10 900 "$SORBEL_WINE64" "$tests/$program.exe" --gtest_filter="$filter" "${args[@]}" \
    </dev/null >"$logs/$program.log" 2>&1 && grep -q '^\[  PASSED  \] [1-9]' "$logs/$program.log"; then
    say "ok    $title ($((SECONDS - t0)) s)"
  else
    failed=$((failed + 1))
    say "FAIL  $title ($((SECONDS - t0)) s): $program --gtest_filter=$filter"
    sed 's/^/    /' "$logs/$program.log"
  fi
done
say "$((${#CHECKS[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
