#include <gtest/gtest.h>

#include "sheet/grid.h"

using namespace karuvo;

TEST(Grid, CountsColumnsAndRowsAsTheLinesRunAndWrapsLongLines) {
    const struct { const char16_t* text; std::int32_t wrap, columns, rows; } cases[] = {
        {u"AB\r\nCDE", 0, 3, 2}, {u"A\rB", 0, 2, 1},  // a carriage return takes no cell and ends no line
        {u"AB\n", 0, 2, 2}, {u"A\n\nBC", 0, 2, 3}, {u"\r\n\r\n", 0, 0, 3}, {u"", 0, 0, 1},
        {u"\tA\t", 0, 3, 1}, {u"\U0001F600A", 0, 2, 1}, {u"\xD800" u"A", 0, 2, 1},  // a cell per character
        // A wrap width continues long lines on the next row.
        {u"ABCDE", 2, 2, 3}, {u"ABCD", 2, 2, 2},      // a full last row adds none
        {u"AB\nC", 2, 2, 2}, {u"ABC\nD\n", 2, 2, 4},  // a line break after a full row ends only that row
        {u"AB\r\nCDE", 5, 3, 2},                      // wider than every line
        {u"\U0001F600\U0001F600\U0001F600", 2, 2, 2},
    };
    for (const auto& c : cases) {
        const GridSize g = scanGrid(QString::fromUtf16(c.text), c.wrap);
        EXPECT_EQ(std::tie(g.columns, g.rows), std::tie(c.columns, c.rows))
            << QString::fromUtf16(c.text).toStdString() << " wrapped at " << c.wrap;
    }
    std::string places;
    for (const GridCell& cell : gridCells(u"ABC\nD\nEFGHI", 2))
        places += char(cell.codePoint) + std::to_string(cell.column) + std::to_string(cell.row) + ' ';
    EXPECT_EQ(places, "A00 B10 C01 D02 E03 F13 G04 H14 I05 ");
}
