#!/usr/bin/env bash
# Builds and starts Korvo. With no display it runs the demo tour headless.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build_dir=${KORVO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "${KORVO_JOBS:-2}" --target korvo
exec "$build_dir/src/app/korvo" "$@"
