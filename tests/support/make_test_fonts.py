"""Writes font files that no font configuration knows, for the command-line tests.

make_test_fonts.py DIR writes, from the installed DejaVu faces:
  DIR/renamed.ttf    DejaVu Sans under the family "Karuvo Test Sans"
  DIR/pair.ttc       a collection: face 0 "Karuvo Test Sans" (DejaVu Sans),
                     face 1 "Karuvo Test Serif" (DejaVu Serif)
  DIR/not-a-font.ttf a text file under a font's name
  DIR/control.ttf    DejaVu Sans under a family with a control character, "Karuvo\x01Test"
"""
import os
import sys

from fontTools.ttLib import TTCollection, TTFont

DEJAVU = "/usr/share/fonts/truetype/dejavu/"


def renamed(path, family):
    font = TTFont(path)
    for record in font["name"].names:
        if record.nameID in (1, 16):
            record.string = family
        elif record.nameID in (2, 17):
            record.string = "Regular"
        elif record.nameID in (3, 4):
            record.string = family + " Regular"
        elif record.nameID == 6:
            record.string = family.replace(" ", "") + "-Regular"
    return font


def main(folder):
    renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Sans").save(os.path.join(folder, "renamed.ttf"))
    renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo\x01Test").save(os.path.join(folder, "control.ttf"))
    collection = TTCollection()
    collection.fonts = [renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Sans"),
                        renamed(DEJAVU + "DejaVuSerif.ttf", "Karuvo Test Serif")]
    collection.save(os.path.join(folder, "pair.ttc"))
    with open(os.path.join(folder, "not-a-font.ttf"), "w") as f:
        f.write("plain text under a font's name\n")


if __name__ == "__main__":
    main(sys.argv[1])
