#include <gtest/gtest.h>

#include "cli/descriptors.h"

using namespace karuvo::cli;

TEST(Descriptors, BaselineFollowsTheCentredGlyphsAndStaysInTheCell) {
    EXPECT_EQ(cellBaseline(20, 15, 12, 0), 14);   // top (20 - 15) / 2 = 2
    EXPECT_EQ(cellBaseline(20, 15, 12, -3), 15);  // the glyphs move by -3 / 2 = -1, truncated toward zero
    EXPECT_EQ(cellBaseline(5, 15, 12, 0), 5);     // a cell smaller than the line
    EXPECT_EQ(cellBaseline(20, 15, 12, 100), 0);
}

