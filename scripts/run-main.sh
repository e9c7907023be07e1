#!/usr/bin/env bash
# Builds qorfwdiag.exe and runs it under Wine in a prefix that the testbed makes look like a
# computer with the suite installed (build/main-prefix). Until the package run exists it
# shows the banner and the main menu, then quits.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target qorfwdiag qorlogx

export WINEPREFIX="$PWD/build/main-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
testbed/make_prefix.sh "$WINEPREFIX" full "$PWD/build/win64/testbed"
status=0
printf 'q' | wine build/win64/src/qorfwdiag.exe || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
