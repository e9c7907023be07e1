#!/usr/bin/env bash
# Builds the release of the current commit twice, in two fresh clones in two folders, one after
# the other, without ccache (every object compiled anew), the second with another time zone,
# locale and umask; then compares the SHA-256 of the programs, their debug files, the archive
# and its sums. A difference fails, with the first differing offset and the part of the file
# (PE section or header field, archive entry) that holds it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
commit=$(git rev-parse HEAD)
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER SOURCE_DATE_EPOCH
work=$(mktemp -d "${TMPDIR:-/tmp}/qor-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
first="$work/a" second="$work/second-build"

build() {  # folder, then the environment to build with
  local dir=$1
  shift
  git clone -q --shared --no-checkout "$root" "$dir"
  git -C "$dir" checkout -q --detach "$commit"
  if ! (cd "$dir" && env "$@" scripts/release.sh >"$dir.log" 2>&1); then
    tail -n 40 "$dir.log" >&2
    echo "check-reproducible: the release failed in $dir" >&2
    exit 1
  fi
}

start=$SECONDS
build "$first" TZ=UTC LC_ALL=C
(umask 077 && build "$second" TZ=Pacific/Kiritimati LC_ALL=C.UTF-8)

status=0
files=$(cd "$first" && find build/release-win32/release build/release-win64/release dist \
          -type f | sort)
for file in $files; do
  one=$(sha256sum "$first/$file" | cut -d' ' -f1)
  if [ ! -f "$second/$file" ]; then
    echo "DIFFERS: $file is missing from the second build"
    status=1
  elif [ "$one" = "$(sha256sum "$second/$file" | cut -d' ' -f1)" ]; then
    echo "same: $one  $file"
  else
    echo "DIFFERS: $file: $(/usr/bin/python3 scripts/first_difference.py "$first/$file" "$second/$file")"
    status=1
  fi
done
echo "check-reproducible: commit $commit, two builds in $((SECONDS - start)) s"
exit "$status"
