#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own tree (build-fuzz) and
# runs each for a while on a copy of its seed corpus, so the corpus kept in
# fuzz/corpus does not grow. Any finding - crash, failed check, sanitizer
# report, leak, timeout, memory blow-up - makes the script fail; the input
# that caused it is kept in build-fuzz/artifacts.
#
#   scripts/run-fuzzers.sh [seconds-per-target]     (default 60)
#   scripts/run-fuzzers.sh --build-only              builds them, runs none
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_only=""
if [ "${1:-}" = --build-only ]; then
  build_only=1
  shift
fi
seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [seconds-per-target]" >&2
  exit 2
fi
targets=(fuzz_config fuzz_replies)

"$root/scripts/install-deps.sh" --tests

build="$root/build-fuzz"
artifacts="$build/artifacts"
logs="$build/logs"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_FUZZ=ON -DKELVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"
[ -z "$build_only" ] || exit 0
mkdir -p "$artifacts" "$logs"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Stop at the first report of either sanitizer, with its stack.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
unset QT_QPA_PLATFORM # only QtCore is linked

# The targets run side by side, each for the full time.
pids=()
for target in "${targets[@]}"; do
  corpus="$work/$target"
  cp -r "$root/fuzz/corpus/$target" "$corpus"
  "$build/fuzz/$target" "$corpus" \
    -dict="$root/fuzz/$target.dict" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$artifacts/$target-" -print_final_stats=1 >"$logs/$target.log" 2>&1 &
  pids+=($!)
done

failed=0
summary=()
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  corpus="$work/$target"
  log="$logs/$target.log"
  status=0
  wait "${pids[$i]}" || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  files=$(find "$corpus" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    summary+=("$target: clean, ${runs:-?} runs in ${seconds} s (${rate:-?} exec/s), $files corpus inputs")
  else
    failed=1
    saved=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    summary+=("$target: FAILED (exit $status), input saved to ${saved:-<none, see log>}; log: $log")
    grep -E '^(==[0-9]+==ERROR|SUMMARY:)|runtime error:|Test unit written' "$log" | head -n 5 >&2 || true
  fi
done

printf '%s\n' "${summary[@]}"
exit "$failed"
