#include "font_files.h"

#include <QFile>
#include <QGlyphRun>
#include <QTextLayout>
#include <fontconfig/fontconfig.h>
#include <algorithm>
#include <memory>
#include <unordered_set>

#include "font.h"

namespace karuvo {
namespace {

struct PatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct ObjectSetFree {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct FontSetFree {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// The families of the fallback faces that draw the characters of `text` that the own
// face of `font` lacks, laid out together, as the layout picks the face for each.
QStringList fallbackFamilies(const Font& font, const QString& text) {
    QString lacked;
    std::unordered_set<char32_t> seen;
    for (const char32_t c : text.toUcs4())
        if (c >= 0x20 && seen.insert(c).second && !font.hasGlyph(c)) lacked += codePointText(c);
    if (lacked.isEmpty()) return {};
    QTextLayout layout(lacked, font.qfont());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        // Characters no installed face covers come in a run of Qt's stand-in engine,
        // which draws boxes and has neither a family nor a size.
        const QRawFont face = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        if (face.isValid() && face.pixelSize() > 0 && std::any_of(glyphs.begin(), glyphs.end(), [](quint32 g) { return g != 0; }) &&
            !families.contains(face.familyName()))
            families << face.familyName();
    }
    return families;
}

}  // namespace

std::vector<ConfiguredFace> configuredFaces(const QString& family) {
    std::vector<ConfiguredFace> faces;
    const std::unique_ptr<FcObjectSet, ObjectSetFree> wanted(FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr));
    const std::unique_ptr<FcPattern, PatternFree> pattern(FcPatternCreate());
    const QByteArray name = family.toUtf8();
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
    const std::unique_ptr<FcFontSet, FontSetFree> set(FcFontList(nullptr, pattern.get(), wanted.get()));
    for (int j = 0; set && j < set->nfont; ++j) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(set->fonts[j], FC_FILE, 0, &file) != FcResultMatch) continue;
        FcPatternGetInteger(set->fonts[j], FC_INDEX, 0, &index);
        faces.push_back({QFile::decodeName(reinterpret_cast<const char*>(file)), index});
    }
    return faces;
}

std::vector<FaceFile> drawingFontFiles(const Font& font, const QString& text) {
    // A font without fallback lays the characters its face lacks out in no other face.
    QStringList families{font.resolvedFamily()};
    for (const QString& family : fallbackFamilies(font, text))
        if (!families.contains(family)) families << family;
    std::vector<FaceFile> files;
    for (qsizetype i = 0; i < families.size(); ++i) {
        for (const ConfiguredFace& face : configuredFaces(families[i]))
            files.push_back({families[i], face.path, i > 0});
    }
    return files;
}

}  // namespace karuvo
