#!/usr/bin/env python3
"""Reads the descriptors karuvo-cli writes in all three .fnt forms and the JSON back with
readers written here from the formats' public descriptions (not the program's writer),
and requires the same face, characters, rectangles, offsets, advances and kerning from
each, every character at its first cell, every rectangle inside that cell and on the sheet.

Usage: fnt_reader_test.py KARUVO_CLI"""
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

TEXT = "AVATAR wörld\nTj, Yo. 漢字"
FIELDS = ("x", "y", "width", "height", "xoffset", "yoffset", "xadvance")


def from_tags(tags):
    """A font from (tag, attributes) pairs, as the text and XML forms both give them."""
    font = {"chars": {}, "kerning": {}, "pages": [], "charPages": {}}
    for tag, kv in tags:
        if tag == "info":
            font["face"], font["size"] = kv["face"].strip('"'), int(kv["size"])
        elif tag == "common":
            font.update(lineHeight=int(kv["lineHeight"]), base=int(kv["base"]), scale=(int(kv["scaleW"]), int(kv["scaleH"])))
        elif tag == "page":
            font["pages"].append(kv["file"].strip('"'))
        elif tag == "char":
            assert int(kv["id"]) not in font["chars"], "a character listed twice"
            font["chars"][int(kv["id"])] = tuple(int(kv[f]) for f in FIELDS)
            font["charPages"][int(kv["id"])] = int(kv["page"])
        elif tag == "kerning":
            font["kerning"][(int(kv["first"]), int(kv["second"]))] = int(kv["amount"])
        elif tag in ("chars", "kernings"):
            font[tag + "Count"] = int(kv["count"])
    return font


def read_text(data):
    return from_tags((line.split(" ")[0], dict(re.findall(r'(\w+)=("[^"]*"|\S+)', line)))
                     for line in data.decode("utf-8").splitlines())


def read_xml(data):
    return from_tags((e.tag, e.attrib) for e in ET.fromstring(data).iter())


def read_binary(data):
    assert data[:4] == b"BMF\x03", data[:4]
    font = {"chars": {}, "kerning": {}, "charPages": {}}
    at = 4
    while at < len(data):
        kind, size = struct.unpack_from("<BI", data, at)
        body = data[at + 5:at + 5 + size]
        assert len(body) == size, "a block runs past the end"
        if kind == 1:  # 14 bytes of numbers, the size first, then the face's name ended by a zero byte
            font["face"], font["size"] = body[14:body.index(b"\0", 14)].decode("utf-8"), struct.unpack_from("<h", body)[0]
        elif kind == 2:
            line, base, w, h = struct.unpack_from("<HHHH", body)
            font.update(lineHeight=line, base=base, scale=(w, h))
        elif kind == 3:  # names of one length, each ended by a zero byte
            length = body.index(b"\0") + 1
            font["pages"] = [body[i:i + length - 1].decode("utf-8") for i in range(0, size, length)]
        elif kind == 4:
            for i in range(0, size, 20):
                cid, x, y, w, h, xo, yo, xa, page, _chnl = struct.unpack_from("<IHHHHhhhBB", body, i)
                assert cid not in font["chars"], "a character listed twice"
                font["chars"][cid], font["charPages"][cid] = (x, y, w, h, xo, yo, xa), page
            font["charsCount"] = size // 20
        elif kind == 5:
            for i in range(0, size, 10):
                a, b, amount = struct.unpack_from("<IIh", body, i)
                font["kerning"][(a, b)] = amount
            font["kerningsCount"] = size // 10
        at += 5 + size
    return font


def read_json(data):
    doc = json.loads(data)
    return {"face": doc["face"], "lineHeight": doc["lineHeight"], "base": doc["base"], "scale": (doc["width"], doc["height"]),
            "cell": (doc["cellWidth"], doc["cellHeight"]), "pages": doc["pages"],
            "cells": {int(k): (v["x"], v["y"]) for k, v in doc["chars"].items()},
            "chars": {int(k): tuple(v["rectX" if f == "x" else "rectY" if f == "y" else f] for f in FIELDS)
                      for k, v in doc["chars"].items()},
            "kerning": {(k["first"], k["second"]): k["amount"] for k in doc["kerning"]},
            "charPages": {int(k): v["page"] for k, v in doc["chars"].items()}}


def run(cli, work, sheet, options, *outputs):
    done = subprocess.run([cli, "-t", TEXT, "-f", "DejaVu Sans", *options, "-o", os.path.join(work, sheet + ".png"),
                           *outputs, "-q"], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr


def descriptors(cli, work, sheet, options):
    """The descriptors of one sheet in the three .fnt forms and JSON, each read back."""
    read = {}
    for form, reader in (("text", read_text), ("xml", read_xml), ("binary", read_binary)):
        fnt = os.path.join(work, form + ".fnt")
        run(cli, work, sheet, options, "--fnt", fnt, "--fnt-format", form, "--json", os.path.join(work, sheet + ".json"))
        with open(fnt, "rb") as f:
            read[form] = reader(f.read())
    with open(os.path.join(work, sheet + ".json"), "rb") as f:
        read["json"] = read_json(f.read())
    return read


def main(cli):
    with tempfile.TemporaryDirectory() as work:
        fonts = descriptors(cli, work, "sheet", ["-s", "20", "--outline", "2"])
        # The JSON alone carries the kerning too.
        run(cli, work, "alone", ["-s", "20", "--outline", "2"], "--json", os.path.join(work, "alone.json"))
        with open(os.path.join(work, "alone.json"), "rb") as f:
            alone = read_json(f.read())
    js, text = fonts["json"], fonts["text"]
    want_ids = sorted({ord(c) for c in TEXT if c != "\n"})
    assert sorted(text["chars"]) == want_ids and text["charsCount"] == len(want_ids), sorted(text["chars"])
    assert len(text["kerning"]) > 5 and text.get("kerningsCount") == len(text["kerning"]), "kerning count"
    assert text["kerning"].get((ord("A"), ord("V")), 0) < 0, "A and V are not kerned closer"
    assert (text["pages"], text["face"], text["size"]) == (["sheet.png"], "DejaVu Sans", 20), "page, face or size"
    assert alone["kerning"] == text["kerning"], "the JSON alone differs from text in kerning"
    for form in ("xml", "binary", "json"):
        for key in ("face", "size", "lineHeight", "base", "scale", "pages", "chars", "kerning", "charsCount", "kerningsCount"):
            if form != "json" or key not in ("size", "charsCount", "kerningsCount"):
                assert fonts[form].get(key) == text[key], f"{form} differs from text in {key}"

    cw, ch = js["cell"]
    first = {}
    for row, line in enumerate(TEXT.split("\n")):
        for column, c in enumerate(line):
            first.setdefault(ord(c), (column * cw, row * ch))
    assert js["cells"] == first, "a character is not at its first cell"
    for cid, (x, y, w, h, xo, yo, xa) in text["chars"].items():
        cx, cy = js["cells"][cid]
        assert cx <= x and x + w <= cx + cw and cy <= y and y + h <= cy + ch, f"{cid}: rectangle leaves its cell"
        # An outline of radius 2 widens the box (joined with the ink) by 2 each side unless the cell clips it.
        assert w >= xa + 4 and xo <= -2 if xa + 4 <= cw else w <= cw, f"{cid}: width {w}, advance {xa}"
        assert h == min(text["lineHeight"] + 4, ch) and yo == y - (cy + (ch - text["lineHeight"]) // 2), f"{cid}: height or offset"

    # Pages of at most 64 x 64 pixels, four cells to a row: every form lists the same
    # pages, files that exist and hold no more, and puts each character on one of them,
    # its rectangle inside that page.
    with tempfile.TemporaryDirectory() as work:
        paged = descriptors(cli, work, "p", ["-s", "10", "--columns", "4", "--max-size", "64"])
        written = sorted(n for n in os.listdir(work) if n.endswith(".png"))
    pages = paged["text"]["pages"]
    assert len(pages) > 1 and sorted(pages) == written, f"pages {pages}, files {written}"
    for form in ("xml", "binary", "json"):
        for key in ("pages", "charPages", "chars"):
            assert paged[form][key] == paged["text"][key], f"paged {form} differs from text in {key}"
    page_w, page_h = paged["text"]["scale"]
    assert page_w <= 64 and page_h <= 64, f"pages of {page_w} x {page_h}"
    for cid, (x, y, w, h, *_rest) in paged["text"]["chars"].items():
        assert 0 <= paged["text"]["charPages"][cid] < len(pages) and 0 <= y and y + h <= page_h, f"{cid}: not on its page"


if __name__ == "__main__":
    main(sys.argv[1])
