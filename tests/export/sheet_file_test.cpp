#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "export/outputs.h"
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
    QImage image;
    EXPECT_TRUE(image.loadFromData(encodePng(sheet, 0, 0, sheet.width, sheet.height), "PNG"));
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The glyph (colour g, coverage a) over what lies under it (colour u, coverage b), both
// coverages out of 255, rounded to the nearest: straight colour and alpha.
QRgb over(Colour g, int a, Colour u, int b) {
    const double covered = a * 255.0 + b * (255.0 - a);
    if (covered == 0) return 0;
    const auto channel = [&](int gc, int uc) { return int(std::lround((gc * a * 255.0 + uc * b * (255.0 - a)) / covered)); };
    return qRgba(channel(redOf(g), redOf(u)), channel(greenOf(g), greenOf(u)), channel(blueOf(g), blueOf(u)),
                 int(std::lround(covered / 255)));
}

// Checks the sheet's PNG pixel by pixel against its coverage layers (the glyph in the
// fill colour, or white without its texture, or the texture's pixel at that place in its
// cell, over the shadow or ring) and, for colour fills without a shadow, against the
// bitmap over black.
void checkPng(const Sheet& sheet, const SheetSettings& s, const Image& texture) {
    ASSERT_TRUE(sheet.coverage);
    const QImage png = pngOf(sheet);
    ASSERT_EQ(png.size(), QSize(sheet.width, sheet.height));
    const SheetCoverage& c = *sheet.coverage;
    const Colour under = s.effect == EffectKind::Shadow ? s.shadowColour : s.outlineColour;
    std::int64_t wrong = 0, partial = 0, farFromBitmap = 0;
    for (std::int32_t y = 0; y < sheet.height; ++y) {
        for (std::int32_t x = 0; x < sheet.width; ++x) {
            const int a = qRed(c.glyph.pixel(x, y)), b = c.under.isEmpty() ? 0 : qRed(c.under.pixel(x, y));
            const Colour g = s.fill == FillKind::Colour ? s.fillColour
                             : s.texturePath.isEmpty()
                                 ? kWhite
                                 : fromQRgb(texture.pixel(x % s.cellWidth % texture.width(), y % s.cellHeight % texture.height()));
            const QRgb want = over(g, a, under, b), got = png.pixel(x, y);
            wrong += qAlpha(want) == 0 ? qAlpha(got) != 0 : got != want;
            partial += qAlpha(got) > 0 && qAlpha(got) < 255;
            if (s.fill == FillKind::Colour && s.effect != EffectKind::Shadow) {
                const QRgb bmp = sheet.image.pixel(x, y);
                const int al = qAlpha(got);
                for (const auto& [p, q] : {std::pair{qRed(got), qRed(bmp)}, {qGreen(got), qGreen(bmp)}, {qBlue(got), qBlue(bmp)}})
                    farFromBitmap += std::abs((p * al + 127) / 255 - q) > 2;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(farFromBitmap, 0);
    // Anti-aliased edges keep partial alpha unless the outline made the glyphs solid.
    EXPECT_EQ(partial > 50, s.effect != EffectKind::Outline) << partial;
}

struct SheetFile : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(texture.qimage().save(texturePath, "BMP")); }
    QTemporaryDir dir;
    const Image texture = fakes::patterned(7, 5);
    QString texturePath = dir.filePath("tex.bmp");
};

}  // namespace

// Glyphs drawn layer by layer (Latin): the PNG composes the layers, and keeping them
// changes no pixel of the bitmap.
TEST_F(SheetFile, ThePngIsTheGlyphOverWhatLiesUnderItRounded) {
    const struct { const char* name; SheetSettings settings; } cases[] = {
        {"colour fill", sheetOf(FillKind::Colour, kOrange, EffectKind::None, kWhite)},
        {"texture alone", sheetOf(FillKind::Texture, kWhite, EffectKind::None, kWhite, texturePath)},
        {"outline", sheetOf(FillKind::Colour, kOrange, EffectKind::Outline, kBlue)},
        {"black glyphs in a white ring", sheetOf(FillKind::Colour, kBlack, EffectKind::Outline, kWhite)},
        {"black outline", sheetOf(FillKind::Colour, kWhite, EffectKind::Outline, kBlack)},
        {"shadow", sheetOf(FillKind::Colour, kOrange, EffectKind::Shadow, kBlue)},
        {"texture and shadow", sheetOf(FillKind::Texture, kWhite, EffectKind::Shadow, kBlue, texturePath)},
        {"texture and outline", sheetOf(FillKind::Texture, kWhite, EffectKind::Outline, kOrange, texturePath)},
    };
    for (auto [name, s] : cases) {
        SCOPED_TRACE(name);
        const Sheet plain = buildSheet(s);
        EXPECT_FALSE(plain.coverage);
        s.keepCoverage = true;
        const Sheet kept = buildSheet(s);
        EXPECT_TRUE(kept.image == plain.image);
        checkPng(kept, s, texture);
        // A region reaching past the sheet on any side is refused, not read out of bounds.
        for (const auto& [x, y] : {std::pair{-1, 0}, {0, -1}, {1, 0}, {0, 1}}) EXPECT_THROW(encodePng(kept, x, y, kept.width, kept.height), Error);
    }
}

// Sheets whose glyphs keep their ink to their own cells are every layer drawn by a plain
// painter, each character's box centred in its cell from the font's own metrics and the
// shadow's offset split between the main box and the shadow's: the shadows, the main
// boxes cut out of them in black, the glyphs (under the texture) ORed on top; the
// coverage layers the glyphs and shadows in white. Their PNG composes those layers.
TEST_F(SheetFile, SheetsWhoseInkKeepsToItsCellsGiveEveryLayerAsAPainterDrawsIt) {
    enum Fill { Plain, Textured, TextureMissing };
    const struct { const char16_t* text; const char* face; int px, cell, dx, dy; Colour glyph, shadow; Fill fill; } cases[] = {
        {u"漢字かなカナ\n日本語の文字\nひらがな", "IPAGothic", 28, 40, 2, 2, colourFromRgb(230, 120, 20), colourFromRgb(20, 60, 200), Plain},
        {u"漢字かなカナ\n日本語の文字\nひらがな", "IPAGothic", 28, 40, -5, 7, kBlack, colourFromRgb(0, 255, 0), Plain},
        // Shadows over the neighbours and off the sheet.
        {u"漢字かなカナ\n日本語の文字\nひらがな", "IPAGothic", 28, 40, 9, -11, colourFromRgb(40, 40, 40), kWhite, Plain},
        {u"漢字かなカナ\n日本語の文字\nひらがな", "IPAGothic", 28, 40, 3, -4, kWhite, colourFromRgb(200, 0, 100), Textured},
        {u"漢字かなカナ\n日本語の文字\nひらがな", "IPAGothic", 28, 40, 0, 0, kWhite, kBlack, Textured},  // the texture alone
        // A carriage return takes no cell; -3 / 2 is -1, so the main box moves right by one.
        {u"a&\r\nxyW", "DejaVu Sans Mono", 14, 16, -3, 0, colourFromRgb(255, 0, 0), kBlue, Plain},
        // An image fill without its texture keeps white glyphs and lays no shadow in; the
        // offset still moves them.
        {u"Ab\nC", "DejaVu Sans Mono", 14, 16, 2, 2, kWhite, kBlue, TextureMissing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.face << " " << c.dx << ", " << c.dy << " fill " << c.fill);
        const QStringList lines = QString::fromUtf16(c.text).remove(u'\r').split(u'\n');
        const bool shadow = (c.dx != 0 || c.dy != 0) && c.fill != TextureMissing;
        const SheetSettings s{.text = QString::fromUtf16(c.text), .cellWidth = c.cell, .cellHeight = c.cell,
                              .font = fakes::faceDescription(c.face, c.px), .fill = c.fill == Plain ? FillKind::Colour : FillKind::Texture,
                              .fillColour = c.glyph, .texturePath = c.fill == Textured ? texturePath : QString(),
                              .effect = EffectKind::Shadow, .shadowDx = c.dx, .shadowDy = c.dy, .shadowColour = c.shadow,
                              .keepCoverage = true};
        const Sheet sheet = buildSheet(s);
        ASSERT_TRUE(sheet.coverage);
        const std::int32_t w = sheet.columns * c.cell, h = int(lines.size()) * c.cell;
        ASSERT_EQ(std::tie(sheet.width, sheet.height), std::tie(w, h));

        const QFont font = fakes::plainFace(c.face, c.px);
        const QFontMetrics metrics(font);
        Image shadows(w, h), glyphs(w, h), glyphCover(w, h), shadowCover(w, h);
        const auto paint = [&](Image& on, Colour colour, bool moved) {
            QPainter p(&on.qimage());
            p.setFont(font);
            p.setPen(QColor(toQRgb(colour)));
            for (int row = 0; row < lines.size(); ++row) {
                for (int col = 0; col < lines[row].size(); ++col) {
                    const QString ch = lines[row].mid(col, 1);
                    const int x = col * c.cell + (c.cell - metrics.horizontalAdvance(ch)) / 2 - c.dx / 2 + (moved ? c.dx : 0);
                    const int y = row * c.cell + (c.cell - metrics.height()) / 2 - c.dy / 2 + (moved ? c.dy : 0);
                    p.drawText(QPoint(x, y + metrics.ascent()), ch);
                }
            }
        };
        if (shadow) {
            paint(shadows, c.shadow, true);
            paint(shadows, kBlack, false);
            paint(shadowCover, kWhite, true);
        }
        paint(glyphs, c.fill == Plain ? c.glyph : kWhite, false);
        paint(glyphCover, kWhite, false);
        for (std::int32_t y = 0; y < h && c.fill == Textured; ++y)
            for (std::int32_t x = 0; x < w; ++x)
                glyphs.setPixel(x, y, glyphs.pixel(x, y) & texture.pixel(x % c.cell % 7, y % c.cell % 5));
        bitBlt(glyphs, 0, 0, w, h, &shadows, 0, 0, RasterOp::SrcPaint);
        EXPECT_TRUE(sheet.image == glyphs);
        EXPECT_TRUE(sheet.coverage->glyph == glyphCover);
        EXPECT_TRUE(shadow ? sheet.coverage->under == shadowCover : sheet.coverage->under.isEmpty());
        checkPng(sheet, s, texture);
    }
}

// A sheet of several compressed pieces, with a shadow (full colour) and in one colour
// (a palette), read back by Qt's reader: exactly the transparent picture, so that the
// pieces join into one valid stream. Its files made band by band while they are written
// (the whole sheet, a run of rows in its middle and a run past its end) are the whole
// sheet's: the bitmap byte for byte, the PNG as read back.
TEST_F(SheetFile, PngsAndFilesDrawnBandByBandReadBackAsTheWholeSheet) {
    SheetSettings s = sheetOf(FillKind::Colour, kOrange, EffectKind::Shadow, kBlue);
    // Every row different, so that rows out of place show.
    const QString line = QStringLiteral("AVg\u00f6&jW").repeated(12);
    QStringList lines;
    for (int i = 0; i < 51; ++i) lines << line.sliced(i % 7) + line.first(i % 7) + QString::number(i);
    s.text = lines.join(u'\n');
    s.keepCoverage = true;
    const auto produced = [](const FileContents& file, QByteArray out = {}) {  // nothing when the producer fails
        return file.produce([&](const char* data, qsizetype size) { return out.append(data, size), true; }) ? out : QByteArray();
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
        // The last run asks for more rows than there are.
        for (const auto [first, count] : {std::array{0, whole.rows}, std::array{5, 27}, std::array{40, 1 << 30}}) {
            SCOPED_TRACE(testing::Message() << "rows " << first << " + " << count);
            const std::int32_t y = first * whole.cellHeight;
            const std::int32_t h = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{count} * whole.cellHeight, whole.height - y));
            const QByteArray bmp = produced(sheetFileContents(build, SheetFileFormat::Bmp, "s.bmp", first, count));
            EXPECT_EQ(bmp, encodeSheet(whole, SheetFileFormat::Bmp, 0, y, whole.width, h));
            ASSERT_GE(bmp.size(), 54);
            // Its own length, and 96 dpi (3780 pixels a metre) across and down.
            const auto at = [&](int offset) { return qFromLittleEndian<quint32>(bmp.constData() + offset); };
            EXPECT_EQ(std::tuple(at(2), at(38), at(42)), std::tuple(quint32(bmp.size()), 3780u, 3780u));
            QImage png;
            ASSERT_TRUE(png.loadFromData(produced(sheetFileContents(build, SheetFileFormat::Png, "s.png", first, count))));
            EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32), picture.copy(0, y, whole.width, h));
        }
    }
}

// Pages of an earlier run are looked for among the files of the output's folder: an old
// descriptor naming 200,000 pages costs what the folder holds, not what it claims.
using EarlierPages = fakes::InTempFolder;
TEST_F(EarlierPages, AreLookedForInTheFolderWhateverAnOldDescriptorNames) {
    QByteArray fnt = "info face=\"A\" size=12\ncommon lineHeight=8 base=6 scaleW=8 scaleH=8 pages=200000 packed=0\n";
    for (int k = 0; k < 200000; ++k) fnt += "page id=" + QByteArray::number(k) + " file=\"x_" + QByteArray::number(k) + ".png\"\n";
    ASSERT_TRUE(fakes::writeFile(path("x.fnt"), fnt));
    // Pages of the earlier run, a gap before x_6, and names that only look like pages.
    for (const char* name : {"x_0.png", "x_1.png", "x_2.png", "x_3.png", "x_4.png", "x_6.png", "x_05.png", "y_3.png"})
        ASSERT_TRUE(fakes::writeFile(path(name), "old"));
    const std::unique_ptr<Font> font = Font::createDefaultSheetFont();
    OutputRequest r;
    r.font = font.get();
    r.settings.text = QStringLiteral("A\nB\nC");  // cells as high as a 12-pixel face's lines: one to a page
    r.plan.outputPath = path("x.png");
    r.plan.maxPageSide = 16;
    r.plan.fntPath = path("x.fnt");
    EXPECT_EQ(writeOutputs(r).pagesLookedUp, 3);  // x_3, x_4 and x_6, the earlier pages there
}
