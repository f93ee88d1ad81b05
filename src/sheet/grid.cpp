#include "grid.h"

#include "platform/batch_draw.h"

#include <algorithm>

#include "platform/checked.h"
#include "sheet/distance_field.h"

namespace karuvo {

std::vector<char32_t> codePointsOf(QStringView text) {
    std::vector<char32_t> out;
    out.reserve(static_cast<std::size_t>(text.size()));
    forEachCodePoint(text, [&](char32_t c) { out.push_back(c); });
    return out;
}

namespace {

// Calls `cell(codePoint, column, row)` for every character that takes a cell and gives
// the grid's size, holding no more than one code point at a time.
template <class CellFn>
GridSize walkGrid(QStringView text, std::int32_t wrapColumns, CellFn&& cell) {
    std::int32_t column = 0, row = 0, longest = 0;
    std::int64_t cells = 0;
    forEachCodePoint(text, [&](char32_t c) {
        if (c == U'\r') return;
        if (c == U'\n' || (wrapColumns > 0 && column == wrapColumns)) {
            column = 0;
            row = checkedAdd(row, 1, "the row count");
            if (c == U'\n') return;
        }
        cell(c, column, row);
        ++cells;
        column = checkedAdd(column, 1, "the column count");
        longest = std::max(longest, column);
    });
    return GridSize{longest, checkedAdd(row, 1, "the row count"), cells};
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

namespace {

CharBox largestBox(QStringView text, const Font& font, const std::function<void(const CharBox&)>& grown) {
    // The first character alone gives a lower bound of the cell, enough to refuse a
    // sheet that is already too large before the whole text is measured and held.
    if (grown) {
        bool first = true;
        forEachCodePoint(text, [&](char32_t c) {
            if (!first || c == U'\r' || c == U'\n') return;
            first = false;
            grown(font.measure(c));
        });
    }
    std::vector<char32_t> measured = codePointsOf(text);
    std::erase_if(measured, [](char32_t c) { return c == U'\r' || c == U'\n'; });
    CharBox best;
    for (const CharBox& box : measureChars(font, measured, batchThreads(measured.size()))) {
        best.width = std::max(best.width, box.width);
        best.height = std::max(best.height, box.height);
    }
    if (grown) grown(best);
    return best;
}

}  // namespace

CharBox largestCharBox(QStringView text, const Font& font) { return largestBox(text, font, {}); }

CharBox effectAllowance(EffectKind effect, std::int32_t shadowDx, std::int32_t shadowDy,
                        std::int32_t outlineRadius) {
    switch (effect) {
    case EffectKind::Shadow: {
        // The shadow falls on one side, whichever way its offset points.
        const auto magnitude = [](std::int32_t v) { return v < 0 ? checkedSub(0, v, "a shadow offset") : v; };
        return CharBox{magnitude(shadowDx), magnitude(shadowDy)};
    }
    case EffectKind::Outline: {
        const std::int32_t r = std::clamp(outlineRadius, 0, 10);
        return CharBox{2 * r, 2 * r};
    }
    case EffectKind::None:
        break;
    }
    return CharBox{0, 0};
}

CharBox sheetAllowance(const SheetSettings& s) {
    if (s.distanceRange > 0) {
        const std::int32_t room = 2 * fieldRoom(std::clamp(s.distanceRange, 0, kMaxDistanceRange));
        return CharBox{room, room};
    }
    return effectAllowance(s.effect, s.shadowDx, s.shadowDy, s.outlineRadius);
}

CharBox fittedCellSize(QStringView text, const Font& font, const CharBox& allowance,
                       const std::function<void(const CharBox&)>& grown) {
    const CharBox largest = largestBox(text, font, grown);
    return CharBox{checkedAdd(largest.width, allowance.width, "the fitted cell width"),
                   checkedAdd(largest.height, allowance.height, "the fitted cell height")};
}

}  // namespace karuvo
