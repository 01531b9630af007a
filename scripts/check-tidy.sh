#!/usr/bin/env bash
# clang-tidy over the product's sources with the checks in .clang-tidy (faults, not style), using
# a configured build folder's compile commands. Any finding fails.
#   scripts/check-tidy.sh BUILD_DIR [JOBS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/check-tidy.sh BUILD_DIR [JOBS]}
jobs=${2:-2}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-tidy: no $build/compile_commands.json; configure the build first" >&2
  exit 2
fi
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'tools/*.cpp')
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Several files a run, so each process starts once per batch rather than once per file.
if printf '%s\n' "${files[@]}" |
  xargs -P "$jobs" -n 6 clang-tidy -p "$build" --quiet >"$log" 2>&1; then
  echo "check-tidy: ${#files[@]} files, no findings"
  exit 0
fi
echo "check-tidy: findings:" >&2
grep -E '(warning|error):' "$log" | grep -v 'warnings generated' | sort -u >&2 || cat "$log" >&2
exit 1
