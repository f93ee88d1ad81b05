#!/usr/bin/env python3
"""The real program under a private X server (English locale), driven with the X test
extension as a user would; see drive() for what it checks. Closed as a window manager would."""
import ctypes
import os
import signal
import subprocess
import sys
import tempfile
import time

CAPTION = "KARUVO作成ツール"
DEADLINE = 30.0  # seconds for each wait


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def load(library, signatures):
    lib = ctypes.CDLL(library)
    for name, (restype, argtypes) in signatures.items():
        getattr(lib, name).restype, getattr(lib, name).argtypes = restype, argtypes
    return lib


P, UL, I, UI, L, ptr = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint, ctypes.c_long, ctypes.POINTER
X11 = {
    "XOpenDisplay": (P, [ctypes.c_char_p]),
    "XCloseDisplay": (I, [P]),
    "XDefaultRootWindow": (UL, [P]),
    "XInternAtom": (UL, [P, ctypes.c_char_p, I]),
    "XQueryTree": (I, [P, UL, ptr(UL), ptr(UL), ptr(ptr(UL)), ptr(UI)]),
    "XGetWindowProperty": (I, [P, UL, UL, L, L, I, UL, ptr(UL), ptr(I), ptr(UL), ptr(UL), ptr(P)]),
    "XFree": (I, [P]),
    "XSendEvent": (I, [P, UL, I, L, ptr(XEvent)]),
    "XSync": (I, [P, I]),
    "XTranslateCoordinates": (I, [P, UL, UL, I, I, ptr(I), ptr(I), ptr(UL)]),
    "XGetImage": (P, [P, UL, I, I, UI, UI, UL, I]),
    "XGetPixel": (UL, [P, I, I]),
    "XDestroyImage": (I, [P]),
    "XStringToKeysym": (UL, [ctypes.c_char_p]),
    "XKeysymToKeycode": (ctypes.c_ubyte, [P, UL]),
    "XSetInputFocus": (I, [P, UL, I, UL]),
    "XFlush": (I, [P]),
    "XDisplayKeycodes": (I, [P, ptr(I), ptr(I)]),
    "XGetKeyboardMapping": (ptr(UL), [P, ctypes.c_ubyte, I, ptr(I)]),
    "XChangeKeyboardMapping": (I, [P, I, I, ptr(UL), I]),
}
XTEST = {"XTestFakeMotionEvent": (I, [P, I, I, I, UL]), "XTestFakeButtonEvent": (I, [P, UI, I, UL]),
         "XTestFakeKeyEvent": (I, [P, UI, I, UL])}


class User:
    """Mouse and keyboard on one window, and what the window shows."""

    def __init__(self, x, t, dpy, win):
        self.x, self.t, self.dpy, self.win = x, t, dpy, win
        self.spare = None  # a key code with no symbol, for characters no key has
        # The font button's top edge lies 8 pixels below the menu bar: the first dark pixel
        # down a column right of the menu's title. Coordinates are taken below the bar.
        self.bar = 0
        column = [self.pixel(80, y) for y in range(52)]
        self.bar = next(y - 8 for y in range(9, 52) if sum(column[y]) < sum(column[0]) - 150)

    def settle(self, seconds=0.4):
        self.x.XSync(self.dpy, 0)
        time.sleep(seconds)

    def pixel(self, px, py):
        """The (r, g, b) shown at a point."""
        img = self.x.XGetImage(self.dpy, self.win, px, py + self.bar, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        value = self.x.XGetPixel(img, 0, 0)
        self.x.XDestroyImage(img)
        return (value >> 16) & 255, (value >> 8) & 255, value & 255

    def click(self, cx, cy):
        gx, gy, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.x.XTranslateCoordinates(self.dpy, self.win, self.x.XDefaultRootWindow(self.dpy), 0, 0,
                                     ctypes.byref(gx), ctypes.byref(gy), ctypes.byref(child))
        self.t.XTestFakeMotionEvent(self.dpy, -1, gx.value + cx, gy.value + self.bar + cy, 0)
        self.t.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.t.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.settle(0.15)

    def key(self, name, focus=None, held=None):
        """Presses and releases the key of keysym `name` (with the key `held` down)."""
        self.x.XSetInputFocus(self.dpy, focus or self.win, 2, 0)  # RevertToParent, CurrentTime
        sym = self.x.XStringToKeysym(name.encode())
        code = self.x.XKeysymToKeycode(self.dpy, sym) or self.spare_key(sym)
        hold = self.x.XKeysymToKeycode(self.dpy, self.x.XStringToKeysym(held.encode())) if held else 0
        for pressed, down in ((hold, 1), (code, 1), (code, 0), (hold, 0)):
            if pressed:
                self.t.XTestFakeKeyEvent(self.dpy, pressed, down, 0)
        self.x.XFlush(self.dpy)
        time.sleep(0.01)

    def spare_key(self, sym):
        """A key code that now types keysym `sym`: a code without symbols, remapped."""
        if self.spare is None:
            low, high, per = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
            self.x.XDisplayKeycodes(self.dpy, ctypes.byref(low), ctypes.byref(high))
            table = self.x.XGetKeyboardMapping(self.dpy, low.value, high.value - low.value + 1, ctypes.byref(per))
            self.spare = next(low.value + i for i in range(high.value - low.value, -1, -1)
                              if all(table[i * per.value + j] == 0 for j in range(per.value)))
            self.x.XFree(table)
        self.x.XChangeKeyboardMapping(self.dpy, self.spare, 1, (ctypes.c_ulong * 1)(sym), 1)
        self.settle(0.3)  # the program takes in the new mapping
        return self.spare

    def type(self, text, focus=None, at=None):
        """Types `text`, first clicking at `at` (into a number box, which selects its whole text)."""
        if at:
            self.click(*at)
        for ch in text:
            name = {"\n": "Return", "/": "slash", ".": "period", "-": "minus", "_": "underscore"}.get(ch, ch)
            shifted = ch == "_" or ch.isupper()
            self.key(name if ch.isascii() else f"U{ord(ch):04X}", focus, held="Shift_L" if shifted else None)
        self.settle()


def drive(x, dpy, win, folder):
    """Typed keys and the open-project dialog; raises with the reason on failure."""
    user = User(x, load("libXtst.so.6", XTEST), dpy, win)
    black = (0, 0, 0)

    # A text typed key by key; cells of ６４ x ６４ typed with full-width digits over what a
    # click into each box selects; Tab to the preview button, Enter.
    user.click(150, 70)
    user.type("ab")
    for digits in ("６", "６４"):
        user.type(digits, at=(172, 308))
        user.type(digits, at=(252, 308))
    user.click(252, 308)
    user.key("Tab")
    user.key("Tab")
    user.key("Return")
    user.settle(1.2)
    if any(user.pixel(*at) != black for at in ((1, 1), (126, 1), (1, 62))) or user.pixel(140, 1) == black:
        raise RuntimeError("cells typed as ６４ did not give a 128 x 64 sheet through Enter on the preview button")
    user.key("Escape")

    # Ctrl+O: a mistyped name leaves the open-project dialog open (Qt says the file is not
    # found); the right name, typed over it, opens the project.
    with open(os.path.join(folder, "typed.karuvo"), "w") as f:
        f.write('{"karuvo": 1, "text": "A"}')
    user.key("o", held="Control_L")
    dialog = others(x, dpy, win, 1)
    if len(dialog) != 1 or utf8_property(x, dpy, dialog[0], b"_NET_WM_NAME") != "開くプロジェクトファイル名":
        raise RuntimeError(f"Ctrl+O opened {len(dialog)} windows, not the open-project dialog")
    user.type(os.path.join(folder, "typo.karuvo") + "\n", focus=dialog[0])
    user.settle(0.8)
    for w in others(x, dpy, win, 2):
        if w != dialog[0]:
            user.key("Return", focus=w)  # the notice that the file is not found
    user.settle(0.8)
    if others(x, dpy, win, 1) != dialog:
        raise RuntimeError("a mistyped project name closed the open-project dialog")
    user.key("a", focus=dialog[0], held="Control_L")
    user.type(os.path.join(folder, "typed.karuvo") + "\n", focus=dialog[0])
    user.settle(1.0)
    title = utf8_property(x, dpy, win, b"_NET_WM_NAME")
    if others(x, dpy, win, 0) or title != f"typed.karuvo - {CAPTION}":
        raise RuntimeError(f"the project typed in the dialog did not open: the window is {title!r}")


def others(x, dpy, win, expected):
    """The program's captioned windows other than the main one, once there are `expected`
    of them (or as they are after a few seconds)."""
    end = time.monotonic() + 5
    while True:
        found = [w for w, n in named(x, dpy).items() if w != win and n and n != "karuvo" and not n.startswith("Qt ")]
        if len(found) == expected or time.monotonic() > end:
            return found
        time.sleep(0.2)


def named(x, dpy):
    """Every window on the display, with its name."""
    return {w: utf8_property(x, dpy, w, b"_NET_WM_NAME") for w in all_windows(x, dpy, x.XDefaultRootWindow(dpy))}


def utf8_property(x, dpy, win, name):
    atom = x.XInternAtom(dpy, name, 0)
    utf8 = x.XInternAtom(dpy, b"UTF8_STRING", 0)
    actual, fmt, n, after, data = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
    if x.XGetWindowProperty(dpy, win, atom, 0, 1024, 0, utf8, ctypes.byref(actual), ctypes.byref(fmt),
                            ctypes.byref(n), ctypes.byref(after), ctypes.byref(data)) != 0 or not data:
        return None
    try:
        return ctypes.string_at(data, n.value).decode("utf-8", "replace")
    finally:
        x.XFree(data)


def all_windows(x, dpy, win):
    root, parent, children, count = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not x.XQueryTree(dpy, win, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children), ctypes.byref(count)):
        return []
    kids = [children[i] for i in range(count.value)]
    if children:
        x.XFree(children)
    return [w for k in kids for w in [k] + all_windows(x, dpy, k)]


def start_xvfb():
    """Xvfb on a display number it finds free, which it writes once it is ready."""
    ready, tell = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(tell), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            pass_fds=(tell,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(tell)
    with os.fdopen(ready) as f:
        number = f.readline().strip()
    if not number:
        stop(proc)
        raise RuntimeError("Xvfb did not start")
    return proc, f":{number}"


def stop(proc):
    if proc and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def run(program):
    x = load("libX11.so.6", X11)
    xvfb, display = start_xvfb()
    app = None
    dpy = None
    work = tempfile.TemporaryDirectory(prefix="karuvo-window-")
    try:
        folder = os.path.join(work.name, "saved")
        os.mkdir(folder)
        # The settings kept between runs go to a folder of this run's own.
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", LANG="C", LC_ALL="C",
                   XDG_CONFIG_HOME=os.path.join(work.name, "config"))
        app = subprocess.Popen([program], env=env)
        dpy = x.XOpenDisplay(display.encode())
        if not dpy:
            raise RuntimeError(f"cannot open display {display}")

        win = None
        end = time.monotonic() + DEADLINE
        while win is None and time.monotonic() < end:
            if app.poll() is not None:
                raise RuntimeError(f"the program ended early with status {app.returncode}")
            win = next((w for w, n in named(x, dpy).items() if n == CAPTION), None)
            if win is None:
                time.sleep(0.2)
        if win is None:
            raise RuntimeError(f"no window captioned {CAPTION!r} appeared")

        time.sleep(1.0)
        drive(x, dpy, win, folder)

        ev = XEvent()
        ev.xclient.type = 33  # ClientMessage
        ev.xclient.window = win
        ev.xclient.message_type = x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        ev.xclient.format = 32
        ev.xclient.data[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        ev.xclient.data[1] = 0  # CurrentTime
        x.XSendEvent(dpy, win, 0, 0, ctypes.byref(ev))
        x.XSync(dpy, 0)
        try:
            status = app.wait(timeout=DEADLINE)
        except subprocess.TimeoutExpired:
            raise RuntimeError("the program did not end after its window was closed")
        if status != 0:
            raise RuntimeError(f"the program ended with status {status}")
        print(f"ok: window {CAPTION} driven and closed cleanly")
        return 0
    finally:
        if dpy:
            x.XCloseDisplay(dpy)
        if app and app.poll() is None:
            app.kill()
            app.wait()
        stop(xvfb)
        work.cleanup()


if __name__ == "__main__":
    # A test runner that gives up on us sends SIGTERM: unwind, so Xvfb is stopped too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped by SIGTERM"))
    try:
        sys.exit(run(sys.argv[1]))
    except Exception as e:  # noqa: BLE001 - any failure is a test failure with its reason
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
