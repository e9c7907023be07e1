#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the fuzz preset (clang, sanitizers) and runs every libFuzzer
# target for SECONDS each (default 60), from its seed corpus. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  corpus=$work/$name
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/" "$corpus" 2>"$work/$name.log" || {
    tail -n 60 "$work/$name.log"; echo "fuzz target $name found a fault"; exit 1; }
  grep -E '^stat::number_of_executed_units' "$work/$name.log" || true
done
