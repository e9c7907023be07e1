#!/usr/bin/env bash
# Runs inside the test guest (scripts/test-guest.sh boots it): `ctest --preset win32` and the
# e2e tier on the shipped 32-bit build in a 32-bit prefix, the chosen cases of
# tests/e2e/guest_cases.py with the WOW64 run, or all of them with QOR_GUEST_E2E=full;
# QOR_GUEST_ONLY=ctest or =e2e runs one of the two.
# Programs crash when started from the 9p share, so the build trees are copied to the guest's
# own disk and mounted over their own paths: the tests find programs and fixtures where the
# host built them. Wine prefixes go to that disk too (a snapshot, gone at power-off).
set -uo pipefail
cd "$(dirname "$0")/../.."
scratch=/var/qor
took() { echo "$(($(date +%s) - $1)) s"; }

started=$(date +%s)
mkdir -p "$scratch/tmp"
# The 64-bit build lends its testbed to the WOW64 run's 64-bit prefix; the program under test
# is the released one.
for tree in win32 win64/testbed release-win32/release; do
  [ -d "build/$tree" ] || continue
  mkdir -p "$scratch/$tree"
  tar -C "build/$tree" --exclude=./wineprefix --exclude=./Testing --exclude=CMakeFiles \
    --exclude='*.obj' --exclude='*.a' -cf - . | tar -C "$scratch/$tree" -xf -
  mount --bind "$scratch/$tree" "build/$tree"
done
echo "guest: $(wine --version), build trees copied in $(took "$started")"
# A network card with a default route, as the tests expect of a computer (no way out of it).
modprobe virtio_net
card=$(ls /sys/class/net | grep -vx lo | head -n 1)
[ -n "$card" ] && ip link set "$card" up && ip addr add 10.0.2.15/24 dev "$card" \
  && ip route add default via 10.0.2.2 || echo "guest: no network card" >&2
# Emulation is 5 to 20 times slower than the host: the e2e hang guards stretch to match.
export TMPDIR=$scratch/tmp PYTHONDONTWRITEBYTECODE=1 QOR_E2E_GUARD_SCALE=${QOR_E2E_GUARD_SCALE:-5}

# Bounds of a few hundred milliseconds on process starts do not hold under emulation; these
# tests check no width-dependent code and run in the host's win64 tier. QOR_GUEST_TIMED=1
# runs them here too.
timed=CaptureCommandOutput.TakesBothOutputsInOrder:CaptureCommandOutput.GivesUpOnAHungChildKeepingItsOutput
timed+=:CaptureCommandOutput.SideBySideEachEndsWithItsOwnChild:LaunchAndWaitHeld.*:LaunchAndWait.*
timed+=:LaunchDetached.*
[ "${QOR_GUEST_TIMED:-}" = 1 ] || export GTEST_FILTER="-$timed"

status=0
if [ "${QOR_GUEST_ONLY:-}" != e2e ]; then
  started=$(date +%s)
  ctest --preset win32 || status=1
  echo "guest: ctest --preset win32 took $(took "$started")"
fi

if [ "${QOR_GUEST_ONLY:-}" != ctest ]; then
  started=$(date +%s)
  cases=guest
  [ "${QOR_GUEST_E2E:-}" = full ] && cases=all
  # One line per case as it ends: the tier is long under emulation.
  QOR_E2E_BUILDS=win32 QOR_E2E_CASES=$cases \
    python3 -m pytest -p no:cacheprovider -v -rfEs tests/e2e || status=1
  echo "guest: e2e tier ($cases cases, win32 build and WOW64) took $(took "$started")"
fi
exit "$status"
