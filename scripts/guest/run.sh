#!/usr/bin/env bash
# run.sh IMAGE_DIR COMMAND [ARG...]
# Boots the test guest headless (its own kernel, root image as a snapshot: nothing written
# there survives), shares the checkout into it by 9p at the same absolute path, runs COMMAND
# there with bash as root, shows its output as it comes and exits with its status; 124 when
# QOR_GUEST_TIMEOUT (seconds, default 2400) ran out, 125 when the guest reported nothing.
# QOR_GUEST_CPUS (default: host CPUs, at most 4), QOR_GUEST_MEM (MiB, default 4096),
# QOR_GUEST_ACCEL (auto|kvm|tcg), QOR_GUEST_ENV ("VAR=value" lines set in the guest).
set -uo pipefail
[ $# -ge 2 ] || { sed -n '2,8p' "$0" >&2; exit 2; }
image=$1
shift
[ -f "$image/vmlinuz" ] && [ -f "$image/rootfs.img" ] || { echo "guest: no image in '$image'" >&2; exit 2; }
checkout=$(cd "$(dirname "$0")/../.." && pwd)

accel=${QOR_GUEST_ACCEL:-auto}
if [ "$accel" = auto ]; then
  # Only these providers boot a stock kernel; others behind /dev/kvm do not.
  accel=tcg
  if [ -w /dev/kvm ] && { [ -d /sys/module/kvm_intel ] || [ -d /sys/module/kvm_amd ]; }; then
    accel=kvm
  fi
fi
if [ "$accel" = kvm ]; then
  accel_opts=(-accel kvm -cpu host)
else
  # With SMAP on, QEMU 7.2's TCG takes a user-mode iret for a supervisor access and every
  # Wine process dies.
  accel_opts=(-accel tcg,thread=multi,tb-size=512 -cpu max,smap=off)
fi
cpus=${QOR_GUEST_CPUS:-$(nproc)}
((cpus > 4)) && cpus=4

ctl=$(mktemp -d /tmp/qor-guest.XXXXXX)
qemu_pid=
tail_pid=
cleanup() {
  [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null
  [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null
  rm -rf "$ctl"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "$checkout" > "$ctl/workdir"
{
  echo 'export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="'
  [ -z "${QOR_GUEST_ENV:-}" ] || sed 's/^/export /' <<<"$QOR_GUEST_ENV"
} > "$ctl/env"
printf '%q ' "$@" > "$ctl/cmd.sh"
echo >> "$ctl/cmd.sh"
: > "$ctl/out"
tail -n +1 -f "$ctl/out" &
tail_pid=$!

started=$(date +%s.%N)
qemu-system-x86_64 "${accel_opts[@]}" -smp "$cpus" -m "${QOR_GUEST_MEM:-4096}" \
  -nodefaults -display none -monitor none -no-reboot -serial "file:$ctl/console" \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/qor-guest-init panic=-1 quiet loglevel=4 mitigations=off nomodeset no_timer_check" \
  -drive "file=$image/rootfs.img,if=virtio,format=raw,snapshot=on,cache=unsafe" \
  -virtfs "local,path=$ctl,mount_tag=ctl,security_model=none,id=ctl" \
  -virtfs "local,path=$checkout,mount_tag=work,security_model=passthrough,id=work" \
  -nic user,model=virtio-net-pci,restrict=on \
  -device virtio-rng-pci </dev/null >"$ctl/qemu.out" 2>&1 &
qemu_pid=$!

timeout=${QOR_GUEST_TIMEOUT:-2400}
timed_out=0
for ((waited = 0; ; waited++)); do
  kill -0 "$qemu_pid" 2>/dev/null || break
  if ((waited >= timeout)); then timed_out=1; kill "$qemu_pid"; break; fi
  sleep 1
done
wait "$qemu_pid" 2>/dev/null
qemu_pid=
sleep 0.5
kill "$tail_pid" 2>/dev/null
wait "$tail_pid" 2>/dev/null
tail_pid=

boot=?
[ -f "$ctl/t_start" ] && boot=$(awk -v a="$started" -v b="$(cat "$ctl/t_start")" 'BEGIN{printf "%.0f", b-a}')
echo "guest: accel=$accel cpus=$cpus boot ${boot} s, in all $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN{printf "%.0f", b-a}') s" >&2
if grep -aqE 'BUG:|Oops|Kernel panic|Out of memory' "$ctl/console"; then
  echo "guest: its kernel complained:" >&2
  grep -aE 'BUG:|Oops|Kernel panic|Out of memory|Comm:' "$ctl/console" | head -n 20 >&2
fi
if ((timed_out)); then
  echo "guest: timed out after ${timeout} s; console tail:" >&2
  tail -n 40 "$ctl/console" >&2
  exit 124
fi
if [ ! -s "$ctl/rc" ]; then
  echo "guest: no exit status reported; qemu said:" >&2
  cat "$ctl/qemu.out" >&2
  tail -n 60 "$ctl/console" >&2
  exit 125
fi
exit "$(cat "$ctl/rc")"
