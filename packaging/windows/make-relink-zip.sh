#!/usr/bin/env bash
# Makes the relink zip: what a user needs to link kelvo-rozevid.exe again
# with a Qt of their own, as the LGPL asks of a program linked statically
# with Qt. It holds the program's own objects and static libraries (the
# core library, QtKeychain, libcurl), the link command the build used with
# Qt's folder made a variable, a note on how to run it, and the licences of
# what it holds besides the program's own.
#   make-relink-zip.sh <build-folder> <qt-prefix> <zip> <notice> [licence...]
set -euo pipefail
build=$1 qt=$2 zip=$3 notice=$4
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=$(basename "$zip" .zip)
mkdir -p "$work/$name/objects"

# The link step is the last command ninja runs for the program.
line=$(ninja -C "$build" -t commands kelvo-rozevid.exe | tail -1)
line=${line#: && }
line=${line% && :}
command=()
read -r -a tokens <<<"$line"
command+=("${tokens[0]}") # the compiler driver, Debian's mingw-w64
for token in "${tokens[@]:1}"; do
  case $token in
  "$qt"/*) command+=("\"\$QT${token#"$qt"}\"") ;;
  -Wl,--out-implib,*) ;; # no import library: nothing links against the program
  *.obj | *.o | *.a | *.res)
    if [ -f "$build/$token" ] || [[ $token == /* && -f $token ]]; then
      file=$token
      [ -f "$build/$token" ] && file=$build/$token
      copy=objects/$(basename "$token")
      [ ! -e "$work/$name/$copy" ] || copy=objects/$(basename "$(dirname "$token")")-$(basename "$token")
      cp "$file" "$work/$name/$copy"
      command+=("$copy")
    else
      command+=("$token")
    fi
    ;;
  *) command+=("$token") ;;
  esac
done

cat >"$work/$name/relink.sh" <<SCRIPT
#!/bin/sh
# Links kelvo-rozevid.exe again from the objects beside this script, against
# the static Qt 6.4 for mingw-w64 (x86_64, posix threads) in the folder \$QT:
#   QT=/path/to/qt6-mingw sh relink.sh
set -e
[ -n "\${QT:-}" ] || { echo "relink.sh: set QT to a static Qt 6.4 for mingw-w64" >&2; exit 2; }
cd "\$(dirname "\$0")"
${command[*]}
echo "relink.sh: kelvo-rozevid.exe linked"
SCRIPT
sed 's/$/\r/' "$notice" >"$work/$name/README.txt"
for licence in "$@"; do cp "$licence" "$work/$name/"; done
rm -f "$zip"
(cd "$work" && cmake -E tar cf "$zip" --format=zip "$name")
