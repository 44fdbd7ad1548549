#!/usr/bin/python3
# Makes the benchmark's test movie as Y4M (4:2:0): a camera pan with a slow zoom over one of
# scikit-image's photographs, a small picture moving across it, then a cut to a second photograph
# with a pan the other way. Light noise stands in for a camera's sensor noise.
#   make_content.py WIDTH HEIGHT FRAMES OUT.y4m
import sys

import numpy as np
from skimage import data, transform, util

width, height, frames, out = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
rng = np.random.default_rng(1)
scenes = [util.img_as_float(data.chelsea()), util.img_as_float(data.coffee())]
sprite = transform.resize(util.img_as_float(data.astronaut()), (height // 4, height // 4))


def camera(photo, t, direction):
    """The view at time t (0..1): a window of 80 % shrinking to 60 % of the photograph."""
    ph, pw = photo.shape[:2]
    aspect = width / height
    view_w = min(pw, ph * aspect) * (0.8 - 0.2 * t)
    view_h = view_w / aspect
    x0 = (pw - view_w) * (t if direction > 0 else 1 - t)
    y0 = (ph - view_h) * (0.3 + 0.4 * t)
    scale = view_w / width
    tf = transform.AffineTransform(scale=(scale, scale), translation=(x0, y0))
    return transform.warp(photo, tf, output_shape=(height, width), order=1)


def to_y4m_planes(rgb):
    r, g, b = rgb[..., 0] * 255, rgb[..., 1] * 255, rgb[..., 2] * 255
    y = 16 + 0.257 * r + 0.504 * g + 0.098 * b
    u = 128 - 0.148 * r - 0.291 * g + 0.439 * b
    v = 128 + 0.439 * r - 0.368 * g - 0.071 * b
    def sub(p):
        return (p[0::2, 0::2] + p[1::2, 0::2] + p[0::2, 1::2] + p[1::2, 1::2]) / 4
    return [np.clip(np.rint(p), 0, 255).astype(np.uint8) for p in (y, sub(u), sub(v))]


with open(out, "wb") as f:
    f.write(b"YUV4MPEG2 W%d H%d F30:1 Ip A1:1 C420jpeg\n" % (width, height))
    cut = frames * 3 // 5
    for i in range(frames):
        first = i < cut
        t = i / max(1, cut - 1) if first else (i - cut) / max(1, frames - cut - 1)
        picture = camera(scenes[0 if first else 1], t, 1 if first else -1)
        if first:
            sh, sw = sprite.shape[:2]
            x = int((width - sw) * (1 - t))
            y = int((height - sh) * (0.5 + 0.4 * np.sin(6 * t)))
            y = max(0, min(height - sh, y))
            picture[y:y + sh, x:x + sw] = sprite
        picture = np.clip(picture + rng.normal(0, 1.2 / 255, picture.shape), 0, 1)
        f.write(b"FRAME\n")
        for plane in to_y4m_planes(picture):
            f.write(plane.tobytes())
