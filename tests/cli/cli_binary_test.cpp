// Runs the real karuvo-cli program and checks what it writes and says.
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QPainter>
#include <QProcess>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/image_io.h"
#include "sheet/builder.h"
#include "support/cli_process.h"
#include "support/fixtures.h"
#include "support/test_fonts.h"

using namespace karuvo;
using namespace karuvo::fakes;

namespace {

// Whether any pixel of the region is not black.
bool hasInk(const QImage& image, const QRect& region) {
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) return true;
    return false;
}

// How many pixels of the written sheet differ from `expected`; -1 for another size.
int differingPixels(const QString& written, const QImage& expected) {
    const QImage sheet = QImage(written).convertToFormat(QImage::Format_RGB32);
    if (sheet.size() != expected.size()) return -1;
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) differing += sheet.pixel(x, y) != expected.pixel(x, y);
    return differing;
}

struct CliBinary : InTempFolder {};

}  // namespace

// Text, face (a family, or a test font file and its family), pixel size, bold, the cell
// (0 x 0: fitted), fill.
using DrawnRun = std::tuple<const char16_t*, const char*, int, bool, int, QRgb>;
class CliDrawing : public CliBinary, public ::testing::WithParamInterface<DrawnRun> {};

TEST_P(CliDrawing, TheSheetIsWhatAPlainPainterDrawsInCellsTheFontMetricsGive) {
    const auto& [text16, face, px, bold, givenCell, fill] = GetParam();
    const QString text = QString::fromUtf16(text16);
    const QStringList fileAndFamily = QString(face).split(u'|');  // "plain.ttf|Karuvo Test Plain"
    const QString family = fileAndFamily.last();
    const QString font = fileAndFamily.size() > 1 ? testFont(fileAndFamily[0]) : family;
    QStringList args{"-t", text, "-f", font, "-s", QString::number(px), "--fill",
                     QString::number(fill & 0xFFFFFF, 16).rightJustified(6, u'0'), "-o", path("s.bmp")};
    if (bold) args << "--bold";
    const QFont plain = plainFace(family, px, bold);
    const QFontMetrics m(plain);
    int cellWidth = givenCell, cellHeight = givenCell;
    if (givenCell == 0) {  // the widest character's advance and the line height
        cellWidth = 0;
        for (const uint c : QString(text).remove(u'\n').toUcs4())
            cellWidth = std::max(cellWidth, m.horizontalAdvance(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1)));
        cellHeight = m.height();
    } else {
        args << "-c" << QStringLiteral("%1x%1").arg(givenCell);
    }
    const auto [code, err] = runCli(args);
    ASSERT_EQ(code, 0) << err;
    EXPECT_NE(err.find(QStringLiteral("cells of %1 x %2 ").arg(cellWidth).arg(cellHeight).toStdString()), std::string::npos) << err;
    EXPECT_EQ(differingPixels(path("s.bmp"), drawnSheet(text, plain, cellWidth, cellHeight, fill)), 0);
    // The bitmap's header gives the file's length.
    const QByteArray bmp = readFile(path("s.bmp"));
    ASSERT_GT(bmp.size(), 6);
    EXPECT_EQ(qFromLittleEndian<quint32>(bmp.constData() + 2), quint32(QFileInfo(path("s.bmp")).size()));
}

INSTANTIATE_TEST_SUITE_P(
    CliBinary, CliDrawing,
    ::testing::Values(DrawnRun{u"iWi\nAg", "DejaVu Sans", 20, false, 0, 0xFFFFFF},  // the widest is neither first nor last
                      DrawnRun{u"Hb\nq", "DejaVu Sans", 20, true, 31, 0x00FF80},
                      DrawnRun{u"x\u5B57\u3042", "IPAGothic", 15, false, 0, 0xFF8000},
                      // Glyphs overlapping their neighbours in cells smaller than themselves.
                      DrawnRun{u"Wm@\nQj%", "DejaVu Sans", 24, false, 9, 0xFFFFFF},
                      // Han and kana that a face without layout tables lacks come from the
                      // fallback face, not as the face's missing-glyph box.
                      DrawnRun{u"A\u5B57\u304B\n\u30AB\u6F22", "plain.ttf|Karuvo Test Plain", 20, false, 0, 0xFFFFFF}));

TEST_F(CliBinary, DescriptorsListEachCharacterOnceAtItsFirstCell) {
    const QString text = QStringLiteral("ABA\nCDB");
    const auto [code, err] = runCli({"-t", text, "-c", "16x20", "-o", path("s.bmp"), "--pitch", "cell", "--fnt", path("s.fnt"),
                                     "--json", path("s.json")});
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(err.rfind("karuvo-cli: sheet 48 x 40 pixels, cells of 16 x 20 in 3 columns and 2 rows (6 cells), 6 characters", 0), 0u) << err;
    const QString fnt = QString::fromUtf8(readFile(path("s.fnt")));
    EXPECT_TRUE(fnt.startsWith("info face=\"IPAGothic\" size=12 ") && fnt.contains("scaleW=48 scaleH=40 pages=1") &&
                fnt.contains("\npage id=0 file=\"s.bmp\"\nchars count=4\n")) << fnt.toStdString();
    const QJsonObject chars = QJsonDocument::fromJson(readFile(path("s.json"))).object()["chars"].toObject();
    EXPECT_EQ(chars.size(), 4);
    const struct { char id; int column, row; } first[] = {{'A', 0, 0}, {'B', 1, 0}, {'C', 0, 1}, {'D', 1, 1}};
    for (const auto& c : first) {
        const int x = c.column * 16, y = c.row * 20;
        EXPECT_EQ(fnt.count(QStringLiteral("char id=%1 ").arg(int(c.id))), 1) << c.id;
        const QString line = QStringLiteral("char id=%1 x=%2 y=%3 width=16 height=20 ").arg(int(c.id)).arg(x).arg(y);
        EXPECT_TRUE(fnt.contains(line)) << line.toStdString();
        const QJsonObject e = chars[QString::number(int(c.id))].toObject();
        EXPECT_EQ(QList<int>({e["column"].toInt(), e["row"].toInt(), e["x"].toInt(), e["y"].toInt()}),
                  QList<int>({c.column, c.row, x, y})) << c.id;
    }

    // A JSON descriptor alone carries the face's kerning too, as the face's own layout kerns.
    const auto [kernCode, kernErr] = runCli({"-t", "AV", "-f", "DejaVu Sans", "-s", "20", "-o", path("k.bmp"), "--json", path("k.json")});
    ASSERT_EQ(kernCode, 0) << kernErr;
    QFont kerned = plainFace("DejaVu Sans", 20);
    const int plain = QFontMetrics(kerned).horizontalAdvance("AV");
    kerned.setKerning(true);
    QList<int> av;
    for (const QJsonValue k : QJsonDocument::fromJson(readFile(path("k.json"))).object()["kerning"].toArray())
        if (k["first"].toInt() == 'A' && k["second"].toInt() == 'V') av << k["amount"].toInt();
    EXPECT_EQ(av, QList<int>{QFontMetrics(kerned).horizontalAdvance("AV") - plain});
}

TEST_F(CliBinary, ListedCharactersFillWrappedRowsInCodePointOrder) {
    // Six characters in four columns: two rows, the second half full.
    const auto [code, err] = runCli({"--chars", "U+0043-U+0045,A,U+002C", "--chars", "B", "--columns", "4", "-c",
                                     "10x12", "-o", path("c.bmp"), "--json", path("c.json")});
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(err.rfind("karuvo-cli: sheet 40 x 24 pixels, cells of 10 x 12 in 4 columns and 2 rows (8 cells), "
                        "6 characters", 0), 0u) << err;
    EXPECT_EQ(differingPixels(path("c.bmp"), drawnSheet(",ABC\nDE", plainFace("IPAGothic", 12), 10, 12, 0xFFFFFF)), 0);
    const QJsonObject json = QJsonDocument::fromJson(readFile(path("c.json"))).object();
    EXPECT_EQ(QList<int>({json["columns"].toInt(), json["rows"].toInt()}), QList<int>({4, 2}));
    const QJsonObject chars = json["chars"].toObject();
    const char32_t order[] = {U',', U'A', U'B', U'C', U'D', U'E'};
    for (int i = 0; i < 6; ++i) {
        const QJsonObject e = chars[QString::number(order[i])].toObject();
        EXPECT_EQ(QList<int>({e["column"].toInt(), e["row"].toInt(), e["x"].toInt(), e["y"].toInt()}),
                  QList<int>({i % 4, i / 4, i % 4 * 10, i / 4 * 12})) << i;
    }
    // Sets and lists add up, and without --columns take sixteen to a row: 93 hiragana
    // and 96 katakana (one of them listed again) in twelve rows.
    const auto [setCode, setErr] = runCli({"--charset", "hiragana", "--chars", "U+30A2", "--charset", "katakana",
                                           "-c", "12x12", "-o", path("h.bmp")});
    ASSERT_EQ(setCode, 0) << setErr;
    EXPECT_NE(setErr.find("(192 cells), 189 characters"), std::string::npos) << setErr;
    EXPECT_EQ(QImage(path("h.bmp")).size(), QSize(16 * 12, 12 * 12));
}

// Without fallback, the same characters leave their cells empty and are named so.
TEST_F(CliBinary, LackedCharactersAreReportedOnceWithTheFaceThatDrawsThemOrNone) {
    // U+0938 (Devanagari) is in no installed face; it gets the missing-glyph box.
    const QString text = "A" + QString::fromUcs4(U"\U0001F600") + QStringLiteral("\u4E00\u4E00\u0938");
    for (const bool fallback : {true, false}) {
        QStringList args{"-t", text, "-f", "DejaVu Sans", "-c", "10x12", "-o", path("e.bmp")};
        if (!fallback) args << "--no-fallback";
        const auto [code, err] = runCli(args);
        ASSERT_EQ(code, 0) << err;
        const QImage sheet(path("e.bmp"));
        ASSERT_EQ(sheet.size(), QSize(50, 12));
        EXPECT_TRUE(hasInk(sheet, QRect(0, 0, 10, 12)));
        EXPECT_EQ(hasInk(sheet, QRect(30, 0, 10, 12)), fallback);  // the second U+4E00
        EXPECT_EQ(hasInk(sheet, QRect(40, 0, 10, 12)), fallback) << "the missing-glyph box";
        const QString said = QString::fromStdString(err);
        EXPECT_EQ(said.count(QStringLiteral("karuvo-cli: U+4E00 \u4E00 is not in \"DejaVu Sans\"; ") +
                             (fallback ? "drawn with \"IPAGothic\"\n" : "left empty\n")), 1) << err;
        EXPECT_TRUE(said.contains(QStringLiteral("karuvo-cli: U+0938 \u0938 is not in \"DejaVu Sans\"; ") +
                                  (fallback ? "no installed face has it, so its cell shows the missing-glyph box\n"
                                            : "left empty\n"))) << err;
    }
}

// A font file no configuration knows, and each face of a collection, is used and named,
// with its own weight and slant; the test files hold DejaVu's outlines, so they draw what
// the installed faces draw. The binary .fnt names the face and marks bold and italic
// (bits 0x10 and 0x20 of the info block's ninth byte).
TEST_F(CliBinary, EachFaceOfAFileDrawsItsOwnGlyphsUnderItsOwnName) {
    const QString fonts = testFonts();
    ASSERT_FALSE(QFontDatabase::hasFamily("Karuvo Test Sans"));
    const auto dejaVu = [](bool bold, bool italic, const char* family = "DejaVu Sans") {
        QFont f = plainFace(family, 30, bold);
        f.setItalic(italic);
        return f;
    };
    const struct { QString file; int face; const char* family; QFont drawsAs; } cases[] = {
        {fonts + "/renamed.ttf", -1, "Karuvo Test Sans", dejaVu(false, false)},
        {fonts + "/pair.ttc", 0, "Karuvo Test Sans", dejaVu(false, false)},
        {fonts + "/pair.ttc", 1, "Karuvo Test Serif", dejaVu(false, false, "DejaVu Serif")},
        // Faces of one family, told apart by their weight and slant.
        {fonts + "/weights.ttc", 0, "Karuvo Test Weights", dejaVu(false, false)},
        {fonts + "/weights.ttc", 1, "Karuvo Test Weights", dejaVu(true, false)},
        {fonts + "/weights.ttc", 2, "Karuvo Test Weights", dejaVu(false, true)},
        // A face that shares its family with an installed one is told apart by its weight.
        {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 0, "DejaVu Sans", dejaVu(true, false)}};
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto& [file, face, family, drawsAs] = cases[i];
        SCOPED_TRACE(testing::Message() << file.toStdString() << " face " << face);
        const QString out = path(QStringLiteral("face%1.bmp").arg(i));
        QStringList args = QStringList{"-t", "Rg&", "-f", file, "-s", "30", "-c", "32x40", "-o", out, "--fnt",
                                       path("face.fnt"), "--fnt-format", "binary", "--json", path("face.json")};
        if (face >= 0) args << "--face-index" << QString::number(face);  // -1: a file of one face, named alone
        const auto [code, err] = runCli(args);
        ASSERT_EQ(code, 0) << err;
        EXPECT_NE(err.find(QStringLiteral("font \"%1\" 30 px").arg(family).toStdString()), std::string::npos) << err;
        const QByteArray fnt = readFile(path("face.fnt"));
        ASSERT_GT(fnt.size(), 24);
        EXPECT_EQ(fnt.mid(23, qstrlen(family) + 1), QByteArray(family, qstrlen(family) + 1));
        EXPECT_EQ(quint8(fnt[11]), 0xC0 | (drawsAs.italic() ? 0x20 : 0) | (drawsAs.bold() ? 0x10 : 0));
        EXPECT_EQ(QJsonDocument::fromJson(readFile(path("face.json"))).object()["face"].toString(), family);
        EXPECT_EQ(differingPixels(out, drawnSheet("Rg&", drawsAs, 32, 40, 0xFFFFFF)), 0);
    }
}

TEST_F(CliBinary, AnEffectReachingPastItsCellIsWarnedOfOnceWithTheCellThatHoldsIt) {
    const QFontMetrics metrics(plainFace("DejaVu Sans", 16));
    const int w = metrics.horizontalAdvance('W'), h = metrics.height();
    const struct { QStringList args; QString warning; } cases[] = {
        {{"-c", "16x40", "--outline", "4"}, QStringLiteral("the outline reaches past cells of 16 x 40 pixels into their "
                                                           "neighbours; cells of %1 x 40 would hold it").arg(w + 8)},
        // A negative offset makes the fitted cell smaller, so the shadow leaves it.
        {{"--shadow", "-3,-2"}, QStringLiteral("the shadow reaches past cells of %1 x %2 pixels into their neighbours; "
                                               "cells of %3 x %4 would hold it").arg(w - 3).arg(h - 2).arg(w + 3).arg(h + 2)},
        {{"--shadow", "3,2"}, {}},
        {{"-c", "40x40", "--outline", "4"}, {}}};
    for (const auto& [args, warning] : cases) {
        const auto [code, err] = runCli(QStringList{"-t", "WW", "-f", "DejaVu Sans", "-s", "16", "-o", path("w.bmp")} + args);
        ASSERT_EQ(code, 0) << err;
        const QString said = QString::fromStdString(err);
        EXPECT_EQ(said.count("warning:"), warning.isEmpty() ? 0 : 1) << err;
        if (!warning.isEmpty()) {
            EXPECT_TRUE(said.contains(warning)) << err << "\n" << warning.toStdString();
        }
    }
}

TEST_F(CliBinary, AMaximumSizeSplitsWholeRowsIntoPagesThatTheDescriptorsList) {
    // 496 characters of 32 px, 8 to a row: 62 rows of 32 x 32 cells, pages of at most
    // 256 x 256 as wide as the rows and 8 rows tall, the last one 6.
    const QStringList common{"--chars", "U+4E00-U+4FEF", "-s", "32", "-c", "32x32", "--columns", "8", "--outline", "1"};
    auto [code, err] = runCli(common + QStringList{"-o", path("whole.png")});
    ASSERT_EQ(code, 0) << err;
    std::tie(code, err) = runCli(common + QStringList{"--max-size", "256", "-o", path("p.png"), "--fnt",
                                                      path("p.fnt"), "--pitch", "cell", "--json", path("p.json")});
    ASSERT_EQ(code, 0) << err;
    EXPECT_FALSE(QFile::exists(path("p.png")));

    const QImage whole(path("whole.png"));
    ASSERT_EQ(whole.size(), QSize(256, 62 * 32));
    const QString fnt = QString::fromUtf8(readFile(path("p.fnt")));
    EXPECT_TRUE(fnt.contains("scaleW=256 scaleH=256 pages=8 ")) << fnt.left(300).toStdString();
    const QJsonObject json = QJsonDocument::fromJson(readFile(path("p.json"))).object();
    const QJsonArray jsonPages = json["pages"].toArray();
    ASSERT_EQ(jsonPages.size(), 8);
    int top = 0;
    for (int page = 0; page < 8; ++page) {
        const QString name = QStringLiteral("p_%1.png").arg(page);
        const QImage image(path(name));
        EXPECT_EQ(image.size(), QSize(256, page < 7 ? 256 : 192)) << page;
        EXPECT_EQ(image, whole.copy(0, top, 256, image.height())) << page;
        top += image.height();
        EXPECT_TRUE(fnt.contains(QStringLiteral("\npage id=%1 file=\"%2\"\n").arg(page).arg(name))) << page;
        EXPECT_EQ(jsonPages[page].toString(), name);
    }
    const QJsonObject chars = json["chars"].toObject();
    for (int k = 0; k < 496; ++k) {
        const int row = k / 8, page = row / 8, x = k % 8 * 32, y = row % 8 * 32;
        const QString line = QStringLiteral("char id=%1 x=%2 y=%3 width=32 height=32 xoffset=0 yoffset=0 xadvance=32 "
                                            "page=%4 ").arg(0x4E00 + k).arg(x).arg(y).arg(page);
        EXPECT_TRUE(fnt.contains(line)) << line.toStdString();
        const QJsonObject e = chars[QString::number(0x4E00 + k)].toObject();
        EXPECT_EQ(QList<int>({e["page"].toInt(), e["x"].toInt(), e["y"].toInt()}), QList<int>({page, x, y})) << k;
    }

    // As the font sets them, every one of these equal-width characters sits at the same
    // place in its cell, on whichever page.
    std::tie(code, err) = runCli(common + QStringList{"--max-size", "300", "-o", path("f.png"), "--json", path("f.json")});
    ASSERT_EQ(code, 0) << err;
    const QJsonObject fontPitch = QJsonDocument::fromJson(readFile(path("f.json"))).object()["chars"].toObject();
    QSet<QPair<int, int>> insets;
    for (const QJsonValue v : fontPitch) {
        const QJsonObject e = v.toObject();
        insets.insert({e["rectX"].toInt() - e["x"].toInt(), e["rectY"].toInt() - e["y"].toInt()});
    }
    EXPECT_EQ(insets.size(), 1);

    // An output named by its suffix alone gives pages named by their number before it.
    ASSERT_TRUE(QDir(dir.path()).mkdir("x"));
    std::tie(code, err) = runCli({"-t", "AB", "-c", "10x10", "--columns", "1", "--max-size", "10", "-o", path("x/.png")});
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(QDir(path("x")).entryList(QDir::Files | QDir::Hidden), QStringList({"_0.png", "_1.png"}));
}

// Glyphs of a face whose g hangs far below its line, in cells lower than the line, on a
// sheet written in several bands: each band draws the glyphs that reach into it from the
// rows above, as far as the face's box says they may. Plain, the sheet is the painter's;
// with a shadow across the band edges, it is the sheet built whole.
TEST_F(CliBinary, GlyphsReachingPastTheirRowAreDrawnInEveryBandTheyReach) {
    const QString font = testFont("deep.ttf");
    QStringList lines;
    for (int i = 0; i < 60; ++i) lines << QStringLiteral("gAg").repeated(34).left(100 - i % 3);
    const QString text = lines.join(u'\n');
    const QStringList common{"-t", text, "-f", font, "-s", "20", "-c", "20x20"};
    auto [code, err] = runCli(common + QStringList{"-o", path("p.bmp")});
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(differingPixels(path("p.bmp"), drawnSheet(text, plainFace("Karuvo Test Deep", 20), 20, 20, 0xFFFFFF)), 0);
    std::tie(code, err) = runCli(common + QStringList{"--shadow", "3,7", "--shadow-colour", "3050FF", "-o", path("s.bmp")});
    ASSERT_EQ(code, 0) << err;
    const Sheet whole = buildSheet({.text = text, .cellWidth = 20, .cellHeight = 20,
                                    .font = faceDescription("Karuvo Test Deep", 20), .texturePath = {},
                                    .effect = EffectKind::Shadow, .shadowDx = 3, .shadowDy = 7, .shadowColour = 0xFF5030});
    EXPECT_EQ(differingPixels(path("s.bmp"), whole.image.qimage().convertToFormat(QImage::Format_RGB32)), 0);

    // The reach the face's box gives covers the g's ink below its line, with a pixel or two to spare.
    const auto deep = Font::create(faceDescription("Karuvo Test Deep", 20));
    ASSERT_TRUE(deep && deep->ownInkReach());
    QImage g(40, 80, QImage::Format_RGB32);
    g.fill(Qt::black);
    {
        QPainter p(&g);
        p.setFont(deep->qfont());
        p.setPen(Qt::white);
        p.drawText(QPoint(5, 10 + deep->metrics().ascent()), "g");
    }
    int lowest = 0;
    for (int y = 0; y < g.height(); ++y) lowest = hasInk(g, QRect(0, y, g.width(), 1)) ? y : lowest;
    const int below = lowest - (10 + deep->metrics().height() - 1);
    EXPECT_GE(*deep->ownInkReach(), below);
    EXPECT_LE(*deep->ownInkReach(), below + 2);
}

// The colours of a picture.
QSet<QRgb> coloursOf(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y) | 0xFF000000);
    return colours;
}

TEST_F(CliBinary, MonoGlyphsAreThePlainPaintersAliasedOnesAndEffectsStaySharp) {
    const QString text = QStringLiteral("Ag@\u5B57");
    const QStringList common{"-t", text, "-f", "DejaVu Sans", "-s", "24", "-c", "40x40", "--fill", "FF8000", "--mono"};
    const auto [code, err] = runCli(common + QStringList{"-o", path("m.bmp")});
    ASSERT_EQ(code, 0) << err;
    const QImage sheet = QImage(path("m.bmp")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(coloursOf(sheet), QSet<QRgb>({0xFF000000, 0xFFFF8000}));

    // The plain painter's aliased glyphs, centred in their cells by the font's own metrics.
    QFont font = plainFace("DejaVu Sans", 24);
    font.setStyleStrategy(QFont::NoAntialias);
    EXPECT_EQ(sheet, drawnSheet(text, font, 40, 40, 0xFF8000));

    const struct { QStringList effect; QRgb colour; } effects[] = {
        {{"--outline", "2", "--outline-colour", "0000FF"}, 0xFF0000FF},
        {{"--shadow", "2,2", "--shadow-colour", "00FF00"}, 0xFF00FF00}};
    for (const auto& [effect, colour] : effects) {
        const auto [effectCode, effectErr] = runCli(common + effect + QStringList{"-o", path("e.bmp")});
        ASSERT_EQ(effectCode, 0) << effectErr;
        EXPECT_EQ(coloursOf(QImage(path("e.bmp"))), QSet<QRgb>({0xFF000000, 0xFFFF8000, colour})) << effect[0].toStdString();
    }
}

// The arguments, split at spaces ("@" is the test's folder, "%" the test fonts'; "-o @/out.bmp"
// is added when no -o is given), the exit status and what standard error must contain.
using BadRun = std::tuple<std::string, int, std::string>;

class CliBadInput : public CliBinary, public ::testing::WithParamInterface<BadRun> {};

TEST_P(CliBadInput, FailsWithAMessageAndLeavesTheOutputAsItWas) {
    const QByteArray old("an earlier sheet, kept byte for byte");
    ASSERT_TRUE(writeFile(path("out.bmp"), old) && writeFile(path("empty.bmp"), "") && QDir(dir.path()).mkdir("folder.bmp"));
    ASSERT_TRUE(writeFile(path("text.bmp"), "this is plain text, not a picture\n"));
    ASSERT_TRUE(writeFile(path("latin1.txt"), "AB\ncaf\xE9\n"));
    ASSERT_TRUE(QFile::link(path("out.bmp"), path("alias.fnt")) && ::link(QFile::encodeName(path("out.bmp")), QFile::encodeName(path("hard.json"))) == 0);
    const QByteArray whole = encodeBmp24(Image(40, 40), 40, 40);
    ASSERT_TRUE(writeFile(path("truncated.bmp"), whole.left(whole.size() / 2)));
    // Headers that claim 8200 x 8200 pixels, more than will be decoded, and a width of -2^31.
    ASSERT_TRUE(writeFile(path("huge.bmp"), whole.left(54).replace(18, 8, QByteArray::fromHex("0820000008200000")) + QByteArray(1024, 0)));
    ASSERT_TRUE(writeFile(path("intmin.bmp"), whole.left(54).replace(18, 4, QByteArray::fromHex("00000080")) + QByteArray(64, 0)));
    // A PNG whose header chunk fails its checksum.
    ASSERT_TRUE(writeFile(path("crc.png"), QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200000004000000040802000000"
                                                               "27f8a2ff0000000049454e44ae426082")));
    const QStringList before = entries();

    const auto& [line, exitCode, message] = GetParam();
    QStringList args = QString::fromStdString(line).replace("@", dir.path()).replace("%", testFonts()).split(' ');
    if (!args.contains("-o")) args << "-o" << path("out.bmp");
    const auto [code, err] = runCli(args);
    EXPECT_EQ(code, exitCode) << err;
    EXPECT_TRUE(allPrefixed(err)) << err;
    const std::string expected = QString::fromStdString(message).replace("@", dir.path()).replace("%", testFonts()).toStdString();
    EXPECT_NE(err.find(expected), std::string::npos) << err;
    EXPECT_EQ(readFile(path("out.bmp")), old);
    EXPECT_EQ(entries(), before) << "a file was left behind";
}

// Tests run as root, for whom permission bits do not stop a write, so the folder
// that cannot take files is /proc.
const BadRun kBadRuns[] = {
    {"-t A -c 100000x100000", 1, "A sheet of 100000 x 100000 pixels does not fit in memory"},
    {"-t AB -c 2147483647x1", 1, "each side can be at most 4194304 pixels"},
    {"-t A --shadow 1e20,0", 2, "--shadow: the offset 1e20 is too large"},
    {"-t A -s 12\n", 2, "-s: the value \"12\\n\" holds a control character"},
    {"-t A -o @/a\"b.bmp --fnt @/a.fnt", 2, "\"a\"b.bmp\", holds a double quote"},
    {"-t A -o @/out.bmp --fnt @/x.fnt --json @/x.fnt", 2, "--fnt and --json name the same file"},
    {"-t A -o @/out.bmp --json @/folder.bmp/../out.bmp", 2, "-o and --json name the same file"},
    {"-t A -o @/out.bmp --fnt @/alias.fnt", 2, "-o and --fnt name the same file"},
    {"-t A -o @/out.bmp --json @/hard.json", 2, "-o and --json name the same file"},
    {"-t A --outline abc", 2, "is not a number; give a whole number from 0 to 10\nkaruvo-cli: see karuvo-cli --help"},
    {"-t A --texture @/none.bmp", 1, "no such file"},
    {"-t A --texture @/folder.bmp", 1, "it is a folder"},
    {"-t A --texture @/empty.bmp", 1, "the file is empty"},
    {"-t A --texture @/truncated.bmp", 1, "truncated"},
    {"-t A --texture @/intmin.bmp", 1, "truncated"},
    {"-t A --texture @/crc.png", 1, "IHDR: CRC error"},
    {"-t A --texture @/text.bmp", 1, "it is not an image of a readable format (bmp, "},
    {"-t A --texture @/huge.bmp", 1, "too large to load"},
    {"-t A -o @/folder.bmp", 1, "it is a folder"},
    {"-t A -o /proc/karuvo-sheet.bmp", 1, "karuvo-cli: Cannot write"},
    {"-t A -o @/out.bmp --fnt /proc/karuvo-none/a.fnt", 1, "Cannot make the folder \"/proc/karuvo-none\""},
    {"-t A -f @/none.ttf", 1, "the font file \"@/none.ttf\": no such file; give -f an existing font file"},
    {"-t A -f @/folder.bmp", 1, "the font file \"@/folder.bmp\": it is a folder; give -f one font file in it"},
    {"-t A -f @/text.bmp", 1, "it is not a font that can be opened; give -f a TrueType or OpenType file"},
    {"-t A -f %/not-a-font.ttf", 1, "it is not a font that can be opened"},
    {"-t A -f %/pair.ttc --face-index 2", 1, "Cannot use face 2 of the font file \"%/pair.ttc\": it has 2 faces; "
                                             "give --face-index 0 to 1"},
    {"-t A -f %/renamed.ttf --face-index 1", 1, "it has 1 face; give --face-index 0\n"},
    // A glyph that FreeType cannot rasterise, which the font engine would read past.
    {"-t AV -s 40 -f %/damaged.ttf", 1, "the glyph of U+0056 V is damaged and cannot be drawn at 40 pixels"},
    {"-t A -f DejaVu --face-index 1", 1, "\"DejaVu\" is a family name; give -f a font file or drop --face-index"},
    {"-t A -f %/pair.ttc --face-index -1", 2, "--face-index: the face index -1 is out of range"},
    {"-t ABCDEFGH -c 32x32 --max-size 200", 1, "A row of the sheet is 256 pixels wide and does not fit on pages of "
                                               "at most 200 x 200 pixels; give at most 6 cells to a row with --columns"},
    {"-t ABCDEF -c 10x10 --columns 2 --max-size 20 --fnt /proc/karuvo-none/a.fnt", 1, "Cannot make the folder"},  // nor a page
    {"-t ABCDEF -c 10x10 --columns 2 --max-size 20 --json @/out_1.bmp", 1, "would replace a page of the sheet"},
    {"-t ABCDEFGHIJK -c 10x10 --columns 1 --max-size 10 --fnt @/s.fnt --fnt-format binary", 1,
     "cannot name pages of different lengths (\"out_0.bmp\" and \"out_10.bmp\")"},
    {"-t A -c 10x300 --max-size 200", 1, "A row of the sheet is 300 pixels tall and does not fit on pages of at most "
                                         "200 x 200 pixels; give a lower cell with -c"},
    {"-T @/latin1.txt", 1, "is not valid UTF-8: the byte at offset 6 (0xE9)"},
    {"-t A -o @/sheet.tga --fnt @/s.fnt", 2, "does not end in .bmp or .png"},
    {"-t A --fnt @/s.fnt --fnt-format json", 2, "\"json\" is not one of text, xml, binary"},
    {"-t A --fnt @/s.fnt --pitch 3", 2, "the pitch \"3\" is not one of font, cell"},
    {"-t A -c 70000x8 -o @/big.png --fnt @/big.fnt --fnt-format binary", 1, "cannot hold a sheet width of 70000"}};
INSTANTIATE_TEST_SUITE_P(CliBinary, CliBadInput, ::testing::ValuesIn(kBadRuns));

// The nodes are made in the test's folder: a fault here must not destroy the machine's own.
TEST_F(CliBinary, DevicesAndFifosAreRefusedAndLeftAlone) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    const bool device = ::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const struct { QString output; bool (*kind)(mode_t); } nodes[] = {
        {path("fifo"), [](mode_t m) { return S_ISFIFO(m); }}, {path("null"), [](mode_t m) { return S_ISCHR(m); }}};
    for (const auto& n : nodes) {
        if (!QFileInfo::exists(n.output)) continue;
        const auto [code, err] = runCli({"-t", "A", "-o", path("out.bmp"), "--json", n.output});
        EXPECT_EQ(code, 1) << err;
        EXPECT_NE(err.find("is not a regular file"), std::string::npos) << err;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(n.output).constData(), &st), 0);
        EXPECT_TRUE(n.kind(st.st_mode)) << n.output.toStdString() << " was replaced";
        EXPECT_FALSE(QFile::exists(path("out.bmp"))) << "the sheet was written although its descriptor was not";
    }
    if (!device) GTEST_SKIP() << "no device node can be made here; the fifo was checked";
}

// The first character alone already makes the line too wide: the sheet named is the one
// of its width, not of the widest character a full measure would find.
TEST_F(CliBinary, ALineTooWideIsRefusedBeforeItIsMeasuredInFull) {
    ASSERT_TRUE(writeFile(path("line.txt"), "i" + QByteArray(999'999, 'W')));
    const auto [code, err] = runCli({"-T", path("line.txt"), "-f", "DejaVu Sans", "-s", "20", "-o", path("out.bmp")});
    EXPECT_EQ(code, 1) << err;
    const QFontMetrics m(plainFace("DejaVu Sans", 20));
    EXPECT_NE(err.find(QStringLiteral("A sheet of %1 x %2 pixels is too large: each side can be at most 4194304 pixels")
                           .arg(1'000'000 * m.horizontalAdvance('i')).arg(m.height()).toStdString()),
              std::string::npos) << err;
}
