#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace karuvo::fakes {

// A folder of font files no font configuration knows (see make_test_fonts.py), made once
// per test program by KARUVO_PYTHON running KARUVO_TEST_FONT_SCRIPT.
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
