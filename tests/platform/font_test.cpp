#include <QFontMetrics>
#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/font.h"

using namespace karuvo;

namespace {
FontDescription mono(int px) {
    FontDescription d;
    d.height = -px;
    d.weight = 400;
    d.faceName = "DejaVu Sans Mono";
    return d;
}
}  // namespace

TEST(Font, MakesTheDescribedFaceAtItsPixelHeight) {
    auto f = Font::create(mono(20));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->resolvedFamily(), "DejaVu Sans Mono");
    EXPECT_EQ(f->qfont().pixelSize(), 20);
    // A monospaced face: every ASCII letter has one advance; the line height is the
    // same for every character.
    const CharBox a = f->measure(U'A');
    EXPECT_GT(a.width, 8);
    EXPECT_EQ(f->measure(U'W').width, a.width);
    EXPECT_EQ(f->measure(U'i').height, a.height);
    EXPECT_GE(a.height, 20);
    EXPECT_FALSE(Font::create([] { FontDescription d; d.height = -100000; return d; }()));
}

TEST(Font, DefaultSheetFontIsTwelvePixelsOfAJapaneseFaceAndMeasuresSurrogatePairsWhole) {
    auto f = Font::createDefaultSheetFont();
    EXPECT_EQ(f->qfont().pixelSize(), 12);
    EXPECT_TRUE(QFontMetrics(f->qfont()).inFont(QChar(0x3042)));  // hiragana a
    const char32_t ext = U'\U00020B9F';  // a CJK Extension B ideograph
    const QString whole = codePointText(ext);
    ASSERT_EQ(whole.size(), 2);
    EXPECT_EQ(f->measure(ext).width, QFontMetrics(f->qfont()).horizontalAdvance(whole));
}

TEST(Font, LiveCountFollowsEveryFontObject) {
    const int before = Font::liveCount();
    {
        auto a = Font::create(mono(10));
        auto b = Font::createDefaultSheetFont();
        EXPECT_EQ(Font::liveCount(), before + 2);
    }
    EXPECT_EQ(Font::liveCount(), before);
}

TEST(DrawingContext, SelectingHandsBackThePreviousFontAndNullSelectsNothing) {
    auto own = Font::createDefaultSheetFont();
    auto chosen = Font::create(mono(16));
    DrawingContext dc(nullptr, own.get());
    EXPECT_EQ(dc.selectFont(nullptr), nullptr);
    EXPECT_EQ(dc.font(), own.get());
    EXPECT_EQ(dc.selectFont(chosen.get()), own.get());
    EXPECT_EQ(dc.measureChar(U'A').width, chosen->measure(U'A').width);
    EXPECT_EQ(dc.selectFont(own.get()), chosen.get());
}

TEST(DrawingContext, DrawsTransparentGrayscaleGlyphsInsideTheirBox) {
    auto f = Font::create(mono(24));
    Image img(60, 40);
    img.setPixel(59, 39, qRgb(9, 9, 9));
    DrawingContext dc(&img, f.get());
    dc.setBackgroundMode(BackgroundMode::Transparent);
    dc.setTextColour(0x0000FF);  // pure red
    dc.drawChar(10, 5, U'M');
    dc.flush();
    const CharBox box = f->measure(U'M');
    int lit = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            const QRgb p = img.pixel(x, y);
            if (x == 59 && y == 39) {
                EXPECT_EQ(p, qRgb(9, 9, 9));  // transparent background leaves it
                continue;
            }
            if (p == qRgb(0, 0, 0)) continue;
            ++lit;
            EXPECT_EQ(qGreen(p), 0);  // grayscale coverage: no colour fringes
            EXPECT_EQ(qBlue(p), 0);
            EXPECT_GE(x, 10 - 1);
            EXPECT_LT(x, 10 + box.width + 1);
            EXPECT_GE(y, 5);
            EXPECT_LT(y, 5 + box.height);
        }
    }
    EXPECT_GT(lit, 20);
}
