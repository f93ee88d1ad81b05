#!/usr/bin/env python3
"""Whole-process runs of karuvo-cli against the Pillow peer and against itself with
each effect and format, on the same CJK sheet. Prints medians and ratios measured in
this one run; compare nothing across runs.

usage: whole_run.py KARUVO_CLI [--characters N] [--runs N] [--size PX] [--cell PX] [--scale | --sdf | --peaks]

--scale instead times the plain run per glyph: the CJK sheet, every ideograph IPAGothic
has, a sheet of 20,000 (its ideographs and then the first ones again), every character of
JIS X 0208 at 64 px in cells fitted to them, and the CJK sheet at 64 px in fitted cells.

--sdf instead times distance-field sheets (--sdf 8, --sdf 4, --msdf 4, --mtsdf 4) of every
character of JIS X 0208 at 32 px in 48 x 48 cells against the plain PNG of the same set:
wall and CPU time, CPU per glyph and peak memory, each against the plain run's; and the
multi-channel runs' CPU and peak memory against --sdf 4's.

--peaks instead runs a few of the largest builds that karuvo-cli accepts once each and
checks that the peak memory of each stays under the limit its --help states for a build;
it exits with status 1 when one does not.
"""
import re
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PEER_PYTHON = "/usr/bin/python3"  # Debian's, which has python3-pil
FONT_FILE = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"


def font_ideographs(font_file=FONT_FILE):
    """The CJK ideographs the font file has, in code point order, from fontconfig."""
    charset = subprocess.run(["fc-query", "--format", "%{charset}", font_file],
                             capture_output=True, text=True, check=True).stdout
    have = []
    for item in charset.split():
        first, _, last = item.partition("-")
        have.extend(range(int(first, 16), int(last or first, 16) + 1))
    return [c for c in have if 0x4E00 <= c <= 0x9FFF or 0x3400 <= c <= 0x4DBF or 0xF900 <= c <= 0xFAFF]


def cjk_text(count, per_line=100):
    """count CJK ideographs that IPAGothic has, from U+4E00 on, in lines of per_line; past
    the last it has they come round again. (Every other code point from U+4E00 on is
    missing from it, and all of those would draw one and the same missing-glyph box.)"""
    have = sorted(font_ideographs(), key=lambda c: (c < 0x4E00, c))
    chars = [chr(have[i % len(have)]) for i in range(count)]
    return "\n".join("".join(chars[i:i + per_line]) for i in range(0, count, per_line))


def timed(argv):
    """Wall seconds and peak resident memory (MB) of one run of argv."""
    wall, peak, _ = measured(argv)
    return wall, peak


def measured(argv):
    """Wall seconds, peak resident memory (MB) and CPU seconds of one run of argv."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{' '.join(argv)} failed: {err.strip()}")
    return wall, usage.ru_maxrss / 1024.0, usage.ru_utime + usage.ru_stime


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("cli")
    ap.add_argument("--characters", type=int, default=7000)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--size", type=int, default=24)
    ap.add_argument("--cell", type=int, default=32)
    ap.add_argument("--scale", action="store_true")
    ap.add_argument("--sdf", action="store_true")
    ap.add_argument("--peaks", action="store_true")
    args = ap.parse_args()
    if args.scale:
        scale(args)
        return
    if args.sdf:
        distance_field(args)
        return
    if args.peaks:
        sys.exit(peak_check(args))

    work = tempfile.mkdtemp(prefix="karuvo-bench-")
    try:
        text_file = os.path.join(work, "text.txt")
        with open(text_file, "w", encoding="utf-8") as f:
            f.write(cjk_text(args.characters))
        base = [args.cli, "-T", text_file, "-f", "IPAGothic", "-s", str(args.size),
                "-c", f"{args.cell}x{args.cell}", "-q"]
        variants = [
            ("karuvo-cli -o sheet.bmp", base + ["-o", os.path.join(work, "a.bmp")]),
            ("  with --shadow 2,2", base + ["--shadow", "2,2", "-o", os.path.join(work, "b.bmp")]),
            ("  with --outline 10", base + ["--outline", "10", "-o", os.path.join(work, "c.bmp")]),
            ("  -o sheet.png", base + ["-o", os.path.join(work, "d.png")]),
        ]
        peer = None
        if shutil.which(PEER_PYTHON) and subprocess.run(
                [PEER_PYTHON, "-c", "import PIL"], capture_output=True).returncode == 0:
            peer = ("Pillow peer script", [PEER_PYTHON, os.path.join(HERE, "pillow_peer.py"), FONT_FILE,
                                           str(args.size), str(args.cell), text_file,
                                           os.path.join(work, "peer.bmp")])
        runs = variants + ([peer] if peer else [])

        walls = {name: [] for name, _ in runs}
        peaks = {name: [] for name, _ in runs}
        skipped = set()
        # Interleaved, so that a slow moment of the machine falls on every variant alike.
        for _ in range(args.runs):
            for name, argv in runs:
                if name in skipped:
                    continue
                try:
                    wall, peak = timed(argv)
                except RuntimeError as e:
                    print(f"skipped {name.strip()}: {e}", file=sys.stderr)
                    skipped.add(name)
                    continue
                walls[name].append(wall)
                peaks[name].append(peak)

        plain = statistics.median(walls[variants[0][0]])
        print(f"{args.characters} characters, {args.cell} x {args.cell} cells, IPAGothic {args.size} px, "
              f"median of {args.runs}")
        print(f"{'run':32} {'wall s':>8} {'x plain':>8} {'peak MB':>8}")
        for name, _ in runs:
            if name in skipped:
                continue
            m = statistics.median(walls[name])
            print(f"{name:32} {m:8.3f} {m / plain:8.2f} {statistics.median(peaks[name]):8.1f}")
        if peer and peer[0] not in skipped:
            print(f"karuvo-cli is {statistics.median(walls[peer[0]]) / plain:.2f}x faster than the peer")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def glyph_count(argv):
    """The characters a run draws, from its report."""
    report = subprocess.run([a for a in argv if a != "-q"], capture_output=True, text=True, check=True).stderr
    return int(re.search(r"(\d+) characters", report).group(1))


def scale(args):
    work = tempfile.mkdtemp(prefix="karuvo-bench-")
    try:
        runs = []
        distinct = len(font_ideographs())
        for count in (args.characters, distinct, 20000):
            text_file = os.path.join(work, f"text{count}.txt")
            with open(text_file, "w", encoding="utf-8") as f:
                f.write(cjk_text(count))
            name = f"{count} CJK, {args.size} px" + (" (again)" if count > distinct else "")
            runs.append((name, [args.cli, "-T", text_file, "-f", "IPAGothic", "-s",
                                                       str(args.size), "-c", f"{args.cell}x{args.cell}", "-q",
                                                       "-o", os.path.join(work, f"s{count}.bmp")]))
        runs.append(("JIS X 0208, 64 px", [args.cli, "--charset", "jis-x-0208", "-f", "IPAGothic", "-s", "64", "-q",
                                           "-o", os.path.join(work, "jis.bmp")]))
        # The CJK sheet at the JIS sheet's size, to tell what the size costs from what the count does.
        runs.append((f"{args.characters} CJK, 64 px", [args.cli, "-T", os.path.join(work, f"text{args.characters}.txt"),
                                                       "-f", "IPAGothic", "-s", "64", "-q",
                                                       "-o", os.path.join(work, "s64.bmp")]))
        counts = {name: glyph_count(argv) for name, argv in runs}
        walls = {name: [] for name, _ in runs}
        for _ in range(args.runs):
            for name, argv in runs:
                walls[name].append(timed(argv)[0])
        first = statistics.median(walls[runs[0][0]]) / counts[runs[0][0]]
        print(f"plain runs per glyph, median of {args.runs}")
        print(f"{'run':24} {'glyphs':>7} {'wall s':>8} {'us/glyph':>9} {'x first':>8}")
        for name, _ in runs:
            m = statistics.median(walls[name])
            print(f"{name:24} {counts[name]:7} {m:8.3f} {m / counts[name] * 1e6:9.1f} {m / counts[name] / first:8.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def distance_field(args):
    work = tempfile.mkdtemp(prefix="karuvo-bench-")
    try:
        base = [args.cli, "--charset", "jis-x-0208", "-f", "IPAGothic", "-s", "32", "-c", "48x48", "-q"]
        runs = [("plain PNG", base + ["-o", os.path.join(work, "plain.png")]),
                ("--sdf 8", base + ["--sdf", "8", "-o", os.path.join(work, "sdf.png")]),
                ("--sdf 4", base + ["--sdf", "4", "-o", os.path.join(work, "sdf4.png")]),
                ("--msdf 4", base + ["--msdf", "4", "-o", os.path.join(work, "msdf.png")]),
                ("--mtsdf 4", base + ["--mtsdf", "4", "-o", os.path.join(work, "mtsdf.png")])]
        glyphs = glyph_count(runs[0][1])
        results = {name: [] for name, _ in runs}
        for _ in range(args.runs):
            for name, argv in runs:
                results[name].append(measured(argv))
        med = {name: [statistics.median(r[k] for r in results[name]) for k in range(3)] for name, _ in runs}
        plain = med[runs[0][0]]
        print(f"JIS X 0208 ({glyphs} glyphs), IPAGothic 32 px, 48 x 48 cells, median of {args.runs}")
        print(f"{'run':12} {'wall s':>8} {'x plain':>8} {'CPU s':>8} {'x plain':>8} {'CPU us/glyph':>13} "
              f"{'peak MB':>8} {'+ plain':>8}")
        for name, _ in runs:
            wall, peak, cpu = med[name]
            print(f"{name:12} {wall:8.3f} {wall / plain[0]:8.2f} {cpu:8.3f} {cpu / plain[2]:8.2f} "
                  f"{cpu / glyphs * 1e6:13.1f} {peak:8.1f} {peak - plain[1]:8.1f}")
        sdf = med["--sdf 4"]
        for name in ("--msdf 4", "--mtsdf 4"):
            wall, peak, cpu = med[name]
            print(f"{name} against --sdf 4: CPU {cpu / sdf[2]:.2f} times, peak memory {peak - sdf[1]:+.1f} MB")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def stated_limit(cli):
    """The MiB a build may hold, as karuvo-cli --help states it."""
    help_text = subprocess.run([cli, "--help"], capture_output=True, text=True, check=True).stdout
    return int(re.search(r"A build may hold at most (\d+) MiB", help_text).group(1))


def peak_check(args):
    """Peak memory of large accepted builds against the stated limit; 1 when one is over it."""
    limit = stated_limit(args.cli)
    work = tempfile.mkdtemp(prefix="karuvo-bench-")
    try:
        out = lambda name: os.path.join(work, name)
        builds = [
            ("JIS X 0208, 128 px, outline 3, PNG pages",
             ["--charset", "jis-x-0208", "-s", "128", "--outline", "3", "--max-size", "16384", "-o", out("o.png"),
              "--fnt", out("o.fnt")]),
            ("JIS X 0208, 128 px, shadow 4,4, bitmap pages",
             ["--charset", "jis-x-0208", "-s", "128", "--shadow", "4,4", "--max-size", "16384", "-o", out("s.bmp")]),
            # One band of 100 million pixels, budgeted at about four fifths of the limit.
            ("one 1,000,000 x 100 px cell, outline 10, PNG",
             ["-t", "A", "-c", "1000000x100", "--outline", "10", "-o", out("w.png")]),
            ("every code point, 8 px, PNG and JSON",
             ["--chars", "U+0000-U+10FFFF", "-s", "8", "-o", out("all.png"), "--json", out("all.json")]),
        ]
        print(f"peak memory of large accepted builds, against the stated limit of {limit} MiB")
        print(f"{'build':46} {'wall s':>8} {'peak MiB':>9} {'x limit':>8}")
        over = 0
        for name, argv in builds:
            wall, peak_mib = timed([args.cli, "-q"] + argv)  # ru_maxrss is in KiB
            print(f"{name:46} {wall:8.2f} {peak_mib:9.1f} {peak_mib / limit:8.3f}")
            over += peak_mib > limit
            for f in os.listdir(work):
                os.unlink(os.path.join(work, f))
        print("every peak is under the limit" if not over else f"{over} build(s) over the limit")
        return 1 if over else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
