// Runs the real karuvo-cli program and checks what it writes and says.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/image_io.h"
#include "sheet/builder.h"
#include "sheet/grid.h"

using namespace karuvo;

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result runCli(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(KARUVO_CLI_PATH), args);
    EXPECT_TRUE(p.waitForStarted());
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(300000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "the program crashed";
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Every pixel of the written bitmap against the builder's own sheet.
void expectSamePixels(const QString& bmpPath, const Sheet& sheet) {
    const QImage written(bmpPath);
    ASSERT_FALSE(written.isNull());
    ASSERT_EQ(written.width(), sheet.width);
    ASSERT_EQ(written.height(), sheet.height);
    int differing = 0;
    for (int y = 0; y < sheet.height; ++y)
        for (int x = 0; x < sheet.width; ++x)
            differing += (written.pixel(x, y) | 0xff000000u) != sheet.image.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

FontDescription dejaVu(int px) {
    FontDescription d;
    d.height = -px;
    d.weight = 400;
    d.faceName = "DejaVu Sans";
    return d;
}

class CliBinary : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(CliBinary, TwoLinesMakeAThreeByTwoGridThatTheDescriptorsAgreeWith) {
    const QString text = QStringLiteral("AB\nCDE");
    const Result r = runCli({"-t", text, "-c", "16x20", "-o", path("s.bmp"), "--fnt", path("s.fnt"), "--json",
                             path("s.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.startsWith("karuvo-cli: sheet 48 x 40 pixels, cells of 16 x 20")) << r.err.toStdString();

    SheetSettings s;
    s.text = text;
    s.cellWidth = 16;
    s.cellHeight = 20;
    expectSamePixels(path("s.bmp"), buildSheet(s));

    // Every character's descriptor entries name its cell in the grid.
    const QString fnt = QString::fromUtf8(readAll(path("s.fnt")));
    EXPECT_TRUE(fnt.contains("common lineHeight=20 ")) << fnt.toStdString();
    EXPECT_TRUE(fnt.contains("scaleW=48 scaleH=40 pages=1")) << fnt.toStdString();
    EXPECT_TRUE(fnt.contains("page id=0 file=\"s.bmp\"\n"));
    EXPECT_TRUE(fnt.contains("chars count=5\n"));
    const QJsonObject json = QJsonDocument::fromJson(readAll(path("s.json"))).object();
    EXPECT_EQ(json["width"].toInt(), 48);
    EXPECT_EQ(json["height"].toInt(), 40);
    const QJsonObject chars = json["chars"].toObject();
    EXPECT_EQ(chars.size(), 5);
    for (const GridCell& c : gridCells(text)) {
        const int x = c.column * 16, y = c.row * 20;
        const QString line = QStringLiteral("char id=%1 x=%2 y=%3 width=16 height=20 xoffset=0 yoffset=0 "
                                            "xadvance=16 page=0 chnl=15\n")
                                 .arg(c.codePoint)
                                 .arg(x)
                                 .arg(y);
        EXPECT_TRUE(fnt.contains(line)) << line.toStdString();
        const QJsonObject e = chars[QString::number(c.codePoint)].toObject();
        EXPECT_EQ(e["column"].toInt(), c.column);
        EXPECT_EQ(e["row"].toInt(), c.row);
        EXPECT_EQ(e["x"].toInt(), x);
        EXPECT_EQ(e["y"].toInt(), y);
    }
}

TEST_F(CliBinary, AnEmojiTakesOneCellAndRepeatsAreDescribedOnce) {
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    const Result r = runCli({"-t", "A" + emoji + "BA" + emoji, "-c", "10x12", "-o", path("e.bmp"), "--json",
                             path("e.json"), "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_EQ(QImage(path("e.bmp")).size(), QSize(50, 12));
    const QJsonObject chars = QJsonDocument::fromJson(readAll(path("e.json"))).object()["chars"].toObject();
    EXPECT_EQ(chars.size(), 3);
    EXPECT_EQ(chars["128512"].toObject()["column"].toInt(), 1);
    EXPECT_EQ(chars["65"].toObject()["column"].toInt(), 0);
}

TEST_F(CliBinary, FittedCellEffectsAndTexturesMatchTheWindowsBuild) {
    // The fitted cell is the window's: the largest character plus the shadow offsets.
    const QString text = QStringLiteral("Ag\u5B57\nW");
    Result r = runCli({"-t", text, "-f", "DejaVu Sans", "-s", "20", "--shadow", "2.5,3", "--shadow-colour",
                       "#FF0000", "--fill", "00ff80", "-o", path("shadow.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    SheetSettings s;
    s.text = text;
    s.font = dejaVu(20);
    s.effect = EffectKind::Shadow;
    s.shadowDx = 2;
    s.shadowDy = 3;
    s.shadowColour = colourFromRgb(255, 0, 0);
    s.fillColour = colourFromRgb(0, 255, 128);
    const CharBox cell = fittedCellSize(text, *Font::create(dejaVu(20)), CharBox{2, 3});
    s.cellWidth = cell.width;
    s.cellHeight = cell.height;
    expectSamePixels(path("shadow.bmp"), buildSheet(s));

    // A texture fill, and the default sheet font at another size.
    QImage texture(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) texture.setPixel(x, y, qRgb(40 * x, 80 * y, 200));
    ASSERT_TRUE(texture.save(path("t.bmp"), "BMP"));
    r = runCli({"-t", "\u3042A", "-s", "18", "--texture", path("t.bmp"), "-c", "24x24", "-o", path("tex.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    SheetSettings t;
    t.text = QStringLiteral("\u3042A");
    t.font = dejaVu(18);
    t.font->faceName = Font::createDefaultSheetFont()->resolvedFamily();
    t.fill = FillKind::Texture;
    t.texturePath = path("t.bmp");
    t.cellWidth = t.cellHeight = 24;
    expectSamePixels(path("tex.bmp"), buildSheet(t));
}

TEST_F(CliBinary, ReadsTextFilesAndStandardInputAsTyped) {
    writeAll(path("t.txt"), "\xEF\xBB\xBF" "AB\r\nCDE");
    Result r = runCli({"-T", path("t.txt"), "-c", "8x9", "-o", path("f.bmp"), "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(path("f.bmp")).size(), QSize(24, 18));
    r = runCli({"-T", "-", "-c", "8x9", "-o", path("i.bmp"), "-q"}, "A\nB\nCDEF");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(path("i.bmp")).size(), QSize(32, 27));
    // A text that looks like a toolkit option is still the text.
    r = runCli({"-t", "-reverse", "-c", "8x9", "-o", path("r.bmp"), "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(path("r.bmp")).size(), QSize(64, 9));
}

TEST_F(CliBinary, ReportsCharactersTheFontLacksAndFamiliesNotInstalled) {
    Result r = runCli({"-t", "A\u4E00", "-f", "DejaVu Sans", "-o", path("m.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("karuvo-cli: U+4E00 \u4E00 is not in \"DejaVu Sans\"; drawn with \"IPAGothic\"\n"))
        << r.err.toStdString();
    r = runCli({"-t", "A", "-f", "No Such Face Anywhere", "-o", path("n.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("karuvo-cli: warning: the font family \"No Such Face Anywhere\" is not "
                                 "installed; using \""))
        << r.err.toStdString();
    // A family installed under a localised name is no stranger.
    r = runCli({"-t", "A", "-f", "IPA\u30B4\u30B7\u30C3\u30AF", "-o", path("l.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("warning")) << r.err.toStdString();
    r = runCli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("Usage: karuvo-cli"));
}

TEST_F(CliBinary, AnArgumentThatIsNotUtf8IsAUsageError) {
    // Only a shell can hand over bytes that are not text.
    QProcess p;
    p.start("/bin/sh", {"-c", "exec \"$0\" -t \"$(printf 'A\\377')\" -o \"$1\"", KARUVO_CLI_PATH, path("u.bmp")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.startsWith("karuvo-cli: The text in argument 2 is not valid UTF-8: the byte at offset 1 (0xFF)"))
        << err.toStdString();
    EXPECT_FALSE(QFile::exists(path("u.bmp")));
}

struct BadRun {
    const char* name;
    QStringList args;  // "@" stands for the test's folder
    int exitCode;
    const char* message;  // what standard error must contain
};
void PrintTo(const BadRun& b, std::ostream* os) { *os << b.name; }

class CliBadInput : public ::testing::TestWithParam<BadRun> {};

TEST_P(CliBadInput, FailsWithAMessageAndLeavesTheOutputAsItWas) {
    QTemporaryDir dir;
    const QString d = dir.path();
    const QByteArray old("an earlier sheet, kept byte for byte");
    writeAll(d + "/out.bmp", old);
    writeAll(d + "/empty.bmp", "");
    writeAll(d + "/text.bmp", "this is plain text, not a picture\n");
    QDir(d).mkdir("folder");
    {
        QImage img(40, 40, QImage::Format_RGB32);
        img.fill(Qt::white);
        ASSERT_TRUE(img.save(d + "/whole.bmp", "BMP"));
        const QByteArray whole = readAll(d + "/whole.bmp");
        writeAll(d + "/truncated.bmp", whole.left(whole.size() / 2));
        // A bitmap header that claims 8200 x 8200 pixels, more than will be decoded.
        QByteArray huge = whole.left(54);
        const qint32 side = 8200;
        std::memcpy(huge.data() + 18, &side, 4);
        std::memcpy(huge.data() + 22, &side, 4);
        writeAll(d + "/huge.bmp", huge + QByteArray(1024, '\0'));
    }
    writeAll(d + "/latin1.txt", "AB\ncaf\xE9\n");
    writeAll(d + "/million.txt", QByteArray(1000000, 'W'));
    const QStringList before = QDir(d).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    QStringList args;
    for (const QString& a : GetParam().args) args << QString(a).replace("@", d);
    const Result r = runCli(args);
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("karuvo-cli: ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().message))) << r.err.toStdString();
    EXPECT_EQ(readAll(d + "/out.bmp"), old);
    EXPECT_EQ(QDir(d).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before)
        << "a file was left behind";
}

// Tests run as root, for whom permission bits do not stop a write: a folder that
// cannot take files is made with a regular file as the parent, or under /proc.
INSTANTIATE_TEST_SUITE_P(
    CliBinary, CliBadInput,
    ::testing::Values(
        BadRun{"ZeroCell", {"-t", "A", "-c", "0x16", "-o", "@/out.bmp"}, 2, "-c: the cell size 0x16 has no area"},
        BadRun{"NegativeCell", {"-t", "A", "-c", "16x-3", "-o", "@/out.bmp"}, 2, "has no area"},
        BadRun{"HugeCells", {"-t", "A", "-c", "100000x100000", "-o", "@/out.bmp"}, 1, "karuvo-cli: A sheet of 100000 x 100000 pixels does not fit in memory"},
        BadRun{"MillionCharacterLine", {"-T", "@/million.txt", "-s", "64", "-o", "@/out.bmp"}, 1,
               "is too large: each side can be at most 4194304 pixels; give a smaller cell (-c) or font (-s), or a "
               "shorter text\n"},
        BadRun{"HugeShadow", {"-t", "A", "--shadow", "1e20,0", "-o", "@/out.bmp"}, 2,
               "--shadow: the offset 1e20 is too large"},
        BadRun{"FittedCellOverflow", {"-t", "A", "--shadow", "2147483647,0", "-o", "@/out.bmp"}, 1,
               "the fitted cell width (6 + 2147483647) does not fit in a signed 32-bit integer; give a smaller shadow offset or "
               "a cell size with -c WxH"},
        BadRun{"SheetOverflow", {"-t", "AB", "-c", "2147483647x1", "-o", "@/out.bmp"}, 1,
               "does not fit in a signed 32-bit integer; give a smaller cell (-c) or shadow offset, or a shorter text"},
        BadRun{"RadiusText", {"-t", "A", "--outline", "abc", "-o", "@/out.bmp"}, 2,
               "--outline: the radius \"abc\" is not a number; give a whole number from 0 to 10\n"
               "karuvo-cli: see karuvo-cli --help"},
        BadRun{"TextureMissing", {"-t", "A", "--texture", "@/none.bmp", "-o", "@/out.bmp"}, 1, "no such file"},
        BadRun{"TextureFolder", {"-t", "A", "--texture", "@/folder", "-o", "@/out.bmp"}, 1, "it is a folder"},
        BadRun{"TextureEmpty", {"-t", "A", "--texture", "@/empty.bmp", "-o", "@/out.bmp"}, 1, "the file is empty"},
        BadRun{"TextureTruncated", {"-t", "A", "--texture", "@/truncated.bmp", "-o", "@/out.bmp"}, 1,
               "truncated"},
        BadRun{"TextureIsText", {"-t", "A", "--texture", "@/text.bmp", "-o", "@/out.bmp"}, 1,
               "it is not a bmp, ico, gif or jpeg image; give --texture a whole bmp, ico, gif or jpeg file\n"},
        BadRun{"TextureTooLarge", {"-t", "A", "--texture", "@/huge.bmp", "-o", "@/out.bmp"}, 1, "too large to load"},
        BadRun{"OutputInMissingFolder", {"-t", "A", "-o", "@/nowhere/out.bmp"}, 1, "does not exist"},
        BadRun{"OutputIsAFolder", {"-t", "A", "-o", "@/folder"}, 1, "it is a folder"},
        BadRun{"OutputUnderAFile", {"-t", "A", "-o", "@/out.bmp/x.bmp"}, 1, "out.bmp\" is a file, not a folder"},
        BadRun{"OutputUnderProc", {"-t", "A", "-o", "/proc/karuvo-sheet.bmp"}, 1, "karuvo-cli: Cannot write"},
        BadRun{"DescriptorFailsSoNothingIsWritten", {"-t", "A", "-o", "@/out.bmp", "--fnt", "@/nowhere/a.fnt"}, 1,
               "does not exist"},
        BadRun{"JsonIntoAFolder", {"-t", "A", "-o", "@/out.bmp", "--json", "@/folder"}, 1, "it is a folder"},
        BadRun{"TextNotUtf8", {"-T", "@/latin1.txt", "-o", "@/out.bmp"}, 1, "offset 6 (0xE9)"},
        BadRun{"TextFileMissing", {"-T", "@/none.txt", "-o", "@/out.bmp"}, 1, "no such file"},
        BadRun{"EmptyText", {"-t", "", "-c", "8x8", "-o", "@/out.bmp"}, 1, "has no area"}),
    [](const ::testing::TestParamInfo<BadRun>& info) { return std::string(info.param.name); });
