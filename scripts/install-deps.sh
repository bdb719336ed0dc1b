#!/usr/bin/env bash
# Installs the Debian packages that are needed, by what they are needed for:
#   scripts/install-deps.sh          building and running the program and the
#                                    demo service, and making the .deb
#   scripts/install-deps.sh --tests  that, and what the tests, the fuzzers and
#                                    the benchmarks need besides
#   scripts/install-deps.sh --windows  cross-building for Windows, the
#                                    installer, and building Qt for it
# Idempotent: packages already present are left alone, and apt is not
# touched at all when nothing is missing.
set -euo pipefail

# The program, the demo service and the package.
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6opengl6-dev
  qt6-qpa-plugins qt6-gtk-platformtheme qt6-wayland
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libcpp-httplib-dev libssl-dev libfontconfig-dev libxcb-xfixes0-dev
  fonts-comic-neue fonts-dejavu-core fonts-liberation
  dpkg-dev file
  qtkeychain-qt6-dev libsecret-1-0
  libcurl4-openssl-dev
)

# The tests: displays, buses, desktop parts and the tools that drive them;
# the sanitizers and fuzzers; the package checks.
test_packages=(
  xvfb xauth xdotool x11-utils imagemagick
  dbus dbus-daemon dbus-bin at-spi2-core python3-pyatspi python3-dbus python3-gi gir1.2-atspi-2.0
  weston trayer openbox lxqt-panel lxqt-session xfce4-session xfwm4 xfce4-panel xfconf
  libfaketime faketime gnome-keyring libsecret-tools systemd
  clang clang-format libclang-rt-14-dev llvm
  python3 curl openssl ca-certificates fontconfig desktop-file-utils libglib2.0-bin appstream lintian debootstrap ccache
  wine wine64
)

# The Windows build (scripts/build-windows.sh, scripts/build-qt-windows.sh):
# the cross compiler, Qt's host tools, NSIS, and what fetching and unpacking
# Qt takes.
windows_packages=(
  cmake ninja-build qt6-base-dev qt6-base-dev-tools
  g++-mingw-w64-x86-64-posix mingw-w64-tools nsis zstd dpkg-dev patch
)

case ${1:-} in
--tests) packages+=("${test_packages[@]}") ;;
--windows) packages=("${windows_packages[@]}") ;;
"") ;;
*) echo "usage: $0 [--tests|--windows]" >&2; exit 2 ;;
esac

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
