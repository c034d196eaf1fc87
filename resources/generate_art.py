#!/usr/bin/env python3
"""Generates the saver's artwork: logo.bmp (364 x 364, 24 bits per pixel, the
bitmap resource 103) and tavelin.ico (48, 32, 24 and 16 pixels at 8 bits per
pixel, the icon group "ID_APP"). Python standard library only.

    generate_art.py [OUTPUT_DIR]

The picture: a dark-blue rounded square with three speech-bubble lanes of
scrolling words in warm colours, the saver's own motif.
"""
import math
import os
import struct
import sys

BACKGROUND = (0, 0, 0)
TILE = (24, 44, 92)
TILE_EDGE = (64, 112, 200)
LANES = [(255, 196, 64), (112, 220, 150), (240, 110, 120)]
LETTER = (250, 250, 250)


def rounded_square(u, v, radius):
    """True when (u, v) in 0..1 lies inside a square with rounded corners."""
    cu = min(max(u, radius), 1 - radius)
    cv = min(max(v, radius), 1 - radius)
    return (u - cu) ** 2 + (v - cv) ** 2 <= radius ** 2


def pixel(u, v):
    """The colour at (u, v), both in 0..1, v growing downwards."""
    if not rounded_square(u, v, 0.18):
        return BACKGROUND
    if not rounded_square((u - 0.04) / 0.92, (v - 0.04) / 0.92, 0.16):
        return TILE_EDGE
    # Three lanes of text-like bars, each lane shifted as if scrolling left.
    for i, colour in enumerate(LANES):
        top = 0.22 + i * 0.22
        if top <= v < top + 0.12:
            start = 0.14 + 0.1 * i
            words = [(start, start + 0.22), (start + 0.28, start + 0.44), (start + 0.5, start + 0.62)]
            for a, b in words:
                if a <= u < min(b, 0.88):
                    return colour
            return TILE
    # A small "T" monogram in the lower right corner.
    if 0.70 <= u < 0.86 and 0.86 <= v < 0.89:
        return LETTER
    if 0.765 <= u < 0.795 and 0.86 <= v < 0.95 and v < 0.95:
        return LETTER
    return TILE


def render(size):
    """Rows top to bottom of (r, g, b), sampled 3 x 3 per pixel for soft edges."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0]
            for sy in range(3):
                for sx in range(3):
                    c = pixel((x + (sx + 0.5) / 3) / size, (y + (sy + 0.5) / 3) / size)
                    for k in range(3):
                        acc[k] += c[k]
            row.append(tuple(round(a / 9) for a in acc))
        rows.append(row)
    return rows


def bmp_24(rows):
    """A whole .bmp file: BITMAPFILEHEADER + BITMAPINFOHEADER + bottom-up BGR rows."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def build_palette(images):
    """At most 256 colours shared by all icon sizes: quantised to 6-7-6 levels."""
    def q(c):
        return (round(c[0] / 51) * 51, round(c[1] / 42.5) * 42 if c[1] < 255 else 255, round(c[2] / 51) * 51)
    colours = []
    seen = {}
    for rows in images:
        for row in rows:
            for c in row:
                k = q(c)
                if k not in seen:
                    seen[k] = len(colours)
                    colours.append(k)
    if len(colours) > 256:
        raise SystemExit("palette overflow: %d colours" % len(colours))
    colours += [(0, 0, 0)] * (256 - len(colours))
    return colours, lambda c: seen[q(c)]


def icon_image(rows, index_of, palette):
    """One 8-bit icon image: BITMAPINFOHEADER (double height), palette, XOR and AND masks."""
    size = len(rows)
    xor_stride = (size + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(rows):
        line = bytes(index_of(c) for c in row)
        xor += line + bytes(xor_stride - len(line))
    # Fully opaque: the black corners are part of the picture.
    and_mask = bytes(and_stride * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(and_mask), 0, 0, 256, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return info + pal + xor + and_mask


def ico(sizes):
    images = [render(s) for s in sizes]
    palette, index_of = build_palette(images)
    blobs = [icon_image(rows, index_of, palette) for rows in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in zip(sizes, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(out_dir, "logo.bmp"), "wb") as f:
        f.write(bmp_24(render(364)))
    with open(os.path.join(out_dir, "tavelin.ico"), "wb") as f:
        f.write(ico([48, 32, 24, 16]))


if __name__ == "__main__":
    main()
