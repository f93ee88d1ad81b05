#include <gtest/gtest.h>

#include "sheet/grid.h"

using namespace karuvo;

namespace {
struct GridCase {
    const char16_t* text;
    std::int32_t columns;
    std::int32_t rows;
};
}  // namespace

TEST(Grid, CountsColumnsAndRowsAsTheLinesRun) {
    const GridCase cases[] = {
        {u"AB\nCDE", 3, 2},
        {u"AB\r\nCDE", 3, 2},     // a carriage return takes no cell
        {u"A\rB", 2, 1},          // ... and ends no line
        {u"AB\n", 2, 2},          // a trailing line feed makes an empty last row
        {u"A\n\nBC", 2, 3},       // two line feeds make an empty row between
        {u"", 0, 1},
        {u"\tA\t", 3, 1},         // a tab takes a cell like a letter
        {u"\U0001F600A", 2, 1},   // an emoji outside the BMP is one character
        {u"\xD800" u"A", 2, 1},   // a lone surrogate stays one character
        {u"\r\n\r\n", 0, 3},
    };
    for (const GridCase& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        const GridSize g = scanGrid(text);
        EXPECT_EQ(g.columns, c.columns) << text.toStdString();
        EXPECT_EQ(g.rows, c.rows) << text.toStdString();
    }
}
