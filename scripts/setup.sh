#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine (as root, or through sudo):
# both MinGW-w64 toolchains, 64-bit and 32-bit Wine, clang for the fuzz targets, and the
# headless browser that opens the package's report page; qemu and mmdebstrap for the
# emulated guest that runs the 32-bit tiers where the kernel runs no 32-bit code.
set -euo pipefail

packages=(
  cmake ninja-build g++ zlib1g-dev googletest
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
  wine wine64 wine32:i386 python3 python3-pytest unzip p7zip-full zip
  clang libclang-rt-14-dev
  chromium chromium-driver python3-selenium
  gdb
  qemu-system-x86 mmdebstrap e2fsprogs  # the 32-bit test guest (scripts/test-guest.sh)
)
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# 32-bit Wine comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
