// What a write of several files keeps: every target as it was when any step fails, the
// mode of a file it replaces; and the error of work done on another thread.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_output.h"
#include "platform/parallel.h"
#include "support/fixtures.h"

using namespace karuvo;
using fakes::entries;
using fakes::readFile;
using fakes::writeFile;

namespace {

// Sets or clears the immutable attribute, which stops even root from replacing a file.
bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

// A rename that fails (over an immutable file) puts back what earlier ones replaced or
// removed and leaves no new file; with nothing in the way the same call replaces every
// target and removes the files it names for removal, passing over a name of no file.
TEST(WriteFiles, AFailedRenamePutsBackWhatEarlierOnesReplacedOrRemoved) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.bmp"), page = dir.filePath("a_3.bmp"), b = dir.filePath("b.fnt"), c = dir.filePath("c.json");
    ASSERT_TRUE(writeFile(a, "old a") && writeFile(page, "old page") && writeFile(b, "old b"));
    const std::vector<FileContents> files{{a, "new a"}, {page, {}, nullptr, true}, {dir.filePath("none.bmp"), {}, nullptr, true},
                                          {b, "new b"}, {c, "new c"}};
    if (!setImmutable(b, true)) GTEST_SKIP() << "the immutable attribute cannot be set here";
    const auto e = fakes::thrownBy([&] { writeFilesAtomically(files); });
    setImmutable(b, false);
    ASSERT_TRUE(e) << "the immutable file was replaced";
    EXPECT_NE(std::string(e->what()).find("b.fnt"), std::string::npos) << e->what();
    EXPECT_EQ(QList({readFile(a), readFile(page), readFile(b)}), QList<QByteArray>({"old a", "old page", "old b"}));
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "a_3.bmp", "b.fnt"})) << "a new or temporary file was left";
    writeFilesAtomically(files);
    EXPECT_EQ(QList({readFile(a), readFile(b), readFile(c)}), QList<QByteArray>({"new a", "new b", "new c"}));
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "b.fnt", "c.json"}));
}

TEST(WriteFiles, ALinkWritesTheFileItLeadsToAndTwoNamesOfOneFileAreRefused) {
    QTemporaryDir dir;
    const QString real = dir.filePath("real.bmp"), soft = dir.filePath("soft.bmp"), hard = dir.filePath("hard.bmp");
    ASSERT_TRUE(writeFile(real, "old") && QFile::link(real, soft) &&
                ::link(QFile::encodeName(real).constData(), QFile::encodeName(hard).constData()) == 0);
    const struct { QString a, b; bool same; } names[] = {
        {real, soft, true}, {real, hard, true}, {real, dir.path() + "/./real.bmp", true},
        {dir.filePath("new.fnt"), dir.path() + "/x/../new.fnt", true}, {real, dir.filePath("new.fnt"), false},
        {dir.filePath("new.fnt"), dir.filePath("new.json"), false}};
    for (const auto& n : names) EXPECT_EQ(sameFile(n.a, n.b), n.same) << n.a.toStdString() << " " << n.b.toStdString();
    EXPECT_TRUE(fakes::thrownBy([&] { writeFilesAtomically({{real, "1"}, {hard, "2"}}); }));
    EXPECT_EQ(readFile(real), "old");
    writeFileAtomically(soft, "new");
    EXPECT_EQ(readFile(real), "new");
    EXPECT_TRUE(QFileInfo(soft).isSymLink());
}

// Contents produced piece by piece while the file is written: all of them arrive, and a
// producer that fails half way (by its sink or by throwing) leaves every target as it was.
TEST(WriteFiles, ProducedContentsArriveWholeOrLeaveEverythingAsItWas) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.bmp"), b = dir.filePath("b.fnt");
    ASSERT_TRUE(writeFile(a, "old a") && writeFile(b, "old b"));
    const auto pieces = [](const ByteSink& put) {
        for (int i = 0; i < 1000; ++i)
            if (!put("0123456789", 10)) return false;
        return true;
    };
    const auto throwing = [](const ByteSink& put) -> bool {
        put("half", 4);
        throw Error(ErrorKind::TooLarge, "too large");
    };
    EXPECT_TRUE(fakes::thrownBy([&] { writeFilesAtomically({{a, "new a"}, {b, {}, throwing}}); }));
    EXPECT_EQ(std::pair(readFile(a), readFile(b)), std::pair(QByteArray("old a"), QByteArray("old b")));
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "b.fnt"})) << "a temporary file was left";

    writeFilesAtomically({{a, {}, pieces}, {b, "new b"}});
    EXPECT_EQ(readFile(a), QByteArray("0123456789").repeated(1000));
    EXPECT_EQ(readFile(b), "new b");
}

TEST(WriteFiles, AReplacedFileKeepsItsModeAndANewOneTakesTheUmask) {
    QTemporaryDir dir;
    const QString path = dir.filePath("s.bmp");
    for (const mode_t mode : {0600, 0640, 0751}) {
        ASSERT_TRUE(writeFile(path, "old") && ::chmod(QFile::encodeName(path).constData(), mode) == 0);
        writeFilesAtomically({{path, "new"}});
        EXPECT_EQ(modeOf(path), mode) << std::oct << mode;
        EXPECT_EQ(readFile(path), "new");
    }
    const mode_t mask = ::umask(027);
    writeFileAtomically(dir.filePath("new.fnt"), "n");
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.filePath("new.fnt")), 0640u);
}

// The last target turns into a folder while the files are written, so that its rename
// fails after the others were renamed: the replaced one gets its old file back and the
// new one goes again.
TEST(WriteFiles, AFailedRenameLeavesTheFolderAsItsListingWasBefore) {
    QTemporaryDir dir;
    const QString old = dir.filePath("a.bmp"), added = dir.filePath("b.fnt"), blocked = dir.filePath("c.json");
    ASSERT_TRUE(writeFile(old, "old a"));
    const QStringList before = entries(dir.path());
    const auto block = [&](const ByteSink& put) {
        return QDir(dir.path()).mkpath("c.json/inside") && put("c", 1);
    };
    const auto e = fakes::thrownBy([&] { writeFilesAtomically({{old, "new a"}, {added, "new b"}, {blocked, {}, block}}); });
    ASSERT_TRUE(e) << "the rename over a folder did not fail";
    EXPECT_NE(std::string(e->what()).find("c.json\": is a directory; every output was left as it was"), std::string::npos)
        << e->what();
    EXPECT_EQ(readFile(old), "old a");
    ASSERT_TRUE(QDir(blocked).removeRecursively());
    EXPECT_EQ(entries(dir.path()), before);
}

// Whichever piece throws, on the calling thread or a worker, its error reaches the
// caller once every piece has run, and the workers take the next run.
TEST(RunParallel, AnErrorThrownByAnyPieceReachesTheCaller) {
    for (const int thrower : {0, 1, 3}) {
        std::atomic<int> ran{0};
        const auto e = fakes::thrownBy([&] {
            runParallel(4, [&](int i) {
                ++ran;
                if (i == thrower) throw Error(ErrorKind::Io, "piece " + std::to_string(i));
            });
        });
        ASSERT_TRUE(e) << thrower;
        EXPECT_EQ(std::string(e->what()), "piece " + std::to_string(thrower));
        EXPECT_EQ(ran, 4);
    }
    std::atomic<std::int64_t> rows{0};
    const auto e = fakes::thrownBy([&] {
        forRowBands(0, 4000, 1000, [&](std::int64_t first, std::int64_t last) {
            rows += last - first;
            if (last == 4000) throw Error(ErrorKind::Io, "the last band");
        });
    });
    ASSERT_TRUE(e);
    EXPECT_EQ(rows, 4000);
}
