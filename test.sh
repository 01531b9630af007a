#!/usr/bin/env bash
# Builds Korvo and runs every test. Exits non-zero on any failure.
#   ./test.sh          the quick run: one build, every test
#   ./test.sh --full   also builds the whole suite with clang under AddressSanitizer and
#                      UndefinedBehaviorSanitizer in build-sanitize, runs it, and gives every
#                      fuzz target a short run (KORVO_FUZZ_SECONDS each, 10 by default)
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

build_dir=${KORVO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVO_CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir" -j "$jobs"
(cd "$build_dir" && ctest --output-on-failure -j "$jobs" --timeout 300)

if [ "$full" = 1 ]; then
  sanitize_dir=build-sanitize
  CC=clang CXX=clang++ cmake -S . -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVO_ASAN=ON -DKORVO_UBSAN=ON -DKORVO_FUZZ=ON -DKORVO_BUILD_BENCH=OFF >/dev/null
  cmake --build "$sanitize_dir" -j "$jobs"
  # Any sanitizer report ends the process with an error, so ctest fails on it.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  (cd "$sanitize_dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
  ./fuzz/run.sh "$sanitize_dir" "${KORVO_FUZZ_SECONDS:-10}"
fi
