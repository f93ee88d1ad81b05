#include <gtest/gtest.h>

#include "sheet/grid.h"

using namespace karuvo;

TEST(Grid, CountsColumnsAndRowsAsTheLinesRun) {
    const struct { const char16_t* text; std::int32_t columns, rows; } cases[] = {
        {u"AB\r\nCDE", 3, 2}, {u"A\rB", 2, 1},  // a carriage return takes no cell and ends no line
        {u"AB\n", 2, 2}, {u"A\n\nBC", 2, 3}, {u"\r\n\r\n", 0, 3}, {u"", 0, 1},
        {u"\tA\t", 3, 1}, {u"\U0001F600A", 2, 1}, {u"\xD800" u"A", 2, 1},  // a cell per character
    };
    for (const auto& c : cases) {
        const GridSize g = scanGrid(QString::fromUtf16(c.text));
        EXPECT_EQ(std::tie(g.columns, g.rows), std::tie(c.columns, c.rows)) << QString::fromUtf16(c.text).toStdString();
    }
}
