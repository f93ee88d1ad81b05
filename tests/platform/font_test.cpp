#include <QFontMetrics>
#include <gtest/gtest.h>

#include "platform/context.h"
#include "support/fixtures.h"

using namespace karuvo;

TEST(Font, MeasuresSurrogatePairsWholeAndRefusesImpossibleSizes) {
    auto f = Font::createDefaultSheetFont();
    const char32_t ext = U'\U00020B9F';  // a CJK Extension B ideograph
    ASSERT_EQ(codePointText(ext).size(), 2);
    EXPECT_EQ(f->measure(ext).width, QFontMetrics(f->qfont()).horizontalAdvance(codePointText(ext)));
    EXPECT_FALSE(Font::create([] { FontDescription d; d.height = -100000; return d; }()));
}

TEST(DrawingContext, DrawsTransparentGrayscaleGlyphsInsideTheirBox) {
    auto f = Font::create(fakes::monoDescription(24));
    Image img(60, 40);
    img.setPixel(59, 39, qRgb(9, 9, 9));
    DrawingContext dc(&img, f.get());
    dc.setBackgroundMode(BackgroundMode::Transparent);
    dc.setTextColour(0x0000FF);  // pure red
    dc.drawChar(10, 5, U'M');
    dc.flush();
    const CharBox box = f->measure(U'M');
    EXPECT_EQ(img.pixel(59, 39), qRgb(9, 9, 9));  // the transparent background leaves it
    img.setPixel(59, 39, qRgb(0, 0, 0));
    int lit = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (const QRgb p = img.pixel(x, y); p != qRgb(0, 0, 0)) {
                ++lit;  // grayscale coverage, no colour fringes, inside the box
                EXPECT_EQ(qGreen(p) + qBlue(p), 0) << x << "," << y;
                EXPECT_TRUE(x >= 9 && x <= 10 + box.width && y >= 5 && y < 5 + box.height) << x << "," << y;
            }
    EXPECT_GT(lit, 20);
}
