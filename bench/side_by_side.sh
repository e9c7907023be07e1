#!/usr/bin/env bash
# Times the whole -run of the built program five times with the program steps one after the
# other and five times side by side, on one testbed prefix, and prints medians and ratio.
# Arch: win32 (the shipped build) by default, win64 on a machine that runs no 32-bit code.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/machine_bits.sh
arch="${1:-win32}"
[ -z "${QOR_NO_32BIT:-}" ] || arch=win64
exe="build/$arch/src/qorfwdiag.exe"
exec /usr/bin/python3 bench/run_bench.py --arch "$arch" \
  --label-env one-after-the-other:QORFWDIAG_STEPS_AT_ONCE=1 \
  one-after-the-other="$exe" side-by-side="$exe"
