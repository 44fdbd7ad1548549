#!/usr/bin/env bash
# The main job: builds Vexa and plays a movie through the library — the demo movie the build
# makes, unless a movie is named. Until the player exists, "playing" is decoding every frame and
# its sound the way the player would, into files under build/release/play/.
#
#   scripts/run.sh [MOVIE.vxa]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

movie="${1:-build/release/demo.vxa}"
out=build/release/play
rm -rf "$out"
mkdir -p "$out/png" "$out/wav"
vexa=build/release/tools/vexa

"$vexa" info "$movie"
"$vexa" decode "$movie" -o "$out/pictures.y4m" --png "$out/png" --wav-dir "$out/wav"
echo "decoded $(ls "$out/png" | wc -l) pictures into $out/ (pictures.y4m, png/, wav/)"
