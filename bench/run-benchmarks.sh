#!/usr/bin/env bash
# Builds the client, its baselines (the same-frame window and the empty one)
# and the demo service in Release and measures start-up, memory, idle CPU,
# wake-ups and poll-to-export against their baselines; writes
# docs/BENCHMARKS.md.
#   bench/run-benchmarks.sh [--runs N] [--idle-seconds S] [--build DIR] [--report FILE]
# With --build DIR an existing build folder is used as it is (its client
# must talk to 127.0.0.1:PORT, PORT given by KELVO_BENCH_PORT, default 18431).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
port=${KELVO_BENCH_PORT:-18431}
build=""
report="$root/docs/BENCHMARKS.md"
args=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --report) report=$2; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done

if [ -z "$build" ]; then
  "$root/scripts/install-deps.sh" --tests
  build="$root/build-release"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKELVO_BUILD_TESTS=OFF -DKELVO_SERVICE_URL="http://127.0.0.1:$port" >/dev/null
  cmake --build "$build" -j"$(nproc)" \
    --target kelvo-rozevid kelvo-same-frame-window kelvo-bare-window kelvo-demo-service alarm_wav
  client="$build/kelvo-rozevid"
else
  client="${KELVO_BENCH_CLIENT:-$build/kelvo-rozevid}"
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")

if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
  echo "run-benchmarks: port $port is taken; set KELVO_BENCH_PORT and rebuild" >&2
  exit 1
fi

# -a alone starts every search at display 99, and two runs that start at
# once may both pick it; starting from a number of this process's own
# keeps them apart.
xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" \
  python3 "$root/bench/benchmarks.py" --client "$client" \
  --same-frame "$build/bench/kelvo-same-frame-window" --bare "$build/bench/kelvo-bare-window" \
  --demo "$build/demo/kelvo-demo-service" \
  --port "$port" --alarm "$build/Alarm.wav" --build-type "${build_type:-default}" \
  --report "$report" "${args[@]}"
