#pragma once

#include <cstdint>
#include <vector>

namespace karuvo {

// A band of whole rows of a sheet that is written as one page.
struct Page {
    std::int32_t firstRow = 0;
    std::int32_t rowCount = 0;
    std::int32_t y = 0;       // the band's top on the sheet, in pixels
    std::int32_t height = 0;  // in pixels
};

// Splits a sheet of `rows` rows of cells into pages at most `maxSide` pixels wide and
// tall: as many whole rows to a page as fit, the last page holding what is left.
// `maxSide` 0 gives the whole sheet as one page. Throws Error(InvalidSize) naming the
// sizes and what to change when the sheet is wider than `maxSide` or a row taller.
std::vector<Page> splitPages(std::int32_t sheetWidth, std::int32_t rows, std::int32_t cellWidth,
                             std::int32_t cellHeight, std::int32_t maxSide);

// The index of the page that holds `row`.
std::size_t pageOfRow(const std::vector<Page>& pages, std::int32_t row);

}  // namespace karuvo
