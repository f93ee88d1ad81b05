// Runs the real karuvo-cli against hostile file names: inputs through links, many pages,
// fewer pages than before, signals and full filesystems.
#include <QDeadlineTimer>
#include <QImageReader>
#include <QScopeGuard>
#include <QThread>
#include <QXmlStreamReader>
#include <csignal>
#include <sys/mount.h>

#include "platform/image_io.h"
#include "support/cli_process.h"

using namespace karuvo;
using namespace karuvo::fakes;

namespace {

// A run started with SIGINT and SIGHUP delivered, or with SIGHUP ignored as under nohup.
// (A shell starts background commands ignoring SIGINT, and the program keeps a signal
// ignored as it was given.)
void start(QProcess& p, const QStringList& args, bool ignoringHangUp = false) {
    p.setChildProcessModifier([ignoringHangUp] { ::signal(SIGINT, SIG_DFL), ::signal(SIGHUP, ignoringHangUp ? SIG_IGN : SIG_DFL); });
    p.start(QStringLiteral(KARUVO_CLI_PATH), args);
}

ino_t inode(const QString& file) {
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
}

struct InputsOutputs : InTempFolder {};

// Whether a temporary file of `name` appears in `folder` within a minute.
bool writing(const QString& folder, const QString& name) {
    for (QDeadlineTimer limit(60000); !limit.hasExpired(); QThread::usleep(500))
        if (!entries(folder).filter(QRegularExpression("^\\." + QRegularExpression::escape(name) + "\\.")).isEmpty()) return true;
    return false;
}

}  // namespace

// Each input given through a link builds what its real name builds.
TEST_F(InputsOutputs, AnInputThroughALinkIsReadAsItsFile) {
    ASSERT_TRUE(writeFile(path("text.txt"), QStringLiteral("Rg&\n字").toUtf8()) &&
                writeFile(path("tex.bmp"), encodeBmp24(patterned(8, 8), 8, 8)) &&
                QFile::copy(testFonts() + "/pair.ttc", path("font.ttc")));
    succeeded({"-t", "Ag", "-s", "20", "--outline", "1", "--save-project", path("p.karuvo")});
    EXPECT_EQ(entries(), QStringList({"font.ttc", "p.karuvo", "tex.bmp", "text.txt"}));  // no output named: nothing built
    const struct { QString option, file; QStringList rest; } inputs[] = {
        {"-T", "text.txt", {}}, {"--texture", "tex.bmp", {"-t", "Ag"}}, {"-f", "font.ttc", {"-t", "Ag", "--face-index", "1"}},
        {"--project", "p.karuvo", {}}};
    for (const auto& [option, file, rest] : inputs) {
        ASSERT_TRUE(QFile::link(path(file), path("link-" + file)));
        QByteArray outputs[2];
        for (const QString& name : {file, "link-" + file}) {
            succeeded(QStringList{option, path(name), "-o", path("s.png"), "--fnt", path("s.fnt")} + rest);
            outputs[name != file] = readFile(path("s.png")) + readFile(path("s.fnt"));
        }
        EXPECT_EQ(outputs[1], outputs[0]) << option.toStdString();
    }
}

// Every pair of 6,879 targets compared by resolving both names again took more than five
// minutes; one key per target, seconds. A thousand renames give a signal time to land
// between the first and the last: the folder is put back byte for byte, but for a run
// that was started ignoring the signal, which finishes.
TEST_F(InputsOutputs, AllJisPagesAreWrittenWithinTheLimitAndUndoneByASignalAtTheirCommit) {
    const QStringList pages{"-c", "1x1", "-s", "1", "--columns", "1", "--max-size", "1", "-q", "--fnt"};
    ASSERT_EQ(runCli(pages + QStringList{path("j.fnt"), "--charset", "jis-x-0208", "-o", path("j.png")}, {}, 60000).first, 0)
        << "6,879 pages in more than a minute";
    EXPECT_EQ(entries().size(), 6880u);
    EXPECT_EQ(QImage(path("j_6878.png")).size(), QSize(1, 1));
    ASSERT_TRUE(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
    const QStringList thousand = pages + QStringList{path("p.fnt"), "--chars", "U+4E00-U+51E7", "-o", path("p.png")};
    ASSERT_EQ(runCli(thousand).first, 0);
    const auto before = filesIn(dir.path());
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        const ino_t first = inode(path("p_0.png")), fnt = inode(path("p.fnt"));
        QProcess p;
        start(p, thousand + QStringList{"--fill", "FF0000"}, sig == SIGHUP);
        const QDeadlineTimer limit(60000);
        while (inode(path("p_0.png")) == first && inode(path("p.fnt")) == fnt && !limit.hasExpired()) QThread::usleep(100);
        ::kill(static_cast<pid_t>(p.processId()), sig);
        const Ending e = ended(p, 60000);
        if (sig == SIGHUP) {
            EXPECT_EQ(std::pair(e.signalled, e.code), std::pair(false, 0)) << e.err;
            EXPECT_NE(readFile(path("p_0.png")), before["p_0.png"]);
            EXPECT_EQ(filesIn(dir.path()).keys(), before.keys());
        } else {
            EXPECT_EQ(std::pair(e.signalled, e.code), std::pair(true, sig)) << "the signal came too late: " << e.err;
            EXPECT_TRUE(filesIn(dir.path()) == before);
        }
    }
}

// A split run with a descriptor replaced removes the pages it named that the new run
// does not write, the new run split or not; with no descriptor they are kept and named.
TEST_F(InputsOutputs, FewerPagesRemoveThoseTheReplacedDescriptorNamedOrWarnOfThemByName) {
    const QStringList four{"-t", "A\nB\nC\nD", "-c", "8x8", "--max-size", "8", "-o", path("p.png")};
    QStringList two = four, unsplit = four.mid(4);
    two[1] = "A\nB";
    unsplit[0] = "-t", unsplit[1] = "AB";
    const QStringList descriptors[] = {{"--fnt", path("p.fnt")}, {"--fnt", path("p.fnt"), "--fnt-format", "xml"},
                                       {"--fnt", path("p.fnt"), "--fnt-format", "binary"}, {"--json", path("p.json")}, {}};
    // The warning names every page kept, or there is none.
    const auto warned = [&](const std::string& err, bool removed, const QStringList& pages) {
        QStringList quoted;
        for (const QString& page : pages) quoted << "\"" + path(page) + "\"";
        EXPECT_EQ(err.find("kept:") != std::string::npos, !removed) << err;
        EXPECT_NE(err.find(removed ? "" : "kept: " + quoted.join(", ").toStdString() + "; "), std::string::npos) << err;
    };
    const QStringList pages{"p_0.png", "p_1.png", "p_2.png", "p_3.png"};
    const auto sorted = [](QStringList names) { return names.sort(), names; };
    for (const QStringList& descriptor : descriptors) {
        SCOPED_TRACE(descriptor.join(u' ').toStdString());
        const bool removed = !descriptor.isEmpty();
        const QStringList described = QStringList(descriptor.filter(dir.path())).replaceInStrings(dir.path() + "/", "");
        ASSERT_EQ(runCli(four + descriptor).first, 0);
        std::string err = succeeded(two + descriptor);
        EXPECT_EQ(entries(), sorted(pages.mid(0, removed ? 2 : 4) + described));
        warned(err, removed, pages.mid(2));
        err = succeeded(unsplit + descriptor);
        EXPECT_EQ(entries(), sorted((removed ? QStringList() : pages) + described + QStringList{"p.png"}));
        warned(err, removed, pages);
        for (const QString& name : entries()) QFile::remove(path(name));
    }
}

// A run cut short while it writes, by a signal that can be caught, leaves the folder as
// it was and ends as the signal ends a program; one killed outright leaves its temporary
// file, which the next run to that target removes, and nothing else that merely looks alike.
TEST_F(InputsOutputs, AnInterruptedRunLeavesNothingBehind) {
    ASSERT_TRUE(writeFile(path("big.bmp"), "old"));
    const QStringList before = entries();
    // Tens of megabytes of outlined ideographs: long enough to be caught writing.
    const QStringList big{"--chars", "U+4E00-U+9FFF", "-s", "64", "-c", "64x64", "--outline", "3", "-q", "-o", path("big.bmp")};
    for (const int sig : {SIGHUP, SIGKILL}) {  // SIGINT and SIGTERM: at the commit, above
        SCOPED_TRACE(sig);
        QProcess p;
        start(p, big);
        ASSERT_TRUE(writing(dir.path(), "big.bmp")) << "no temporary file appeared";
        ::kill(static_cast<pid_t>(p.processId()), sig);
        const Ending e = ended(p, 60000);
        EXPECT_EQ(std::pair(e.signalled, e.code), std::pair(true, sig)) << e.err;
        EXPECT_EQ(readFile(path("big.bmp")), "old");
        EXPECT_TRUE(sig == SIGKILL || entries() == before);
    }
    ASSERT_GT(entries().size(), before.size()) << "SIGKILL left nothing to clean";
    // Named as a kept-aside file, and as neither: a name one letter short, another target's.
    // A leftover of a target named through another name of the folder goes too.
    const QStringList alike{".big.bmp.Ab1Cd", ".other.bmp.Ab1Cd2", "big.bmp.Ab1Cd2"};
    for (const QString& name : alike + QStringList{".big.bmp.old.Xy3Zw4", ".big.json.Ab1Cd2"}) ASSERT_TRUE(writeFile(path(name), "x"));
    ASSERT_TRUE(QFile::link(dir.path(), path("link")));
    succeeded({"-t", "A", "-q", "-o", path("big.bmp"), "--json", path("link/big.json")});
    QStringList expected = before + alike + QStringList{"big.json", "link"};
    expected.sort();
    EXPECT_EQ(entries(), expected);
}

// Two runs writing the same pages, the second started while the first writes them, take
// turns: both succeed, and the folder holds the second's complete set, as its descriptor
// lists it, without the first's pages past it.
TEST_F(InputsOutputs, TwoRunsWritingTheSamePagesTakeTurns) {
    // Outlined ideographs: the pages take several times as long to write as a run takes to start.
    const QStringList args{"--columns", "8", "-s", "48", "-c", "64x64", "--outline", "6", "--max-size", "512",
                           "-q", "-o", path("x.png"), "--fnt", path("x.fnt"), "--chars"};
    for (int pair = 0; pair < 12; ++pair) {
        QProcess first, second;
        start(first, args + QStringList{"U+4E00-U+55FF"});
        EXPECT_TRUE(writing(dir.path(), "x_0.png"));
        start(second, args + QStringList{"U+4E00-U+51FF"});
        const Ending a = ended(first, 120000), b = ended(second, 120000);
        EXPECT_EQ(std::pair(a.code, b.code), std::pair(0, 0)) << pair << a.err << b.err;
    }
    // 1,024 characters, 8 to a row and 8 rows to a page: 16 pages, every one complete.
    EXPECT_EQ(entries().size(), 17);
    for (int page = 0; page < 16; ++page) EXPECT_FALSE(QImage(path(QStringLiteral("x_%1.png").arg(page))).isNull()) << page;
}

// A family found through the user's font configuration is read from its files: no output
// may replace one, nor a file of a fallback face that draws the text; a face that draws
// nothing is no input.
TEST_F(InputsOutputs, TheFilesOfAFamilyAndOfItsFallbackFacesAreInputs) {
    const QString its = path("fonts/its.ttf");
    ASSERT_TRUE(QDir().mkpath(path("fonts")) && QDir().mkpath(path("fontconfig")) &&
                QFile::copy(testFonts() + "/renamed.ttf", its) && QFile::copy(testFonts() + "/kerning.ttc", path("fonts/k.ttc")) &&
                // B, which the kerning faces lack, is drawn by the family of its.ttf.
                writeFile(path("fontconfig/fonts.conf"), "<fontconfig><alias><family>Karuvo Kern Lookups</family>"
                          "<prefer><family>Karuvo Test Sans</family></prefer></alias></fontconfig>"));
    QStringList home;  // through env(1), so that only the program sees it
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) home << name + ("=" + dir.path());
    const struct { QStringList args; int exit; QString said; } runs[] = {
        {{"-f", "Karuvo Test Sans", "-t", "AB", "--fnt", its}, 2, "--fnt \"" + its + "\" is the file that -f \"Karuvo Test Sans\" reads"},
        {{"-f", "Karuvo Kern Lookups", "-t", "AB", "--json", its}, 2, "the file that the fallback face \"Karuvo Test Sans\" reads"},
        {{"-f", "Karuvo Kern Lookups", "-t", "AV", "--json", its}, 0, "font \"Karuvo Kern Lookups\" 12 px"}};
    for (const auto& [args, exit, said] : runs) {
        const auto [code, err] = runCli(home + QStringList{KARUVO_CLI_PATH, "-o", path("o.png")} + args, {}, 60000, "/usr/bin/env");
        EXPECT_EQ(code, exit) << err;  // refused before anything is written
        EXPECT_TRUE(QString::fromStdString(err).contains(said)) << err;
    }
}

// Refused as needing 3,300 MiB when the whole sheet was counted; it holds a band at a
// time.
TEST_F(InputsOutputs, PagedAndBandDrawnBuildsAreBudgetedForWhatTheyHoldAtOnce) {
    succeeded({"--charset", "jis-x-0208", "-s", "128", "--outline", "3", "--max-size", "16384", "-o", path("o.png")});
    const QFontMetrics m(plainFace("IPAGothic", 128));
    int height = 0;
    for (int page = 0; page < 4; ++page) {
        const QSize size = QImageReader(path(QStringLiteral("o_%1.png").arg(page))).size();
        EXPECT_EQ(size.width(), 16 * (m.horizontalAdvance(QStringLiteral("\u5B57")) + 6)) << page;
        height += size.height();
    }
    EXPECT_EQ(height, 430 * (m.height() + 6));  // 6,879 characters in rows of 16
}

// Names that are not UTF-8, given through a shell: an argument is refused, and so is a
// text file's name, which is no text to save again.
TEST_F(InputsOutputs, ANameThatIsNotUtf8IsAUsageError) {
    for (const auto& [script, said] : {std::pair("exec \"$0\" -t \"$(printf 'A\\377')\" -o \"$1/out.bmp\"", "argument 2 is not valid UTF-8"),
                                       {"exec \"$0\" -T \"$1/$(printf 'caf\\351').txt\" -o \"$1/out.bmp\"",
                                        "rename a file whose name is not UTF-8"}}) {
        const auto [code, err] = runCli({"-c", script, KARUVO_CLI_PATH, dir.path()}, {}, 60000, "/bin/sh");
        EXPECT_EQ(code, 2) << err;
        EXPECT_NE(err.find(said), std::string::npos) << err;
        EXPECT_EQ(err.find("save the text"), std::string::npos) << err;
        EXPECT_TRUE(entries().isEmpty());
    }
}

// The face's family, as the font file names it: XML 1.0 cannot hold U+0001 even as a
// reference, so the XML gives U+FFFD where the JSON keeps the name whole.
TEST_F(InputsOutputs, AControlCharacterInAFaceNameIsReplacedInTheFntWithAWarning) {
    const std::string err = succeeded({"-f", testFonts() + "/control.ttf", "-t", "A", "-o", path("c.png"), "--fnt",
                                       path("c.fnt"), "--fnt-format", "xml", "--json", path("c.json")});
    EXPECT_NE(err.find("warning: the face name \"Karuvo<U+0001>Test\" holds control characters"), std::string::npos) << err;
    QXmlStreamReader xml(readFile(path("c.fnt")));
    while (!xml.atEnd() && !(xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("info"))) {}
    EXPECT_EQ(xml.attributes().value("face").toString(), QStringLiteral("Karuvo\uFFFDTest")) << xml.errorString().toStdString();
    EXPECT_TRUE(readFile(path("c.json")).contains("\"face\": \"Karuvo\\u0001Test\""));
    // JSON alone keeps the name as it is: nothing to warn of.
    const std::string json = succeeded({"-f", testFonts() + "/control.ttf", "-t", "A", "-o", path("j.png"), "--json", path("j.json")});
    EXPECT_EQ(json.find("control characters"), std::string::npos) << json;
}

// A filesystem of 64 KiB takes no sheet of 96 KiB; one of three inodes, filled, takes
// no new file. The message tells which, for an output in the filesystem's top folder
// and in a folder inside it, and the old output stays.
TEST_F(InputsOutputs, AFullFilesystemIsNamedWithWhatItLacks) {
    const char* const lacks[] = {"no space left on device; free some space on \"%1\"%2 and try again",
                                 "no free inodes left on \"%1\"%2, which holds as many files as it can; remove some files "
                                 "from it and try again"};
    for (const QString sub : {"", "/in"}) {
        // The PNG's first bytes fit and the rest does not.
        for (const auto& [options, text, lack, out] : {std::tuple("size=64k", "ABCDEFGH", lacks[0], "/out.bmp"),
                 {"size=1m,nr_inodes=4", "A", lacks[1], "/out.bmp"}, {"size=8k", "ABCDEFGHIJKLMNOP", lacks[0], "/out.png"}}) {
            SCOPED_TRACE(options + sub.toStdString());
            const QString mount = path(options), folder = mount + sub;
            ASSERT_TRUE(QDir().mkpath(mount));
            if (::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", 0, options) != 0)
                GTEST_SKIP() << "a small filesystem cannot be mounted here";
            const auto unmount = qScopeGuard([at = QFile::encodeName(mount)] { ::umount(at.constData()); });
            ASSERT_TRUE(QDir().mkpath(folder) && writeFile(folder + out, "old"));
            for (int i = 0; text[1] == 0 && writeFile(mount + QStringLiteral("/f%1").arg(i), "x") && i < 10; ++i) {}
            const auto before = filesIn(mount);
            const auto [code, err] = runCli({"-t", text, "-s", "48", "-c", "64x64", "-o", folder + out});
            EXPECT_EQ(code, 1) << err;
            const QString within = sub.isEmpty() ? QString() : " (which holds \"" + folder + "\")";
            EXPECT_EQ(err, QStringLiteral("karuvo-cli: Cannot write \"%1%2\": ").arg(folder, out).toStdString() +
                               QString(lack).arg(mount, within).toStdString() + "\n");
            EXPECT_TRUE(filesIn(mount) == before);
        }
    }
}
