#!/usr/bin/python3
"""Draws the game's icon, in its own look: black field, a wall of coloured blocks with a few
knocked out, the white ball and the white paddle. Two pixel designs, below as text, are scaled
by whole numbers: the 16-pixel one to 16, 32 and 48, the 32-pixel one to 64, 128 and 256, so
every size stays as blocky as the game; 192 and 512, for the web page, come from the 32-pixel one
too. Writes norbatika-SIZE.png for each size and norbatika.ico, the Windows icon holding the six
up to 256 as PNG images. Python's standard library only (zlib for the PNGs); the same designs
always give the same bytes.

Usage: make_icons.py [OUT_DIR]   (default: icons/ at the top of the source tree)
"""
import os
import struct
import sys
import zlib

# ' ' transparent (the rounded corners), '.' black, 'W' white, other letters block colours.
SMALL = """
 .............. 
................
.RRRR.OOOO.YYYY.
................
.GGGG.CCCC.MMMM.
................
.OOOO......RRRR.
................
................
................
..........WW....
..........WW....
................
................
....WWWWWW......
 .............. 
"""

LARGE = """
  ............................  
 .............................. 
................................
................................
..RRRRRRRR..OOOOOOOO..YYYYYYYY..
..RRRRRRRR..OOOOOOOO..YYYYYYYY..
..RRRRRRRR..OOOOOOOO..YYYYYYYY..
................................
..GGGGGGGG..CCCCCCCC..MMMMMMMM..
..GGGGGGGG..CCCCCCCC..MMMMMMMM..
..GGGGGGGG..CCCCCCCC..MMMMMMMM..
................................
..OOOOOOOO............RRRRRRRR..
..OOOOOOOO............RRRRRRRR..
..OOOOOOOO............RRRRRRRR..
................................
..CCCCCCCC......................
..CCCCCCCC......................
..CCCCCCCC......................
................................
................................
.....................WWW........
.....................WWW........
.....................WWW........
................................
................................
................................
................................
.........WWWWWWWWWWWW...........
.........WWWWWWWWWWWW...........
 .............................. 
  ............................  
"""

COLOURS = {
    " ": (0, 0, 0, 0),
    ".": (0, 0, 0, 255),
    "W": (255, 255, 255, 255),
    "R": (232, 64, 72, 255),
    "O": (244, 150, 40, 255),
    "Y": (240, 220, 64, 255),
    "G": (72, 200, 96, 255),
    "C": (56, 184, 232, 255),
    "M": (200, 80, 216, 255),
}

SIZES = {16: SMALL, 32: SMALL, 48: SMALL, 64: LARGE, 128: LARGE, 256: LARGE}
# The web page's install icons: PNG files only, too large for the Windows icon.
WEB_SIZES = {192: LARGE, 512: LARGE}


def grid(design):
    rows = [row for row in design.split("\n") if row]
    side = len(rows)
    if any(len(row) != side for row in rows):
        raise ValueError(f"design is not {side} x {side}")
    return rows


def png(pixels, side):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(pixels[y * side * 4:(y + 1) * side * 4]) for y in range(side))
    header = struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def render(design, side):
    rows = grid(design)
    scale = side // len(rows)
    if scale * len(rows) != side:
        raise ValueError(f"{side} is not a whole multiple of {len(rows)}")
    pixels = bytearray()
    for y in range(side):
        for x in range(side):
            pixels.extend(COLOURS[rows[y // scale][x // scale]])
    return png(pixels, side)


def ico(pictures):
    """A Windows icon of PNG images: a 6-byte header, a 16-byte entry per image, the PNGs."""
    header = struct.pack("<HHH", 0, 1, len(pictures))  # reserved, type 1 (icon), count
    entries = b""
    offset = len(header) + 16 * len(pictures)
    for side, picture in pictures:
        # Width and height are one byte each, where 0 stands for 256; no palette, 1 plane, 32 bpp.
        entries += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(picture),
                               offset)
        offset += len(picture)
    return header + entries + b"".join(picture for _, picture in pictures)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "icons")
    os.makedirs(out, exist_ok=True)
    pictures = [(side, render(design, side)) for side, design in SIZES.items()]
    web = [(side, render(design, side)) for side, design in WEB_SIZES.items()]
    for side, picture in pictures + web:
        with open(os.path.join(out, f"norbatika-{side}.png"), "wb") as icon:
            icon.write(picture)
    with open(os.path.join(out, "norbatika.ico"), "wb") as icon:
        icon.write(ico(pictures))


if __name__ == "__main__":
    main()
