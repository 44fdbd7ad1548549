#!/usr/bin/env bash
# The main job: builds Vexa and plays a movie with vexaplay — the demo movie the build makes,
# unless a movie is named — with its sound, and prints the playback summary. Where there is a
# display the movie plays in a window (the summary also shows in a message box); elsewhere it
# plays headless, in real time, through SDL's dummy video driver.
#
#   scripts/run.sh [MOVIE.vxa] [/SWITCHES...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

movie="${1:-build/release/demo.vxa}"
[ $# -gt 0 ] && shift
build/release/tools/vexa info "$movie"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no display: playing headless"
  export SDL_VIDEODRIVER=dummy
fi
exec build/release/player/sdl/vexaplay "$movie" /S "$@"
