#!/usr/bin/env bash
# The relink zip, used as its README says, links a program with the very
# sections of the one the build made.
#   relink.sh <relink-zip> <qt-prefix> <built-program>
set -euo pipefail
zip=$1 qt=$2 built=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cmake -E tar xf "$zip"
QT=$qt sh ./*/relink.sh
sections() { x86_64-w64-mingw32-objdump -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2, $3 }'; }
diff <(sections ./*/kelvo-rozevid.exe) <(sections "$built") ||
  { echo "FAIL: the relinked program differs from the built one"; exit 1; }
echo "relink: the program links again from the zip"
