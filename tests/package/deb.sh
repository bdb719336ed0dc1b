#!/usr/bin/env bash
# The Debian package that `cpack -G DEB` makes of this build tree, checked
# from outside and then started as its menu entry would start it:
#   deb.sh <build-folder> <version> <qt-plugin-file>...
# Run under xvfb-run. The package must pass lintian with no error or warning
# and hold exactly the installed files (nothing of the tests, tools, demo or
# benchmark), with a menu entry and metainfo that their validators accept, and
# icons of their folders' sizes. Its Depends must name once each the package
# of every library the program links and of every piece it loads at run time
# (the given Qt plugins, the alarm sound's GStreamer elements, the fonts).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1
version=$2
shift 2
qt_plugins=("$@")
# shellcheck source=launch.bash
source "$here/launch.bash"

work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
deb="$work/out/kelvo-rozevid_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$work/out")"

# Exactly the files `cmake --install` puts under /usr, nothing of the build.
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's#^\./usr/##' | sort >"$work/got"
sed "s#<multiarch>#$(dpkg-architecture -qDEB_HOST_MULTIARCH)#" "$here/installed-files.txt" | sort >"$work/want"
diff -u "$work/want" "$work/got" || fail "the package's files differ from installed-files.txt"

lintian --fail-on error,warning "$deb" || fail "lintian finds errors or warnings in the package"
# The package names in Depends, alternatives and versions aside; none twice.
names=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n' | sed -E 's/\(.*\)//; s/^ +//; s/ +$//' | sort)
depends=$(uniq <<<"$names")
[ "$names" = "$depends" ] || fail "Depends names $(uniq -d <<<"$names" | tr '\n' ' ')more than once"
# Built for a service over https, it brings the certificates a minimal Debian lacks.
cmake -S "$here/../.." -B "$work/tls" -DKELVO_BUILD_TESTS=OFF -DKELVO_SERVICE_URL=https://x.org >/dev/null 2>&1 &&
  grep -q 'PACKAGE_DEPENDS ".*ca-certificates' "$work/tls/CPackConfig.cmake" || fail "https, no ca-certificates"

# owners <file>: the packages that ship the file, by this machine's dpkg.
# With /lib merged into /usr/lib, a package may list either spelling.
owners() {
  local file=$1 alias out
  case "$file" in
  /usr/lib/*) alias=${file#/usr} ;;
  /lib/*) alias=/usr$file ;;
  *) alias=$file ;;
  esac
  out=$(dpkg -S "$file" 2>/dev/null || dpkg -S "$alias" 2>/dev/null) || return 1
  sed -E 's/: \/.*$//' <<<"$out" | tr ',' '\n' | sed -E 's/^ +//; s/:[a-z0-9]+$//' | sort -u
}

# needs <what> <file>: the package that ships the file is in Depends.
needs() {
  local what=$1 file=$2 packages p
  packages=$(owners "$file") || fail "$what: $file belongs to no installed package"
  for p in $packages; do
    grep -qxF "$p" <<<"$depends" && return 0
  done
  fail "$what: $file is in $(tr '\n' ' ' <<<"$packages")but Depends names only: $(tr '\n' ' ' <<<"$depends")"
}

dpkg -x "$deb" "$work/root"
program="$work/root/usr/bin/kelvo-rozevid"
# Qt Network and Multimedia are loaded with their modules, never at start.
objdump -p "$program" | grep -E 'NEEDED +libQt6(Network|Multimedia)' &&
  fail "the program links what its modules should load"

id=org.kelvorozevid.KelvoRozevid
entry="$work/root/usr/share/applications/$id.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
# The whole tree: the metainfo is valid and its launchable names the entry.
appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli rejects the installed tree"
# The entry starts the installed program by its name alone, so that PATH
# finds it, in the home folder (no Path= key), filed under Office and Finance.
mapfile -t command < <(desktop_command "$entry")
[ "${command[*]}" = kelvo-rozevid ] || fail "Exec runs '${command[*]}', not the installed kelvo-rozevid"
[ -z "$(desktop_key "$entry" Path)" ] || fail "the entry sets a start folder (Path=)"
[[ ";$(desktop_key "$entry" Categories)" = *";Office;Finance;"* ]] || fail "the entry's categories"
# Its icon in every size folder, a PNG of that size: a 16-pixel icon in the
# 256 folder would be shown blurred.
for png in "$work"/root/usr/share/icons/hicolor/*/apps/"$(desktop_key "$entry" Icon)".png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  [ "$(head -c 16 "$png" | tail -c 4)" = IHDR ] &&
    [ "$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3*256+$4 "x" $7*256+$8 }')" = "$size" ] ||
    fail "${png#"$work/root"} is not a PNG of $size"
done

# The modules, where the program looks for them: the folder compiled in,
# relative to the program's own.
# (All of strings' output is read: grep -m1 would end the pipe early and,
# with pipefail, fail it.)
module_dir=$(strings -a "$program" | grep -E '^\.\./lib.*/kelvo-rozevid$' || true)
module_dir=${module_dir%%$'\n'*}
[ -n "$module_dir" ] || fail "the program names no folder of its modules"
modules=()
for name in kelvo-sound kelvo-network; do
  module="$(dirname "$program")/$module_dir/$name.so"
  [ -f "$module" ] || fail "the program looks for its module $name at $module, which is not in the package"
  modules+=("$module")
done

# The alarm sound, where the program looks for it when the start folder has
# none: likewise a folder compiled in, relative to the program's own.
sound_dir=$(strings -a "$program" | grep -E '^\.\./share/kelvo-rozevid$' || true)
[ -n "$sound_dir" ] || fail "the program names no folder of its alarm sound"
wav="$(dirname "$program")/${sound_dir%%$'\n'*}/Alarm.wav"
[ "$(head -c 4 "$wav" 2>/dev/null)" = RIFF ] ||
  fail "the program looks for its alarm sound at $wav, which is no WAV file in the package"

# Installed among the system's programs, they look for libraries only where
# the system keeps them.
linked=0
for elf in "$program" "${modules[@]}"; do
  objdump -p "$elf" | grep -qE '^ +(RPATH|RUNPATH) ' && fail "$elf carries its own library search path"
  # Every library it links directly, where the loader finds it.
  while read -r soname; do
    file=$(ldd "$elf" | awk -v name="$soname" '$1 == name && $2 == "=>" { print $3 }')
    [ -n "$file" ] || fail "the loader does not find $soname for $(basename "$elf")"
    needs "library $soname of $(basename "$elf")" "$file"
    linked=$((linked + 1))
  done < <(objdump -p "$elf" | awk '$1 == "NEEDED" { print $2 }')
done
[ "$linked" -gt 0 ] || fail "objdump lists no linked library"

# What Qt loads at run time.
for plugin in "${qt_plugins[@]}"; do
  needs "Qt plugin" "$plugin"
done

# The GStreamer elements the sound backend builds its pipeline from, by the
# plugin file that holds each.
for element in audioconvert:libgstaudioconvert.so audioresample:libgstaudioresample.so \
  volume:libgstvolume.so autoaudiosink:libgstautodetect.so pulsesink:libgstpulseaudio.so; do
  file=$(dpkg -S "*/gstreamer-1.0/${element#*:}" 2>/dev/null | sed -E 's/^[^:]*(:[a-z0-9]+)?: //' | head -1) ||
    true
  [ -n "$file" ] || fail "GStreamer element ${element%%:*}: ${element#*:} is not on this machine"
  needs "GStreamer element ${element%%:*}" "$file"
done

# The fonts the window asks for by name.
for family in "Liberation Sans" "Comic Neue"; do
  match=$(fc-match -f '%{family}\n%{file}\n' "$family")
  grep -qxF "$family" <<<"$(head -1 <<<"$match" | tr ',' '\n')" ||
    fail "font '$family' is not on this machine (fontconfig offers $(head -1 <<<"$match"))"
  needs "font $family" "$(tail -1 <<<"$match")"
done

# Start the extracted program as the menu entry says, in a fresh home
# folder as a desktop launcher does, with nothing of this shell's settings.
home="$work/home"
mkdir -p "$home"
(cd "$home" && exec env -i HOME="$home" PATH="$work/root/usr/bin:/usr/bin:/bin" LANG=C.UTF-8 \
  DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" "${command[@]}") >"$work/client.log" 2>&1 &
pid=$!
check_first_start "$pid" "$home" "$(desktop_key "$entry" StartupWMClass)" "$work/client.log"
[ "$(readlink "/proc/$pid/exe")" = "$program" ] || fail "the entry started $(readlink "/proc/$pid/exe")"

echo "deb: $(basename "$deb"), $linked linked libraries and the run-time pieces in Depends, window mapped"
