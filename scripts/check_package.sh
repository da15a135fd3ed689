#!/usr/bin/env bash
# Builds the release zip from the windows build and checks what it holds:
# the two programs and the stand-in as static 32-bit Windows executables
# that need no DLL beyond Windows' own, marked large-address-aware, with
# manifests that claim no other processor and name no execution level (so
# that Windows virtualizes their files as it does the player's), the
# version in their resources, every function they import as
# packaging/imports.txt lists it, no function that counts on its caller's
# stack alignment, each program's size within its limit, the two read-mes
# and the two lists of changes naming this version, and the checksum file
# beside the zip matching it.  Then it
# starts the zip's own programs and checks each one's main job
# (scripts/release_run.sh): under Wine where this host runs 32-bit code,
# otherwise in an emulated x86 machine (scripts/guest.sh), built the first
# time it is needed.
#
#   check_package.sh                   check
#   check_package.sh --update-imports  write packaging/imports.txt afresh
#                                      from the build (review the change:
#                                      every function must exist on Windows 7)
set -euo pipefail
SORBEL_SCRIPT="package"
# shellcheck source=scripts/lib.sh
source "$(dirname "$0")/lib.sh"
cd "$SORBEL_ROOT"
build=build/windows
objdump=i686-w64-mingw32-objdump
import_list=packaging/imports.txt

version=$(sed -n 's/^project(SorbelCompanions VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
top="SorbelCompanions-$version-windows-x86"
zip="$build/package/$top.zip"
# A zip of an earlier version, left by an earlier build, is no release.
rm -f "$build"/package/SorbelCompanions-*.zip "$build"/package/SorbelCompanions-*.zip.sha256
cmake --build "$build" --target package >/dev/null
[[ -f "$zip" ]] || { echo "package: the build made no $top.zip:" $(ls "$build"/package) >&2; exit 1; }

expected=$(printf '%s\n' CHANGES-en.txt CHANGES-ja.txt README-en.txt README-ja.txt SorbelStandIn.exe Tovakin.exe Vistel.exe)
actual=$(unzip -Z1 "$zip" | sed -n "s#^$top/##p" | grep -v '/$' | sort)
if [[ "$actual" != "$expected" ]]; then
  echo "package: contents differ from what a release holds" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi

# The checksum a user checks the download with: "<hash>  <zip's name>".
(cd "$build/package" && sha256sum --quiet --strict -c "$top.zip.sha256") ||
  { echo "package: $top.zip.sha256 is missing or does not match the zip" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"

# imports <exe>: "<exe> <DLL> <function>" for every function it imports.
imports() {
  "$objdump" -p "$1" | awk -v exe="$(basename "$1")" '
    /^[ \t]*DLL Name:/ { dll = $3; next }
    dll != "" && NF == 0 { dll = "" }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print exe, dll, $3 }'
}

system_dlls='^(KERNEL32|USER32|GDI32|COMCTL32|comdlg32|SHELL32|ole32|msvcrt|ADVAPI32)\.dll$'
for exe in Vistel Tovakin SorbelStandIn; do
  file="$work/$top/$exe.exe"
  headers=$("$objdump" -p "$file")
  grep -q '^Magic[[:space:]]*010b' <<<"$headers" ||
    { echo "package: $exe.exe is not a 32-bit (PE32) program" >&2; exit 1; }
  grep -q 'large address aware' <<<"$headers" ||
    { echo "package: $exe.exe is not marked large-address-aware" >&2; exit 1; }
  dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
  if grep -viE "$system_dlls" <<<"$dlls" >/dev/null; then
    echo "package: $exe.exe needs a DLL that is not Windows' own:" $(grep -viE "$system_dlls" <<<"$dlls") >&2
    exit 1
  fi
  # The manifest is stored as its text.  The stand-in, a console program,
  # has none, which Windows treats the same way.
  manifest=$(python3 -c 'import re, sys
m = re.search(rb"<assembly .*?</assembly>", open(sys.argv[1], "rb").read(), re.S)
print(m.group(0).decode() if m else "")' "$file")
  if grep -q 'requestedExecutionLevel\|trustInfo' <<<"$manifest"; then
    echo "package: $exe.exe's manifest names an execution level: Windows would not virtualize its files" >&2
    exit 1
  fi
  if grep -o 'processorArchitecture="[^"]*"' <<<"$manifest" | grep -qv '"x86"\|"\*"'; then
    echo "package: $exe.exe's manifest claims another processor:" \
      $(grep -o 'processorArchitecture="[^"]*"' <<<"$manifest" | sort -u) >&2
    exit 1
  fi
  # Windows 10 and 11 read dpiAwareness, Windows 7 and 8 only dpiAware:
  # a program with a window needs both.
  if [[ -n "$manifest" ]] && ! { grep -q '<dpiAware>true</dpiAware>' <<<"$manifest" &&
    grep -q '<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest"; }; then
    echo "package: $exe.exe's manifest does not declare its scaling for every Windows" >&2
    exit 1
  fi
  # The version a user sees in the program's properties.
  resource_version=$(python3 -c 'import re, sys
data = open(sys.argv[1], "rb").read()
for key in ("FileVersion", "ProductVersion"):
    m = re.search(key.encode("utf-16-le") + rb"\0\0(?:\0\0)?((?:[^\0]\0)+)\0\0", data)
    print(m.group(1).decode("utf-16-le") if m else "(none)")' "$file" | sort -u)
  if [[ "$resource_version" != "$version" ]]; then
    echo "package: $exe.exe's version resource says" $resource_version "instead of $version" >&2
    exit 1
  fi
  imports "$file"
done | LC_ALL=C sort >"$work/imports.txt"

echo "package: imported functions (DLL, function, by program):"
awk '{ print "  " $0 }' "$work/imports.txt"
if [[ "${1:-}" == "--update-imports" ]]; then
  { sed -n '/^#/p' "$import_list"; cat "$work/imports.txt"; } >"$work/list" && mv "$work/list" "$import_list"
  echo "package: $import_list written afresh; review its change"
elif ! diff -u <(grep -v '^#' "$import_list") "$work/imports.txt" >"$work/imports.diff"; then
  echo "package: the programs import other functions than $import_list lists:" >&2
  cat "$work/imports.diff" >&2
  echo "package: a new import must exist on Windows 7 SP1, or be loaded at run time with a fallback;" \
    "then run scripts/check_package.sh --update-imports" >&2
  exit 1
fi

# Windows calls into a 32-bit program on a stack aligned to 4 bytes only:
# no function of the programs may count on its caller for more.
mapfile -t objects < <(find "$build/framework" "$build/display" "$build/converter" "$build/tools" -name '*.obj' | sort)
python3 scripts/stack_alignment.py "$objdump" "${objects[@]}"

# Sizes: a build flag or a call that brings a part of the runtime along
# (the C++ runtime's verbose terminate handler with its demangler, the C
# runtime's printf-style formatting, the C++ streams) makes a program tens or
# hundreds of kB larger.  A build's sizes do not vary, so each is held to a
# limit (kB of 1000 bytes); what a program is made of is told by
# scripts/size_breakdown.py.
size_limit_kb=400
for exe in Vistel Tovakin SorbelStandIn; do
  bytes=$(stat -c %s "$work/$top/$exe.exe")
  echo "package: $exe.exe: $bytes bytes (at most $size_limit_kb kB)"
  if ((bytes > size_limit_kb * 1000)); then
    echo "package: $exe.exe has grown past $size_limit_kb kB (scripts/size_breakdown.py release=build/windows tells of what)" >&2
    exit 1
  fi
  if grep -q 'terminate called after throwing' "$work/$top/$exe.exe"; then
    echo "package: $exe.exe holds the C++ runtime's verbose terminate handler, which framework/win32/terminate.cpp replaces" >&2
    exit 1
  fi
done

for text in README-ja README-en CHANGES-ja CHANGES-en; do
  head -c 3 "$work/$top/$text.txt" | cmp -s - <(printf '\xef\xbb\xbf') ||
    { echo "package: $text.txt lacks its byte-order mark" >&2; exit 1; }
  grep -q $'\r$' "$work/$top/$text.txt" ||
    { echo "package: $text.txt lacks CR LF line ends" >&2; exit 1; }
  grep -qF "$version" "$work/$top/$text.txt" ||
    { echo "package: $text.txt does not name version $version" >&2; exit 1; }
done
# A new version comes with its entry at the top of both lists of changes.
for language in ja en; do
  latest=$(grep -m 1 -o '^[0-9][0-9.]* ' "$work/$top/CHANGES-$language.txt" | tr -d ' ')
  [[ "$latest" == "$version" ]] ||
    { echo "package: CHANGES-$language.txt begins with version ${latest:-(none)}, not $version" >&2; exit 1; }
done
echo "package: $(basename "$zip") holds the three 32-bit programs of version $version, as imported as listed, both read-mes and both lists of changes; its checksum matches"
[[ "${1:-}" == "--update-imports" ]] && exit 0

# --- the release started ------------------------------------------------------
# The end-to-end tests of the build that runs under Wine here drive the zip's
# programs: the release's own test programs where this host runs 32-bit
# code, the 64-bit ones (which the emulated machine runs as well) elsewhere.
sorbel_choose_wine_build
tests_build="build/$SORBEL_WINE_PRESET"
cmake --build "$tests_build" --target e2e_smoke_tests e2e_vistel_tests e2e_tovakin_tests >/dev/null ||
  { echo "package: the end-to-end test programs of $tests_build do not build" >&2; exit 1; }
run="$work/run"
mkdir -p "$run/scripts" "$run/tests"
cp "$work/$top"/*.exe "$run/"
cp "$tests_build"/tests/e2e/e2e_{smoke,vistel,tovakin}_tests.exe "$run/tests/"
t0=$SECONDS
if [[ "$SORBEL_WINE_PRESET" == windows ]]; then
  echo "package: starting the release's programs under Wine, as this machine runs 32-bit code"
  bash scripts/release_run.sh "$run" "$run/tests" || { echo "package: the release failed its run" >&2; exit 1; }
else
  echo "package: starting the release's programs in the emulated x86 machine: the Windows tests ran $SORBEL_WINE_WHY"
  bash scripts/setup.sh guest || { echo "package: the emulated x86 machine could not be built" >&2; exit 1; }
  cp scripts/lib.sh scripts/release_run.sh "$run/scripts/"
  # The machine's own disk, not the shared folder, holds what Wine runs.
  # Emulated on a busy host, a program may take minutes to start where it
  # takes a second here: the checks' guard against a hang is ten times as
  # long there (it makes only a failing check slower).
  printf '%s\n' 'cp -r /payload /tmp/run && cd /tmp/run &&' \
    'SORBEL_E2E_TIMEOUT_MS=300000 WINEPREFIX=/root/wineprefix exec bash scripts/release_run.sh . tests' >"$run/job.sh"
  if ! bash scripts/guest.sh run "$run"; then
    echo "package: the release failed its run in the emulated x86 machine" >&2
    exit 1
  fi
fi
echo "package: the zip's own programs started and did their main jobs ($((SECONDS - t0)) s)"
