#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace karuvo::cli {

// The layout of a finished sheet.
struct SheetGeometry {
    std::int32_t width = 0, height = 0;
    std::int32_t columns = 0, rows = 0;
    std::int32_t cellWidth = 0, cellHeight = 0;
};

// Where a character sits: its first cell in text order, and that cell's top-left corner.
struct CharPlace {
    char32_t codePoint;
    std::int32_t column, row;
    std::int32_t x, y;
};

// One place per distinct character that takes a cell, at its first cell (rows wrapped
// after `wrapColumns` cells when above 0), in increasing code point order. Throws Error(Overflow) when a position leaves the
// signed 32-bit range.
std::vector<CharPlace> firstPlaces(QStringView text, std::int32_t cellWidth, std::int32_t cellHeight,
                                   std::int32_t wrapColumns = 0);

// The font facts a descriptor names.
struct DescriptorFont {
    QString face;
    std::int32_t size = 0;     // pixels
    bool bold = false, italic = false;
    std::int32_t base = 0;     // from a cell's top to the glyphs' baseline
};

// Where the baseline of a character drawn centred in a cell lies, from the cell's
// top: the centred line's top (shifted up by half the vertical shadow offset, as the
// glyphs are) plus the ascent, held within 0 to the cell height.
std::int32_t cellBaseline(std::int32_t cellHeight, std::int32_t lineHeight, std::int32_t ascent,
                          std::int32_t shadowDy);

// The descriptor in the BMFont text format: info, common, one page naming
// `pageFile`, and one char line per place, each the whole cell with no offsets and
// the cell width as advance.
QByteArray fntDescriptor(const SheetGeometry& sheet, const DescriptorFont& font, const QString& pageFile,
                         const std::vector<CharPlace>& places);

// The JSON map: the face, the sheet's size and grid, and "chars" keyed by the decimal
// code point, each with row, column, x and y.
QByteArray jsonDescriptor(const SheetGeometry& sheet, const QString& face, const std::vector<CharPlace>& places);

}  // namespace karuvo::cli
