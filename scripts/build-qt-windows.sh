#!/usr/bin/env bash
# Builds the static Qt for 64-bit Windows that scripts/build-windows.sh uses
# when no ready one is at hand: qtbase 6.4.2 from Debian 12's own qt6-base
# source package, cross-compiled with Debian's mingw-w64, with Core, Gui,
# Widgets, Network (TLS through Schannel) and Test. Takes about 45 minutes on
# two cores.
#   scripts/build-qt-windows.sh <prefix>
# Then <prefix>/bin/qt-cmake configures projects for Windows, and the prefix
# may be packed and unpacked anywhere (its toolchain finds it relative to
# itself). apt needs a deb-src entry to fetch the source: where it has none,
# one is added for the archive that its deb entries already name.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -eq 1 ] || { echo "usage: $0 <prefix>" >&2; exit 2; }
prefix=$(realpath -m "$1")
files=$root/packaging/windows

"$root/scripts/install-deps.sh" --windows
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
  for list in /etc/apt/sources.list.d/*.sources; do
    [ -e "$list" ] && sed 's/^Types: deb$/Types: deb-src/' "$list"
  done | $sudo tee /etc/apt/sources.list.d/kelvo-rozevid-deb-src.sources >/dev/null
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo tee /etc/apt/sources.list.d/kelvo-rozevid-deb-src.list >/dev/null
  fi
  $sudo apt-get update -qq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get source -qq qt6-base
source=$(echo "$work"/qt6-base-6.4.2*/)
[ -d "$source" ] || { echo "build-qt-windows.sh: apt gave no qt6-base 6.4.2 source" >&2; exit 1; }
# With direct2d off, the Windows plugin still asks for the DirectWrite font
# database and does not link; the patch makes it use the GDI one.
patch -p1 -d "$source" <"$files/qtbase-no-direct2d-fontdb.patch"
mkdir build
cd build
"$source/configure" -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr \
  -static -release -optimize-size -nomake examples -nomake tests \
  -no-opengl -no-dbus -no-icu -no-vulkan -no-zstd -no-openssl -schannel \
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-harfbuzz -qt-freetype -qt-doubleconversion \
  -no-feature-sql -no-feature-printsupport -no-feature-concurrent -no-feature-xml \
  -no-feature-tabletevent -no-feature-direct2d \
  -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$files/mingw64-toolchain.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
cmake --build . --parallel "$(nproc)"
cmake --install .
# The toolchain goes with the prefix, and Qt's own toolchain file loads it
# from there, wherever the prefix is put.
cp "$files/mingw64-toolchain.cmake" "$prefix/lib/cmake/"
sed -i 's|^set(__qt_initially_configured_toolchain_file .*|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../mingw64-toolchain.cmake")|' \
  "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
echo "Qt for Windows installed in $prefix"
