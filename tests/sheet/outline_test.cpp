#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/error.h"
#include "sheet/outline.h"
#include "support/outline_oracle.h"

using namespace karuvo;

namespace {

// A 24-bit picture in bitmap byte order, padding included.
struct Bytes {
    std::int32_t width, height, stride;
    std::vector<std::uint8_t> data;

    Bytes(std::int32_t w, std::int32_t h)
        : width(w), height(h), stride(surfaceStride(24, w)), data(std::size_t(stride) * h) {}
    PixelRows rows() { return {data.data(), width, height, stride}; }
    std::uint8_t* at(std::int32_t y, std::int32_t x) { return data.data() + y * stride + 3 * x; }
    void set(std::int32_t y, std::int32_t x, Colour c) {
        at(y, x)[0] = std::uint8_t(blueOf(c));
        at(y, x)[1] = std::uint8_t(greenOf(c));
        at(y, x)[2] = std::uint8_t(redOf(c));
    }
    Colour get(std::int32_t y, std::int32_t x) { return colourFromRgb(at(y, x)[2], at(y, x)[1], at(y, x)[0]); }
};

// Rows given as text, '#' a glyph pixel in an anti-aliasing shade, '.' black.
Bytes fromText(const std::vector<std::string>& rows) {
    Bytes b(std::int32_t(rows[0].size()), std::int32_t(rows.size()));
    for (std::int32_t y = 0; y < b.height; ++y)
        for (std::int32_t x = 0; x < b.width; ++x)
            if (rows[y][x] == '#') b.set(y, x, colourFromRgb(0x40 + x, 0x80, 0x20 + y));
    return b;
}

// The picture as text: 'o' for the given colour, '.' black, '?' anything else.
std::vector<std::string> toText(Bytes& b, Colour ring) {
    std::vector<std::string> rows;
    for (std::int32_t y = 0; y < b.height; ++y) {
        std::string row;
        for (std::int32_t x = 0; x < b.width; ++x) {
            const Colour c = b.get(y, x);
            row += c == ring ? 'o' : c == kBlack ? '.' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

void shipped(Bytes& b, Colour glyph, Colour outline, std::int32_t r) {
    cleanGlyphs(b.rows(), glyph);
    buildRing(b.rows(), glyph, outline, r);
}

void direct(Bytes& b, Colour glyph, Colour outline, std::int32_t r) {
    oracle::cleanGlyphs(b.rows(), glyph);
    oracle::ring(b.rows(), glyph, outline, r);
}

// Runs both passes on copies of `b` and reports the first byte where they differ.
::testing::AssertionResult matchesOracle(const Bytes& b, Colour glyph, Colour outline, std::int32_t r) {
    Bytes fast = b, slow = b;
    shipped(fast, glyph, outline, r);
    direct(slow, glyph, outline, r);
    for (std::size_t i = 0; i < fast.data.size(); ++i) {
        if (fast.data[i] != slow.data[i]) {
            return ::testing::AssertionFailure()
                   << b.width << " x " << b.height << ", radius " << r << ", glyph " << std::hex
                   << glyph << ", outline " << outline << std::dec << ": byte " << i << " (row "
                   << i / b.stride << ", column byte " << i % b.stride << ") is "
                   << int(fast.data[i]) << ", the direct search gives " << int(slow.data[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

constexpr Colour kRed = 0x0000FF, kGreen = 0x00FF00;

}  // namespace

TEST(OutlineRadius, ReadsTheTypedText) {
    struct Case { const char* text; std::int32_t radius; bool replace; };
    const Case cases[] = {
        {"abc", 0, true}, {"", 0, true}, {"2.5", 2, false}, {"3.5", 4, false},
        {"-3", 0, false}, {"25", 10, false}, {" 7 ", 7, false}, {"1e300", 10, false},
        {"10.5", 10, false}, {"&H3", 3, false}, {"-0.4", 0, false},
    };
    for (const Case& c : cases) {
        const OutlineRadius got = readOutlineRadius(QString::fromUtf8(c.text));
        EXPECT_EQ(got.radius, c.radius) << c.text;
        EXPECT_EQ(got.replaceText, c.replace) << c.text;
    }
}

TEST(OutlineRadius, HalfWidthsAndDiskSizesFollowTheTable) {
    const std::vector<std::vector<std::int32_t>> rows = {
        {0}, {1, 0}, {2, 2, 0}, {3, 3, 2, 0}, {4, 4, 3, 3, 0}, {5, 5, 5, 4, 3, 0},
        {6, 6, 6, 5, 4, 3, 0}, {7, 7, 7, 6, 6, 5, 4, 0}, {8, 8, 8, 7, 7, 6, 5, 4, 0},
        {9, 9, 9, 8, 8, 7, 7, 6, 4, 0}, {10, 10, 10, 10, 9, 9, 8, 7, 6, 4, 0}};
    const std::int32_t points[] = {1, 5, 17, 33, 57, 89, 121, 169, 213, 269, 333};
    for (std::int32_t r = 0; r <= 10; ++r) {
        const HalfWidthTable t = HalfWidths(r);
        std::int32_t count = 0;
        for (std::int32_t d = 0; d <= r; ++d) {
            EXPECT_EQ(t[d], rows[r][d]) << "radius " << r << ", row " << d;
            count += (d == 0 ? 1 : 2) * (2 * t[d] + 1);
        }
        EXPECT_EQ(count, points[r]) << "radius " << r;
    }
    EXPECT_EQ(HalfWidths(25), HalfWidths(10));
}

TEST(OutlineRing, RadiusOneTouchesSidesNotCorners) {
    // White on white: the ring comes out white with nothing else white.
    Bytes b = fromText({".....", ".....", "..#..", ".....", "....."});
    shipped(b, kWhite, kWhite, 1);
    EXPECT_EQ(toText(b, kWhite), (std::vector<std::string>{
        ".....", "..o..", ".o.o.", "..o..", "....."}));
}

TEST(OutlineRing, RadiusTwoReachesTwoColumnsAndTwoRowsStraight) {
    // Outline and glyph in the same colour still give a ring.
    Bytes b = fromText({".......", ".......", ".......", "...#...", ".......", ".......", "......."});
    shipped(b, kRed, kRed, 2);
    EXPECT_EQ(toText(b, kRed), (std::vector<std::string>{
        ".......", "...o...", ".ooooo.", ".oo.oo.", ".ooooo.", "...o...", "......."}));
}

TEST(OutlineRing, ClippedAtTheEdgesWithoutWrapping) {
    Bytes b = fromText({"#.....", "......", ".....#"});
    shipped(b, kWhite, kGreen, 2);
    EXPECT_EQ(toText(b, kGreen), (std::vector<std::string>{
        ".oo..o", "oooooo", "o..oo."}));
}

TEST(OutlineRing, BlackGlyphsPutTheWholeSheetInTheOutlineColour) {
    for (std::int32_t r : {0, 3}) {
        Bytes b = fromText({"..#...", "......", "#....."});
        shipped(b, kBlack, kGreen, r);
        for (const std::string& row : toText(b, kGreen)) EXPECT_EQ(row, "oooooo") << "radius " << r;
    }
}

TEST(OutlineRing, MatchesTheDirectSearchOnRandomSheets) {
    std::mt19937 rng(20261206);
    const std::int32_t widths[] = {1, 2, 7, 8, 9, 23, 63, 64, 65, 100, 129, 200};
    const std::int32_t heights[] = {1, 2, 5, 24, 41};
    const double densities[] = {0.003, 0.05, 0.4};
    auto randomColour = [&] { return Colour(rng() & 0xFFFFFF); };
    int cases = 0;
    for (std::int32_t r = 0; r <= 10; ++r) {
        for (std::int32_t w : widths) {
            const std::int32_t h = heights[rng() % std::size(heights)];
            const double density = densities[rng() % std::size(densities)];
            Bytes b(w, h);
            for (auto& byte : b.data) byte = std::uint8_t(rng());  // padding too
            std::bernoulli_distribution ink(density);
            for (std::int32_t y = 0; y < h; ++y) {
                for (std::int32_t x = 0; x < w; ++x) {
                    // Shades with a single non-zero byte in any position count as ink.
                    Colour c = ink(rng) ? Colour(std::uint32_t(0xFF) << (8 * (rng() % 3))) & rng() : 0;
                    if (c == 0 && ink(rng)) c = randomColour();
                    b.set(y, x, c);
                }
            }
            const Colour glyph = std::array{kWhite, kRed, kBlack, randomColour()}[rng() % 4];
            const Colour outline = std::array{kWhite, kBlack, glyph, randomColour()}[rng() % 4];
            EXPECT_TRUE(matchesOracle(b, glyph, outline, r));
            ++cases;
        }
    }
    EXPECT_EQ(cases, 11 * 12);
}

TEST(OutlineRing, MatchesTheDirectSearchOnASheetLargeEnoughForTwoBands) {
    std::mt19937 rng(7);
    Bytes b(330, 280);  // over 256 KiB, so it is split where there are two cores
    for (std::int32_t y = 0; y < b.height; ++y)
        for (std::int32_t x = 0; x < b.width; ++x)
            if (rng() % 50 == 0) b.set(y, x, 0x204060);
    for (std::int32_t r : {1, 10}) EXPECT_TRUE(matchesOracle(b, kWhite, kRed, r));
}

TEST(OutlineRing, MatchesTheDirectSearchForGlyphsOnEdgesAndCorners) {
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {1, 1}, {1, 30}, {30, 1}, {3, 3}, {8, 8}, {63, 21}, {64, 22}, {65, 23}, {128, 12}, {131, 25}};
    for (auto [w, h] : sizes) {
        Bytes b(w, h);
        const std::int32_t xs[] = {0, w / 2, w - 1}, ys[] = {0, h / 2, h - 1};
        for (std::int32_t y : ys)
            for (std::int32_t x : xs)
                if (x != w / 2 || y != h / 2 || w < 3 || h < 3) b.set(y, x, 0x204060);
        for (std::int32_t r = 0; r <= 10; ++r) {
            for (auto [glyph, outline] : {std::pair{kWhite, kWhite}, {kRed, kGreen}, {kGreen, kGreen},
                                          {kBlack, kRed}, {kRed, kBlack}})
                EXPECT_TRUE(matchesOracle(b, glyph, outline, r));
        }
    }
}

TEST(Outline, HandOffCleansTheSheetAndCompositingAddsTheRing) {
    Image sheet(12, 9);
    sheet.setPixel(5, 4, qRgb(0x30, 0x30, 0x30));  // soft shades of one glyph
    sheet.setPixel(6, 4, qRgb(0, 0, 0x01));
    PixelSurface surface = outlineHandOff(sheet, {kRed, kGreen, 1});
    ASSERT_TRUE(surface.hasBitmap());

    EXPECT_EQ(sheet.pixel(5, 4), qRgb(255, 0, 0));
    EXPECT_EQ(sheet.pixel(6, 4), qRgb(255, 0, 0));
    EXPECT_EQ(sheet.pixel(4, 4), qRgb(0, 0, 0));  // the ring is not on the sheet yet

    outlineCompositing(sheet, surface);
    EXPECT_FALSE(surface.hasBitmap());
    int ring = 0, glyph = 0;
    for (std::int32_t y = 0; y < sheet.height(); ++y) {
        for (std::int32_t x = 0; x < sheet.width(); ++x) {
            const QRgb p = sheet.pixel(x, y);
            if (p == qRgb(0, 255, 0)) ++ring;
            else if (p == qRgb(255, 0, 0)) ++glyph;
            else EXPECT_EQ(p, qRgb(0, 0, 0)) << x << ", " << y;
        }
    }
    EXPECT_EQ(glyph, 2);
    EXPECT_EQ(ring, 6);
    EXPECT_EQ(sheet.pixel(4, 4), qRgb(0, 255, 0));
    EXPECT_EQ(sheet.pixel(6, 3), qRgb(0, 255, 0));  // rows are not turned over on the way
    EXPECT_EQ(sheet.pixel(7, 5), qRgb(0, 0, 0));
}

TEST(Outline, SheetWithoutAreaIsSkipped) {
    Image empty(0, 16);
    PixelSurface surface = outlineHandOff(empty, {kWhite, kWhite, 3});
    EXPECT_FALSE(surface.hasBitmap());
    outlineCompositing(empty, surface);
    EXPECT_TRUE(empty.isEmpty());
}

TEST(Outline, RefusesASurfaceItCannotWorkOn) {
    Image sheet(4, 4);
    PixelSurface deep = CreatePixelSurface(32, 4, 4);
    EXPECT_THROW(ApplyGlyphEffects(deep, sheet, {}), Error);
    PixelSurface gone = CreatePixelSurface(24, 4, 4);
    DestroyPixelSurface(gone);
    EXPECT_THROW(ApplyGlyphEffects(gone, sheet, {}), Error);
}
