#include <gtest/gtest.h>

#include "sheet/char_source.h"
#include "support/fixtures.h"

using namespace karuvo;

// A list gives its characters, code points and ranges without controls, or is refused
// with its bad item named.
TEST(CharSource, AListGivesCharactersCodePointsAndRangesOrNamesItsBadItem) {
    const struct { const char16_t* list; std::u32string chars; const char* refusal = nullptr; } cases[] = {
        {u"B,A,B", U"AB"},
        {u"U+41-U+43,a,u+0062", U"ABCab"},
        {u"U+002C,-,+", U"+,-"},                       // a comma by its code point
        {u"U+0000-U+0021", U" !"},                     // controls are not cells
        {u"U+D7FF-U+E000", U"\uD7FF\uE000"},           // nor surrogate halves
        {u"\U0001F600,U+10FFFF", U"\U0001F600\U0010FFFF"},
        {u"A,,B", {}, "the item \"\" is empty; separate the items by single commas and write a comma as U+002C"},
        {u"AB", {}, "the item \"AB\" is neither one character, U+XXXX nor U+XXXX-U+YYYY"},
        {u"A, B", {}, "the item \" B\" is neither one character"},
        {u"U+110000", {}, "the item \"U+110000\" is past U+10FFFF"},
        {u"U+0043-U+0041", {}, "the item \"U+0043-U+0041\" runs backwards"},
        {u"U+000A", {}, "is a control character or a surrogate"},
        {u"U+0041-U+", {}, "the item \"U+0041-U+\" is neither"},
        {u"U+1234567", {}, "has more than six hexadecimal digits"},
    };
    for (const auto& c : cases) {
        const QString list = QString::fromUtf16(c.list);
        CodePointSet set;
        const auto e = fakes::thrownBy([&] { addCharList(list, set); });
        ASSERT_EQ(bool(e), bool(c.refusal)) << list.toStdString();
        if (e) EXPECT_NE(std::string(e->what()).find(c.refusal), std::string::npos) << e->what();
        else EXPECT_EQ(std::u32string(set.begin(), set.end()), c.chars) << list.toStdString();
    }
}

TEST(CharSource, NamedSetsHoldTheirStandardsCountsAndKanjiLevels) {
    const auto named = [](const char* name) {
        CodePointSet set;
        return addCharset(QString::fromLatin1(name), set) ? set : CodePointSet{};
    };
    const std::pair<const char*, std::size_t> sizes[] = {
        {"ascii", 95}, {"latin1", 191}, {"hiragana", 93}, {"katakana", 96}, {"halfwidth-katakana", 63},
        {"jis-x-0208", 6879}, {"jis-x-0208-kanji1", 2965}, {"jis-x-0208-kanji2", 3390}};
    for (const auto& [name, size] : sizes) EXPECT_EQ(named(name).size(), size) << name;

    // The kanji levels split JIS X 0208 where the standard does.
    const CodePointSet all = named("jis-x-0208"), level1 = named("jis-x-0208-kanji1"),
                       level2 = named("jis-x-0208-kanji2");
    // First and last of each level, from the standard's rows 16 and 47, 48 and 84.
    EXPECT_TRUE(level1.contains(U'\u4E9C') && level1.contains(U'\u8155'));  // 亜 腕
    EXPECT_TRUE(level2.contains(U'\u5F0C') && level2.contains(U'\u7199'));  // 弌 熙
    for (char32_t c : level1) EXPECT_TRUE(all.contains(c) && !level2.contains(c));
    for (char32_t c : level2) EXPECT_TRUE(all.contains(c));
    EXPECT_TRUE(all.contains(U'\u3042') && all.contains(U'\uFF21') && !all.contains(U'A'));  // あ Ａ, not ASCII
    CodePointSet both = level1;
    addCharset(u"jis-x-0208-kanji2", both);
    addCharList(u"U+3042", both);
    EXPECT_EQ(textOf(both).size(), 2965 + 3390 + 1);
    EXPECT_TRUE(textOf(both).startsWith(QStringLiteral("\u3042\u4E00")));  // increasing order
}
