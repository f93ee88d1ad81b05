// Glyphs in their own colours: a colour emoji face's bitmaps (CBDT) and a face of COLR
// layers, against FreeType's own drawing at the places the font's metrics give.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <QSet>
#include <cmath>

#include "support/cli_process.h"

using namespace karuvo::fakes;

namespace {

// The pen point of a character in column `column` of a one-row sheet: its box (advance x
// line height) centred in a `cell` x `cell` cell, on the baseline.
QPoint pen(const QFontMetrics& m, const QString& c, int cell, int column) {
    return {column * cell + (cell - m.horizontalAdvance(c)) / 2, (cell - m.height()) / 2 + m.ascent()};
}

struct ColourGlyphs : InTempFolder {};

}  // namespace

TEST_F(ColourGlyphs, AnEmojiCellHoldsFreeTypesBitmapScaledToTheLineAndTheFillWithout) {
    const QString emoji = QStringLiteral("\U0001F600");
    const char* file = "/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf";
    // FreeType's bitmap, its strike's line scaled to the font's 48 pixels.
    FT_Library library;
    FT_Face face;
    ASSERT_FALSE(FT_Init_FreeType(&library) || FT_New_Face(library, file, 0, &face) || FT_Select_Size(face, 0) ||
                 FT_Load_Char(face, 0x1F600, FT_LOAD_COLOR));
    const FT_GlyphSlot g = face->glyph;
    ASSERT_EQ(g->bitmap.pixel_mode, FT_PIXEL_MODE_BGRA);
    const double scale = 48.0 / face->available_sizes[0].height;
    const QImage want = QImage(g->bitmap.buffer, int(g->bitmap.width), int(g->bitmap.rows), g->bitmap.pitch,
                               QImage::Format_ARGB32_Premultiplied)
                            .scaled(std::lround(g->bitmap.width * scale), std::lround(g->bitmap.rows * scale),
                                    Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32);
    const QPoint corner = pen(QFontMetrics(plainFace("Noto Color Emoji", 48)), emoji, 64, 0) +
                          QPoint(std::lround(g->bitmap_left * scale), -std::lround(g->bitmap_top * scale));
    FT_Done_FreeType(library);

    const QStringList run{"-t", emoji, "-f", file, "-s", "48", "-c", "64x64", "--fill", "FF8000"};
    succeeded(run + QStringList{"--colour-glyphs", "-o", path("c.png")});
    succeeded(run + QStringList{"-o", path("p.png")});
    const QImage colour = QImage(path("c.png")).convertToFormat(QImage::Format_ARGB32);
    const QImage plain = QImage(path("p.png")).convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> seen, drawn;
    for (int y = 0; y < want.height(); ++y) {
        for (int x = 0; x < want.width(); ++x) {
            if (qAlpha(plain.pixel(corner + QPoint(x, y)))) drawn.insert(plain.pixel(corner + QPoint(x, y)) | 0xFF000000);
            if (qAlpha(want.pixel(x, y)) < 255) continue;
            seen.insert(want.pixel(x, y));
            ASSERT_EQ(colour.pixel(corner + QPoint(x, y)), want.pixel(x, y)) << x << ", " << y;
        }
    }
    EXPECT_GE(seen.size(), 3);
    EXPECT_EQ(drawn, QSet<QRgb>{0xFFFF8000});  // without the option, the fill alone
}

// Red and blue layers in their palette's colours, a layer of the text's colour in the
// fill, and a plain glyph beside them in the fill, on either sheet.
TEST_F(ColourGlyphs, ColrLayersKeepTheirPaletteBesidePlainGlyphsInTheFill) {
    const QString font = testFont("colr.ttf");
    const QFontMetrics m(plainFace("Karuvo Test Colr", 40));
    const QPoint a = pen(m, "A", 40, 0), b = pen(m, "B", 40, 1);
    // Inside each layer and square, 1000 units to the em at 40 pixels.
    const std::pair<QPoint, QRgb> inside[] = {{a + QPoint(7, -10), 0xFFFF0000}, {a + QPoint(17, -10), 0xFF0000FF},
                                              {a + QPoint(12, -25), 0xFF20C040}, {b + QPoint(12, -14), 0xFF20C040}};
    for (const QString sheet : {"c.png", "c.bmp"}) {
        succeeded({"-t", "AB", "-f", font, "-s", "40", "-c", "40x40", "--fill", "20C040", "--colour-glyphs", "-o", path(sheet)});
        const QImage got = QImage(path(sheet)).convertToFormat(QImage::Format_ARGB32);
        for (const auto& [at, colour] : inside) EXPECT_EQ(got.pixel(at), colour) << sheet.toStdString() << " " << at.x();
    }
}
