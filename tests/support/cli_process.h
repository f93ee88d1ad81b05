#pragma once

// Running the real karuvo-cli program (KARUVO_CLI_PATH) from a test, and the font files
// made for it (support/test_fonts.h).

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>
#include <string>
#include <utility>

#include "support/test_fonts.h"

namespace karuvo::fakes {

// How a run ended: its exit status, or the signal that ended it, and standard error.
struct Ending {
    bool finished = false;  // false: still running after the limit, and killed
    int code = -1;          // exit status, or the signal's number when `signalled`
    bool signalled = false;
    std::string err;
};

inline Ending ended(QProcess& p, int limitMs) {
    Ending e;
    e.finished = p.waitForFinished(limitMs);
    if (!e.finished) {
        p.kill();
        p.waitForFinished();
    }
    e.code = p.exitCode();
    e.signalled = p.exitStatus() == QProcess::CrashExit;
    e.err = p.readAllStandardError().toStdString();
    return e;
}

// The exit status and standard error of one run, in `workingFolder` when one is given.
inline std::pair<int, std::string> runProgram(const QString& program, const QStringList& args,
                                              const QString& workingFolder = {}) {
    QProcess p;
    if (!workingFolder.isEmpty()) p.setWorkingDirectory(workingFolder);
    p.start(program, args);
    const Ending e = ended(p, 300000);
    EXPECT_TRUE(e.finished);
    EXPECT_FALSE(e.signalled) << "the program crashed";
    return {e.code, e.err};
}

inline std::pair<int, std::string> runCli(const QStringList& args, const QString& workingFolder = {}) {
    return runProgram(QStringLiteral(KARUVO_CLI_PATH), args, workingFolder);
}

// Whether every line of `err` is the program's own.
inline bool allPrefixed(const std::string& err) {
    for (const QString& line : QString::fromStdString(err).split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith("karuvo-cli: ")) return false;
    return true;
}

}  // namespace karuvo::fakes
