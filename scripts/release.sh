#!/usr/bin/env bash
# Makes the release: the 32-bit program (and the 64-bit one) built in Release mode, stripped,
# each with its debug information in a separate file named by the program's debug link, then
#   dist/qorfwdiag-<version>-win32.zip   the shipped program and readme.txt, for customers
#   dist/symbols/                        the 32-bit program's debug file, for crash dumps
#   dist/SHA256SUMS                      the sums of both
# The stripped programs stay in build/release-<arch>/release/, where the tests find them.
# The same commit gives the same bytes in any folder at any time: the PE time stamp is the
# commit's date (or SOURCE_DATE_EPOCH when set), build paths are mapped away, and the archive's
# entries have fixed times, order and attributes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export TZ=UTC LC_ALL=C
umask 022
# ccache's base folder would turn source paths relative, so the debug information (and the
# debug link's CRC in the program) would differ from a build without ccache.
unset CCACHE_BASEDIR

size_limit=$((1536 * 1024))  # the shipped program: 1.5 MB at most
version=$(sed -n 's/^#define QOR_FILE_VERSION_TEXT "\(.*\)"$/\1/p' src/frontend/version.h)
[ -n "$version" ] || { echo "release: no QOR_FILE_VERSION_TEXT in version.h" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) \
    || { echo "release: not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH  # read by the linker and objcopy for the PE time stamp
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "NOTE: the worktree has uncommitted changes: this release matches no commit." >&2
fi

declare -A triple=([win32]=i686-w64-mingw32 [win64]=x86_64-w64-mingw32)
for arch in win32 win64; do
  rm -rf "build/release-$arch"  # from scratch: no object of another build's settings
  cmake --preset "release-$arch" >/dev/null
  cmake --build --preset "release-$arch"
  out="build/release-$arch/release"
  debug="qorfwdiag-$version-$arch.debug"
  rm -rf "$out"
  mkdir -p "$out"
  "${triple[$arch]}-objcopy" --only-keep-debug "build/release-$arch/src/qorfwdiag.exe" "$out/$debug"
  # The debug link holds the debug file's name and CRC; objcopy reads it from the folder.
  (cd "$out" && "${triple[$arch]}-objcopy" --strip-all --add-gnu-debuglink="$debug" \
     ../src/qorfwdiag.exe qorfwdiag.exe)
  size=$(stat -c %s "$out/qorfwdiag.exe")
  echo "qorfwdiag.exe ($arch, $version): $size bytes"
done

size=$(stat -c %s build/release-win32/release/qorfwdiag.exe)
if [ "$size" -gt "$size_limit" ]; then
  echo "release: the shipped program is $size bytes, above the limit of $size_limit" >&2
  exit 1
fi

rm -rf dist
mkdir -p dist/symbols
archive="qorfwdiag-$version-win32.zip"
/usr/bin/python3 scripts/release_archive.py "dist/$archive" "$SOURCE_DATE_EPOCH" \
  qorfwdiag.exe=build/release-win32/release/qorfwdiag.exe \
  readme.txt=<(sed -e "s/@VERSION@/$version/" -e 's/\r$//' -e 's/$/\r/' scripts/release-readme.txt)
cp "build/release-win32/release/qorfwdiag-$version-win32.debug" dist/symbols/
(cd dist && sha256sum "$archive" "symbols/qorfwdiag-$version-win32.debug" > SHA256SUMS)
echo "dist/:"
(cd dist && cat SHA256SUMS)
