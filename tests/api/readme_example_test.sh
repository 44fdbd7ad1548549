#!/usr/bin/env bash
# Runs programs built from the README's C example on a movie made here with `vexa encode`: each
# prints the movie's size, frame count and rate, and for a missing movie the library's error
# text with status 1.
#   readme_example_test.sh VEXA PROGRAM...
set -euo pipefail
vexa=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Three grey 48 x 32 frames (4:2:0: 48 * 32 * 3 / 2 bytes each) at 30000/1001 frames a second.
{
  printf 'YUV4MPEG2 W48 H32 F30000:1001 C420jpeg\n'
  for _ in 1 2 3; do
    printf 'FRAME\n'
    head -c 2304 /dev/zero | tr '\0' '\200'
  done
} >"$tmp/in.y4m"
"$vexa" encode -q -i "$tmp/in.y4m" -o "$tmp/movie.vxa"

expected="48 x 32, 3 frames at 30000/1001 fps"
for program in "$@"; do
  actual=$("$program" "$tmp/movie.vxa")
  if [ "$actual" != "$expected" ]; then
    echo "$program printed '$actual', expected '$expected'" >&2
    exit 1
  fi
  status=0
  "$program" "$tmp/missing.vxa" 2>"$tmp/error" || status=$?
  if [ "$status" != 1 ] || [ ! -s "$tmp/error" ]; then
    echo "$program on a missing movie: status $status, error text '$(cat "$tmp/error")'" >&2
    exit 1
  fi
done
echo "ok: $# program(s) printed '$expected'"
