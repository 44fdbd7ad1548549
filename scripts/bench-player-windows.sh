#!/usr/bin/env bash
# Playback benchmark of VexaPlay.exe under Wine: plays a 1280 x 720 and a 1920 x 1080 movie at 30
# frames a second and a 1280 x 720 one at 60, each with a stereo sound track, and prints what the
# player's summary (/S) reports: frames played, skipped frames, skipped blits, sound skips and the
# frame rate obtained. It prints numbers and asserts nothing (not part of CI).
#
#   scripts/bench-player-windows.sh [SECONDS] [SWITCHES...]     (default 10 s; e.g. 10 /B2)
#
# The movies are made once with our encoder (vexa encode) and kept in build/windows/bench-movies:
# a scene of waves and grain panning back and forth, with four blocks moving across it. The sound plays into a private PulseAudio null sink, which plays in real time, so the sound
# sets the pace as on a real machine: a frame that is late loses its copy (a skipped blit) or its
# decoding (a skipped frame) instead of slowing the movie down. Without pulseaudio the movies play
# silent (and are slowed down rather than skipped). Needs the Windows build (VexaPlay, vexa and
# vexa_player_driver), Wine, python3 and, without a DISPLAY, Xvfb.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-10}"
shift $(($# > 0 ? 1 : 0))
switches="$*"
build="$root/build/windows"
prefix="$build/wineprefix"
player="$build/player/win32/VexaPlay.exe"
driver="$build/tests/player_e2e/vexa_player_driver.exe"
vexa="$build/tools/vexa.exe"
for program in "$player" "$driver" "$vexa"; do
  [ -f "$program" ] || { echo "build the Windows targets VexaPlay, vexa_player_driver and vexa first" >&2; exit 1; }
done
wine_run() { "$root/cmake/wine-run.sh" --prefix "$prefix" "$@"; }
movies="$build/bench-movies"
mkdir -p "$movies"

work="$(mktemp -d /tmp/vexa-bench-player.XXXXXX)"
xvfb=""
daemon=""
finish() {
  # Wine's desktop, started on the virtual screen, must not outlive it.
  [ -n "$xvfb" ] && "$root/cmake/wine-run.sh" --prefix "$prefix" --stop && kill "$xvfb" 2>/dev/null || true
  [ -n "$daemon" ] && kill "$daemon" 2>/dev/null && wait "$daemon" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

# NAME WIDTH HEIGHT FPS: makes NAME-SECONDSs.vxa unless it is there.
make_movie() {
  local name="$1-${seconds}s" width="$2" height="$3" fps="$4"
  [ -f "$movies/$name.vxa" ] && return
  echo "making $name.vxa ($width x $height at $fps frames/sec, $seconds s)"
  python3 - "$work" "$seconds" <<'PY'
import array, math, sys, wave
work = sys.argv[1]
# The sound: a chord that changes every half second, 22050 Hz stereo.
rate, seconds = 22050, int(sys.argv[2])
samples = array.array("h")
for i in range(seconds * rate):
    base = 110 * 2 ** ((i // (rate // 2)) % 12 / 12)
    left = sum(math.sin(2 * math.pi * base * m * i / rate) for m in (1, 1.25, 1.5))
    samples.extend((int(6000 * left), int(6000 * math.sin(2 * math.pi * base * 2 * i / rate))))
with wave.open(f"{work}/sound.wav", "wb") as f:
    f.setnchannels(2); f.setsampwidth(2); f.setframerate(rate); f.writeframes(samples.tobytes())
PY
  python3 - "$work" "$width" "$height" "$fps" "$seconds" <<'PY' |
import math, random, sys
work, w, h, fps, seconds = sys.argv[1], *map(int, sys.argv[2:])
bw, bh, frames = w + 256, h + 256, fps * seconds
# The scene, 256 pixels wider and higher than the picture: waves of several sizes and directions
# (from tables) with a fine grain on top, a plane for luma and two of half size for chroma.
random.seed(7)
wave_ = [math.sin(2 * math.pi * i / 1024) for i in range(1024)]
grain = bytes(random.randrange(16) for _ in range(8192))
def scene(pw, ph, depth, seed):
    a, b, c, d = (random.Random(seed + k).uniform(0.6, 2.4) for k in range(4))
    column = [depth * 0.4 * wave_[int(x * a) & 1023] for x in range(pw)]
    bend = [int(64 * wave_[int(x * d / 3) & 1023]) for x in range(pw)]
    rows = []
    for y in range(ph):
        base = 128 + depth * 0.3 * wave_[int(y * b) & 1023]
        rows.append(bytes(max(0, min(255, int(base + column[x]
            + depth * 0.3 * wave_[(int((x + y) * c) + bend[x] * 4) & 1023]) + grain[(x * 31 + y * 97) & 8191] - 8))
            for x in range(pw)))
    return b"".join(rows)
planes = [(scene(bw, bh, 100, 1), bw, 1), (scene(bw // 2, bh // 2, 50, 2), bw // 2, 2),
          (scene(bw // 2, bh // 2, 50, 3), bw // 2, 2)]
# Four blocks (a size, a speed in pixels a second, a luma and two chroma values) bouncing around.
blocks = [(w // 6, h // 5, 410, 230, (235, 90, 160)), (w // 8, h // 4, -300, 170, (40, 160, 100)),
          (w // 10, h // 10, 520, -380, (180, 60, 60)), (w // 5, h // 8, -170, -260, (120, 200, 200))]
def bounce(start, speed, t, span):
    p = (start + speed * t) % (2 * span)
    return int(p if p < span else 2 * span - p) & ~1
out = sys.stdout.buffer
out.write(f"YUV4MPEG2 W{w} H{h} F{fps}:1 Ip A1:1 C420jpeg\n".encode())
for n in range(frames):
    t = n / fps
    pan_x, pan_y = bounce(0, 96, t, 256), bounce(64, 60, t, 256)  # the camera pans
    out.write(b"FRAME\n")
    for index, (plane, stride, sub) in enumerate(planes):
        pw, ph, ox, oy = w // sub, h // sub, pan_x // sub, pan_y // sub
        picture = bytearray(b"".join(plane[(oy + r) * stride + ox:(oy + r) * stride + ox + pw]
                                     for r in range(ph)))
        for k, (bw_, bh_, vx, vy, colour) in enumerate(blocks):
            x = bounce(k * 97, vx, t, w - bw_) // sub
            y = bounce(k * 61, vy, t, h - bh_) // sub
            row = bytes([colour[index]]) * (bw_ // sub)
            for r in range(y, y + bh_ // sub):
                picture[r * pw + x:r * pw + x + bw_ // sub] = row
        out.write(picture)
PY
    cat >"$work/movie.y4m"
  # From a file: vexa.exe reads its standard input in text mode, where a byte 26 ends the stream.
  wine_run "$vexa" encode -q -i "Z:$work/movie.y4m" --audio "Z:$work/sound.wav" \
    -o "Z:$work/$name.vxa"
  rm "$work/movie.y4m"
  mv "$work/$name.vxa" "$movies/"
}

make_movie 720p30 1280 720 30
make_movie 1080p30 1920 1080 30
make_movie 720p60 1280 720 60

if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 2048x1536x24 3>"$work/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(cat "$work/display")"
fi

# A private sound server with a null sink (as in scripts/test-sound-recording.sh).
if command -v pulseaudio >/dev/null; then
  export XDG_RUNTIME_DIR="$work/run" PULSE_RUNTIME_PATH="$work/run/pulse"
  export PULSE_STATE_PATH="$work/state" PULSE_CONFIG_PATH="$work/state"
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    -L "module-null-sink sink_name=vexa_null rate=22050 channels=2 format=s16le" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native" \
    </dev/null >"$work/pulseaudio.log" 2>&1 &
  daemon=$!
  export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  wine_run reg.exe add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f >/dev/null 2>&1
else
  echo "pulseaudio is not installed: the movies play silent"
fi

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), switches: /S /J $switches"
printf '%-8s %8s %8s %8s %8s %12s %10s %10s\n' movie frames played skipped blits "rate" \
  "sound" "decoding"
cp "$player" "$movies/VexaPlay.exe"
value() { sed -n "s/^text $1: \([0-9.]*\).*/\1/p" "$work/$name.txt" | head -1; }
for movie in 720p30 1080p30 720p60; do
  name="$movie-${seconds}s"
  (cd "$movies" && wine_run --display "$driver" "VexaPlay.exe /S /J $switches $name.vxa" window \
    "sleep=$((seconds * 1000))" box exit) | tr -d '\r' >"$work/$name.txt" || true
  if ! grep -qx "title Vexa Playback Summary" "$work/$name.txt"; then
    echo "$movie: no summary"; sed 's/^/    /' "$work/$name.txt"; continue
  fi
  printf '%-8s %8s %8s %8s %8s %12s %10s %10s\n' "$movie" "$(value "Total frames")" \
    "$(value "Total frames played")" "$(value "Skipped frames")" "$(value "Skipped blits")" \
    "$(value "Frame rate obtained")/$(value "Frame rate played")" "$(value "Sound skips")" \
    "$(value "Percentage spent decompressing video")%"
done
echo "(rate: obtained/played frames a second; sound: sound skips; decoding: share of the time)"
