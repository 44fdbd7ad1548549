#!/usr/bin/env bash
# The sanitizer side of CI:
#   1. every fuzz target for a short bounded time (AddressSanitizer, UndefinedBehaviorSanitizer,
#      leak checking), starting from the seeds and every input kept under tests/regressions/data;
#   2. the tests that run the library's threads (the IO and sound service threads, the split
#      decode on two threads, the sound pump from the service thread, the player's decode
#      workers) built with ThreadSanitizer: any report fails.
#
#   scripts/test-sanitizers.sh [SECONDS_PER_TARGET]   (default 20; 0 skips the fuzzing)
#
# Needs clang with its runtimes (Debian: clang, libclang-rt-14-dev).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-20}

if [ "$seconds" -gt 0 ]; then
  echo "== fuzz targets, ${seconds}s each"
  rm -rf build/fuzz/ci
  scripts/fuzz -t "$seconds" -j 2 -o "$root/build/fuzz/ci"
fi

echo "== ThreadSanitizer"
cmake --preset tsan >/dev/null
tsan_tests=(vexa_core_tests vexa_io_tests vexa_sound_tests vexa_player_tests)
with_regressions=0
if grep -q regressions tests/CMakeLists.txt; then
  tsan_tests+=(vexa_regression_tests)
  with_regressions=1
fi
cmake --build --preset tsan --target "${tsan_tests[@]}" >/dev/null
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 report_signal_unsafe=0"
run() {
  local exe=$1 filter=$2
  echo "-- $exe $filter"
  # Several rounds: a race shows only when the threads happen to meet.
  "$root/build/tsan/tests/$exe" --gtest_filter="$filter" --gtest_brief=1 --gtest_repeat=3
}
# Frame stepping, the sound pump and tracks on the service thread, opens joining the services.
run core/vexa_core_tests 'Playing.*:MovieOpen.*'
# The service threads, the read-ahead ring and its fills. The simulated-speed tests measure wall
# time against the device's; under the sanitizer's slowdown they test the machine, not the code.
run io/vexa_io_tests '*-*SimulatedSpeed*'
# The WAV back end and the choice of back end, with movies whose tracks open and close.
run sound/vexa_sound_tests '*'
# The player's decode workers: the next frame decodes on one or two workers while the current one
# is copied.
run player/vexa_player_tests 'DecodeWorkers.*'
# All of them at once (file read-ahead, sound service thread, split decode), and opens on two
# threads at once.
if [ "$with_regressions" -eq 1 ]; then
  run regressions/vexa_regression_tests 'Threads.*:HostileHeader.OpensOnTwoThreads*'
fi
echo "sanitizers: no reports"
