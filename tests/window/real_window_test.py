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
DESIGN_SIZE = (408, 366)  # the controls' area: the menu bar lies above it, the status bar below
MAX_MENU_BAR = 40
DEADLINE = 30.0  # seconds for each wait


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, up to those read here.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


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
    "XGetGeometry": (I, [P, UL, ptr(UL), ptr(I), ptr(I), ptr(UI), ptr(UI), ptr(UI), ptr(UI)]),
    "XFree": (I, [P]),
    "XSendEvent": (I, [P, UL, I, L, ptr(XEvent)]),
    "XSync": (I, [P, I]),
    "XTranslateCoordinates": (I, [P, UL, UL, I, I, ptr(I), ptr(I), ptr(UL)]),
    "XGetImage": (ptr(XImage), [P, UL, I, I, UI, UI, UL, I]),
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

    def __init__(self, x, t, dpy, win, size, bar):
        """Coordinates are taken below the menu bar, `bar` pixels high; `size` leaves it out."""
        self.x, self.t, self.dpy, self.win, self.size, self.bar = x, t, dpy, win, size, bar
        self.spare = None  # a key code with no symbol, for characters no key has

    def settle(self, seconds=0.4):
        self.x.XSync(self.dpy, 0)
        time.sleep(seconds)

    def origin(self):
        gx, gy, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.x.XTranslateCoordinates(self.dpy, self.win, self.x.XDefaultRootWindow(self.dpy), 0, 0,
                                     ctypes.byref(gx), ctypes.byref(gy), ctypes.byref(child))
        return gx.value, gy.value + self.bar

    def click(self, cx, cy):
        ox, oy = self.origin()
        self.t.XTestFakeMotionEvent(self.dpy, -1, ox + cx, oy + cy, 0)
        self.t.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.t.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.settle(0.15)

    def key(self, name, focus=None, held=None):
        """Presses and releases the key of keysym `name` (with the key `held` down)."""
        self.x.XSetInputFocus(self.dpy, focus or self.win, 2, 0)  # RevertToParent, CurrentTime
        sym = self.x.XStringToKeysym(name.encode())
        code = self.x.XKeysymToKeycode(self.dpy, sym)
        if not code:
            code = self.spare_key(sym)
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

    def from_cell_height(self, tabs, name):
        """Clicks into the cell height box, moves the focus on with Tab and presses `name`."""
        self.click(252, 308)
        for _ in range(tabs):
            self.key("Tab")
        self.key(name)
        self.settle(1.2)

    def type(self, text, focus=None, at=None):
        """Types `text`, first clicking at `at` (into a number box, which selects its whole text)."""
        if at:
            self.click(*at)
        for ch in text:
            name = {"\n": "Return", "/": "slash", ".": "period", "-": "minus", "_": "underscore"}.get(ch, ch)
            shifted = ch == "_" or ch.isupper()
            self.key(name if ch.isascii() else f"U{ord(ch):04X}", focus, held="Shift_L" if shifted else None)
        self.settle()

    def shot(self):
        return pixels(self.x, self.dpy, self.win, self.bar, *self.size)


def pixels(x, dpy, win, top, w, h):
    """The window's pixels from `top` down as rows of (r, g, b)."""
    img = x.XGetImage(dpy, win, 0, top, w, h, 0xFFFFFFFF, 2)  # ZPixmap
    if not img or img.contents.bits_per_pixel != 32:
        raise RuntimeError("cannot read the window's pixels")
    raw, stride = ctypes.string_at(img.contents.data, img.contents.bytes_per_line * h), img.contents.bytes_per_line
    return [[(raw[y * stride + 4 * px + 2], raw[y * stride + 4 * px + 1], raw[y * stride + 4 * px])
             for px in range(w)] for y in range(h)]


def menu_bar_height(x, dpy, win):
    """The font button's top edge lies 8 pixels below the menu bar: the first dark pixel
    down a column right of the menu's title."""
    column = [sum(row[80]) for row in pixels(x, dpy, win, 0, 100, MAX_MENU_BAR + 12)]
    return next((y - 8 for y in range(9, len(column)) if column[y] < column[0] - 150), 0)


def region(shot, left, top, right, bottom):
    return [row[left:right] for row in shot[top:bottom]]


def drive(x, dpy, win, size, bar, folder):
    """The empty-text sequence, the large preview, the keyboard and the save dialog;
    raises with the reason on failure."""
    user = User(x, load("libXtst.so.6", XTEST), dpy, win, size, bar)
    user.settle(1.0)
    start = user.shot()
    font_button = region(start, 8, 8, 97, 33)  # Command1, which the preview covers
    black = (0, 0, 0)

    # Preview with an empty text: one message box, which Return closes.
    user.click(236, 340)
    user.settle(1.0)
    boxes = others(x, dpy, win, 1)
    if len(boxes) != 1 or utf8_property(x, dpy, boxes[0], b"_NET_WM_NAME") != CAPTION:
        raise RuntimeError(f"an empty text gave {len(boxes)} message windows, expected one")
    user.key("Return", focus=boxes[0])
    if others(x, dpy, win, 0):
        raise RuntimeError("the message did not close")

    # Type a text and preview: the sheet shows over the top-left corner at once.
    user.click(150, 70)
    user.type("ab")
    user.click(236, 340)
    user.settle(1.0)
    if others(x, dpy, win, 0) or user.shot()[1][1] != black:
        raise RuntimeError("the preview after typing a text was refused or shows no sheet")

    # Twelve characters in eight lines, cells of 160 x 160: a 1920 x 1280 sheet.
    user.type("160", at=(172, 308))
    user.type("160", at=(252, 308))
    user.click(300, 120)
    user.type("cdefghijkl" + "\nabcdefghijkl" * 7)
    user.click(236, 340)
    user.settle(1.5)
    shown = user.shot()
    if shown[1][1] != black or region(shown, 8, 8, 97, 33) == font_button:
        raise RuntimeError("the large sheet does not cover the window")
    # Scroll bars along the right and bottom edges; click them towards the far end.
    w, h = DESIGN_SIZE
    for _ in range(8):
        user.click(w - 6, h - 60)
        user.click(w - 60, h - 6)
    user.settle(0.8)
    scrolled = user.shot()
    if region(scrolled, 8, 8, 97, 33) == font_button or scrolled[1][1] != black:
        raise RuntimeError("clicking the scroll bars hid the sheet")
    if region(scrolled, w - 20, 0, w, h) == region(shown, w - 20, 0, w, h):
        raise RuntimeError("clicking the scroll bars did not scroll")
    ink = sum(1 for row in scrolled[:h - 20] for p in row[:w - 20] if min(p) > 200)
    if ink == 0:
        raise RuntimeError("no glyph shows at the sheet's bottom-right corner")

    user.key("Escape")
    user.settle(1.0)
    if region(user.shot(), 8, 8, 97, 33) != font_button:
        raise RuntimeError("Escape did not hide the sheet")

    # Cells of ６４ x ６４ typed with full-width digits; Tab to the preview button, Enter.
    user.click(300, 120)
    user.key("a", held="Control_L")
    user.type("ab")
    user.type("６４", at=(172, 308))
    user.type("６４", at=(252, 308))
    user.from_cell_height(2, "Return")
    sheet = user.shot()
    if any(sheet[y][x] != black for x, y in ((1, 1), (126, 1), (1, 62))) or sheet[1][140] == black:
        raise RuntimeError("cells typed as ６４ did not give a 128 x 64 sheet through Enter on the preview button")
    user.key("Escape")
    user.settle(0.5)

    # Space on the image option, reached with Tab, opens the texture dialog; Escape cancels it.
    user.from_cell_height(4, "space")
    texture = others(x, dpy, win, 1)
    if len(texture) != 1 or utf8_property(x, dpy, texture[0], b"_NET_WM_NAME") != "テクスチャ画像ファイル名":
        raise RuntimeError("Space on the focused image option opened no texture dialog")
    user.key("Escape", focus=texture[0])
    user.settle(0.8)

    # Saves through the real dialog, reached with Tab and Enter: a name with another suffix
    # under the bitmap type; a bare name under PNG (Tab to the type, Down); the same name
    # again, where the question before replacing is answered no (Escape) and nothing is written.
    def save(typed, png=False, cancel=False):
        user.from_cell_height(3, "Return")
        dialogs = others(x, dpy, win, 1)
        if len(dialogs) != 1:
            raise RuntimeError(f"the save button gave {len(dialogs)} dialogs")
        user.type(typed, focus=dialogs[0])
        if png:
            user.key("Tab", focus=dialogs[0])
            user.key("Down", focus=dialogs[0])
        user.key("Return", focus=dialogs[0])
        user.settle(1.0)
        if cancel:
            asked = others(x, dpy, win, 2)
            if len(asked) != 2:
                raise RuntimeError(f"replacing a file asked {len(asked) - 1} questions")
            question = next(w for w in asked if w != dialogs[0])
            user.key("Escape", focus=question)
            user.settle(0.5)
            user.key("Escape", focus=dialogs[0])
            user.settle(0.8)
        left = others(x, dpy, win, 0)
        if left:
            raise RuntimeError(f"{[utf8_property(x, dpy, w, b'_NET_WM_NAME') for w in left]} still open after "
                               f"saving {typed!r}")

    def signature(name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read(4)

    save(os.path.join(folder, "photo.jpg"))
    if sorted(os.listdir(folder)) != ["photo.jpg.bmp"] or signature("photo.jpg.bmp")[:2] != b"BM":
        raise RuntimeError(f"photo.jpg under the bitmap type gave {sorted(os.listdir(folder))}")
    save("sheet", png=True)  # the dialog opens in the folder saved to
    if sorted(os.listdir(folder)) != ["photo.jpg.bmp", "sheet.png"] or signature("sheet.png") != b"\x89PNG":
        raise RuntimeError(f"sheet under the PNG type gave {sorted(os.listdir(folder))}")
    before = os.stat(os.path.join(folder, "photo.jpg.bmp")).st_mtime_ns
    save("photo.jpg", cancel=True)
    if os.stat(os.path.join(folder, "photo.jpg.bmp")).st_mtime_ns != before:
        raise RuntimeError("answering no to the question replaced the file")


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

        root, gx, gy = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        w, h, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        x.XGetGeometry(dpy, win, ctypes.byref(root), ctypes.byref(gx), ctypes.byref(gy), ctypes.byref(w),
                       ctypes.byref(h), ctypes.byref(border), ctypes.byref(depth))
        bar = menu_bar_height(x, dpy, win)
        area = (w.value, h.value - bar)
        if area[0] != DESIGN_SIZE[0] or not DESIGN_SIZE[1] + 20 <= area[1] <= DESIGN_SIZE[1] + 60:
            raise RuntimeError(f"client size is {w.value} x {h.value}, expected {DESIGN_SIZE[0]} x {DESIGN_SIZE[1]} "
                               f"with a menu bar ({bar} pixels) above and a status bar below")
        drive(x, dpy, win, area, bar, folder)

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
        print(f"ok: window {CAPTION} at {w.value} x {h.value} driven and closed cleanly")
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
