#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need.
# Skips the package manager when everything is already there.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev libxext-dev libxtst-dev
  libagg-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  libgtest-dev googletest clang libclang-rt-14-dev
  xvfb openbox trayer xclip xdotool x11-utils x11-xserver-utils
  fonts-dejavu-core python3 locales dbus-daemon
  dpkg-dev file lintian desktop-file-utils appstream
  libwayland-dev libwayland-bin
  sway xwayland foot wl-clipboard wtype waybar dbus-bin libglib2.0-bin pipewire
  xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk grim
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
