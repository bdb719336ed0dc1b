#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Idempotent: packages already present are left alone, and apt is not
# touched at all when nothing is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6opengl6-dev
  qt6-qpa-plugins qt6-gtk-platformtheme
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libcpp-httplib-dev libssl-dev libfontconfig-dev
  fonts-comic-neue fonts-dejavu-core fonts-liberation
  xvfb xauth xdotool x11-utils imagemagick
  dbus dbus-daemon dbus-bin at-spi2-core python3-pyatspi python3-dbus python3-gi gir1.2-atspi-2.0
  weston qt6-wayland trayer openbox libfaketime
  clang clang-format libclang-rt-14-dev llvm
  python3 curl faketime
  dpkg-dev fontconfig desktop-file-utils appstream debootstrap
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
