#!/usr/bin/env bash
# Builds the client and the demo signal service, starts the service in the
# background and the client in run/ (which holds Config.dat and Alarm.wav),
# and stops the service when the client exits. Arguments go to the service:
#   scripts/run-demo.sh [--period SECONDS] [--seed N]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
port=8421

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVO_SERVICE_URL="http://127.0.0.1:$port" >/dev/null
cmake --build "$build" -j"$(nproc)" --target kelvo-rozevid kelvo-demo-service alarm_wav

run="$root/run"
mkdir -p "$run"
cp "$build/Alarm.wav" "$run/Alarm.wav"

"$build/demo/kelvo-demo-service" --port "$port" "$@" >"$run/demo-service.log" 2>&1 &
demo=$!
trap 'kill "$demo" 2>/dev/null || true; wait "$demo" 2>/dev/null || true' EXIT
echo "demo service on http://127.0.0.1:$port (log: $run/demo-service.log)"
echo "log in as demo / demo123 (both systems), daily / daily123 or hourly / hourly123"

cd "$run"
"$build/kelvo-rozevid"
