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

TEST(SdfCli, ConflictsAndBadRangesAreUsageErrors) {
    const QString range = QStringLiteral("; give the distance range in pixels, a whole number from 1 to 64");
    const QString effects = QStringLiteral(" exclude each other: a distance field holds the glyphs' shape alone, "
                                           "effects belong in the shader; drop one of them");
    const std::pair<const char*, QString> cases[] = {
        {"--sdf 0", "--sdf: the distance range 0 is out of range" + range},
        {"--sdf 65", "--sdf: the distance range 65 is out of range" + range},
        {"--sdf 8x", "--sdf: the distance range \"8x\" is not a number" + range},
        {"--sdf 8 --shadow 1,1", "--sdf and --shadow" + effects},
        {"--sdf 8 --outline 0", "--sdf and --outline" + effects},
        {"--sdf 8 --texture t.png", "--sdf and --texture" + effects},
        {"--sdf 8 --mono", "--sdf and --mono" + effects},
        {"--sdf 8 --underline", "--sdf and --underline" + effects},
        {"--sdf 8 -o o.bmp", "--sdf needs a PNG sheet, whose alpha holds the field; give -o a name ending in .png"},
        {"--sdf 8 --fnt f.fnt --fnt-format binary",
         "--sdf and --fnt-format binary exclude each other: the binary form cannot say that the page is a distance "
         "field; give --fnt-format text or xml"}};
    for (const auto& [args, message] : cases) {
        QStringList line{"-t", "A"};
        line += QString(args).split(u' ');
        if (!line.contains("-o")) line += {"-o", "o.png"};
        const auto [code, err] = runCli(line);
        EXPECT_EQ(code, 2) << args;
        EXPECT_EQ(err, ("karuvo-cli: " + message + "\nkaruvo-cli: see karuvo-cli --help for the options\n").toStdString())
            << args;
    }
}

// The field takes RANGE/2, rounded up, on every side of each box: in a fitted cell and
// in the descriptors' rectangles, which name the field in each of their forms. The
// sheet's colour is the fill colour throughout; only alpha carries the field.
TEST(SdfCli, DescriptorsNameTheFieldAndGiveItsRoom) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(name); };
    const QStringList common{"-t", "AB", "-f", "DejaVu Sans", "-s", "24", "-q"};
    ASSERT_EQ(runCli(common + QStringList{"-o", path("p.png"), "--fnt", path("p.fnt")}).first, 0);
    ASSERT_EQ(runCli(common + QStringList{"--sdf", "7", "--fill", "3366CC", "-o", path("s.png"), "--fnt", path("s.fnt"),
                                          "--json", path("s.json")})
                  .first,
              0);
    ASSERT_EQ(runCli(common + QStringList{"--sdf", "7", "-o", path("x.png"), "--fnt", path("x.xml"), "--fnt-format", "xml"}).first, 0);
    const QString plain = fakes::readFile(path("p.fnt")), field = fakes::readFile(path("s.fnt"));
    EXPECT_TRUE(field.contains(QRegularExpression("\ncommon [^\n]*\ndistanceField fieldType=sdf distanceRange=7\npage ")))
        << field.toStdString();
    EXPECT_TRUE(fakes::readFile(path("x.xml")).contains(R"(<distanceField fieldType="sdf" distanceRange="7"/>)"));
    const QJsonObject json = QJsonDocument::fromJson(fakes::readFile(path("s.json"))).object();
    EXPECT_EQ(json["distanceField"].toObject(), (QJsonObject{{"type", "sdf"}, {"distanceRange", 7}}));

    EXPECT_EQ(fntLine(field, "common")["scaleW"], fntLine(plain, "common")["scaleW"] + 2 * 8);
    for (const char* id : {"char id=65", "char id=66"}) {
        std::map<QString, int> p = fntLine(plain, id), s = fntLine(field, id);
        EXPECT_EQ(s["width"], p["width"] + 8) << id;
        EXPECT_EQ(s["height"], p["height"] + 8) << id;
        EXPECT_EQ(s["xoffset"], p["xoffset"] - 4) << id;
        EXPECT_EQ(s["yoffset"], p["yoffset"] - 4) << id;
        EXPECT_EQ(s["xadvance"], p["xadvance"]) << id;
    }
    const QImage sheet = QImage(path("s.png")).convertToFormat(QImage::Format_ARGB32);
    int inside = 0, faint = 0;
    for (int y = 0; y < sheet.height(); ++y) {
        for (int x = 0; x < sheet.width(); ++x) {
            const QRgb px = sheet.pixel(x, y);
            if (qAlpha(px) > 0) {
                ASSERT_EQ(px & 0xFFFFFF, 0x3366CCu) << x << "," << y;
            }
            inside += qAlpha(px) >= 128, faint += qAlpha(px) > 0 && qAlpha(px) < 128;
        }
    }
    EXPECT_GT(inside, 0);
    EXPECT_GT(faint, inside);

    // With -c the field is cut at the cell, and the warning names the cell that holds it.
    const auto [code, err] = runCli(common + QStringList{"-c", "10x20", "--sdf", "7", "-o", path("c.png")});
    const int width = std::max(fntLine(plain, "char id=65")["xadvance"], fntLine(plain, "char id=66")["xadvance"]) + 8;
    const int height = fntLine(plain, "common")["lineHeight"] + 8;
    EXPECT_EQ(code, 0);
    EXPECT_EQ(err, "karuvo-cli: warning: the distance field reaches past cells of 10 x 20 pixels and is cut at their "
                   "edges; cells of " + std::to_string(width) + " x " + std::to_string(height) + " would hold it (-c)\n");
}
