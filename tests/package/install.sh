#!/usr/bin/env bash
# What `cmake --install` puts on the machine, installed into a temporary
# DESTDIR with the prefix /usr:
#   install.sh <build-folder>
# Exactly the client's files and nothing of the tests, tools, demo service or
# benchmark; a menu entry and AppStream metainfo that their validators accept
# and that point at each other, at the installed program and at its icon; the
# icon drawn at the size of each hicolor folder it sits in.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1
# shellcheck source=launch.bash
source "$here/launch.bash"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

dest="$work/dest"
DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$work/install.log")"

# Files and symbolic links; folders do not count.
(cd "$dest/usr" && find . ! -type d | sed 's#^\./##' | sort) >"$work/got"
sort "$here/installed-files.txt" >"$work/want"
diff -u "$work/want" "$work/got" || fail "the installed files differ from installed-files.txt"
[ -x "$dest/usr/bin/kelvo-rozevid" ] || fail "the program is not executable"
# Qt Network and Multimedia are loaded with their modules, never at start.
objdump -p "$dest/usr/bin/kelvo-rozevid" | grep -E 'NEEDED +libQt6(Network|Multimedia)' &&
  fail "the program links what its modules should load"

id=org.kelvorozevid.KelvoRozevid
desktop="$dest/usr/share/applications/$id.desktop"
metainfo="$dest/usr/share/metainfo/$id.metainfo.xml"

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the menu entry"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
# The whole tree: the metainfo's launchable names an installed menu entry.
appstreamcli validate-tree --no-net "$dest" || fail "appstreamcli rejects the installed tree"

# The entry starts the installed program by its name alone, so that PATH
# finds it, and it starts it in the home folder: no Path= key.
mapfile -t command < <(desktop_command "$desktop")
if [ "${#command[@]}" -ne 1 ] || [ "${command[0]}" != kelvo-rozevid ]; then
  fail "Exec runs '${command[*]}', not the installed kelvo-rozevid"
fi
[ -z "$(desktop_key "$desktop" Path)" ] || fail "the entry sets a start folder (Path=)"
[ "$(desktop_key "$desktop" Terminal)" = false ] || fail "the entry asks for a terminal"
IFS=';' read -ra categories <<<"$(desktop_key "$desktop" Categories)"
for category in Office Finance; do
  printf '%s\n' "${categories[@]}" | grep -qxF "$category" || fail "the entry is not filed under $category"
done

# The entry's icon name is the one installed in every size folder, and the
# metainfo names the entry and the program.
icon=$(desktop_key "$desktop" Icon)
for folder in "$dest"/usr/share/icons/hicolor/*/apps; do
  [ -f "$folder/$icon.png" ] || fail "no $icon.png in ${folder#"$dest"}"
done
python3 - "$metainfo" "$id" <<'PY' || fail "the metainfo does not match the menu entry and the program"
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
app_id = sys.argv[2]
checks = {
    "component type": (root.get("type"), "desktop-application"),
    "id": (root.findtext("id"), app_id),
    "launchable": (root.findtext("launchable[@type='desktop-id']"), app_id + ".desktop"),
    "binary": (root.findtext("provides/binary"), "kelvo-rozevid"),
}
bad = [f"{name}: {got!r}, expected {want!r}" for name, (got, want) in checks.items() if got != want]
for tag in ("metadata_license", "project_license", "content_rating", "description"):
    if root.find(tag) is None:
        bad.append(f"no <{tag}>")
print("\n".join(bad), file=sys.stderr)
sys.exit(1 if bad else 0)
PY

# Each icon is a PNG of its folder's size (a 16-pixel icon in the 256 folder
# would be shown blurred).
python3 - "$dest/usr/share/icons/hicolor" <<'PY' || fail "an icon is not a PNG of its folder's size"
import pathlib, struct, sys
bad = []
for png in sorted(pathlib.Path(sys.argv[1]).glob("*/apps/*.png")):
    data = png.read_bytes()
    want = png.parent.parent.name
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        bad.append(f"{png}: not a PNG")
        continue
    width, height = struct.unpack(">II", data[16:24])
    if f"{width}x{height}" != want:
        bad.append(f"{png}: {width}x{height}")
print("\n".join(bad), file=sys.stderr)
sys.exit(1 if bad else 0)
PY

echo "install: $(wc -l <"$work/got") files, entry and metainfo valid"
