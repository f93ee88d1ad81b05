// Runs the real karuvo-cli program and checks what it writes and says.
#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/image_io.h"
#include "sheet/builder.h"
#include "sheet/grid.h"
#include "support/fixtures.h"

using namespace karuvo;
using namespace karuvo::fakes;

namespace {

// The exit status and standard error of one run.
std::pair<int, std::string> runCli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KARUVO_CLI_PATH), args);
    EXPECT_TRUE(p.waitForFinished(300000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "the program crashed";
    return {p.exitCode(), p.readAllStandardError().toStdString()};
}

// Every pixel of the written bitmap against the builder's own sheet.
void expectSamePixels(const QString& bmpPath, const SheetSettings& settings) {
    const Sheet sheet = buildSheet(settings);
    const QImage written(bmpPath);
    ASSERT_EQ(written.size(), QSize(sheet.width, sheet.height));
    EXPECT_TRUE(Image::fromQImage(written) == sheet.image) << "the pixels differ";
}

struct CliBinary : ::testing::Test {
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(CliBinary, TwoLinesMakeAThreeByTwoGridThatTheDescriptorsAgreeWith) {
    const QString text = QStringLiteral("AB\nCDE");
    const auto [code, err] = runCli({"-t", text, "-c", "16x20", "-o", path("s.bmp"), "--pitch", "cell", "--fnt", path("s.fnt"),
                                     "--json", path("s.json")});
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(err.rfind("karuvo-cli: sheet 48 x 40 pixels, cells of 16 x 20", 0), 0u) << err;
    expectSamePixels(path("s.bmp"), {.text = text, .cellWidth = 16, .cellHeight = 20, .font = {}, .texturePath = {}});

    const QString fnt = QString::fromUtf8(readFile(path("s.fnt")));
    EXPECT_TRUE(fnt.startsWith("info face=\"IPAGothic\" size=12 ") && fnt.contains("scaleW=48 scaleH=40 pages=1") &&
                fnt.contains("\npage id=0 file=\"s.bmp\"\nchars count=5\n")) << fnt.toStdString();
    const QJsonObject chars = QJsonDocument::fromJson(readFile(path("s.json"))).object()["chars"].toObject();
    EXPECT_EQ(chars.size(), 5);
    for (const GridCell& c : gridCells(text)) {
        const int x = c.column * 16, y = c.row * 20;
        const QString line = QStringLiteral("char id=%1 x=%2 y=%3 width=16 height=20 xoffset=0 yoffset=0 "
                                            "xadvance=16 ").arg(c.codePoint).arg(x).arg(y);
        EXPECT_TRUE(fnt.contains(line)) << line.toStdString();
        const QJsonObject e = chars[QString::number(c.codePoint)].toObject();
        EXPECT_EQ(QList<int>({e["column"].toInt(), e["row"].toInt(), e["x"].toInt(), e["y"].toInt()}),
                  QList<int>({c.column, c.row, x, y}));
    }
}

TEST_F(CliBinary, AnEmojiTakesOneCellAndALackedCharacterIsReportedOnce) {
    const QString text = "A" + QString::fromUcs4(U"\U0001F600") + QStringLiteral("\u4E00\u4E00");
    const auto [code, err] = runCli({"-t", text, "-f", "DejaVu Sans", "-c", "10x12", "-o", path("e.bmp")});
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(QImage(path("e.bmp")).size(), QSize(40, 12));
    const auto line = QStringLiteral("karuvo-cli: U+4E00 \u4E00 is not in \"DejaVu Sans\"; drawn with \"IPAGothic\"\n");
    EXPECT_EQ(QString::fromStdString(err).count(line), 1) << err;
}

TEST_F(CliBinary, AShadowInAFittedCellMatchesTheBuilder) {
    const QString text = QStringLiteral("Ag\u5B57\nW");
    const auto [code, err] = runCli({"-t", text, "-f", "DejaVu Sans", "-s", "20", "--shadow", "2.5,3",
                                     "--shadow-colour", "#FF0000", "--fill", "00ff80", "-o", path("shadow.bmp")});
    ASSERT_EQ(code, 0) << err;
    const FontDescription font = fakes::faceDescription("DejaVu Sans", 20);
    const CharBox cell = fittedCellSize(text, *Font::create(font), CharBox{2, 3});  // the shadow widens it
    expectSamePixels(path("shadow.bmp"), {.text = text, .cellWidth = cell.width, .cellHeight = cell.height,
                                          .font = font, .fillColour = colourFromRgb(0, 255, 128), .texturePath = {},
                                          .effect = EffectKind::Shadow, .shadowDx = 2, .shadowDy = 3,
                                          .shadowColour = colourFromRgb(255, 0, 0)});
}

// The arguments, split at spaces ("@" is the test's folder; "-o @/out.bmp" is added when no
// -o is given), the exit status and what standard error must contain.
using BadRun = std::tuple<std::string, int, std::string>;

class CliBadInput : public CliBinary, public ::testing::WithParamInterface<BadRun> {};

TEST_P(CliBadInput, FailsWithAMessageAndLeavesTheOutputAsItWas) {
    const QByteArray old("an earlier sheet, kept byte for byte");
    ASSERT_TRUE(writeFile(path("out.bmp"), old) && writeFile(path("empty.bmp"), "") && QDir(dir.path()).mkdir("folder.bmp"));
    ASSERT_TRUE(writeFile(path("text.bmp"), "this is plain text, not a picture\n"));
    ASSERT_TRUE(writeFile(path("latin1.txt"), "AB\ncaf\xE9\n") && writeFile(path("million.txt"), QByteArray(1000000, 'W')));
    const QByteArray whole = encodeBmp24(Image(40, 40), 40, 40);
    ASSERT_TRUE(writeFile(path("truncated.bmp"), whole.left(whole.size() / 2)));
    // A header that claims 8200 x 8200 pixels, more than will be decoded.
    ASSERT_TRUE(writeFile(path("huge.bmp"), whole.left(54).replace(18, 8, QByteArray::fromHex("0820000008200000")) + QByteArray(1024, 0)));
    const auto entries = [&] { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); };
    const QStringList before = entries();

    const auto& [line, exitCode, message] = GetParam();
    QStringList args = QString::fromStdString(line).replace("@", dir.path()).split(' ');
    if (!args.contains("-o")) args << "-o" << path("out.bmp");
    const auto [code, err] = runCli(args);
    EXPECT_EQ(code, exitCode) << err;
    EXPECT_EQ(err.rfind("karuvo-cli: ", 0), 0u) << err;
    EXPECT_NE(err.find(message), std::string::npos) << err;
    EXPECT_EQ(readFile(path("out.bmp")), old);
    EXPECT_EQ(entries(), before) << "a file was left behind";
}

// Tests run as root, for whom permission bits do not stop a write, so the folder
// that cannot take files is /proc.
const BadRun kBadRuns[] = {
    {"-t A -c 0x16", 2, "-c: the cell size 0x16 has no area"},
    {"-t A -c 16x-3", 2, "-c: the cell size 16x-3 has no area"},
    {"-t A -c 100000x100000", 1, "A sheet of 100000 x 100000 pixels does not fit in memory"},
    {"-T @/million.txt -s 64", 1, "is too large: each side can be at most 4194304 pixels; give a smaller"},
    {"-t A --shadow 1e20,0", 2, "--shadow: the offset 1e20 is too large"},
    {"-t AB -c 2147483647x1", 1, "does not fit in a signed 32-bit integer; give a smaller cell (-c)"},
    {"-t A --outline abc", 2, "is not a number; give a whole number from 0 to 10\nkaruvo-cli: see karuvo-cli --help"},
    {"-t A --texture @/none.bmp", 1, "no such file"},
    {"-t A --texture @/folder.bmp", 1, "it is a folder"},
    {"-t A --texture @/empty.bmp", 1, "the file is empty"},
    {"-t A --texture @/truncated.bmp", 1, "truncated"},
    {"-t A --texture @/text.bmp", 1, "it is not an image of a readable format (bmp, "},
    {"-t A --texture @/huge.bmp", 1, "too large to load"},
    {"-t A -o @/nowhere/out.bmp", 1, "does not exist"},
    {"-t A -o @/folder.bmp", 1, "it is a folder"},
    {"-t A -o /proc/karuvo-sheet.bmp", 1, "karuvo-cli: Cannot write"},
    {"-t A -o @/out.bmp --fnt @/nowhere/a.fnt", 1, "does not exist"},
    {"-T @/latin1.txt", 1, "is not valid UTF-8: the byte at offset 6 (0xE9)"},
    {"-t A -o @/sheet.tga --fnt @/s.fnt", 2, "does not end in .bmp or .png"},
    {"-t A --fnt @/s.fnt --fnt-format json", 2, "\"json\" is not one of text, xml, binary"},
    {"-t A --fnt @/s.fnt --pitch 3", 2, "the pitch \"3\" is not one of font, cell"},
    {"-t A -c 70000x8 -o @/big.png --fnt @/big.fnt --fnt-format binary", 1, "cannot hold a sheet width of 70000"}};
INSTANTIATE_TEST_SUITE_P(CliBinary, CliBadInput, ::testing::ValuesIn(kBadRuns));
