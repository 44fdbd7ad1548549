#!/usr/bin/env python3
"""Writes the player's icon (vexaplay.ico: a white "V" on a blue disc, 32 x 32, 32-bit) and its
hidden cursor (transparent.cur: 32 x 32, every pixel transparent) next to this script. Both files
are committed; run this again only to change them."""
import os
import struct

SIZE = 32
here = os.path.dirname(os.path.abspath(__file__))


def directory(kind, width, height, hotspot, image):
    # ICONDIR + one ICONDIRENTRY; for a cursor the planes/bit-count fields hold the hot spot.
    planes, bits = hotspot if kind == 2 else (1, 32)
    header = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", width, height, 0, 0, planes, bits, len(image), 6 + 16)
    return header + entry + image


def bitmap_header(bits, mask_rows_bytes):
    # BITMAPINFOHEADER with the doubled height of icon images (colour rows, then the AND mask).
    return struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, bits, 0, mask_rows_bytes, 0, 0, 0, 0)


def icon_pixel(x, y):
    cx, cy = x - 15.5, y - 15.5
    if cx * cx + cy * cy > 15.5 * 15.5:
        return (0, 0, 0, 0)
    # The "V": two strokes from the top corners to the bottom centre (rows count from the top).
    top = 31 - y
    for side in (-1, 1):
        centre = 15.5 + side * (10 - 10 * (top - 6) / 20)
        if 6 <= top <= 26 and abs(x - centre) < 3:
            return (255, 255, 255, 255)
    return (200, 90, 20, 255)  # B, G, R, A: a deep blue


def icon():
    colour = b"".join(bytes(icon_pixel(x, y)) for y in range(SIZE) for x in range(SIZE))
    mask = bytes(SIZE * SIZE // 8)  # alpha decides; the AND mask is all opaque
    image = bitmap_header(32, len(colour) + len(mask)) + colour + mask
    return directory(1, SIZE, SIZE, None, image)


def cursor():
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    xor = bytes(SIZE * SIZE // 8)             # nothing drawn
    and_mask = b"\xff" * (SIZE * SIZE // 8)   # the screen shows through everywhere
    image = bitmap_header(1, len(xor) + len(and_mask)) + palette + xor + and_mask
    return directory(2, SIZE, SIZE, (0, 0), image)


for name, data in (("vexaplay.ico", icon()), ("transparent.cur", cursor())):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
