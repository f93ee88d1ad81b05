#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "export/sheet_file.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

constexpr Colour kOrange = colourFromRgb(200, 120, 40), kBlue = colourFromRgb(0, 0, 255);

SheetSettings sheetOf(FillKind fill, Colour glyph, EffectKind effect, Colour edge, const QString& texture = {}) {
    return {.text = QStringLiteral("AVg\nWö&j"), .cellWidth = 30, .cellHeight = 34,
            .font = fakes::faceDescription(QStringLiteral("DejaVu Sans"), 24), .fill = fill, .fillColour = glyph,
            .texturePath = texture, .effect = effect, .shadowDx = 3, .shadowDy = -2, .shadowColour = edge,
            .outlineRadius = 2, .outlineColour = edge};
}

// The PNG of the whole sheet, read back by Qt's reader with straight alpha.
QImage pngOf(const Sheet& sheet) {
    const QByteArray bytes = encodePng(sheet, 0, 0, sheet.width, sheet.height);
    QImage image;
    EXPECT_TRUE(image.loadFromData(bytes, "PNG"));
    EXPECT_TRUE(image.hasAlphaChannel());
    return image.convertToFormat(QImage::Format_ARGB32);
}

// One channel of straight colour `c` at alpha `a` over background channel `b`.
int over(int c, int a, int b) { return (c * a + b * (255 - a) + 127) / 255; }

struct Case {
    const char* name;
    SheetSettings settings;
    bool matchesOverBlack;  // an image fill's bitmap ANDs grey edges with the texture, so only colour fills
};

std::vector<Case> cases(const QString& texture) {
    return {
        {"colour fill", sheetOf(FillKind::Colour, kOrange, EffectKind::None, kWhite), true},
        {"outline", sheetOf(FillKind::Colour, kOrange, EffectKind::Outline, kBlue), true},
        {"black outline", sheetOf(FillKind::Colour, kWhite, EffectKind::Outline, kBlack), true},
        {"black glyphs in a white ring", sheetOf(FillKind::Colour, kBlack, EffectKind::Outline, kWhite), true},
        {"shadow", sheetOf(FillKind::Colour, kOrange, EffectKind::Shadow, kBlue), false},
        {"texture and shadow", sheetOf(FillKind::Texture, kWhite, EffectKind::Shadow, kBlue, texture), false},
        {"texture and outline", sheetOf(FillKind::Texture, kWhite, EffectKind::Outline, kOrange, texture), false},
    };
}

struct SheetFile : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(fakes::patterned(7, 5).qimage().save(texture, "BMP"));
    }
    QTemporaryDir dir;
    QString texture = dir.filePath("tex.bmp");
};

}  // namespace

TEST(SheetFileFormat, TheNameEndingChoosesIt) {
    EXPECT_EQ(sheetFileFormat("a/b.PNG"), SheetFileFormat::Png);
    EXPECT_EQ(sheetFileFormat("b.Bmp"), SheetFileFormat::Bmp);
    for (const char* name : {"sheet.tga", "sheet", "png", "sheet.png.txt"}) EXPECT_FALSE(sheetFileFormat(name)) << name;
}

// Keeping coverage for transparency leaves every byte of the bitmap as it was.
TEST_F(SheetFile, KeepingCoverageChangesNoPixelOfTheBitmap) {
    for (Case& c : cases(texture)) {
        const Sheet plain = buildSheet(c.settings);
        c.settings.keepCoverage = true;
        const Sheet kept = buildSheet(c.settings);
        EXPECT_TRUE(kept.image == plain.image) << c.name;
        EXPECT_FALSE(plain.coverage.has_value());
        EXPECT_TRUE(kept.coverage.has_value());
    }
}

// Over black the PNG is the bitmap; over white or any colour no pixel comes out
// darker than both the background and every colour drawn there (no fringe, no box),
// and where nothing is drawn the background shows untouched.
TEST_F(SheetFile, PngOverBlackIsTheBitmapAndOverAnyColourHasNoFringe) {
    const Image tex = fakes::patterned(7, 5);
    for (Case& c : cases(texture)) {
        c.settings.keepCoverage = true;
        const Sheet sheet = buildSheet(c.settings);
        const QImage png = pngOf(sheet);
        ASSERT_EQ(png.size(), QSize(sheet.width, sheet.height)) << c.name;
        const SheetSettings& s = c.settings;
        int partial = 0, worst = 0;
        for (std::int32_t y = 0; y < sheet.height; ++y) {
            for (std::int32_t x = 0; x < sheet.width; ++x) {
                const QRgb p = png.pixel(x, y);
                const int a = qAlpha(p);
                partial += a > 0 && a < 255;
                const QRgb bmp = sheet.image.pixel(x, y);
                if (c.matchesOverBlack) {
                    const int channels[3][2] = {{qRed(p), qRed(bmp)}, {qGreen(p), qGreen(bmp)}, {qBlue(p), qBlue(bmp)}};
                    for (const auto& [png, bitmap] : channels) worst = std::max(worst, std::abs(over(png, a, 0) - bitmap));
                }
                // The colours that may be drawn here, from the settings alone.
                const Colour glyph = s.fill == FillKind::Texture ? fromQRgb(tex.pixel(x % 30 % 7, y % 34 % 5)) : s.fillColour;
                const Colour edge = s.effect == EffectKind::Shadow ? s.shadowColour : s.outlineColour;
                const Colour drawn[] = {glyph, s.effect == EffectKind::None ? glyph : edge};
                for (const QRgb background : {qRgb(255, 255, 255), qRgb(30, 200, 90)}) {
                    const int bg[3] = {qRed(background), qGreen(background), qBlue(background)};
                    const int got[3] = {over(qRed(p), a, bg[0]), over(qGreen(p), a, bg[1]), over(qBlue(p), a, bg[2])};
                    for (int ch = 0; ch < 3; ++ch) {
                        const auto part = [&](Colour col) { return std::array{redOf(col), greenOf(col), blueOf(col)}[ch]; };
                        const int floor = std::min({bg[ch], part(drawn[0]), part(drawn[1])});
                        ASSERT_GE(got[ch], floor - 1) << c.name << " at " << x << ", " << y;
                    }
                }
            }
        }
        EXPECT_LE(worst, 2) << c.name;
        // Anti-aliased edges keep partial alpha unless the outline made the glyphs solid.
        EXPECT_EQ(partial > 50, s.effect != EffectKind::Outline) << c.name << ": " << partial;
    }
}

// A sheet of several compressed pieces, with a shadow (full colour) and in one colour
// (a palette), read back by Qt's reader: the whole, and a region of it, exactly the
// transparent picture, so that the pieces join into one valid stream. Its files made
// band by band while they are written (the whole sheet, a run of rows in its middle and
// a run past its end) are the whole sheet's: the bitmap byte for byte, the PNG as read
// back. Regions outside the sheet, and a sheet without coverage, are refused.
TEST_F(SheetFile, PngsAndFilesDrawnBandByBandReadBackAsTheWholeSheet) {
    SheetSettings s = sheetOf(FillKind::Colour, kOrange, EffectKind::Shadow, kBlue);
    // Every row different, so that rows out of place show.
    const QString line = QStringLiteral("AVg\u00f6&jW").repeated(12);
    QStringList lines;
    for (int i = 0; i < 51; ++i) lines << line.sliced(i % 7) + line.first(i % 7) + QString::number(i);
    s.text = lines.join(u'\n');
    s.keepCoverage = true;
    const auto produced = [](const FileContents& file) {
        QByteArray out;
        EXPECT_TRUE(file.produce([&](const char* data, qsizetype size) {
            out.append(data, size);
            return true;
        }));
        return out;
    };
    for (const EffectKind effect : {EffectKind::Shadow, EffectKind::None}) {
        s.effect = effect;
        const Sheet whole = buildSheet(s);
        const SheetBuild build(s);
        ASSERT_GT(whole.rows, 2 * build.rowsPerBand(kBandPixels));
        const QImage picture = transparentImage(whole, 0, 0, whole.width, whole.height);
        EXPECT_EQ(pngOf(whole), picture);
        // Colour type: RGBA with the shadow's second colour, a palette for one colour.
        EXPECT_EQ(encodePng(whole, 0, 0, 9, 9).at(25), effect == EffectKind::None ? 3 : 6);
        QImage region;
        ASSERT_TRUE(region.loadFromData(encodePng(whole, 7, 35, whole.width - 20, whole.height - 40), "PNG"));
        EXPECT_EQ(region.convertToFormat(QImage::Format_ARGB32), picture.copy(7, 35, whole.width - 20, whole.height - 40));
        for (auto [x, y, w, h] : {std::array{0, 0, 0, 5}, {-1, 0, 5, 5}, {whole.width - 4, 0, 5, 5}})
            EXPECT_TRUE(fakes::thrownBy([&] { transparentImage(whole, x, y, w, h); })) << x << " " << w;
        // The last run asks for more rows than there are.
        for (const auto [first, count] : {std::array{0, whole.rows}, std::array{5, 27}, std::array{40, 1 << 30}}) {
            SCOPED_TRACE(testing::Message() << "rows " << first << " + " << count);
            const std::int32_t y = first * whole.cellHeight;
            const std::int32_t h = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{count} * whole.cellHeight, whole.height - y));
            EXPECT_EQ(produced(sheetFileContents(build, SheetFileFormat::Bmp, "s.bmp", first, count)),
                      encodeSheet(whole, SheetFileFormat::Bmp, 0, y, whole.width, h));
            QImage png;
            ASSERT_TRUE(png.loadFromData(produced(sheetFileContents(build, SheetFileFormat::Png, "s.png", first, count))));
            EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32), picture.copy(0, y, whole.width, h));
        }
    }
    s.text = QStringLiteral("AVg");
    s.keepCoverage = false;
    EXPECT_TRUE(fakes::thrownBy([&] { encodePng(buildSheet(s), 0, 0, 10, 10); }));
}
