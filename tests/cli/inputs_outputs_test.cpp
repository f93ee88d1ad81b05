// Runs the real karuvo-cli against hostile file names: outputs that are inputs, inputs
// that are pipes, many pages, fewer pages than before, signals and full filesystems.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QThread>
#include <QXmlStreamReader>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/image_io.h"
#include "support/cli_process.h"
#include "support/fixtures.h"

using namespace karuvo;
using namespace karuvo::fakes;

namespace {

Ending runUntil(const QStringList& args, int limitMs = 60000) {
    QProcess p;
    p.start(QStringLiteral(KARUVO_CLI_PATH), args);
    return ended(p, limitMs);
}

struct InputsOutputs : InTempFolder {
    // The arguments split at spaces, "@" standing for the test's folder.
    QStringList args(const char* line) const { return QString::fromUtf8(line).replace("@", dir.path()).split(u' '); }
};

}  // namespace

TEST_F(InputsOutputs, AnOutputThatIsAnInputIsAUsageErrorNamingBothAndNothingIsWritten) {
    const QByteArray font = readFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    const QByteArray texture = encodeBmp24(patterned(8, 8), 8, 8);
    ASSERT_TRUE(writeFile(path("font.ttf"), font) && writeFile(path("text.txt"), "AB") &&
                writeFile(path("tex.bmp"), texture) && writeFile(path("p_1.bmp"), texture) &&
                QFile::link(path("font.ttf"), path("link.fnt")));
    const QStringList before = entries();
    const struct { const char* line; const char* said; } cases[] = {
        {"-f @/font.ttf -t AB -o @/y.png --fnt @/font.ttf", "--fnt \"@/font.ttf\" is the file that -f reads"},
        {"-f @/font.ttf -t AB -o @/y.png --fnt @/link.fnt", "--fnt \"@/link.fnt\" is the file that -f reads (\"@/font.ttf\")"},
        {"-T @/text.txt -o @/y.png --json @/text.txt", "--json \"@/text.txt\" is the file that -T reads"},
        {"-t A --texture @/tex.bmp -o @/./tex.bmp", "-o \"@/./tex.bmp\" is the file that --texture reads"},
        {"-T @/text.txt -o @/y.png --save-project @/text.txt", "--save-project \"@/text.txt\" is the file that -T reads"},
        // A page of the sheet, known only once the sheet is laid out.
        {"-t ABCD -c 8x8 --columns 1 --max-size 8 --texture @/p_1.bmp -o @/p.bmp",
         "-o \"@/p_1.bmp\" is the file that --texture reads (\"@/p_1.bmp\")"}};
    for (const auto& [line, said] : cases) {
        const Ending e = runUntil(args(line));
        EXPECT_EQ(e.code, 2) << line << "\n" << e.err;
        EXPECT_NE(e.err.find(QString::fromUtf8(said).replace("@", dir.path()).toStdString()), std::string::npos) << e.err;
        EXPECT_EQ(entries(), before) << line;
    }
    EXPECT_EQ(std::tuple(readFile(path("font.ttf")), readFile(path("text.txt")), readFile(path("tex.bmp"))),
              std::tuple(font, QByteArray("AB"), texture));
}

// Today's readers would wait for ever on the fifo; the limit ends such a run as failed.
TEST_F(InputsOutputs, APipeSocketDeviceOrFolderGivenAsAnInputIsNamedForWhatItIsAndNeverWaitedOn) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(path("sock"));
    ASSERT_LT(socketName.size(), qsizetype(sizeof address.sun_path));
    std::memcpy(address.sun_path, socketName.constData(), socketName.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    const struct { const char* option; const char* node; const char* said; } cases[] = {
        {"-f", "@/fifo", "it is a named pipe, not a font file"},   {"-T", "@/fifo", "it is a named pipe, not a text file"},
        {"--texture", "@/fifo", "it is a named pipe, not an image file"}, {"-f", "@/sock", "it is a socket, not a font file"},
        {"-T", "@/sock", "it is a socket, not a text file"},       {"--texture", "/dev/null", "it is a device, not an image file"},
        {"-f", "/dev/null", "it is a device, not a font file"},    {"-T", "@/folder", "it is a folder, not a text file"},
        {"--texture", "@/folder", "it is a folder, not an image file"},
        {"--project", "@/fifo", "it is a named pipe, not a project file"}};
    for (const auto& [option, node, said] : cases) {
        QStringList a{option, QString::fromUtf8(node).replace("@", dir.path()), "-o", path("out.bmp")};
        if (QLatin1String(option) != QLatin1String("-T")) a << "-t" << "A";
        const Ending e = runUntil(a, 20000);
        ASSERT_TRUE(e.finished) << option << " " << node << " was waited on";
        EXPECT_EQ(e.code, 1) << e.err;
        EXPECT_NE(e.err.find(said), std::string::npos) << option << " " << node << "\n" << e.err;
        EXPECT_FALSE(QFile::exists(path("out.bmp")));
    }
    ::close(sock);
}

// Every pair of 6,879 targets compared by resolving both names again took more than five
// minutes; one key per target, seconds.
TEST_F(InputsOutputs, AllJisPagesAreWrittenWithinTheLimit) {
    const Ending e = runUntil({"--charset", "jis-x-0208", "-c", "1x1", "-s", "1", "--columns", "1", "--max-size", "1",
                             "-o", path("p.png"), "--fnt", path("p.fnt"), "-q"},
                            60000);
    ASSERT_TRUE(e.finished) << "6,879 pages took more than a minute";
    ASSERT_EQ(e.code, 0) << e.err;
    EXPECT_EQ(entries().size(), 6880u);
    EXPECT_EQ(QImage(path("p_6878.png")).size(), QSize(1, 1));
}

TEST_F(InputsOutputs, FewerPagesRemoveThoseTheReplacedDescriptorNamedOrWarnOfThemByName) {
    const QStringList four{"-t", "A\nB\nC\nD", "-c", "8x8", "--max-size", "8", "-o", path("p.png"), "-q"};
    QStringList two = four;
    two[1] = "A\nB";
    const struct { QStringList descriptor; bool removed; } cases[] = {
        {{"--fnt", path("p.fnt")}, true}, {{"--fnt", path("p.fnt"), "--fnt-format", "xml"}, true},
        {{"--fnt", path("p.fnt"), "--fnt-format", "binary"}, true}, {{"--json", path("p.json")}, true},
        {{}, false}};
    for (const auto& [descriptor, removed] : cases) {
        SCOPED_TRACE(descriptor.join(u' ').toStdString());
        ASSERT_EQ(runUntil(four + descriptor).code, 0);
        const Ending e = runUntil(two + descriptor);
        ASSERT_EQ(e.code, 0) << e.err;
        EXPECT_EQ(QFile::exists(path("p_2.png")), !removed);
        EXPECT_EQ(QFile::exists(path("p_3.png")), !removed);
        EXPECT_TRUE(QFile::exists(path("p_1.png")));
        const std::string warning = "kept: \"" + path("p_2.png").toStdString() + "\", \"" + path("p_3.png").toStdString() + "\";";
        EXPECT_EQ(e.err.find(warning) != std::string::npos, !removed) << e.err;
        for (const QString& name : entries())
            if (name != "p.png") QFile::remove(path(name));
    }
}

// A run cut short by a signal that can be caught leaves the folder as it was and ends as
// the signal ends a program; one killed outright leaves its temporary file, which the
// next run to that target removes, and nothing else that merely looks alike.
TEST_F(InputsOutputs, AnInterruptedRunLeavesNothingBehind) {
    ASSERT_TRUE(writeFile(path("big.bmp"), "old"));
    const QStringList before = entries();
    // Tens of megabytes of outlined ideographs: long enough to be caught writing.
    const QStringList big{"--chars", "U+4E00-U+9FFF", "-s", "64", "-c", "64x64", "--outline", "3", "-q", "-o",
                          path("big.bmp")};
    const auto writing = [&] {
        for (int i = 0; i < 2000; ++i) {
            for (const QString& name : entries())
                if (name.startsWith(".big.bmp.")) return true;
            QThread::msleep(10);
        }
        return false;
    };
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(sig);
        QProcess p;
        // A shell starts background commands ignoring SIGINT, and the program keeps a
        // signal ignored as it was given; the test wants it delivered.
        p.setChildProcessModifier([] {
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGHUP, SIG_DFL);
        });
        p.start(QStringLiteral(KARUVO_CLI_PATH), big);
        ASSERT_TRUE(writing()) << "no temporary file appeared";
        ::kill(static_cast<pid_t>(p.processId()), sig);
        const Ending e = ended(p, 60000);
        ASSERT_TRUE(e.signalled) << "it ended with " << e.code << ": " << e.err;
        EXPECT_EQ(e.code, sig);
        EXPECT_EQ(readFile(path("big.bmp")), "old");
        if (sig != SIGKILL) {
            EXPECT_EQ(entries(), before);
        }
    }
    ASSERT_GT(entries().size(), before.size()) << "SIGKILL left nothing to clean";
    // Named as a kept-aside file, and as neither: a name one letter short, another target's.
    const QStringList alike{".big.bmp.Ab1Cd", ".other.bmp.Ab1Cd2", "big.bmp.Ab1Cd2"};
    for (const QString& name : alike + QStringList{".big.bmp.old.Xy3Zw4"}) ASSERT_TRUE(writeFile(path(name), "x"));
    QThread::msleep(20);  // the next run starts later than every one of them
    const Ending next = runUntil({"-t", "A", "-q", "-o", path("big.bmp")});
    ASSERT_EQ(next.code, 0) << next.err;
    QStringList expected = before + alike;
    expected.sort();
    EXPECT_EQ(entries(), expected);
}

TEST_F(InputsOutputs, PagedAndBandDrawnBuildsAreBudgetedForWhatTheyHoldAtOnce) {
    // Refused as needing 3,300 MiB when the whole sheet was counted; it holds a band at a time.
    const Ending e = runUntil({"--charset", "jis-x-0208", "-s", "128", "--outline", "3", "--max-size", "16384", "-o",
                             path("o.png"), "-q"},
                            300000);
    ASSERT_EQ(e.code, 0) << e.err;
    const QFontMetrics m(plainFace("IPAGothic", 128));
    const int width = 16 * (m.horizontalAdvance(QStringLiteral("\u5B57")) + 6);
    int height = 0;
    for (int page = 0; page < 4; ++page) {
        const QSize size = QImageReader(path(QStringLiteral("o_%1.png").arg(page))).size();
        EXPECT_EQ(size.width(), width) << page;
        height += size.height();
    }
    EXPECT_EQ(height, 430 * (m.height() + 6));  // 6,879 characters in rows of 16
}

// Each message says what is wrong and what to change, in the right number.
TEST_F(InputsOutputs, MessagesSayWhatIsWrong) {
    ASSERT_TRUE(writeFile(path("huge.bmp"), encodeBmp24(Image(4, 4), 4, 4).left(54).replace(18, 8, QByteArray::fromHex("0820000008200000")) +
                                                QByteArray(1024, 0)));
    const struct { QStringList args; const char* said; const char* notSaid; } cases[] = {
        {{"-t", "A", "--texture", path("huge.bmp")}, "too large to load (at most 67108864 pixels); give --texture a smaller picture",
         "readable format"},
        {{"-t", "AB", "-c", "8x8", "--max-size", "8"}, "give at most 1 cell to a row", "1 cells"},
        {{"-t", QStringLiteral("A\u2028B\u2029"), "-c", "8x8"}, "karuvo-cli: U+2028 is not in \"IPAGothic\"", "\u2028"},
        {{"-t", QStringLiteral("A\u2029"), "-c", "8x8"}, "karuvo-cli: U+2029 is not in", "\u2029"}};
    for (const auto& [args, said, notSaid] : cases) {
        const Ending e = runUntil(args + QStringList{"-o", path("out.bmp")});
        EXPECT_NE(e.err.find(said), std::string::npos) << e.err;
        EXPECT_EQ(e.err.find(notSaid), std::string::npos) << e.err;
    }
}

// Names that are not UTF-8, given through a shell: an argument is refused, and so is a
// text file's name, which is no text to save again.
TEST_F(InputsOutputs, ANameThatIsNotUtf8IsAUsageError) {
    const std::pair<const char*, const char*> cases[] = {
        {"exec \"$0\" -t \"$(printf 'A\\377')\" -o \"$1/out.bmp\"", "argument 2 is not valid UTF-8"},
        {"exec \"$0\" -T \"$1/$(printf 'caf\\351').txt\" -o \"$1/out.bmp\"", "rename a file whose name is not UTF-8"}};
    for (const auto& [script, said] : cases) {
        const auto [code, err] = runProgram("/bin/sh", {"-c", script, KARUVO_CLI_PATH, dir.path()});
        EXPECT_EQ(code, 2) << err;
        EXPECT_NE(err.find(said), std::string::npos) << err;
        EXPECT_EQ(err.find("save the text"), std::string::npos) << err;
        EXPECT_FALSE(QFile::exists(path("out.bmp")));
    }
}

// The face's family, as the font file names it: XML 1.0 cannot hold U+0001 even as a
// reference, so the XML gives U+FFFD where the JSON keeps the name whole.
TEST_F(InputsOutputs, AControlCharacterInAFaceNameIsReplacedInTheFntWithAWarning) {
    const Ending e = runUntil({"-f", testFonts() + "/control.ttf", "-t", "A", "-o", path("c.png"), "--fnt", path("c.fnt"),
                             "--fnt-format", "xml", "--json", path("c.json")});
    ASSERT_EQ(e.code, 0) << e.err;
    EXPECT_NE(e.err.find("warning: the face name \"Karuvo<U+0001>Test\" holds control characters"), std::string::npos) << e.err;
    EXPECT_NE(e.err.find("font \"Karuvo<U+0001>Test\" 12 px"), std::string::npos) << e.err;
    QXmlStreamReader xml(readFile(path("c.fnt")));
    while (!xml.atEnd() && !(xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("info"))) {}
    EXPECT_EQ(xml.attributes().value("face").toString(), QStringLiteral("Karuvo\uFFFDTest")) << xml.errorString().toStdString();
    EXPECT_TRUE(readFile(path("c.json")).contains("\"face\": \"Karuvo\\u0001Test\""));
}

// A filesystem of 64 KiB takes no sheet of 96 KiB; one of three inodes, filled, takes
// no new file. The message tells which, and the old output stays.
TEST_F(InputsOutputs, AFullFilesystemIsNamedWithWhatItLacks) {
    const struct { const char* options; const char* text; const char* said; const char* notSaid; } cases[] = {
        {"size=64k", "ABCDEFGH", "no space left on device; free some space on \"", "no free inodes"},
        {"size=1m,nr_inodes=3", "A", "no free inodes left on \"", "free some space"}};
    for (const auto& [options, text, said, notSaid] : cases) {
        const QString mount = path(options);
        ASSERT_TRUE(QDir(dir.path()).mkdir(options));
        if (::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", 0, options) != 0)
            GTEST_SKIP() << "a small filesystem cannot be mounted here";
        struct Unmount {
            QByteArray at;
            ~Unmount() { ::umount(at.constData()); }
        } unmount{QFile::encodeName(mount)};
        ASSERT_TRUE(writeFile(mount + "/out.bmp", "old"));
        for (int i = 0; text[1] == 0 && writeFile(mount + QStringLiteral("/f%1").arg(i), "x") && i < 10; ++i) {}
        const QStringList before = fakes::entries(mount);
        const Ending e = runUntil({"-t", text, "-c", "64x64", "-o", mount + "/out.bmp"});
        EXPECT_EQ(e.code, 1) << e.err;
        EXPECT_NE(e.err.find(said + mount.toStdString() + "\""), std::string::npos) << e.err;
        EXPECT_EQ(e.err.find(notSaid), std::string::npos) << e.err;
        EXPECT_EQ(readFile(mount + "/out.bmp"), "old");
        EXPECT_EQ(fakes::entries(mount), before);
    }
}
