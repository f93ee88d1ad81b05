#!/usr/bin/env python3
# A real engine, LÖVE, draws text from a sheet that karuvo-cli has just made, under a
# private X server with Mesa's software OpenGL; its screenshots are held against the same
# text drawn by plain Qt (reference_glyphs).
#
# love_test.py kerned KARUVO_CLI REFERENCE_GLYPHS
#   A line from a .fnt and PNG, in DejaVu Sans (a kern table and GPOS) and in Comfortaa
#   (kerning in GPOS only): no pixel of background changed away from the glyphs, the ink
#   as wide and on the same rows within a few pixels, and nearer the width of Qt's kerned
#   line than of its unkerned one. Then "jJ_f" in DejaVu Sans 32 px, whose ink reaches left
#   of the pen or past the advance: every reference ink pixel has LÖVE's ink within a pixel.
# love_test.py sdf|msdf|mtsdf KARUVO_CLI REFERENCE_GLYPHS
#   Latin, kana and kanji from a distance-field sheet of that kind (FIELDS), with the usual
#   smoothstep/fwidth shader (of the median for msdf; for mtsdf, of the median and of alpha,
#   each drawn into a colour of its own), at 0.5x to 4x (8x for msdf), against plain Qt at that
#   pixel size, each character at the pen LÖVE gives it: the ink within one pixel of the
#   reference ink, both ways, but for at most two pixels and one in 400 of the reference's ink
#   (a field sampled once a sheet pixel cuts sharp corners by up to a third of a sheet pixel,
#   which shows at 4x; a tip thinner than a pixel is ink at its middle, not in Qt's coverage).
#   Faulty sheets must not pass: for sdf, the sheet's own coverage in place of the field, and
#   the field with its sign turned round; for msdf, a one-channel field in its three channels,
#   which rounds the corners at 8x; for mtsdf, alpha swapped with red.
#
# Exit 77 (skipped) only when LÖVE or Xvfb is not installed.
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile

MODE, CLI, REFERENCE = sys.argv[1:4]
W, H = 600, 240

# main.lua: after two frames at each scale the screen is written to RAW_PATH .. k as
# "W H\n" and RGBA bytes.
MAIN_LUA = r"""
local rawPath, frames, k, scales, font, shader = arg[#arg], 0, 1, {%s}
function love.load()
  font = love.graphics.newFont("sheet.fnt", "sheet.png")
  font:setFilter("linear", "linear")
  if %s then shader = love.graphics.newShader[[
    float median(vec3 c) { return max(min(c.r, c.g), min(max(c.r, c.g), c.b)); }
    vec4 effect(vec4 colour, Image sheet, vec2 uv, vec2 pixel) { %s }]] end
end
function love.draw()
  love.graphics.clear(%f, %f, %f, 1)
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
      frames, k = 0, k + 1
      if k > #scales then love.event.quit(0) end
    end)
  end
end
"""

CONF_LUA = """function love.conf(t)
  t.identity, t.window.width, t.window.height, t.window.vsync = "karuvo-engine-test", %d, %d, 0
  t.modules.audio, t.modules.sound, t.modules.joystick, t.modules.physics = false, false, false, false
end""" % (W, H)


# The RGBA bytes of LÖVE's screenshot at each scale of `text` drawn in white from the
# folder `game`'s sheet.fnt and sheet.png at `origin` on `background`, through a shader whose
# effect() is `effect` (GLSL, median() at hand) if given.
def love_shots(game, scales, effect, background, text, origin):
    lua = MAIN_LUA % (", ".join(map(str, scales)), "true" if effect else "false", effect or "",
                      *(c / 255 for c in background), text, *origin)
    for name, source in (("main.lua", lua), ("conf.lua", CONF_LUA)):
        with open(os.path.join(game, name), "w", encoding="utf-8") as f:
            f.write(source)
    raw = os.path.join(game, "shot.raw")
    drawn = subprocess.run(["love", game, raw], capture_output=True, text=True, timeout=60,
                           env=dict(os.environ, LIBGL_ALWAYS_SOFTWARE="1", HOME=game, XDG_DATA_HOME=game))
    assert drawn.returncode == 0, f"LÖVE failed: {drawn.stdout}{drawn.stderr}"
    shots = []
    for k in range(1, len(scales) + 1):
        with open(raw + str(k), "rb") as f:
            size, data = tuple(map(int, f.readline().split())), f.read()
        os.remove(raw + str(k))
        assert size == (W, H) and len(data) == 4 * W * H, f"screenshot of {size}, {len(data)} bytes"
        shots.append(data)
    return shots


# The grey bytes of a W x H picture that reference_glyphs draws (see its usage).
def reference(mode, family, pixels, *rest):
    pgm = os.path.join(WORK, "reference.pgm")
    subprocess.run([REFERENCE, mode, family, str(pixels), str(W), str(H), pgm, *map(str, rest)], check=True,
                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    with open(pgm, "rb") as f:
        return f.read().split(b"\n", 3)[3]


def cli(*args):
    made = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    return made.stderr


# `mask` with every set pixel grown into the square `by` pixels around it.
def grown(mask, by):
    out = bytearray(W * H)
    for i in (i for i in range(W * H) if mask[i]):
        x, y = i % W, i // W
        for yy in range(max(0, y - by), min(H, y + by + 1)):
            out[yy * W + max(0, x - by):yy * W + min(W, x + by + 1)] = b"\1" * (min(W, x + by + 1) - max(0, x - by))
    return out


# The .fnt's base, advances and kerning, by character.
def read_fnt(path):
    with open(path, encoding="utf-8") as f:
        rows = [(kind, dict(p.split("=", 1) for p in fields if "=" in p)) for kind, *fields in map(str.split, f)]
    return (next(int(kv["base"]) for kind, kv in rows if kind == "common"),
            {chr(int(kv["id"])): int(kv["xadvance"]) for kind, kv in rows if kind == "char"},
            {(chr(int(kv["first"])), chr(int(kv["second"]))): int(kv["amount"]) for kind, kv in rows if kind == "kerning"})


# The reference of `text` drawn as the .fnt's `base`, advances and kerning set it, scaled by `s`.
def pens_reference(family, pixels, text, origin, fnt, s=1):
    base, advances, kerning = read_fnt(fnt)
    x, pens = 0, []
    for before, c in zip(" " + text, text):
        x += kerning.get((before, c), 0)
        pens += [f"{origin[0] + s * x:g}", f"{origin[1] + s * base:g}", c]
        x += advances[c]
    return reference("draw", family, f"{pixels * s:g}", *pens)


def whole_ink():
    game, text, origin = os.path.join(WORK, "whole"), "jJ_f", (20, 20)
    os.mkdir(game)
    cli("-t", text, "-f", "DejaVu Sans", "-s", 32, "-q", "-o", game + "/sheet.png", "--fnt", game + "/sheet.fnt")
    near = grown([v > 64 for v in love_shots(game, [1], None, (0, 0, 0), text, origin)[0][::4]], 1)
    lost = [(i % W, i // W) for i, v in enumerate(pens_reference("DejaVu Sans", 32, text, origin, game + "/sheet.fnt")) if v > 127 and not near[i]]
    assert not lost, f"{len(lost)} ink pixels of {text} are not drawn, e.g. {lost[:5]}"


def kerned():
    text, origin, background, near = "AVATAR Tower, Wölf & Yacht", (12, 16), (40, 80, 120), 2

    def extent(mask):  # left, right, top, bottom
        xs, ys = [i % W for i in range(W * H) if mask[i]], [i // W for i in range(W * H) if mask[i]]
        return (min(xs), max(xs), min(ys), max(ys)) if xs else None

    for family in ("DejaVu Sans", "Comfortaa"):
        game = os.path.join(WORK, family.replace(" ", "_"))
        os.mkdir(game)
        made = cli("-t", text, "-f", family, "-s", 24, "-o", game + "/sheet.png", "--fnt", game + "/sheet.fnt")
        assert f'font "{family}"' in made, f"{family} is not installed (scripts/setup.sh installs it): {made}"
        kerning = read_fnt(game + "/sheet.fnt")[2]
        amount = sum(kerning.get(pair, 0) for pair in zip(text, text[1:]))
        assert amount <= -3 * near, f"the {family} line is kerned by only {amount} px; it would not show kerning"
        shot = love_shots(game, [1], None, background, text, origin)[0]
        ref, unkerned = (reference("line", family, 24, *origin, text, *more) for more in ([], ["unkerned"]))
        ink = [sum(abs(shot[4 * i + c] - background[c]) for c in range(3)) > 3 * 64 for i in range(W * H)]
        # Every changed pixel lies within `near` of the reference's glyphs: no box, no fringe.
        stray = [(i % W, i // W) for i, ok in enumerate(grown(ref, near)) if not ok and shot[4 * i:4 * i + 3] != bytes(background)]
        assert not stray, f"{family}: {len(stray)} background pixels changed away from the glyphs, e.g. {stray[:5]}"
        got, want, loose = extent(ink), extent([v > 64 for v in ref]), extent([v > 64 for v in unkerned])
        assert got and want and loose, "no ink drawn"
        off = {n: g - r for n, g, r in zip(("left", "right", "top", "bottom"), got, want) if abs(g - r) > near}
        assert not off, f"{family}: ink spans {got} in LÖVE and {want} in Qt (left, right, top, bottom): off by {off}"
        width = got[1] - got[0]
        assert abs(width - (want[1] - want[0])) < abs(width - (loose[1] - loose[0])), \
            f"{family}: ink {width} px wide in LÖVE, {want[1] - want[0]} kerned in Qt, {loose[1] - loose[0]} unkerned"
        print(f"PASS: {family}: ink {got} in LÖVE, {want} in Qt kerned, {loose} unkerned; kerned by {amount} px")
    whole_ink()


# Each kind of field: font size, range, text, scales; its shader's effect(), ink in the
# screen's red (for mtsdf the median's in red, alpha's in green, discarded where neither has
# any so that a cell's quad leaves its neighbours' ink alone); the screen channels read; and
# the faulty sheets that must not pass: karuvo-cli's options (CELL the field's cell), or
# what reference_glyphs does to the field.
STEP = "smoothstep(0.5 - 0.5 * fwidth({0}), 0.5 + 0.5 * fwidth({0}), {0})"
FIELDS = {
    "sdf": (32, 8, "Agあ鬱字", (0.5, 1, 2, 4), "return vec4(colour.rgb, colour.a * %s);" % STEP.format("Texel(sheet, uv).a"),
            (0,), {"coverage": ["-c", "CELL"], "flipped": ["flip"]}),
    "msdf": (24, 4, "M4*門", (0.5, 1, 2, 4, 8),
             "return vec4(colour.rgb, colour.a * %s);" % STEP.format("median(Texel(sheet, uv).rgb)"), (0,), {"one channel": ["--sdf", "4"]}),
    "mtsdf": (32, 8, "Agあ鬱字", (0.5, 1, 2, 4), "vec4 t = Texel(sheet, uv); float m = %s, a = %s; if (max(m, a) < 0.01) discard;"
              " return vec4(m, a, m, 1.0);" % (STEP.format("median(t.rgb)"), STEP.format("t.a")), (0, 1), {"swapped": ["swap"]}),
}


def field_sheets(kind):
    pixels, distance, text, scales, effect, channels, faults = FIELDS[kind]
    family, origin = "DejaVu Sans", (8, 8)
    game = os.path.join(WORK, "game")
    os.mkdir(game)
    sheets, fnt, descriptor = {"field": os.path.join(WORK, "field.png")}, os.path.join(game, "sheet.fnt"), os.path.join(WORK, "sheet.json")
    common = ["-t", text, "-f", family, "-s", pixels, "-q"]
    # The .fnt names its page "sheet.png", where each sheet under test goes in turn.
    cli(*common, f"--{kind}", distance, "-o", os.path.join(game, "sheet.png"), "--fnt", fnt, "--json", descriptor)
    shutil.move(os.path.join(game, "sheet.png"), sheets["field"])
    with open(fnt, encoding="utf-8") as f:
        assert f"distanceField fieldType={kind} distanceRange={distance}\n" in f.read(), "the .fnt does not name the field"
    with open(descriptor, encoding="utf-8") as f:
        grid = json.load(f)
    for name, spoil in faults.items():
        sheets[name] = os.path.join(WORK, f"{len(sheets)}.png")
        if spoil[0] in ("flip", "swap"):
            subprocess.run([REFERENCE, spoil[0], sheets["field"], sheets[name]], check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        else:
            cli(*common, *(a.replace("CELL", f"{grid['cellWidth']}x{grid['cellHeight']}") for a in spoil), "-o", sheets[name])

    refs = [pens_reference(family, pixels, text, origin, fnt, s) for s in scales]

    def mismatch(shot, ref, channel):  # ink of each picture farther than a pixel from the other's, and the reference's ink
        ink, ref_ink = [shot[4 * i + channel] > 127 for i in range(W * H)], [v > 127 for v in ref]
        near_ref, near_ink = grown(ref_ink, 1), grown(ink, 1)
        return (sum(1 for i in range(W * H) if ink[i] and not near_ref[i]),
                sum(1 for i in range(W * H) if ref_ink[i] and not near_ink[i]), sum(ref_ink))

    off = {}
    for name, sheet in sheets.items():
        shutil.copyfile(sheet, os.path.join(game, "sheet.png"))
        shots = love_shots(game, scales, effect, (0, 0, 0), text, origin)
        result = [(s, c, mismatch(shot, ref, c)) for c in channels for s, shot, ref in zip(scales, shots, refs)]
        print(f"{kind} {name}: " + "; ".join(f"{s}x, channel {c}: {a} ink and {b} of {n} reference pixels off" for s, c, (a, b, n) in result))
        off[name] = [s for s, c, (a, b, n) in result if n == 0 or max(a, b) > 2 + n // 400]
    assert not off["field"], f"the {kind} field's text is more than a pixel off the reference at {off['field']}x"
    assert all(off[name] for name in faults), f"a faulty sheet passed too; the test cannot tell: {off}"


if __name__ == "__main__":
    if not shutil.which("love") or not shutil.which("xvfb-run"):
        print("SKIP: LÖVE or Xvfb is not installed (scripts/setup.sh installs them)")
        sys.exit(77)
    if "KARUVO_LOVE_X" not in os.environ:  # again, under a private X server on a display of its own
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 640x480x24 -nolisten tcp", "env", "KARUVO_LOVE_X=1",
                               sys.executable, *sys.argv])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped by SIGTERM"))
    WORK = tempfile.mkdtemp(prefix="karuvo-love-")
    try:
        kerned() if MODE == "kerned" else field_sheets(MODE)
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
    finally:
        shutil.rmtree(WORK, ignore_errors=True)
