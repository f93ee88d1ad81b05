#!/usr/bin/env python3
# Every message text marked for translation in the sources has a Japanese translation: runs
# Qt's lupdate over the sources into a copy of the Japanese .ts file and fails on any message left
# unfinished (a new or changed text nobody translated). Arguments: lupdate, sources, .ts file.
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

lupdate, sources, ts = sys.argv[1:4]
with tempfile.TemporaryDirectory() as work:
    copy = shutil.copy(ts, f"{work}/karuvo_ja.ts")
    subprocess.run([lupdate, "-silent", "-locations", "none", "-no-obsolete", "-source-language", "en",
                    "-target-language", "ja", sources, "-ts", copy], check=True)
    missing = [m.findtext("source") for m in ET.parse(copy).iter("message")
               if m.find("translation").get("type") in ("unfinished", "vanished") or not (m.findtext("translation") or "").strip()]
if missing:
    sys.exit("FAIL: no Japanese for:\n  " + "\n  ".join(missing))
print("ok: every marked message has a Japanese translation")
