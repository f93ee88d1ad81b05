#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/error.h"
#include "sheet/builder.h"

using namespace karuvo;

namespace {

// DejaVu Sans Mono at 14 px: every character box is 8 x 16.
FontDescription mono14() {
    FontDescription d;
    d.height = -14;
    d.weight = 400;
    d.faceName = "DejaVu Sans Mono";
    return d;
}

SheetSettings monoSettings(const QString& text, std::int32_t cellWidth = 16, std::int32_t cellHeight = 16) {
    SheetSettings s;
    s.text = text;
    s.cellWidth = cellWidth;
    s.cellHeight = cellHeight;
    s.font = mono14();
    return s;
}

struct Glyph {
    char32_t codePoint;
    std::int32_t x;
    std::int32_t y;
    Colour colour;
};

// The glyphs drawn one by one on black at the given top-left corners, the way the
// platform draws a single character.
Image drawn(std::int32_t width, std::int32_t height, std::initializer_list<Glyph> glyphs) {
    auto font = Font::create(mono14());
    Image image(width, height);
    DrawingContext dc(&image, font.get());
    dc.setBackgroundMode(BackgroundMode::Transparent);
    for (const Glyph& g : glyphs) {
        dc.setTextColour(g.colour);
        dc.drawChar(g.x, g.y, g.codePoint);
    }
    dc.flush();
    return image;
}

std::int64_t litPixels(const Image& image, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h) {
    std::int64_t n = 0;
    for (std::int32_t y = y0; y < y0 + h; ++y)
        for (std::int32_t x = x0; x < x0 + w; ++x)
            if (image.pixel(x, y) & 0xffffffu) ++n;
    return n;
}

// A texture whose every pixel differs from its neighbours and is never black.
Image patterned(std::int32_t width, std::int32_t height) {
    Image t(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) t.setPixel(x, y, qRgb(10 + 6 * x, 20 + 5 * y, 200 - x - y));
    return t;
}

std::string messageOf(const SheetSettings& s, ErrorKind expectedKind) {
    try {
        buildSheet(s);
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), expectedKind) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "the build was not refused";
    return {};
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Placement, CentresTheBoxAndSplitsTheShadowOffsetTowardZero) {
    const CharBox box{9, 16};
    const CellPlacement plain = placeInCell(2, 1, 16, 16, box, 0, 0);
    EXPECT_EQ(plain.mainX, 35);
    EXPECT_EQ(plain.mainY, 16);
    EXPECT_EQ(plain.shadowX, 35);
    EXPECT_EQ(plain.shadowY, 16);

    const CellPlacement down = placeInCell(2, 1, 16, 16, box, 3, 3);
    EXPECT_EQ(down.mainX, 34);
    EXPECT_EQ(down.mainY, 15);
    EXPECT_EQ(down.shadowX, 37);
    EXPECT_EQ(down.shadowY, 18);

    // -3 div 2 is -1: the main box moves right by one, the shadow lies two left of centre.
    const CellPlacement left = placeInCell(2, 1, 16, 16, box, -3, 0);
    EXPECT_EQ(left.mainX, 36);
    EXPECT_EQ(left.shadowX, 33);
    EXPECT_EQ(left.mainY, 16);

    // A box wider than the cell overhangs both neighbours; (10 - 13) div 2 is -1, not -2.
    EXPECT_EQ(placeInCell(1, 0, 10, 10, CharBox{13, 10}, 0, 0).mainX, 9);
    EXPECT_THROW(placeInCell(INT32_MAX, 0, 2, 2, box, 0, 0), Error);
}

TEST(TextureSample, TilesFromTheCornerAndClipsAtTheCellEdge) {
    const Image small = patterned(10, 10);
    const Image four = tileTextureSample(small, 16, 16);
    ASSERT_EQ(four.width(), 16);
    ASSERT_EQ(four.height(), 16);
    for (std::int32_t y = 0; y < 16; ++y)
        for (std::int32_t x = 0; x < 16; ++x) ASSERT_EQ(four.pixel(x, y), small.pixel(x % 10, y % 10)) << x << "," << y;

    const Image large = patterned(40, 40);
    const Image one = tileTextureSample(large, 16, 16);
    for (std::int32_t y = 0; y < 16; ++y)
        for (std::int32_t x = 0; x < 16; ++x) ASSERT_EQ(one.pixel(x, y), large.pixel(x, y)) << x << "," << y;
}

TEST(Builder, CentresEveryCharacterInItsCellAndDrawsTheAmpersand) {
    SheetSettings s = monoSettings(QStringLiteral("a&\r\nxyW"));
    s.fillColour = colourFromRgb(255, 128, 0);
    const Sheet sheet = buildSheet(s);
    EXPECT_EQ(sheet.columns, 3);
    EXPECT_EQ(sheet.rows, 2);
    ASSERT_EQ(sheet.width, 48);
    ASSERT_EQ(sheet.height, 32);
    // 8 x 16 boxes in 16 x 16 cells sit 4 pixels in from each cell's left edge.
    const Colour c = s.fillColour;
    const Image expected =
        drawn(48, 32, {{U'a', 4, 0, c}, {U'&', 20, 0, c}, {U'x', 4, 16, c}, {U'y', 20, 16, c}, {U'W', 36, 16, c}});
    EXPECT_TRUE(sheet.image == expected);
    EXPECT_GT(litPixels(sheet.image, 16, 0, 16, 16), 20);  // the ampersand is there
}

TEST(Builder, DrawsTheShadowBesideTheCharactersOnly) {
    SheetSettings s = monoSettings(QStringLiteral("AB\nC"));
    s.effect = EffectKind::Shadow;
    s.fillColour = colourFromRgb(255, 0, 0);
    s.shadowColour = colourFromRgb(0, 0, 255);
    s.shadowDx = 3;
    s.shadowDy = 3;
    const Sheet sheet = buildSheet(s);

    // Main boxes at (4 - 1, -1) in each cell, shadows three pixels right and down.
    const Colour red = s.fillColour, blue = s.shadowColour;
    Image expected = drawn(32, 32, {{U'A', 6, 2, blue}, {U'B', 22, 2, blue}, {U'C', 6, 18, blue},
                                    {U'A', 3, -1, kBlack}, {U'B', 19, -1, kBlack}, {U'C', 3, 15, kBlack}});
    Image glyphs = drawn(32, 32, {{U'A', 3, -1, red}, {U'B', 19, -1, red}, {U'C', 3, 15, red}});
    bitBlt(expected, 0, 0, 32, 32, &glyphs, 0, 0, RasterOp::SrcPaint);
    EXPECT_TRUE(sheet.image == expected);
    EXPECT_GT(litPixels(sheet.image, 0, 0, 32, 32), litPixels(glyphs, 0, 0, 32, 32));

    // A negative offset across: the main box moves right by one (-3 div 2 = -1), the
    // shadow lies two left of the centred box.
    s.shadowDx = -3;
    s.shadowDy = 0;
    s.text = "A";
    Image left = drawn(16, 16, {{U'A', 2, 0, blue}, {U'A', 5, 0, kBlack}});
    Image leftGlyph = drawn(16, 16, {{U'A', 5, 0, red}});
    bitBlt(left, 0, 0, 16, 16, &leftGlyph, 0, 0, RasterOp::SrcPaint);
    EXPECT_TRUE(buildSheet(s).image == left);
}

TEST(Builder, AZeroShadowIsCutAwayEntirely) {
    SheetSettings s = monoSettings(QStringLiteral("Ag\n%"));
    const Sheet plain = buildSheet(s);
    s.effect = EffectKind::Shadow;
    s.shadowColour = colourFromRgb(0, 255, 0);
    EXPECT_TRUE(buildSheet(s).image == plain.image);
}

TEST(Builder, AndsTheTextureIntoEveryCellOfTheGrid) {
    QTemporaryDir dir;
    const Image texture = patterned(10, 7);
    const QString path = dir.filePath("tex.bmp");
    ASSERT_TRUE(texture.qimage().save(path, "BMP"));

    // Two lines of 3 and 1 characters; the narrow cells make the glyphs overhang into
    // their neighbours, the empty cells of the short line included.
    SheetSettings s = monoSettings(QStringLiteral("WMW\nW"), 5, 16);
    const Image white = buildSheet(s).image;
    ASSERT_GT(litPixels(white, 5, 16, 5, 16), 0);  // the overhang into an empty cell
    s.fill = FillKind::Texture;
    s.fillColour = colourFromRgb(255, 0, 0);  // ignored under a texture
    s.texturePath = path;
    const Sheet sheet = buildSheet(s);
    ASSERT_EQ(sheet.width, 15);
    ASSERT_EQ(sheet.height, 32);
    for (std::int32_t y = 0; y < 32; ++y) {
        for (std::int32_t x = 0; x < 15; ++x) {
            const QRgb want = white.pixel(x, y) & texture.pixel(x % 5 % 10, y % 16 % 7);
            ASSERT_EQ(sheet.image.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST(Builder, ImageFillWithoutATextureGivesPlainWhiteGlyphs) {
    SheetSettings s = monoSettings(QStringLiteral("Ab\ncd"));
    const Image white = buildSheet(s).image;
    s.fill = FillKind::Texture;
    s.fillColour = colourFromRgb(0, 0, 255);
    for (EffectKind effect : {EffectKind::None, EffectKind::Shadow}) {
        s.effect = effect;
        s.shadowDx = 2;
        s.shadowDy = 2;
        // The shadow still moves the glyphs off centre, but no shadow is laid in.
        const Image want = effect == EffectKind::None
                               ? white
                               : drawn(32, 32, {{U'A', 3, -1, kWhite}, {U'b', 19, -1, kWhite},
                                                {U'c', 3, 15, kWhite}, {U'd', 19, 15, kWhite}});
        EXPECT_TRUE(buildSheet(s).image == want);
    }
}

TEST(Builder, DrawsCharactersTheFontLacksWholeInTheirOwnCells) {
    // DejaVu Sans Mono has no kana: the platform's fallback face draws them.
    const Sheet sheet = buildSheet(monoSettings(QStringLiteral("\u3042\u3044"), 24, 24));
    for (std::int32_t c = 0; c < 2; ++c) {
        std::int32_t minX = 24, maxX = -1;
        for (std::int32_t y = 0; y < 24; ++y)
            for (std::int32_t x = 0; x < 24; ++x)
                if (sheet.image.pixel(c * 24 + x, y) & 0xffffffu) minX = std::min(minX, x), maxX = std::max(maxX, x);
        EXPECT_GT(maxX - minX, 8) << c;  // a whole kana, not a sliver or an empty box
        EXPECT_GE(minX, 1) << c;
        EXPECT_LE(maxX, 22) << c;
    }
}

TEST(Builder, EmptyTextGivesAnEmptySheetOneCellHigh) {
    SheetSettings s;
    s.cellWidth = 10;
    s.cellHeight = 12;
    const Sheet sheet = buildSheet(s);  // the default sheet font
    EXPECT_EQ(sheet.columns, 0);
    EXPECT_EQ(sheet.rows, 1);
    EXPECT_EQ(sheet.width, 0);
    EXPECT_EQ(sheet.height, 12);
    EXPECT_TRUE(sheet.image.isEmpty());
}

TEST(Builder, BuildsLargeSheetsUpToThePainterLimits) {
    SheetSettings s;
    s.text = QStringLiteral("\u5B57");
    s.cellWidth = 8192;
    s.cellHeight = 8192;
    const Sheet square = buildSheet(s);
    ASSERT_EQ(square.image.width(), 8192);
    ASSERT_EQ(square.image.height(), 8192);
    EXPECT_GT(litPixels(square.image, 4090, 4090, 12, 12), 0);

    // Sheets as wide and as tall as the side limit: the glyph in the far cell is drawn
    // exactly like the one in the near cell.
    const std::int32_t half = kMaxSheetSide / 2;
    const std::int32_t inset = (half - 8) / 2;  // the 8 x 16 box, centred across
    const std::int32_t drop = (half - 16) / 2;  // ... and down
    const Sheet wide = buildSheet(monoSettings(QStringLiteral("WW"), half, 16));
    const Sheet tall = buildSheet(monoSettings(QStringLiteral("W\nW"), 16, half));
    ASSERT_EQ(wide.image.width(), kMaxSheetSide);
    ASSERT_EQ(tall.image.height(), kMaxSheetSide);
    for (std::int32_t a = 0; a < 16; ++a) {
        for (std::int32_t b = 0; b < 16; ++b) {
            ASSERT_EQ(wide.image.pixel(inset + a, b), wide.image.pixel(half + inset + a, b));
            ASSERT_EQ(tall.image.pixel(4 + a, drop + b), tall.image.pixel(4 + a, half + drop + b));
        }
    }
    EXPECT_GT(litPixels(wide.image, half + inset, 0, 16, 16), 20);
    EXPECT_GT(litPixels(tall.image, 0, half + drop, 16, 16), 20);
}

TEST(Builder, RefusesBadSizesBeforeDrawingWithTheSizesNamed) {
    SheetSettings s = monoSettings(QStringLiteral("AB"), 0, 16);
    EXPECT_TRUE(contains(messageOf(s, ErrorKind::InvalidSize), "0 x 16"));
    s.cellWidth = 16;
    s.cellHeight = -3;
    EXPECT_TRUE(contains(messageOf(s, ErrorKind::InvalidSize), "16 x -3"));

    s = monoSettings(QStringLiteral("A"), 30000, 30000);
    EXPECT_TRUE(contains(messageOf(s, ErrorKind::TooLarge), "30000 x 30000"));
    s = monoSettings(QStringLiteral("A"), kMaxSheetSide + 1, 1);
    EXPECT_TRUE(contains(messageOf(s, ErrorKind::TooLarge), std::to_string(kMaxSheetSide + 1) + " x 1"));

    // The outline's work buffers count: a sheet that fits alone is refused with them.
    EXPECT_NO_THROW(checkSheetSize(16384, 16384, 16384, 16384, FillKind::Colour, EffectKind::None));
    EXPECT_THROW(checkSheetSize(16384, 16384, 16384, 16384, FillKind::Colour, EffectKind::Outline), Error);
    EXPECT_NO_THROW(checkSheetSize(21000, 21000, 21000, 21000, FillKind::Colour, EffectKind::None));
    EXPECT_THROW(checkSheetSize(21000, 21000, 21000, 21000, FillKind::Colour, EffectKind::Shadow), Error);

    s = monoSettings(QStringLiteral("ABC"), 1000000000, 1);
    EXPECT_TRUE(contains(messageOf(s, ErrorKind::Overflow), "sheet width"));

    s = monoSettings(QStringLiteral("A"));
    s.font->height = -100000;
    EXPECT_TRUE(contains(messageOf(s, ErrorKind::InvalidSize), "DejaVu Sans Mono"));
}

TEST(Builder, RefusesATextureThatCannotBeLoadedNamingTheFile) {
    QTemporaryDir dir;
    SheetSettings s = monoSettings(QStringLiteral("A"));
    s.fill = FillKind::Texture;

    s.texturePath = dir.filePath("missing.bmp");
    EXPECT_TRUE(contains(messageOf(s, ErrorKind::Image), s.texturePath.toStdString()));

    // A bitmap whose header claims 9000 x 8000 pixels.
    s.texturePath = dir.filePath("huge.bmp");
    ASSERT_TRUE(patterned(4, 4).qimage().save(s.texturePath, "BMP"));
    QFile huge(s.texturePath);
    ASSERT_TRUE(huge.open(QIODevice::ReadWrite));
    QByteArray bytes = huge.readAll();
    const auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
    };
    put32(18, 9000);
    put32(22, 8000);
    huge.seek(0);
    huge.write(bytes);
    huge.close();
    const std::string message = messageOf(s, ErrorKind::Image);
    EXPECT_TRUE(contains(message, s.texturePath.toStdString()));
    EXPECT_TRUE(contains(message, "9000 x 8000")) << message;
}
