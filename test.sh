#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; exits non-zero on any failure.
#
#   ./test.sh            the format check, the whole suite, then again under ASan+UBSan and
#                        (platform, serial, window and cli tests) TSan, then each fuzz target for a
#                        short bounded run, then the Windows build and its tests under Wine
#   ./test.sh --quick    the plain suite only
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh --tests
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
quick=0
[ "${1:-}" = "--quick" ] && quick=1

configure() {  # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DWIRELAB_TESTS=ON "$@" >/dev/null
}

started=$(date +%s)
echo "== Format"
tools/check-format.sh

echo "== Tests"
configure build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo  # the benchmarks are built too
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs" --timeout 300

if [ "$quick" = 1 ]; then exit 0; fi

echo "== Tests under AddressSanitizer + UndefinedBehaviorSanitizer"
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DWIRELAB_SANITIZE=address -DWIRELAB_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600

echo "== Platform, serial, window and cli tests under ThreadSanitizer"
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DWIRELAB_SANITIZE=thread -DWIRELAB_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target platform_tests serial_tests window_tests cli_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan -L 'platform|serial|window|cli' --output-on-failure -j "$jobs" --timeout 600

echo "== Fuzzing (bounded runs)"
CC=clang CXX=clang++ configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWIRELAB_FUZZ=ON -DWIRELAB_SANITIZE=address -DWIRELAB_BENCH=OFF
fuzzers=(int_conv_fuzz mode_string_fuzz byte_codes_fuzz pos_receiver_fuzz scenario_file_fuzz)
cmake --build build-fuzz -j "$jobs" --target "${fuzzers[@]}"
for f in "${fuzzers[@]}"; do
  corpus=tests/fuzz/corpus/${f%_fuzz}
  work=$(mktemp -d)
  echo "-- $f"
  status=0
  ASAN_OPTIONS=detect_leaks=0 build-fuzz/$f -max_total_time=15 -print_final_stats=1 -artifact_prefix=build-fuzz/ \
    "$work" "$corpus" >"$work.log" 2>&1 || status=$?
  grep -E 'stat::number_of_executed_units|ERROR|Test unit written' "$work.log" || true
  [ "$status" -eq 0 ] || tail -n 40 "$work.log"
  rm -rf "$work" "$work.log"
  [ "$status" -eq 0 ] || { echo "$f failed"; exit 1; }
done

echo "== The Windows build and its tests under Wine"
tools/build-windows.sh --tests

echo "== All tests passed in $(( $(date +%s) - started )) s"
