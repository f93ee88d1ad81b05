#!/usr/bin/env python3
"""Opens the real program under a private X server, finds its window by caption,
checks the client size and closes it the way a window manager would."""
import ctypes
import ctypes.util
import os
import signal
import subprocess
import sys
import time

CAPTION = "KARUVO作成ツール"
WANT_SIZE = (408, 366)
DEADLINE = 30.0  # seconds for each wait


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def load_x11():
    x = ctypes.CDLL("libX11.so.6")
    P, UL, I, UI, L = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint, ctypes.c_long
    ptr = ctypes.POINTER
    signatures = {
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
    }
    for name, (restype, argtypes) in signatures.items():
        getattr(x, name).restype = restype
        getattr(x, name).argtypes = argtypes
    return x


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
    out = []
    for k in kids:
        out.append(k)
        out.extend(all_windows(x, dpy, k))
    return out


def find_window(x, dpy, caption):
    for w in all_windows(x, dpy, x.XDefaultRootWindow(dpy)):
        if utf8_property(x, dpy, w, b"_NET_WM_NAME") == caption:
            return w
    return None


def start_xvfb():
    for n in range(97, 121):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = time.monotonic() + DEADLINE
        while time.monotonic() < end:
            if proc.poll() is not None:
                break  # the number was taken after all; try the next
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return proc, f":{n}"
            time.sleep(0.1)
        stop(proc)
    raise RuntimeError("no free display number for Xvfb")


def stop(proc):
    if proc and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def run(program):
    x = load_x11()
    xvfb, display = start_xvfb()
    app = None
    dpy = None
    try:
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
        app = subprocess.Popen([program], env=env)
        dpy = x.XOpenDisplay(display.encode())
        if not dpy:
            raise RuntimeError(f"cannot open display {display}")

        win = None
        end = time.monotonic() + DEADLINE
        while win is None and time.monotonic() < end:
            if app.poll() is not None:
                raise RuntimeError(f"the program ended early with status {app.returncode}")
            win = find_window(x, dpy, CAPTION)
            if win is None:
                time.sleep(0.2)
        if win is None:
            raise RuntimeError(f"no window captioned {CAPTION!r} appeared")

        root, gx, gy = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        w, h, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        x.XGetGeometry(dpy, win, ctypes.byref(root), ctypes.byref(gx), ctypes.byref(gy), ctypes.byref(w),
                       ctypes.byref(h), ctypes.byref(border), ctypes.byref(depth))
        if (w.value, h.value) != WANT_SIZE:
            raise RuntimeError(f"client size is {w.value} x {h.value}, expected {WANT_SIZE[0]} x {WANT_SIZE[1]}")

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
        print(f"ok: window {CAPTION} at {w.value} x {h.value} closed cleanly")
        return 0
    finally:
        if dpy:
            x.XCloseDisplay(dpy)
        if app and app.poll() is None:
            app.kill()
            app.wait()
        stop(xvfb)


if __name__ == "__main__":
    # A test runner that gives up on us sends SIGTERM: unwind, so Xvfb is stopped too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped by SIGTERM"))
    try:
        sys.exit(run(sys.argv[1]))
    except Exception as e:  # noqa: BLE001 - any failure is a test failure with its reason
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
