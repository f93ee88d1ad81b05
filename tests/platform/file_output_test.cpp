#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/file_output.h"
#include "support/fixtures.h"

using namespace karuvo;
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

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

}  // namespace

TEST(WriteFiles, AFailedRenamePutsBackWhatEarlierOnesReplaced) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.bmp"), b = dir.filePath("b.fnt"), c = dir.filePath("c.json");
    ASSERT_TRUE(writeFile(a, "old a") && writeFile(b, "old b"));
    if (!setImmutable(b, true)) GTEST_SKIP() << "the immutable attribute cannot be set here";
    const auto e = fakes::thrownBy([&] { writeFilesAtomically({{a, "new a"}, {b, "new b"}, {c, "new c"}}); });
    setImmutable(b, false);
    ASSERT_TRUE(e) << "the immutable file was replaced";
    EXPECT_NE(std::string(e->what()).find("b.fnt"), std::string::npos) << e->what();
    EXPECT_EQ(std::pair(readFile(a), readFile(b)), std::pair(QByteArray("old a"), QByteArray("old b")));
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "b.fnt"})) << "a new or temporary file was left";
    // With nothing in the way the same call replaces all three.
    writeFilesAtomically({{a, "new a"}, {b, "new b"}, {c, "new c"}});
    EXPECT_EQ(QList({readFile(a), readFile(b), readFile(c)}), QList<QByteArray>({"new a", "new b", "new c"}));
    EXPECT_EQ(entries(dir.path()).size(), 3);
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

// A file removed with the write comes back when a later rename fails, and is gone when
// none does; a name of no file to remove is passed over.
TEST(WriteFiles, AFileRemovedWithTheWriteComesBackWhenTheWriteFails) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.bmp"), page = dir.filePath("a_3.bmp"), b = dir.filePath("b.fnt");
    ASSERT_TRUE(writeFile(a, "old a") && writeFile(page, "old page") && writeFile(b, "old b"));
    const std::vector<FileContents> files{
        {a, "new a"}, {page, {}, nullptr, true}, {dir.filePath("none.bmp"), {}, nullptr, true}, {b, "new b"}};
    if (!setImmutable(b, true)) GTEST_SKIP() << "the immutable attribute cannot be set here";
    const auto e = fakes::thrownBy([&] { writeFilesAtomically(files); });
    setImmutable(b, false);
    ASSERT_TRUE(e) << "the immutable file was replaced";
    EXPECT_EQ(QList({readFile(a), readFile(page), readFile(b)}), QList<QByteArray>({"old a", "old page", "old b"}));
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "a_3.bmp", "b.fnt"}));
    writeFilesAtomically(files);
    EXPECT_EQ(entries(dir.path()), QStringList({"a.bmp", "b.fnt"}));
}
