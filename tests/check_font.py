#!/usr/bin/env python3
"""Checks every property the game relies on in its embedded font, and that the font is the one
its glyph source gives.

Usage: check_font.py properties FONT.ttf GLYPHS.txt
       check_font.py regenerate FONT.ttf GLYPHS.txt
"""
import os
import subprocess
import sys
import tempfile

from fontTools.ttLib import TTFont

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "font"))
import make_font  # noqa: E402

TABLES = {"OS/2", "cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "name", "post"}
GAME_CHARACTERS = (set(" !\"',-.:;?_©\u201c\u201d") | set(map(chr, range(0x30, 0x3A)))
                   | set(map(chr, range(0x41, 0x5B))) | set(map(chr, range(0x61, 0x7B))))
KATAKANA = set(map(chr, range(0x30A1, 0x30F4)))


def check(font_path, glyphs_path):
    problems = []
    font = TTFont(font_path)

    tables = set(font.keys()) - {"GlyphOrder"}
    if tables != TABLES:
        problems.append(f"tables {sorted(tables)}")
    order = font.getGlyphOrder()
    if len(order) != 160 or order[0] != ".notdef":
        problems.append(f"{len(order)} glyphs, first {order[0]}")

    if len(GAME_CHARACTERS) != 76 or len(KATAKANA) != 83:
        problems.append("the expected character sets are miscounted")
    expected = GAME_CHARACTERS | KATAKANA
    # Every subtable, since which one a renderer picks is its own affair.
    for table in font["cmap"].tables:
        mapped = {chr(cp) for cp in table.cmap}
        if mapped != expected:
            problems.append(f"cmap ({table.platformID}, {table.platEncID}) differs: missing"
                            f" {sorted(expected - mapped)}, extra {sorted(mapped - expected)}")
    cmap = font.getBestCmap()

    head, hhea, os2 = font["head"], font["hhea"], font["OS/2"]
    if head.unitsPerEm != 1024:
        problems.append(f"units per em {head.unitsPerEm}")
    metrics = {
        "hhea ascent": (hhea.ascent, 896), "hhea descent": (hhea.descent, -128),
        "hhea line gap": (hhea.lineGap, 0),
        "typo ascender": (os2.sTypoAscender, 896), "typo descender": (os2.sTypoDescender, -128),
        "typo line gap": (os2.sTypoLineGap, 0),
        "win ascent": (os2.usWinAscent, 896), "win descent": (os2.usWinDescent, 128),
    }
    for name, (value, expected) in metrics.items():
        if value != expected:
            problems.append(f"{name} is {value}, not {expected}")

    glyf, hmtx = font["glyf"], font["hmtx"]
    for name in order:
        glyph = glyf[name]
        if glyph.isComposite():
            problems.append(f"{name} is a composite")
            continue
        if glyph.numberOfContours > 0:
            coordinates, _, flags = glyph.getCoordinates(glyf)
            if any(x % 128 or y % 128 for x, y in coordinates):
                problems.append(f"{name} has a point off the 128-unit grid")
            if any(not flag & 1 for flag in flags):
                problems.append(f"{name} has a curve point")
    for cp, name in cmap.items():
        if hmtx[name][0] != 1024:
            problems.append(f"U+{cp:04X} advances {hmtx[name][0]}")

    names = {record.nameID: record.toUnicode() for record in font["name"].names}
    if "Norbatika" not in names.get(1, ""):
        problems.append(f"family name {names.get(1)!r}")
    if not names.get(5, "").startswith("Version"):
        problems.append(f"version {names.get(5)!r}")
    if "Norbatika" not in names.get(0, "") or "Copyright" not in names.get(0, ""):
        problems.append(f"copyright {names.get(0)!r}")

    # Each glyph's outline covers exactly its grid's pixels, with the right winding: fill the
    # grid by the nonzero rule from the contours and compare with the source.
    source = dict(make_font.read_glyphs(glyphs_path))
    for cp, rows in source.items():
        name = ".notdef" if cp is None else cmap.get(cp)
        if name is None or cover(glyf[name], glyf) != rows:
            label = ".notdef" if cp is None else f"U+{cp:04X} {chr(cp)}"
            problems.append(f"{label} does not match its grid in {os.path.basename(glyphs_path)}")

    size = os.path.getsize(font_path)
    if size >= 40 * 1024:
        problems.append(f"{size} bytes, not under 40 KB")
    return problems, size


def cover(glyph, glyf):
    """The 8 x 8 grid that the glyph's contours fill by the nonzero winding rule, where outer
    contours must run clockwise (TrueType) and so count +1."""
    grid = [["."] * 8 for _ in range(8)]
    if glyph.numberOfContours <= 0:
        return ["".join(row) for row in grid]
    coordinates, ends, _ = glyph.getCoordinates(glyf)
    contours, start = [], 0
    for end in ends:
        contours.append(list(coordinates[start:end + 1]))
        start = end + 1
    for row in range(8):
        for column in range(8):
            x, y = column * 128 + 64, (7 - row) * 128 - 64  # the pixel's centre
            winding = 0
            for contour in contours:
                for (x0, y0), (x1, y1) in zip(contour, contour[1:] + contour[:1]):
                    if x0 == x1 and min(y0, y1) <= y < max(y0, y1) and x0 > x:
                        # A ray to the right crosses this vertical edge: downward is clockwise.
                        winding += 1 if y1 < y0 else -1
            if winding not in (0, 1):
                grid[row][column] = "?"
            elif winding == 1:
                grid[row][column] = "#"
    return ["".join(row) for row in grid]


def regenerate(font_path, glyphs_path):
    """Runs the generator twice, under different hash seeds so that no set or dict order can
    slip into the file, and compares both results with the committed font byte for byte."""
    problems = []
    committed = open(font_path, "rb").read()
    with tempfile.TemporaryDirectory() as folder:
        built = []
        for seed in ("1", "2"):
            target = os.path.join(folder, f"seed{seed}.ttf")
            subprocess.run([sys.executable, make_font.__file__, glyphs_path, target], check=True,
                           stdout=subprocess.DEVNULL, env={**os.environ, "PYTHONHASHSEED": seed})
            built.append(open(target, "rb").read())
    if built[0] != built[1]:
        problems.append("two runs of the generator give different bytes")
    if built[0] != committed:
        problems.append(f"{font_path} is not what its glyph source gives"
                        " (regenerate it: cmake --build --preset tests --target assets)")
    return problems, len(committed)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("properties", "regenerate"):
        sys.exit(__doc__)
    run = check if sys.argv[1] == "properties" else regenerate
    problems, size = run(sys.argv[2], sys.argv[3])
    for problem in problems:
        print("FAIL:", problem)
    print(f"font {sys.argv[1]}: {size} bytes, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
