#!/usr/bin/python3
# Prints the peer benchmark's tables from its measurements: one line per encoding, then our
# decode speed and file size against each peer's at the same luma PSNR.
#   report.py RESULTS
# Each line of RESULTS: size codec setting bytes frames psnr decode_cpu decode_wall encode_wall
# (size as WxH; times in milliseconds for all frames; decode_cpu is user plus system time).
import math
import sys
from collections import namedtuple

Point = namedtuple("Point", "size codec setting bytes frames psnr "
                            "decode_cpu decode_wall encode_wall")
OURS = "vexa"


def read_points(path):
    points = []
    with open(path) as f:
        for line in f:
            size, codec, setting, size_bytes, frames, *numbers = line.split()
            points.append(Point(size, codec, setting, int(size_bytes), int(frames),
                                *map(float, numbers)))
    return points


def pixels(point):
    w, h = point.size.split("x")
    return int(w) * int(h) * point.frames


def fps(frames, milliseconds):
    return frames * 1e3 / max(milliseconds, 1)


def print_encodings(points):
    print(f"{'codec':8}{'setting':>9}{'bytes':>11}{'bit/px':>8}{'PSNR-Y':>8}"
          f"{'dec fps':>9}{'wall fps':>9}{'enc fps':>9}")
    for p in points:
        print(f"{p.codec:8}{p.setting:>9}{p.bytes:>11}{8 * p.bytes / pixels(p):>8.3f}"
              f"{p.psnr:>8.2f}{fps(p.frames, p.decode_cpu):>9.1f}"
              f"{fps(p.frames, p.decode_wall):>9.1f}{fps(p.frames, p.encode_wall):>9.2f}")


def at_psnr(curve, psnr):
    """A peer's log file size and decode fps at this PSNR, each linear in PSNR between the two
    neighbouring points of its curve; None outside the curve's range."""
    curve = sorted(curve, key=lambda p: p.psnr)
    for lo, hi in zip(curve, curve[1:]):
        if lo.psnr <= psnr <= hi.psnr:
            t = 0 if hi.psnr == lo.psnr else (psnr - lo.psnr) / (hi.psnr - lo.psnr)
            log_bytes = math.log(lo.bytes) + t * (math.log(hi.bytes) - math.log(lo.bytes))
            speed = fps(lo.frames, lo.decode_cpu)
            speed += t * (fps(hi.frames, hi.decode_cpu) - speed)
            return math.exp(log_bytes), speed
    return None


def print_ratios(points):
    ours = [p for p in points if p.codec == OURS]
    peers = sorted({p.codec for p in points} - {OURS})
    print("At equal PSNR-Y: our decode speed (CPU time) and file size over each peer's, the peer's\n"
          "curve interpolated (log size and decode fps linear in PSNR between its two neighbouring\n"
          "points; '-': outside its range)")
    print(f"{'vexa':>9}{'PSNR-Y':>8}" +
          "".join(f"{'dec/' + peer:>13}{'size/' + peer:>13}" for peer in peers))
    for p in ours:
        line = f"{p.setting:>9}{p.psnr:>8.2f}"
        for peer in peers:
            match = at_psnr([q for q in points if q.codec == peer], p.psnr)
            if match is None:
                line += f"{'-':>13}{'-':>13}"
            else:
                line += f"{fps(p.frames, p.decode_cpu) / match[1]:>12.2f}x"
                line += f"{p.bytes / match[0]:>12.2f}x"
        print(line)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: report.py RESULTS")
    points = read_points(sys.argv[1])
    for size in dict.fromkeys(p.size for p in points):
        group = [p for p in points if p.size == size]
        print(f"\n{size}, {group[0].frames} frames")
        print_encodings(group)
        print()
        print_ratios(group)


if __name__ == "__main__":
    main()
