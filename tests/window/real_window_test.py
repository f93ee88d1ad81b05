#!/usr/bin/env python3
"""The real program on the X server of $DISPLAY (a private one: see tests/CMakeLists.txt), in an
English locale, driven with the X test extension as a user would: keys typed into the boxes,
Tab and Enter, Ctrl+O and Qt's own open dialog, then 終了 from the menu."""
import ctypes
import os
import subprocess
import sys
import tempfile
import time

CAPTION = "KARUVO作成ツール"


class Pointer(ctypes.c_void_p):
    """A pointer Xlib hands back, passed on whole (ctypes would give a plain int)."""


X, XTEST = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
X.XOpenDisplay.restype = X.XGetImage.restype = Pointer
X.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
X.XGetPixel.restype = X.XDefaultRootWindow.restype = X.XInternAtom.restype = ctypes.c_ulong
X.XKeysymToKeycode.restype = ctypes.c_ubyte


class User:
    """Mouse and keyboard on the program's windows, and what they show."""

    def __init__(self, dpy, win):
        self.dpy, self.win, self.spare, self.bar = dpy, win, None, 0
        # The font button's top edge lies 8 pixels below the menu bar: the first dark pixel
        # down a column right of the menu's title. Coordinates are taken below the bar.
        column = [sum(self.pixel(80, y)) for y in range(52)]
        self.bar = next(y - 8 for y in range(9, 52) if column[y] < column[0] - 150)

    def pixel(self, px, py):
        img = X.XGetImage(self.dpy, self.win, px, py + self.bar, 1, 1, ctypes.c_ulong(0xFFFFFFFF), 2)  # ZPixmap
        value = X.XGetPixel(img, 0, 0)
        X.XDestroyImage(img)
        return (value >> 16) & 255, (value >> 8) & 255, value & 255

    def click(self, cx, cy):
        gx, gy, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        X.XTranslateCoordinates(self.dpy, self.win, X.XDefaultRootWindow(self.dpy), 0, 0,
                                ctypes.byref(gx), ctypes.byref(gy), ctypes.byref(child))
        XTEST.XTestFakeMotionEvent(self.dpy, -1, gx.value + cx, gy.value + self.bar + cy, 0)
        XTEST.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        XTEST.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        settle(self.dpy, 0.3)

    def key(self, name, focus=None, held=None):
        """Presses and releases the key of keysym `name` (with the key `held` down)."""
        X.XSetInputFocus(self.dpy, focus or self.win, 2, 0)  # RevertToParent, CurrentTime
        sym = X.XStringToKeysym(name.encode())
        code = X.XKeysymToKeycode(self.dpy, sym) or self.spare_key(sym)
        hold = X.XKeysymToKeycode(self.dpy, X.XStringToKeysym(held.encode())) if held else 0
        for pressed, down in ((hold, 1), (code, 1), (code, 0), (hold, 0)):
            if pressed:
                XTEST.XTestFakeKeyEvent(self.dpy, pressed, down, 0)
        settle(self.dpy, 0.01)

    def spare_key(self, sym):
        """A key code that now types keysym `sym`: a code without symbols, remapped."""
        if self.spare is None:
            low, high, per = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
            X.XDisplayKeycodes(self.dpy, ctypes.byref(low), ctypes.byref(high))
            table = X.XGetKeyboardMapping(self.dpy, low.value, high.value - low.value + 1, ctypes.byref(per))
            self.spare = next(low.value + i for i in range(high.value - low.value, -1, -1)
                              if all(table[i * per.value + j] == 0 for j in range(per.value)))
        X.XChangeKeyboardMapping(self.dpy, self.spare, 1, ctypes.byref(ctypes.c_ulong(sym)), 1)
        settle(self.dpy, 0.3)  # the program takes in the new mapping
        return self.spare

    def type(self, text, focus=None, at=None):
        """Types `text`, first clicking at `at` (into a number box, which selects its whole text)."""
        if at:
            self.click(*at)
        for ch in text:
            name = {"\n": "Return", "/": "slash", ".": "period", "-": "minus", "_": "underscore"}.get(ch, ch)
            held = "Shift_L" if ch == "_" or ch.isupper() else None
            self.key(name if ch.isascii() else f"U{ord(ch):04X}", focus, held)
        settle(self.dpy)

    def others(self, expected):
        """The program's captioned windows other than the main one, once there are `expected`
        of them (or as they are after a few seconds)."""
        end = time.monotonic() + 5
        while True:
            found = [w for w, n in named(self.dpy).items() if w != self.win and n and n != "karuvo" and n[:3] != "Qt "]
            if len(found) == expected or time.monotonic() > end:
                return found
            time.sleep(0.2)


def settle(dpy, seconds=0.4):
    X.XSync(dpy, 0)
    time.sleep(seconds)


def drive(user, folder):
    """Raises with the reason on failure."""
    # A text typed key by key; cells of ６４ x ６４ typed with full-width digits over what a
    # click into each box selects; Tab to the preview button, Enter.
    user.click(150, 70)
    user.type("ab")
    for digits in ("６", "６４"):
        user.type(digits, at=(172, 308))
        user.type(digits, at=(252, 308))
    user.click(252, 308)
    for name in ("Tab", "Tab", "Return"):
        user.key(name)
    settle(user.dpy, 1.2)
    black = (0, 0, 0)
    if any(user.pixel(*at) != black for at in ((1, 1), (126, 1), (1, 62))) or user.pixel(140, 1) == black:
        raise RuntimeError("cells typed as ６４ did not give a 128 x 64 sheet through Enter on the preview button")
    user.key("Escape")

    # Ctrl+O: a mistyped name leaves the open-project dialog open (Qt says the file is not
    # found); the right name, typed over it, opens the project.
    with open(os.path.join(folder, "typed.karuvo"), "w") as f:
        f.write('{"karuvo": 1, "text": "A"}')
    user.key("o", held="Control_L")
    dialog = user.others(1)
    if len(dialog) != 1 or title(user.dpy, dialog[0]) != "開くプロジェクトファイル名":
        raise RuntimeError(f"Ctrl+O opened {len(dialog)} windows, not the open-project dialog")
    user.type(os.path.join(folder, "typo.karuvo") + "\n", focus=dialog[0])
    for w in user.others(2):
        if w != dialog[0]:
            user.key("Return", focus=w)  # the notice that the file is not found
    settle(user.dpy, 0.8)
    if user.others(1) != dialog:
        raise RuntimeError("a mistyped project name closed the open-project dialog")
    user.key("a", focus=dialog[0], held="Control_L")
    user.type(os.path.join(folder, "typed.karuvo") + "\n", focus=dialog[0])
    settle(user.dpy, 1.0)
    if user.others(0) or title(user.dpy, user.win) != f"typed.karuvo - {CAPTION}":
        raise RuntimeError(f"the project typed in the dialog did not open: the window is {title(user.dpy, user.win)!r}")

    # The menu's last item, 終了, reached with Up from the opened menu.
    user.click(20, -user.bar // 2)
    user.key("Up")
    user.key("Return")


def named(dpy):
    """Every top-level window on the display, with its name."""
    root, parent, children, count = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    X.XQueryTree(dpy, X.XDefaultRootWindow(dpy), ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                 ctypes.byref(count))
    return {children[i]: title(dpy, children[i]) for i in range(count.value)}


def title(dpy, win):
    """The window's _NET_WM_NAME, or None."""
    kind, fmt, n, after, data = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_char_p()
    X.XGetWindowProperty(dpy, ctypes.c_ulong(win), X.XInternAtom(dpy, b"_NET_WM_NAME", 0), 0, 1024, 0,
                         X.XInternAtom(dpy, b"UTF8_STRING", 0), ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(n),
                         ctypes.byref(after), ctypes.byref(data))
    return data.value.decode("utf-8", "replace") if data.value else None


def run(program):
    with tempfile.TemporaryDirectory(prefix="karuvo-window-") as work:
        # The settings kept between runs go to a folder of this run's own.
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", LANG="C", LC_ALL="C", XDG_CONFIG_HOME=os.path.join(work, "config"))
        app = subprocess.Popen([program], env=env)
        dpy = X.XOpenDisplay(None)
        try:
            end = time.monotonic() + 30
            while not (win := next((w for w, n in named(dpy).items() if n == CAPTION), None)):
                if app.poll() is not None or time.monotonic() > end:
                    raise RuntimeError(f"no window captioned {CAPTION!r} appeared")
                time.sleep(0.2)
            time.sleep(1.0)
            drive(User(dpy, win), work)
            status = app.wait(timeout=30)
            if status != 0:
                raise RuntimeError(f"the program ended with status {status} after 終了")
        finally:
            X.XCloseDisplay(dpy)
            if app.poll() is None:
                app.kill()
                app.wait()
    print(f"ok: window {CAPTION} driven and closed cleanly")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(run(sys.argv[1]))
    except Exception as e:  # noqa: BLE001 - any failure is a test failure with its reason
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
