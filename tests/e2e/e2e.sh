#!/usr/bin/env bash
# The real program, end to end, run under Xvfb:
#   e2e.sh <client> <demo-service> <port> <artifacts-folder>
# Starts the demo service and the client in a fresh folder, logs in with
# xdotool as a user would, and checks from outside what the client wrote:
# Config.dat, both export files with the service's current signals, and the
# files rewritten after the signals change and "Manual Update" is clicked.
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
start_client "$work/run" client.log

# First start in an empty folder: the missing-settings message comes first.
box=$(timeout 20 xdotool search --sync --name "Error while reading the configuration file" | head -1) ||
  fail "no message about the missing settings file"
xdotool windowfocus --sync "$box" key Return
printf 'Path=%s/\r\nTimezone=GMT+0\r\n' "$HOME" >expected-config
cmp -s Config.dat expected-config || fail "Config.dat does not hold the default settings"

win=$(timeout 20 xdotool search --sync --name "Kelvo-Rozevid - Connecting you to profitable trading" | head -1) ||
  fail "the main window did not open"
log_in "$win" 1 "$artifacts/login-panel.png"

daily="$HOME/Kelvo-Daily.csv"
hourly="$HOME/Kelvo-Hourly.csv"
wait_for 30 test -s "$daily" -a -s "$hourly" || fail "no export files after the login"

# The files must hold what the service serves now: its rows and its time.
# When the service moves on between the client's fetch and this check, a
# manual update brings the client level again.
check_files() {
  python3 - "$port" "$daily" "$hourly" <<'PY'
import sys, urllib.request, urllib.parse
port, daily, hourly = sys.argv[1], sys.argv[2], sys.argv[3]
def ask(query):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/software/ProgSignals.php?{query}", timeout=10) as r:
        return r.read().decode()
password = "demo123"
encoded = password[-1] + "$" + password[2] + password[1] + password[0]
time = ask("a=1")
fields = ask("u=demo&p=" + urllib.parse.quote(encoded, safe="") + "&s=3").split(",")
want_daily = (",".join(fields[8:12]) + "," + time + "\r\n").encode()
want_hourly = (",".join(fields[0:4]) + "," + time + "\r\n").encode()
got_daily = open(daily, "rb").read()
got_hourly = open(hourly, "rb").read()
if got_daily != want_daily or got_hourly != want_hourly:
    print(f"files {got_daily!r} {got_hourly!r}, service {want_daily!r} {want_hourly!r}", file=sys.stderr)
    sys.exit(1)
PY
}

click_manual_update() {
  xdotool mousemove --window "$win" 436 168 click 1
}

level_with_service() {
  local tries=0
  until check_files; do
    tries=$((tries + 1))
    [ $tries -lt 5 ] || return 1
    click_manual_update
    sleep 1
  done
}

level_with_service || fail "the export files do not hold the service's signals"
first=$(cat "$daily" "$hourly")
import -window "$win" "$artifacts/main-panel.png"

# Let the service's data move on, then ask for an update by hand.
first_time=$(python3 -c "import urllib.request;print(urllib.request.urlopen('http://127.0.0.1:$port/software/ProgSignals.php?a=1').read().decode())")
service_moved() {
  local now
  now=$(python3 -c "import urllib.request;print(urllib.request.urlopen('http://127.0.0.1:$port/software/ProgSignals.php?a=1').read().decode())")
  [ "$now" != "$first_time" ]
}
wait_for 20 service_moved || fail "the demo service's data did not move on"
click_manual_update
files_changed() { [ "$(cat "$daily" "$hourly")" != "$first" ]; }
wait_for 20 files_changed || fail "Manual Update did not rewrite the export files"
level_with_service || fail "the rewritten files do not hold the service's new signals"
import -window "$win" "$artifacts/main-panel-updated.png"

kill -0 "$client_pid" 2>/dev/null || fail "the client is gone"

# On a screen that scales by two, a second client's window is exactly twice
# as large, and works the same.
size_of() { xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: //p'; }
size1=$(size_of "$win")
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

echo "e2e: login, export, manual update and scale 2 all checked"
