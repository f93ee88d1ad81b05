#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <vector>

#include "sheet/pages.h"

namespace karuvo::cli {

// The layout of a finished sheet.
struct SheetGeometry {
    std::int32_t width = 0, height = 0;
    std::int32_t columns = 0, rows = 0;
    std::int32_t cellWidth = 0, cellHeight = 0;
};

// Where a character sits: its first cell in text order, that cell's top-left corner,
// and the page that holds it (y is then from that page's top).
struct CharPlace {
    char32_t codePoint;
    std::int32_t column, row;
    std::int32_t x, y;
    std::int32_t page = 0;
};

// One place per distinct character that takes a cell, at its first cell (rows wrapped
// after `wrapColumns` cells when above 0), in increasing code point order. Throws Error(Overflow) when a position leaves the
// signed 32-bit range.
std::vector<CharPlace> firstPlaces(QStringView text, std::int32_t cellWidth, std::int32_t cellHeight,
                                   std::int32_t wrapColumns = 0);

// Moves each place onto the page that holds its row: that page's index, and y from
// the page's top.
void placeOnPages(std::vector<CharPlace>& places, const std::vector<Page>& pages);

// The files a sheet is written to, as a descriptor names them, in page order, and the
// height of the tallest page (every page is the sheet's width).
struct PageFiles {
    QStringList names;
    std::int32_t height = 0;
};

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

// The descriptor in the BMFont text format: info, common (the page size as its scale),
// a page line per file, and one char line per place, each the whole cell with no
// offsets, the cell width as advance and its page.
QByteArray fntDescriptor(const SheetGeometry& sheet, const DescriptorFont& font, const PageFiles& pages,
                         const std::vector<CharPlace>& places);

// The JSON map: the face, the sheet's size and grid, the page files, and "chars"
// keyed by the decimal code point, each with row, column, page, and x and y on its page.
QByteArray jsonDescriptor(const SheetGeometry& sheet, const QString& face, const QStringList& pages,
                          const std::vector<CharPlace>& places);

}  // namespace karuvo::cli
