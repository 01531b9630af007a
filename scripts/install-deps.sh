#!/usr/bin/env bash
# Installs every Debian package Korvo needs to build, run and test.
# Idempotent: refreshes the package lists only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6dbus6 libqt6network6
  qt6-qpa-plugins libgl-dev
  libical-dev
  bootstrap-icons fonts-inter fonts-noto-color-emoji fonts-dejavu-core
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm-14
  xvfb xauth dbus dbus-x11 xclip xdotool libx11-dev libxext-dev libxcb-xfixes0-dev
  x11-xserver-utils openbox
  libwayland-dev libwayland-bin wayland-protocols librust-wayland-protocols-dev qt6-wayland
  sway grim wl-clipboard
  at-spi2-core gir1.2-atspi-2.0 python3-gi
  libnotify-bin mpv mpv-mpris
  scdoc lintian appstream desktop-file-utils dpkg-dev man-db libglib2.0-bin zsh fish
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
