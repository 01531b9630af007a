#!/usr/bin/env bash
# Builds Korvo and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build_dir=${KORVO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVO_CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir" -j "${KORVO_JOBS:-2}"
cd "$build_dir"
ctest --output-on-failure -j "${KORVO_JOBS:-2}" --timeout 300
