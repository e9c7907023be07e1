#!/usr/bin/env bash
# Makes (once) the test guest's disk image from Debian packages alone, and prints the folder
# that holds it: vmlinuz, initrd.img and rootfs.img (ext4, no partition table). Kept under
# QOR_GUEST_CACHE (default /var/cache/qorfwdiag-guest) in a folder named by a hash of the
# package list and the guest's scripts, so it is made afresh when they change. As root.
set -euo pipefail
# Only the folder goes to standard output (kept as 3); the tools' chatter goes to standard error.
exec 3>&1 1>&2
here=$(cd "$(dirname "$0")" && pwd)
cache=${QOR_GUEST_CACHE:-/var/cache/qorfwdiag-guest}
mirror=${QOR_GUEST_MIRROR:-http://deb.debian.org/debian}
security=${QOR_GUEST_SECURITY_MIRROR:-http://deb.debian.org/debian-security}

log() { printf '[guest image %s] %s\n' "$(date +%T)" "$*" >&2; }

key=$(cat "$here/packages.txt" "$here/image.sh" "$here/init" | sha256sum | cut -c1-16)
dir=$cache/$key
if [ -f "$dir/ready" ]; then
  echo "$dir" >&3
  exit 0
fi
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
[ -f "$dir/ready" ] && { echo "$dir" >&3; exit 0; }

started=$(date +%s)
packages=$(grep -v '^#' "$here/packages.txt" | xargs | tr ' ' ,)
work=$cache/building-$key
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
log "mmdebstrap bookworm amd64+i386: $packages"
mmdebstrap --mode=root --variant=minbase --architectures=amd64,i386 \
  --aptopt='APT::Install-Recommends "false"' \
  --dpkgopt='path-exclude=/usr/share/man/*' \
  --dpkgopt='path-exclude=/usr/share/doc/*' \
  --dpkgopt='path-include=/usr/share/doc/*/copyright' \
  --dpkgopt='path-exclude=/usr/share/locale/*' \
  --essential-hook='mkdir -p "$1/etc/initramfs-tools"; printf "%s\n" virtio_pci virtio_blk ext4 9p 9pnet_virtio > "$1/etc/initramfs-tools/modules"' \
  --customize-hook="install -m 755 '$here/init' \"\$1/sbin/qor-guest-init\"" \
  --customize-hook='echo qor-guest > "$1/etc/hostname"; printf "127.0.0.1 localhost qor-guest\n" > "$1/etc/hosts"' \
  --customize-hook='rm -f "$1"/var/cache/apt/archives/*.deb "$1"/var/lib/apt/lists/*_Packages' \
  --include="$packages" \
  bookworm "$work/root" \
  "deb $mirror bookworm main" \
  "deb $mirror bookworm-updates main" \
  "deb $security bookworm-security main"

cp "$(ls -1 "$work"/root/boot/vmlinuz-* | sort -V | tail -1)" "$work/vmlinuz"
cp "$(ls -1 "$work"/root/boot/initrd.img-* | sort -V | tail -1)" "$work/initrd.img"
# Room for the Wine prefixes of the tests (a fresh one is about 1.3 GB); the file is sparse
# and the guest opens it as a snapshot.
used_mb=$(du -sm --apparent-size "$work/root" | cut -f1)
size_mb=$((used_mb + 12288))
log "mke2fs -d: $used_mb MiB of files in a $size_mb MiB image"
mke2fs -q -t ext4 -L qor-guest -E root_owner=0:0 -O ^has_journal -i 65536 \
  -d "$work/root" "$work/rootfs.img" "${size_mb}M"
rm -rf "$work/root"
touch "$work/ready"
# Images of older package lists go.
find "$cache" -mindepth 1 -maxdepth 1 -type d ! -name "building-$key" -exec rm -rf {} +
mv "$work" "$dir"
trap - EXIT
log "made in $(($(date +%s) - started)) s: $dir"
echo "$dir" >&3
