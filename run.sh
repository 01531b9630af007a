#!/usr/bin/env bash
# Builds and starts Korvo: on a Wayland desktop with layer-shell the island is a layer surface,
# elsewhere an X11 panel (XWayland on GNOME); `--platform wayland|x11` chooses. With no display it
# renders the demo tour headless and writes a PNG of each presentation into ./demo-shots/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build_dir=${KORVO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "${KORVO_JOBS:-2}" --target korvo
korvo="$build_dir/src/app/korvo"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: writing the demo tour to ./demo-shots/"
  exec "$korvo" --snapshots demo-shots "$@"
fi
exec "$korvo" "$@"
