#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/image_io.h"
#include "sheet/builder.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

// DejaVu Sans Mono at 14 px: every character box is 8 x 16.
SheetSettings monoSettings(const QString& text, std::int32_t cellWidth = 16, std::int32_t cellHeight = 16) {
    return {.text = text, .cellWidth = cellWidth, .cellHeight = cellHeight, .font = fakes::monoDescription(14), .texturePath = {}};
}

}  // namespace

TEST(Placement, CentresTheBoxAndSplitsTheShadowOffsetTowardZero) {
    const struct { std::int32_t boxWidth, dx, dy, mainX, mainY, shadowX, shadowY; } cases[] = {
        {9, 0, 0, 35, 16, 35, 16}, {9, 3, 3, 34, 15, 37, 18},
        {9, -3, 0, 36, 16, 33, 16},  // -3 div 2 is -1: the main box moves right by one
        {23, 0, 0, 29, 16, 29, 16},  // (16 - 23) div 2 is -3, not -4: the box overhangs both sides
    };
    for (const auto& c : cases) {  // column 2, row 1 of 16 x 16 cells
        const CellPlacement p = placeInCell(2, 1, 16, 16, CharBox{c.boxWidth, 16}, c.dx, c.dy);
        EXPECT_EQ(std::tie(p.mainX, p.mainY, p.shadowX, p.shadowY), std::tie(c.mainX, c.mainY, c.shadowX, c.shadowY))
            << c.boxWidth << " wide, shadow " << c.dx << ", " << c.dy;
    }
    EXPECT_THROW(placeInCell(INT32_MAX, 0, 2, 2, CharBox{9, 16}, 0, 0), Error);
}

TEST(Builder, AndsTheTextureIntoEveryCellOfTheGrid) {
    QTemporaryDir dir;
    const Image texture = fakes::patterned(10, 7);
    const QString path = dir.filePath("tex.bmp");
    ASSERT_TRUE(texture.qimage().save(path, "BMP"));

    // Lines of 3 and 1 characters; the narrow cells make the glyphs overhang into their
    // neighbours, the empty cells of the short line included.
    SheetSettings s = monoSettings(QStringLiteral("WMW\nW"), 5, 16);
    const Image white = buildSheet(s).image;
    QImage overhang = white.qimage().copy(5, 16, 5, 16), black = overhang;
    black.fill(Qt::black);
    ASSERT_NE(overhang, black);  // the overhang into an empty cell
    s.fill = FillKind::Texture;
    s.texturePath = path;
    const Sheet sheet = buildSheet(s);
    ASSERT_EQ(std::pair(sheet.width, sheet.height), std::pair(white.width(), white.height()));
    for (std::int32_t y = 0; y < 32; ++y)
        for (std::int32_t x = 0; x < 15; ++x)
            ASSERT_EQ(sheet.image.pixel(x, y), white.pixel(x, y) & texture.pixel(x % 5 % 10, y % 16 % 7)) << x << "," << y;
}

TEST(Builder, BuildsAnEightThousandPixelSquareSheet) {
    const Sheet sheet = buildSheet(monoSettings(QStringLiteral("W"), 8192, 8192));
    ASSERT_EQ(std::pair(sheet.image.width(), sheet.image.height()), std::pair(8192, 8192));
    EXPECT_EQ(sheet.image.qimage().copy(4092, 4088, 8, 16), buildSheet(monoSettings("W")).image.qimage().copy(4, 0, 8, 16));
}

TEST(Builder, RefusesBadInputBeforeDrawingWithTheSizeOrFileNamed) {
    QTemporaryDir dir;
    const QString huge = dir.filePath("huge.bmp");
    // A bitmap whose header claims 9000 x 8000 pixels.
    ASSERT_TRUE(fakes::writeFile(huge, encodeBmp24(fakes::patterned(4, 4), 4, 4).replace(18, 8, QByteArray::fromHex("28230000401f0000"))));

    const struct { std::int32_t cellWidth, cellHeight; QString texture; ErrorKind kind; std::string named; } cases[] = {
        {0, 16, {}, ErrorKind::InvalidSize, "0 x 16"},
        {16, -3, {}, ErrorKind::InvalidSize, "16 x -3"},
        {30000, 30000, {}, ErrorKind::TooLarge, "90000 x 30000"},  // three cells across
        {kMaxSheetSide, 1, {}, ErrorKind::TooLarge, std::to_string(3 * kMaxSheetSide) + " x 1"},
        {1000000000, 1, {}, ErrorKind::Overflow, "sheet width"},
        {16, 16, huge, ErrorKind::Image, "9000 x 8000"}};
    for (const auto& c : cases) {
        SheetSettings s = monoSettings(QStringLiteral("ABC"), c.cellWidth, c.cellHeight);
        s.fill = c.texture.isEmpty() ? FillKind::Colour : FillKind::Texture;
        s.texturePath = c.texture;
        const auto e = fakes::thrownBy([&] { buildSheet(s); });
        ASSERT_TRUE(e) << "not refused: " << c.named;
        EXPECT_EQ(e->kind(), c.kind) << e->what();
        EXPECT_NE(std::string(e->what()).find(c.named), std::string::npos) << e->what();
    }
}

// Each buffer a build holds counts against the budget: a plan of 25000 x 25000 pixels
// (2.3 GiB, its bitmap written a few rows at a time) fits, and is refused with any one
// buffer more.
TEST(BuildBudget, EveryBufferCounts) {
    const std::int64_t side = 25000, gib = 1ll << 30;
    const BuildPlan fits{side, side, 16, 16, 1000, FillKind::Colour, EffectKind::None};
    ASSERT_NO_THROW(checkBuild(fits));
    const std::pair<const char*, void (*)(BuildPlan&)> more[] = {
        {"a PNG's compressed pieces", [](BuildPlan& p) { p.fileBytesPerPixel = kPngFileBytes; }},
        {"the coverage layers", [](BuildPlan& p) { p.coverage = true; }},
        {"the shadow layer", [](BuildPlan& p) { p.effect = EffectKind::Shadow; }},
        {"the characters", [](BuildPlan& p) { p.cells = gib / 64; }},
        {"the front end's data", [](BuildPlan& p) { p.cells = gib / 1024, p.bytesPerCellOutside = 1024; }},
        {"the texture", [](BuildPlan& p) { p.fill = FillKind::Texture, p.texturePixels = gib / 2; }}};
    for (const auto& [what, add] : more) {
        BuildPlan p = fits;
        add(p);
        EXPECT_THROW(checkBuild(p), Error) << what << " is not counted";
    }
    // Either side may be kMaxSheetSide pixels long, and not one more.
    for (const std::int64_t side : {kMaxSheetSide, kMaxSheetSide + 1}) {
        for (const auto& [w, h] : {std::pair{side, std::int64_t{16}}, {std::int64_t{16}, side}}) {
            const BuildPlan p{w, h, 16, 16, 1, FillKind::Colour, EffectKind::None};
            EXPECT_EQ(fakes::thrownBy([&] { checkBuild(p); }).has_value(), side > kMaxSheetSide) << w << " x " << h;
        }
    }
}
