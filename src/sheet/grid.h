#pragma once

#include <QStringView>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/font.h"
#include "sheet/settings.h"

namespace karuvo {

// The characters of a text as code points: a surrogate pair is one code point; a
// lone surrogate stays a code point of its own.
std::vector<char32_t> codePointsOf(QStringView text);

// Calls f(codePoint) for each code point of the text as codePointsOf splits it,
// without holding them all.
template <class F>
void forEachCodePoint(QStringView text, F&& f) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            f(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else {
            f(char32_t{c});
        }
    }
}

// Columns and rows of a text: a carriage return takes no cell and ends no line, a
// line feed ends the line, every other character (tab included) takes one cell. With
// a wrap width above 0 a line longer than it goes on in the next row (a line of
// exactly that many cells takes one row). The column count is the longest row; the
// row count is the number of line feeds and wraps + 1.
struct GridSize {
    std::int32_t columns = 0;
    std::int32_t rows = 1;
    std::int64_t cells = 0;  // characters that take a cell
};
GridSize scanGrid(QStringView text, std::int32_t wrapColumns = 0);

// One character that takes a cell, with its place in the grid.
struct GridCell {
    char32_t codePoint;
    std::int32_t column;
    std::int32_t row;
};
// Every character that takes a cell, in text order, rows wrapped as scanGrid does.
std::vector<GridCell> gridCells(QStringView text, std::int32_t wrapColumns = 0);

// The largest advance width and the largest line height of the characters of a text
// (carriage returns and line feeds skipped) in a font; 0 and 0 for a text without any.
CharBox largestCharBox(QStringView text, const Font& font);

// The room an edge effect needs in a cell: the shadow offsets' magnitudes, twice the outline radius held within 0 to 10 each way,
// nothing for no effect.
CharBox effectAllowance(EffectKind effect, std::int32_t shadowDx, std::int32_t shadowDy,
                        std::int32_t outlineRadius);

// The room beside a character that the sheet's edge effect or distance field takes,
// as effectAllowance gives it; a field takes fieldRoom on every side.
CharBox sheetAllowance(const SheetSettings& settings);

// The cell that fits every character of the text plus the allowance. Throws
// Error(Overflow) when a sum leaves the signed 32-bit range. `grown`, when given, is
// called with the first character's box before the rest are measured, and with the
// largest box once all are, so that a caller can refuse a sheet as soon as it is known
// to be too large; what it throws ends the fitting.
CharBox fittedCellSize(QStringView text, const Font& font, const CharBox& allowance,
                       const std::function<void(const CharBox&)>& grown = {});

}  // namespace karuvo
