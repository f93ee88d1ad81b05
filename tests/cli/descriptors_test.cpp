#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "cli/descriptors.h"
#include "platform/error.h"

using namespace karuvo;
using namespace karuvo::cli;

TEST(Descriptors, EachDistinctCharacterIsPlacedAtItsFirstCellInCodePointOrder) {
    // B A B / C A, with a carriage return that takes no cell and an emoji that is one.
    const QString text = QStringLiteral("BAB\r\nCA") + QString::fromUcs4(U"\U0001F600");
    const std::vector<CharPlace> places = firstPlaces(text, 16, 20);
    ASSERT_EQ(places.size(), 4u);
    EXPECT_EQ(places[0].codePoint, U'A');
    EXPECT_EQ(places[0].column, 1);
    EXPECT_EQ(places[0].row, 0);
    EXPECT_EQ(places[0].x, 16);
    EXPECT_EQ(places[0].y, 0);
    EXPECT_EQ(places[1].codePoint, U'B');
    EXPECT_EQ(places[2].y, 20);
    EXPECT_EQ(places[3].codePoint, U'\U0001F600');
    EXPECT_EQ(places[3].column, 2);
    EXPECT_EQ(places[3].x, 32);

    EXPECT_THROW(firstPlaces(QStringLiteral("ABC"), 2000000000, 1), Error);
}

TEST(Descriptors, BaselineFollowsTheCentredGlyphsAndStaysInTheCell) {
    EXPECT_EQ(cellBaseline(20, 15, 12, 0), 14);   // top (20 - 15) / 2 = 2
    EXPECT_EQ(cellBaseline(20, 15, 12, 3), 13);   // the glyphs move up by 3 / 2 = 1
    EXPECT_EQ(cellBaseline(20, 15, 12, -3), 15);  // -3 / 2 = -1 truncates toward zero
    EXPECT_EQ(cellBaseline(5, 15, 12, 0), 5);     // a cell smaller than the line
    EXPECT_EQ(cellBaseline(20, 15, 12, 100), 0);
}

TEST(Descriptors, FntListsTheSheetThePageAndEveryCell) {
    const SheetGeometry sheet{48, 40, 3, 2, 16, 20};
    const std::vector<CharPlace> places{{U'A', 0, 0, 0, 0}, {U'\u4E00', 2, 1, 32, 20}};
    const QByteArray fnt = fntDescriptor(sheet, DescriptorFont{"Dejavu \"Sans\"", 16, true, false, 15}, "s.bmp", places);
    EXPECT_EQ(fnt.toStdString(),
              "info face=\"Dejavu 'Sans'\" size=16 bold=1 italic=0 charset=\"\" unicode=1 stretchH=100 smooth=1 "
              "aa=1 padding=0,0,0,0 spacing=0,0\n"
              "common lineHeight=20 base=15 scaleW=48 scaleH=40 pages=1 packed=0\n"
              "page id=0 file=\"s.bmp\"\n"
              "chars count=2\n"
              "char id=65 x=0 y=0 width=16 height=20 xoffset=0 yoffset=0 xadvance=16 page=0 chnl=15\n"
              "char id=19968 x=32 y=20 width=16 height=20 xoffset=0 yoffset=0 xadvance=16 page=0 chnl=15\n");
}

TEST(Descriptors, JsonIsValidAndMapsCodePointsToCells) {
    const SheetGeometry sheet{48, 40, 3, 2, 16, 20};
    const std::vector<CharPlace> places{{U'A', 0, 0, 0, 0}, {U'\U0001F600', 2, 1, 32, 20}};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(jsonDescriptor(sheet, places), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = doc.object();
    EXPECT_EQ(root["cellHeight"].toInt(), 20);
    EXPECT_EQ(root["rows"].toInt(), 2);
    const QJsonObject chars = root["chars"].toObject();
    ASSERT_EQ(chars.size(), 2);
    const QJsonObject emoji = chars["128512"].toObject();
    EXPECT_EQ(emoji["row"].toInt(), 1);
    EXPECT_EQ(emoji["column"].toInt(), 2);
    EXPECT_EQ(emoji["x"].toInt(), 32);
    EXPECT_EQ(emoji["y"].toInt(), 20);
    EXPECT_TRUE(chars.contains("65"));

    const QJsonDocument empty = QJsonDocument::fromJson(jsonDescriptor(sheet, {}), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_TRUE(empty.object()["chars"].toObject().isEmpty());
}
