#pragma once

#include <QFontDatabase>
#include <QSet>
#include <QString>

namespace karuvo::fakes {

// The folder of font files no font configuration knows (see make_test_fonts.py), made
// by the build from the installed DejaVu faces (KARUVO_TEST_FONTS).
inline QString testFonts() { return QStringLiteral(KARUVO_TEST_FONTS); }

// A test font file, loaded into this process too, so that a plain painter can draw with it.
inline QString testFont(const QString& name) {
    static QSet<QString> loaded;
    const QString file = testFonts() + u'/' + name;
    if (!loaded.contains(name) && QFontDatabase::addApplicationFont(file) >= 0) loaded.insert(name);
    return file;
}

}  // namespace karuvo::fakes
