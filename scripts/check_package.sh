#!/usr/bin/env bash
# Builds the release zip from the windows build and checks what it holds:
# the two programs and the stand-in as static Windows executables that need
# no DLL beyond Windows' own, and the two read-mes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows

cmake --build "$build" --target package >/dev/null
zip=$(ls "$build"/package/SorbelCompanions-*-win64.zip)
top=$(basename "$zip" .zip)
version=$(sed -n 's/^project(SorbelCompanions VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ "$top" == "SorbelCompanions-$version-win64" ]] || { echo "package: unexpected name $top" >&2; exit 1; }

expected=$(printf '%s\n' README-en.txt README-ja.txt SorbelStandIn.exe Tovakin.exe Vistel.exe)
actual=$(unzip -Z1 "$zip" | sed -n "s#^$top/##p" | grep -v '/$' | sort)
if [[ "$actual" != "$expected" ]]; then
  echo "package: contents differ from what a release holds" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
system_dlls='^(KERNEL32|USER32|GDI32|COMCTL32|comdlg32|SHELL32|ole32|msvcrt|ADVAPI32)\.dll$'
for exe in Vistel Tovakin SorbelStandIn; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$work/$top/$exe.exe" | sed -n 's/^\s*DLL Name: //p')
  if grep -viE "$system_dlls" <<<"$dlls" >/dev/null; then
    echo "package: $exe.exe needs a DLL that is not Windows' own:" $(grep -viE "$system_dlls" <<<"$dlls") >&2
    exit 1
  fi
done
for language in ja en; do
  head -c 3 "$work/$top/README-$language.txt" | cmp -s - <(printf '\xef\xbb\xbf') ||
    { echo "package: README-$language.txt lacks its byte-order mark" >&2; exit 1; }
  grep -q $'\r$' "$work/$top/README-$language.txt" ||
    { echo "package: README-$language.txt lacks CR LF line ends" >&2; exit 1; }
  grep -q "$version" "$work/$top/README-$language.txt" ||
    { echo "package: README-$language.txt does not name version $version" >&2; exit 1; }
done
echo "package: $(basename "$zip") holds the three programs and both read-mes"
