#include <QFontMetrics>
#include <gtest/gtest.h>

#include "support/fixtures.h"

using namespace karuvo;

// Han and kana are measured without laying the text out; the width must still be the
// one the laid-out character has, in the face itself and in a fallback face.
TEST(CharacterBox, HanAndKanaWidthsEqualTheLaidOutText) {
    std::vector<std::unique_ptr<Font>> fonts;
    fonts.push_back(Font::createDefaultSheetFont());
    for (const auto& [face, px] : {std::pair{"IPAGothic", 24}, {"IPAPGothic", 17}, {"DejaVu Sans Mono", 14}})
        fonts.push_back(Font::create(fakes::faceDescription(face, px)));
    const std::pair<char32_t, char32_t> ranges[] = {
        {0x3040, 0x30FF}, {0x31F0, 0x31FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xF900, 0xFAFF}, {0xFF61, 0xFF9F}};
    for (const auto& font : fonts)
        for (const auto& [first, last] : ranges)
            for (char32_t c = first; c <= last; ++c)
                ASSERT_EQ(font->measure(c).width, font->metrics().horizontalAdvance(codePointText(c)))
                    << font->resolvedFamily().toStdString() << " U+" << std::hex << std::uint32_t(c);
}
