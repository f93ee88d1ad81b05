#include <QFontMetrics>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "cli/run.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

std::pair<int, std::string> runCli(const QStringList& args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    const int code = cli::run(args, o, e);
    e.flush();
    return {code, err.toStdString()};
}

// The fields of the .fnt line that starts with `head` (e.g. "char id=65"), by name.
std::map<QString, int> fntLine(const QString& fnt, const QString& head) {
    std::map<QString, int> fields;
    for (const QString& line : fnt.split(u'\n')) {
        if (!line.startsWith(head + u' ')) continue;
        for (const QString& part : line.split(u' ')) {
            const qsizetype eq = part.indexOf(u'=');
            if (eq > 0) fields[part.first(eq)] = part.sliced(eq + 1).toInt();
        }
    }
    return fields;
}

}  // namespace

// The field takes RANGE/2, rounded up, on every side of each box: in a fitted cell and
// in the descriptors' rectangles, which name the field in each of their forms. Every
// channel holds the field, so that a shader may read any; a fill colour is not written.
struct SdfCli : fakes::InTempFolder {};

TEST_F(SdfCli, DescriptorsNameTheFieldAndGiveItsRoom) {
    const QStringList common{"-t", "AB", "-f", "DejaVu Sans", "-s", "24", "-q"};
    const QFontMetrics m(fakes::plainFace("DejaVu Sans", 24));
    const int widest = std::max(m.horizontalAdvance('A'), m.horizontalAdvance('B'));
    const auto [status, said] = runCli(common + QStringList{"--sdf", "7", "--fill", "3366CC", "-o", path("s.png"), "--fnt",
                                                             path("s.fnt"), "--json", path("s.json")});
    ASSERT_TRUE(status == 0 && said.find("warning: a distance field's colour is set in the shader") != std::string::npos) << said;
    ASSERT_EQ(runCli(common + QStringList{"--sdf", "7", "-o", path("x.png"), "--fnt", path("x.xml"), "--fnt-format", "xml"}).first, 0);
    const QString field = fakes::readFile(path("s.fnt"));
    EXPECT_TRUE(field.contains(QRegularExpression("\ncommon [^\n]*\ndistanceField fieldType=sdf distanceRange=7\npage ")));
    EXPECT_TRUE(fakes::readFile(path("x.xml")).contains(R"(<distanceField fieldType="sdf" distanceRange="7"/>)"));
    const QJsonObject json = QJsonDocument::fromJson(fakes::readFile(path("s.json"))).object();
    EXPECT_EQ(json["distanceField"].toObject(), (QJsonObject{{"type", "sdf"}, {"distanceRange", 7}}));

    EXPECT_EQ(std::pair(fntLine(field, "common")["scaleW"], fntLine(field, "common")["scaleH"]),
              std::pair(2 * (widest + 8), m.height() + 8));
    const QImage sheet = QImage(path("s.png")).convertToFormat(QImage::Format_ARGB32);
    int inside = 0, faint = 0;
    for (int i = 0; i < sheet.width() * sheet.height(); ++i) {
        const QRgb px = sheet.pixel(i % sheet.width(), i / sheet.width());
        ASSERT_EQ(px, qRgba(qAlpha(px), qAlpha(px), qAlpha(px), qAlpha(px))) << i;
        inside += qAlpha(px) >= 128, faint += qAlpha(px) > 0 && qAlpha(px) < 128;
    }
    EXPECT_TRUE(inside > 0 && faint > inside) << inside << " " << faint;

    // In cells larger than the fitted one, each box (advance by line height, centred,
    // odd margins toward the top left) joined with the glyph's ink keeps the room; in
    // smaller ones the field is cut at the cell, and the warning names the cell that holds it.
    auto [code, err] = runCli(common + QStringList{"-c", "40x51", "--sdf", "7", "-o", path("b.png"), "--fnt", path("b.fnt")});
    ASSERT_EQ(code, 0) << err;
    for (const char c : {'A', 'B'}) {
        const QRect ink = m.boundingRect(QChar(c));
        const int advance = m.horizontalAdvance(QChar(c)), left = std::min(0, ink.left()), right = std::max(advance, ink.right() + 1);
        EXPECT_EQ(fntLine(fakes::readFile(path("b.fnt")), QStringLiteral("char id=%1").arg(int(c))),
                  (std::map<QString, int>{{"id", c}, {"x", (c - 'A') * 40 + (40 - advance) / 2 - 4 + left}, {"y", (51 - m.height()) / 2 - 4},
                                          {"width", right - left + 8}, {"height", m.height() + 8}, {"xoffset", left - 4}, {"yoffset", -4},
                                          {"xadvance", advance}, {"page", 0}, {"chnl", 15}})) << c;
    }
    std::tie(code, err) = runCli(common + QStringList{"-c", "10x20", "--sdf", "7", "-o", path("c.png")});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(err, "karuvo-cli: warning: the distance field reaches past cells of 10 x 20 pixels and is cut at their "
                   "edges; cells of " + std::to_string(widest + 8) + " x " + std::to_string(m.height() + 8) + " would hold it (-c)\n");
}

// --msdf and --mtsdf as --sdf: the descriptors and the project name the field's type,
// and the refusals name the option given.
TEST_F(SdfCli, MultiChannelFieldsAreNamedAndRefusedAsSdf) {
    const QStringList common{"-t", "AB", "-s", "24", "-q"};
    for (const QString type : {"msdf", "mtsdf"}) {
        const QStringList field{"--" + type, "5"};
        ASSERT_EQ(runCli(common + field + QStringList{"-o", path("m.png"), "--fnt", path("m.fnt"), "--save-project", path("m.karuvo")}).first, 0);
        EXPECT_TRUE(QString(fakes::readFile(path("m.fnt"))).contains("\ndistanceField fieldType=" + type + " distanceRange=5\n"));
        ASSERT_EQ(runCli({"--project", path("m.karuvo"), "-o", path("n.png"), "--json", path("n.json"), "-q"}).first, 0);
        EXPECT_EQ(QJsonDocument::fromJson(fakes::readFile(path("n.json"))).object()["distanceField"].toObject(),
                  (QJsonObject{{"type", type}, {"distanceRange", 5}}));
        EXPECT_EQ(runCli(common + field + QStringList{"-o", path("m.bmp")}),
                  std::pair(2, "karuvo-cli: --" + type.toStdString() + " needs a PNG sheet, whose alpha holds the field; give -o a name ending in .png\n"
                               "karuvo-cli: see karuvo-cli --help for the options\n"));
    }
    EXPECT_EQ(runCli(common + QStringList{"--sdf", "5", "--msdf", "5", "-o", path("m.png")}).first, 2);
}
