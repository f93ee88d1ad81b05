#pragma once

// Running the real karuvo-cli program (KARUVO_CLI_PATH) from a test, and the oracles its
// runs are held against: folder contents, pictures, the report.

#include <QDirIterator>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <utility>

#include "support/fixtures.h"
#include "support/test_fonts.h"

namespace karuvo::fakes {

// How a run ended: its exit status, or the signal that ended it, and standard error.
// Not `finished`: still running after the limit, and killed. `code`: the signal's number
// when `signalled`.
struct Ending { bool finished; int code; bool signalled; std::string err; };

inline Ending ended(QProcess& p, int limitMs) {
    const bool finished = p.waitForFinished(limitMs);
    if (!finished) p.kill(), p.waitForFinished();
    return {finished, p.exitCode(), p.exitStatus() == QProcess::CrashExit, p.readAllStandardError().toStdString()};
}

// The exit status and standard error of one run of `program`, in `workingFolder` when one is given.
inline std::pair<int, std::string> runCli(const QStringList& args, const QString& workingFolder = {}, int limitMs = 300000,
                                          const QString& program = QStringLiteral(KARUVO_CLI_PATH)) {
    QProcess p;
    if (!workingFolder.isEmpty()) p.setWorkingDirectory(workingFolder);
    p.start(program, args);
    const Ending e = ended(p, limitMs);
    EXPECT_TRUE(e.finished) << "still running after " << limitMs << " ms";
    EXPECT_FALSE(e.signalled) << "the program crashed";
    return {e.code, e.err};
}

// Standard error of a run that must succeed.
inline std::string succeeded(const QStringList& args, const QString& workingFolder = {}) {
    const auto [code, err] = runCli(args, workingFolder);
    EXPECT_EQ(code, 0) << err;
    return err;
}

// Every entry below `folder` by its path from there: a file's bytes, a link's target,
// or the mode of anything else (a folder, a pipe, a device), which is never opened.
inline QMap<QString, QByteArray> filesIn(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        files[QDir(folder).relativeFilePath(path)] = S_ISREG(st.st_mode)   ? readFile(path)
                                                     : S_ISLNK(st.st_mode) ? "-> " + QFile::encodeName(QFile::symLinkTarget(path))
                                                                           : QByteArray::number(st.st_mode, 8);
    }
    return files;
}

// The written picture, in the format the plain painter's sheets are drawn in.
inline QImage rgb32(const QString& written) { return QImage(written).convertToFormat(QImage::Format_RGB32); }

}  // namespace karuvo::fakes
