#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the whole suite (unit, widget, network, disk, long-run and end-to-end
#      tests) through ctest;
#   2. the same suite again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer;
#   3. each fuzzer for a minute.
# Installs what it needs first. Runs from any folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

"$root/scripts/install-deps.sh" --tests

run_suite() { # run_suite <build-folder> <name> [cmake options...]
  local build=$1 name=$2
  shift 2
  echo "== $name: building in $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$build" -j"$jobs"
  echo "== $name: running the tests"
  ctest --test-dir "$build" --output-on-failure -j"$jobs" 2>&1 | tee "$logs/$name.log"
}

run_suite "$root/build-tests" plain -DKELVO_SANITIZE=OFF

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run_suite "$root/build-asan" sanitizers -DKELVO_SANITIZE=ON
unset ASAN_OPTIONS UBSAN_OPTIONS

echo "== fuzzers"
"$root/scripts/run-fuzzers.sh" 60

# One closing line for the whole run: the tests of both suites.
passed=0
failed=0
for log in "$logs"/*.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "$passed passed, $failed failed"
