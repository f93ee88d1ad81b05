#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "platform/font.h"
#include "sheet/pages.h"
#include "sheet/settings.h"

namespace karuvo {

struct Sheet;

// The layout of a finished sheet.
struct SheetGeometry {
    std::int32_t width = 0, height = 0;
    std::int32_t columns = 0, rows = 0;
    std::int32_t cellWidth = 0, cellHeight = 0;
};

// The font facts a descriptor names.
struct DescriptorFont {
    QString face;
    std::int32_t size = 0;     // pixels
    bool bold = false, italic = false;
};

// Where the baseline of a character drawn centred in a cell lies, from the cell's
// top: the centred line's top (shifted up by half the vertical shadow offset, as the
// glyphs are) plus the ascent, held within 0 to the cell height.
std::int32_t cellBaseline(std::int32_t cellHeight, std::int32_t lineHeight, std::int32_t ascent,
                          std::int32_t shadowDy);

// The room an edge effect takes beside a character's box, in pixels on each side.
struct EffectRoom {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};
// A shadow takes its offset on the side it falls to; an outline its radius all round.
EffectRoom shadowRoom(std::int32_t dx, std::int32_t dy);
EffectRoom outlineRoom(std::int32_t radius);

// One character as a descriptor gives it: its first cell, its rectangle on the sheet,
// where that rectangle goes from the pen (at the top of the line) and the pen's advance.
struct DescribedChar {
    char32_t codePoint = 0;
    std::int32_t column = 0, row = 0;
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    std::int32_t xoffset = 0, yoffset = 0, xadvance = 0;
    std::int32_t page = 0;  // the page that holds the character; y is from its top
};

// Everything a descriptor file says about a sheet.
struct Descriptor {
    SheetGeometry sheet;
    DescriptorFont font;
    std::int32_t lineHeight = 0;
    std::int32_t base = 0;                 // from the top of a line to the baseline
    QStringList pageFiles;                 // the sheet's files in page order, as the descriptor names them
    std::vector<std::int32_t> pageTops;    // each page's top on the sheet
    std::int32_t pageHeight = 0;           // the tallest page; each is the sheet's width
    std::vector<DescribedChar> chars;      // increasing code point order
    std::vector<KerningPair> kerning;
    // Above 0: the pages are signed distance fields of this range in pixels.
    std::int32_t distanceRange = 0;
    FieldType fieldType = FieldType::Sdf;
};

// On a fixed pitch: each character is its whole first cell, with no offsets and the
// cell width as advance; the line is the cell, with `base` from its top.
Descriptor cellPitchDescriptor(const Sheet& sheet, const DescriptorFont& font, std::int32_t base,
                               const QString& pageFile);

// As the font sets the characters: each one's box (advance x line height) where it
// sits in its cell joined with its ink, widened by `room` and clipped to the cell; the offsets put that
// rectangle where it belongs from the pen; the font's own advances, line height,
// ascent as base, and the sheet's kerning.
Descriptor fontPitchDescriptor(const Sheet& sheet, const DescriptorFont& font, const EffectRoom& room,
                               const QString& pageFile);

// Splits a descriptor's sheet into `pages` written as `files`: each character gets the
// page that holds its row, and its y from that page's top.
void splitIntoPages(Descriptor& d, const std::vector<Page>& pages, const QStringList& files);

// The .fnt descriptor in its text form: info, common (the page size as its scale), a
// page line per file, one char line per character and, when there is kerning, a kernings count and one kerning line per pair.
// A distance field adds "distanceField fieldType=T distanceRange=N" after common (T the
// name of its type: sdf, msdf or mtsdf); in
// XML a distanceField element, in JSON a "distanceField" object.
QByteArray fntText(const Descriptor& d);
// The same in the format's XML form.
QByteArray fntXml(const Descriptor& d);
// The same in the format's binary form, version 3 (little-endian blocks). Throws
// Error(TooLarge) when a size or position does not fit the form's 16-bit fields, more
// than 256 pages or page names of different lengths, which the form cannot hold, and
// Error(InvalidSize) for a distance field, which it cannot name.
QByteArray fntBinary(const Descriptor& d);

// The face name as the .fnt forms hold it: each control character (U+0000-U+001F,
// U+007F-U+009F) replaced by U+FFFD. XML 1.0 cannot hold most of them even as a
// character reference, the text form ends a line at a line break and has no escapes in
// quotes, and the binary form ends the name at a zero byte; U+FFFD reads back in every
// loader. The JSON map keeps the name whole, escaped.
QString fntFaceName(const QString& face);

// The page files that a descriptor in any of the forms written here (.fnt text, XML or
// binary, JSON) names, as written there; nothing for bytes of none of these forms.
QStringList pageFilesOf(const QByteArray& descriptor);

// The JSON map: the face, the sheet's size and grid, the page files, and "chars" keyed
// by the decimal code point, each with row, column, page, and x and y of its first cell
// on that page. With `metrics`, also the
// line height and base, each character's rectangle (rectX, rectY, width, height),
// offsets and advance, and the kerning pairs.
QByteArray jsonDescriptor(const Descriptor& d, bool metrics);

}  // namespace karuvo
