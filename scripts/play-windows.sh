#!/usr/bin/env bash
# Plays a movie with the Windows player, VexaPlay.exe, under Wine. Without a DISPLAY it plays on a
# virtual Xvfb screen, where nobody sees it and a message box (an error, /S) waits for ever.
#
#   scripts/play-windows.sh MOVIE.vxa [SWITCHES...]     e.g. scripts/play-windows.sh demo.vxa /Q /W-2
#
# Builds the Windows tree's VexaPlay target first when it is missing or out of date. Passes the
# player's exit code on.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 MOVIE.vxa [SWITCHES...]" >&2
  exit 2
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/windows"
[ -f "$build/build.ninja" ] || cmake --preset windows -S "$root" >/dev/null
cmake --build "$build" --target VexaPlay >/dev/null

movie="$1"
shift
[ -f "$movie" ] || { echo "$0: no such movie: $movie" >&2; exit 1; }
# Wine reaches the host's files through drive Z:; the name has backslashes, since the player takes
# every "/" for a switch.
name="Z:$(realpath "$movie" | tr / '\\')"
exec "$root/cmake/wine-run.sh" --prefix "$build/wineprefix" --display \
  "$build/player/win32/VexaPlay.exe" "$@" "$name"
