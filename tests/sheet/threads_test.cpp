// Drawing on several threads, or a band of rows at a time, must give exactly the
// sheet of drawing it whole on one.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "sheet/builder.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

// Rows top .. top + band.height - 1 of `whole` are `band`.
bool sameRows(const Image& whole, std::int32_t top, const Image& band) {
    return whole.qimage().copy(0, top, whole.width(), band.height()) == band.qimage();
}

TEST(ThreadedDrawing, ThreadsAndBandsGiveTheOneThreadSheetByteForByte) {
    QTemporaryDir dir;
    const QString texture = dir.filePath("t.bmp");
    ASSERT_TRUE(fakes::patterned(7, 5).qimage().save(texture, "BMP"));
    // Lines of Han, kana, Latin with accents and a few characters that only a fallback
    // face draws, each line its own, long enough to be worth several threads.
    QString mixed;
    for (int l = 0; l < 90; ++l) mixed += QStringLiteral("漢字かなカナÀgjqy|ابجΩж👍").repeated(2 + l % 3) + QString::number(l) + u'\n';
    mixed.chop(1);
    // Glyphs spill far over cells smaller than themselves. Lines of `piece` alone instead
    // of the mixed text: glyphs that keep to their cells, worked out from one drawing in white.
    const struct { const char* what; std::int32_t cell; EffectKind effect; std::int32_t dx, dy; Colour fill;
                   bool textured = false; const char16_t* piece = nullptr; } cases[] = {
        {"roomy cells", 40, EffectKind::None, 0, 0, 0xC0FFEE},
        {"cells far smaller than the glyphs", 6, EffectKind::None, 0, 0, 0xC0FFEE},
        {"a shadow reaching across rows", 30, EffectKind::Shadow, -9, 23, 0xC0FFEE},
        {"an outline", 34, EffectKind::Outline, 0, 0, 0xC0FFEE},
        {"black glyphs in an outline", 34, EffectKind::Outline, 0, 0, kBlack},
        {"a texture in an outline", 31, EffectKind::Outline, 0, 0, kWhite, true},
        // Small kana sit low in their cells: their shadows cross into the next row, in
        // bands worked out from coverage.
        {"small kana with a shadow across rows", 34, EffectKind::Shadow, 3, 12, 0xC0FFEE, false, u"\u3041\u3043\u3063\u3083"},
    };
    for (const auto& c : cases) {
        SheetSettings s{.text = c.piece ? QString(QString::fromUtf16(c.piece).repeated(30) + u'\n').repeated(40).chopped(1)
                                        : mixed, .cellWidth = c.cell, .cellHeight = c.cell,
                        .font = fakes::faceDescription(QStringLiteral("IPAGothic"), 28),
                        .fill = c.textured ? FillKind::Texture : FillKind::Colour, .fillColour = c.fill,
                        .texturePath = c.textured ? texture : QString(), .effect = c.effect, .shadowDx = c.dx, .shadowDy = c.dy, .shadowColour = 0x3060C0,
                        .outlineRadius = 3, .outlineColour = 0x2080FF, .keepCoverage = true, .threads = 1};
        const Sheet one = buildSheet(s);
        ASSERT_TRUE(one.coverage);
        for (int threads : {2, 3, 4}) {
            s.threads = threads;
            const Sheet many = buildSheet(s);
            SCOPED_TRACE(testing::Message() << c.what << ", " << threads << " threads");
            EXPECT_TRUE(many.image == one.image && many.coverage->glyph == one.coverage->glyph &&
                        many.coverage->under == one.coverage->under);
        }
        // Bands of one row and of seven (the last one short), each drawn alone.
        const SheetBuild build(s);
        for (std::int32_t rows : {1, 7}) {
            for (std::int32_t first = 0; first < one.rows; first += rows) {
                const Sheet band = build.band(first, rows);
                SCOPED_TRACE(testing::Message() << c.what << ", band of " << rows << " rows from row " << first);
                ASSERT_TRUE(band.coverage);
                const std::int32_t top = first * c.cell;
                EXPECT_EQ(band.height, std::min(one.height - top, rows * c.cell));
                EXPECT_TRUE(sameRows(one.image, top, band.image) && sameRows(one.coverage->glyph, top, band.coverage->glyph) &&
                            (one.coverage->under.isEmpty() || sameRows(one.coverage->under, top, band.coverage->under)));
            }
        }
    }
}

}  // namespace
