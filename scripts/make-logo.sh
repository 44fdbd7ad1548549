#!/usr/bin/env bash
# Remakes data/logo_movie.inc, the closing logo movie built into the library: draws the logo,
# encodes it with our encoder and writes its bytes. Run it after changing the logo or the encoder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vexa-make-logo
build/release/tools/vexa-make-logo data/logo_movie.inc build/release/logo.vxa
echo "data/logo_movie.inc remade ($(stat -c %s build/release/logo.vxa) bytes of movie)"
