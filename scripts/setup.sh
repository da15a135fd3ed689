#!/bin/bash
# Prepares a Debian 12 machine to build and test the project: installs the
# missing packages (as root) and creates the project's Wine prefixes with the
# Japanese font replacements: the main one, and one whose screen is set to
# 144 pixels per inch (150 %) for the tests of display scaling.  Safe to run
# again: it only does what is missing.
#
#   setup.sh           packages and Wine prefixes: all that the demo and the
#                      tests need (the emulated machine excepted)
#   setup.sh packages  the build tools and the virtual display only
#   setup.sh wine      Wine and the two prefixes
#   setup.sh prefix    the main prefix only, with no package step (run inside
#                      the emulated x86 machine, see scripts/guest.sh)
#   setup.sh guest     the emulated x86 machine in which the release check
#                      starts the release where this host runs no 32-bit code
#
#   WINEPREFIX   the main Wine prefix to prepare (default: build/wineprefix);
#                the scaled one lies beside it, its name ending in -144dpi
set -euo pipefail
SORBEL_SCRIPT="setup"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

phase="${1:-all}"
case "$phase" in
  all | packages | wine | prefix | guest) ;;
  *) die "unknown part '$phase' (all, packages, wine, prefix or guest)" ;;
esac

# The release is 32-bit (g++-mingw-w64-i686-posix); the 64-bit compiler
# builds the same programs for hosts that cannot run 32-bit code, and the
# programs the release is measured against.
PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  xvfb xdotool imagemagick
  fonts-horai-umefont fonts-ipafont-gothic fontconfig
  python3 zip unzip
)
# Wine runs 32-bit programs in its 64-bit prefix with its 32-bit half, wine32
# of the i386 architecture, which is of use only where the kernel runs 32-bit
# code: elsewhere its i386 programs cannot even run their own installation.
WINE_PACKAGES=(wine64)
sorbel_host_runs_32bit && WINE_PACKAGES+=(wine32:i386)
# The emulated machine: a Debian root made by debootstrap, its disk made by
# mke2fs without a mount, booted by QEMU.
GUEST_PACKAGES=(qemu-system-x86 qemu-utils debootstrap e2fsprogs)

# install_missing <package>...: installs those not yet installed.
install_missing() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    say "packages: all present ($# checked)"
    return 0
  fi
  [ "$(id -u)" -eq 0 ] || die "missing packages (${missing[*]}); run as root to install them"
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "packages: adding the i386 architecture (for wine32)"
    dpkg --add-architecture i386
  fi
  say "packages: installing ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
  say "packages: installed"
}

if [ "$phase" = all ] || [ "$phase" = packages ]; then
  install_missing "${PACKAGES[@]}"
  grep -q "Ume P Gothic" <<<"$(fc-list : family)" || die "the Ume P Gothic font is not installed"
fi
if [ "$phase" = guest ]; then
  install_missing "${GUEST_PACKAGES[@]}"
  exec bash "$SORBEL_ROOT/scripts/guest.sh" prepare
fi
[ "$phase" = packages ] && exit 0

if [ "$phase" != prefix ]; then
  install_missing "${WINE_PACKAGES[@]}"
  if sorbel_host_runs_32bit; then
    say "this machine runs 32-bit x86 code: Wine gets its 32-bit half, and runs the 32-bit release"
  else
    say "this machine's kernel runs no 32-bit x86 code: Wine runs 64-bit programs only, and the prefixes are made without their 32-bit half"
  fi
fi
[ -x "$SORBEL_WINE64" ] || die "$SORBEL_WINE64 not found (is wine64 installed?)"

# --- Wine prefixes -------------------------------------------------------------
sorbel_wine_env
# Bump when a prefix needs preparing differently; an older marker redoes the work.
MARKER_CONTENT="sorbel-wineprefix 5"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# prepare_prefix <prefix> [<pixels per inch>]: creates the prefix unless its
# marker says it is ready; with a setting, the screen reports that many
# pixels per inch to programs that declare themselves aware of it.
prepare_prefix() {
  local WINEPREFIX="$1" dpi="${2:-}" exported name
  export WINEPREFIX
  local content="$MARKER_CONTENT${dpi:+ dpi $dpi}"
  local marker="$WINEPREFIX/.sorbel-setup"
  # A prefix made before Wine's 32-bit half was installed, or on a machine
  # that could not run it, has no 32-bit system files and cannot start a
  # 32-bit program: where this machine runs 32-bit code, it is made anew.
  local wow64="$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" need_wow64=
  sorbel_host_runs_32bit && need_wow64=1
  if [ -f "$marker" ] && [ "$(cat "$marker")" = "$content" ] && { [ -z "$need_wow64" ] || [ -f "$wow64" ]; }; then
    say "wine prefix: ready ($WINEPREFIX)"
    return 0
  fi
  # Only a prefix of ours (it has our marker) is removed; a stranger's
  # that lacks them is left to its owner.
  if [ -n "$need_wow64" ] && [ -d "$WINEPREFIX" ] && [ ! -f "$wow64" ]; then
    [ -f "$marker" ] || die "$WINEPREFIX has no 32-bit system files; remove it or choose another WINEPREFIX"
    say "wine prefix: making $WINEPREFIX anew, with 32-bit system files"
    "$SORBEL_WINESERVER" -k 2>/dev/null || true
    "$SORBEL_WINESERVER" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi

  mkdir -p "$(dirname "$WINEPREFIX")"
  say "wine prefix: creating $WINEPREFIX"
  # Wine's first program waits five minutes at most for the new prefix, and
  # then fails while the prefix is still being made; in an emulated machine
  # on a busy host the making takes longer.  Wait until it has ended and ask
  # again.
  local tries=1
  until "$SORBEL_WINE64" wineboot -i >/dev/null 2>&1; do
    [ "$tries" -lt 4 ] || die "wineboot failed for $WINEPREFIX"
    say "wine prefix: not made within Wine's wait; waiting for its making to end"
    "$SORBEL_WINESERVER" -w 2>/dev/null || true
    tries=$((tries + 1))
  done
  [ -z "$need_wow64" ] || [ -f "$wow64" ] ||
    die "the new prefix $WINEPREFIX has no 32-bit system files (is wine32:i386 installed?)"

  # Font replacements: the programs ask for "ＭＳ Ｐゴシック" (and its Latin
  # name), which Linux does not have.  Ume P Gothic is drawn to the same
  # character widths, so texts take the room the layouts were designed for
  # (with IPAPGothic, Vistel's large times run into the "/" between them).
  # Window captions and message boxes are drawn in Tahoma, which has no
  # Japanese: link it to the same Gothic, as a Japanese Windows links Tahoma to
  # its UI Gothic.
  # The names travel in a UTF-16LE .reg file with a byte-order mark because a
  # Japanese argument on Wine's command line is not reliably decoded.
  {
    printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n%s\r\n%s\r\n\r\n%s\r\n%s\r\n' \
      '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
      '"ＭＳ Ｐゴシック"="Ume P Gothic"' \
      '"MS PGothic"="Ume P Gothic"' \
      '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]' \
      "\"Tahoma\"=hex(7):$(printf 'ume-pgo4.ttf,Ume P Gothic' | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v |
        tr -s ' \n' ',' | sed 's/^,//; s/,$//'),00,00,00,00" | iconv -f UTF-8 -t UTF-16LE
  } >"$work/fonts.reg"
  say "wine prefix: adding font replacements"
  "$SORBEL_WINE64" regedit /S "Z:${work//\//\\}\\fonts.reg" >/dev/null 2>&1 ||
    die "regedit could not import the font replacements"

  # Check by exporting the key back (UTF-16 as well) and looking for both names.
  "$SORBEL_WINE64" regedit /E "Z:${work//\//\\}\\check.reg" \
    'HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements' >/dev/null 2>&1 ||
    die "regedit could not export the font replacements"
  exported="$(iconv -f UTF-16 -t UTF-8 "$work/check.reg" | tr -d '\r')"
  for name in 'ＭＳ Ｐゴシック' 'MS PGothic'; do
    grep -qxF "\"$name\"=\"Ume P Gothic\"" <<<"$exported" ||
      die "font replacement for $name is missing from the prefix"
  done
  say "wine prefix: font replacements verified"

  # Wine draws the windows' frames itself instead of leaving them to a window
  # manager.  A virtual display has none, and without this every window that
  # closes (each message box, each program's end) waits about two seconds for
  # a window manager's answer that never comes.
  printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n%s\r\n' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' >"$work/x11.reg"
  "$SORBEL_WINE64" regedit /S "Z:${work//\//\\}\\x11.reg" >/dev/null 2>&1 ||
    die "regedit could not import the X11 driver setting"

  # Wine draws the buttons of a window's caption with Marlett, which Debian
  # ships in Wine's data folder but does not register in a new prefix.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null ||
    say "wine prefix: no marlett.ttf to copy (caption buttons may look odd)"

  # The screen's pixels per inch (Windows' display scaling), read by the
  # prefix's server when it starts: the server ends below, and the next one
  # starts with the setting.
  if [ -n "$dpi" ]; then
    printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n"LogPixels"=dword:%08x\r\n' \
      '[HKEY_CURRENT_USER\Control Panel\Desktop]' "$dpi" >"$work/dpi.reg"
    "$SORBEL_WINE64" regedit /S "Z:${work//\//\\}\\dpi.reg" >/dev/null 2>&1 ||
      die "regedit could not import the screen's pixels per inch"
    say "wine prefix: screen at $dpi pixels per inch"
  fi

  # Let the server write the registry to disk before the prefix counts as done.
  "$SORBEL_WINESERVER" -w 2>/dev/null || true
  printf '%s\n' "$content" >"$marker"
  say "wine prefix: ready ($WINEPREFIX)"
}

prepare_prefix "$WINEPREFIX"
[ "$phase" = prefix ] || prepare_prefix "$SORBEL_WINEPREFIX_144DPI" 144
