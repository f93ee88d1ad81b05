#include <gtest/gtest.h>

#include "cli/report.h"

using namespace karuvo;
using namespace karuvo::cli;

namespace {
std::unique_ptr<Font> dejaVu() {
    FontDescription d;
    d.height = -16;
    d.faceName = "DejaVu Sans";
    return Font::create(d);
}
}  // namespace

TEST(DrawingFamily, IsTheOwnFaceOrTheFallbackThatDrawsTheCharacter) {
    const auto font = dejaVu();
    ASSERT_EQ(font->resolvedFamily(), "DejaVu Sans");
    EXPECT_EQ(font->drawingFamily(U'A'), "DejaVu Sans");
    EXPECT_EQ(font->drawingFamily(U'\u4E00'), "IPAGothic");  // the only installed CJK face
    EXPECT_EQ(font->drawingFamily(U'\uE000'), "");            // private use: nobody has it
    EXPECT_EQ(Font::createDefaultSheetFont()->drawingFamily(U'\u3042'), "IPAGothic");
}

TEST(MissingCharacters, ListsEachLackedCharacterOnceInTextOrder) {
    const auto font = dejaVu();
    const QString text = QStringLiteral("A\u4E00B\t\u4E00\r\n\uE000\u3042\u200D");
    const std::vector<FallbackChar> missing = missingCharacters(text, *font);
    ASSERT_EQ(missing.size(), 3u);
    EXPECT_EQ(missing[0].codePoint, U'\u4E00');
    EXPECT_EQ(missing[0].face, "IPAGothic");
    EXPECT_EQ(missing[1].codePoint, U'\uE000');
    EXPECT_EQ(missing[1].face, "");
    EXPECT_EQ(missing[2].codePoint, U'\u3042');
    EXPECT_TRUE(missingCharacters(QStringLiteral("\u4E00\u3042A"), *Font::createDefaultSheetFont()).empty());
}

TEST(Report, NamesSizesAndEveryMissingCharacter) {
    const QString report =
        reportText(SheetGeometry{48, 40, 3, 2, 16, 20}, 5, "DejaVu Sans", 16,
                   {FallbackChar{U'\u4E00', "IPAGothic"}, FallbackChar{U'\U0001F600', ""}});
    EXPECT_EQ(reportText(SheetGeometry{7, 14, 1, 1, 7, 14}, 1, "F", 12, {}).toStdString(),
              "karuvo-cli: sheet 7 x 14 pixels, cells of 7 x 14 in 1 column and 1 row (1 cell), 1 character, "
              "font \"F\" 12 px\n");
    EXPECT_EQ(report.toStdString(),
              "karuvo-cli: sheet 48 x 40 pixels, cells of 16 x 20 in 3 columns and 2 rows (6 cells), "
              "5 characters, font \"DejaVu Sans\" 16 px\n"
              "karuvo-cli: U+4E00 \u4E00 is not in \"DejaVu Sans\"; drawn with \"IPAGothic\"\n"
              "karuvo-cli: U+1F600 \U0001F600 is not in \"DejaVu Sans\"; no installed face has it\n");
}
