#!/usr/bin/env bash
# The real program under Xvfb against the demo service, with the desktop's parts started here
# (README, "What the tests prove", tells each run's steps):
#   tray.sh <sni|xembed|wm|wine|unattended|xfce|lxqt> <client> <demo-service> <port> <artifacts-folder>
# sni, xembed, wm: "Minimize" and the way back on lxqt-panel, on trayer and on openbox alone, and
#   second starts; wine: <client> is the Windows installer, the program installed, used and
#   uninstalled under Wine; unattended: "Auto Start" on openbox and trayer, the program started as
#   systemd's generator makes the entry's unit start it; xfce, lxqt: the same on an Xfce session
#   that is ended, saved and not, and started again, and on an LXQt session ended and started again.
set -euo pipefail
kind=$1 client=$2 demo=$3 port=$4 artifacts=$5/tray-$1
here=$(cd "$(dirname "$0")" && pwd)

# A scratch folder; at exit every process started through started() is
# stopped and the logs of $work/run are kept.
mkdir -p "$artifacts"
work=$(mktemp -d)
mkdir -p "$work/run"
started_pids=()
started() { started_pids+=("$1"); }
cleanup() {
  local pid
  for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ "$kind" != wine ] || wineserver -k 2>/dev/null || true
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
# The first shown window of that name. (A search with --sync dies on an X
# error when a window goes away while it looks, as Wine's often do.)
named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }

cd "$work/run"

# A session bus of the test's own, which starts nothing on demand.
cat >bus.conf <<EOF
<busconfig><type>session</type><listen>unix:path=$work/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/></policy>
</busconfig>
EOF
dbus-daemon --nofork --config-file=bus.conf >bus.log 2>&1 &
started $!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
wait_for 10 test -S "$work/bus" || fail "no session bus"

tray() { # ready once it owns the tray's selection: its window alone comes sooner, on a busy machine
  trayer --edge top --align right --widthtype request --height 24 >>trayer.log 2>&1 &
  tray_pid=$!
  started $tray_pid
  wait_for 20 /usr/bin/python3 -c 'import ctypes as c; x = c.CDLL("libX11.so.6"); x.XOpenDisplay.restype = c.c_void_p; d = c.c_void_p(x.XOpenDisplay(None)); exit(not x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0)))' || fail "trayer did not start"
}
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
case $kind in
wine) tray ;;
wm | unattended)
  openbox --sm-disable >openbox.log 2>&1 &
  started $!
  wait_for 10 wm_running || fail "openbox did not start"
  [ "$kind" = wm ] || tray
  ;;
xfce | lxqt) # a session in a home of its own; Xfce's saved at logout, its own programs only (three)
  export HOME="$work/home" xml=$work/home/.config/xfce4/xfconf/xfce-perchannel-xml
  mkdir -p "$xml" "$HOME/.config/lxqt" && printf '<channel name="xfce4-session" version="1.0">%s%s</channel>' \
    '<property name="general" type="empty"><property name="SaveOnExit" type="bool" value="true"/></property>' \
    '<property name="sessions" type="empty"><property name="Failsafe" type="empty"><property name="Count" type="int" value="3"/></property></property>' >"$xml/xfce4-session.xml"
  printf '[General]\nwindow_manager=openbox\n' >"$HOME/.config/lxqt/session.conf"
  desktop=(xfce4-session) && [ $kind = xfce ] || desktop=(env XDG_CURRENT_DESKTOP=LXQt lxqt-session)
  /usr/lib/*/xfce4/xfconf/xfconfd >>xfconfd.log 2>&1 & started $!
  session() { # in a process group of its own, with the programs it starts
    setsid "${desktop[@]}" >>session.log 2>&1 & session_pid=$!
    started $session_pid && wait_for 20 wm_running || fail "the desktop did not start"
  }
  session
  ;;
esac

if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
  fail "port $port is taken; configure with -DKELVO_E2E_PORT=<free port>"
fi
demo_up() {
  "$demo" --port "$port" --period 60 --manual >>"$work/run/demo.log" 2>&1 &
  demo_pid=$!
  started $demo_pid
  wait_for 10 grep -qs "listening on" "$work/run/demo.log" || fail "demo service did not start"
}
demo_up
title="Kelvo-Rozevid - Connecting you to profitable trading"
if [ "$kind" = wine ]; then
  wineserver -w # a server the tests before left
  wine "$client" /S || fail "the installer failed"
  installed="$WINEPREFIX/drive_c/Program Files/Kelvo-Rozevid"
  ls "$installed"/{kelvo-rozevid.exe,Alarm.wav,LICENSE.txt,curl-LICENSE.txt,Uninstall.exe} >/dev/null || fail "not installed"
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo-Rozevid'
  wine reg query "$uninstall_key" /v UninstallString >/dev/null || fail "no uninstaller registered"
  program=(wine "$installed/kelvo-rozevid.exe")
  # The first start, from the Start menu: in the profile folder, which keeps Config.dat and exports.
  cd "$WINEPREFIX/drive_c/users/$(id -un)"
  WINEDEBUG=trace+winmm wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Kelvo-Rozevid.lnk' \
    >"$work/run/client.log" 2>&1
  wait_for 30 eval 'box=$(named "Error while reading the config")' || fail "no message"
  xdotool windowfocus --sync "$box" key Return
  printf 'Path=C:\\users\\%s\\\r\nTimezone=GMT+0\r\n' "$(id -un)" | cmp - Config.dat || fail "no first Config.dat"
  win=$(timeout 30 xdotool search --sync --onlyvisible --name "$title" | head -1) || fail "the main window did not open"
else
  # Off GMT every check fetches the signals, and in minutes 58 and 59 of an
  # hour a check falls due at each tick of the check timer.
  printf 'Path=%s/\r\nTimezone=GMT+01\r\n' "$work/run" >Config.dat
  # The clock is set by libfaketime, preloaded after the AddressSanitizer's
  # runtime where the client has one, which must come first.
  preload="$(ldd "$client" | awk '/libasan/ { print $3 }') $(echo /usr/lib/*/faketime/libfaketime.so.1)"
  export HOME="$work/run" XDG_RUNTIME_DIR="$work" TZ=UTC TMPDIR="$work"
  if [ "$kind" = unattended ] || [ "$kind" = xfce ] || [ "$kind" = lxqt ]; then # a space, started in the home
    mkdir -p "$work/home" "$work/my programs"
    export HOME="$work/home"
    cp "$client" "$(dirname "$client")/kelvo-network.so" "$work/my programs/"
    client="$work/my programs/$(basename "$client")"
  fi
  program=("$client")
  start_client() { # start_client <log>: a client in the current folder; sets client_pid and win
    (ulimit -n 1024 && exec env FAKETIME="@2026-01-05 10:58:00" FAKETIME_DONT_FAKE_MONOTONIC=1 \
      LD_PRELOAD="${preload# }" "$client") >"$1" 2>&1 &
    client_pid=$!
    started $client_pid
    # (looked for afresh each time: a search fails when a window goes meanwhile)
    wait_for 20 eval 'win=$(xdotool search --limit 1 --onlyvisible --pid $client_pid --name "$title")' ||
      fail "the main window did not open"
  }
  start_client client.log
fi
# Logs in as a user would: user name, Tab, password, Tab, pick the system,
# click Login.
xdotool windowraise "$win" windowfocus --sync "$win"
sleep 0.5
xdotool type --delay 40 demo
xdotool key Tab
xdotool type --delay 40 "$([ "$kind" = wine ] && echo wrong || echo demo123)"
xdotool key Tab Down Down Down
sleep 0.3
import -window "$win" "$artifacts/login-panel.png"
xdotool mousemove --window "$win" 476 144 click 1
if [ "$kind" = wine ]; then
  wait_for 10 grep -q "refused (wrong password" "$work/run/demo.log" || fail "the wrong password was not refused"
  xdotool mousemove --window "$win" 476 89 click 1 key ctrl+a type --delay 40 demo123
  xdotool mousemove --window "$win" 476 144 click 1
fi
wait_for 30 test -s Kelvo-Daily.csv || fail "no export file after the login"

map_state() { xwininfo -id "$win" | sed -n 's/.*Map State: //p'; }
shown() { [ "$(map_state)" = IsViewable ]; }
hidden() { [ "$(map_state)" = IsUnMapped ]; }
wm_state() { xprop -id "$win" WM_STATE | sed -n 's/.*window state: //p'; }
iconic() { [ "$(wm_state)" = Iconic ]; }
minimize() { xdotool mousemove --window "$win" 156 160 click 1; }
restored() { shown && ! iconic; }
again() { # a start in this folder brings the window back and leaves
  timeout 20 "${program[@]}" >>"$work/run/again.log" 2>&1 || fail "a second start did not end with status 0"
  wait_for 2 restored || fail "a second start did not bring the window back"
}
tray_killed() { # kill -9 <pid>: the tray crashes, the window comes back within 2 s
  kill -9 "$1"
  wait_for 2 restored || fail "the window did not come back when the tray went away"
}
ask() { curl -s "http://127.0.0.1:$port/software/ProgSignals.php?$1"; }
reply() { ask "u=demo&p=3%24med&s=3"; }
positions() { reply | cut -d, -f1,5,9; }
# Both files, byte for byte, in the zone +0 of a first start.
exported() {
  [ "$(cat Kelvo-Daily.csv Kelvo-Hourly.csv && echo .)" = "$(printf '%s,%s\r\n%s,%s\r\n.' \
    "$(reply | cut -d, -f9-12)" "$(ask a=1)" "$(reply | cut -d, -f1-4)" "$(ask a=1)")" ]
}
change_positions() { # moves the service on until its positions differ from the client's
  local before tries=0
  before=$(positions)
  until [ "$(positions)" != "$before" ]; do
    tries=$((tries + 1))
    [ $tries -le 50 ] || fail "the service's positions do not change"
    kill -USR1 "$demo_pid"
    sleep 0.1
  done
}

case $kind in
sni)
  # A panel that comes after the client: without it the window stays, and
  # the next click finds it.
  minimize
  sleep 0.5
  shown || fail "Minimize hid the window with no tray to bring it back"
  printf 'panels=panel1\n[panel1]\nplugins=sn\n[sn]\ntype=statusnotifier\nalignment=Left\n' >panel.conf
  watcher() { dbus-send --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:"$1"; }
  panel() {
    XDG_CONFIG_HOME="$work" lxqt-panel --config "$work/run/panel.conf" >>panel.log 2>&1 &
    panel_pid=$!
    started $panel_pid
    wait_for 10 eval "watcher IsStatusNotifierHostRegistered 2>/dev/null | grep -q true" || fail "no panel"
  }
  item="org.kde.StatusNotifierItem-$client_pid-1"
  item_gone() { ! dbus-send --print-reply --dest="$item" /StatusNotifierItem org.freedesktop.DBus.Peer.Ping &>/dev/null; }
  panel
  minimize
  wait_for 10 hidden || fail "Minimize did not hide the window"
  dbus-send --print-reply --dest="$item" /StatusNotifierItem org.freedesktop.DBus.Properties.Get \
    string:org.kde.StatusNotifierItem string:ToolTip | grep -q '"Kelvo-Rozevid - click to restore"' ||
    fail "the tip does not say that one click restores"
  bar=$(xdotool search --limit 1 --onlyvisible --class lxqt-panel)
  wait_for 10 eval 'xdotool mousemove --window "$bar" 14 16 click 1; sleep 0.3; shown' ||
    fail "a click on the icon did not bring the window back"
  item_gone || fail "the icon stayed with the window back"
  minimize
  wait_for 10 hidden || fail "Minimize did not hide the window again"
  tray_killed "$panel_pid"
  wait_for 2 item_gone || fail "the icon stayed with the window back"
  panel
  minimize
  wait_for 10 hidden || fail "Minimize did not hide the window into the new panel"
  again
  item_gone || fail "the icon stayed with the window back"
  ;;
xembed | wine)
  # (Wine puts its icons into the tray from its own process.)
  icon_of=(--class explorer.exe)
  if [ "$kind" = xembed ]; then
    # A tray that comes after the client (a panel still starting): without
    # it the window stays, and the next click finds it.
    minimize
    sleep 0.5
    shown || fail "Minimize hid the window with no tray to bring it back"
    tray
    icon_of=(--pid "$client_pid" --class Kelvo-Rozevid)
  fi
  if [ "$kind" = wine ]; then
    wait_for 5 exported || fail "the export files are not the service's signals"
    # Headers without end: the request ends at its cap, memory as it was; then "Manual Update" works.
    kill "$demo_pid" && wait "$demo_pid" || true
    /usr/bin/python3 -c 'import socket, sys; server = socket.create_server(("127.0.0.1", int(sys.argv[1]))); print("listening", flush=True)
while True:
    client = server.accept()[0]; client.recv(4096); sent = client.send(b"HTTP/1.1 200 OK\r\n")
    try:
        while sent < 1 << 30: sent += client.send(b"X-Filler: " + b"x" * 100 + b"\r\n")
    except OSError: print(sent, flush=True)' "$port" >"$work/run/endless.log" & endless=$! && started $endless
    rss() { ps -o rss= -p "$(pgrep -d, -f kelvo-rozevid.exe)" | sort -n | tail -1; }
    wait_for 5 grep -q listening "$work/run/endless.log" && before=$(rss) || fail "no endless headers"
    xdotool mousemove --window "$win" 436 168 click 1 # Manual Update
    wait_for 20 eval 'sent=$(sed -n 2p "$work/run/endless.log") && [ -n "$sent" ]' && [ "$sent" -lt $((16 << 20)) ] &&
      [ $(($(rss) - before)) -lt 20000 ] || fail "endless headers: $(cat "$work/run/endless.log") bytes, $(($(rss) - before)) KiB more"
    kill $endless && wait $endless || true; demo_up && wait_for 10 eval '(exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null' || fail "no demo service again"
    asked=$(grep -c "a=1" "$work/run/demo.log") && xdotool mousemove --window "$win" 436 168 click 1
    wait_for 10 eval '[ "$(grep -c "a=1" "$work/run/demo.log")" -gt "$asked" ]' || fail "Manual Update did not ask again"
    wait_for 5 exported || fail "the export files are not the service's signals after endless headers"
  fi
  minimize
  wait_for 10 hidden || fail "Minimize did not hide the window"
  icon=$(timeout 10 xdotool search --sync --limit 1 --onlyvisible "${icon_of[@]}") || fail "no icon in the tray"
  xdotool mousemove --window "$icon" 10 10 click 1
  sleep 1 # longer than a double click: the next click is a new one
  hidden || fail "a single click on the icon brought the window back"
  xdotool click --repeat 2 --delay 100 1
  wait_for 10 shown || fail "a double click on the icon did not bring the window back"
  minimize
  wait_for 10 hidden || fail "Minimize did not hide the window again"
  if [ "$kind" = wine ]; then
    again
  else
    tray_killed "$tray_pid"
    tray
    minimize
    wait_for 10 hidden || fail "Minimize did not hide the window into the new tray"
  fi
  ;;
wm)
  minimize
  wait_for 10 iconic || fail "Minimize did not minimise the window"
  change_positions
  wait_for 30 restored || fail "a change of positions did not bring the window back"
  # (clicked until openbox has drawn the window back in place)
  wait_for 10 eval 'minimize; sleep 0.3; iconic' || fail "Minimize did not minimise the window again"
  again
  # Another folder has a program of its own, whose window comes in front; a
  # start in the first folder puts the first one's window in front again.
  mkdir ../other
  cp Config.dat ../other/
  first=$client_pid first_win=$win
  cd ../other
  start_client "$work/run/other.log"
  cd ../run
  other=$client_pid client_pid=$first win=$first_win
  wait_for 5 eval '[ "$(xdotool getactivewindow)" != "$win" ]' || fail "the other folder's window is not in front"
  again
  [ "$(xdotool getactivewindow)" = "$win" ] || xprop -id "$win" _NET_WM_STATE | grep -q ATTENTION ||
    fail "a second start neither raised the window nor marked it"
  kill "$other"
  # A program that died leaves its lock to the next start. With a runtime
  # folder of another user's, no name in /tmp is used either: the lock and
  # the socket go to the program's own folder in the cache folder.
  kill -9 "$first"
  wait_for 5 eval '! xwininfo -id "$first_win" &>/dev/null'
  mkdir -m 700 ../squatted && chown 65534 ../squatted
  export XDG_RUNTIME_DIR=$work/squatted own=${XDG_CACHE_HOME:-$HOME/.cache}/kelvo-rozevid
  start_client client2.log
  again
  [ "$(stat -c %a "$own")" = 700 ] && [ -z "$(ls -A ../squatted)" ] && lock=$(ls "$own"/*.lock) ||
    fail "the lock is not in the program's own folder"
  # A flood of idle callers and a line without end leave the next start heard.
  python3 - "${lock%.lock}" >flood.log 2>&1 <<'EOF' &
import resource, socket, sys, time
resource.setrlimit(resource.RLIMIT_NOFILE, (4096, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
held, end = [], time.time() + 10
while len(held) < 1100 and time.time() < end:
    s = socket.socket(socket.AF_UNIX)
    s.settimeout(1)
    try: s.connect(sys.argv[1]); held.append(s)
    except OSError: s.close(); time.sleep(0.01)
try: held[0].sendall(b"x" * (1 << 24))
except OSError: pass
print(len(held), flush=True)
time.sleep(30)
EOF
  started $!
  wait_for 15 test -s flood.log || fail "no flood"
  again
  # A start that cannot reach the folder's program says so, and fails.
  kill -STOP "$client_pid"
  timeout 30 "${program[@]}" >>again.log 2>&1 &
  second=$! status=0
  box=$(timeout 20 xdotool search --sync --onlyvisible --name "Already running") || fail "no word from a start that cannot reach the first"
  xdotool windowfocus --sync "$box" key Return
  wait $second || status=$?
  [ $status = 1 ] || fail "a start that cannot reach the first ended with status $status"
  kill -CONT "$client_pid"
  # A FIFO as Config.dat, which would block a read, is a damaged file: the start repairs it and says
  # so, and answers a second start while its message waits.
  mkdir ../fifo && mkfifo ../fifo/Config.dat && cd ../fifo
  "${program[@]}" >>../run/fifo.log 2>&1 &
  started $!
  box=$(timeout 20 xdotool search --sync --onlyvisible --name "Error while reading the config") ||
    fail "no word of a FIFO as Config.dat"
  timeout 20 "${program[@]}" >>../run/fifo.log 2>&1 || fail "a second start was not answered during the message"
  xdotool windowfocus --sync "$box" key Return
  wait_for 10 test -f Config.dat || fail "a FIFO as Config.dat was not repaired"
  ;;
unattended | xfce | lxqt)
  auto_start() { xdotool mousemove --window "$win" 104 176 click 1; }
  item() { secret-tool lookup server Kelvo-Rozevid user "$PWD"; }
  kept() { wait_for 10 eval '[ "$(item)" = "$(printf "demo\n3\$med\n3")" ]'; }
  entries() { ls "$HOME"/.config/autostart/ 2>/dev/null; }
  auto_start # with no password store on the bus
  wait_for 20 eval 'box=$(named "Kelvo-Rozevid - Auto Start")' || fail "no message"
  xdotool windowfocus --sync "$box" key Return
  [ -z "$(entries)" ] || fail "an autostart entry with no store to keep the login"
  printf 'keyring password' | gnome-keyring-daemon --foreground --unlock --components=secrets >keyring.log 2>&1 &
  started $!
  wait_for 10 eval 'dbus-send --dest=org.freedesktop.secrets --print-reply / org.freedesktop.DBus.Peer.Ping &>/dev/null' ||
    fail "no Secret Service"
  touch -d '-1 minute' "$work/since"
  auto_start
  kept || fail "the login was not kept: $(item)"
  wait_for 5 eval 'secret-tool search server Kelvo-Rozevid user "$PWD" 2>&1 | grep -qxF "label = Kelvo-Rozevid login for $PWD"' ||
    fail "the item is not labelled with its folder"
  [ "$(entries | wc -l)" = 1 ] || fail "no autostart entry"
  entry=$HOME/.config/autostart/$(entries)
  desktop-file-validate "$entry" && grep -qx 'Name=Kelvo-Rozevid (run)' "$entry" ||
    fail "an entry the desktop's list cannot tell apart: $(cat "$entry")"
  ! grep -rlF '3$med' "$work" $(find /tmp -maxdepth 1 -type f -newer "$work/since") ||
    fail "the encoded password is in a plain file"
  if [ "$kind" != unattended ]; then
    # Ended, then saved and ended, and again: one program, in its start folder, logged in and hidden;
    # then, "Auto Start" off, the saved session brings the program back in its start folder.
    saved=$HOME/.cache/sessions/xfce4-session-$(hostname):${DISPLAY#:}
    for round in $([ $kind = lxqt ] && echo 1 || echo 1 2 3); do
      [ $round != 3 ] || { "$client" >>client.log 2>&1 && wait_for 10 shown && auto_start && # a start by hand
        wait_for 10 eval '[ -z "$(entries)" ]' || fail "not unchecked"; }
      if [ $round != 1 ]; then # saved: with "Auto Start" on, without the program
        rm -f "$saved" && dbus-send --dest=org.xfce.SessionManager --print-reply /org/xfce/SessionManager \
          org.xfce.Session.Manager.Checkpoint string:Default >/dev/null
        wait_for 10 grep -qs xfce4-panel "$saved" && [ "$(grep -c "RestartCommand=$client,--autostart,$PWD$" "$saved")" = $((round - 2)) ] ||
          fail "the session saved $(grep Command "$saved")"
      fi
      kill -- -"$session_pid" && kill "$client_pid" 2>/dev/null # its programs go with its display
      wait_for 20 eval '! kill -0 $session_pid && ! kill -0 $client_pid' 2>/dev/null || fail "the session did not end"
      rm -f Kelvo-Hourly.csv && session
      wait_for 20 eval 'client_pid=$(pgrep -f "^$client")' && sleep 3 && [ "$(pgrep -fc "^$client")" = 1 ] &&
        [ "$(readlink /proc/$client_pid/cwd)" = "$PWD" ] || fail "not one program in its start folder: $(pgrep -fa "^$client")"
      [ $round != 3 ] || exit 0
      win=$(xdotool search --limit 1 --pid "$client_pid" --name "$title")
      wait_for 30 eval 'test -s Kelvo-Hourly.csv && hidden' || fail "not logged in and hidden"
    done
    exit 0
  fi
  xdotool mousemove --window "$win" 540 168 click 1 # Exit
  wait_for 10 eval '! kill -0 $client_pid 2>/dev/null' || fail "Exit did not end the program"
  # Started as the desktop starts it (the unit that systemd makes of the entry, in the home folder,
  # as Xfce starts it), with the service down for its first seconds.
  mkdir "$work/units"
  XDG_CONFIG_DIRS="$work/none" /usr/lib/systemd/user-generators/systemd-xdg-autostart-generator "$work/units" "$work/units" "$work/units"
  unit=$(ls "$work"/units/app-*@autostart.service) || fail "no unit from the autostart entry"
  desktop_start() {
    readarray -t command < <(python3 -c 'import shlex, sys; print("\n".join(shlex.split(sys.argv[1])))' \
      "$(sed -n 's/^ExecStart=[:@+!-]*//p' "$unit")")
    (cd "$HOME" && exec "${command[@]}") >>client.log 2>&1 &
    client_pid=$!
    started $client_pid
    wait_for 20 eval 'win=$(xdotool search --limit 1 --onlyvisible --pid $client_pid --name "$title")' ||
      fail "the main window did not open"
  }
  kill "$demo_pid"
  rm Kelvo-Daily.csv Kelvo-Hourly.csv
  desktop_start
  sleep 3 # its first attempt fails; the next, 10 s on, reaches the service
  [ ! -e Kelvo-Daily.csv ] || fail "exported with the service down"
  demo_up
  wait_for 15 test -s Kelvo-Hourly.csv || fail "no login by itself once the service was up"
  wait_for 5 hidden || fail "not hidden once logged in"
  xdotool search --onlyvisible --pid "$client_pid" --class Kelvo-Rozevid >/dev/null || fail "hidden with no icon"
  # The desktop's start at the next login finds it running: it ends quietly, the window stays hidden.
  (cd "$HOME" && exec timeout 20 "${command[@]}") >>client.log 2>&1 && hidden || fail "a second start by the desktop"
  # A locked store (no prompt can unlock it here): the login panel, with the window answering,
  # never a window frozen on the store. Unlocked again by a new daemon for the last step.
  kill "$client_pid"
  dbus-send --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets \
    org.freedesktop.Secret.Service.Lock array:objpath:/org/freedesktop/secrets/collection/login >/dev/null ||
    fail "the keyring would not lock"
  rm Kelvo-Hourly.csv
  desktop_start
  sleep 2
  ! hidden && [ ! -e Kelvo-Hourly.csv ] || fail "logged in from a locked store"
  import -window "$win" locked-before.png
  xdotool mousemove --window "$win" 476 89 click 1 type --delay 40 x
  wait_for 5 eval 'import -window "$win" locked-after.png && ! cmp -s locked-before.png locked-after.png' ||
    fail "the window does not answer while the store is locked"
  printf 'keyring password' | gnome-keyring-daemon --replace --foreground --unlock --components=secrets >>keyring.log 2>&1 &
  started $!
  wait_for 10 eval 'item >/dev/null 2>&1' || fail "the keyring did not unlock again"
  # A kept login the service refuses: the login panel (tst_mainform: never sent again); a login by
  # hand replaces it.
  kill "$client_pid"
  printf 'demo\nwrong\n3' | secret-tool store --label=Kelvo-Rozevid xdg:schema org.qt.keychain \
    server Kelvo-Rozevid user "$PWD" type plaintext
  refusals() { grep -c "wrong password for demo" demo.log || true; }
  before=$(refusals)
  desktop_start
  wait_for 10 eval '[ $(refusals) = $((before + 1)) ]' || fail "the kept login was not sent"
  xdotool mousemove --window "$win" 476 89 click 1 type --delay 40 demo123
  xdotool mousemove --window "$win" 476 144 click 1
  kept || fail "the login by hand did not replace the kept one"
  auto_start
  wait_for 10 eval '! item >/dev/null 2>&1' || fail "the item stayed"
  [ -z "$(entries)" ] || fail "the autostart entry stayed"
  ;;
esac
if [ "$kind" = wine ]; then
  change_positions
  xdotool mousemove --window "$win" 436 168 click 1
  wait_for 10 exported || fail "Manual Update did not bring the change"
  # The change in the journal, and the History window that shows it.
  grep -qE "^[-0-9T:]+Z,[-0-9 :]+,change,(Hourly|Daily)" Kelvo-History.csv || fail "no change in the journal: $(cat Kelvo-History.csv)"
  xdotool mousemove --window "$win" 120 16 click 1
  history=$(timeout 10 xdotool search --sync --onlyvisible --name "Kelvo-Rozevid - History" | head -1) || fail "no History window"
  import -window "$history" "$artifacts/history-wine.png" && xdotool windowmove --sync "$history" 0 600
  # The alarm, on at the change: the sound installed beside the program, played asynchronously.
  wait_for 5 grep -qF 'SoundName=L"C:\\Program Files\\Kelvo-Rozevid\\Alarm.wav"' "$work/run/client.log" &&
    grep -q "PlaySound.*fdwSound=00020003" "$work/run/client.log" || fail "no alarm sound"
  import -window "$win" "$artifacts/main-panel.png"
  fits() { /usr/bin/python3 "$here/textfit.py" "$artifacts/$1.png" "$(reply)" +0 "C:\\users\\$(id -un)\\"; }
  fits main-panel || fail "see above"
  # Beside another active window (Wine's notepad) the labels read as before.
  wine notepad & notepad=$!
  other=$(timeout 10 xdotool search --sync --onlyvisible --name Notepad | head -1) || fail "no other window"
  timeout 10 xdotool windowmove --sync "$other" 700 600 || fail "the other window did not move"
  sleep 0.5
  import -window "$win" "$artifacts/main-panel-inactive.png"
  kill $notepad
  fits main-panel-inactive || fail "not as readable with another window active: see above"
  # Auto Start: a Run value that names the start folder, and the login in the Credential Manager;
  # started as Windows starts it, in its system folder, it logs in by itself; unchecked, both go.
  run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
  creds='HKCU\Software\Wine\Credential Manager'
  xdotool mousemove --window "$win" 104 176 click 1
  profile="C:\\users\\$(id -un)"
  wait_for 10 eval 'wine reg query "$run_key" 2>/dev/null | grep -qF "\"C:\\Program Files\\Kelvo-Rozevid\\kelvo-rozevid.exe\" --autostart \"$profile\""' ||
    fail "no Run value: $(wine reg query "$run_key")"
  wine reg query "$creds" /s 2>/dev/null | grep -qF "Kelvo-Rozevid:$profile" || fail "no credential: $(wine reg query "$creds" /s)"
  wine reg export "$run_key" run.reg /y >/dev/null && wine reg export "$creds" creds.reg /y >/dev/null || fail "no export"
  xdotool mousemove --window "$win" 540 168 click 1
  timeout 20 wineserver -w || fail "Exit did not end the program"
  rm Kelvo-Daily.csv
  (cd "$WINEPREFIX/drive_c/windows/system32" && exec wine "$installed/kelvo-rozevid.exe" --autostart "$profile") >>"$work/run/client.log" 2>&1 &
  wait_for 30 test -s Kelvo-Daily.csv || fail "a start by Windows did not log in by itself"
  win=$(xdotool search --limit 1 --name "$title")
  wait_for 10 hidden || fail "a start by Windows did not hide to the tray"
  again
  xdotool mousemove --window "$win" 104 176 click 1
  wait_for 10 eval '! wine reg query "$run_key" 2>/dev/null | grep -q kelvo-rozevid-' || fail "the Run value stayed"
  ! wine reg query "$creds" /s 2>/dev/null | grep -qF "Kelvo-Rozevid:" || fail "the credential stayed"
  xdotool mousemove --window "$win" 104 176 click 1 # checked again, for the uninstall below
  wait_for 10 eval 'wine reg query "$creds" /s 2>/dev/null | grep -qF "Kelvo-Rozevid:"' || fail "no credential again"
  # Phone alerts set in their dialog: a test message to the tests' server standing in for ntfy
  # and Telegram (the port after the demo's but one), and the four kept in the Credential Manager.
  /usr/bin/python3 -c 'import http.server as h, sys
class P(h.BaseHTTPRequestHandler):
    def do_POST(s):
        open(sys.argv[2], "ab").write(s.path.encode() + s.rfile.read(int(s.headers["Content-Length"])) + b"\n")
        s.send_response(200), s.end_headers()
h.HTTPServer(("127.0.0.1", int(sys.argv[1])), P).serve_forever()' $((port + 2)) "$work/posts" &
  started $!
  xdotool mousemove --window "$win" 48 16 click 1
  timeout 10 xdotool search --sync --onlyvisible --name "Kelvo-Rozevid - Phone Alerts" >/dev/null || fail "no Phone Alerts dialog"
  sleep 0.5
  xdotool type --delay 20 "http://127.0.0.1:$((port + 2))/wine-topic" && xdotool key Tab Tab && xdotool type --delay 20 1:winebot &&
    xdotool key Tab && xdotool type --delay 20 42 && xdotool key Tab space
  wait_for 10 eval '[ "$(grep -c "test message" "$work/posts")" = 2 ] && grep -q "^/wine-topic" "$work/posts" && grep -q "^/bot1:winebot/sendMessage{\"chat_id\":42" "$work/posts"' ||
    fail "no test message to both: $(cat "$work/posts")"
  xdotool key Tab space
  wait_for 10 eval 'wine reg query "$creds" /s | grep -qF "Kelvo-Rozevid:$profile (phone alerts)"' || fail "the phone alerts were not kept"
  xdotool mousemove --window "$win" 540 168 click 1
  timeout 20 wineserver -w || fail "Exit did not end the program"
  start_menu() { # a start from the Start menu; sets win
    wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Kelvo-Rozevid.lnk'
    win=$(timeout 30 xdotool search --sync --onlyvisible --name "$title" | head -1) || fail "the program did not start"
  }
  gone() { ! xwininfo -id "$win" &>/dev/null; }
  # An install over the running program closes it and puts the new program in place.
  start_menu
  touch -d 2001-01-01 "$installed/kelvo-rozevid.exe"
  wine "$client" /S || fail "the installer failed over a running program"
  wait_for 5 gone || fail "the installer left the program running"
  [ "$(date -r "$installed/kelvo-rozevid.exe" +%Y)" != 2001 ] || fail "the installer did not replace the running program"
  # An uninstall while it runs closes it too. It removes this user's "Auto Start" entries (a value
  # Task Manager switched off too) and kept logins, and no other program's value: the next sign-in
  # (wineboot) runs the other program and fails on none of this program's.
  start_menu
  approved='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
  name=$(wine reg query "$run_key" | grep -o 'kelvo-rozevid-[^ ]*') || fail "no Run value before the uninstall"
  wine reg add "$approved" /v "$name" /t REG_BINARY /d 030000000000000000000000 /f >/dev/null &&
    wine reg add "$run_key" /v Other /d 'cmd /c echo >C:\other-ran' /f >/dev/null || fail "reg add"
  wine "$installed/Uninstall.exe" /S && timeout 20 wineserver -w || fail "the uninstaller did not end"
  gone || fail "the uninstaller left the program running"
  WINEDEBUG=err+wineboot wine wineboot >"$work/run/wineboot.log" 2>&1 && wait_for 10 test -e "$WINEPREFIX/drive_c/other-ran" ||
    fail "the uninstaller removed another program's Run value"
  ! grep -i 'process_run_key.*kelvo' "$work/run/wineboot.log" || fail "a Run value of the program failed"
  ! wine reg query "$run_key" | grep -q kelvo-rozevid- || fail "the uninstaller left the Run value"
  ! wine reg query "$approved" | grep -q kelvo-rozevid- || fail "the uninstaller left the Task Manager value"
  ! wine reg query "$creds" /s | grep -qF "Kelvo-Rozevid:" || fail "the uninstaller left the credential"
  [ ! -e "$installed" ] && [ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kelvo-Rozevid.lnk" ] &&
    ! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "not uninstalled"
  [ -s Config.dat ] && [ -s Kelvo-Daily.csv ] || fail "the uninstaller removed the user's files"
  # A reinstall goes into the folder of the install it finds.
  wine "$client" /S '/D=C:\Tools\Kelvo' && wine "$client" /S || fail "the installer failed"
  [ -e "$WINEPREFIX/drive_c/Tools/Kelvo/kelvo-rozevid.exe" ] && [ ! -e "$installed" ] || fail "a reinstall moved"
  # Answered no on its page, the uninstaller keeps the logins, and still removes the Run value.
  wine reg import run.reg && wine reg import creds.reg && wine 'C:\Tools\Kelvo\Uninstall.exe' &
  box=$(timeout 30 xdotool search --sync --onlyvisible --name "Kelvo-Rozevid Uninstall" | head -1) || fail "no uninstaller"
  timeout 10 xdotool windowfocus --sync "$box" key alt+r Return || fail "the uninstaller took no keys"
  wait_for 20 eval '! wine reg query "$run_key" | grep -q kelvo-rozevid-' || fail "the uninstaller left the Run value"
  wait_for 10 eval 'xdotool key Return; ! xwininfo -id "$box" &>/dev/null' && timeout 20 wineserver -w || fail "no Close"
  wine reg query "$creds" /s | grep -qF "Kelvo-Rozevid:$profile" || fail "the uninstaller removed the login kept"
  # An install for the user alone: the user's programs folder, Start menu and registry.
  wine "$client" /S /CurrentUser || fail "the installer failed for the current user"
  own="$WINEPREFIX/drive_c/users/$(id -un)/AppData"
  ls "$own/Local/Programs/Kelvo-Rozevid/kelvo-rozevid.exe" "$own/Roaming/Microsoft/Windows/Start Menu/Programs/Kelvo-Rozevid.lnk" >/dev/null &&
    uninstall=$(wine reg query "HKCU\\${uninstall_key#*\\}" /v QuietUninstallString | tr -d '\r' | sed -n 's/.*REG_SZ *//p') &&
    ! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "not installed for the current user alone"
  eval "wine $uninstall" && timeout 20 wineserver -w || fail "the uninstaller did not end"
  [ ! -e "$own/Local/Programs/Kelvo-Rozevid" ] || fail "not uninstalled for the current user"
  # The portable zip's program, started in its own folder, exports there.
  portable="$WINEPREFIX/drive_c/Portable"
  /usr/bin/python3 -m zipfile -e "${client%-setup.exe}-win64.zip" "$portable" && cd "$portable"
  wine kelvo-rozevid.exe &>/dev/null &
  wait_for 30 eval 'box=$(named "Error while reading the config")' || fail "no message"
  timeout 10 xdotool windowfocus --sync "$box" key Return || fail "the message did not take the focus"
  printf 'Path=C:\\Portable\\\r\nTimezone=GMT+0\r\n' | cmp - Config.dat || fail "the portable program does not export beside itself"
  timeout 20 wine taskkill /im kelvo-rozevid.exe >/dev/null && timeout 20 wineserver -w || fail "the program did not close"
  # A folder outside the ANSI code page comes back from Config.dat, and is
  # saved again, in UTF-8 after its mark; the exports go there.
  mkdir "$WINEPREFIX/drive_c/Сигналы"
  printf '\xef\xbb\xbfPath=C:\\Сигналы\\\rTimezone=GMT+0\r' >Config.dat
  wine kelvo-rozevid.exe &>/dev/null &
  win=$(timeout 30 xdotool search --sync --onlyvisible --name "$title" | head -1) || fail "the portable program did not start"
  timeout 10 xdotool windowraise "$win" windowfocus --sync "$win" || fail "the window did not take the focus"
  sleep 0.5
  xdotool type --delay 40 demo
  xdotool key Tab type --delay 40 demo123
  xdotool key Tab Down Down Down
  xdotool mousemove --window "$win" 476 144 click 1
  wait_for 30 test -s "$WINEPREFIX/drive_c/Сигналы/Kelvo-Daily.csv" || fail "no export into the folder in Cyrillic"
  xdotool mousemove --window "$win" 380 18 click 1 key Return sleep 1
  printf '\xef\xbb\xbfPath=C:\\Сигналы\\\r\nTimezone=GMT+0\r\n' | cmp - Config.dat ||
    fail "the folder in Cyrillic was not saved as it was read"
  ! xdotool search --onlyvisible --name "Kelvo-Rozevid - Error" >/dev/null || fail "a message about the folder in Cyrillic"
fi
echo "tray $kind: checked"
