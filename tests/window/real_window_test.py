#!/usr/bin/env python3
# The real program on the X server of $DISPLAY (a private one: see tests/CMakeLists.txt), in an
# English locale, driven with the X test extension as a user would: Ctrl+O and names typed into
# Qt's own open dialog, Ctrl+E from a number box and after the preview, Ctrl+S and Ctrl+Q; and three
# jobs set up in 出力設定 from a fresh window, each exported, saved, reopened and exported again,
# its files equal to karuvo-cli's for the same options. Arguments: karuvo, karuvo-cli.
import ctypes
import filecmp
import os
import pathlib
import subprocess
import sys
import tempfile
import time

CAPTION = "KARUVO作成ツール"


# A pointer Xlib hands back, passed on whole (ctypes would give a plain int).
Pointer = type("Pointer", (ctypes.c_void_p,), {})


# The part of XWindowAttributes read here: whether a window is shown.
class Attributes(ctypes.Structure):
    _fields_ = [("geometry", ctypes.c_int * 6), ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
                ("kinds", ctypes.c_int * 4), ("planes", ctypes.c_ulong * 2), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                ("rest", ctypes.c_char * 64)]


X, XTEST = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
X.XOpenDisplay.restype = Pointer
X.XDefaultRootWindow.restype = X.XInternAtom.restype = ctypes.c_ulong
X.XKeysymToKeycode.restype = ctypes.c_ubyte
# A window may go between listing it and reading it: such an error is the window's absence.
IGNORE_ERRORS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda display, event: 0)
X.XSetErrorHandler(IGNORE_ERRORS)


# The keyboard on the program's windows.
class User:
    def __init__(self, dpy, win):
        self.dpy, self.win = dpy, win

    def key(self, name, focus=None, held=None):
        # Presses and releases the key of keysym `name` (with the keys `held`, "A+B", down).
        X.XSetInputFocus(self.dpy, focus or self.win, 2, 0)  # RevertToParent, CurrentTime
        code = X.XKeysymToKeycode(self.dpy, X.XStringToKeysym(name.encode()))
        holds = [X.XKeysymToKeycode(self.dpy, X.XStringToKeysym(h.encode())) for h in (held or "").split("+") if h]
        for pressed, down in [(h, 1) for h in holds] + [(code, 1), (code, 0)] + [(h, 0) for h in reversed(holds)]:
            XTEST.XTestFakeKeyEvent(self.dpy, pressed, down, 0)
        settle(self.dpy, 0.01)

    def type(self, text, focus=None):
        for ch in text:
            name = {"\n": "Return", "/": "slash", ".": "period", "-": "minus", "_": "underscore", " ": "space"}.get(ch, ch)
            self.key(name, focus, "Shift_L" if ch == "_" or ch.isupper() else None)
        settle(self.dpy)

    def others(self, expected):
        # The program's captioned windows other than the main one, once there are `expected`
        # of them (or as they are after a few seconds).
        end = time.monotonic() + 5
        while True:
            found = [w for w, n in named(self.dpy).items()
                     if w != self.win and n and n != "karuvo" and n[:3] != "Qt " and shown(self.dpy, w)]
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


IPAG, DEJAVU = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
# Each job: the text typed into Text1; the keys of 出力設定 with what is typed into each box (None
# for a check box or option, "Down" for the next item of a list, "End" for its last); karuvo-cli's
# options. "@" is the folder of the outputs.
JOBS = [
    ("", [("l", None), ("3", None), ("4", None), ("q", "8"), ("w", IPAG), ("z", "24"), ("s", "@/kana.png"), ("d", "@/kana.fnt"),
          ("k", "Down"), ("j", "@/kana.json"), ("g", "256")],
     ["--charset", "hiragana", "--charset", "katakana", "--columns", "8", "-f", IPAG, "-s", "24", "-o", "@/kana.png", "--fnt", "@/kana.fnt",
      "--fnt-format", "xml", "--json", "@/kana.json", "--max-size", "256"]),
    ("Ag1", [("w", DEJAVU), ("z", "32"), ("s", "@/field.png"), ("d", "@/field.fnt"), ("y", None), ("u", "8")],
     ["-t", "Ag1", "-f", DEJAVU, "-s", "32", "-o", "@/field.png", "--fnt", "@/field.fnt", "--sdf", "8"]),
    ("EM4", [("w", DEJAVU), ("z", "32"), ("s", "@/multi.png"), ("j", "@/multi.json"), ("y", None), ("0", "End"), ("u", "4")],
     ["-t", "EM4", "-f", DEJAVU, "-s", "32", "-o", "@/multi.png", "--json", "@/multi.json", "--mtsdf", "4"]),
]


def same_files(made, expected, what):
    # Waits up to 20 s for the files in `made` to be those in `expected`, byte for byte.
    names, end = sorted(os.listdir(expected)), time.monotonic() + 20
    while not (os.path.isdir(made) and sorted(os.listdir(made)) == names
               and filecmp.cmpfiles(made, expected, names, shallow=False)[0] == names):
        if time.monotonic() > end:
            raise RuntimeError(f"{what}: {sorted(os.listdir(made)) if os.path.isdir(made) else []} differ from "
                               f"karuvo-cli's {names}")
        time.sleep(0.3)


def job(user, folder, cli, text, keys, options):
    # From a fresh window: the text typed, 出力設定 by keys, 書き出し; then saved, reopened and
    # exported again. Raises with the reason on failure.
    made, expected = os.path.join(folder, "window"), os.path.join(folder, "cli")
    os.makedirs(expected)
    made_by_cli = subprocess.run([cli] + [o.replace("@", expected) for o in options], capture_output=True, text=True)
    if made_by_cli.returncode != 0:
        raise RuntimeError(made_by_cli.stderr)
    if text:
        user.key("Tab")  # from フォント選択 to the text
        user.type(text)
    user.key("e", held="Control_L+Shift_L")
    dialog = user.others(1)
    if len(dialog) != 1 or title(user.dpy, dialog[0]) != "出力設定":
        raise RuntimeError("Ctrl+Shift+E did not open 出力設定")
    for mnemonic, typed in keys:
        user.key(mnemonic, focus=dialog[0], held="Alt_L")
        settle(user.dpy, 0.3)  # a button's key clicks it a moment later
        if typed in ("Down", "End"):
            user.key(typed, focus=dialog[0])
        elif typed:
            user.key("a", focus=dialog[0], held="Control_L")
            user.type(typed.replace("@", made), focus=dialog[0])
    user.key("Return", focus=dialog[0])
    if user.others(0):
        raise RuntimeError("出力設定 did not take what was typed")
    project = os.path.join(folder, "job.karuvo")
    for step in ("exported", "reopened and exported again"):
        user.key("e", held="Control_L")
        same_files(made, expected, f"the files {step}")
        for name in os.listdir(made):
            os.remove(os.path.join(made, name))
        user.key("s" if step == "exported" else "o", held="Control_L")  # 保存 asks for a name; then 開く
        user.type(project + "\n", focus=user.others(1)[0])
        settle(user.dpy, 1.0)
        if title(user.dpy, user.win) != f"job.karuvo - {CAPTION}":
            raise RuntimeError(f"after the project was {step} the window is {title(user.dpy, user.win)!r}")
    user.key("q", held="Control_L")


def named(dpy):
    # Every top-level window on the display, with its name.
    root, parent, children, count = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    X.XQueryTree(dpy, X.XDefaultRootWindow(dpy), ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                 ctypes.byref(count))
    return {children[i]: title(dpy, children[i]) for i in range(count.value)}


def shown(dpy, win):
    attributes = Attributes()
    return X.XGetWindowAttributes(dpy, ctypes.c_ulong(win), ctypes.byref(attributes)) and attributes.map_state == 2


def title(dpy, win):
    # The window's _NET_WM_NAME, or None.
    kind, fmt, n, after, data = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_char_p()
    X.XGetWindowProperty(dpy, ctypes.c_ulong(win), X.XInternAtom(dpy, b"_NET_WM_NAME", 0), 0, 1024, 0,
                         X.XInternAtom(dpy, b"UTF8_STRING", 0), ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(n),
                         ctypes.byref(after), ctypes.byref(data))
    return data.value.decode("utf-8", "replace") if data.value else None


def run(program, scenario):
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
            scenario(User(dpy, win), work)
            status = app.wait(timeout=30)
            if status != 0:
                raise RuntimeError(f"the program ended with status {status} after 終了")
        finally:
            X.XCloseDisplay(dpy)
            if app.poll() is None:
                app.kill()
                app.wait()
    return 0


if __name__ == "__main__":
    try:
        run(sys.argv[1], drive)
        for text, keys, options in JOBS:
            run(sys.argv[1], lambda user, folder: job(user, folder, sys.argv[2], text, keys, options))
        print(f"ok: window {CAPTION} driven, three jobs exported as karuvo-cli exports them")
    except Exception as e:  # noqa: BLE001 - any failure is a test failure with its reason
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
