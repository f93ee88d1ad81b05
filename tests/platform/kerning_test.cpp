// Kerning pairs against the numbers the test font was compiled from
// (kerning.ttc of support/make_test_fonts.py), not against any shaper.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/font.h"
#include "support/fixtures.h"
#include "support/test_fonts.h"

using namespace karuvo;

namespace {

constexpr int kPixels = 50;

// Font units (1000 to the em) in whole pixels at kPixels, to the nearest.
std::int32_t px(int units) { return static_cast<std::int32_t>(std::lround(units * kPixels / 1000.0)); }

std::vector<KerningPair> pairsOf(int faceIndex, const std::u32string& chars) {
    const FontFile file(fakes::testFonts() + "/kerning.ttc", faceIndex);
    return Font::create(fakes::faceDescription(file.family(), kPixels))->kerningPairs(chars);
}

}  // namespace

// "x" is only ever second; "B" and "字" are drawn by other faces.
TEST(Kerning, PairsComeFromPositioningLookupsAndFromTheKernTable) {
    const std::u32string chars = U"ABOTVox字";
    EXPECT_EQ(pairsOf(0, chars), (std::vector<KerningPair>{
                                     {U'A', U'T', px(44)},    // glyph pairs
                                     {U'A', U'V', px(-80)},
                                     {U'A', U'x', px(-60)},   // first glyphs as a range A..O
                                     {U'O', U'x', px(-60)},   // the range's last glyph
                                     {U'T', U'O', px(-120)},  // a class pair
                                     {U'T', U'o', px(-120)},
                                     {U'T', U'x', px(-60)},
                                     {U'V', U'A', px(-94)},   // an extension lookup: -4.7 px
                                     {U'V', U'x', px(-60)},
                                 }));                         // "o o", 0.4 px, is not listed
    EXPECT_EQ(pairsOf(1, chars), (std::vector<KerningPair>{{U'A', U'V', px(-160)}, {U'T', U'o', px(-60)}}));
}
