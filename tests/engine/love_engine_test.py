#!/usr/bin/env python3
# Draws a line of text in LÖVE from a .fnt and PNG that karuvo-cli has just made, and
# holds the screenshot against the same line drawn by Qt in the same font: no pixel of
# background changed away from the glyphs, the ink as wide and on the same rows within a
# few pixels, and nearer the width of Qt's kerned line than of its unkerned one. One line
# in DejaVu Sans (a kern table and GPOS), one in Comfortaa (kerning in GPOS only).
#
# Usage: love_engine_test.py KARUVO_CLI REFERENCE_GLYPHS
# Exit 77 (skipped) only when LÖVE or Xvfb is not installed.
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from love_runner import grown, love_shots, main, reference  # noqa: E402

FAMILIES, PIXELS = ("DejaVu Sans", "Comfortaa"), 24
TEXT = "AVATAR Tower, Wölf & Yacht"
W, H = 420, 64
ORIGIN = (12, 16)                 # top-left corner of the line
BACKGROUND = (40, 80, 120)
TOLERANCE = 2                     # pixels, for the ink's extent and for anti-aliased edges

LUA = r"""
local font
function love.load() font = love.graphics.newFont("sheet.fnt", "sheet.png") end
function draw(k)
  love.graphics.clear(%f, %f, %f, 1)
  love.graphics.setColor(1, 1, 1, 1)
  love.graphics.setFont(font)
  love.graphics.print([==[%s]==], %d, %d)
end
""" % (*(c / 255 for c in BACKGROUND), TEXT, *ORIGIN)


def extent(mask):
    xs, ys = [i % W for i in range(W * H) if mask[i]], [i // W for i in range(W * H) if mask[i]]
    return (min(xs), max(xs), min(ys), max(ys)) if xs else None


def draw_line(cli, program, work, family):
    game = os.path.join(work, family.replace(" ", "_"))
    os.mkdir(game)
    fnt = os.path.join(game, "sheet.fnt")
    made = subprocess.run([cli, "-t", TEXT, "-f", family, "-s", str(PIXELS), "-o", os.path.join(game, "sheet.png"),
                           "--fnt", fnt], capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    assert f'font "{family}"' in made.stderr, f"{family} is not installed (scripts/setup.sh installs it): {made.stderr}"
    pairs = {}
    with open(fnt, encoding="utf-8") as f:
        for kv in (dict(p.split("=") for p in line.split()[1:]) for line in f if line.startswith("kerning ")):
            pairs[(int(kv["first"]), int(kv["second"]))] = int(kv["amount"])
    kerned = sum(pairs.get((ord(a), ord(b)), 0) for a, b in zip(TEXT, TEXT[1:]))
    assert kerned <= -3 * TOLERANCE, f"the {family} line is kerned by only {kerned} px; it would not show kerning"

    shot = love_shots(game, LUA, 1, W, H)[0]
    ref, unkerned = (reference(program, "line", family, PIXELS, W, H, *ORIGIN, TEXT, *more) for more in ([], ["unkerned"]))
    changed = [any(shot[4 * i + c] != BACKGROUND[c] for c in range(3)) for i in range(W * H)]
    ink = [sum(abs(shot[4 * i + c] - BACKGROUND[c]) for c in range(3)) > 3 * 64 for i in range(W * H)]
    # Every changed pixel lies within TOLERANCE of the reference's glyphs: no box, no fringe.
    near = grown(ref, W, H, TOLERANCE)
    stray = [(i % W, i // W) for i in range(W * H) if changed[i] and not near[i]]
    assert not stray, f"{family}: {len(stray)} background pixels changed away from the glyphs, e.g. {stray[:5]}"

    got, want, loose = extent(ink), extent([v > 64 for v in ref]), extent([v > 64 for v in unkerned])
    assert got and want and loose, "no ink drawn"
    off = {n: g - r for n, g, r in zip(("left", "right", "top", "bottom"), got, want) if abs(g - r) > TOLERANCE}
    assert not off, f"{family}: ink spans {got} in LÖVE and {want} in Qt (left, right, top, bottom): off by {off}"
    width = got[1] - got[0]
    assert abs(width - (want[1] - want[0])) < abs(width - (loose[1] - loose[0])), \
        f"{family}: ink {width} px wide in LÖVE, {want[1] - want[0]} kerned in Qt, {loose[1] - loose[0]} unkerned"
    print(f"PASS: {family}: ink {got} in LÖVE, {want} in Qt kerned, {loose} unkerned; kerned by {kerned} px")


def run(cli, program, work):
    for family in FAMILIES:
        draw_line(cli, program, work, family)
    return 0


if __name__ == "__main__":
    main(run)
