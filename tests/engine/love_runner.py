# What the engine tests share: a private X server, LÖVE run on a game of a few lines
# with Mesa's software OpenGL and its screenshots read back, the plain Qt pictures of
# reference_glyphs, and ink masks grown by a few pixels.
import os
import shutil
import signal
import subprocess
import sys
import tempfile

DEADLINE = 60

# main.lua: `load` and `draw(k)` come from the test; after two frames of each of `shots`
# drawings the screen is written to RAW_PATH .. k as "W H\n" and RGBA bytes.
MAIN_LUA = r"""
local rawPath, frames, k = arg[#arg], 0, 1
%s
function love.draw()
  draw(k)
  frames = frames + 1
  if frames == 2 then
    love.graphics.captureScreenshot(function(image)
      local f = assert(io.open(rawPath .. k, "wb"))
      f:write(image:getWidth(), " ", image:getHeight(), "\n", image:getString())
      f:close()
      frames, k = 0, k + 1
      if k > %d then love.event.quit(0) end
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


# The `shots` screenshots, RGBA bytes each, of LÖVE running `lua` in the folder `game`.
def love_shots(game, lua, shots, width, height):
    for name, text in (("main.lua", MAIN_LUA % (lua, shots)), ("conf.lua", CONF_LUA % (width, height))):
        with open(os.path.join(game, name), "w", encoding="utf-8") as f:
            f.write(text)
    raw = os.path.join(game, "shot.raw")
    drawn = subprocess.run(["love", game, raw], capture_output=True, text=True, timeout=DEADLINE,
                           env=dict(os.environ, LIBGL_ALWAYS_SOFTWARE="1", HOME=game, XDG_DATA_HOME=game))
    assert drawn.returncode == 0, f"LÖVE failed: {drawn.stdout}{drawn.stderr}"
    out = []
    for k in range(1, shots + 1):
        with open(raw + str(k), "rb") as f:
            size, data = tuple(map(int, f.readline().split())), f.read()
        os.remove(raw + str(k))
        assert size == (width, height) and len(data) == 4 * width * height, f"screenshot of {size}, {len(data)} bytes"
        out.append(data)
    return out


# The grey bytes of a picture reference_glyphs draws (see its usage).
def reference(program, *args):
    pgm, args = os.path.join(os.environ["KARUVO_LOVE_WORK"], "reference.pgm"), [str(a) for a in args]
    subprocess.run([program, *args[:5], pgm, *args[5:]], check=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    with open(pgm, "rb") as f:
        return f.read().split(b"\n", 3)[3]


# `mask` with every set pixel grown into the square `by` pixels around it.
def grown(mask, w, h, by):
    out = bytearray(w * h)
    for i in (i for i in range(w * h) if mask[i]):
        x, y = i % w, i // w
        for yy in range(max(0, y - by), min(h, y + by + 1)):
            out[yy * w + max(0, x - by):yy * w + min(w, x + by + 1)] = b"\1" * (min(w, x + by + 1) - max(0, x - by))
    return out


# Exits with run(cli, reference_program, work) from the command line's two programs and
# a fresh folder, under a private X server; 77 (skipped) without LÖVE or Xvfb.
def main(run):
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped by SIGTERM"))
    if not shutil.which("love") or not shutil.which("Xvfb"):
        print("SKIP: LÖVE or Xvfb is not installed (scripts/setup.sh installs them)")
        sys.exit(77)
    work = os.environ["KARUVO_LOVE_WORK"] = tempfile.mkdtemp(prefix="karuvo-love-")
    xvfb = None
    try:
        # On a display number it picks itself.
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "640x480x24", "-nolisten", "tcp"],
                                pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            os.environ["DISPLAY"] = ":" + f.readline().strip()
        assert os.environ["DISPLAY"] != ":", "Xvfb did not start"
        sys.exit(run(sys.argv[1], sys.argv[2], work))
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
