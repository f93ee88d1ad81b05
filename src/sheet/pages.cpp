#include "pages.h"

#include <algorithm>
#include <string>

#include "platform/checked.h"
#include "platform/error.h"

namespace karuvo {

std::vector<Page> splitPages(std::int32_t sheetWidth, std::int32_t rows, std::int32_t cellWidth,
                             std::int32_t cellHeight, std::int32_t maxSide) {
    const std::int32_t sheetHeight = checkedMul(rows, cellHeight, "the sheet height");
    if (maxSide <= 0) return {Page{0, rows, 0, sheetHeight}};
    const std::string limit = "pages of at most " + std::to_string(maxSide) + " x " + std::to_string(maxSide) + " pixels";
    if (sheetWidth > maxSide) {
        const std::int32_t columns = maxSide / cellWidth;
        throw Error(ErrorKind::InvalidSize,
                    "A row of the sheet is " + std::to_string(sheetWidth) + " pixels wide and does not fit on " +
                        limit + "; " +
                        (columns >= 1 ? "give at most " + std::to_string(columns) +
                                            (columns == 1 ? " cell" : " cells") + " to a row with --columns "
                                            "or a larger --max-size"
                                      : "give a cell narrower than the page with -c, or a larger --max-size"));
    }
    if (cellHeight > maxSide) {
        throw Error(ErrorKind::InvalidSize, "A row of the sheet is " + std::to_string(cellHeight) +
                                                " pixels tall and does not fit on " + limit +
                                                "; give a lower cell with -c, or a larger --max-size");
    }
    const std::int32_t rowsPerPage = maxSide / cellHeight;
    std::vector<Page> pages;
    for (std::int32_t first = 0; first < rows; first += rowsPerPage) {
        const std::int32_t count = std::min(rowsPerPage, rows - first);
        pages.push_back(Page{first, count, first * cellHeight, count * cellHeight});
    }
    return pages;
}

std::size_t pageOfRow(const std::vector<Page>& pages, std::int32_t row) {
    // Pages run down the sheet in order: the last one starting at or above the row.
    const auto after = std::upper_bound(pages.begin(), pages.end(), row,
                                        [](std::int32_t r, const Page& p) { return r < p.firstRow; });
    if (after == pages.begin()) return 0;
    const auto holding = after - 1;
    return row < holding->firstRow + holding->rowCount ? static_cast<std::size_t>(holding - pages.begin()) : 0;
}

}  // namespace karuvo
