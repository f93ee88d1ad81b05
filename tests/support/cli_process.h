#pragma once

// Running the real karuvo-cli program (KARUVO_CLI_PATH) from a test, and the font files
// made for it (KARUVO_PYTHON runs KARUVO_TEST_FONT_SCRIPT).

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <utility>

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

// A folder of font files no font configuration knows (see make_test_fonts.py): made
// once per test program from the installed DejaVu faces.
inline QString testFonts() {
    static QTemporaryDir fonts;
    static const bool made = [] {
        QProcess p;
        p.start(QStringLiteral(KARUVO_PYTHON), {QStringLiteral(KARUVO_TEST_FONT_SCRIPT), fonts.path()});
        return p.waitForFinished(60000) && p.exitCode() == 0;
    }();
    EXPECT_TRUE(made) << "the test fonts could not be made";
    return fonts.path();
}

}  // namespace karuvo::fakes
