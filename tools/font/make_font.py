#!/usr/bin/env python3
"""Builds ass/norbatika.ttf, the game's 8 x 8 pixel TrueType font, from tools/font/glyphs.txt.

Every pixel of a glyph's grid becomes a 128 x 128 unit square; neighbouring pixels are merged
into non-overlapping outlines (outer contours clockwise, holes counter-clockwise), so that at
16 points each pixel renders as exactly one 2 x 2 block. The same source gives the same bytes.

Usage: python3 tools/font/make_font.py [GLYPHS.txt] [OUTPUT.ttf]
"""
import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

UNITS_PER_EM = 1024
PIXEL = 128  # font units per design pixel: 8 pixels to the em
ASCENDER = 7 * PIXEL  # seven rows above the baseline
DESCENDER = -PIXEL  # one row below it
FAMILY = "Norbatika Pixel"
VERSION = "Version 1.000"
COPYRIGHT = "Copyright 2026 the Norbatika developers. Drawn for the game ノルバティカ."
# A fixed date (2026-01-01) so that the same glyphs always give the same file.
TIMESTAMP = 3850156800

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def read_glyphs(path):
    """Returns [(code point or None for .notdef, [8 rows of 8 cells])] in file order."""
    glyphs = []
    header = None
    rows = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            # Comments start with "# "; grid rows never hold a space.
            if line.startswith("# ") or not line.strip():
                continue
            if header is None:
                if line == "notdef":
                    header = None, number
                elif line.startswith("U+"):
                    header = int(line[2:6], 16), number
                else:
                    sys.exit(f"{path}:{number}: expected a glyph header, found {line!r}")
                continue
            if len(line) != 8 or set(line) - {"#", "."}:
                sys.exit(f"{path}:{number}: a row is 8 cells of '#' and '.', found {line!r}")
            rows.append(line)
            if len(rows) == 8:
                glyphs.append((header[0], rows))
                header, rows = None, []
    if header is not None:
        sys.exit(f"{path}:{header[1]}: glyph with fewer than 8 rows")
    return glyphs


def trace_outlines(rows):
    """Merges the filled cells into closed contours on the pixel grid (y down), as lists of
    corner points. Each cell contributes its four edges clockwise; edges shared by two filled
    cells cancel, and what is left is followed into loops."""
    filled = {(r, c) for r, row in enumerate(rows) for c, cell in enumerate(row) if cell == "#"}
    edges = set()
    for r, c in filled:
        corners = [(c, r), (c + 1, r), (c + 1, r + 1), (c, r + 1)]
        for i in range(4):
            edge = (corners[i], corners[(i + 1) % 4])
            reverse = (edge[1], edge[0])
            if reverse in edges:
                edges.remove(reverse)
            else:
                edges.add(edge)
    outgoing = {}
    for start, end in edges:
        outgoing.setdefault(start, []).append(end)

    contours = []
    while edges:
        start, end = min(edges)  # a fixed starting point keeps the output reproducible
        contour = [start]
        edges.remove((start, end))
        outgoing[start].remove(end)
        previous, point = start, end
        while point != start:
            contour.append(point)
            direction = (point[0] - previous[0], point[1] - previous[1])
            # Where two contours touch at a corner, turn right first: each stays a simple loop.
            right = (-direction[1], direction[0])
            left = (direction[1], -direction[0])
            for turn in (right, direction, left):
                candidate = (point[0] + turn[0], point[1] + turn[1])
                if candidate in outgoing.get(point, []):
                    break
            else:
                raise RuntimeError("open contour")
            edges.remove((point, candidate))
            outgoing[point].remove(candidate)
            previous, point = point, candidate
        contours.append(drop_straight_points(contour))
    return contours


def drop_straight_points(contour):
    """Keeps only the corners of a contour: points in the middle of a straight run go."""
    kept = []
    count = len(contour)
    for i, point in enumerate(contour):
        before, after = contour[i - 1], contour[(i + 1) % count]
        straight = (point[0] - before[0]) * (after[1] - point[1]) == (
            point[1] - before[1]) * (after[0] - point[0])
        if not straight:
            kept.append(point)
    return kept


def draw_glyph(rows):
    pen = TTGlyphPen(None)
    for contour in trace_outlines(rows):
        # Grid corner (x, y) with y growing down becomes font units with y growing up; line 7
        # of the grid is the baseline.
        points = [(x * PIXEL, (7 - y) * PIXEL) for x, y in contour]
        pen.moveTo(points[0])
        for point in points[1:]:
            pen.lineTo(point)
        pen.closePath()
    return pen.glyph()


def glyph_name(code_point):
    if code_point is None:
        return ".notdef"
    if code_point == 0x20:
        return "space"
    return f"uni{code_point:04X}"


def build(glyphs_path, output_path):
    glyphs = read_glyphs(glyphs_path)
    if glyphs[0][0] is not None:
        sys.exit("the first glyph must be notdef")
    names = [glyph_name(cp) for cp, _ in glyphs]
    outlines = {glyph_name(cp): draw_glyph(rows) for cp, rows in glyphs}

    builder = FontBuilder(UNITS_PER_EM, isTTF=True)
    builder.font.recalcTimestamp = False
    builder.setupGlyphOrder(names)
    builder.setupCharacterMap({cp: glyph_name(cp) for cp, _ in glyphs if cp is not None})
    builder.setupGlyf(outlines)
    glyf = builder.font["glyf"]
    metrics = {}
    for name in names:
        glyph = glyf[name]
        glyph.recalcBounds(glyf)
        metrics[name] = (UNITS_PER_EM, getattr(glyph, "xMin", 0))
    builder.setupHorizontalMetrics(metrics)
    builder.setupHorizontalHeader(ascent=ASCENDER, descent=DESCENDER, lineGap=0)
    builder.setupNameTable({
        "copyright": COPYRIGHT,
        "familyName": FAMILY,
        "styleName": "Regular",
        "uniqueFontIdentifier": f"{FAMILY} Regular {VERSION}",
        "fullName": f"{FAMILY} Regular",
        "version": VERSION,
        "psName": "NorbatikaPixel-Regular",
    }, mac=False)  # Windows names only: no Macintosh records, no language-tag table
    builder.setupOS2(
        version=4, xAvgCharWidth=UNITS_PER_EM, achVendID="NRBT", fsType=0,
        sTypoAscender=ASCENDER, sTypoDescender=DESCENDER, sTypoLineGap=0,
        usWinAscent=ASCENDER, usWinDescent=-DESCENDER,
        sxHeight=5 * PIXEL, sCapHeight=7 * PIXEL,
        fsSelection=0x40 | 0x80)  # regular, and use the typographic metrics
    builder.setupPost(keepGlyphNames=False, isFixedPitch=1)  # every glyph is one em wide
    builder.setupMaxp()
    head = builder.font["head"]
    head.created = head.modified = TIMESTAMP
    head.fontRevision = 1.0
    head.lowestRecPPEM = 8
    builder.save(output_path)


if __name__ == "__main__":
    source = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "glyphs.txt")
    target = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "ass", "norbatika.ttf")
    build(source, target)
    print(f"{target}: {os.path.getsize(target)} bytes")
