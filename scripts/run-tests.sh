#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the whole suite (unit, widget, network, disk, long-run and end-to-end
#      tests) through ctest;
#   2. the same suite again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer;
#   3. each fuzzer for a minute, beside the first suite;
#   4. beside them, when a Qt for Windows is at hand, the Windows build and
#      its tests under Wine.
# Installs what it needs first. Runs from any folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
logs=$(mktemp -d)
windows_pid=""
builds_pid=""
trap '[ -z "$windows_pid" ] || wait "$windows_pid" 2>/dev/null; [ -z "$builds_pid" ] || wait "$builds_pid" 2>/dev/null; rm -rf "$logs"' EXIT

"$root/scripts/install-deps.sh" --tests
# Every test's service is on this machine: no proxy the environment names
# for the way out stands between.
export no_proxy="127.0.0.1,localhost${no_proxy:+,$no_proxy}"

# Every build goes through ccache: a run from clean build folders compiles
# only what changed since the machine's last run.
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
build_suite() { # build_suite <build-folder> <name> [cmake options...]
  local build=$1 name=$2
  shift 2
  echo "== $name: building in $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
  cmake --build "$build" -j"$jobs"
}
test_suite() { # test_suite <build-folder> <name>
  echo "== $2: running the tests"
  ctest --test-dir "$1" --output-on-failure -j"$jobs" 2>&1 | tee "$logs/$2.log"
}

# The Windows tests: the program cross-built in a folder of its own, for the
# Linux build's demo service on the port after the Linux end-to-end tests'
# port, then its ctest under Wine. They run beside the Linux suites, which
# spend much of their time waiting on displays and the network.
windows_tests() {
  local port
  port=$(sed -n 's/^KELVO_E2E_PORT:[A-Z]*=//p' "$root/build-tests/CMakeCache.txt")
  KELVO_WINDOWS_BUILD="$root/build-windows-tests" "$root/scripts/build-windows.sh" \
    -DKELVO_SERVICE_URL="http://127.0.0.1:$((port + 1))" \
    -DKELVO_TELEGRAM_API_URL="http://127.0.0.1:$((port + 3))" \
    -DKELVO_DEMO_SERVICE="$root/build-tests/demo/kelvo-demo-service" &&
    ctest --test-dir "$root/build-windows-tests" --output-on-failure
}

build_suite "$root/build-tests" plain -DKELVO_SANITIZE=OFF
# The sanitizer suite and the fuzzers are built, and the fuzzers run, while
# the plain suite runs, which spends most of its time waiting on displays,
# the network and the fresh Debian's downloads. The fuzzers yield the
# processor to the tests.
build_rest() {
  # The sanitizer suite is a unity build, which compiles in half the time,
  # and leaves out the benchmark programs. (The plain suite builds each file
  # alone, as the package is built: a unity build links differently, and the
  # package test would rightly fail it.)
  build_suite "$root/build-asan" sanitizers -DKELVO_SANITIZE=ON -DKELVO_BUILD_BENCH=OFF \
    -DCMAKE_UNITY_BUILD=ON &&
    "$root/scripts/run-fuzzers.sh" --build-only >/dev/null &&
    echo "== fuzzers" &&
    nice -n 19 "$root/scripts/run-fuzzers.sh" 60
}
build_rest >"$logs/builds.out" 2>&1 &
builds_pid=$!
if [ -n "${KELVO_QT_WINDOWS:-}" ] || [ -f "$root/../shared/qt-windows/qt6-mingw-6.4.2.tar.zst" ]; then
  echo "== windows: building and testing under Wine beside the Linux suites; its log comes last"
  windows_tests >"$logs/windows.out" 2>&1 &
  windows_pid=$!
else
  echo "== windows: SKIPPED, no Qt for Windows. Set KELVO_QT_WINDOWS to a static Qt 6.4 for"
  echo "   mingw-w64 (its folder or a .tar.zst of it), or build one with"
  echo "   scripts/build-qt-windows.sh <folder> (about 45 minutes); see README, Windows."
fi
test_suite "$root/build-tests" plain

builds_status=0
wait "$builds_pid" || builds_status=$?
builds_pid=""
cat "$logs/builds.out"
[ "$builds_status" -eq 0 ] || exit "$builds_status"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
test_suite "$root/build-asan" sanitizers
unset ASAN_OPTIONS UBSAN_OPTIONS

if [ -n "$windows_pid" ]; then
  wait "$windows_pid" || true
  windows_pid=""
  echo "== windows: the build and the tests under Wine"
  cat "$logs/windows.out"
  # A build that failed ran no test: it counts as one failed.
  grep -E 'tests passed, [0-9]+ tests failed out of' "$logs/windows.out" >"$logs/windows.log" ||
    echo "0% tests passed, 1 tests failed out of 1" >"$logs/windows.log"
fi

# One closing line for the whole run: the tests of all suites.
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
[ "$failed" -eq 0 ]
