#!/usr/bin/env python3
"""Draws one line of Latin, kana and kanji in LÖVE from a distance-field sheet that
karuvo-cli has just made (--sdf), with the usual smoothstep/fwidth shader, at 0.5x, 1x,
2x and 4x, and holds each screenshot against the same characters drawn by plain Qt at
that pixel size, each at the pen LÖVE gives it: the ink within one pixel of the
reference ink, both ways, but for at most one pixel in 400 of the reference's ink (a
field sampled once a sheet pixel cuts sharp corners by up to a third of a sheet pixel,
which shows at 4x). The same run draws two faulty fields that must not pass: the
sheet's own coverage in place of the field, and the field with its sign turned round.

Usage: love_sdf_test.py KARUVO_CLI REFERENCE_GLYPHS
With KARUVO_ENGINE_SHOT set, the sheet (its alpha as grey) and the four screenshots of
its text are also saved there, stacked, as a PNG. Exit 77 (skipped) only when LÖVE or Xvfb is not installed."""
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from love_engine_test import CONF_LUA, main, read_pgm, read_raw  # noqa: E402

FAMILY, PIXELS, RANGE = "DejaVu Sans", 32, 8
TEXT = "Agあ鬱字"
SCALES = (0.5, 1, 2, 4)
WIDTH, HEIGHT = 600, 170
ORIGIN = (8, 8)
NEAR = 1            # pixels: how far ink may lie from the reference's
SPARE = 1 / 400     # of the reference's ink pixels: how many may lie farther, at corners
DEADLINE = 60

MAIN_LUA = r"""
local rawPath, pngPath = arg[#arg - 1], arg[#arg]
local scales = {%s}
local font, shader, frames, k, shots
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
  frames, k, shots = 0, 1, {}
end
function love.draw()
  love.graphics.clear(0, 0, 0, 1)
  love.graphics.setColor(1, 1, 1, 1)
  love.graphics.setFont(font)
  love.graphics.setShader(shader)
  love.graphics.print([==[%s]==], %d, %d, 0, scales[k], scales[k])
  love.graphics.setShader()
  frames = frames + 1
  if frames == 2 then
    love.graphics.captureScreenshot(function(image)
      local f = assert(io.open(rawPath .. k, "wb"))
      f:write(image:getWidth(), " ", image:getHeight(), "\n", image:getString())
      f:close()
      shots[k] = image
      frames, k = 0, k + 1
      if k > #scales then
        if pngPath ~= "-" then
          -- The sheet's field as grey above the four sizes.
          local sheet = love.image.newImageData("sheet.png")
          sheet:mapPixel(function(x, y, r, g, b, a) return a, a, a, 1 end)
          local top = sheet:getHeight() + 8
          local all = love.image.newImageData(image:getWidth(), top + image:getHeight() * #scales)
          all:mapPixel(function() return 0, 0, 0, 1 end)
          all:paste(sheet, 8, 4)
          for i, shot in ipairs(shots) do all:paste(shot, 0, top + (i - 1) * image:getHeight()) end
          local p = assert(io.open(pngPath, "wb"))
          p:write(all:encode("png"):getString())
          p:close()
        end
        love.event.quit(0)
      end
    end)
  end
end
"""


def read_fnt(path):
    chars, kerning, base = {}, {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            kind, *fields = line.split()
            kv = dict(part.split("=", 1) for part in fields if "=" in part)
            if kind == "common":
                base = int(kv["base"])
            elif kind == "char":
                chars[int(kv["id"])] = int(kv["xadvance"])
            elif kind == "kerning":
                kerning[(int(kv["first"]), int(kv["second"]))] = int(kv["amount"])
    return chars, kerning, base


def pens(fnt, scale):
    """Where LÖVE puts each character's pen on the baseline: the .fnt's advances and
    kerning from the line's top-left corner, scaled."""
    chars, kerning, base = fnt
    x, out = 0, []
    for i, c in enumerate(TEXT):
        if i:
            x += kerning.get((ord(TEXT[i - 1]), ord(c)), 0)
        out.append((ORIGIN[0] + scale * x, ORIGIN[1] + scale * base, c))
        x += chars[ord(c)]
    return out


def grown(mask, w, h):
    out = bytearray(w * h)
    for y in range(h):
        for x in range(w):
            if mask[y * w + x]:
                for yy in range(max(0, y - NEAR), min(h, y + NEAR + 1)):
                    out[yy * w + max(0, x - NEAR):yy * w + min(w, x + NEAR + 1)] = b"\1" * (min(w, x + NEAR + 1) - max(0, x - NEAR))
    return out


def mismatch(shot, ref, w, h):
    """Ink pixels of each picture farther than NEAR from the other's ink."""
    ink = [shot[4 * i] > 127 for i in range(w * h)]
    ref_ink = [v > 127 for v in ref]
    near_ref, near_ink = grown(ref_ink, w, h), grown(ink, w, h)
    return (sum(1 for i in range(w * h) if ink[i] and not near_ref[i]),
            sum(1 for i in range(w * h) if ref_ink[i] and not near_ink[i]), sum(ref_ink))


def draw_in_love(game, work, sheet, env, shot_path):
    shutil.copyfile(sheet, os.path.join(game, "sheet.png"))
    raw = os.path.join(work, "shot.raw")
    drawn = subprocess.run(["love", game, raw, shot_path], env=env, capture_output=True, text=True, timeout=DEADLINE)
    assert drawn.returncode == 0, f"LÖVE failed: {drawn.stdout}{drawn.stderr}"
    shots = []
    for k in range(1, len(SCALES) + 1):
        w, h, shot = read_raw(raw + str(k))
        assert (w, h) == (WIDTH, HEIGHT), f"screenshot of {w} x {h}"
        shots.append(shot)
    return shots


def run(cli, reference, work, display):
    game = os.path.join(work, "game")
    os.mkdir(game)
    field, fnt_path, json_path = (os.path.join(work, n) for n in ("field.png", "sheet.fnt", "sheet.json"))
    common = [cli, "-t", TEXT, "-f", FAMILY, "-s", str(PIXELS), "-q"]
    made = subprocess.run(common + ["--sdf", str(RANGE), "-o", field, "--fnt", fnt_path, "--json", json_path],
                          capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    with open(fnt_path, encoding="utf-8") as f:
        text = f.read().replace('file="field.png"', 'file="sheet.png"')
    assert f"distanceField fieldType=sdf distanceRange={RANGE}\n" in text, "the .fnt does not name the field"
    with open(os.path.join(game, "sheet.fnt"), "w", encoding="utf-8") as f:
        f.write(text)
    with open(json_path, encoding="utf-8") as f:
        grid = json.load(f)
    # The faults: the 1x coverage of the same cells, and the field's sign turned round.
    coverage, flipped = os.path.join(work, "coverage.png"), os.path.join(work, "flipped.png")
    cell = f"{grid['cellWidth']}x{grid['cellHeight']}"
    made = subprocess.run(common + ["-c", cell, "-o", coverage], capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    subprocess.run([reference, "flip", field, flipped], check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))

    with open(os.path.join(game, "main.lua"), "w", encoding="utf-8") as f:
        f.write(MAIN_LUA % (", ".join(map(str, SCALES)), TEXT, *ORIGIN))
    with open(os.path.join(game, "conf.lua"), "w", encoding="utf-8") as f:
        f.write((CONF_LUA % (WIDTH, HEIGHT)).replace("karuvo-engine-test", "karuvo-sdf-test"))
    env = dict(os.environ, DISPLAY=display, LIBGL_ALWAYS_SOFTWARE="1", HOME=work, XDG_DATA_HOME=work)

    fnt = read_fnt(fnt_path)
    refs = []
    for scale in SCALES:
        pgm = os.path.join(work, f"reference{scale}.pgm")
        args = [a for x, y, c in pens(fnt, scale) for a in (f"{x:g}", f"{y:g}", c)]
        subprocess.run([reference, "draw", FAMILY, f"{PIXELS * scale:g}", str(WIDTH), str(HEIGHT), pgm, *args],
                       check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        refs.append(read_pgm(pgm)[2])

    results = {}
    for name, sheet in (("field", field), ("coverage", coverage), ("flipped", flipped)):
        shot_path = os.environ.get("KARUVO_ENGINE_SHOT", "-") if name == "field" else "-"
        shots = draw_in_love(game, work, sheet, env, shot_path)
        results[name] = [mismatch(shot, ref, WIDTH, HEIGHT) for shot, ref in zip(shots, refs)]
        print(name + ": " + "; ".join(f"{s}x: {a} ink and {b} of {n} reference pixels off"
                                      for s, (a, b, n) in zip(SCALES, results[name])))
    assert all(n > 0 for _, _, n in results["field"]), "no reference ink"
    def off(result):
        return [s for s, (a, b, n) in zip(SCALES, result) if max(a, b) > int(n * SPARE)]
    bad = off(results["field"])
    assert not bad, f"the field's text is more than {NEAR} px off the reference at {bad}x"
    for fault in ("coverage", "flipped"):
        assert off(results[fault]), f"the {fault} sheet passed too; the test cannot tell"
    print("PASS")
    return 0


if __name__ == "__main__":
    main(run)
