#!/usr/bin/env bash
# Cross-builds the client for 64-bit Windows with Debian's mingw-w64 and a
# static Qt:
#   scripts/build-windows.sh [extra CMake options]
# into build-windows/ (or the folder $KELVO_WINDOWS_BUILD names):
#   kelvo-rozevid.exe                    the program, needing only Windows' own DLLs
#   kelvo-rozevid-<version>-setup.exe    its installer
#   kelvo-rozevid-<version>-win64.zip    the program to unpack and run anywhere
# and, unless -DKELVO_BUILD_TESTS=OFF, the tests that ctest there runs under
# Wine. The service's address is built in, as on Linux:
#   scripts/build-windows.sh -DKELVO_SERVICE_URL=https://signals.example.com
#
# Qt is taken from $KELVO_QT_WINDOWS (an installed prefix or a .tar.zst of
# one), else from ../shared/qt-windows/qt6-mingw-6.4.2.tar.zst beside the
# source tree, unpacked once into build-windows/qt/. With neither,
# scripts/build-qt-windows.sh builds it from Debian's source into
# build-windows/qt/ first, which takes about 45 minutes.
# QtKeychain, which keeps the login in the Credential Manager, is built once
# for that Qt from its source in ../shared/qtkeychain/ (or the .tar.gz
# $KELVO_QTKEYCHAIN_SOURCE names) into the build folder's qtkeychain/, and
# libcurl, the HTTP client, likewise from ../shared/curl/ (or
# $KELVO_CURL_SOURCE) into its curl/: static, with Schannel for TLS, HTTP
# alone.
# Installs the Debian packages it needs. Incremental: the build folder and
# the unpacked Qt are kept, and ccache is used where it is installed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KELVO_WINDOWS_BUILD:-$root/build-windows}
cache=$root/build-windows/qt

"$root/scripts/install-deps.sh" --windows

qt=${KELVO_QT_WINDOWS:-}
tarball=$root/../shared/qt-windows/qt6-mingw-6.4.2.tar.zst
if [ -z "$qt" ] && [ -f "$tarball" ]; then qt=$tarball; fi
if [ -n "$qt" ] && [ -d "$qt" ]; then
  prefix=$(cd "$qt" && pwd)
elif [ -n "$qt" ]; then
  prefix=$cache/qt6-mingw
  stamp="$(realpath "$qt") $(stat -c '%s %Y' "$qt")"
  if [ "$(cat "$cache/unpacked-from" 2>/dev/null)" != "$stamp" ]; then
    echo "== unpacking $qt into $cache"
    rm -rf "$cache"
    mkdir -p "$cache"
    zstd -dc "$qt" | tar -C "$cache" -xf -
    echo "$stamp" >"$cache/unpacked-from"
  fi
else
  prefix=$cache/qt6-mingw
  if [ ! -x "$prefix/bin/qt-cmake" ]; then
    echo "== no Qt for Windows: building one from Debian's source (about 45 minutes)"
    "$root/scripts/build-qt-windows.sh" "$prefix"
  fi
fi
[ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ] || {
  echo "build-windows.sh: $prefix is no Qt for Windows (no lib/cmake/Qt6/qt.toolchain.cmake)" >&2
  exit 1
}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# build_once <name> <folder> <source .tar.gz> <file it installs> <CMake options...>:
# a static library for this Qt, built into the folder once.
build_once() {
  local name=$1 dir=$2 source=$3 installs=$4
  shift 4
  [ ! -f "$dir/install/$installs" ] || return 0
  echo "== building $name for Windows into $dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  tar -C "$dir" -xzf "$source"
  "$prefix/bin/qt-cmake" -S "$(echo "$dir"/*/)" -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=OFF "$@" -DCMAKE_INSTALL_PREFIX="$dir/install" >/dev/null
  cmake --build "$dir/build" -j"$(nproc)" && cmake --install "$dir/build" >/dev/null
}
keychain=$build/qtkeychain
build_once QtKeychain "$keychain" \
  "${KELVO_QTKEYCHAIN_SOURCE:-$root/../shared/qtkeychain/qtkeychain-0.13.2.tar.gz}" \
  lib/cmake/Qt6Keychain/Qt6KeychainConfig.cmake \
  -DBUILD_WITH_QT6=ON -DBUILD_TRANSLATIONS=OFF -DBUILD_TEST_APPLICATION=OFF "${launcher[@]}"
curl=$build/curl
build_once libcurl "$curl" "${KELVO_CURL_SOURCE:-$root/../shared/curl/curl-8.21.0.tar.gz}" \
  share/curl/COPYING \
  -DBUILD_STATIC_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DBUILD_LIBCURL_DOCS=OFF \
  -DBUILD_MISC_DOCS=OFF -DENABLE_CURL_MANUAL=OFF -DHTTP_ONLY=ON -DCURL_USE_SCHANNEL=ON \
  -DCURL_USE_LIBPSL=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_USE_LIBSSH2=OFF \
  -DCURL_USE_LIBSSH=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DUSE_NGHTTP2=OFF \
  "${launcher[@]/CXX/C}"
# Its licence travels with the program (the installer's notices, the relink
# zip); it is also what marks the build as done.
[ -f "$curl/install/share/curl/COPYING" ] ||
  install -D -m 644 "$curl"/curl-*/COPYING "$curl/install/share/curl/COPYING"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" "${launcher[@]}" \
  -DQt6Keychain_DIR="$keychain/install/lib/cmake/Qt6Keychain" \
  -DCURL_DIR="$curl/install/lib/cmake/CURL" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
ls -l "$build"/kelvo-rozevid.exe "$build"/kelvo-rozevid-*-setup.exe "$build"/kelvo-rozevid-*-win64.zip
