#!/usr/bin/env python3
"""Test pictures for the player's end-to-end tests.

  frames.py movie OUT.y4m FRAMES BASE    a 160 x 128 Y4M movie whose frame n (from 1) carries the
                                         code BASE + n in its top-left corner
  frames.py compare CAPTURE W H REFERENCE FRAME [X Y [SX SY]]
                                         exit 0 when the W x H capture (32-bit B, G, R, X rows, as
                                         the driver writes them) shows frame FRAME of REFERENCE
                                         (`vexa decode --surface 3` output of the movie) at X, Y
                                         (default 0, 0), byte for byte in B, G and R; SX, SY: the
                                         picture is that many times wider and taller (1 or 2)
  frames.py code CAPTURE W H X Y [SX SY] prints the frame code of the picture at X, Y
  frames.py yellow CAPTURE W H           prints how many pixels of each row are yellow (the
                                         statistics line), rows separated by blanks

The code is 4 x 4 blocks of 16 x 16 pixels (bit i at block column i % 4, row i / 4; white = 1),
each on a 16 x 16 area of its own with grey chroma, so the codec keeps every block flat and a
capture tells at a glance which frame the player shows.
"""
import sys

WIDTH, HEIGHT, BLOCK = 160, 128, 16


def code_bit(x, y, code):
    if x >= 4 * BLOCK or y >= 4 * BLOCK:
        return None
    return (code >> ((y // BLOCK) * 4 + x // BLOCK)) & 1


def frame_planes(code, n):
    y_plane = bytearray(WIDTH * HEIGHT)
    for y in range(HEIGHT):
        for x in range(WIDTH):
            bit = code_bit(x, y, code)
            # Elsewhere a diagonal ramp that moves with the frame, so neighbours differ everywhere.
            y_plane[y * WIDTH + x] = (235 if bit else 16) if bit is not None else 40 + (x + 2 * y + 3 * n) % 160
    u_plane = bytearray(WIDTH * HEIGHT // 4)
    v_plane = bytearray(WIDTH * HEIGHT // 4)
    for y in range(HEIGHT // 2):
        for x in range(WIDTH // 2):
            inside = code_bit(2 * x, 2 * y, 0) is not None
            u_plane[y * WIDTH // 2 + x] = 128 if inside else 80 + (x + n) % 96
            v_plane[y * WIDTH // 2 + x] = 128 if inside else 170 - y % 64
    return bytes(y_plane + u_plane + v_plane)


def movie(out, frames, base):
    with open(out, "wb") as f:
        f.write(b"YUV4MPEG2 W%d H%d F10:1 Ip A1:1 C420jpeg\n" % (WIDTH, HEIGHT))
        for n in range(1, frames + 1):
            f.write(b"FRAME\n" + frame_planes(base + n, n))


def read_capture(capture, width, height, x, y, sx, sy):
    """The capture's rows, or None when the picture at x, y does not fit in it."""
    with open(capture, "rb") as f:
        shot = f.read()
    if len(shot) != width * height * 4 or x < 0 or y < 0 or x + WIDTH * sx > width or y + HEIGHT * sy > height:
        return None
    return shot


def code(capture, width, height, x, y, sx=1, sy=1):
    shot = read_capture(capture, width, height, x, y, sx, sy)
    if shot is None:
        return -1
    value = 0
    for bit in range(16):
        px = x + ((bit % 4) * BLOCK + BLOCK // 2) * sx
        py = y + ((bit // 4) * BLOCK + BLOCK // 2) * sy
        if shot[(py * width + px) * 4 + 1] > 128:
            value |= 1 << bit
    return value


def yellow(capture, width, height):
    with open(capture, "rb") as f:
        shot = f.read()
    rows = (shot[y * width * 4:(y + 1) * width * 4] for y in range(height))
    return " ".join(str(sum(1 for x in range(width) if row[4 * x:4 * x + 3] == b"\0\xff\xff")) for row in rows)


def compare(capture, width, height, reference, frame, x=0, y=0, sx=1, sy=1):
    pw, ph = WIDTH * sx, HEIGHT * sy
    size = pw * ph * 4
    with open(reference, "rb") as f:
        f.seek((frame - 1) * size)
        expected = f.read(size)
    shot = read_capture(capture, width, height, x, y, sx, sy)
    if len(expected) != size or shot is None:
        print(f"compare: frame {frame} or a {width} x {height} capture is missing")
        return 1
    differ = 0
    for row_y in range(ph):
        start = ((y + row_y) * width + x) * 4
        row, ref = shot[start:start + pw * 4], expected[row_y * pw * 4:(row_y + 1) * pw * 4]
        differ += sum(1 for i in range(pw) if row[4 * i:4 * i + 3] != ref[4 * i:4 * i + 3])
    if differ:
        print(f"compare: {differ} pixels differ from frame {frame}")
    return 1 if differ else 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["movie"] and len(sys.argv) == 5:
        movie(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif sys.argv[1:2] == ["compare"] and len(sys.argv) in (7, 9, 11):
        sys.exit(compare(sys.argv[2], *map(int, sys.argv[3:5]), sys.argv[5], *map(int, sys.argv[6:])))
    elif sys.argv[1:2] == ["code"] and len(sys.argv) in (7, 9):
        print(code(sys.argv[2], *map(int, sys.argv[3:])))
    elif sys.argv[1:2] == ["yellow"] and len(sys.argv) == 5:
        print(yellow(sys.argv[2], *map(int, sys.argv[3:])))
    else:
        sys.exit(__doc__)
