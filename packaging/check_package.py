#!/usr/bin/env python3
"""Builds the Debian package from a finished build folder and checks what it holds: both
programs in /usr/bin, the desktop entry (valid to desktop-file-validate; English and
Japanese names, one main category, a command that takes a file, the project file type, and
an icon that exist in the package), the project file type's definition, the icons, the
copyright file, the declared dependencies, and that the programs taken out of the package
run."""
import configparser
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

WANT_FILES = [
    "./usr/bin/karuvo",
    "./usr/bin/karuvo-cli",
    "./usr/share/applications/karuvo.desktop",
    "./usr/share/icons/hicolor/scalable/apps/karuvo.svg",
    "./usr/share/icons/hicolor/128x128/apps/karuvo.png",
    "./usr/share/doc/karuvo/copyright",
    "./usr/share/mime/packages/karuvo-project.xml",
]
WANT_DEPENDS = ["libqt6widgets6", "libqt6gui6", "libqt6core6", "libharfbuzz0b", "libc6", "libstdc++6", "qt6-qpa-plugins",
                "qt6-image-formats-plugins", "qt6-translations-l10n"]
MAIN_CATEGORIES = {"AudioVideo", "Audio", "Video", "Development", "Education", "Game", "Graphics", "Network",
                   "Office", "Science", "Settings", "System", "Utility"}


def run(*args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout


def check(build, work):
    run("cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-G", "DEB", "-B", work)
    debs = [f for f in os.listdir(work) if f.endswith(".deb")]
    if len(debs) != 1:
        raise RuntimeError(f"expected one package, found {debs}")
    deb = os.path.join(work, debs[0])

    listed = [line.split()[-1] for line in run("dpkg-deb", "-c", deb).splitlines()]
    for f in WANT_FILES:
        if f not in listed:
            raise RuntimeError(f"{f} is not in the package")
    depends = run("dpkg-deb", "-f", deb, "Depends")
    names = {d.strip().split()[0] for part in depends.split(",") for d in part.split("|")}
    for d in WANT_DEPENDS:
        if d not in names:
            raise RuntimeError(f"the package does not depend on {d}: {depends.strip()}")

    root = os.path.join(work, "root")
    run("dpkg-deb", "-x", deb, root)
    desktop = os.path.join(root, "usr/share/applications/karuvo.desktop")
    said = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
    if said.returncode != 0 or said.stdout.strip():
        raise RuntimeError(f"desktop-file-validate: {said.stdout.strip()} {said.stderr.strip()}")
    with open(os.path.join(root, "usr/share/doc/karuvo/copyright"), encoding="utf-8") as f:
        if not f.readline().startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/"):
            raise RuntimeError("the copyright file is not in the machine-readable format")
    entry = configparser.ConfigParser(interpolation=None, strict=True)
    entry.optionxform = str
    entry.read(os.path.join(root, "usr/share/applications/karuvo.desktop"), encoding="utf-8")
    e = entry["Desktop Entry"]
    expect = {"Type": "Application", "Name[ja]": "KARUVO作成ツール", "Exec": "karuvo %f", "Icon": "karuvo",
              "MimeType": "application/x-karuvo-project;"}
    for key, value in expect.items():
        if e.get(key) != value:
            raise RuntimeError(f"desktop entry {key}={e.get(key)!r}, expected {value!r}")
    if not e.get("Name") or not e["Name"].isascii():
        raise RuntimeError(f"desktop entry has no English name: {e.get('Name')!r}")
    main = MAIN_CATEGORIES.intersection(e.get("Categories", "").split(";"))
    if main != {"Graphics"}:
        raise RuntimeError(f"desktop entry categories {e.get('Categories')!r}: one main category, Graphics")
    # The type the entry opens is defined for *.karuvo.
    ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
    mime = ET.parse(os.path.join(root, "usr/share/mime/packages/karuvo-project.xml")).getroot()
    types = {t.get("type"): [g.get("pattern") for g in t.iter(ns + "glob")] for t in mime.iter(ns + "mime-type")}
    if types.get("application/x-karuvo-project") != ["*.karuvo"]:
        raise RuntimeError(f"the project file type is not defined for *.karuvo: {types}")
    with open(os.path.join(root, "usr/share/icons/hicolor/128x128/apps/karuvo.png"), "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", head[16:24]) != (128, 128):
        raise RuntimeError("the 128 px icon is not a 128 x 128 PNG")
    svg = ET.parse(os.path.join(root, "usr/share/icons/hicolor/scalable/apps/karuvo.svg")).getroot()
    if not svg.tag.endswith("svg") or not list(svg):
        raise RuntimeError("the icon is not a drawing")

    # The programs as packaged run against the system's libraries.
    out = os.path.join(work, "a.bmp")
    run(os.path.join(root, "usr/bin/karuvo-cli"), "-t", "A", "-o", out)
    with open(out, "rb") as f:
        if f.read(2) != b"BM":
            raise RuntimeError("the packaged karuvo-cli wrote no bitmap")
    window = subprocess.Popen([os.path.join(root, "usr/bin/karuvo")], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        window.wait(timeout=3)
        raise RuntimeError(f"the packaged window ended at once with status {window.returncode}: "
                           f"{window.stderr.read().decode(errors='replace')}")
    except subprocess.TimeoutExpired:
        pass  # still showing its window
    finally:
        if window.poll() is None:
            window.kill()
            window.wait()
    print(f"ok: {debs[0]}, depends on {depends.strip()}")


if __name__ == "__main__":
    try:
        with tempfile.TemporaryDirectory() as work:
            check(sys.argv[1], work)
    except (RuntimeError, subprocess.CalledProcessError) as e:
        detail = getattr(e, "stderr", "") or ""
        print(f"FAIL: {e} {detail}", file=sys.stderr)
        sys.exit(1)
