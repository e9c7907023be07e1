# Sourced by the scripts: on a machine whose kernel runs no 32-bit code (its ia32 emulation
# is off), Wine's 32-bit loader cannot start. The 32-bit tiers are then skipped, loudly, and
# `wine` is the 64-bit loader. QOR_NO_32BIT=1 says so to the test tiers.
if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export QOR_NO_32BIT=1
  export PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only:$PATH"
  echo "NOTE: this machine runs no 32-bit code (kernel ia32 emulation off): the 32-bit build" \
       "is not run here; the test command runs its tiers in an emulated guest." >&2
fi
