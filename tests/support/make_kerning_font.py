"""Writes a font collection whose kerning is known from its source, for the kerning tests.

make_kerning_font.py OUT.ttc writes two faces of square glyphs (A V T O o x, 1000 units
to the em, each 600 wide):
  face 0 "Karuvo Kern Lookups": kerning only in GPOS, compiled from FEATURES below
         (a glyph pair, a class pair, a pair under 1 px and an extension lookup);
  face 1 "Karuvo Kern Table":   kerning only in an old kern table, KERN_TABLE below.
"""
import io
import sys

from fontTools.feaLib.builder import addOpenTypeFeaturesFromString
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection, TTFont, newTable
from fontTools.ttLib.tables import otTables
from fontTools.ttLib.tables._k_e_r_n import KernTable_format_0

GLYPHS = {"A": 0x41, "V": 0x56, "T": 0x54, "O": 0x4F, "o": 0x6F, "x": 0x78}

FEATURES = """
languagesystem DFLT dflt;
languagesystem latn dflt;
@round = [O o];
lookup far useExtension {
    pos V A -94;
} far;
feature kern {
    pos A V -80;
    pos A T 44;
    pos o o 8;
    pos T @round -120;
    lookup far;
} kern;
"""

KERN_TABLE = {("A", "V"): -160, ("T", "o"): -60}


def face(family, kerning):
    order = [".notdef"] + list(GLYPHS)
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({code: name for name, code in GLYPHS.items()})
    glyphs = {}
    for name in order:
        pen = TTGlyphPen(None)
        pen.moveTo((50, 0))
        pen.lineTo((50, 700))
        pen.lineTo((550, 700))
        pen.lineTo((550, 0))
        pen.closePath()
        glyphs[name] = pen.glyph()
    fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics({name: (600, 50) for name in order})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular"})
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200)
    fb.setupPost()
    kerning(fb.font)
    return fb.font


def lookups(font):
    addOpenTypeFeaturesFromString(font, FEATURES)
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
    kinds = set()
    for lookup in TTFont(buffer)["GPOS"].table.LookupList.Lookup:
        for sub in lookup.SubTable:
            kinds.add(("extension", sub.ExtSubTable.Format) if lookup.LookupType == 9 else ("pair", sub.Format))
    assert kinds >= {("pair", 1), ("pair", 2), ("extension", 1)}, kinds


def kern_table(font):
    table = newTable("kern")
    table.version = 0
    sub = KernTable_format_0()
    sub.version, sub.coverage, sub.format = 0, 1, 0
    sub.kernTable = dict(KERN_TABLE)
    table.kernTables = [sub]
    font["kern"] = table


def main(path):
    collection = TTCollection()
    collection.fonts = [face("Karuvo Kern Lookups", lookups), face("Karuvo Kern Table", kern_table)]
    collection.save(path)


if __name__ == "__main__":
    main(sys.argv[1])
