#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "sheet/builder.h"
#include "sheet/outline.h"
#include "support/fixtures.h"
#include "support/outline_oracle.h"

using namespace karuvo;

namespace {

constexpr Colour kRed = 0x0000FF, kGreen = 0x00FF00;

// A 24-bit picture in bitmap byte order, padding included.
struct Bytes {
    std::int32_t width, height, stride;
    std::vector<std::uint8_t> data;

    Bytes(std::int32_t w, std::int32_t h) : width(w), height(h), stride(surfaceStride(24, w)), data(std::size_t(stride) * h) {}
    PixelRows rows() { return {data.data(), width, height, stride}; }
    void set(std::int32_t y, std::int32_t x, Colour c) {
        for (int i = 0; i < 3; ++i) data[y * stride + 3 * x + i] = std::uint8_t(c >> (16 - 8 * i));
    }
    Colour get(std::int32_t y, std::int32_t x) const {
        const std::uint8_t* p = &data[y * stride + 3 * x];
        return Colour(p[0] << 16 | p[1] << 8 | p[2]);
    }
};

// Whether the shipped pass and the direct search (support/outline_oracle) leave the same bytes.
bool matchesOracle(const Bytes& b, Colour glyph, Colour outline, std::int32_t r) {
    Bytes fast = b, slow = b;
    cleanGlyphs(fast.rows(), glyph);
    buildRing(fast.rows(), glyph, outline, r);
    oracle::cleanGlyphs(slow.rows(), glyph);
    oracle::ring(slow.rows(), glyph, outline, r);
    return fast.data == slow.data;
}

}  // namespace

TEST(OutlineRadius, ReadsTheTypedText) {
    const struct { const char* text; std::int32_t radius; bool replace; } cases[] = {
        {"abc", 0, true}, {"", 0, true}, {"2.5", 2, false}, {"3.5", 4, false}, {"-3", 0, false},
        {"25", 10, false}, {" 7 ", 7, false}, {"1e300", 10, false}, {"&H3", 3, false}, {"-0.4", 0, false}};
    for (const auto& c : cases) {
        const OutlineRadius got = readOutlineRadius(QString::fromUtf8(c.text));
        EXPECT_EQ(std::pair(got.radius, got.replaceText), std::pair(c.radius, c.replace)) << c.text;
    }
    EXPECT_EQ(HalfWidths(25), HalfWidths(10));  // the disk of a larger radius is the largest one
}

// Random sheets (padding bytes too) and glyphs on every edge and corner, at every radius,
// for glyph and outline colours that are white, black, equal or anything; and a sheet
// large enough to be worked in two bands.
TEST(OutlineRing, MatchesTheDirectSearch) {
    std::mt19937 rng(20261206);
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {1, 1}, {1, 30}, {30, 1}, {3, 3}, {8, 8}, {63, 21}, {64, 22}, {65, 23}, {131, 25}, {200, 41}};
    for (auto [w, h] : sizes) {
        Bytes edges(w, h), noisy(w, h);
        for (std::int32_t y : {0, h / 2, h - 1})
            for (std::int32_t x : {0, w / 2, w - 1})
                if (x != w / 2 || y != h / 2 || w < 3 || h < 3) edges.set(y, x, 0x204060);
        for (auto& byte : noisy.data) byte = std::uint8_t(rng());
        std::bernoulli_distribution ink(std::array{0.003, 0.05, 0.4}[w % 3]);
        for (std::int32_t y = 0; y < h; ++y)  // a shade with a single byte set counts as ink too
            for (std::int32_t x = 0; x < w; ++x)
                noisy.set(y, x, !ink(rng) ? 0 : rng() % 2 ? rng() & 0xFFFFFF : (rng() & 0xFF) << (8 * (rng() % 3)));
        for (std::int32_t r = 0; r <= 10; ++r) {
            for (Colour glyph : {kWhite, kRed, kBlack, Colour(rng() & 0xFFFFFF)})
                for (Colour outline : {kWhite, kBlack, glyph, Colour(rng() & 0xFFFFFF)})
                    for (const Bytes* b : {&edges, &noisy})
                        EXPECT_TRUE(matchesOracle(*b, glyph, outline, r))
                            << w << " x " << h << (b == &edges ? " edges" : " noisy") << ", radius " << r
                            << std::hex << ", glyph " << glyph << ", outline " << outline;
        }
    }
    Bytes large(330, 280);  // over 256 KiB, so it is split where there are two cores
    for (std::int32_t i = 0; i < 330 * 280; ++i)
        if (rng() % 50 == 0) large.set(i / 330, i % 330, 0x204060);
    for (std::int32_t r : {1, 10}) EXPECT_TRUE(matchesOracle(large, kWhite, kRed, r)) << "two bands, radius " << r;
}

// The hand-off does in fewer passes what copying the sheet into a surface and applying
// the glyph effects step by step does: the same sheet, bitmap and byte mirror, for odd
// widths, shades with a single channel set and the black glyphs' all-ring case.
TEST(OutlineRing, TheHandOffLeavesWhatTheStepByStepEffectsLeave) {
    std::mt19937 rng(31);
    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {65, 9}, {331, 17}}) {
        Image picture(w, h);
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x)
                if (rng() % 3 == 0) picture.setPixel(x, y, rng() % 2 ? rng() & 0xFFFFFF : (rng() & 0xFF) << (8 * (rng() % 3)));
        for (const OutlineStyle style : {OutlineStyle{kRed, kWhite, 3}, OutlineStyle{kBlack, kGreen, 1},
                                         OutlineStyle{Colour(rng() & 0xFFFFFF), kBlack, 10}}) {
            Image stepped = picture, handed = picture;
            PixelSurface steps = CreatePixelSurface(24, w, h);
            bitBlt(*steps.MemDC, 0, 0, w, h, stepped.view(), 0, 0, RasterOp::SrcCopy);
            ApplyGlyphEffects(steps, stepped, style);
            PixelSurface surface = outlineHandOff(handed, style);
            SCOPED_TRACE(testing::Message() << w << " x " << h << std::hex << ", glyph " << style.glyphColour);
            EXPECT_TRUE(handed == stepped);
            EXPECT_EQ(surface.Pixels, steps.Pixels);
            EXPECT_TRUE(std::equal(surface.Bits, surface.Bits + surface.Pixels.size(), steps.Bits));
        }
    }
}

// The outline in a build: the glyphs cleaned to their colour and textured when the
// texture is there, the ring around them added last and never textured. The ring goes
// around where the glyphs are drawn, so black glyphs get the ring their white twins get
// and stay black inside it. Rows of 42 pixels end in padding and in pixels short of a
// group of four; a glyph colour of one channel gives shades of that channel alone.
TEST(OutlineBuild, CleansAndTexturesTheGlyphsAndAddsTheRingLast) {
    QTemporaryDir dir;
    const Image texture = fakes::patterned(7, 5);
    const QString path = dir.filePath("tex.bmp");
    ASSERT_TRUE(texture.qimage().save(path, "BMP"));

    const struct { FillKind fill; QString texture; Colour glyph, outline; std::int32_t radius; bool ring; } cases[] = {
        {FillKind::Colour, {}, colourFromRgb(255, 0, 0), colourFromRgb(0, 0, 255), 2, true},
        {FillKind::Colour, {}, kBlack, kWhite, 2, true},
        {FillKind::Colour, {}, kBlack, colourFromRgb(0, 0, 255), 3, true},
        {FillKind::Texture, path, kWhite, kWhite, 1, true},
        {FillKind::Texture, {}, kWhite, kGreen, 3, false},  // without its texture: white glyphs alone
    };
    for (const auto& c : cases) {
        SheetSettings s{.text = QStringLiteral("Rg\nW"), .cellWidth = 21, .cellHeight = 20, .font = fakes::monoDescription(14),
                        .fill = c.fill, .fillColour = c.glyph, .texturePath = c.texture, .effect = EffectKind::Outline,
                        .outlineRadius = c.radius, .outlineColour = c.outline};
        const Image sheet = buildSheet(s).image;
        // The glyphs as drawn, white where a texture goes or the glyphs are black.
        const Colour drawn = c.glyph == kBlack ? kWhite : c.glyph;
        s.fill = FillKind::Colour;
        s.fillColour = drawn;
        s.effect = EffectKind::None;
        const Image plain = buildSheet(s).image;
        Bytes ring(42, 40);
        for (std::int32_t i = 0; i < 42 * 40 && c.ring; ++i) ring.set(i / 42, i % 42, fromQRgb(plain.pixel(i % 42, i / 42)));
        if (c.ring) oracle::cleanGlyphs(ring.rows(), drawn), oracle::ring(ring.rows(), drawn, c.outline, c.radius);
        ASSERT_EQ(std::pair(sheet.width(), sheet.height()), std::pair(42, 40));
        std::int64_t ringPixels = 0;
        for (std::int32_t y = 0; y < 40; ++y)
            for (std::int32_t x = 0; x < 42; ++x) {
                const bool glyph = plain.pixel(x, y) & 0xffffffu;
                const QRgb want = !glyph               ? toQRgb(ring.get(y, x))
                                  : c.texture.isEmpty() ? toQRgb(c.glyph)
                                                        : texture.pixel(x % 21 % 7, y % 20 % 5);
                ringPixels += !glyph && want == toQRgb(c.outline);
                ASSERT_EQ(sheet.pixel(x, y), want) << x << ", " << y << " glyph " << c.glyph;
            }
        EXPECT_EQ(ringPixels > 100 && ringPixels < 1000, c.ring) << ringPixels;
    }

    // A sheet of no area: the outline is skipped and the build goes on.
    const Sheet sheet = buildSheet({.text = {}, .cellWidth = 12, .cellHeight = 12, .font = {}, .texturePath = {},
                                    .effect = EffectKind::Outline, .outlineRadius = 4});
    EXPECT_EQ(std::pair(sheet.width, sheet.rows), std::pair(0, 1));
    EXPECT_TRUE(sheet.image.isEmpty());
}
