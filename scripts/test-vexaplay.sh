#!/usr/bin/env bash
# Plays test movies with vexaplay headless (SDL's dummy video driver, sound through SDL's disk
# audio driver, which writes what it plays to a file in real time) and checks:
#  - the frame shown (found by the frame-number code the movie carries) is exactly `vexa decode`'s
#    BGRX picture of that frame, and the summary's counts agree with the movie;
#  - the sound played matches `vexa decode --wav-dir` after alignment, with no gap;
#  - scripted keys: Space pauses and resumes, "." skips to the next movie, Escape ends play;
#  - A/V sync: a movie with a white flash and a click at the same instants; the offset between
#    each flash's present and its click's play (one clock: the present log and the times the disk
#    driver's file grew) is printed, and fails beyond +-200 ms;
#  - the off-screen YUY2 style (/B7) shows the frame too;
#  - under Xvfb with SDL's X11 video driver: the window captured with ImageMagick's `import` at a
#    paused frame is exactly `vexa decode`'s picture of that frame;
#  - a screenshot with the statistics line (/Q) of the demo movie, written as
#    build/release/vexaplay-stats.png.
#
#   scripts/test-vexaplay.sh [BUILD_DIR]     (default build/release)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
vexa="$build/tools/vexa"
play="$build/player/sdl/vexaplay"
[ -x "$play" ] || { echo "vexaplay SKIPPED: $play is not built (SDL2 missing?)"; exit 0; }

work="$(mktemp -d /tmp/vexa-vexaplay.XXXXXX)"
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/played.raw"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The movie: 50 frames of 160 x 96 at 25 frames a second whose top row carries the frame number
# in eight 16 x 16 blocks (white = 1, most significant bit first) over moving bars, and a stereo
# sweep at 22050 Hz, loud from the first sample to the last.
python3 - "$work" <<'PY'
import array, math, sys, wave
work = sys.argv[1]
w, h, frames, rate = 160, 96, 50, 22050
with open(f"{work}/coded.y4m", "wb") as y:
    y.write(b"YUV4MPEG2 W160 H96 F25:1 Ip A1:1 C420jpeg\n")
    for n in range(1, frames + 1):
        luma = bytearray(w * h)
        for row in range(h):
            for col in range(w):
                luma[row * w + col] = 40 + (col * 2 + n * 6) % 160
        for bit in range(8):
            value = 235 if n >> (7 - bit) & 1 else 16
            for row in range(16):
                luma[row * w + bit * 16: row * w + bit * 16 + 16] = bytes([value]) * 16
        chroma = bytes([128]) * (w * h // 4)
        y.write(b"FRAME\n" + bytes(luma) + chroma + chroma)
samples = array.array("h")
for i in range(2 * rate):
    phase = 2 * math.pi * (200 * i / rate + 450 * (i / rate) ** 2)
    samples.extend((int(9000 * math.sin(phase)), int(7000 * math.sin(1.5 * phase + 1))))
with wave.open(f"{work}/sweep.wav", "wb") as f:
    f.setnchannels(2); f.setsampwidth(2); f.setframerate(rate); f.writeframes(samples.tobytes())
PY
"$vexa" encode -q -i "$work/coded.y4m" --audio "$work/sweep.wav" --audio-quality 90 \
  -o "$work/coded.vxa"
mkdir -p "$work/wav"
"$vexa" decode -q "$work/coded.vxa" --surface 3 -o "$work/bgrx.raw" --wav-dir "$work/wav"

# Reads the frame code of a PPM dump and compares the picture at (x, y) with the decoded frame.
check_frame() {  # PPM X Y LABEL
  python3 - "$1" "$2" "$3" "$work/bgrx.raw" "$4" <<'PY'
import sys
path, x0, y0, raw, label = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
data = open(path, "rb").read()
parts = data.split(b"\n", 3)
width, height = map(int, parts[1].split())
pixels = parts[3]
w, h = 160, 96
def rgb(x, y):
    i = ((y0 + y) * width + x0 + x) * 3
    return pixels[i:i + 3]
frame = 0
for bit in range(8):
    frame = frame * 2 + (sum(rgb(bit * 16 + 8, 8)) > 3 * 128)
decoded = open(raw, "rb").read()
base = (frame - 1) * w * h * 4
bad = 0
for y in range(h):
    for x in range(w):
        b, g, r = decoded[base + (y * w + x) * 4: base + (y * w + x) * 4 + 3]
        if rgb(x, y) != bytes((r, g, b)):
            bad += 1
print(f"{label}: frame {frame} shown, {bad} of {w * h} pixels differ from vexa decode")
sys.exit(0 if 1 <= frame <= 50 and bad == 0 else 1)
PY
}

summary_value() { sed -n "s/^$1: \([0-9]*\).*/\1/p" "$2" | head -1; }

echo "--- play with sound, frame 20 dumped"
VEXAPLAY_TEST_DUMP="20:$work/frame20.ppm" "$play" "$work/coded.vxa" /S >"$work/summary.txt" ||
  fail "vexaplay exited with $?"
check_frame "$work/frame20.ppm" 0 0 "DIB section" || fail "the frame shown is not the decoded one"
grep -q "^Video: 160 x 96 at 25.0 frames/sec" "$work/summary.txt" || fail "summary: movie size"
[ "$(summary_value "Total frames" "$work/summary.txt")" = 50 ] || fail "summary: total frames"
[ "$(summary_value "Total frames played" "$work/summary.txt")" = 50 ] || fail "summary: played"
echo "summary: $(grep -E '^(Total frames played|Skipped frames|Sound skips|Total playback time)' \
  "$work/summary.txt" | tr '\n' ';')"
# The player closes the movie after its last frame, dropping the sound still queued (about the
# channel's eighth of a second start amount): the reference is cut to what could play, and the
# cut must stay below 200 ms.
python3 - "$work/wav/t0.wav" "$work/played.raw" "$work/played-part.wav" <<'PY' ||
import array, sys, wave
with wave.open(sys.argv[1]) as w:
    params, ref = w.getparams(), array.array("h", w.readframes(w.getnframes()))
rec = array.array("h", open(sys.argv[2], "rb").read())
loud = lambda x: [i for i, v in enumerate(x) if abs(v) > 1000]
played = (loud(rec)[-1] - loud(rec)[0]) // 2 + 1
cut_ms = (len(ref) // 2 - played) * 1000 / params.framerate
print(f"sound: {cut_ms:.0f} ms of the movie's end not played (queued when the movie closed)")
with wave.open(sys.argv[3], "wb") as w:
    w.setparams(params)
    w.writeframes(ref[:played * 2].tobytes())
sys.exit(0 if cut_ms < 200 else 1)
PY
  fail "too much of the sound's end is lost"
python3 "$root/scripts/sound_recording_check.py" "$work/played-part.wav" "$work/played.raw" \
  "SDL disk audio" || fail "the sound played is not the decoded sound"

echo "--- A/V sync"
python3 "$root/scripts/vexaplay_sync.py" make "$work"
"$vexa" encode -q -i "$work/sync.y4m" --audio "$work/sync.wav" --audio-quality 90 -o "$work/sync.vxa"
VEXAPLAY_TEST_LOG="$work/sync-shown.log" VEXAPLAY_TEST_SOUND_LOG="$work/sync-played.log" \
  SDL_DISKAUDIOFILE="$work/sync.raw" "$play" "$work/sync.vxa" /S >"$work/sync.txt" ||
  fail "vexaplay (sync) exited with $?"
grep "^Sound skips" "$work/sync.txt" || true
python3 "$root/scripts/vexaplay_sync.py" check "$work/sync-shown.log" "$work/sync-played.log" \
  "$work/sync.raw" || fail "sound and picture are out of sync"

echo "--- the YUY2 off-screen style"
VEXAPLAY_TEST_DUMP="20:$work/yuy2.ppm" "$play" "$work/coded.vxa" /B7 /S >"$work/yuy2.txt" ||
  fail "vexaplay /B7 exited with $?"
grep -q "^Blitting style: DirectDraw YUY2 off-screen surface" "$work/yuy2.txt" ||
  fail "/B7 did not open the YUY2 off-screen style"
# SDL converts YUY2 to RGB with its own rounding: the code must read right, the pixels near.
python3 - "$work/yuy2.ppm" "$work/frame20.ppm" <<'PY' || fail "the YUY2 picture is far from the DIB one"
import sys
a, b = (open(p, "rb").read().split(b"\n", 3)[3] for p in sys.argv[1:3])
worst = max(abs(x - y) for x, y in zip(a, b))
print(f"YUY2 style: largest difference from the DIB picture {worst}")
sys.exit(0 if len(a) == len(b) and worst <= 12 else 1)
PY

echo "--- under Xvfb: the window captured at a paused frame"
# Space 300 ms after the first frame pauses; the window is captured 0.8 s after that frame (by its
# title: the movie's name and the player's suffix), and Escape at 1500 ms ends play.
if command -v xvfb-run >/dev/null && command -v import >/dev/null; then
  SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy VEXAPLAY_TEST_KEYS="300:space,1500:escape" \
    VEXAPLAY_TEST_LOG="$work/x11.log" xvfb-run -a -s "-screen 0 640x480x24" bash -c '
      "$1" "$2/coded.vxa" >/dev/null 2>"$2/x11.err" &
      for i in $(seq 200); do [ -s "$2/x11.log" ] && break; sleep 0.05; done
      sleep 0.8
      timeout 10 import -depth 8 -window "coded.vxa - Vexa Video Player" "ppm:$2/x11.ppm"
      wait $!' _ "$play" "$work" </dev/null || fail "vexaplay under Xvfb failed"
  check_frame "$work/x11.ppm" 0 0 "X11 window" || fail "the X11 window does not show the decoded frame"
else
  fail "xvfb-run or ImageMagick's import is missing (scripts/setup.sh installs them)"
fi

echo "--- keys"
# Space at 400 ms and again at 1100 ms: the presents stop for about 0.7 s and all frames play.
VEXAPLAY_TEST_KEYS="400:space,1100:space" VEXAPLAY_TEST_LOG="$work/pause.log" SDL_AUDIODRIVER=dummy \
  "$play" "$work/coded.vxa" /S >"$work/pause.txt" || fail "vexaplay (pause) exited with $?"
python3 - "$work/pause.log" <<'PY' || fail "Space did not pause"
import sys
rows = [tuple(map(float, l.split())) for l in open(sys.argv[1])]
movie = [(t, f) for t, f in rows if f > 0]
gaps = [b[0] - a[0] for a, b in zip(movie, movie[1:]) if b[1] == a[1] + 1]
print(f"pause: longest step between frames {max(gaps):.0f} ms, last frame {int(movie[-1][1])}")
sys.exit(0 if 550 <= max(gaps) <= 1200 and movie[-1][1] == 50 else 1)
PY
# "." at 400 ms skips to the second movie of the list, Escape at 800 ms ends play there.
VEXAPLAY_TEST_KEYS="400:period,800:escape" VEXAPLAY_TEST_LOG="$work/keys.log" SDL_AUDIODRIVER=dummy \
  "$play" "$work/coded.vxa" "$work/coded" /S >"$work/keys.txt" || fail "vexaplay (keys) exited with $?"
python3 - "$work/keys.log" "$(summary_value "Total frames played" "$work/keys.txt")" <<'PY' ||
import sys
frames = [int(l.split()[1]) for l in open(sys.argv[1])]
starts = [i for i, f in enumerate(frames) if f == 1 and (i == 0 or frames[i - 1] != 1)]
played = int(sys.argv[2] or 0)
print(f"keys: {len(starts)} movie starts, last movie played {played} frames")
sys.exit(0 if len(starts) == 2 and 3 <= played < 40 and max(frames) < 40 else 1)
PY
  fail "'.' or Escape did not act"

echo "--- screenshot with the statistics line"
if [ -f "$build/demo.vxa" ]; then
  VEXAPLAY_TEST_DUMP="60:$work/stats.ppm" VEXAPLAY_TEST_KEYS="2600:escape" SDL_AUDIODRIVER=dummy \
    "$play" "$build/demo.vxa" /Q >/dev/null || fail "vexaplay /Q exited with $?"
  python3 - "$work/stats.ppm" "$build/vexaplay-stats.png" <<'PY' || fail "no screenshot"
import struct, sys, zlib
data = open(sys.argv[1], "rb").read().split(b"\n", 3)
width, height = map(int, data[1].split())
rows = b"".join(b"\0" + data[3][y * width * 3:(y + 1) * width * 3] for y in range(height))
chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(
    ">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
open(sys.argv[2], "wb").write(png + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
# The strip above the picture holds yellow text.
yellow = sum(1 for i in range(0, width * 3 * 12, 3) if data[3][i:i + 3] == b"\xff\xff\0")
print(f"screenshot {width} x {height}, {yellow} yellow pixels in the statistics line")
sys.exit(0 if yellow > 200 else 1)
PY
fi

[ "$failed" -eq 0 ] && echo "vexaplay tests passed"
exit "$failed"
