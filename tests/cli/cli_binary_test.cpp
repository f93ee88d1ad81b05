// Runs the real karuvo-cli program and checks what it writes and says.
#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cmath>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "platform/image_io.h"
#include "sheet/builder.h"
#include "support/cli_process.h"

using namespace karuvo;
using namespace karuvo::fakes;

namespace {

QJsonObject jsonIn(const QString& file) { return QJsonDocument::fromJson(readFile(file)).object(); }

QList<int> ints(const QJsonObject& o, const QStringList& keys) {
    QList<int> values;
    for (const QString& k : keys) values << o[k].toInt();
    return values;
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
        for (const uint c : QString(text).remove(u'\n').toUcs4())
            cellWidth = std::max(cellWidth, m.horizontalAdvance(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1)));
        cellHeight = m.height();
    } else {
        args << "-c" << QStringLiteral("%1x%1").arg(givenCell);
    }
    const std::string err = succeeded(args);
    EXPECT_NE(err.find(QStringLiteral("cells of %1 x %2 ").arg(cellWidth).arg(cellHeight).toStdString()), std::string::npos) << err;
    EXPECT_EQ(rgb32(path("s.bmp")), drawnSheet(text, plain, cellWidth, cellHeight, fill));
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

TEST_F(CliBinary, ListedCharactersFillWrappedRowsInCodePointOrder) {
    // Six characters (C listed twice) in four columns: two rows, the second half full.
    const std::string err = succeeded({"--chars", "U+0043-U+0045,A,U+002C", "--chars", "B,C", "--columns", "4", "-c",
                                     "10x12", "-o", path("c.bmp"), "--json", path("c.json")});
    EXPECT_EQ(err.rfind("karuvo-cli: sheet 40 x 24 pixels, cells of 10 x 12 in 4 columns and 2 rows (8 cells), 6 characters", 0), 0u) << err;
    EXPECT_EQ(rgb32(path("c.bmp")), drawnSheet(",ABC\nDE", plainFace("IPAGothic", 12), 10, 12, 0xFFFFFF));
    const QJsonObject json = jsonIn(path("c.json"));
    EXPECT_EQ(ints(json, {"columns", "rows"}), QList<int>({4, 2}));
    const char32_t order[] = {U',', U'A', U'B', U'C', U'D', U'E'};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ints(json["chars"][QString::number(order[i])].toObject(), {"column", "row", "x", "y"}),
                  QList<int>({i % 4, i / 4, i % 4 * 10, i / 4 * 12})) << i;
    // Sets and lists add up, and without --columns take sixteen to a row: 93 hiragana
    // and 96 katakana (one of them listed again) in twelve rows.
    EXPECT_NE(succeeded({"--charset", "hiragana", "--chars", "U+30A2", "--charset", "katakana", "-c", "12x12", "-o", path("h.bmp")})
                  .find("sheet 192 x 144 pixels, cells of 12 x 12 in 16 columns and 12 rows (192 cells), 189 characters"),
              std::string::npos);
}

// Without fallback, the same characters leave their cells empty and are named so.
TEST_F(CliBinary, LackedCharactersAreReportedOnceWithTheFaceThatDrawsThemOrNone) {
    // U+0938 (Devanagari) is in no installed face; it gets the missing-glyph box.
    const QString text = "A" + QString::fromUcs4(U"\U0001F600") + QStringLiteral("\u4E00\u4E00\u0938");
    for (const bool fallback : {true, false}) {
        QStringList args{"-t", text, "-f", "DejaVu Sans", "-c", "10x12", "-o", path("e.bmp")};
        if (!fallback) args << "--no-fallback";
        const std::string err = succeeded(args);
        const QImage sheet = rgb32(path("e.bmp")), empty = drawnSheet(" ", QFont(), 10, 12, 0);  // black
        ASSERT_EQ(sheet.size(), QSize(50, 12));
        EXPECT_NE(sheet.copy(0, 0, 10, 12), empty);
        EXPECT_EQ(sheet.copy(30, 0, 10, 12) != empty, fallback);  // the second U+4E00
        EXPECT_EQ(sheet.copy(40, 0, 10, 12) != empty, fallback) << "the missing-glyph box";
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
    // The file and face, the family it is named by, and the installed face that draws alike.
    const struct { QString file; int face; const char* family; bool bold, italic; const char* drawnBy = "DejaVu Sans"; } cases[] = {
        {fonts + "/renamed.ttf", -1, "Karuvo Test Sans", false, false},
        {fonts + "/pair.ttc", 1, "Karuvo Test Serif", false, false, "DejaVu Serif"},
        // Faces of one family, told apart by their weight and slant.
        {fonts + "/weights.ttc", 0, "Karuvo Test Weights", false, false},
        {fonts + "/weights.ttc", 1, "Karuvo Test Weights", true, false},
        {fonts + "/weights.ttc", 2, "Karuvo Test Weights", false, true},
        // A face that shares its family with an installed one is told apart by its weight.
        {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 0, "DejaVu Sans", true, false}};
    for (const auto& [file, face, family, bold, italic, drawnBy] : cases) {
        SCOPED_TRACE(testing::Message() << file.toStdString() << " face " << face);
        QFont drawsAs = plainFace(drawnBy, 30, bold);
        drawsAs.setItalic(italic);
        QStringList args{"-t", "Rg&", "-f", file, "-s", "30", "-c", "32x40", "-o", path("face.bmp"), "--fnt", path("face.fnt"),
                         "--fnt-format", "binary"};
        if (face >= 0) args << "--face-index" << QString::number(face);  // -1: a file of one face, named alone
        const std::string err = succeeded(args);
        EXPECT_NE(err.find(QStringLiteral("font \"%1\" 30 px").arg(family).toStdString()), std::string::npos) << err;
        const QByteArray fnt = readFile(path("face.fnt"));
        ASSERT_GT(fnt.size(), 24);
        EXPECT_EQ(fnt.mid(23, qstrlen(family) + 1), QByteArray(family, qstrlen(family) + 1));
        EXPECT_EQ(quint8(fnt[11]), 0xC0 | (drawsAs.italic() ? 0x20 : 0) | (drawsAs.bold() ? 0x10 : 0));
        EXPECT_EQ(rgb32(path("face.bmp")), drawnSheet("Rg&", drawsAs, 32, 40, 0xFFFFFF));
    }
}

TEST_F(CliBinary, AnEffectReachingPastItsCellIsWarnedOfOnceWithTheCellThatHoldsIt) {
    const QFontMetrics metrics(plainFace("DejaVu Sans", 16));
    const int w = metrics.horizontalAdvance('W');
    const struct { QStringList args; QString warning; } cases[] = {
        {{"-c", "16x40", "--outline", "4"}, QStringLiteral("the outline reaches past cells of 16 x 40 pixels into their "
                                                           "neighbours; cells of %1 x 40 would hold it").arg(w + 8)},
        {{"-c", "16x40", "--shadow", "-3,-2"}, QStringLiteral("the shadow reaches past cells of 16 x 40 pixels into "
                                                               "their neighbours; cells of %1 x 40 would hold it").arg(w + 3)},
        {{"--shadow", "-3,-2"}, {}},  // the fitted cell holds a shadow falling either way
        {{"-c", "40x40", "--outline", "4"}, {}}};
    for (const auto& [args, warning] : cases) {
        const std::string err = succeeded(QStringList{"-t", "WW", "-f", "DejaVu Sans", "-s", "16", "-o", path("w.bmp")} + args);
        const QString said = QString::fromStdString(err);
        EXPECT_EQ(said.count("warning:"), warning.isEmpty() ? 0 : 1) << err;
        EXPECT_TRUE(said.contains(warning)) << err << "\n" << warning.toStdString();
    }
}

TEST_F(CliBinary, AMaximumSizeSplitsWholeRowsIntoPagesThatTheDescriptorsList) {
    // 496 characters of 32 px, 8 to a row: 62 rows of 32 x 32 cells, pages of at most
    // 256 x 256 as wide as the rows and 8 rows tall, the last one 6.
    const QStringList common{"--chars", "U+4E00-U+4FEF", "-s", "32", "-c", "32x32", "--columns", "8", "--outline", "1"};
    succeeded(common + QStringList{"-o", path("whole.png")});
    succeeded(common + QStringList{"--max-size", "256", "-o", path("p.png"), "--fnt",
                                                      path("p.fnt"), "--pitch", "cell", "--json", path("p.json")});
    EXPECT_FALSE(QFile::exists(path("p.png")));
    const QImage whole(path("whole.png"));
    ASSERT_EQ(whole.size(), QSize(256, 62 * 32));
    const QJsonObject json = jsonIn(path("p.json"));
    const QJsonArray jsonPages = json["pages"].toArray();
    ASSERT_EQ(jsonPages.size(), 8);
    for (int page = 0, top = 0; page < 8; top += 256, ++page) {
        const QString name = QStringLiteral("p_%1.png").arg(page);
        const QImage image(path(name));
        EXPECT_EQ(image.size(), QSize(256, page < 7 ? 256 : 192)) << page;
        EXPECT_EQ(image, whole.copy(0, top, 256, image.height())) << page;
        EXPECT_EQ(jsonPages[page].toString(), name);
    }
    for (int k = 0; k < 496; ++k) {
        const int row = k / 8;
        EXPECT_EQ(ints(json["chars"][QString::number(0x4E00 + k)].toObject(), {"page", "x", "y"}),
                  QList<int>({row / 8, k % 8 * 32, row % 8 * 32})) << k;
    }

    // Pages of 9 rows, the last of 8: as the font sets them, every one of these
    // equal-width characters sits at the same place in its cell, on whichever page, and
    // the report gives the tallest page's height, which is not the limit's.
    const std::string err = succeeded(common + QStringList{"--max-size", "300", "-o", path("f.png"), "--json", path("f.json")});
    QSet<QPair<int, int>> insets;
    for (const QJsonValue v : jsonIn(path("f.json"))["chars"].toObject())
        insets.insert({v["rectX"].toInt() - v["x"].toInt(), v["rectY"].toInt() - v["y"].toInt()});
    EXPECT_EQ(insets.size(), 1);
    const int tallest = QImage(path("f_0.png")).height();  // the last page is the shorter
    ASSERT_GT(tallest, QImage(path("f_6.png")).height());
    EXPECT_NE(err.find(QStringLiteral(" pages of 256 x at most %1 pixels").arg(tallest).toStdString()), std::string::npos) << err;

    // An output named by its suffix alone gives pages named by their number before it;
    // one page is numbered too.
    ASSERT_TRUE(QDir(dir.path()).mkdir("x"));
    succeeded({"-t", "AB", "-c", "10x10", "--columns", "1", "--max-size", "10", "-o", path("x/.png")});
    succeeded({"-t", "AB", "-c", "10x10", "--max-size", "20", "-o", path("x/one.png")});
    EXPECT_EQ(QDir(path("x")).entryList(QDir::Files | QDir::Hidden), QStringList({"_0.png", "_1.png", "one_0.png"}));
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
    succeeded(common + QStringList{"-o", path("p.bmp")});
    EXPECT_EQ(rgb32(path("p.bmp")), drawnSheet(text, plainFace("Karuvo Test Deep", 20), 20, 20, 0xFFFFFF));
    succeeded(common + QStringList{"--shadow", "3,7", "--shadow-colour", "3050FF", "-o", path("s.bmp")});
    const Sheet whole = buildSheet({.text = text, .cellWidth = 20, .cellHeight = 20,
                                    .font = faceDescription("Karuvo Test Deep", 20), .texturePath = {},
                                    .effect = EffectKind::Shadow, .shadowDx = 3, .shadowDy = 7, .shadowColour = 0xFF5030});
    EXPECT_EQ(rgb32(path("s.bmp")), whole.image.qimage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(CliBinary, MonoGlyphsAreThePlainPaintersAliasedOnesAndEffectsStaySharp) {
    const auto coloursOf = [](const QImage& rgb) {  // rows of 32-bit pixels, nothing between them
        const auto* pixels = reinterpret_cast<const QRgb*>(rgb.constBits());
        return QSet<QRgb>(pixels, pixels + rgb.sizeInBytes() / 4);
    };
    const QString text = QStringLiteral("Ag@\u5B57");
    const QStringList common{"-t", text, "-f", "DejaVu Sans", "-s", "24", "-c", "40x40", "--fill", "FF8000", "--mono"};
    succeeded(common + QStringList{"-o", path("m.bmp")});
    // The plain painter's aliased glyphs, centred in their cells by the font's own metrics.
    QFont font = plainFace("DejaVu Sans", 24);
    font.setStyleStrategy(QFont::NoAntialias);
    EXPECT_EQ(rgb32(path("m.bmp")), drawnSheet(text, font, 40, 40, 0xFF8000));
    for (const auto& [effect, colour] : {std::pair(QStringList{"--outline", "2", "--outline-colour", "0000FF"}, 0xFF0000FFu),
                                         {{"--shadow", "2,2", "--shadow-colour", "00FF00"}, 0xFF00FF00u}}) {
        succeeded(common + effect + QStringList{"-o", path("e.bmp")});
        EXPECT_EQ(coloursOf(rgb32(path("e.bmp"))), QSet<QRgb>({0xFF000000, 0xFFFF8000, colour})) << effect[0].toStdString();
    }
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

// A run and what it must do: its arguments, split at spaces ("@" is the test's folder, "%"
// the test fonts'; "-o @/out.bmp" is added when no -o is given), its exit status and what
// standard error must hold. A refused run leaves every file of the folder as it was; one
// that succeeds writes its -o.
struct Run {
    const char* args;
    int exit;
    std::string said;
};
void PrintTo(const Run& r, std::ostream* os) { *os << r.args; }

class CliRuns : public CliBinary, public ::testing::WithParamInterface<Run> {
protected:
    void SetUp() override {
        const QByteArray whole = encodeBmp24(Image(40, 40), 40, 40), texture = encodeBmp24(patterned(8, 8), 8, 8);
        ASSERT_TRUE(writeFile(path("out.bmp"), "an earlier sheet, kept byte for byte") && writeFile(path("empty.bmp"), "") &&
                    QDir(dir.path()).mkdir("folder.bmp") && QFile::link(path("folder.bmp"), path("link")) &&
                    writeFile(path("text.bmp"), "this is plain text, not a picture\n") &&
                    writeFile(path("latin1.txt"), "AB\ncaf\xE9\n") && writeFile(path("text.txt"), "AB") &&
                    writeFile(path("f.karuvo"), R"({"karuvo": 1, "text": "A", "output": {"sheet": "f.png", "distanceRange": 4}})") &&
                    writeFile(path("b.karuvo"), R"({"karuvo": 1, "text": "A", "output": {"sheet": "b.png", "fnt": "b.fnt", "fntFormat": "binary"}})") &&
                    writeFile(path("tex.bmp"), texture) && writeFile(path("p_1.bmp"), texture) &&
                    QFile::copy("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", path("font.ttf")) &&
                    QFile::link(path("font.ttf"), path("link.fnt")) && QFile::link(path("out.bmp"), path("alias.fnt")) &&
                    ::link(QFile::encodeName(path("out.bmp")), QFile::encodeName(path("hard.json"))) == 0 &&
                    writeFile(path("truncated.bmp"), whole.left(whole.size() / 2)) &&
                    // Headers that claim 8200 x 8200 pixels, more than will be decoded, and a width of -2^31.
                    writeFile(path("huge.bmp"), whole.left(54).replace(18, 8, QByteArray::fromHex("0820000008200000")) + QByteArray(1024, 0)) &&
                    writeFile(path("intmin.bmp"), whole.left(54).replace(18, 4, QByteArray::fromHex("00000080")) + QByteArray(64, 0)) &&
                    // A PNG whose header chunk fails its checksum.
                    writeFile(path("crc.png"), QByteArray::fromHex("89504e470d0a1a0a0000000d494844520000000400000004080200"
                                                                   "000027f8a2ff0000000049454e44ae426082")) &&
                    ::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0 &&
                    ::mknod(QFile::encodeName(path("sock")).constData(), S_IFSOCK | 0600, 0) == 0);
        // A device node of the test's own: a fault here must not destroy the machine's.
        device = ::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    }
    bool device = false;
};

TEST_P(CliRuns, EndWithTheirStatusAndMessage) {
    const auto& [line, exitCode, message] = GetParam();
    const auto filled = [&](QString s) { return s.replace("@", dir.path()).replace("%", testFonts()); };
    QStringList args = filled(line).split(u' ').replaceInStrings("^", QString(5000, u'9'));
    if (!args.contains("-o") && !args.contains("--project")) args << "-o" << path("out.bmp");
    if (!device && args.contains(path("null"))) GTEST_SKIP() << "no device node can be made here";
    const auto before = filesIn(dir.path());
    const auto [code, err] = runCli(args, {}, 60000);  // an input that is waited on fails the run
    EXPECT_EQ(code, exitCode) << err;
    EXPECT_FALSE(QString::fromStdString(err).contains(QRegularExpression("^(?!karuvo-cli: |$)", QRegularExpression::MultilineOption)))
        << err;  // every line is the program's own
    EXPECT_NE(err.find(filled(QString::fromStdString(message)).toStdString()), std::string::npos) << err;
    if (exitCode == 0) {
        EXPECT_FALSE(QImage(args[args.indexOf("-o") + 1]).isNull());
    } else {
        EXPECT_EQ(filesIn(dir.path()), before) << "a file was changed or left behind";
    }
}

const std::string kSdfRange = "; give the distance range in pixels, a whole number from 1 to 64\n";
const std::string kSdfEffect = " exclude each other: a distance field holds the glyphs' shape alone, effects belong in "
                               "the shader; drop one of them\nkaruvo-cli: see karuvo-cli --help for the options\n";

const std::string kOneColour = " exclude each other: colour glyphs keep their own colours, and ";

// Tests run as root, for whom permission bits do not stop a write, so the folder
// that cannot take files is /proc.
const Run kRuns[] = {
    {"-t A -c 100000x100000", 1, "A sheet of 100000 x 100000 pixels does not fit in memory"},
    {"-t AB -c 2147483647x1", 1, "each side can be at most 4194304 pixels"},
    {"-t A --shadow 1e20,0", 2, "--shadow: the offset 1e20 is too large"}, {"-t A --shadow 2147483647,0", 1, "width (6 + 2147483647) does not fit"},
    {"-t A -o @/a\"b.bmp --fnt @/a.fnt", 2, "\"a\"b.bmp\", holds a double quote"},
    // Two names of one file, and an output that is an input, whatever the names.
    {"-t A -o @/out.bmp --fnt @/x.fnt --json @/x.fnt", 2, "--fnt and --json name the same file"},
    {"-t A -o @/out.bmp --json @/folder.bmp/../out.bmp", 2, "-o and --json name the same file"},
    {"-t A -o @/out.bmp --fnt @/alias.fnt", 2, "-o and --fnt name the same file"},
    {"-t A -o @/out.bmp --json @/hard.json", 2, "-o and --json name the same file"},
    {"-t A -o @/folder.bmp/x.png --fnt @/link/x.png", 2, "-o and --fnt name the same file"},  // a new file, through a link
    {"-f @/font.ttf -t AB -o @/y.png --fnt @/link.fnt", 2, "--fnt \"@/link.fnt\" is the file that -f reads (\"@/font.ttf\")"},
    {"-T @/text.txt -o @/y.png --json @/text.txt", 2, "--json \"@/text.txt\" is the file that -T reads"},
    {"-t A --texture @/tex.bmp -o @/./tex.bmp", 2, "-o \"@/./tex.bmp\" is the file that --texture reads"},
    {"-T @/text.txt -o @/y.png --save-project @/text.txt", 2, "--save-project \"@/text.txt\" is the file that -T reads"},
    {"--project @/b.karuvo -o @/s.bmp --json @/b.karuvo", 2, "karuvo-cli: --json \"@/b.karuvo\" is the file that --project "
     "reads (\"@/b.karuvo\"); an output must not replace an input, give it another name\n"},
    {"-t AB --texture @/none.png -o @/s.bmp --save-project @/new.karuvo", 1, "no such file"},  // a project saved only with its outputs
    // A page of the sheet, known only once the sheet is laid out.
    {"-t ABCD -c 8x8 --columns 1 --max-size 8 --texture @/p_1.bmp -o @/p.bmp", 2,
     "-o \"@/p_1.bmp\" is the file that --texture reads (\"@/p_1.bmp\")"},
    // Inputs that cannot be read, named for what they are and never waited on.
    {"-t A --texture @/none.bmp", 1, "no such file"}, {"-t A --texture @/folder.bmp", 1, "it is a folder, not an image file"},
    {"-t A --texture @/empty.bmp", 1, "the file is empty"}, {"-t A --texture @/truncated.bmp", 1, "truncated"},
    {"-t A --texture @/intmin.bmp", 1, "truncated"}, {"-t A --texture @/crc.png", 1, "IHDR: CRC error"},
    {"-t A --texture @/text.bmp", 1, "it is not an image of a readable format (bmp, "},
    {"-t A --texture @/huge.bmp", 1,
     "huge.bmp\": the image is 8200 x 8200 pixels, too large to load (at most 67108864 pixels); give --texture a smaller picture\n"},
    {"-t A --texture @/fifo", 1, "it is a named pipe, not an image file"}, {"-t A -f /dev/null", 1, "it is a device, not a font file"},
    {"-T @/sock", 1, "it is a socket, not a text file"}, {"-T @/folder.bmp", 1, "it is a folder, not a text file"},
    {"-t A --project @/fifo", 1, "it is a named pipe, not a project file"},
    {"-T @/latin1.txt", 1, "is not valid UTF-8: the byte at offset 6 (0xE9)"},
    {"-t A -f @/none.ttf", 1, "the font file \"@/none.ttf\": no such file; give -f an existing font file"},
    {"-t A -f @/folder.bmp", 1, "the font file \"@/folder.bmp\": it is a folder; give -f one font file in it"},
    {"-t A -f %/not-a-font.ttf", 1, "it is not a font that can be opened; give -f a TrueType or OpenType file"},
    {"-t A -f %/pair.ttc --face-index 2", 1, "Cannot use face 2 of the font file \"%/pair.ttc\": it has 2 faces; "
                                             "give --face-index 0 to 1"},
    {"-t A -f %/renamed.ttf --face-index 1", 1, "it has 1 face; give --face-index 0\n"},
    // A glyph that FreeType cannot rasterise, which the font engine would read past.
    {"-t AV -s 40 -f %/damaged.ttf", 1, "the glyph of U+0056 V is damaged and cannot be drawn at 40 pixels"},
    {"-t A -f DejaVu --face-index 1", 1, "\"DejaVu\" is a family name; give -f a font file or drop --face-index"},
    {"-t A -f %/pair.ttc --face-index -1", 2, "--face-index: the face index -1 is out of range"},
    // Outputs that cannot be written.
    {"-t A -o @/folder.bmp", 1, "it is a folder"}, {"-t A -o /proc/karuvo-sheet.bmp", 1, "karuvo-cli: Cannot write"},
    {"-t A --json @/fifo", 1, "is not a regular file"}, {"-t A --json @/null", 1, "is not a regular file"},
    {"-t A -o @/sheet.tga --fnt @/s.fnt", 2, "does not end in .bmp or .png"},
    {"-t A --fnt @/s.fnt --fnt-format json", 2, "\"json\" is not one of text, xml, binary"},
    {"-t A -c 70000x8 -o @/big.png --fnt @/big.fnt --fnt-format binary", 1, "cannot hold a sheet width of 70000"},
    // Pages.
    {"-t ABCDEFGH -c 32x32 --max-size 200", 1, "A row of the sheet is 256 pixels wide and does not fit on pages of "
                                               "at most 200 x 200 pixels; give at most 6 cells to a row with --columns"},
    {"-t A -c 10x300 --max-size 200", 1, "A row of the sheet is 300 pixels tall and does not fit on pages of at most "
                                         "200 x 200 pixels; give a lower cell with -c"},
    {"-t ABCDEF -c 10x10 --columns 2 --max-size 20 --fnt /proc/karuvo-none/a.fnt", 1, "Cannot make the folder"},  // nor a page
    {"-t ABCDEF -c 10x10 --columns 2 --max-size 20 --json @/out_1.bmp", 1, "would replace a page of the sheet"},
    {"-t ABCDEFGHIJK -c 10x10 --columns 1 --max-size 10 --fnt @/s.fnt --fnt-format binary", 1,
     "cannot name pages of different lengths (\"out_0.bmp\" and \"out_10.bmp\")"},
    // Distance fields.
    {"-t A --sdf 0 -o @/o.png", 2, "karuvo-cli: --sdf: the distance range 0 is out of range" + kSdfRange},
    {"-t A --sdf 65 -o @/o.png", 2, "karuvo-cli: --sdf: the distance range 65 is out of range" + kSdfRange},
    {"-t A --sdf 64 -o @/s.png", 0, "karuvo-cli: sheet "},
    {"-t A --sdf 8 --shadow 1,1 -o @/o.png", 2, "karuvo-cli: --sdf and --shadow" + kSdfEffect},
    {"-t A --sdf 8 --texture @/tex.bmp -o @/o.png", 2, "karuvo-cli: --sdf and --texture" + kSdfEffect},
    {"-t A --sdf 8 --mono -o @/o.png", 2, "karuvo-cli: --sdf and --mono" + kSdfEffect},
    {"-t A --sdf 8", 2, "karuvo-cli: --sdf needs a PNG sheet, whose alpha holds the field; give -o a name ending in .png\n"},
    {"-t A --sdf 8 --fnt @/f.fnt --fnt-format binary -o @/o.png", 2,
     "karuvo-cli: --sdf and --fnt-format binary exclude each other: the binary form cannot say that the page is a distance "
     "field; give --fnt-format text or xml\n"},
    {"-t A --colour-glyphs --sdf 8 -o @/o.png", 2, "--colour-glyphs and --sdf" + kOneColour + "--sdf rests on glyphs drawn in one"},
    {"-t A --colour-glyphs --mono", 2, "--colour-glyphs and --mono" + kOneColour + "--mono rests on glyphs drawn in one"},
    {"-t A --colour-glyphs --texture @/tex.bmp", 2, "--colour-glyphs and --texture" + kOneColour + "--texture rests on glyphs drawn in one"},
    {"-t A --colour-glyphs --shadow 1,1", 2, "--colour-glyphs and --shadow" + kOneColour + "--shadow rests on glyphs drawn in one"},
    {"-t A --colour-glyphs --outline 1", 2, "--colour-glyphs and --outline" + kOneColour + "--outline rests on glyphs drawn in one"},
    // Settings from a project are named by its keys; a value thousands of characters long by its start.
    {"--project @/f.karuvo -o @/f.bmp", 2, "karuvo-cli: the project's output.distanceRange needs a PNG sheet"},
    {"--project @/b.karuvo --sdf 4", 2, "karuvo-cli: --sdf and the project's output.fntFormat \"binary\" exclude each other"},
    {"--project @/f.karuvo --json @/x.json", 2, "--json replaces all of the project's outputs, its sheet among them ("},
    {"-t A\nB -c 8x8 --max-size 8 -o @/x.png --save-project @/x_1.png", 2, "-o and --save-project name the same file (\"@/x_1"},
    {"-t A -s ^", 2, "-s: the font size " + std::string(60, '9') + "\u2026 (5000 characters) is out of range"},
    {"-t A --fill ^", 2, "--fill: the colour \"" + std::string(60, '9') + "\u2026\" (5000 characters) is not six"},
    {"-t A -c 8x8 --shadow 2147483647,0", 0, "no cell that -c takes would hold it (each side at most 4194304 pixels)\n"},
    // Characters no face has a glyph for are named by their code point alone.
    {"-t A\u2028B\u2029 -c 8x8", 0, "(4 cells), 4 characters, font \"IPAGothic\" 12 px\nkaruvo-cli: U+2028 is not in \"IPAGothic\"; no "
                                 "installed face has it, so its cell shows the missing-glyph box\nkaruvo-cli: U+2029 is not in"}};
INSTANTIATE_TEST_SUITE_P(CliBinary, CliRuns, ::testing::ValuesIn(kRuns));

// In a folder with the sticky bit only the owner of a file, or of the folder, may replace
// the file. Root may replace any, so the runs are made as the user nobody (65534).
TEST_F(CliBinary, AStickyFolderLetsOnlyTheFilesOrTheFoldersOwnerReplaceIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "runs as another user only when started as root";
    const QByteArray folder = QFile::encodeName(dir.path()), file = QFile::encodeName(path("o.bmp"));
    for (const auto& [folderOwner, fileOwner, refused] : {std::tuple{0u, 0u, true}, {0u, 65534u, false}, {65534u, 0u, false}}) {
        ASSERT_TRUE(writeFile(path("o.bmp"), "old"));
        ASSERT_EQ(::chmod(folder, 01777) | ::chown(folder, folderOwner, 0) | ::chmod(file, 0666) | ::chown(file, fileOwner, 0), 0);
        const auto [code, err] = runCli({"--reuid=65534", "--regid=65534", "--clear-groups", KARUVO_CLI_PATH, "-t", "A", "-o",
                                         path("o.bmp")}, {}, 300000, "setpriv");
        EXPECT_EQ(std::tuple(code, err.find("\" lets only the file's owner replace it") != std::string::npos, readFile(path("o.bmp")) == "old"),
                  std::tuple(refused ? 1 : 0, refused, refused)) << err;
    }
}

// With the font's pitch a character's rectangle holds its ink where that lies beyond its
// box: the ink as FreeType outlines the glyph, whole pixels from the pen. Ink reaching
// past the cell is cut there, and the run says which characters and the least cell that
// holds them, which it then does.
TEST_F(CliBinary, ARectangleHoldsItsGlyphsInkAndInkPastItsCellIsWarnedOf) {
    const QString font = testFont("reach.ttf");  // its x reaches left of the pen, past the advance and above the line
    FT_Library library;
    FT_Face face;
    FT_BBox ink;
    ASSERT_FALSE(FT_Init_FreeType(&library) || FT_New_Face(library, font.toUtf8().constData(), 0, &face) ||
                 FT_Set_Pixel_Sizes(face, 0, 40) || FT_Load_Char(face, 'x', FT_LOAD_NO_HINTING));
    FT_Outline_Get_CBox(&face->glyph->outline, &ink);
    // A glyph whose own box is not measured may reach as far past the line as the face's
    // box of all glyphs (as FreeType reads it) rounded out, and a pixel more.
    for (const auto& [file, family] : {std::pair{"deep.ttf", "Karuvo Test Deep"}, {"reach.ttf", "Karuvo Test Reach"}}) {
        ASSERT_FALSE(FT_New_Face(library, testFont(file).toUtf8().constData(), 0, &face));  // the x's face is done with
        const double s = 40.0 / face->units_per_EM;
        const QFontMetrics fm(plainFace(family, 40));
        const double above = std::ceil(face->bbox.yMax * s) - fm.ascent(), below = std::ceil(-face->bbox.yMin * s) - fm.descent();
        EXPECT_EQ(Font::create(faceDescription(family, 40))->ownInkReach(), 1 + std::max({0.0, above, below})) << file;
    }
    FT_Done_FreeType(library);
    const QFontMetrics m(plainFace("Karuvo Test Reach", 40));
    const int left = std::min<int>(0, std::floor(ink.xMin / 64.0)), top = std::min<int>(0, m.ascent() - std::ceil(ink.yMax / 64.0));
    const QList<int> want{left, top, std::max<int>(m.horizontalAdvance('x'), std::ceil(ink.xMax / 64.0)) - left, m.height() - top};
    const QStringList run{"-t", "xax", "-f", font, "-s", "40", "-o", path("r.png"), "--json", path("r.json")};
    succeeded(run + QStringList{"-c", "60x60"});
    const QList<int> got = ints(jsonIn(path("r.json"))["chars"].toObject()["120"].toObject(), {"xoffset", "yoffset", "width", "height"});
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], 1) << i;

    const QRegularExpressionMatch holding = QRegularExpression(R"(warning: the ink of "x" reaches past .*cells of (\d+) x (\d+) would hold it)")
                                                .match(QString::fromStdString(succeeded(run)));
    const int w = holding.captured(1).toInt(), h = holding.captured(2).toInt();
    for (const auto& [cell, warns] : {std::pair(QSize(w, h), false), {QSize(w - 1, h), true}, {QSize(w, h - 1), true}}) {
        const std::string err = succeeded(run + QStringList{"-c", QStringLiteral("%1x%2").arg(cell.width()).arg(cell.height())});
        EXPECT_EQ(err.find("the ink of") != std::string::npos, warns) << err;
    }
}
