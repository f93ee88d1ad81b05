#include <QFont>
#include <QFontMetrics>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <map>

#include "export/descriptors.h"
#include "sheet/builder.h"
#include "support/fixtures.h"

using namespace karuvo;

TEST(Descriptors, BaselineFollowsTheCentredGlyphsAndStaysInTheCell) {
    EXPECT_EQ(cellBaseline(20, 15, 12, 0), 14);   // top (20 - 15) / 2 = 2
    EXPECT_EQ(cellBaseline(20, 15, 12, -3), 15);  // the glyphs move by -3 / 2 = -1, truncated toward zero
    EXPECT_EQ(cellBaseline(5, 15, 12, 0), 5);     // a cell smaller than the line
    EXPECT_EQ(cellBaseline(20, 15, 12, 100), 0);
}

// Advances, line height, ascent and kerning as Qt's own layout of the same face gives
// them; each rectangle the box widened by the shadow on its sides and kept in its cell.
TEST(Descriptors, FontPitchGivesTheFontsOwnMetricsAndKerning) {
    const QString chars = QStringLiteral("AVTWaoy.,LJ");
    const SheetSettings s{.text = chars + QStringLiteral("\n漢"), .cellWidth = 22, .cellHeight = 30,
                          .font = fakes::faceDescription(QStringLiteral("DejaVu Sans"), 20), .texturePath = {}, .effect = EffectKind::Shadow,
                          .shadowDx = 3, .shadowDy = -2, .findKerning = true};
    const Sheet sheet = buildSheet(s);

    QFont font = fakes::plainFace(QStringLiteral("DejaVu Sans"), 20);
    const QFontMetrics plain(font);
    font.setKerning(true);
    const QFontMetrics kerned(font);

    const Descriptor d = fontPitchDescriptor(sheet, {}, shadowRoom(3, -2), QStringLiteral("s.png"));
    EXPECT_EQ(std::pair(d.lineHeight, d.base), std::pair(plain.height(), plain.ascent()));
    ASSERT_EQ(d.chars.size(), std::size_t(chars.size() + 1));
    for (const DescribedChar& c : d.chars) {
        const QString one = QString::fromUcs4(&c.codePoint, 1);
        EXPECT_EQ(c.xadvance, plain.horizontalAdvance(one)) << one.toStdString();
        // Widened by 3 on the right and 2 on top, unless the cell is narrower.
        EXPECT_EQ(c.width, std::min(c.xadvance + 3, 22)) << one.toStdString();
        EXPECT_EQ(std::pair(c.height, c.yoffset), std::pair(std::min(plain.height() + 2, 30), -2));
        EXPECT_TRUE(c.x >= c.column * 22 && c.x + c.width <= (c.column + 1) * 22 && c.y >= c.row * 30 &&
                    c.y + c.height <= (c.row + 1) * 30);
    }
    std::map<std::pair<QChar, QChar>, int> want;
    for (QChar a : chars)
        for (QChar b : chars) {
            const int k = kerned.horizontalAdvance(QString(a) + b) - plain.horizontalAdvance(QString(a) + b);
            if (k != 0) want[{a, b}] = k;
        }
    std::map<std::pair<QChar, QChar>, int> got;
    for (const KerningPair& k : d.kerning) got[{QChar(char16_t(k.first)), QChar(char16_t(k.second))}] = k.amount;
    EXPECT_EQ(got, want);
    EXPECT_GT(want.size(), 10u);

    // A face name with a double quote and a control character: the text form has no
    // escapes, so the quote becomes an apostrophe and the control character U+FFFD; JSON
    // escapes both.
    const Descriptor named = fontPitchDescriptor(sheet, {QStringLiteral("A \"B\"\x1F"), 20}, {}, QStringLiteral("s.png"));
    EXPECT_TRUE(fntText(named).startsWith(QStringLiteral("info face=\"A 'B'\uFFFD\" size=20 ").toUtf8()));
    EXPECT_TRUE(jsonDescriptor(named, true).contains(R"("A \"B\"\u001f")"));
    EXPECT_EQ(QJsonDocument::fromJson(jsonDescriptor(named, true)).object()["face"].toString(), named.font.face);

    // The fixed pitch: the whole cell, no offsets, the cell width as advance, no kerning.
    const Descriptor cell = cellPitchDescriptor(sheet, {}, 7, QStringLiteral("s.png"));
    EXPECT_TRUE(cell.kerning.empty());
    for (const DescribedChar& c : cell.chars)
        EXPECT_EQ(std::tuple(c.x, c.y, c.width, c.height, c.xoffset, c.yoffset, c.xadvance),
                  std::tuple(c.column * 22, c.row * 30, 22, 30, 0, 0, 22));
}

// The pages an old binary descriptor names, found in its blocks; a block that claims more
// bytes than the file still holds, or whose header is cut, is not read.
TEST(Descriptors, PagesOfAnOldBinaryDescriptorAreReadFromItsWholeBlocksOnly) {
    const auto block = [](char type, quint32 size, const QByteArray& body) {
        return QByteArray(1, type) + char(size) + char(size >> 8) + char(size >> 16) + char(size >> 24) + body;
    };
    const QByteArray names("a.png\0b.png\0", 12), head = "BMF\x03" + block(1, 3, "xyz");
    EXPECT_EQ(pageFilesOf(head + block(3, 12, names)), QStringList({"a.png", "b.png"}));
    EXPECT_EQ(pageFilesOf(head + block(3, 14, names)), QStringList());
    EXPECT_EQ(pageFilesOf(head + QByteArray("\x03\x0C\0", 3)), QStringList());
}
