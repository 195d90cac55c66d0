#!/usr/bin/env python3
"""Renders the specimen sheet of the game's font, every glyph at 16 and at 32 points, white on
black and without smoothing, as the game draws it.

Usage: python3 tools/font/sample_sheet.py [FONT.ttf] [OUTPUT.png]
"""
import os
import sys

from fontTools.ttLib import TTFont
from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PER_LINE = 24


def lines_of(font_path):
    code_points = sorted(TTFont(font_path).getBestCmap())
    latin = [chr(cp) for cp in code_points if cp < 0x3000]
    kana = [chr(cp) for cp in code_points if cp >= 0x3000]
    lines = []
    for group in (latin, kana):
        lines += ["".join(group[i:i + PER_LINE]) for i in range(0, len(group), PER_LINE)]
    return lines + ["SCORE: 1234567890", "YOU WIN  YOU LOSS", "ノルバティカ  “Hello, 0O 1lI!”"]


def main():
    font_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "ass", "norbatika.ttf")
    out_path = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "docs", "font-specimen.png")
    lines = lines_of(font_path)
    margin = 16
    width = margin * 2 + PER_LINE * 32
    height = margin * 3 + len(lines) * (16 + 4) + len(lines) * (32 + 8)
    sheet = Image.new("RGB", (width, height), "black")
    draw = ImageDraw.Draw(sheet)
    draw.fontmode = "1"  # one bit per pixel, as TTF_RenderUTF8_Solid
    y = margin
    for size, gap in ((16, 4), (32, 8)):
        font = ImageFont.truetype(font_path, size)
        for line in lines:
            draw.text((margin, y), line, font=font, fill="white")
            y += size + gap
        y += margin
    sheet.save(out_path, optimize=True)
    print(f"{out_path}: {width} x {height}")


if __name__ == "__main__":
    main()
