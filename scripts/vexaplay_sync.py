#!/usr/bin/env python3
"""The A/V sync measurement of vexaplay.

  vexaplay_sync.py make DIR
      writes DIR/sync.y4m and DIR/sync.wav: 80 black frames at 25 frames a second with a white
      frame every 10 frames from frame 6, and stereo silence at 22050 Hz with an 8 ms click at
      the instant each white frame starts.
  vexaplay_sync.py check PRESENT_LOG SOUND_LOG PLAYED_RAW
      finds when each white frame was presented (the present log: "MS FRAME" per present) and
      when each click was played (its byte position in what SDL's disk audio driver wrote, put on
      the same clock by the sound log: "MS BYTES" whenever that file grew), prints every offset,
      their mean and worst, and fails when one lies outside +-200 ms. Positive: sound early.
"""
import array
import math
import sys
import wave

FPS, FRAMES, RATE = 25, 80, 22050
FLASHES = list(range(6, FRAMES - 9, 10))  # white frames: 6, 16, ..., 66
WIDTH, HEIGHT = 64, 48
CLICK_MS = 8


def make(work):
    with open(f"{work}/sync.y4m", "wb") as y:
        y.write(b"YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n" % (WIDTH, HEIGHT, FPS))
        chroma = bytes([128]) * (WIDTH * HEIGHT // 4)
        for n in range(1, FRAMES + 1):
            luma = bytes([235 if n in FLASHES else 16]) * (WIDTH * HEIGHT)
            y.write(b"FRAME\n" + luma + chroma + chroma)
    samples = array.array("h", bytes(4 * RATE * FRAMES // FPS))
    for n in FLASHES:
        start = (n - 1) * RATE // FPS
        for i in range(RATE * CLICK_MS // 1000):
            v = int(20000 * math.sin(2 * math.pi * 2000 * i / RATE))
            samples[2 * (start + i)] = samples[2 * (start + i) + 1] = v
    with wave.open(f"{work}/sync.wav", "wb") as f:
        f.setnchannels(2)
        f.setsampwidth(2)
        f.setframerate(RATE)
        f.writeframes(samples.tobytes())


def click_bytes(raw):
    """Byte offsets of the click onsets in the played stereo 16-bit file."""
    pcm = array.array("h", raw[: len(raw) // 4 * 4])
    left = pcm[0::2]
    limit = max(abs(v) for v in left) * 3 // 10
    onsets, last = [], -RATE
    for i, v in enumerate(left):
        if abs(v) > limit and i - last > RATE // 10:
            onsets.append(i * 4)
        if abs(v) > limit:
            last = i
    return onsets


def played_clock(sound_log):
    """Maps a byte position of the disk file to the time it was written. The file grows in steps
    (stdio buffers SDL's writes), and each logged size is seen at or after the write that made
    it: the rate comes from a fit over all lines, the offset from the earliest-seen line."""
    rows = [tuple(map(float, l.split())) for l in open(sound_log)]
    rows = rows[len(rows) // 10:]  # skip the device's start-up
    n = len(rows)
    mt = sum(t for t, _ in rows) / n
    mb = sum(b for _, b in rows) / n
    per_ms = sum((t - mt) * (b - mb) for t, b in rows) / sum((t - mt) ** 2 for t, _ in rows)
    base = min(t - b / per_ms for t, b in rows)
    return (lambda b: base + b / per_ms), per_ms * 1000 / 4


def check(present_log, sound_log, played_raw):
    shown = {}
    for line in open(present_log):
        t, f = line.split()
        shown.setdefault(int(f), float(t))
    flashes = [shown[n] for n in FLASHES if n in shown]
    clock, rate = played_clock(sound_log)
    clicks = [clock(b) for b in click_bytes(open(played_raw, "rb").read())]
    print(f"sync: {len(flashes)} flashes shown, {len(clicks)} clicks played, "
          f"disk driver at {rate:.0f} frames/s")
    if len(flashes) != len(FLASHES) or len(clicks) != len(FLASHES):
        print(f"sync: expected {len(FLASHES)} of each")
        return 1
    offsets = [f - c for f, c in zip(flashes, clicks)]  # positive: the click came first
    print("sync: offsets (ms, + = sound early): " + " ".join(f"{o:+.0f}" for o in offsets))
    worst = max(offsets, key=abs)
    print(f"sync: mean {sum(offsets) / len(offsets):+.0f} ms, worst {worst:+.0f} ms "
          f"(goal +45 to -125 ms, limit +-200 ms)")
    return 0 if abs(worst) <= 200 else 1


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        sys.exit(check(*sys.argv[2:5]))
