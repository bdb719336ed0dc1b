#!/usr/bin/env bash
# The real program on a screen that scales by two, run under Xvfb:
#   e2e.sh <client> <demo-service> <port> <artifacts-folder>
# Starts the demo service and the client, logs in with xdotool as a user
# would, and checks that the window is exactly twice its size and that the
# export files are written. (atspi.py drives the program at scale 1 through
# the accessibility bus: first start, login, grid, files, Manual Update.)
set -euo pipefail

client=$1
demo=$2
port=$3
artifacts=$4
source "$(dirname "$0")/common.bash"
export HOME="$work/home" # the default export folder is the home folder
mkdir -p "$HOME"
cd "$work/run"
start_demo --period 6

# On a screen that scales by two, a second client's window is exactly twice
# as large, and works the same.
size_of() { xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: //p'; }
size1=598x185 # the window's fixed size at scale 1
home2="$work/home2"
mkdir -p "$home2" "$work/run2"
printf 'Path=%s/\r\nTimezone=GMT+0\r\n' "$home2" >"$work/run2/Config.dat"
start_client "$work/run2" client2.log HOME="$home2" QT_SCALE_FACTOR=2
win2=$(timeout 20 xdotool search --sync --all --onlyvisible --pid "$client_pid" --name "Kelvo-Rozevid - Connecting" | head -1) ||
  fail "the window at scale 2 did not open"
size2=$(size_of "$win2")
[ "$size2" = "$((2 * ${size1%x*}))x$((2 * ${size1#*x}))" ] ||
  fail "at scale 2 the window is $size2, not twice $size1"
log_in "$win2" 2 "$artifacts/login-panel-2x.png"
wait_for 30 test -s "$home2/Kelvo-Daily.csv" -a -s "$home2/Kelvo-Hourly.csv" ||
  fail "no export files after the login at scale 2"
sleep 0.5
import -window "$win2" "$artifacts/main-panel-2x.png"

echo "e2e: scale 2 checked"
