# Shared by the end-to-end tests; sourced after setting client, demo, port
# and artifacts. Gives a scratch folder $work, stops at exit every process
# started through started(), and keeps the logs of $work/run.
set -euo pipefail
mkdir -p "$artifacts"
work=$(mktemp -d)
mkdir -p "$work/run"
started_pids=()
started() { started_pids+=("$1"); }
cleanup() {
  local pid
  for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
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

# start_demo <options...>: the demo service on $port, logging to demo.log.
start_demo() {
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    fail "port $port is taken; configure with -DKELVO_E2E_PORT=<free port>"
  fi
  "$demo" --port "$port" "$@" >"$work/run/demo.log" 2>&1 &
  demo_pid=$!
  started $demo_pid
  wait_for 10 grep -qs "listening on" "$work/run/demo.log" || fail "demo service did not start"
}

# start_client <folder> <log name> [VAR=value...]: the client started in
# <folder>, with the environment given.
start_client() {
  local folder=$1 log=$2
  shift 2
  mkdir -p "$folder"
  (cd "$folder" && exec env "$@" "$client") >"$work/run/$log" 2>&1 &
  client_pid=$!
  started $client_pid
}

# log_in <window> <screenshot>: logs in as a user would (user name, Tab,
# password, Tab, pick the system, click Login), with a screenshot of the
# filled-in login panel.
log_in() {
  local window=$1 shot=$2
  xdotool windowraise "$window" windowfocus --sync "$window"
  sleep 0.5
  xdotool type --delay 40 "demo"
  xdotool key Tab
  xdotool type --delay 40 "demo123"
  xdotool key Tab Down Down Down
  sleep 0.3
  import -window "$window" "$shot"
  xdotool mousemove --window "$window" 476 144 click 1
}
