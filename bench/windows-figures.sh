#!/usr/bin/env bash
# The Windows figures of docs/BENCHMARKS.md, its last section, "## Windows":
# the sizes of the program (stripped) and of its installer, and the memory of
# the program after a login under Wine, against kelvo-bare-window.exe, an
# empty Qt window of the same size built the same way.
#   bench/windows-figures.sh [windows-build-folder [runs]]
# The folder (default build-windows-tests, which scripts/run-tests.sh makes)
# must be built for the demo service on 127.0.0.1 (-DKELVO_SERVICE_URL); the
# demo service is the Linux build's, build-tests/demo/kelvo-demo-service. Each
# memory figure is the median of the runs (default 5). Rewrites the section
# in place, or adds it at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build-windows-tests}" && pwd)
runs=${2:-5}
port=$(sed -n 's|^KELVO_SERVICE_URL:[A-Z]*=http://127\.0\.0\.1:\([0-9]*\)$|\1|p' "$build/CMakeCache.txt")
[ -n "$port" ] || { echo "$build is not built for a service on 127.0.0.1" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
until [ -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
"$root/build-tests/demo/kelvo-demo-service" --port "$port" --manual >"$work/demo.log" 2>&1 &
pids+=($!)
wineboot -i 2>/dev/null && wineserver -w

# The programs as shipped, without their symbols.
strip=x86_64-w64-mingw32-strip
"$strip" -o "$work/bare.exe" "$build/kelvo-bare-window.exe"
client_exe=$build/packaging/windows/dist/kelvo-rozevid.exe

# Resident memory (kB) of the program one second after its export file was
# written following a login, or of the bare window one second after it
# showed.
rss() { sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status"; }
client_rss() {
  local run=$work/run pid win
  rm -rf "$run" && mkdir -p "$run" && cd "$run"
  printf 'Path=%s\\\r\nTimezone=GMT+0\r\n' "$(winepath -w "$run")" >Config.dat
  wine "$client_exe" 2>/dev/null &
  pid=$!
  win=$(timeout 30 xdotool search --sync --onlyvisible --name "Kelvo-Rozevid - Connecting" | head -1)
  xdotool windowfocus --sync "$win"
  sleep 0.5 # until it takes keys
  xdotool type --delay 40 demo
  xdotool key Tab type --delay 40 demo123
  xdotool key Tab Down Down Down
  xdotool mousemove --window "$win" 476 144 click 1
  timeout 30 sh -c 'until [ -s Kelvo-Daily.csv ]; do sleep 0.1; done' || {
    echo "no login" >&2
    exit 1
  }
  sleep 1
  rss "$pid"
  kill "$pid" && wineserver -w
}
bare_rss() {
  local pid
  wine "$work/bare.exe" 598 185 2>/dev/null &
  pid=$!
  timeout 30 xdotool search --sync --onlyvisible --name "Bare window" >/dev/null
  sleep 1
  rss "$pid"
  kill "$pid" && wineserver -w
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
client=$(for _ in $(seq "$runs"); do client_rss; done | median)
bare=$(for _ in $(seq "$runs"); do bare_rss; done | median)
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f MB", b / 1e6 }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
section=$(cat <<EOF
## Windows

The program cross-built for 64-bit Windows (\`scripts/build-windows.sh\`,
static Qt 6.4.2, Release), measured under Wine by \`bench/windows-figures.sh\`
on $(date +%Y-%m-%d): Wine $(wine --version 2>/dev/null | sed 's/^wine-//'), Xvfb, $(nproc) cores;
memory as the median of $runs runs.

| figure | client | baseline | target |
|---|---|---|---|
| program, stripped | $(mb "$client_exe") | bare Qt window $(mb "$work/bare.exe") | < 20 MB |
| installer | $(mb "$build"/kelvo-rozevid-*-setup.exe) | | < 10 MB |
| portable zip | $(mb "$build"/kelvo-rozevid-*-win64.zip) | | |
| resident memory after login, under Wine | $(mib "$client") | bare Qt window $(mib "$bare"): $(awk -v c="$client" -v b="$bare" 'BEGIN { printf "%.2f", c / b }')× | |

The memory is the resident memory (\`VmRSS\`) of the program's process one
second after its export files were written following a login as a user
would (xdotool types and clicks), against the bare window one second after
it showed, both stripped as shipped, in one Wine prefix made for the run.
It counts what Wine loads into the process, most of both figures: Qt's
Windows platform links Direct3D, which Wine provides through OpenGL, here
Mesa's software renderer with LLVM. Wine's own processes (wineserver, the
desktop) are not counted. Everything is linked into the one program on
Windows: libcurl with TLS through Schannel, Qt Network for the local
socket, and the alarm sound through winmm, which Linux loads as modules at
their first use.
EOF
)
report=$root/docs/BENCHMARKS.md
{
  sed '/^## Windows$/,$d' "$report" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'
  echo
  echo "$section"
} >"$work/report.md"
cp "$work/report.md" "$report"
echo "$section"
