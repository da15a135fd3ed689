#!/bin/bash
# Runs the benchmarks whose figures stand in the README, each setting this
# build beside the previous release (PREVIOUS_RELEASE, built from its commit
# in a work tree of its own under build/): the programs' sizes and what they
# are made of (32- and 64-bit, on every machine); Tovakin's convert button on a million-line cassette
# (native); one poll cycle of Vistel beside the platform's profile
# functions, and Tovakin.exe converting the same cassette beside Python's
# ntpath.relpath (under Wine, on a private virtual display), each as the
# 32-bit release and as the 64-bit build; and the player and Vistel writing
# Sorbel.ini at once.  They print figures and assert nothing.
# Where this machine runs no 32-bit code (or SORBEL_NO_32BIT=1), the 32-bit
# release cannot be measured: the 64-bit builds drive the runs and the
# release's rows are left out, with a word that says so.
#
#   RACE_ROUNDS        rounds of each race (default 40)
#   PREVIOUS_RELEASE   commit of the previous release (default 13e69ae, 1.1.0)
#   PREVIOUS_LABEL     its name in the tables (default 1.1.0)
#   BENCH_RUNS         runs of each build in turn, natively and of the poll
#                      cycle (default 3)
set -euo pipefail
SORBEL_SCRIPT="bench"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$SORBEL_ROOT" || exit 1
PREVIOUS_RELEASE="${PREVIOUS_RELEASE:-13e69ae}"
PREVIOUS_LABEL="${PREVIOUS_LABEL:-1.1.0}"
runs="${BENCH_RUNS:-3}"

bash scripts/setup.sh >/dev/null
sorbel_wine_env
sorbel_choose_wine_build
# The build whose bench programs drive the runs under Wine.
drivers="build/$SORBEL_WINE_PRESET"
release=
if [ "$SORBEL_WINE_PRESET" = windows ]; then
  release=1
else
  say "the 32-bit release is not measured: $SORBEL_WINE_WHY"
fi

say "building this build and $PREVIOUS_LABEL ($PREVIOUS_RELEASE)"
cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
cmake --preset windows -DSORBEL_WINEPREFIX="$WINEPREFIX" >/dev/null
cmake --build --preset windows --target Vistel Tovakin sorbel_standin poll_bench race_bench tovakin_bench >/dev/null
cmake --preset windows64 >/dev/null
cmake --build --preset windows64 --target Vistel Tovakin sorbel_standin poll_bench race_bench tovakin_bench >/dev/null
# The previous release in a work tree of its own, its programs linked with
# maps as this build's are.
previous="$SORBEL_ROOT/build/previous-$PREVIOUS_RELEASE"
if [ ! -d "$previous" ]; then
  git -C "$SORBEL_ROOT" worktree prune
  git -C "$SORBEL_ROOT" worktree add --detach "$previous" "$PREVIOUS_RELEASE" >/dev/null 2>&1 ||
    die "cannot check out the previous release ($PREVIOUS_RELEASE)"
fi
(cd "$previous" && cmake --preset bench >/dev/null && cmake --build --preset bench --target cassette_bench >/dev/null &&
  for preset in windows windows64; do
    cmake --preset "$preset" -DSORBEL_TESTS=OFF -DCMAKE_EXE_LINKER_FLAGS=-Wl,-Map=%.map >/dev/null &&
      cmake --build --preset "$preset" --target Vistel Tovakin sorbel_standin poll_bench >/dev/null || exit 1
  done) || die "cannot build the previous release"

# The cassette Tovakin.exe converts lies in C:\Music\Lists of the Wine
# prefix, the folder its lines are made relative to; made here, removed after.
work="$(mktemp -d)"
tovakin_folder="$WINEPREFIX/drive_c/Music/Lists"
tovakin_made_music=
[ -e "$WINEPREFIX/drive_c/Music" ] || tovakin_made_music=1

cleanup() {
  sorbel_stop_wineserver
  sorbel_stop_xvfb
  rm -rf "$work"
  rm -f "$tovakin_folder/bench.cas"
  [ -z "$tovakin_made_music" ] || rm -rf "$WINEPREFIX/drive_c/Music"
}
trap cleanup EXIT

# side_by_side <title> <label>=<output file>...: the rows of several runs of
# each build, set side by side: per row, each build's least minimum and the
# median of its runs' medians.  Builds come in pairs, the previous release
# and then this build, and each pair ends with this build's median over the
# previous release's (below 1: faster now).
side_by_side() {
  python3 - "$@" <<'PY'
import re, statistics, sys
title, builds = sys.argv[1], [a.split("=", 1) for a in sys.argv[2:]]
row = re.compile(r"^(\s*\S.*?)\s+(\d+\.\d+)\s+(\d+\.\d+)(\s+\d+\.\d+)?\s*$")
table, order = {}, []
for label, path in builds:
    for line in open(path):
        m = row.match(line.rstrip("\n"))
        if not m:
            continue
        name = m.group(1)
        if name not in order:
            order.append(name)
        table.setdefault((name, label), []).append((float(m.group(2)), float(m.group(3))))
labels = [label for label, _ in builds]
print(title)
head1 = head2 = "%-34s" % ""
for i, label in enumerate(labels):
    head1 += "%20s" % label
    head2 += "%10s%10s" % ("min", "median")
    if i % 2:
        head1 += "%8s" % "ratio"
        head2 += "%8s" % ""
print(head1)
print(head2)
for name in order:
    line = "%-34s" % name[:34]
    for i, label in enumerate(labels):
        runs = table.get((name, label), [])
        if not runs:
            line += "%20s" % "-" + ("%8s" % "-" if i % 2 else "")
            continue
        median = statistics.median(m for _, m in runs)
        line += "%10.1f%10.1f" % (min(m for m, _ in runs), median)
        if i % 2:
            before = table.get((name, labels[i - 1]))
            line += "%8.2f" % (median / statistics.median(m for _, m in before)) if before else "%8s" % "-"
    print(line)
PY
}

say "sizes of the programs, and what they are made of (from their link maps)"
python3 scripts/size_breakdown.py "32-bit $PREVIOUS_LABEL=$previous/build/windows" "32-bit=build/windows" \
  "64-bit $PREVIOUS_LABEL=$previous/build/windows64" "64-bit=build/windows64"

# The code compiled for speed, instruction by instruction against the
# previous release's objects of the same sources (the 32-bit ones).
say "the code compiled for speed, against $PREVIOUS_LABEL's"
instructions() { i686-w64-mingw32-objdump -d --no-show-raw-insn "$1/$object" | tail -n +4; }
for object in framework/CMakeFiles/fw_core.dir/{text,paths,stringlist,ini}.cpp.obj \
  converter/CMakeFiles/tovakin_main.dir/Main.cpp.obj display/CMakeFiles/vistel_main.dir/Main.cpp.obj; do
  if [ ! -f "$previous/build/windows/$object" ]; then
    printf '  %-52s %s\n' "$object" "not in $PREVIOUS_LABEL"
  elif cmp -s <(instructions "$previous/build/windows") <(instructions build/windows); then
    printf '  %-52s %s\n' "$object" "the same instructions"
  else
    printf '  %-52s %s\n' "$object" "other instructions"
  fi
done

say "Tovakin: convert button on a million-line cassette (native), $PREVIOUS_LABEL and this build in turn, $runs runs each"
for run in $(seq "$runs"); do
  "$previous/build/bench/bench/cassette_bench" >>"$work/native-previous.txt"
  ./build/bench/bench/cassette_bench >"$work/native-now-$run.txt"
  cat "$work/native-now-$run.txt" >>"$work/native-now.txt"
done
cat "$work/native-now-1.txt"
side_by_side "convert button, $runs runs of each build (ms)" \
  "$PREVIOUS_LABEL=$work/native-previous.txt" "this build=$work/native-now.txt"

# Instructions, which do not vary with the machine's load as times do: the
# convert button's two runs (warm-up and one repetition) under callgrind.
if command -v valgrind >/dev/null; then
  say "the same per cassette line in instructions, and simulated misses of the whole run (callgrind, 100,000 lines; alike from run to run)"
  for build in previous now; do
    bench_program=./build/bench/bench/cassette_bench
    [ "$build" = now ] || bench_program="$previous/build/bench/bench/cassette_bench"
    valgrind --tool=callgrind --cache-sim=yes --branch-sim=yes --callgrind-out-file="$work/callgrind.$build" \
      --toggle-collect='TMainForm::BtChangeClick(fw::TObject*)' "$bench_program" 100000 1 >/dev/null 2>&1
    callgrind_annotate --inclusive=yes "$work/callgrind.$build" >"$work/instructions.$build"
  done
  python3 - "$PREVIOUS_LABEL" "$work/instructions.previous" "$work/instructions.now" <<'PY'
import re, sys
rows = [("convert button (whole run)", ":TMainForm::BtChangeClick("), ("  load (LoadFromFile)", ":fw::TStrings::LoadFromFile("),
        ("  ConvertLines", ":TMainForm::ConvertLines("), ("  save (SaveToFile)", ":fw::TStrings::SaveToFile(")]
def counts(path):
    found = {}
    for line in open(path):
        for name, symbol in rows:
            if symbol in line and name not in found:
                found[name] = int(line.split()[0].replace(",", "")) / (2 * 100000)
    return found
def misses(path):
    # The simulated cache misses and mispredicted branches of the button's runs.
    events = totals = None
    for line in open(path):
        if line.startswith("Events shown:"):
            events = line.split(":")[1].split()
        if "PROGRAM TOTALS" in line:
            totals = [int(v.replace(",", "")) for v in re.findall(r"([\d,]+) \(", line)]
    values = dict(zip(events, totals))
    return (sum(values[e] for e in ("I1mr", "D1mr", "D1mw")) / (2 * 100000),
            sum(values[e] for e in ("Bcm", "Bim")) / (2 * 100000))
before, now = counts(sys.argv[2]), counts(sys.argv[3])
print("%-30s %12s %12s %8s" % ("", sys.argv[1], "this build", "ratio"))
for name, _ in rows:
    print("%-30s %12.0f %12.0f %8.3f" % (name, before[name], now[name], now[name] / before[name]))
(cache_before, branch_before), (cache_now, branch_now) = misses(sys.argv[2]), misses(sys.argv[3])
print("%-30s %12.2f %12.2f %8.3f" % ("first-level cache misses (run)", cache_before, cache_now, cache_now / cache_before))
print("%-30s %12.2f %12.2f %8.3f" % ("mispredicted branches (run)", branch_before, branch_now, branch_now / branch_before))
PY
else
  say "valgrind is not installed: no instruction counts"
fi

unset DISPLAY
sorbel_start_xvfb || die "could not start Xvfb"
sorbel_start_wineserver || die "could not start wineserver"

say "Vistel: one poll cycle beside ten profile-function calls (under Wine), each build in turn, $runs runs each"
polls=()
[ -z "$release" ] || polls+=("32-bit $PREVIOUS_LABEL=$previous/build/windows" "32-bit=build/windows")
polls+=("64-bit $PREVIOUS_LABEL=$previous/build/windows64" "64-bit=build/windows64")
for run in $(seq "$runs"); do
  for poll in "${polls[@]}"; do
    "$SORBEL_WINE64" "${poll#*=}/bench/poll_bench.exe" >>"$work/poll-${poll%%=*}.txt"
  done
done
head -n 1 "$work/poll-${polls[0]%%=*}.txt"
poll_tables=()
for poll in "${polls[@]}"; do poll_tables+=("${poll%%=*}=$work/poll-${poll%%=*}.txt"); done
side_by_side "poll cycle, $runs runs of each build (us)" "${poll_tables[@]}"

say "Tovakin.exe converting the cassette in place (under Wine), and Python's ntpath.relpath on the same lines"
cassette="$work/bench.cas"
./build/bench/bench/cassette_bench --write "$cassette"
mkdir -p "$tovakin_folder"
wine_path() { printf 'Z:%s' "${1//\//\\}"; }
programs=()
[ -z "$release" ] || programs+=(
  "32-bit=$(wine_path "$SORBEL_ROOT/build/windows/converter/Tovakin.exe")"
  "32-bit $PREVIOUS_LABEL=$(wine_path "$previous/build/windows/converter/Tovakin.exe")")
programs+=(
  "64-bit=$(wine_path "$SORBEL_ROOT/build/windows64/converter/Tovakin.exe")"
  "64-bit $PREVIOUS_LABEL=$(wine_path "$previous/build/windows64/converter/Tovakin.exe")")
"$SORBEL_WINE64" "$drivers/bench/tovakin_bench.exe" "$(wine_path "$cassette")" 'C:\Music\Lists' \
  "${programs[@]}" --repetitions 15 </dev/null | tee "$work/wine.txt"
python3 bench/relpath_bench.py "$cassette" 'C:\Music\Lists\bench.cas' "$work/python.cas" 3 |
  tee "$work/python.txt"
if cmp -s "$work/python.cas" "$tovakin_folder/bench.cas"; then same=yes; else same=no; fi
python3 - "$work/wine.txt" "$work/python.txt" "$same" <<'PY'
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
