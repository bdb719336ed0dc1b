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
mkdir -p "$artifacts"

work=$(mktemp -d)
export HOME="$work/home" # the default export folder is the home folder
mkdir -p "$HOME" "$work/run"
client2_pid=""
demo_pid=""
cleanup() {
  [ -n "$client2_pid" ] && kill "$client2_pid" 2>/dev/null || true
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  cp "$work"/run/*.log "$artifacts"/ 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  import -window root "$artifacts/failure.png" 2>/dev/null || true
  exit 1
}

wait_for() { # wait_for <seconds> <command...>
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
  fail "port $port is taken; configure with -DKELVO_E2E_PORT=<free port>"
fi

cd "$work/run"
"$demo" --port "$port" --period 6 >demo.log 2>&1 &
demo_pid=$!
wait_for 10 grep -q "listening on" demo.log || fail "demo service did not start"

# log_in <window> <scale> <screenshot>: logs in as a user would (user name,
# Tab, password, Tab, pick the system, click Login), with a screenshot of
# the filled-in login panel.
log_in() {
  local window=$1 scale=$2 shot=$3
  xdotool windowraise "$window" windowfocus --sync "$window"
  sleep 0.5
  xdotool type --delay 40 "demo"
  xdotool key Tab
  xdotool type --delay 40 "demo123"
  xdotool key Tab Down Down Down
  sleep 0.3
  import -window "$window" "$shot"
  xdotool mousemove --window "$window" $((476 * scale)) $((144 * scale)) click 1
}

# On a screen that scales by two, a second client's window is exactly twice
# as large, and works the same.
size_of() { xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: //p'; }
size1=598x185 # the window's fixed size at scale 1
home2="$work/home2"
mkdir -p "$home2" "$work/run2"
printf 'Path=%s/\r\nTimezone=GMT+0\r\n' "$home2" >"$work/run2/Config.dat"
(cd "$work/run2" && HOME="$home2" QT_SCALE_FACTOR=2 exec "$client") >"$work/run/client2.log" 2>&1 &
client2_pid=$!
win2=$(timeout 20 xdotool search --sync --all --onlyvisible --pid "$client2_pid" --name "Kelvo-Rozevid - Connecting" | head -1) ||
  fail "the window at scale 2 did not open"
size2=$(size_of "$win2")
[ "$size2" = "$((2 * ${size1%x*}))x$((2 * ${size1#*x}))" ] ||
  fail "at scale 2 the window is $size2, not twice $size1"
log_in "$win2" 2 "$artifacts/login-panel-2x.png"
wait_for 30 test -s "$home2/Kelvo-Daily.csv" -a -s "$home2/Kelvo-Hourly.csv" ||
  fail "no export files after the login at scale 2"
sleep 0.5
import -window "$win2" "$artifacts/main-panel-2x.png"
kill "$client2_pid"

echo "e2e: scale 2 checked"
