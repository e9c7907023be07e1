#!/usr/bin/env bash
# Builds the presets and runs every test tier: host unit tests (sanitized), the run's
# threads under ThreadSanitizer (tsan), win tests under Wine, the e2e tests of the real
# program under Wine, and every fuzz target for a bounded time (QOR_FUZZ_SECONDS each).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/machine_bits.sh

for preset in host tsan win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# The released programs (the e2e tier runs them) and a check that they build bit for bit the same.
scripts/release.sh
scripts/check-reproducible.sh

ctest --preset host
ctest --preset tsan
scripts/fuzz.sh "${QOR_FUZZ_SECONDS:-20}"
ctest --preset win64
if [ -z "${QOR_NO_32BIT:-}" ]; then ctest --preset win32; fi
/usr/bin/python3 -m pytest -p no:cacheprovider -q tests/e2e
# Where the kernel runs no 32-bit code, the shipped build's tiers run in an emulated guest.
if [ -n "${QOR_NO_32BIT:-}" ]; then scripts/test-guest.sh; fi
