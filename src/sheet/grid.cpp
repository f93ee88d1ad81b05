#include "grid.h"

#include "platform/batch_draw.h"

#include <algorithm>

#include "platform/checked.h"

namespace karuvo {

std::vector<char32_t> codePointsOf(QStringView text) {
    std::vector<char32_t> out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            out.push_back(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

namespace {

// Calls `cell(codePoint, column, row)` for every character that takes a cell and gives
// the grid's size.
template <class CellFn>
GridSize walkGrid(QStringView text, std::int32_t wrapColumns, CellFn&& cell) {
    std::int32_t column = 0, row = 0, longest = 0;
    for (char32_t c : codePointsOf(text)) {
        if (c == U'\r') continue;
        if (c == U'\n' || (wrapColumns > 0 && column == wrapColumns)) {
            column = 0;
            row = checkedAdd(row, 1, "the row count");
            if (c == U'\n') continue;
        }
        cell(c, column, row);
        column = checkedAdd(column, 1, "the column count");
        longest = std::max(longest, column);
    }
    return GridSize{longest, checkedAdd(row, 1, "the row count")};
}

}  // namespace

GridSize scanGrid(QStringView text, std::int32_t wrapColumns) {
    return walkGrid(text, wrapColumns, [](char32_t, std::int32_t, std::int32_t) {});
}

std::vector<GridCell> gridCells(QStringView text, std::int32_t wrapColumns) {
    std::vector<GridCell> cells;
    walkGrid(text, wrapColumns,
             [&](char32_t c, std::int32_t column, std::int32_t row) { cells.push_back(GridCell{c, column, row}); });
    return cells;
}

CharBox largestCharBox(QStringView text, const Font& font) {
    std::vector<char32_t> measured = codePointsOf(text);
    std::erase_if(measured, [](char32_t c) { return c == U'\r' || c == U'\n'; });
    CharBox best;
    for (const CharBox& box : measureChars(font, measured, batchThreads(measured.size()))) {
        best.width = std::max(best.width, box.width);
        best.height = std::max(best.height, box.height);
    }
    return best;
}

CharBox effectAllowance(EffectKind effect, std::int32_t shadowDx, std::int32_t shadowDy,
                        std::int32_t outlineRadius) {
    switch (effect) {
    case EffectKind::Shadow:
        return CharBox{shadowDx, shadowDy};
    case EffectKind::Outline: {
        const std::int32_t r = std::clamp(outlineRadius, 0, 10);
        return CharBox{2 * r, 2 * r};
    }
    case EffectKind::None:
        break;
    }
    return CharBox{0, 0};
}

CharBox fittedCellSize(QStringView text, const Font& font, const CharBox& allowance) {
    const CharBox largest = largestCharBox(text, font);
    return CharBox{checkedAdd(largest.width, allowance.width, "the fitted cell width"),
                   checkedAdd(largest.height, allowance.height, "the fitted cell height")};
}

}  // namespace karuvo
