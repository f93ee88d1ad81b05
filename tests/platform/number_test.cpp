#include <gtest/gtest.h>

#include "platform/checked.h"
#include "platform/colour.h"
#include "platform/number.h"
#include "support/fixtures.h"

using namespace karuvo;

TEST(NumericTest, AcceptsDecimalAndHexadecimalFormsOnly) {
    for (const char* t : {"0", "12", "-3", "+4", "12.7", "-0.5", ".5", "5.", "1e1", "1E+3", "2.5e-2",
                          "  7  ", "\t8", "&H1F", "&hff", "1e20",
                          // full-width, as typed with a Japanese input method on
                          "６４", "－３", "１２．５", "\u30007\u3000", "\u22123", "１ｅ２", "＆Ｈ１Ｆ"}) {
        EXPECT_TRUE(isNumeric(QString::fromUtf8(t))) << t;
    }
    for (const char* t : {"", "   ", "abc", "12abc", "1e", "1e+", ".", "-", "&H", "&HG", "1 2", "1,000",
                          "--1", "0x10", "1.2.3", "e5", "６４ｐｘ", "一", "\u3000"}) {
        EXPECT_FALSE(isNumeric(QString::fromUtf8(t))) << t;
    }
}

TEST(NumberValue, ReadsTheNumberAtTheStart) {
    for (auto [text, value] : std::initializer_list<std::pair<const char*, double>>{
             {"12.7", 12.7}, {"-0.5", -0.5}, {"1e1", 10}, {"  42abc", 42}, {"abc", 0}, {"", 0},
             {"1 2 3", 123}, {"- 3", -3}, {"\n\t5", 5}, {"1,000", 1}, {"3.5.1", 3.5}, {"1e", 1},
             {"2e+x", 2}, {"&H10", 16}, {"&HFFFFFFFF", -1}, {".25", 0.25}, {"+7", 7}, {"1e-999", 0},
             {"６４", 64}, {"－３", -3}, {"１２．５", 12.5}, {"\u3000８", 8}, {"\u22121.5", -1.5}, {"＆Ｈ１０", 16},
             {"６４ｐｘ", 64}, {"２.５", 2.5}}) {
        EXPECT_DOUBLE_EQ(numberValue(QString::fromUtf8(text)), value) << text;
    }
}

TEST(Rounding, HalvesGoToTheEvenNeighbourCellSizesRoundDownAndOutOfRangeIsRefused) {
    for (auto [v, even] : {std::pair{2.5, 2}, {3.5, 4}, {-1.5, -2}, {-2.5, -2}, {-3.0, -3}, {2147483647.4, 2147483647}})
        EXPECT_EQ(roundHalfEven(v, "x"), even) << v;
    EXPECT_EQ(std::pair(roundDown(12.7, "x"), roundDown(-0.5, "x")), std::pair(12, -1));
    // Out of range: refused with the value's name, not wrapped.
    for (double v : {1e20, -1e20, 2147483647.5, -2147483649.0, numberValue(u"1e999"), numberValue(u"&H123456789")}) {
        const auto e = fakes::thrownBy([&] { roundHalfEven(v, "shadow offset across"); });
        ASSERT_TRUE(e && e->kind() == ErrorKind::Overflow) << v;
        EXPECT_NE(std::string(e->what()).find("shadow offset across"), std::string::npos);
    }
    EXPECT_THROW(roundDown(3e9, "cell width"), Error);
}

TEST(CheckedArithmetic, StopsInsteadOfWrapping) {
    EXPECT_EQ(checkedMul(46340, 46340), 2147395600);
    EXPECT_THROW(checkedMul(46341, 46341, "sheet width"), Error);
    EXPECT_THROW(checkedAdd(INT32_MAX, 1), Error);
    EXPECT_THROW(checkedSub(INT32_MIN, 1), Error);
    EXPECT_EQ(std::tuple(checkedSub(-5, 3), divTrunc(-3, 2), divTrunc(-7, 2)), std::tuple(-8, -1, -3));
    EXPECT_THROW(checkedNarrow(std::int64_t{1} << 31), Error);
}

TEST(ColourReadout, WritesUpperCaseHexWithoutLeadingZerosAndReadsItBack) {
    for (auto [c, text] : {std::pair{0xFFFFFFu, "FFFFFF"}, {0xFFu, "FF"}, {0xFF00u, "FF00"}, {0u, "0"}, {0x0A0B0Cu, "A0B0C"}})
        EXPECT_EQ(colourReadout(c), text);
    for (auto [text, c] : {std::pair{u"FF0000", 0xFF0000}, {u"ffff", 0xFFFF}, {u"", 0}, {u"xyz", 0}, {u"12G4", 0x12}})
        EXPECT_EQ(readColourCaption(text), c);
    EXPECT_THROW(readColourCaption(u"123456789"), Error);
}
