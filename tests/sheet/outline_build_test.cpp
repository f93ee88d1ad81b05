#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "sheet/builder.h"
#include "sheet/ds_mod.h"
#include "support/outline_oracle.h"

using namespace karuvo;

namespace {

SheetSettings monoSettings(const QString& text) {
    SheetSettings s;
    s.text = text;
    s.cellWidth = 20;
    s.cellHeight = 20;
    FontDescription d;
    d.height = -14;
    d.faceName = "DejaVu Sans Mono";
    s.font = d;
    return s;
}

// The ring that the direct search lays around the glyphs of `drawn`, on black.
Image directRing(const Image& drawn, Colour glyph, Colour outline, std::int32_t radius) {
    Image picture = drawn;
    PixelSurface s = CreatePixelSurface(24, picture.width(), picture.height());
    bitBlt(*s.MemDC, 0, 0, picture.width(), picture.height(), picture.view(), 0, 0, RasterOp::SrcCopy);
    ReadSurfacePixels(s);
    oracle::cleanGlyphs(s.pixelRows(), glyph);
    oracle::ring(s.pixelRows(), glyph, outline, radius);
    WriteSurfacePixels(s);
    bitBlt(picture.view(), 0, 0, picture.width(), picture.height(), *s.MemDC, 0, 0, RasterOp::SrcCopy);
    return picture;
}

}  // namespace

TEST(OutlineBuild, ColourFillGetsCleanGlyphsAndTheRing) {
    SheetSettings s = monoSettings(QStringLiteral("Rg\nW"));
    s.fillColour = colourFromRgb(200, 10, 10);
    const Image plain = buildSheet(s).image;
    s.effect = EffectKind::Outline;
    s.outlineColour = colourFromRgb(0, 0, 255);
    s.outlineRadius = 2;
    const Image sheet = buildSheet(s).image;
    const Image ring = directRing(plain, s.fillColour, s.outlineColour, 2);

    std::int64_t ringPixels = 0;
    for (std::int32_t y = 0; y < sheet.height(); ++y) {
        for (std::int32_t x = 0; x < sheet.width(); ++x) {
            const bool glyph = plain.pixel(x, y) & 0xffffffu;
            const QRgb want = glyph ? qRgb(200, 10, 10) : ring.pixel(x, y);
            ringPixels += want == qRgb(0, 0, 255);
            ASSERT_EQ(sheet.pixel(x, y), want) << x << ", " << y;
        }
    }
    EXPECT_GT(ringPixels, 100);
}

TEST(OutlineBuild, ImageFillTexturesTheGlyphsButNotTheRing) {
    QTemporaryDir dir;
    Image texture(7, 5);
    for (std::int32_t y = 0; y < 5; ++y)
        for (std::int32_t x = 0; x < 7; ++x) texture.setPixel(x, y, qRgb(30 + 20 * x, 40 + 30 * y, 90));
    const QString path = dir.filePath("tex.bmp");
    ASSERT_TRUE(texture.qimage().save(path, "BMP"));

    SheetSettings s = monoSettings(QStringLiteral("Ak"));
    const Image plain = buildSheet(s).image;  // white glyphs, as under a texture
    s.fill = FillKind::Texture;
    s.texturePath = path;
    s.effect = EffectKind::Outline;
    s.outlineColour = kWhite;
    s.outlineRadius = 1;
    const Image sheet = buildSheet(s).image;
    const Image ring = directRing(plain, kWhite, kWhite, 1);

    std::int64_t ringPixels = 0, texturedPixels = 0;
    for (std::int32_t y = 0; y < sheet.height(); ++y) {
        for (std::int32_t x = 0; x < sheet.width(); ++x) {
            const bool glyph = plain.pixel(x, y) & 0xffffffu;
            const QRgb want = glyph ? texture.pixel(x % 20 % 7, y % 20 % 5) : ring.pixel(x, y);
            ringPixels += !glyph && want == qRgb(255, 255, 255);
            texturedPixels += glyph;
            ASSERT_EQ(sheet.pixel(x, y), want) << x << ", " << y;
        }
    }
    EXPECT_GT(ringPixels, 50);
    EXPECT_GT(texturedPixels, 50);
}

TEST(OutlineBuild, MissingTextureLeavesCleanWhiteGlyphsWithoutRing) {
    SheetSettings s = monoSettings(QStringLiteral("Ak"));
    const Image plain = buildSheet(s).image;
    s.fill = FillKind::Texture;
    s.effect = EffectKind::Outline;
    s.outlineColour = colourFromRgb(0, 255, 0);
    s.outlineRadius = 3;
    const Image sheet = buildSheet(s).image;
    for (std::int32_t y = 0; y < sheet.height(); ++y)
        for (std::int32_t x = 0; x < sheet.width(); ++x)
            ASSERT_EQ(sheet.pixel(x, y), (plain.pixel(x, y) & 0xffffffu) ? qRgb(255, 255, 255) : qRgb(0, 0, 0))
                << x << ", " << y;
}

TEST(OutlineBuild, EmptyTextSkipsTheOutline) {
    SheetSettings s = monoSettings(QString());
    s.effect = EffectKind::Outline;
    s.outlineRadius = 4;
    const Sheet sheet = buildSheet(s);
    EXPECT_EQ(sheet.width, 0);
    EXPECT_TRUE(sheet.image.isEmpty());
}
