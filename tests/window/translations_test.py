#!/usr/bin/env python3
"""Every message text marked for translation in the sources has a Japanese translation:
runs Qt's lupdate over the sources into a copy of the Japanese .ts file and fails on any
message left unfinished (a new or changed text nobody translated)."""
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def main(lupdate, sources, ts):
    with tempfile.TemporaryDirectory() as work:
        copy = f"{work}/karuvo_ja.ts"
        shutil.copy(ts, copy)
        subprocess.run([lupdate, "-silent", "-locations", "none", "-no-obsolete", "-source-language", "en",
                        "-target-language", "ja", sources, "-ts", copy], check=True)
        missing = [m.findtext("source") for m in ET.parse(copy).iter("message")
                   if m.find("translation").get("type") in ("unfinished", "vanished")
                   or not (m.findtext("translation") or "").strip()]
    if missing:
        print("FAIL: no Japanese for:", *missing, sep="\n  ", file=sys.stderr)
        return 1
    print("ok: every marked message has a Japanese translation")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
