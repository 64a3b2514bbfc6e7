#!/usr/bin/env bash
# Runs every fuzz target in <bin folder> for <seconds> each on its seed corpus; fails on a crash.
set -euo pipefail
bin=$1
secs=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$bin"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus_src="$root/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$corpus_src" ] && cp -r "$corpus_src"/. "$work"/
  # A corpus may also seed from folders of the repository listed in seeds-from.txt
  # (for instance the test scripts), so the same inputs are not kept twice.
  if [ -f "$corpus_src/seeds-from.txt" ]; then
    rm -f "$work/seeds-from.txt"
    while read -r extra; do
      [ -n "$extra" ] && [ -d "$root/$extra" ] && cp -r "$root/$extra"/. "$work"/
    done < "$corpus_src/seeds-from.txt"
  fi
  echo "== $name for ${secs}s"
  if ! "$target" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$work/" "$work" > "$work.log" 2>&1; then
    echo "FAIL: $name"; tail -n 40 "$work.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$work.log" | tail -n 2
  fi
  rm -rf "$work" "$work.log"
done
exit $status
