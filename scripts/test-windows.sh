#!/usr/bin/env bash
# Builds the Windows x64 tree (mingw-w64) and runs its tests under Wine.
#
#   scripts/test-windows.sh [CTEST ARGS...]     e.g. -R vexa_platform_tests, -j2, --repeat until-fail:5
#
# Needs the Debian packages cmake, ninja-build, g++-mingw-w64-x86-64-posix, googletest, wine,
# wine64, xvfb and xauth (xvfb-run); the sound recording and player tests (run when no ctest
# arguments are given) also pulseaudio, pulseaudio-utils and python3. Exits 1 when any fails.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="$root/build/windows"
prefix="$build/wineprefix"

cmake --preset windows
cmake --build --preset windows

# Make the build's Wine prefix and start Wine once, before ctest runs programs (perhaps several at
# once), and end that Wine whatever happens.
trap 'cmake/wine-run.sh --prefix "$prefix" --stop' EXIT
start=$(date +%s)
cmake/wine-run.sh --prefix "$prefix" --init
echo "Wine prefix ready in $(($(date +%s) - start)) s: $prefix"

status=0
ctest --preset windows "$@" || status=1
# The whole run (no ctest arguments) also records the sound back ends playing in real time and
# plays movies with VexaPlay.exe end to end.
if [ $# -eq 0 ]; then
  scripts/test-sound-recording.sh || status=1
  scripts/test-player-windows.sh || status=1
fi
exit "$status"
