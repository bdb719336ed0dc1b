#!/usr/bin/env bash
# Installs the Debian package on a fresh, minimal Debian 12 and starts it
# there:
#   scripts/check-fresh-install.sh [build-folder [package.deb]]
#
# 1. debootstrap --variant=minbase bookworm into <build-folder>/fresh-install,
#    from the mirror this machine's apt uses;
# 2. apt-get install of the package in it, without recommended packages, so
#    that the package's Depends alone must bring everything it needs;
# 3. the installed program started as a user, in the user's home folder, the
#    way the menu entry says, on an X server of this machine: it must write
#    Config.dat into that folder and map its window.
# Prints how long each step took. Without a package it makes one with cpack
# from the build folder (default: build). Needs root; exits 77 without.
# Downloads are kept in <build-folder>/fresh-install/cache for the next run;
# the Debian tree itself is made anew each time and removed afterwards
# (KEEP_ROOT=1 keeps it).
set -euo pipefail
root_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$root_dir/build}")
deb=${2:-}
# shellcheck source=../tests/package/launch.bash
source "$root_dir/tests/package/launch.bash"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
if [ "$(id -u)" -ne 0 ]; then
  echo "check-fresh-install: needs root (debootstrap, chroot); skipped" >&2
  exit 77
fi
for tool in debootstrap Xvfb xdotool xprop unshare; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh --tests installs it)"
done

# The Debian mirror this machine's apt uses for bookworm, from its sources
# in either format.
find_mirror() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; uris = ""; suites = ""; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^Types:/) types = $i
          else if ($i ~ /^URIs:/) uris = $i
          else if ($i ~ /^Suites:/) suites = $i
          else if ($i ~ /^Enabled:/) enabled = $i
        }
        if (types ~ /[ \t]deb([ \t]|$)/ && suites ~ /[ \t]bookworm([ \t]|$)/ && enabled !~ /no/) {
          split(uris, word, /[ \t]+/)
          print word[2]
          exit
        }
      }' "$file"
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    sed -E 's/\[[^]]*\]//' "$file" | awk '$1 == "deb" && $3 == "bookworm" { print $2 }'
  done
}
mirror=$(find_mirror | sed -n 1p)
[ -n "$mirror" ] || fail "this machine's apt sources name no mirror for bookworm"

base="$build/fresh-install"
root="$base/root"
mkdir -p "$base/cache/debootstrap" "$base/cache/apt"
rm -f "$base/display" "$base/client.log" "$base/screen.png"

if [ -z "$deb" ]; then
  rm -rf "$base/package"
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$base/package" >"$base/cpack.log" 2>&1 ||
    fail "cpack failed, see $base/cpack.log"
  deb=$(ls "$base"/package/kelvo-rozevid_*.deb)
fi
[ -f "$deb" ] || fail "no package $deb"

xvfb_pid=""
pid=""
# The Debian tree is removed only when nothing of this machine is mounted in
# it: everything below is mounted in a mount namespace of its own, which is
# gone with its last process.
remove_root() {
  if grep -qF " $root/" /proc/self/mountinfo; then
    echo "check-fresh-install: something is still mounted under $root; left in place" >&2
  else
    rm -rf "$root"
  fi
}
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  [ "${KEEP_ROOT:-0}" = 1 ] || remove_root
}
trap cleanup EXIT

# in_root <chroot options and command...>: becomes the command, run in the
# Debian tree with /proc, the kept apt downloads and this machine's X
# sockets. It replaces the shell that calls it: call it in a subshell.
in_root() {
  exec unshare --mount --propagation private /bin/sh -c '
    root=$1 cache=$2
    shift 2
    mount -t proc proc "$root/proc" &&
      mount --bind "$cache" "$root/var/cache/apt/archives" &&
      mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix" &&
      exec chroot "$@"' sh "$root" "$base/cache/apt" "$@"
}

start=$SECONDS
remove_root
[ ! -e "$root" ] || fail "$root is in the way"
echo "== debootstrap --variant=minbase bookworm (log: $base/debootstrap.log)"
debootstrap --variant=minbase --cache-dir="$base/cache/debootstrap" bookworm "$root" "$mirror" \
  >"$base/debootstrap.log" 2>&1 || fail "debootstrap failed, see $base/debootstrap.log"
bootstrap_time=$((SECONDS - start))

step=$SECONDS
echo "== apt-get install $(basename "$deb") (log: $base/apt.log)"
cp "$deb" "$root/tmp/"
mkdir -p "$root/tmp/.X11-unix"
(in_root "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
  /bin/sh -c 'apt-get update && apt-get install -y --no-install-recommends "/tmp/$1"' sh "$(basename "$deb")") \
  >"$base/apt.log" 2>&1 || fail "apt-get install failed, see $base/apt.log"
chroot "$root" dpkg-query -W -f='${Status}\n' kelvo-rozevid | grep -qx 'install ok installed' ||
  fail "the package is not installed"
install_time=$((SECONDS - step))

step=$SECONDS
echo "== starting the installed program as a user, as its menu entry does"
chroot "$root" useradd --create-home --shell /bin/bash trader
home="$root/home/trader"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$base/display" >"$base/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -s "$base/display" ] && break
  sleep 0.2
done
[ -s "$base/display" ] || fail "Xvfb did not start, see $base/xvfb.log"
DISPLAY=":$(cat "$base/display")"
export DISPLAY

entry="$root/usr/share/applications/org.kelvorozevid.KelvoRozevid.desktop"
[ -f "$entry" ] || fail "the package installed no menu entry"
mapfile -t command < <(desktop_command "$entry")
(in_root --userspec=trader:trader "$root" /usr/bin/env -i HOME=/home/trader USER=trader LOGNAME=trader \
  PATH=/usr/local/bin:/usr/bin:/bin:/usr/games LANG=C.UTF-8 DISPLAY="$DISPLAY" \
  /bin/sh -c 'cd "$HOME" && exec "$@"' sh "${command[@]}") >"$base/client.log" 2>&1 &
pid=$!
check_first_start "$pid" "$home" "$(desktop_key "$entry" StartupWMClass)" "$base/client.log"
import -window root "$base/screen.png" 2>/dev/null || true
start_time=$((SECONDS - step))

echo "fresh install: debootstrap ${bootstrap_time} s, apt-get install ${install_time} s," \
  "start ${start_time} s, total $((SECONDS - start)) s; window mapped (screenshot: $base/screen.png)"
