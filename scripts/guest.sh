#!/bin/bash
# The emulated x86 machine in which the release check starts the 32-bit
# release where this host runs no 32-bit code.  It is an x86-64 Debian 12
# with Wine's 64-bit and 32-bit halves, booted by QEMU, whose own kernel runs
# 32-bit code: under KVM where KVM can run it, under software emulation
# (TCG) everywhere else.
#
#   guest.sh prepare        builds the machine unless its marker says it is
#                           ready: a Debian root (debootstrap), its disk
#                           made by mke2fs without a mount, and a first
#                           boot that makes the Wine prefix on it
#                           (scripts/setup.sh prefix)
#   guest.sh run <folder>   boots it with <folder> shared as /payload, runs
#                           /payload/job.sh there as root with LANG=C.UTF-8,
#                           and ends with the job's exit status after
#                           printing its output (<folder>/job.log; the
#                           machine's console is in <folder>/console.log).
#                           The disk is left as it was.
#
#   guest.sh accel          says which accelerator the machine runs with,
#                           and why
#
#   SORBEL_GUEST_DIR   where the machine is kept (default
#                      /var/cache/sorbel-companions/guest): built once per
#                      machine and reused by every clone, like a package
#   SORBEL_GUEST_TIMEOUT  seconds a run may take (default 3600)
#   SORBEL_GUEST_MIRROR   the Debian mirror the machine's packages come from
#                      (default: the one this host's package sources name,
#                      else debootstrap's own default)
#   SORBEL_GUEST_ACCEL    kvm or tcg: no choosing (default: chosen, below)
set -euo pipefail
SORBEL_SCRIPT="guest"
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

GUEST_DIR="${SORBEL_GUEST_DIR:-/var/cache/sorbel-companions/guest}"
SUITE=bookworm
# The Debian mirror the guest's packages come from: the one asked for, else
# the host's own (so they come from where the host's do), else none, and
# debootstrap takes its own default.
MIRROR="${SORBEL_GUEST_MIRROR:-}"
[ -n "$MIRROR" ] || MIRROR="$(sed -n 's/^URIs: *\([^ ]*\/debian\)\/* *$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)"
[ -n "$MIRROR" ] || MIRROR="$(sed -n 's/^deb  *\(\[[^]]*\] *\)\{0,1\}\([^ ]*\/debian\)\/* .*/\2/p' /etc/apt/sources.list 2>/dev/null | head -n 1)"
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
mirror ${MIRROR:-default}
packages ${ROOT_PACKAGES[*]} ${WINE_PACKAGES[*]}
init $(printf '%s' "$INIT" | sha256sum | cut -d' ' -f1)
prefix $prefix_marker"

guest_ready() {
  [ -f "$GUEST_DIR/marker" ] && [ "$(cat "$GUEST_DIR/marker")" = "$MARKER" ] &&
    [ -f "$GUEST_DIR/disk.img" ] && [ -f "$GUEST_DIR/vmlinuz" ] && [ -f "$GUEST_DIR/initrd.img" ]
}

# The processor QEMU offers the guest, under either accelerator.
CPU=max,pku=off,smap=off

# choose_accel <kernel>: sets ACCEL (kvm or tcg) and ACCEL_WHY.  An open
# /dev/kvm is not enough: a paravirtual-only KVM (kvm_pvm, on a processor
# without vmx or svm) opens and starts, and then the guest's kernel runs no
# further than its first instructions, where QEMU would fall back to TCG
# only if KVM could not start at all.  So KVM is taken where the processor
# has hardware virtualization and its module is loaded, or where a short
# boot of the machine's kernel under KVM gets as far as its own panic
# (there is no root to mount); that answer is kept for this boot of the
# host and this QEMU.
choose_accel() {
  local kernel="$1"
  case "${SORBEL_GUEST_ACCEL:-}" in
    kvm | tcg) ACCEL="$SORBEL_GUEST_ACCEL" ACCEL_WHY="as SORBEL_GUEST_ACCEL asks"; return 0 ;;
    "") ;;
    *) die "SORBEL_GUEST_ACCEL is kvm or tcg, not '$SORBEL_GUEST_ACCEL'" ;;
  esac
  ACCEL=tcg
  if [ ! -r /dev/kvm ] || [ ! -w /dev/kvm ]; then
    ACCEL_WHY="this host has no /dev/kvm it may use"
    return 0
  fi
  if grep -qwE 'vmx|svm' /proc/cpuinfo && { [ -d /sys/module/kvm_intel ] || [ -d /sys/module/kvm_amd ]; }; then
    ACCEL=kvm ACCEL_WHY="the processor has hardware virtualization and KVM's module for it is loaded"
    return 0
  fi
  local cache="$GUEST_DIR.accel" key line
  key="$(cat /proc/sys/kernel/random/boot_id) $(qemu-system-x86_64 --version | head -n 1)"
  if [ -f "$cache" ] && [ "$(head -n 1 "$cache")" = "$key" ]; then
    line="$(sed -n 2p "$cache")"
    ACCEL="${line%% *}" ACCEL_WHY="${line#* }"
    return 0
  fi
  local probe status=0
  probe="$(mktemp -d)"
  # In a subshell whose own errors go nowhere: QEMU aborting is an answer
  # here, and bash would report it.
  (timeout --kill-after=5 20 qemu-system-x86_64 -accel kvm -m 512 -cpu "$CPU" \
    -kernel "$kernel" -append "console=ttyS0 panic=-1" \
    -display none -monitor none -serial "file:$probe/console.log" -no-reboot \
    </dev/null >"$probe/qemu.log" 2>&1) 2>/dev/null || status=$?
  if grep -q 'Kernel panic' "$probe/console.log" 2>/dev/null; then
    ACCEL=kvm ACCEL_WHY="a short boot under KVM ran the kernel (no vmx or svm on the processor, or no kvm_intel or kvm_amd)"
  else
    local said
    said="$(grep -v '^$' "$probe/qemu.log" | head -n 1 | cut -c1-160)"
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
      said="the kernel printed nothing in 20 s"
    else
      said="QEMU stopped with status $status${said:+: $said}"
    fi
    ACCEL_WHY="KVM cannot run the machine here: no vmx or svm on the processor (a paravirtual-only KVM?), and a short boot under KVM failed ($said)"
  fi
  rm -rf "$probe"
  mkdir -p "$(dirname "$cache")"
  printf '%s\n%s %s\n' "$key" "$ACCEL" "$ACCEL_WHY" >"$cache"
}

# accel_options: QEMU's options for the chosen accelerator.
accel_options() {
  if [ "$ACCEL" = kvm ]; then
    echo "-accel kvm -accel tcg,thread=multi"
  else
    echo "-accel tcg,thread=multi"
  fi
}

# boot <machine folder> <payload folder> <seconds> [persist]: one boot; the
# disk keeps what the job wrote only with "persist".
boot() {
  local dir="$1" payload="$2" seconds="$3" persist="${4:-}" snapshot=on status=0
  [ -n "$persist" ] && snapshot=off
  rm -f "$payload/status" "$payload/job.log" "$payload/console.log"
  choose_accel "$dir/vmlinuz"
  say "emulated machine: running under $ACCEL: $ACCEL_WHY"
  # shellcheck disable=SC2046
  timeout --kill-after=10 "$seconds" qemu-system-x86_64 \
    $(accel_options) -smp "$(nproc)" -m 4096 -cpu "$CPU" \
    -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 init=/sorbel-init panic=1 quiet loglevel=3 mitigations=off" \
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

  local from="debootstrap's default mirror"
  [ -z "$MIRROR" ] || from="$MIRROR"
  say "emulated machine: a Debian $SUITE root from $from (debootstrap)"
  # shellcheck disable=SC2086
  debootstrap --variant=minbase "$SUITE" "$root" $MIRROR >"$new/debootstrap.log" 2>&1 || {
    tail -n 20 "$new/debootstrap.log" >&2
    [ -n "$MIRROR" ] || die "debootstrap failed with its default mirror; set SORBEL_GUEST_MIRROR to a Debian mirror this host reaches (e.g. the one in /etc/apt/sources.list.d)"
    die "debootstrap failed with the mirror $MIRROR; set SORBEL_GUEST_MIRROR to another one"
  }

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
  # Under software emulation on a busy host, making the prefix has taken
  # over a quarter of an hour.
  boot "$new" "$payload" 2400 persist ||
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
    boot "$GUEST_DIR" "$payload" "${SORBEL_GUEST_TIMEOUT:-3600}" || status=$?
    cat "$payload/job.log" 2>/dev/null || true
    exit "$status"
    ;;
  accel)
    guest_ready || die "the emulated machine is not built (scripts/setup.sh guest)"
    choose_accel "$GUEST_DIR/vmlinuz"
    echo "$ACCEL: $ACCEL_WHY"
    ;;
  *) die "usage: guest.sh prepare | guest.sh run <folder> | guest.sh accel" ;;
esac
