#!/usr/bin/python3
# Prints the luma PSNR of a decoded YUV4MPEG2 movie against its source, from the mean squared
# error over every luma sample of the whole clip: 10 log10(255^2 / MSE).
# A decoded picture larger than the source (libtheora's decoder writes the whole coded frame,
# rounded up to 16) is cropped where libtheora's example encoder puts the picture: centred,
# at even offsets.
#   psnr.py SOURCE.y4m DECODED.y4m
import itertools
import math
import sys

import numpy as np


def chroma_shift(colour):
    """Horizontal and vertical chroma subsampling (log 2) of a Y4M colour space tag."""
    if colour.startswith("mono"):
        return None
    if colour.startswith("444"):
        return 0, 0
    if colour.startswith("422"):
        return 1, 0
    return 1, 1


def y4m_lumas(path):
    """Yields each frame's luma plane as a 2-D uint8 array."""
    with open(path, "rb") as f:
        header = f.readline().split()
        if not header or header[0] != b"YUV4MPEG2":
            sys.exit(f"{path}: not a YUV4MPEG2 file")
        tags = {t[:1].decode(): t[1:].decode() for t in header[1:]}
        width, height = int(tags["W"]), int(tags["H"])
        shift = chroma_shift(tags.get("C", "420"))
        chroma = 0
        if shift:
            chroma = 2 * ((width + (1 << shift[0]) - 1) >> shift[0]) * \
                ((height + (1 << shift[1]) - 1) >> shift[1])
        while True:
            line = f.readline()
            if not line:
                return
            if not line.startswith(b"FRAME"):
                sys.exit(f"{path}: frame header expected")
            luma = f.read(width * height)
            if len(luma) < width * height or len(f.read(chroma)) < chroma:
                sys.exit(f"{path}: truncated frame")
            yield np.frombuffer(luma, np.uint8).reshape(height, width)


def crop_to(picture, height, width):
    """The source-sized picture inside a larger decoded frame (centred, even offsets)."""
    dy = ((picture.shape[0] - height) >> 1) & ~1
    dx = ((picture.shape[1] - width) >> 1) & ~1
    return picture[dy:dy + height, dx:dx + width]


def psnr_y(source, decoded):
    squared, samples, frames = 0, 0, 0
    for a, b in itertools.zip_longest(y4m_lumas(source), y4m_lumas(decoded)):
        if a is None or b is None:
            sys.exit(f"{decoded}: {'more' if a is None else 'fewer'} frames than the source")
        if b.shape[0] < a.shape[0] or b.shape[1] < a.shape[1]:
            sys.exit(f"{decoded}: pictures smaller than the source's")
        diff = crop_to(b, *a.shape).astype(np.int32) - a
        squared += int(np.einsum("ij,ij->", diff, diff, dtype=np.int64))
        samples += diff.size
        frames += 1
    if frames == 0:
        sys.exit(f"{source}: no frames")
    mse = squared / samples
    return math.inf if mse == 0 else 10 * math.log10(255 * 255 / mse), frames


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: psnr.py SOURCE.y4m DECODED.y4m")
    db, frames = psnr_y(sys.argv[1], sys.argv[2])
    print(f"{db:.3f} {frames}")
