#!/usr/bin/env bash
# Builds qorfwdiag.exe and makes a diagnostics package under Wine, on a prefix that the
# testbed makes look like a computer with the suite installed (build/main-prefix), then lists
# what the package holds and shows the firewall driver's report in it. The package is
# build/qorfwdiag-package.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target qorfwdiag qorlogx qortdi

export WINEPREFIX="$PWD/build/main-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
testbed/make_prefix.sh "$WINEPREFIX" full "$PWD/build/win64/testbed"
package="$PWD/build/qorfwdiag-package.zip"
rm -f "$package"
status=0
wine build/win64/src/qorfwdiag.exe -run "$(winepath -w "$package")" </dev/null || status=$?
wineserver -k 2>/dev/null || true
[ "$status" -eq 0 ] || exit "$status"
unzip -l "$package"
echo "tdidump.txt, the firewall driver's report:"
unzip -p "$package" tdidump.txt | iconv -f UTF-16 -t UTF-8
