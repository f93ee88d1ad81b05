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

// The exit status and standard error of one run, in `workingFolder` when one is given.
inline std::pair<int, std::string> runProgram(const QString& program, const QStringList& args,
                                              const QString& workingFolder = {}) {
    QProcess p;
    if (!workingFolder.isEmpty()) p.setWorkingDirectory(workingFolder);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(300000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "the program crashed";
    return {p.exitCode(), p.readAllStandardError().toStdString()};
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
