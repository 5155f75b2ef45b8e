#!/usr/bin/env python3
"""Writes the four folder bitmaps of the directory tree (res/bitmaps/*.bmp).

18 x 15 pixels, 8 bits per pixel with a 256-colour palette, drawn on white. The selected
variants darken the folder: olive and grey replace yellow and light grey, and the highlight
edge turns light grey. Run again after changing a picture; the output is committed.
"""
import os
import struct
import sys

WIDTH, HEIGHT = 18, 15

# Palette indexes; entries past the six colours stay black.
PALETTE = [
    (0, 0, 0),        # K black: shadow
    (153, 153, 153),  # G grey: outline
    (204, 204, 204),  # L light grey: body dither
    (255, 255, 0),    # Y yellow: body dither
    (153, 153, 0),    # O olive: darkened body
    (255, 255, 255),  # W white: background and highlight edge
]
INDEX = {"K": 0, "G": 1, "L": 2, "Y": 3, "O": 4, "W": 5}

# '.' background, 'h' highlight edge, 'd' dithered body, 'G' outline, 'K' shadow.
CLOSED = [
    "..................",
    "..................",
    "...GGGGG..........",
    "..GhhhhhG.........",
    ".GGGGGGGGGGGGGG...",
    ".GhhhhhhhhhhhhGK..",
    ".GhddddddddddddGK.",
    ".GhddddddddddddGK.",
    ".GhddddddddddddGK.",
    ".GhddddddddddddGK.",
    ".GhddddddddddddGK.",
    ".GhddddddddddddGK.",
    ".GGGGGGGGGGGGGGGK.",
    "..KKKKKKKKKKKKKKK.",
    "..................",
]
OPEN = [
    "..................",
    "..................",
    "..GGGGG...........",
    ".GhhhhhG..........",
    ".GhdddddGGGGGG....",
    ".GhddddddddddGK...",
    ".GhdddGGGGGGGGGGGG",
    ".GhddGhhhhhhhhhhGK",
    ".GhdGhddddddddddGK",
    ".GhdGhdddddddddGK.",
    ".GhGhdddddddddGK..",
    ".GGhdddddddddGK...",
    ".GGGGGGGGGGGGGK...",
    "..KKKKKKKKKKKKK...",
    "..................",
]


def render(picture, selected):
    """Rows of palette indexes, top row first."""
    rows = []
    for y, line in enumerate(picture):
        assert len(line) == WIDTH, (y, line)
        row = []
        for x, ch in enumerate(line):
            if ch == ".":
                c = "W"
            elif ch == "h":
                c = "L" if selected else "W"
            elif ch == "d":
                light = (x + y) % 2 == 0
                c = ("G" if light else "O") if selected else ("L" if light else "Y")
            else:
                c = ch
            row.append(INDEX[c])
        rows.append(row)
    assert len(rows) == HEIGHT
    return rows


def bmp_bytes(rows):
    stride = (WIDTH + 3) & ~3
    pixels = b"".join(bytes(row) + b"\0" * (stride - WIDTH) for row in reversed(rows))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    palette += b"\0" * (4 * (256 - len(PALETTE)))
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 2835, 2835,
                       256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "res", "bitmaps")
    os.makedirs(out, exist_ok=True)
    for name, picture, selected in [
        ("folder_closed.bmp", CLOSED, False),
        ("folder_closed_sel.bmp", CLOSED, True),
        ("folder_open.bmp", OPEN, False),
        ("folder_open_sel.bmp", OPEN, True),
    ]:
        with open(os.path.join(out, name), "wb") as f:
            f.write(bmp_bytes(render(picture, selected)))


if __name__ == "__main__":
    main()
