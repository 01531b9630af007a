#!/usr/bin/env bash
# Gives every fuzz target a short run from its seed corpus; fails on the first crash, leak,
# sanitizer report or time-out.
#   fuzz/run.sh [build-dir] [seconds-per-target]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-sanitize}
seconds=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for seeds in "$here"/corpus/*/; do
  name=$(basename "$seeds")
  target="$build/fuzz/$name"
  if [ ! -x "$target" ]; then
    echo "fuzz: $name is not built in $build" >&2
    status=1
    continue
  fi
  mkdir -p "$work/$name"
  # The seeds stay as they are; what the run finds goes to a scratch corpus.
  if "$target" "$work/$name" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/$name-" \
       >"$work/$name.log" 2>&1; then
    echo "fuzz: $name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" \
      | grep -o '[0-9]*$') runs, no fault"
  else
    echo "fuzz: $name FAILED" >&2
    tail -n 60 "$work/$name.log" >&2
    for a in "$work/$name"-*; do
      [ -e "$a" ] && { echo "input: $a" >&2; od -c "$a" | head -20 >&2; }
    done
    status=1
  fi
done
exit $status
