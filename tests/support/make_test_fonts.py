"""Writes font files that no font configuration knows, for the tests and the fuzzing seeds.

make_test_fonts.py DIR writes, from the installed DejaVu faces:
  DIR/renamed.ttf    DejaVu Sans under the family "Karuvo Test Sans"
  DIR/pair.ttc       a collection: face 0 "Karuvo Test Sans" (DejaVu Sans),
                     face 1 "Karuvo Test Serif" (DejaVu Serif)
  DIR/weights.ttc    a collection of one family "Karuvo Test Weights": face 0 regular,
                     face 1 bold, face 2 oblique (DejaVu Sans, Sans Bold, Sans Oblique)
  DIR/plain.ttf      DejaVu Sans without layout tables, "Karuvo Test Plain" (no Han or kana)
  DIR/deep.ttf       DejaVu Sans, "Karuvo Test Deep", whose g hangs 1400 units lower
  DIR/damaged.ttf    DejaVu Sans, "Karuvo Test Damaged", whose V is a flat line 74 em long
                     that FreeType cannot rasterise
  DIR/not-a-font.ttf a text file under a font's name
  DIR/control.ttf    DejaVu Sans under a family with a control character, "Karuvo\x01Test"
make_test_fonts.py --seeds DIR writes the fuzzing seeds (fuzz/seeds/font): a.ttf, a.otf and
a.ttc, each a few glyphs of an installed face under a family of its own.
"""
import os
import sys

from fontTools import subset
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection, TTFont

DEJAVU = "/usr/share/fonts/truetype/dejavu/"
NIMBUS = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf"


def renamed(path, family, style="Regular"):
    font = path if isinstance(path, TTFont) else TTFont(path)
    for record in font["name"].names:
        if record.nameID in (1, 16):
            record.string = family
        elif record.nameID in (2, 17):
            record.string = style
        elif record.nameID in (3, 4):
            record.string = family + " " + style
        elif record.nameID == 6:
            record.string = family.replace(" ", "") + "-" + style
    return font


def lowered(font, name, units):
    """Moves glyph `name` down by `units`; the head's box follows when saved."""
    glyf = font["glyf"]
    pen = TTGlyphPen(font.getGlyphSet())
    font.getGlyphSet()[name].draw(TransformPen(pen, (1, 0, 0, 1, 0, -units)))
    glyf[name] = pen.glyph()
    return font


def flattened(font, name):
    """Makes glyph `name` one flat contour whose points run far past the 16-bit range,
    each step still within it, with its stored box left as it was."""
    from fontTools.ttLib.tables._g_l_y_f import Glyph, GlyphCoordinates
    glyph = Glyph()
    glyph.numberOfContours = 1
    glyph.coordinates = GlyphCoordinates([(30209, 0), (60419, 0), (91399, 0), (122380, 0), (152338, 0),
                                          (119578, 0), (119730, 0)])
    glyph.flags = bytearray([1, 1, 1, 1, 1, 1, 0])
    glyph.endPtsOfContours = [6]
    glyph.program = font["glyf"][name].program
    glyph.xMin, glyph.yMin, glyph.xMax, glyph.yMax = 16, 0, 1384, 1493
    font["glyf"][name] = glyph
    return font


def small(path, text, flavour_keep=()):
    options = subset.Options()
    options.layout_features = list(flavour_keep)
    options.name_IDs = [1, 2, 3, 4, 6]
    options.notdef_outline = True
    font = TTFont(path)
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=text)
    subsetter.subset(font)
    return font


def main(folder):
    renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Sans").save(os.path.join(folder, "renamed.ttf"))
    renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo\x01Test").save(os.path.join(folder, "control.ttf"))
    collection = TTCollection()
    collection.fonts = [renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Sans"),
                        renamed(DEJAVU + "DejaVuSerif.ttf", "Karuvo Test Serif")]
    collection.save(os.path.join(folder, "pair.ttc"))
    weights = TTCollection()
    weights.fonts = [renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Weights"),
                     renamed(DEJAVU + "DejaVuSans-Bold.ttf", "Karuvo Test Weights", "Bold"),
                     renamed(DEJAVU + "DejaVuSans-Oblique.ttf", "Karuvo Test Weights", "Oblique")]
    weights.save(os.path.join(folder, "weights.ttc"))
    plain = renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Plain")
    for table in ("GSUB", "GPOS", "GDEF", "kern"):
        if table in plain:
            del plain[table]
    plain.save(os.path.join(folder, "plain.ttf"))
    lowered(renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Deep"), "g", 1400).save(os.path.join(folder, "deep.ttf"))
    damaged = flattened(renamed(DEJAVU + "DejaVuSans.ttf", "Karuvo Test Damaged"), "V")
    damaged.recalcBBoxes = False
    damaged.save(os.path.join(folder, "damaged.ttf"))
    with open(os.path.join(folder, "not-a-font.ttf"), "w") as f:
        f.write("plain text under a font's name\n")


def seeds(folder):
    os.makedirs(folder, exist_ok=True)
    renamed(small(DEJAVU + "DejaVuSans.ttf", "AgV", ["kern", "liga"]), "Karuvo Fuzz Sans").save(
        os.path.join(folder, "a.ttf"))
    renamed(small(NIMBUS, "Ag"), "Karuvo Fuzz Nimbus").save(os.path.join(folder, "a.otf"))
    pair = TTCollection()
    pair.fonts = [renamed(small(DEJAVU + "DejaVuSans.ttf", "A"), "Karuvo Fuzz Pair"),
                  renamed(small(DEJAVU + "DejaVuSerif-Bold.ttf", "g"), "Karuvo Fuzz Pair", "Bold")]
    pair.save(os.path.join(folder, "a.ttc"))


if __name__ == "__main__":
    if sys.argv[1] == "--seeds":
        seeds(sys.argv[2])
    else:
        main(sys.argv[1])
