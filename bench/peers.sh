#!/bin/bash
# Measures our encoder and decoder against two peer DCT codecs, libtheora and libvpx's VP8, on
# generated photographic content: each encodes the same clip at several qualities, each decoder
# writes Y4M to memory-backed storage, and a table gives size, luma PSNR and speeds, then our
# decode speed and file size over each peer's at equal PSNR. Not part of CI: the numbers are
# ratios within one run, not absolute figures.
set -euo pipefail
shopt -s inherit_errexit
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
python=/usr/bin/python3 # Debian's, which has numpy and scikit-image
peers=$root/bench/peers
VEXA=${VEXA:-$root/build/release/tools/vexa}
VEXA_ENCODE_ARGS=${VEXA_ENCODE_ARGS:-}
VEXA_QUALITIES=${VEXA_QUALITIES:-20 30 40 55 75}
THEORA_QUALITIES=${THEORA_QUALITIES:-2 4 6 8 10}
VP8_QUANTIZERS=${VP8_QUANTIZERS:-0 4 12 24 40 55}
runs=3
frames=60
sizes=()

usage() {
  cat <<EOF
usage: bench/peers.sh [--size WxH]... [--runs N] [--frames N]

Makes a test clip (bench/peers/make_content.py: pans and a zoom over scikit-image's
photographs, a moving picture, a cut; 30 fps), encodes it with 'vexa encode', libtheora's
theora_encoder_example and libvpx's vpxenc (VP8), decodes each file with 'vexa decode',
theora_dump_video and vpxdec (single thread, Y4M to /dev/shm), and prints for each encoding
its bytes, bit/pixel, PSNR-Y, decode fps and encode fps; then, at each of our points, our
decode speed and file size over each peer's at the same PSNR-Y.

PSNR-Y: 10 log10(255^2 / MSE), the MSE over every luma sample of the whole clip.
Decode fps: frames over the least CPU time (user + system) of N runs; 'wall fps' over the
least wall time. The ratios use CPU time: on a shared machine wall time also counts the
wait for a core. Encode fps: frames over the wall time of one run (threads count).
Matched PSNR: the peer's log size and decode fps, linear in PSNR between the two points of
its curve around ours; none where ours lies outside the peer's range.

Options:
  --size WxH    a clip size, both even (repeatable; default 640x360 and 1280x720)
  --runs N      decode runs per file, the best counted (default 3)
  --frames N    clip length in frames (default 60)
  -h, --help    this text

Environment:
  VEXA=PATH               the vexa tool (default build/release/tools/vexa, built if missing)
  VEXA_ENCODE_ARGS=ARGS   extra 'vexa encode' options, e.g. "--threads 2"
  VEXA_QUALITIES=LIST     vexa --quality values (default "$VEXA_QUALITIES")
  THEORA_QUALITIES=LIST   theora_encoder_example -v values (default "$THEORA_QUALITIES")
  VP8_QUANTIZERS=LIST     vpxenc --min-q values 0-55, --max-q 8 above (default "$VP8_QUANTIZERS")
Missing tools (libtheora-bin, vpx-tools, python3-numpy, python3-skimage) are installed with
apt-get.
EOF
}

fail() {
  echo "peers.sh: $*" >&2
  exit 1
}

even_size() {
  [[ $1 =~ ^([1-9][0-9]*)x([1-9][0-9]*)$ ]] && ((BASH_REMATCH[1] % 2 == 0 && BASH_REMATCH[2] % 2 == 0))
}

parse_options() {
  while (($#)); do
    case $1 in
      --size) even_size "${2:-}" || fail "--size wants an even WxH"; sizes+=("$2"); shift ;;
      --runs) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || fail "--runs wants a count"; runs=$2; shift ;;
      --frames) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || fail "--frames wants a count"; frames=$2; shift ;;
      -h | --help) usage; exit 0 ;;
      *) usage >&2; exit 2 ;;
    esac
    shift
  done
  ((${#sizes[@]})) || sizes=(640x360 1280x720)
}

install_missing() {
  local missing=()
  command -v theora_encoder_example >/dev/null || missing+=(libtheora-bin)
  command -v vpxenc >/dev/null || missing+=(vpx-tools)
  "$python" -c 'import numpy' 2>/dev/null || missing+=(python3-numpy)
  "$python" -c 'import skimage' 2>/dev/null || missing+=(python3-skimage)
  ((${#missing[@]})) || return 0
  local sudo=
  ((EUID == 0)) || sudo=sudo
  echo "installing ${missing[*]}" >&2
  $sudo apt-get update -qq && $sudo apt-get install -y -qq "${missing[@]}" >&2
}

find_vexa() {
  [[ -x $VEXA ]] && return
  [[ $VEXA == "$root/build/release/tools/vexa" ]] || fail "no vexa tool at $VEXA"
  echo "building $VEXA" >&2
  [[ -d $root/build/release ]] || cmake --preset release -S "$root" >&2
  cmake --build "$root/build/release" --target vexa -j2 >&2
}

# Each codec: encode_C SETTING SOURCE.y4m OUT, decode_C IN OUT.y4m, and its files' extension.
encode_vexa() {
  # shellcheck disable=SC2086 # the extra arguments are split on purpose
  "$VEXA" encode -q -i "$2" -o "$3" --quality "$1" $VEXA_ENCODE_ARGS
}
decode_vexa() { "$VEXA" decode -q "$1" -o "$2"; }
encode_theora() { theora_encoder_example -v "$1" -o "$3" "$2"; }
decode_theora() { theora_dump_video -o "$2" "$1"; }
encode_vp8() {
  # a fixed quantizer range: vpxenc wants the two at least 8 apart (so --min-q goes to 55)
  vpxenc --codec=vp8 --good --cpu-used=0 --threads=1 --end-usage=vbr --target-bitrate=100000 \
    --min-q="$1" --max-q=$(($1 + 8)) -q -o "$3" "$2" </dev/null
}
decode_vp8() { vpxdec --threads=1 -o "$2" "$1"; }
declare -A extension=([vexa]=vxa [theora]=ogv [vp8]=webm)
declare -A setting_name=([vexa]=q [theora]=v [vp8]=minq)

# Runs a command, its output to the log, and prints its wall time and its CPU time (user plus
# system), in milliseconds.
timed_ms() {
  local TIMEFORMAT='%3R %3U %3S' times real user sys
  times=$({ time "$@" >>"$work/log" 2>&1; } 2>&1) || { tail -n 20 "$work/log" >&2; fail "failed: $*"; }
  read -r real user sys <<<"$times"
  echo $((10#${real/./})) $((10#${user/./} + 10#${sys/./}))
}

# Decodes a file $runs times; prints the least CPU time and the least wall time (ms).
best_decode_ms() {
  local codec=$1 stream=$2 decoded=$3 best_cpu=-1 best_wall=-1 times wall cpu
  for ((run = 0; run < runs; run++)); do
    rm -f "$decoded"
    times=$(timed_ms "decode_$codec" "$stream" "$decoded")
    read -r wall cpu <<<"$times"
    ((best_cpu >= 0 && best_cpu <= cpu)) || best_cpu=$cpu
    ((best_wall >= 0 && best_wall <= wall)) || best_wall=$wall
  done
  echo "$best_cpu $best_wall"
}

# Encodes the source with one codec at one setting, decodes it and appends a result line.
measure() {
  local size=$1 codec=$2 value=$3 source=$4
  local setting=${setting_name[$codec]}$value
  local stream=$work/$codec-$value.${extension[$codec]} decoded=$work/decoded.y4m
  echo "$size: $codec $setting" >&2
  local encode decode psnr count
  encode=$(timed_ms "encode_$codec" "$value" "$source" "$stream")
  decode=$(best_decode_ms "$codec" "$stream" "$decoded")
  read -r psnr count < <("$python" "$peers/psnr.py" "$source" "$decoded")
  [[ -n $count ]] || fail "no PSNR for $codec $setting"
  echo "$size $codec $setting $(stat -c %s "$stream") $count $psnr $decode ${encode% *}" \
    >>"$work/results"
  rm -f "$stream" "$decoded"
}

measure_size() {
  local size=$1 source=$work/source.y4m value
  echo "$size: making $frames frames of content" >&2
  "$python" "$peers/make_content.py" "${size%x*}" "${size#*x}" "$frames" "$source"
  for value in $VEXA_QUALITIES; do measure "$size" vexa "$value" "$source"; done
  for value in $THEORA_QUALITIES; do measure "$size" theora "$value" "$source"; done
  for value in $VP8_QUANTIZERS; do measure "$size" vp8 "$value" "$source"; done
  rm -f "$source"
}

main() {
  parse_options "$@"
  install_missing
  find_vexa
  work=$(mktemp -d /dev/shm/peers-XXXXXX)
  trap 'rm -rf "$work"' EXIT
  local size
  for size in "${sizes[@]}"; do measure_size "$size"; done
  echo "vexa: $VEXA${VEXA_ENCODE_ARGS:+ (encode $VEXA_ENCODE_ARGS)}"
  echo "decode: best of $runs runs, single thread, Y4M to /dev/shm; encode: one run"
  echo "dec fps from CPU time (user + system), wall fps from wall time"
  "$python" "$peers/report.py" "$work/results"
}

main "$@"
