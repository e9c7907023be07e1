#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine (as root, or through sudo).
set -euo pipefail

packages=(
  cmake ninja-build g++ zlib1g-dev googletest
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
  wine wine64 python3 python3-pytest unzip p7zip-full zip
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
