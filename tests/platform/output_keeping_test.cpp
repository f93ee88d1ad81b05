// What a write keeps: the mode of a file it replaces, and the folder as its listing was
// when a rename fails; and the error of work done on another thread.
#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/file_output.h"
#include "platform/parallel.h"
#include "support/fixtures.h"

using namespace karuvo;
using fakes::readFile;
using fakes::writeFile;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

}  // namespace

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
