#!/bin/bash
# The emulated x86 machine in which the release check starts the 32-bit
# release where this host runs no 32-bit code.  It is an x86-64 Debian 12
# with Wine's 64-bit and 32-bit halves, booted by QEMU under software
# emulation (KVM where the host has it), whose own kernel runs 32-bit code.
#
#   guest.sh prepare        builds the machine unless its marker says it is
#                           ready: a Debian root from Debian's registry
#                           (debootstrap), its disk made by mke2fs without a
#                           mount, and a first boot that makes the Wine
#                           prefix on it (scripts/setup.sh prefix)
#   guest.sh run <folder>   boots it with <folder> shared as /payload, runs
#                           /payload/job.sh there as root with LANG=C.UTF-8,
#                           and ends with the job's exit status after
#                           printing its output (<folder>/job.log; the
#                           machine's console is in <folder>/console.log).
#                           The disk is left as it was.
#
#   SORBEL_GUEST_DIR   where the machine is kept (default
#                      /var/cache/sorbel-companions/guest): built once per
#                      machine and reused by every clone, like a package
#   SORBEL_GUEST_TIMEOUT  seconds a run may take (default 1500)
set -euo pipefail
SORBEL_SCRIPT="guest"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

GUEST_DIR="${SORBEL_GUEST_DIR:-/var/cache/sorbel-companions/guest}"
SUITE=bookworm
# The host's own Debian mirror, so the guest's packages come from where the
# host's do.
MIRROR="$(sed -n 's/^URIs: *\([^ ]*\/debian\)\/* *$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)"
[ -n "$MIRROR" ] || MIRROR="$(sed -n 's/^deb  *\(\[[^]]*\] *\)\{0,1\}\([^ ]*\/debian\)\/* .*/\2/p' /etc/apt/sources.list 2>/dev/null | head -n 1)"
[ -n "$MIRROR" ] || MIRROR=http://deb.debian.org/debian
# What the machine holds: a kernel with its modules (the 9p file system that
# shares the payload), a virtual display, the fonts the programs are laid out
# for, and then Wine's two halves.
ROOT_PACKAGES=(linux-image-amd64 kmod procps xvfb xauth xdotool fonts-horai-umefont fontconfig)
WINE_PACKAGES=(wine64 wine32:i386 libwine:i386)

# The machine's first and only process: it mounts what Wine and Xvfb need and
# the payload, runs the job, keeps its status beside it and powers off.
read -r -d '' INIT <<'EOF' || true
#!/bin/bash
export PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm /payload
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
modprobe 9pnet_virtio && modprobe 9p
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=mmap payload /payload; then
  echo "sorbel-guest: running the job"
  # Into a file, not a pipe: a process the job leaves behind (a display
  # server, say) would hold a pipe open and the machine would never end.
  (cd /payload && exec bash ./job.sh) >/payload/job.log 2>&1
  echo "$?" >/payload/status
  echo "sorbel-guest: the job ended with status $(cat /payload/status)"
  sync
  umount /payload
else
  echo "sorbel-guest: the payload could not be mounted"
fi
sync
mount -o remount,ro / 2>/dev/null
echo o >/proc/sysrq-trigger
sleep 60
EOF

# The inputs the machine is built from: a change rebuilds it.  The prefix is
# made by scripts/setup.sh, whose marker names how it is prepared.
prefix_marker="$(sed -n 's/^MARKER_CONTENT="\(.*\)"$/\1/p' "$SORBEL_ROOT/scripts/setup.sh")"
MARKER="sorbel-guest 2
suite $SUITE
mirror $MIRROR
packages ${ROOT_PACKAGES[*]} ${WINE_PACKAGES[*]}
init $(printf '%s' "$INIT" | sha256sum | cut -d' ' -f1)
prefix $prefix_marker"

guest_ready() {
  [ -f "$GUEST_DIR/marker" ] && [ "$(cat "$GUEST_DIR/marker")" = "$MARKER" ] &&
    [ -f "$GUEST_DIR/disk.img" ] && [ -f "$GUEST_DIR/vmlinuz" ] && [ -f "$GUEST_DIR/initrd.img" ]
}

# boot <machine folder> <payload folder> <seconds> [persist]: one boot; the
# disk keeps what the job wrote only with "persist".
boot() {
  local dir="$1" payload="$2" seconds="$3" persist="${4:-}" snapshot=on status=0
  [ -n "$persist" ] && snapshot=off
  rm -f "$payload/status" "$payload/job.log" "$payload/console.log"
  timeout --kill-after=10 "$seconds" qemu-system-x86_64 \
    -accel kvm -accel tcg,thread=multi -smp "$(nproc)" -m 4096 -cpu max,pku=off,smap=off \
    -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 init=/sorbel-init panic=1 quiet loglevel=3" \
    -drive "file=$dir/disk.img,format=raw,if=virtio,snapshot=$snapshot" \
    -virtfs "local,path=$payload,mount_tag=payload,security_model=none,id=payload" \
    -display none -monitor none -serial "file:$payload/console.log" -no-reboot \
    </dev/null >"$payload/qemu.log" 2>&1 || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    say "error: the emulated machine did not finish within $seconds s; its console ends:"
    tail -n 30 "$payload/console.log" >&2 || true
    return 1
  fi
  if [ ! -f "$payload/status" ]; then
    say "error: the emulated machine ended without running its job (QEMU's status $status); its console and QEMU say:"
    tail -n 30 "$payload/console.log" "$payload/qemu.log" >&2 || true
    return 1
  fi
  return "$(cat "$payload/status")"
}

prepare() {
  # One build at a time: a second caller waits for the first and finds the
  # machine ready.
  mkdir -p "$(dirname "$GUEST_DIR")"
  exec 9>"$GUEST_DIR.lock"
  flock 9
  if guest_ready; then
    say "emulated machine: ready ($GUEST_DIR)"
    return 0
  fi
  [ "$(id -u)" -eq 0 ] || die "building the emulated machine needs root"
  local new="$GUEST_DIR.new" t0=$SECONDS
  local root="$new/root"
  # The root has the kernel's /proc mounted while Wine is installed in it; a
  # build cut short may have left it so.  Nothing is removed across a mount.
  cleanup_mounts() { umount "$root/proc" 2>/dev/null || true; }
  cleanup_mounts
  rm -rf --one-file-system "$new"
  mkdir -p "$new"
  trap cleanup_mounts EXIT

  say "emulated machine: a Debian $SUITE root from $MIRROR (debootstrap)"
  debootstrap --variant=minbase "$SUITE" "$root" "$MIRROR" >"$new/debootstrap.log" 2>&1 ||
    { tail -n 20 "$new/debootstrap.log" >&2; die "debootstrap failed"; }

  # The rest with apt, which fetches in parallel what debootstrap would fetch
  # one by one, and without syncing every file (the disk is made from the
  # tree afterwards).  The i386 packages' own scripts cannot run on a host
  # without 32-bit code; none of Wine's needs to.
  say "emulated machine: its kernel, Xvfb, fonts and Wine with its 32-bit half"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
  chroot "$root" /bin/sh -c "dpkg --add-architecture i386 && apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      -o Dpkg::Options::=--force-unsafe-io ${ROOT_PACKAGES[*]} ${WINE_PACKAGES[*]} &&
    apt-get clean" >"$new/packages.log" 2>&1 ||
    { tail -n 20 "$new/packages.log" >&2; die "the emulated machine's packages could not be installed"; }
  cleanup_mounts
  trap - EXIT

  printf '%s\n' "$INIT" >"$root/sorbel-init"
  chmod 755 "$root/sorbel-init"
  cp "$root"/boot/vmlinuz-* "$new/vmlinuz"
  cp "$root"/boot/initrd.img-* "$new/initrd.img"
  rm -rf --one-file-system "$root"/var/lib/apt/lists/* "$root"/var/cache/apt/*.bin

  say "emulated machine: its disk (mke2fs)"
  mke2fs -q -F -t ext4 -L sorbel -d "$root" "$new/disk.img" 6G || die "mke2fs could not make the disk"
  rm -rf --one-file-system "$root"

  say "emulated machine: first boot, making its Wine prefix"
  local payload="$new/payload"
  mkdir -p "$payload/scripts"
  cp "$SORBEL_ROOT/scripts/lib.sh" "$SORBEL_ROOT/scripts/setup.sh" "$payload/scripts/"
  cat >"$payload/job.sh" <<'EOF'
set -e
source scripts/lib.sh
sorbel_host_runs_32bit || { echo "the emulated machine runs no 32-bit code"; exit 1; }
WINEPREFIX=/root/wineprefix bash scripts/setup.sh prefix
EOF
  boot "$new" "$payload" 900 persist ||
    { cat "$payload/job.log" >&2 2>/dev/null || true; die "the first boot could not make the Wine prefix"; }
  rm -rf "$payload"

  printf '%s\n' "$MARKER" >"$new/marker"
  rm -rf "$GUEST_DIR"
  mv "$new" "$GUEST_DIR"
  say "emulated machine: ready in $((SECONDS - t0)) s ($GUEST_DIR, $(du -sh "$GUEST_DIR" | cut -f1) on disk)"
}

case "${1:-}" in
  prepare) prepare ;;
  run)
    [ -n "${2:-}" ] && [ -f "$2/job.sh" ] || die "usage: guest.sh run <folder with job.sh>"
    guest_ready || die "the emulated machine is not built (scripts/setup.sh guest)"
    payload="$(cd "$2" && pwd)"
    status=0
    boot "$GUEST_DIR" "$payload" "${SORBEL_GUEST_TIMEOUT:-1500}" || status=$?
    cat "$payload/job.log" 2>/dev/null || true
    exit "$status"
    ;;
  *) die "usage: guest.sh prepare | guest.sh run <folder>" ;;
esac
