#!/usr/bin/env python3
"""Writes the 24 x 24, 16-colour design-time images of the display components as bitmap files.

Run from anywhere; the files land next to their components. The build embeds them as byte
arrays named after the image.
"""
import os
import struct

# The classic 16-colour palette, as (blue, green, red).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, GREEN, SILVER, GRAY, RED, LIME, BLUE, WHITE = 0, 2, 7, 8, 9, 10, 12, 15
SIZE = 24


def bitmap_file(pixels):
    """pixels[y][x] palette indices, top row first; the file stores rows bottom-up."""
    row_bytes = SIZE // 2
    rows = b"".join(
        bytes((pixels[y][x] << 4) | pixels[y][x + 1] for x in range(0, SIZE, 2))
        for y in reversed(range(SIZE)))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 4, 0, row_bytes * SIZE, 2835, 2835, 16,
                       0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + palette + rows


def graph_image():
    p = [[BLACK] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            if y in (0, SIZE - 1) or x in (0, SIZE - 1):
                p[y][x] = GRAY
            elif y % 6 == 5 or x % 6 == 3:
                p[y][x] = GREEN
    trace = [18, 17, 15, 16, 12, 10, 11, 8, 9, 6, 7, 5, 4, 6, 8, 7, 5, 3, 4, 6, 5, 4]
    for x, y in enumerate(trace, start=1):
        p[y][x] = LIME
    return p


def gauge_image():
    p = [[SILVER] * SIZE for _ in range(SIZE)]
    for y in range(6, 18):
        for x in range(1, SIZE - 1):
            edge = y in (6, 17) or x in (1, SIZE - 2)
            p[y][x] = BLACK if edge else (BLUE if x < 14 else WHITE)
    return p


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for folder, name, image in (("Perfgrap", "TPERFORMANCEGRAPH", graph_image()),
                                ("Cgauges", "TCGAUGE", gauge_image())):
        with open(os.path.join(here, folder, name + ".bmp"), "wb") as out:
            out.write(bitmap_file(image))


if __name__ == "__main__":
    main()
