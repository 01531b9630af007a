#!/usr/bin/env bash
# Builds Korvo and runs every test. Exits non-zero on any failure.
#   ./test.sh          the quick run: one build (the system compiler), every test
#   ./test.sh --full   what CI runs: the format check, then the whole suite built with clang under
#                      AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize, clang-tidy
#                      over the product's sources, every test, and a short run of every fuzz target
#                      (KORVO_FUZZ_SECONDS each, 5 by default). It replaces the quick build rather
#                      than adding to it, so CI stays well inside its quarter of an hour on 2 cores.
set -euo pipefail
cd "$(dirname "$0")"
full=0
for arg in "$@"; do
  case $arg in
    --full) full=1 ;;
    *) echo "usage: ./test.sh [--full]" >&2; exit 2 ;;
  esac
done
./scripts/install-deps.sh
jobs=${KORVO_JOBS:-2}

if [ "$full" = 0 ]; then
  build_dir=${KORVO_BUILD_DIR:-build}
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVO_CMAKE_ARGS:-} >/dev/null
  cmake --build "$build_dir" -j "$jobs"
  (cd "$build_dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
  exit 0
fi

./scripts/check-format.sh
sanitize_dir=build-sanitize
# Line tables are all a sanitizer report needs, and -O1 keeps the checks fast to build and run.
CC=clang CXX=clang++ cmake -S . -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG" \
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG" \
  -DKORVO_ASAN=ON -DKORVO_UBSAN=ON -DKORVO_FUZZ=ON -DKORVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$sanitize_dir" -j "$jobs"
./scripts/check-tidy.sh "$sanitize_dir" "$jobs"
# Any sanitizer report ends the process with an error, so ctest fails on it.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
(cd "$sanitize_dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
./fuzz/run.sh "$sanitize_dir" "${KORVO_FUZZ_SECONDS:-5}"
