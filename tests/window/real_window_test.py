#!/usr/bin/env python3
# The real program on the X server of $DISPLAY (a private one: see tests/CMakeLists.txt), in an
# English locale, driven with the X test extension as a user would: Ctrl+O and names typed into
# Qt's own open dialog, Ctrl+E from a number box and after the preview, Ctrl+S and Ctrl+Q.
import ctypes
import os
import pathlib
import subprocess
import sys
import tempfile
import time

CAPTION = "KARUVO作成ツール"


# A pointer Xlib hands back, passed on whole (ctypes would give a plain int).
Pointer = type("Pointer", (ctypes.c_void_p,), {})


X, XTEST = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
X.XOpenDisplay.restype = Pointer
X.XDefaultRootWindow.restype = X.XInternAtom.restype = ctypes.c_ulong
X.XKeysymToKeycode.restype = ctypes.c_ubyte


# The keyboard on the program's windows.
class User:
    def __init__(self, dpy, win):
        self.dpy, self.win = dpy, win

    def key(self, name, focus=None, held=None):
        # Presses and releases the key of keysym `name` (with the key `held` down).
        X.XSetInputFocus(self.dpy, focus or self.win, 2, 0)  # RevertToParent, CurrentTime
        code = X.XKeysymToKeycode(self.dpy, X.XStringToKeysym(name.encode()))
        hold = X.XKeysymToKeycode(self.dpy, X.XStringToKeysym(held.encode())) if held else 0
        for pressed, down in [(k, d) for k, d in ((hold, 1), (code, 1), (code, 0), (hold, 0)) if k]:
            XTEST.XTestFakeKeyEvent(self.dpy, pressed, down, 0)
        settle(self.dpy, 0.01)

    def type(self, text, focus=None):
        for ch in text:
            name = {"\n": "Return", "/": "slash", ".": "period", "-": "minus", "_": "underscore"}.get(ch, ch)
            self.key(name, focus, "Shift_L" if ch == "_" or ch.isupper() else None)
        settle(self.dpy)

    def others(self, expected):
        # The program's captioned windows other than the main one, once there are `expected`
        # of them (or as they are after a few seconds).
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
    # Ctrl+O: a mistyped name leaves the open-project dialog open (Qt says the file is not
    # found); the right name, typed over it, opens the project. Raises with the reason on failure.
    with open(os.path.join(folder, "typed.karuvo"), "w") as f:
        f.write('{"karuvo": 1, "text": "A", "cell": {"width": 20, "height": 20}, "output": {"sheet": "typed.png"}}')
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
    # Under xcb a text box takes Ctrl+E as the end of its line unless the window passes it on.
    sheet = os.path.join(folder, "typed.png")
    for press in (("Tab", "Tab", "3", "0"), ("Tab", "Tab", "Tab", "Return", "Escape")):  # to 横; to プレビュー and back
        for name in press:
            user.key(name)
        user.key("e", held="Control_L")
        settle(user.dpy, 1.0)
        if not os.path.exists(sheet) or int.from_bytes(pathlib.Path(sheet).read_bytes()[16:20], "big") != 30:
            raise RuntimeError(f"Ctrl+E after {' '.join(press)} wrote no sheet of the typed width, 30")
        os.remove(sheet)
    user.key("s", held="Control_L")  # the typed cell saved: no question on closing
    user.key("q", held="Control_L")  # 終了


def named(dpy):
    # Every top-level window on the display, with its name.
    root, parent, children, count = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    X.XQueryTree(dpy, X.XDefaultRootWindow(dpy), ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                 ctypes.byref(count))
    return {children[i]: title(dpy, children[i]) for i in range(count.value)}


def title(dpy, win):
    # The window's _NET_WM_NAME, or None.
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
