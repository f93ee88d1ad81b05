# Writes font files that no font configuration knows, for the tests and the fuzzing seeds.
#
# make_test_fonts.py DIR writes, from the installed DejaVu faces:
#   DIR/renamed.ttf    DejaVu Sans under the family "Karuvo Test Sans"
#   DIR/pair.ttc       a collection: face 0 "Karuvo Test Sans" (DejaVu Sans),
#                      face 1 "Karuvo Test Serif" (DejaVu Serif)
#   DIR/weights.ttc    a collection of one family "Karuvo Test Weights": face 0 regular,
#                      face 1 bold, face 2 oblique (DejaVu Sans, Sans Bold, Sans Oblique)
#   DIR/plain.ttf      DejaVu Sans without layout tables, "Karuvo Test Plain" (no Han or kana)
#   DIR/deep.ttf       DejaVu Sans, "Karuvo Test Deep", whose g hangs 1400 units lower
#   DIR/reach.ttf      DejaVu Sans, "Karuvo Test Reach", whose x starts left of its origin,
#                      ends past its advance and rises above the line
#   DIR/damaged.ttf    DejaVu Sans, "Karuvo Test Damaged", whose V is a flat line 74 em long
#                      that FreeType cannot rasterise
#   DIR/not-a-font.ttf a text file under a font's name
#   DIR/control.ttf    DejaVu Sans under a family with a control character, "Karuvo\x01Test"
# and a collection whose kerning is known from its source, two faces of square glyphs
# (A V T O o x, 1000 units to the em, each 600 wide):
#   DIR/kerning.ttc    face 0 "Karuvo Kern Lookups": kerning only in GPOS, compiled from
#                      KERN_FEATURES (a glyph pair, a class pair, a pair under 1 px, an
#                      extension lookup, and first glyphs A V T O stored as a range, which
#                      ends on a glyph of no other pair); face 1 "Karuvo Kern Table":
#                      kerning only in an old kern table, KERN_TABLE.
# and a face of colour layers (COLR version 0 with CPAL), 1000 units to the em, ascent 800:
#   DIR/colr.ttf       "Karuvo Test Colr": A of three layers, red (50,0)-(300,500), blue
#                      (300,0)-(550,500) and the text's colour (50,550)-(550,700); B a plain
#                      square (50,0)-(550,700); each 600 wide
import io
import os
import sys

from fontTools.colorLib.builder import buildCOLR, buildCPAL
from fontTools.feaLib.builder import addOpenTypeFeaturesFromString
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection, TTFont, newTable
from fontTools.ttLib.tables import otTables
from fontTools.ttLib.tables._k_e_r_n import KernTable_format_0

DEJAVU = "/usr/share/fonts/truetype/dejavu/"


def renamed(path, family, style="Regular"):
    font = path if isinstance(path, TTFont) else TTFont(path)
    names = {1: family, 16: family, 2: style, 17: style, 3: family + " " + style, 4: family + " " + style,
             6: family.replace(" ", "") + "-" + style}
    for record in font["name"].names:
        record.string = names.get(record.nameID, record.string)
    return font


# Moves glyph `name` down by `units` (after widening it `wider` times and moving it
# `left` units); the head's box follows when saved.
def lowered(font, name, units, wider=1, left=0):
    glyf = font["glyf"]
    pen = TTGlyphPen(font.getGlyphSet())
    font.getGlyphSet()[name].draw(TransformPen(pen, (wider, 0, 0, 1, -left, -units)))
    glyf[name] = pen.glyph()
    return font


# Makes glyph `name` one flat contour whose points run far past the 16-bit range, each
# step still within it, with its stored box left as it was.
def flattened(font, name):
    from fontTools.ttLib.tables._g_l_y_f import Glyph, GlyphCoordinates
    glyph = Glyph()
    glyph.numberOfContours, glyph.endPtsOfContours, glyph.program = 1, [6], font["glyf"][name].program
    glyph.coordinates = GlyphCoordinates([(30209, 0), (60419, 0), (91399, 0), (122380, 0), (152338, 0),
                                          (119578, 0), (119730, 0)])
    glyph.flags = bytearray([1, 1, 1, 1, 1, 1, 0])
    glyph.xMin, glyph.yMin, glyph.xMax, glyph.yMax = 16, 0, 1384, 1493
    font["glyf"][name] = glyph
    return font


GLYPHS = {"A": 0x41, "V": 0x56, "T": 0x54, "O": 0x4F, "o": 0x6F, "x": 0x78}

KERN_FEATURES = """
languagesystem DFLT dflt;
languagesystem latn dflt;
@round = [O o];
lookup far useExtension {
    pos V A -94;
} far;
lookup ranged {
    pos [A V T O] x -60;
} ranged;
feature kern {
    pos A V -80;
    pos A T 44;
    pos o o 8;
    pos T @round -120;
    lookup far;
    lookup ranged;
} kern;
"""

KERN_TABLE = {("A", "V"): -160, ("T", "o"): -60}


def rectangle(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0))
    for point in ((x0, y1), (x1, y1), (x1, y0)):
        pen.lineTo(point)
    pen.closePath()
    return pen.glyph()


# A face of rectangles, 1000 units to the em, ascent 800, each glyph 600 wide: `shapes` maps
# glyph names (.notdef first) to their boxes, `codes` code points to glyph names.
def rectangle_face(family, shapes, codes):
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(list(shapes))
    fb.setupCharacterMap(codes)
    fb.setupGlyf({name: rectangle(*box) for name, box in shapes.items()})
    fb.setupHorizontalMetrics({name: (600, box[0]) for name, box in shapes.items()})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular"})
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200)
    fb.setupPost()
    return fb.font


SQUARE = (50, 0, 550, 700)


def square_face(family, kerning):
    font = rectangle_face(family, {name: SQUARE for name in [".notdef"] + list(GLYPHS)},
                          {code: name for name, code in GLYPHS.items()})
    kerning(font)
    return font


def colour_face():
    font = rectangle_face("Karuvo Test Colr", {".notdef": SQUARE, "A": SQUARE, "B": SQUARE, "A.red": (50, 0, 300, 500),
                                               "A.blue": (300, 0, 550, 500), "A.text": (50, 550, 550, 700)},
                          {0x41: "A", 0x42: "B"})
    font["COLR"] = buildCOLR({"A": [("A.red", 0), ("A.blue", 1), ("A.text", 0xFFFF)]}, version=0)
    font["CPAL"] = buildCPAL([[(1.0, 0.0, 0.0, 1.0), (0.0, 0.0, 1.0, 1.0)]])
    return font


def lookups(font):
    addOpenTypeFeaturesFromString(font, KERN_FEATURES)
    # The feature compiler here does not honour useExtension: the first lookup ("far")
    # is wrapped into extension subtables by hand.
    far = font["GPOS"].table.LookupList.Lookup[0]
    wrapped = []
    for sub in far.SubTable:
        ext = otTables.ExtensionPos()
        ext.Format, ext.ExtensionLookupType, ext.ExtSubTable = 1, far.LookupType, sub
        wrapped.append(ext)
    far.LookupType, far.SubTable = 9, wrapped
    # The faults the tests are for need each of these in the table.
    buffer = io.BytesIO()
    font.save(buffer)
    written, kinds = TTFont(buffer), set()
    for lookup in written["GPOS"].table.LookupList.Lookup:
        for sub in lookup.SubTable:
            kinds.add(("extension", sub.ExtSubTable.Format) if lookup.LookupType == 9 else ("pair", sub.Format))
    # A coverage's format is chosen as it is written: read from the bytes.
    gpos = written.reader["GPOS"]
    word = lambda at: int.from_bytes(gpos[at:at + 2], "big")  # noqa: E731
    for i in range(word(word(8))):
        lookup = word(8) + word(word(8) + 2 + 2 * i)
        for k in range(word(lookup + 4) if word(lookup) == 2 else 0):
            sub = lookup + word(lookup + 6 + 2 * k)
            kinds.add(("coverage", word(sub + word(sub + 2))))
    assert kinds >= {("pair", 1), ("pair", 2), ("extension", 1), ("coverage", 2)}, kinds


def kern_table(font):
    sub, font["kern"] = KernTable_format_0(), newTable("kern")
    sub.version, sub.coverage, sub.format, sub.kernTable = 0, 1, 0, dict(KERN_TABLE)
    font["kern"].version, font["kern"].kernTables = 0, [sub]


def collection(path, *fonts):
    both = TTCollection()
    both.fonts = list(fonts)
    both.save(path)


def main(folder):
    def sans(family, face="DejaVuSans", style="Regular"):
        return renamed(DEJAVU + face + ".ttf", family, style)

    at = lambda name: os.path.join(folder, name)  # noqa: E731

    sans("Karuvo Test Sans").save(at("renamed.ttf"))
    sans("Karuvo\x01Test").save(at("control.ttf"))
    collection(at("pair.ttc"), sans("Karuvo Test Sans"), sans("Karuvo Test Serif", "DejaVuSerif"))
    collection(at("weights.ttc"), sans("Karuvo Test Weights"), sans("Karuvo Test Weights", "DejaVuSans-Bold", "Bold"),
               sans("Karuvo Test Weights", "DejaVuSans-Oblique", "Oblique"))
    plain = sans("Karuvo Test Plain")
    for table in {"GSUB", "GPOS", "GDEF", "kern"} & set(plain.keys()):
        del plain[table]
    plain.save(at("plain.ttf"))
    lowered(sans("Karuvo Test Deep"), "g", 1400).save(at("deep.ttf"))
    reach = lowered(sans("Karuvo Test Reach"), "x", -1000, 1.6, 450)
    reach["glyf"]["x"].recalcBounds(reach["glyf"])
    box, advance = reach["glyf"]["x"], reach["hmtx"]["x"][0]
    reach["hmtx"]["x"] = (advance, box.xMin)  # the origin lies a side bearing left of the ink
    assert box.xMin < 0 and box.xMax > advance and box.yMax > reach["hhea"].ascent, (box.xMin, box.xMax, advance)
    reach.save(at("reach.ttf"))
    damaged = flattened(sans("Karuvo Test Damaged"), "V")
    damaged.recalcBBoxes = False
    damaged.save(at("damaged.ttf"))
    colour_face().save(at("colr.ttf"))
    collection(at("kerning.ttc"), square_face("Karuvo Kern Lookups", lookups), square_face("Karuvo Kern Table", kern_table))
    with open(at("not-a-font.ttf"), "w") as f:
        f.write("plain text under a font's name\n")


if __name__ == "__main__":
    main(sys.argv[1])
