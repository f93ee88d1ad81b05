// What a write of several files keeps: every target as it was when any step fails, the
// mode of a file it replaces; and the error of work done on another thread.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
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

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct WriteFiles : ::testing::Test {
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(name); }
    QList<QByteArray> read(std::initializer_list<const char*> names) const {
        QList<QByteArray> all;
        for (const char* name : names) all << readFile(path(name));
        return all;
    }
};

}  // namespace

// The last target turns into a folder while the files are written, so that its rename
// fails after the others were renamed: what they replaced or removed is put back and no
// new file is left. With nothing in the way the same call replaces every target, its
// contents produced piece by piece arriving whole, and removes the files it names for
// removal, passing over a name of no file. A producer that throws leaves every target.
TEST_F(WriteFiles, AFailedRenameOrProducerLeavesTheFolderAsItWas) {
    ASSERT_TRUE(writeFile(path("a.bmp"), "old a") && writeFile(path("a_3.bmp"), "old page") && writeFile(path("b.fnt"), "old b"));
    bool block = true;
    const auto last = [&](const ByteSink& put) {
        bool ok = !block || QDir(dir.path()).mkpath("c.json/inside");
        for (int i = 0; i < 1000 && ok; ++i) ok = put("0123456789", 10);
        return ok;
    };
    const std::vector<FileContents> files{{path("a.bmp"), "new a"}, {path("a_3.bmp"), {}, nullptr, true},
                                          {path("none.bmp"), {}, nullptr, true}, {path("b.fnt"), "new b"},
                                          {path("d.txt"), "new d"}, {path("c.json"), {}, last}};
    const auto e = fakes::thrownBy([&] { writeFilesAtomically(files); });
    ASSERT_TRUE(e) << "the rename over a folder did not fail";
    EXPECT_NE(std::string(e->what()).find("c.json\": is a directory; every output was left as it was"), std::string::npos)
        << e->what();
    ASSERT_TRUE(QDir(path("c.json")).removeRecursively());
    EXPECT_EQ(read({"a.bmp", "a_3.bmp", "b.fnt"}), QList<QByteArray>({"old a", "old page", "old b"}));
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "a_3.bmp", "b.fnt"})) << "a new or temporary file was left";
    block = false;
    writeFilesAtomically(files);
    const QList<QByteArray> written{"new a", "new b", QByteArray("0123456789").repeated(1000), "new d"};
    EXPECT_EQ(read({"a.bmp", "b.fnt", "c.json", "d.txt"}), written);
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "b.fnt", "c.json", "d.txt"}));
    const auto throwing = [](const ByteSink& put) -> bool { put("half", 4), throw Error(ErrorKind::TooLarge, "too large"); };
    EXPECT_TRUE(fakes::thrownBy([&] { writeFilesAtomically({{path("a.bmp"), "newer a"}, {path("b.fnt"), {}, throwing}}); }));
    EXPECT_EQ(read({"a.bmp", "b.fnt", "c.json", "d.txt"}), written);
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "b.fnt", "c.json", "d.txt"})) << "a temporary file was left";
}

TEST_F(WriteFiles, ALinkWritesTheFileItLeadsToAndTwoNamesOfOneFileAreRefused) {
    const QString real = path("real.bmp"), soft = path("soft.bmp"), hard = path("hard.bmp");
    ASSERT_TRUE(writeFile(real, "old") && QFile::link(real, soft) &&
                ::link(QFile::encodeName(real).constData(), QFile::encodeName(hard).constData()) == 0);
    const struct { QString a, b; bool same; } names[] = {
        {real, soft, true}, {real, hard, true}, {real, dir.path() + "/./real.bmp", true},
        {path("new.fnt"), dir.path() + "/x/../new.fnt", true}, {real, path("new.fnt"), false},
        {path("new.fnt"), path("new.json"), false}};
    for (const auto& n : names) EXPECT_EQ(sameFile(n.a, n.b), n.same) << n.a.toStdString() << " " << n.b.toStdString();
    EXPECT_TRUE(fakes::thrownBy([&] { writeFilesAtomically({{real, "1"}, {hard, "2"}}); }));
    EXPECT_EQ(readFile(real), "old");
    writeFileAtomically(soft, "new");
    EXPECT_EQ(readFile(real), "new");
    EXPECT_TRUE(QFileInfo(soft).isSymLink());
}

TEST_F(WriteFiles, AReplacedFileKeepsItsModeAndANewOneTakesTheUmask) {
    ASSERT_TRUE(writeFile(path("s.bmp"), "old") && ::chmod(QFile::encodeName(path("s.bmp")).constData(), 0751) == 0);
    writeFilesAtomically({{path("s.bmp"), "new"}});
    EXPECT_EQ(std::pair(modeOf(path("s.bmp")), readFile(path("s.bmp"))), std::pair(mode_t(0751), QByteArray("new")));
    const mode_t mask = ::umask(027);
    writeFileAtomically(path("new.fnt"), "n");
    ::umask(mask);
    EXPECT_EQ(modeOf(path("new.fnt")), 0640u);
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
        EXPECT_EQ(std::pair(std::string(e->what()), int(ran)), std::pair("piece " + std::to_string(thrower), 4));
    }
    std::atomic<std::int64_t> rows{0};
    const auto e = fakes::thrownBy([&] {
        forRowBands(0, 4000, 1000, [&](std::int64_t first, std::int64_t last) {
            rows += last - first;
            if (last == 4000) throw Error(ErrorKind::Io, "the last band");
        });
    });
    EXPECT_TRUE(e && rows == 4000);
}
