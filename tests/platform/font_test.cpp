#include <QFontMetrics>
#include <gtest/gtest.h>

#include "platform/font.h"
#include "support/fixtures.h"

using namespace karuvo;

TEST(Font, MeasuresSurrogatePairsWholeAndRefusesImpossibleSizes) {
    auto f = Font::createDefaultSheetFont();
    const char32_t ext = U'\U00020B9F';  // a CJK Extension B ideograph
    ASSERT_EQ(codePointText(ext).size(), 2);
    EXPECT_EQ(f->measure(ext).width, QFontMetrics(f->qfont()).horizontalAdvance(codePointText(ext)));
    EXPECT_FALSE(Font::create([] { FontDescription d; d.height = -100000; return d; }()));
}
