#!/usr/bin/python3
"""The plain script a user would write instead: every character centred in its own
32 x 32 cell with Pillow, saved as a 24-bit bitmap. Run with Debian's python3-pil.

usage: pillow_peer.py FONT_FILE PIXELS CELL TEXT_FILE OUT.bmp
"""
import sys
from PIL import Image, ImageDraw, ImageFont

font_file, px, cell, text_file, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
lines = open(text_file, encoding="utf-8").read().split("\n")
font = ImageFont.truetype(font_file, px)
ascent, descent = font.getmetrics()
line_height = ascent + descent
columns = max(len(line) for line in lines)
sheet = Image.new("RGB", (columns * cell, len(lines) * cell))
draw = ImageDraw.Draw(sheet)
for row, line in enumerate(lines):
    for column, ch in enumerate(line):
        advance = int(font.getlength(ch))
        draw.text((column * cell + (cell - advance) // 2, row * cell + (cell - line_height) // 2), ch,
                  font=font, fill=(255, 255, 255))
sheet.save(out)
