#!/usr/bin/env bash
# Every C++ file of the tree as .clang-format lays it out; names the files that are not.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' \
  'tools/*.h' 'tools/*.cpp' 'bench/*.h' 'bench/*.cpp' 'fuzz/*.h' 'fuzz/*.cpp')
if ! out=$(clang-format --dry-run -Werror "${files[@]}" 2>&1); then
  echo "check-format: not formatted (run clang-format -i on them):" >&2
  printf '%s\n' "$out" | grep -oE '^[^:]+\.(h|cpp)' | sort -u | sed 's/^/  /' >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
