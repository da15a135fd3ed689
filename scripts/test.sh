#!/bin/bash
# The project's test command.  As root on Debian 12, from a fresh clone:
#   1. set-up (packages; Wine, prefixes)         scripts/setup.sh
#   2. native build and tests                    preset "native" (sanitizers)
#   3. fuzz targets, each run briefly            preset "fuzz"
#   4. Windows builds, and tests under Wine      presets "windows" (32-bit, the release) and
#                                                "windows64"; the tests run in a virtual X display
#   5. release package check                     scripts/check_package.sh: the zip's contents,
#                                                and its programs started and checked
# Every step runs even when an earlier one failed; the exit status is non-zero
# if any failed, and a summary ends the output.  A failure in Wine's set-up
# fails only the steps that need Wine.
#
# The Windows tests run the 32-bit release where this machine runs 32-bit x86
# code, and the 64-bit build of the same sources where its kernel runs none
# (see sorbel_choose_wine_build in scripts/lib.sh); the release check starts
# the release on every machine, in an emulated x86 machine where need be.
#
#   SORBEL_NO_32BIT=1  take the 64-bit path even where the release could run
#   FUZZ_SECONDS  time per fuzz target (default 20)
#   WINEPREFIX    Wine prefix (default build/wineprefix; the one at 144 pixels per
#                 inch lies beside it, its name ending in -144dpi)
#   DISPLAY       an X display to use instead of a private Xvfb, if it answers
set -uo pipefail
SORBEL_SCRIPT="test"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$SORBEL_ROOT" || exit 1

FUZZ_SECONDS="${FUZZ_SECONDS:-20}"
started_at=$SECONDS
results=()
failures=0

# step <title> <command>...: runs one step and records its outcome.
step() {
  local title="$1" t0=$SECONDS
  shift
  say "--- $title"
  if "$@"; then
    results+=("ok    $title ($((SECONDS - t0)) s)")
  else
    results+=("FAIL  $title ($((SECONDS - t0)) s)")
    failures=$((failures + 1))
  fi
}

summary() {
  say "=== summary ($((SECONDS - started_at)) s)"
  local line
  for line in "${results[@]}"; do say "$line"; done
  if [ -n "${SORBEL_WINE_WHY:-}" ]; then
    say "the Windows tests ran $SORBEL_WINE_WHY"
    if [ "$SORBEL_WINE_PRESET" != windows ]; then
      say "the 32-bit release itself was started only by the release check, in the emulated x86 machine"
      local accel
      accel="$(bash scripts/guest.sh accel 2>/dev/null)" && say "the emulated x86 machine ran under $accel"
    fi
  fi
}

# Whatever happens, no Wine process and no Xvfb outlives the run.
windows_ctest_pid=
guest_setup_pid=
cleanup() {
  [ -n "$windows_ctest_pid" ] && kill "$windows_ctest_pid" 2>/dev/null
  [ -n "$guest_setup_pid" ] && kill -- -"$guest_setup_pid" 2>/dev/null
  sorbel_stop_wineserver
  sorbel_stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- 1. set-up ----------------------------------------------------------------
# Without the build tools nothing can run; without Wine, only what needs it fails.
if ! bash scripts/setup.sh packages; then
  results+=("FAIL  set-up")
  summary
  exit 1
fi
wine_ready=
wine_setup() { bash scripts/setup.sh wine && wine_ready=1; }
step "set-up: Wine and its prefixes" wine_setup
sorbel_wine_env
sorbel_choose_wine_build
say "the Windows tests run $SORBEL_WINE_WHY"
# Where the release cannot run here, the release check starts it in an
# emulated x86 machine.  Building that machine is mostly downloading and
# unpacking: it starts now, beside the builds, and the release check waits
# for it (scripts/guest.sh builds one at a time) or reports why it failed.
if [ "$SORBEL_WINE_PRESET" != windows ]; then
  mkdir -p build
  say "building the emulated x86 machine in the background (build/guest-setup.log)"
  setsid bash scripts/setup.sh guest >build/guest-setup.log 2>&1 &
  guest_setup_pid=$!
fi

# --- 2. native ----------------------------------------------------------------
native() {
  cmake --preset native >/dev/null &&
    cmake --build --preset native &&
    ctest --preset native --parallel "$(nproc)"
}
step "native build and tests" native

# --- 3. fuzz ------------------------------------------------------------------
# Each target found in build/fuzz/fuzz runs for FUZZ_SECONDS on its corpus in
# build/fuzz-corpus/<target>, which grows from run to run; fuzz/corpus/<target>,
# if present, adds read-only seeds.  A crash leaves its input in
# build/fuzz-artifacts/.
fuzz_one() {
  local target="$1" name
  name="$(basename "$target")"
  local corpus="build/fuzz-corpus/$name" seeds=()
  mkdir -p "$corpus" build/fuzz-artifacts
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  "$target" "$corpus" "${seeds[@]}" -max_total_time="$FUZZ_SECONDS" \
    -artifact_prefix="build/fuzz-artifacts/$name-" >"build/fuzz-artifacts/$name.log" 2>&1 ||
    { tail -n 40 "build/fuzz-artifacts/$name.log"; return 1; }
  say "$name: no failure; $(find "$corpus" -type f | wc -l) inputs in its corpus"
}
fuzz() {
  if [ ! -f fuzz/CMakeLists.txt ]; then
    say "no fuzz targets yet"
    return 0
  fi
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || return 1
  local targets=() target ok=0
  mapfile -t targets < <(find build/fuzz/fuzz -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x 2>/dev/null | sort)
  if [ ${#targets[@]} -eq 0 ]; then
    say "no fuzz targets yet"
    return 0
  fi
  for target in "${targets[@]}"; do
    say "fuzzing $(basename "$target") for ${FUZZ_SECONDS} s"
    fuzz_one "$target" || ok=1
  done
  return $ok
}
step "fuzz targets (${FUZZ_SECONDS} s each)" fuzz

# --- 4. windows ---------------------------------------------------------------
# The Windows test programs need an X display (windows, mouse, screen
# captures): the caller's, if it answers, or a private Xvfb.  One wineserver
# stays up for the whole run.
# windows_build <preset>
windows_build() {
  cmake --preset "$1" -DSORBEL_WINEPREFIX="$WINEPREFIX" \
    -DSORBEL_WINEPREFIX_144DPI="$SORBEL_WINEPREFIX_144DPI" >/dev/null &&
    cmake --build --preset "$1"
}
windows_tests() {
  if sorbel_display_works; then
    say "using display $DISPLAY"
  else
    unset DISPLAY
    sorbel_start_xvfb || { say "could not start Xvfb"; return 1; }
    say "started Xvfb on $DISPLAY"
  fi
  sorbel_start_wineserver || { say "could not start wineserver"; return 1; }
  # The prefix whose screen is set to 144 pixels per inch has its own server.
  sorbel_start_wineserver "$SORBEL_WINEPREFIX_144DPI" || { say "could not start the 144-dpi wineserver"; return 1; }
  # In the background, so that a signal reaches the trap at once instead of
  # after the whole ctest run.
  ctest --preset "$SORBEL_WINE_PRESET" &
  windows_ctest_pid=$!
  local status=0
  wait "$windows_ctest_pid" || status=$?
  windows_ctest_pid=
  return "$status"
}
# Both builds, warnings as errors, on every machine: the release, and the
# 64-bit programs (tested here where the release cannot run, and measured
# beside it by the benchmarks).
step "windows build (32-bit, the release)" windows_build windows
step "windows 64-bit build" windows_build windows64
# Run what did build, so a single broken target does not hide the other results.
if [ -z "$wine_ready" ]; then
  results+=("FAIL  windows tests under Wine (not run: Wine's set-up failed)")
  failures=$((failures + 1))
elif [ -f "build/$SORBEL_WINE_PRESET/CTestTestfile.cmake" ]; then
  step "windows tests under Wine (build/$SORBEL_WINE_PRESET)" windows_tests
fi

# --- 5. release package check ---------------------------------------------------
# scripts/check_package.sh builds the CPack zip from build/windows, checks
# what it holds, and starts its programs (in the emulated machine where
# this host cannot run them; after a failed background build it tries once
# more and says why it failed).
release_check() {
  if [ -n "$guest_setup_pid" ]; then
    if ! wait "$guest_setup_pid"; then
      say "the emulated x86 machine could not be built in the background:"
      tail -n 20 build/guest-setup.log
    fi
    guest_setup_pid=
  fi
  bash scripts/check_package.sh
}
if [ -f scripts/check_package.sh ]; then
  step "release package check" release_check
fi

summary
[ "$failures" -eq 0 ]
