// Drawing on several threads must give exactly the sheet of drawing on one.
#include <gtest/gtest.h>

#include "sheet/builder.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

// Lines of Han, kana, Latin with accents and a few characters that only a fallback
// face draws, long enough to be worth several threads.
QString mixedText(int lines) {
    const QString pieces[] = {QStringLiteral("漢字かなカナ"), QStringLiteral("Àgjqy|"), QStringLiteral("ابج"),
                              QStringLiteral("Ωж"), QStringLiteral("👍")};
    QString text;
    for (int l = 0; l < lines; ++l) {
        if (l > 0) text += u'\n';
        for (int i = 0; i < 12; ++i) text += pieces[(l + i) % 5];
    }
    return text;
}

TEST(ThreadedDrawing, GivesTheOneThreadSheetByteForByte) {
    struct Case {
        const char* what;
        std::int32_t cell;  // glyphs spill far over cells smaller than themselves
        EffectKind effect;
        std::int32_t dx, dy;
        Colour fill;
    };
    const Case cases[] = {
        {"roomy cells", 40, EffectKind::None, 0, 0, 0xC0FFEE},
        {"cells far smaller than the glyphs", 6, EffectKind::None, 0, 0, 0xC0FFEE},
        {"a shadow reaching across rows", 30, EffectKind::Shadow, -9, 23, 0xC0FFEE},
        {"an outline", 34, EffectKind::Outline, 0, 0, 0xC0FFEE},
        {"black glyphs in an outline", 34, EffectKind::Outline, 0, 0, kBlack},
    };
    for (const Case& c : cases) {
        SheetSettings s{.text = mixedText(90), .cellWidth = c.cell, .cellHeight = c.cell,
                        .font = fakes::faceDescription(QStringLiteral("IPAGothic"), 28), .fillColour = c.fill,
                        .texturePath = {}, .effect = c.effect, .shadowDx = c.dx, .shadowDy = c.dy, .shadowColour = 0x3060C0,
                        .outlineRadius = 3, .outlineColour = 0x2080FF, .keepCoverage = true, .threads = 1};
        const Sheet one = buildSheet(s);
        ASSERT_TRUE(one.coverage);
        for (int threads : {2, 3, 4}) {
            s.threads = threads;
            const Sheet many = buildSheet(s);
            SCOPED_TRACE(testing::Message() << c.what << ", " << threads << " threads");
            EXPECT_TRUE(many.image == one.image);
            EXPECT_TRUE(many.coverage->glyph == one.coverage->glyph);
            EXPECT_TRUE(many.coverage->under == one.coverage->under);
        }
    }
}

}  // namespace
