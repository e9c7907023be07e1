#!/usr/bin/env bash
# Builds the shipped 32-bit qorfwdiag.exe (the release's stripped program, scripts/release.sh)
# and makes a diagnostics package with it under 32-bit Wine, on a 32-bit Windows prefix that
# the testbed makes look like a computer with the suite installed (build/main-prefix), then
# lists what the package holds and shows the firewall driver's report in it. The package is
# build/qorfwdiag-package.zip. On a machine that runs no 32-bit code, the 64-bit program does
# the same in a 64-bit prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/machine_bits.sh
build=win32
if [ -n "${QOR_NO_32BIT:-}" ]; then
  build=win64
  echo "NOTE: the package is made with the 64-bit build here; the shipped 32-bit build is" \
       "tested in an emulated guest by the test command (scripts/test-all.sh)." >&2
fi

cmake --preset "$build" >/dev/null
cmake --build --preset "$build"  # the testbed
scripts/release.sh  # the program as shipped

export WINEPREFIX="$PWD/build/main-prefix" WINEARCH="$build" WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix of the other kind, or one made before 32-bit Wine was installed, is made afresh.
if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$build" "$WINEPREFIX/system.reg"; then
  rm -rf "$WINEPREFIX"
fi
testbed/make_prefix.sh "$WINEPREFIX" full "$PWD/build/$build/testbed"
package="$PWD/build/qorfwdiag-package.zip"
rm -f "$package"
status=0
program="build/release-$build/release/qorfwdiag.exe"
wine "$program" -run "$(winepath -w "$package")" </dev/null || status=$?
wineserver -k 2>/dev/null || true
[ "$status" -eq 0 ] || exit "$status"
unzip -l "$package"
echo "tdidump.txt, the firewall driver's report:"
unzip -p "$package" tdidump.txt | iconv -f UTF-16 -t UTF-8
