#!/usr/bin/env bash
# The shipped 32-bit build's tiers on a machine whose kernel runs no 32-bit code: boots an
# emulated Debian guest that does (scripts/guest/) and runs scripts/guest/tier32.sh there on
# the builds of this checkout. QOR_GUEST_E2E=full runs the whole 32-bit e2e tier (long);
# QOR_GUEST_TIMED=1 also the win tests bound by wall-clock time; QOR_GUEST_ONLY=ctest or
# =e2e runs one of the two tiers.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
image=$(scripts/guest/image.sh)
echo "guest: image ready in $(($(date +%s) - started)) s ($image)"
status=0
switches="QOR_GUEST_E2E=${QOR_GUEST_E2E:-}
QOR_GUEST_TIMED=${QOR_GUEST_TIMED:-}
QOR_GUEST_ONLY=${QOR_GUEST_ONLY:-}"
QOR_GUEST_ENV=$switches scripts/guest/run.sh "$image" scripts/guest/tier32.sh || status=$?
echo "guest: 32-bit tiers took $(($(date +%s) - started)) s in all, status $status"
exit "$status"
