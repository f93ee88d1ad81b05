#!/usr/bin/env python3
# Draws one line of Latin, kana and kanji in LÖVE from a distance-field sheet that
# karuvo-cli has just made (--sdf), with the usual smoothstep/fwidth shader, at 0.5x, 1x,
# 2x and 4x, and holds each screenshot against the same characters drawn by plain Qt at
# that pixel size, each at the pen LÖVE gives it: the ink within one pixel of the
# reference ink, both ways, but for at most one pixel in 400 of the reference's ink (a
# field sampled once a sheet pixel cuts sharp corners by up to a third of a sheet pixel,
# which shows at 4x). The same run draws two faulty fields that must not pass: the
# sheet's own coverage in place of the field, and the field with its sign turned round.
#
# Usage: love_sdf_test.py KARUVO_CLI REFERENCE_GLYPHS
# Exit 77 (skipped) only when LÖVE or Xvfb is not installed.
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from love_runner import grown, love_shots, main, reference  # noqa: E402

FAMILY, PIXELS, RANGE = "DejaVu Sans", 32, 8
TEXT = "Agあ鬱字"
SCALES = (0.5, 1, 2, 4)
W, H = 600, 170
ORIGIN = (8, 8)
NEAR = 1            # pixels: how far ink may lie from the reference's
SPARE = 1 / 400     # of the reference's ink pixels: how many may lie farther, at corners

LUA = r"""
local scales, font, shader = {%s}
function love.load()
  font = love.graphics.newFont("sheet.fnt", "sheet.png")
  font:setFilter("linear", "linear")
  shader = love.graphics.newShader[[
    vec4 effect(vec4 colour, Image sheet, vec2 uv, vec2 pixel) {
      float a = Texel(sheet, uv).a;
      float w = 0.5 * fwidth(a);
      return vec4(colour.rgb, colour.a * smoothstep(0.5 - w, 0.5 + w, a));
    }
  ]]
end
function draw(k)
  love.graphics.clear(0, 0, 0, 1)
  love.graphics.setColor(1, 1, 1, 1)
  love.graphics.setFont(font)
  love.graphics.setShader(shader)
  love.graphics.print([==[%s]==], %d, %d, 0, scales[k], scales[k])
  love.graphics.setShader()
end
""" % (", ".join(map(str, SCALES)), TEXT, *ORIGIN)


# Where LÖVE puts each character's pen on the baseline: the .fnt's advances and
# kerning from the line's top-left corner, scaled.
def pens(fnt_text, scale):
    rows = [(kind, dict(p.split("=", 1) for p in fields if "=" in p)) for kind, *fields in map(str.split, fnt_text.splitlines())]
    base = next(int(kv["base"]) for kind, kv in rows if kind == "common")
    advances = {chr(int(kv["id"])): int(kv["xadvance"]) for kind, kv in rows if kind == "char"}
    kerning = {(chr(int(kv["first"])), chr(int(kv["second"]))): int(kv["amount"]) for kind, kv in rows if kind == "kerning"}
    x, out = 0, []
    for i, c in enumerate(TEXT):
        x += kerning.get((TEXT[i - 1], c), 0) if i else 0
        out += [f"{ORIGIN[0] + scale * x:g}", f"{ORIGIN[1] + scale * base:g}", c]
        x += advances[c]
    return out


# Ink pixels of each picture farther than NEAR from the other's ink.
def mismatch(shot, ref):
    ink, ref_ink = [shot[4 * i] > 127 for i in range(W * H)], [v > 127 for v in ref]
    near_ref, near_ink = grown(ref_ink, W, H, NEAR), grown(ink, W, H, NEAR)
    return (sum(1 for i in range(W * H) if ink[i] and not near_ref[i]),
            sum(1 for i in range(W * H) if ref_ink[i] and not near_ink[i]), sum(ref_ink))


def run(cli, program, work):
    game = os.path.join(work, "game")
    os.mkdir(game)
    field, fnt_path, json_path = (os.path.join(work, n) for n in ("field.png", "sheet.fnt", "sheet.json"))
    common = [cli, "-t", TEXT, "-f", FAMILY, "-s", str(PIXELS), "-q"]
    made = subprocess.run(common + ["--sdf", str(RANGE), "-o", field, "--fnt", fnt_path, "--json", json_path],
                          capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    with open(fnt_path, encoding="utf-8") as f:
        fnt_text = f.read()
    assert f"distanceField fieldType=sdf distanceRange={RANGE}\n" in fnt_text, "the .fnt does not name the field"
    with open(os.path.join(game, "sheet.fnt"), "w", encoding="utf-8") as f:
        f.write(fnt_text.replace('file="field.png"', 'file="sheet.png"'))
    with open(json_path, encoding="utf-8") as f:
        grid = json.load(f)
    # The faults: the 1x coverage of the same cells, and the field's sign turned round.
    coverage, flipped = os.path.join(work, "coverage.png"), os.path.join(work, "flipped.png")
    made = subprocess.run(common + ["-c", f"{grid['cellWidth']}x{grid['cellHeight']}", "-o", coverage],
                          capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    subprocess.run([program, "flip", field, flipped], check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))

    refs = [reference(program, "draw", FAMILY, f"{PIXELS * s:g}", W, H, *pens(fnt_text, s)) for s in SCALES]
    results = {}
    for name, sheet in (("field", field), ("coverage", coverage), ("flipped", flipped)):
        shutil.copyfile(sheet, os.path.join(game, "sheet.png"))
        results[name] = [mismatch(shot, ref) for shot, ref in zip(love_shots(game, LUA, len(SCALES), W, H), refs)]
        print(name + ": " + "; ".join(f"{s}x: {a} ink and {b} of {n} reference pixels off"
                                      for s, (a, b, n) in zip(SCALES, results[name])))
    assert all(n > 0 for _, _, n in results["field"]), "no reference ink"

    def off(result):
        return [s for s, (a, b, n) in zip(SCALES, result) if max(a, b) > int(n * SPARE)]
    assert not off(results["field"]), f"the field's text is more than {NEAR} px off the reference at {off(results['field'])}x"
    for fault in ("coverage", "flipped"):
        assert off(results[fault]), f"the {fault} sheet passed too; the test cannot tell"
    print("PASS")
    return 0


if __name__ == "__main__":
    main(run)
