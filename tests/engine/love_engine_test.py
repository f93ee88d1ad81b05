#!/usr/bin/env python3
"""Draws a line of text in LÖVE from a .fnt and PNG that karuvo-cli has just made, under
a private X server with Mesa's software OpenGL, and holds LÖVE's screenshot against the
same line drawn by Qt in the same font: no pixel of background changed away from the
glyphs, the ink as wide and on the same rows within a few pixels, and nearer the width of
Qt's kerned line than of its unkerned one. One line in DejaVu Sans (a kern table and GPOS),
one in Comfortaa (kerning in GPOS only).

Usage: love_engine_test.py KARUVO_CLI REFERENCE_TEXT
With KARUVO_ENGINE_SHOT set, LÖVE's screenshot of the first line is also saved there as a PNG.
Exit 77 (skipped) only when LÖVE or Xvfb is not installed."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile

FAMILIES, PIXELS = ("DejaVu Sans", "Comfortaa"), 24
TEXT = "AVATAR Tower, Wölf & Yacht"
WIDTH, HEIGHT = 420, 64
ORIGIN = (12, 16)                 # top-left corner of the line
BACKGROUND = (40, 80, 120)
TOLERANCE = 2                     # pixels, for the ink's extent and for anti-aliased edges
DEADLINE = 60

MAIN_LUA = r"""
local rawPath, pngPath = arg[#arg - 1], arg[#arg]
local font, frames
function love.load()
  font = love.graphics.newFont("sheet.fnt", "sheet.png")
  frames = 0
end
function love.draw()
  love.graphics.clear(%f, %f, %f, 1)
  love.graphics.setColor(1, 1, 1, 1)
  love.graphics.setFont(font)
  love.graphics.print([==[%s]==], %d, %d)
  frames = frames + 1
  if frames == 2 then
    love.graphics.captureScreenshot(function(image)
      local f = assert(io.open(rawPath, "wb"))
      f:write(image:getWidth(), " ", image:getHeight(), "\n", image:getString())
      f:close()
      if pngPath ~= "-" then
        local p = assert(io.open(pngPath, "wb"))
        p:write(image:encode("png"):getString())
        p:close()
      end
      love.event.quit(0)
    end)
  end
end
"""

CONF_LUA = """
function love.conf(t)
  t.identity = "karuvo-engine-test"
  t.window.width, t.window.height, t.window.vsync = %d, %d, 0
  t.modules.audio, t.modules.sound, t.modules.joystick, t.modules.physics = false, false, false, false
end
"""


def start_xvfb():
    """A private X server on a display number it picks itself."""
    read, write = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "640x480x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    if not number:
        proc.kill()
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number


def read_raw(path):
    with open(path, "rb") as f:
        head = f.readline().split()
        w, h = int(head[0]), int(head[1])
        data = f.read()
    assert len(data) == w * h * 4, f"screenshot holds {len(data)} bytes, not {w * h * 4}"
    return w, h, data


def read_pgm(path):
    with open(path, "rb") as f:
        assert f.readline().strip() == b"P5"
        w, h = map(int, f.readline().split())
        f.readline()
        return w, h, f.read()


def extent(mask, w, h):
    xs = [x for y in range(h) for x in range(w) if mask[y * w + x]]
    ys = [y for y in range(h) for x in range(w) if mask[y * w + x]]
    return (min(xs), max(xs), min(ys), max(ys)) if xs else None


def kerning_in(fnt_path, text):
    pairs = {}
    with open(fnt_path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("kerning "):
                kv = dict(part.split("=") for part in line.split()[1:])
                pairs[(int(kv["first"]), int(kv["second"]))] = int(kv["amount"])
    return sum(pairs.get((ord(a), ord(b)), 0) for a, b in zip(text, text[1:]))


def draw_line(cli, reference, work, family, shot_path):
    """LÖVE's drawing of TEXT from a fresh sheet in `family`, held against Qt's."""
    game = os.path.join(work, family.replace(" ", "_"))
    os.mkdir(game)
    made = subprocess.run([cli, "-t", TEXT, "-f", family, "-s", str(PIXELS), "-o", os.path.join(game, "sheet.png"),
                           "--fnt", os.path.join(game, "sheet.fnt")], capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    assert f'font "{family}"' in made.stderr, f"{family} is not installed (scripts/setup.sh installs it): {made.stderr}"
    kerned = kerning_in(os.path.join(game, "sheet.fnt"), TEXT)
    assert kerned <= -3 * TOLERANCE, f"the {family} line is kerned by only {kerned} px; it would not show kerning"
    with open(os.path.join(game, "main.lua"), "w", encoding="utf-8") as f:
        f.write(MAIN_LUA % (BACKGROUND[0] / 255, BACKGROUND[1] / 255, BACKGROUND[2] / 255, TEXT, *ORIGIN))
    with open(os.path.join(game, "conf.lua"), "w", encoding="utf-8") as f:
        f.write(CONF_LUA % (WIDTH, HEIGHT))

    raw = os.path.join(work, "shot.raw")
    env = dict(os.environ, LIBGL_ALWAYS_SOFTWARE="1", HOME=work, XDG_DATA_HOME=work)
    drawn = subprocess.run(["love", game, raw, shot_path], env=env, capture_output=True, text=True, timeout=DEADLINE)
    assert drawn.returncode == 0 and os.path.exists(raw), f"LÖVE failed: {drawn.stdout}{drawn.stderr}"
    w, h, shot = read_raw(raw)
    os.remove(raw)
    assert (w, h) == (WIDTH, HEIGHT), f"screenshot of {w} x {h}"

    def qt_line(*kerning):
        pgm = os.path.join(work, "reference.pgm")
        subprocess.run([reference, family, str(PIXELS), TEXT, str(WIDTH), str(HEIGHT), *map(str, ORIGIN), pgm,
                        *kerning], check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        return read_pgm(pgm)[2]

    ref, unkerned = qt_line(), qt_line("unkerned")
    changed = [any(shot[4 * i + c] != BACKGROUND[c] for c in range(3)) for i in range(w * h)]
    ink = [sum(abs(shot[4 * i + c] - BACKGROUND[c]) for c in range(3)) > 3 * 64 for i in range(w * h)]
    # Every changed pixel lies within TOLERANCE of the reference's glyphs: no box, no fringe.
    near = [False] * (w * h)
    for y in range(h):
        for x in range(w):
            if ref[y * w + x]:
                for yy in range(max(0, y - TOLERANCE), min(h, y + TOLERANCE + 1)):
                    for xx in range(max(0, x - TOLERANCE), min(w, x + TOLERANCE + 1)):
                        near[yy * w + xx] = True
    stray = [(i % w, i // w) for i in range(w * h) if changed[i] and not near[i]]
    assert not stray, f"{family}: {len(stray)} background pixels changed away from the glyphs, e.g. {stray[:5]}"

    got, want, loose = (extent(m, w, h) for m in (ink, [v > 64 for v in ref], [v > 64 for v in unkerned]))
    assert got and want and loose, "no ink drawn"
    names = ("left", "right", "top", "bottom")
    off = {n: g - r for n, g, r in zip(names, got, want) if abs(g - r) > TOLERANCE}
    assert not off, f"{family}: ink spans {got} in LÖVE and {want} in Qt (left, right, top, bottom): off by {off}"
    width = got[1] - got[0]
    assert abs(width - (want[1] - want[0])) < abs(width - (loose[1] - loose[0])), \
        f"{family}: ink {width} px wide in LÖVE, {want[1] - want[0]} kerned in Qt, {loose[1] - loose[0]} unkerned"
    print(f"PASS: {family}: ink {got} in LÖVE, {want} in Qt kerned, {loose} unkerned; kerned by {kerned} px")


def main(run):
    """Exits with run(cli, reference, work, display) from the command line's two programs, a
    fresh folder and a private X server; 77 (skipped) without LÖVE or Xvfb."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped by SIGTERM"))
    if not shutil.which("love") or not shutil.which("Xvfb"):
        print("SKIP: LÖVE or Xvfb is not installed (scripts/setup.sh installs them)")
        sys.exit(77)
    work = tempfile.mkdtemp(prefix="karuvo-love-")
    xvfb = None
    try:
        xvfb, display = start_xvfb()
        sys.exit(run(sys.argv[1], sys.argv[2], work, display))
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


def run(cli, reference, work, display):
    os.environ["DISPLAY"] = display
    for i, family in enumerate(FAMILIES):
        draw_line(cli, reference, work, family, os.environ.get("KARUVO_ENGINE_SHOT", "-") if i == 0 else "-")
    return 0


if __name__ == "__main__":
    main(run)
