#!/usr/bin/env python3
"""Draws the application icon (res/quillmnt.ico): a window with a service cog on it.

Two images, 32x32 and 16x16, 16 colours each (4 bits per pixel with the standard 16-colour
palette) and a transparency mask. Plain Python, no imaging library: run it again to redraw.
"""
import math
import struct
import sys

# The standard 16-colour palette (index: (r, g, b)).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, YELLOW, WHITE, BLUE = 0, 4, 7, 8, 11, 15, 12
CLEAR = None  # transparent


def draw(size):
    """Returns rows (top first) of palette indexes or CLEAR."""
    s = size / 32.0
    pixels = [[CLEAR] * size for _ in range(size)]

    # The window: black frame, navy title bar, white body.
    left, top, right, bottom = round(1 * s), round(3 * s), round(25 * s), round(22 * s)
    title = top + max(2, round(4 * s))
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            if edge:
                pixels[y][x] = BLACK
            elif y < title:
                pixels[y][x] = NAVY
            else:
                pixels[y][x] = WHITE
    # Title bar buttons (large image only).
    if size >= 32:
        for x in (right - 3, right - 6):
            pixels[top + 2][x] = WHITE
            pixels[top + 2][x - 1] = WHITE

    # The cog, lower right, over the window: a yellow face, a black outline, a hole.
    cx, cy = 21.5 * s, 21.5 * s
    outer, inner, hub = 9.5 * s, 6.8 * s, 2.6 * s
    teeth = 8

    def in_cog(x, y):
        dx, dy = x + 0.5 - cx, y + 0.5 - cy
        r = math.hypot(dx, dy)
        # A tooth covers a little under half of each 1/teeth of the circle.
        phase = (math.atan2(dy, dx) * teeth / (2 * math.pi)) % 1.0
        return hub < r <= inner or (hub < r <= outer and phase < 0.42)

    for y in range(size):
        for x in range(size):
            if not in_cog(x, y):
                continue
            edge = any(not in_cog(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            pixels[y][x] = BLACK if edge else YELLOW
    return pixels


def bmp_image(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is CLEAR else p for p in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(data + b"\0" * ((-len(data)) % 4))
        bits = 0
        mask = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is CLEAR else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b"\0" * ((-len(mask)) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def main(path):
    images = [(size, bmp_image(size, draw(size))) for size in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "res/quillmnt.ico")
