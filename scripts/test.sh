#!/usr/bin/env bash
# Runs every test: the native release build, the native AddressSanitizer/UndefinedBehaviorSanitizer
# build, a short fuzzing pass and the ThreadSanitizer tests, and the Windows build under Wine.
# Exits non-zero when any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0
for preset in release asan; do
  echo "=== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset: test"
  ctest --preset "$preset" -j "$jobs" || status=1
done

echo "=== vexaplay: headless play, picture, sound and keys"
scripts/test-vexaplay.sh build/release || status=1

echo "=== sanitizers: short fuzzing pass and ThreadSanitizer tests"
scripts/test-sanitizers.sh 20 || status=1

echo "=== windows: build and test under Wine"
scripts/test-windows.sh || status=1
exit $status
