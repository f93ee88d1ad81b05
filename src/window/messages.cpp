#include "messages.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <algorithm>

namespace karuvo::window {
namespace {

// Names that the builder and the readers give the values in their messages; listed
// here so that they are translated with the message that names them.
[[maybe_unused]] const char* const kValueNames[] = {
    QT_TRANSLATE_NOOP("karuvo", "the outline radius"),
    QT_TRANSLATE_NOOP("karuvo", "the sheet width"),
    QT_TRANSLATE_NOOP("karuvo", "the sheet height"),
    QT_TRANSLATE_NOOP("karuvo", "the sheet box width"),
    QT_TRANSLATE_NOOP("karuvo", "the sheet box height"),
    QT_TRANSLATE_NOOP("karuvo", "the column count"),
    QT_TRANSLATE_NOOP("karuvo", "the row count"),
    QT_TRANSLATE_NOOP("karuvo", "the fitted cell width"),
    QT_TRANSLATE_NOOP("karuvo", "the fitted cell height"),
    QT_TRANSLATE_NOOP("karuvo", "a cell position"),
    QT_TRANSLATE_NOOP("karuvo", "a cell's left edge"),
    QT_TRANSLATE_NOOP("karuvo", "a cell's top edge"),
    QT_TRANSLATE_NOOP("karuvo", "a character position"),
    QT_TRANSLATE_NOOP("karuvo", "a shadow position"),
    QT_TRANSLATE_NOOP("karuvo", "a texture tile position"),
};

QString translated(const char* text) { return QCoreApplication::translate(kMessageContext, text); }

const char* leadFor(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::Overflow:
        return QT_TRANSLATE_NOOP("karuvo", "A number is too large to work with. Make the cell size, the shadow offsets or the text smaller.");
    case ErrorKind::InvalidSize:
        return QT_TRANSLATE_NOOP("karuvo", "The sheet cannot be made at this size. Check the cell size and the text.");
    case ErrorKind::TooLarge:
        return QT_TRANSLATE_NOOP("karuvo", "The sheet is too large for the memory. Make the cell size or the text smaller.");
    case ErrorKind::Image:
        return QT_TRANSLATE_NOOP("karuvo", "The texture image cannot be loaded. Choose another image file.");
    case ErrorKind::Io:
        return QT_TRANSLATE_NOOP("karuvo", "The file cannot be written. Choose another folder or file name.");
    case ErrorKind::Text:
        return QT_TRANSLATE_NOOP("karuvo", "The text cannot be read. Type it again.");
    case ErrorKind::Setting:
        return QT_TRANSLATE_NOOP("karuvo", "The project file cannot be read. Correct it as the message says.");
    }
    return QT_TRANSLATE_NOOP("karuvo", "The operation failed.");
}

}  // namespace

void installJapaneseTranslations(QCoreApplication& app) {
    // Qt's dialogs take the kinds of files, and whatever else they write in the
    // default locale's forms, in Japanese too.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* own = new QTranslator(&app);
    if (own->load(QStringLiteral(":/i18n/karuvo_ja.qm"))) QCoreApplication::installTranslator(own);
    auto* qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

namespace {

// A translatable message in the window's words; a plain one as it stands.
std::string translatedMessage(const Error& error) {
    if (!error.source()) return error.what();
    std::vector<std::string> args;
    args.reserve(error.arguments().size() + 1);
    for (std::size_t i = 0; i < error.arguments().size(); ++i) {
        const std::string& arg = error.arguments()[i];
        args.push_back(error.translatesArgument(i) ? translated(arg.c_str()).toStdString() : arg);
    }
    if (const Error* detail = error.detail()) args.push_back(translatedMessage(*detail));
    return fillArguments(translated(error.source()).toStdString(), args);
}

}  // namespace

QString userMessage(const Error& error) {
    if (!error.source()) return translated(leadFor(error.kind())) + u'\n' + QString::fromStdString(error.what());
    return QString::fromStdString(translatedMessage(error));
}

QString spillText(const SheetSettings& settings, std::int32_t cellWidth, std::int32_t cellHeight, const CellSize& holding) {
    const char* spill =
        settings.distanceRange > 0 ? QT_TRANSLATE_NOOP("karuvo", "The distance field reaches past cells of %1 x %2 pixels and is cut at their edges; cells of %3 x %4 would hold it")
        : settings.effect == EffectKind::Shadow
            ? QT_TRANSLATE_NOOP("karuvo", "The shadow reaches past cells of %1 x %2 pixels into their neighbours; cells of %3 x %4 would hold it")
            : QT_TRANSLATE_NOOP("karuvo", "The outline reaches past cells of %1 x %2 pixels into their neighbours; cells of %3 x %4 would hold it");
    return translated(spill).arg(cellWidth).arg(cellHeight).arg(holding.width).arg(holding.height);
}

QString fieldFillText() {
    return translated(QT_TRANSLATE_NOOP("karuvo", "A distance field's colour is set in the shader, so the fill colour is not written; red, green, blue and alpha all hold the field"));
}

Error conflictError(const SettingConflict& conflict) {
    const auto control = [](Setting s) -> std::string {
        switch (s) {
        case Setting::DistanceField: return QT_TRANSLATE_NOOP("karuvo", "the distance field");
        case Setting::Shadow: return QT_TRANSLATE_NOOP("karuvo", "the shadow (影)");
        case Setting::Outline: return QT_TRANSLATE_NOOP("karuvo", "the outline (縁取り)");
        case Setting::Texture: return QT_TRANSLATE_NOOP("karuvo", "the image fill (画像)");
        case Setting::Mono: return QT_TRANSLATE_NOOP("karuvo", "monochrome glyphs");
        case Setting::Underline: return QT_TRANSLATE_NOOP("karuvo", "the font's underline");
        case Setting::Strikeout: return QT_TRANSLATE_NOOP("karuvo", "the font's strikeout");
        case Setting::BitmapSheet: return QT_TRANSLATE_NOOP("karuvo", "a bitmap sheet file");
        case Setting::BinaryFnt: return QT_TRANSLATE_NOOP("karuvo", "the binary .fnt form");
        case Setting::ColourGlyphs: return QT_TRANSLATE_NOOP("karuvo", "colour glyphs (カラーグリフ)");
        }
        return {};
    };
    std::vector<std::string> both{control(conflict.first), control(conflict.second)};
    switch (conflict.reason) {
    case ConflictReason::FieldIsShapeAlone:
        return Error(ErrorKind::Setting,
                     QT_TRANSLATE_NOOP("karuvo", "%1 and %2 cannot be used together: a distance field holds the glyphs' shape alone, and effects belong in the shader. Turn one of them off."),
                     std::move(both));
    case ConflictReason::FieldNeedsPng:
        return Error(ErrorKind::Setting,
                     QT_TRANSLATE_NOOP("karuvo", "%1 cannot be held in %2: the field is kept in the alpha channel of a PNG sheet. Give the sheet file a name ending in .png."),
                     std::move(both));
    case ConflictReason::FieldNotInBinary:
        return Error(ErrorKind::Setting,
                     QT_TRANSLATE_NOOP("karuvo", "%1 cannot be described in %2, which cannot say that its page is a distance field. Choose the text or XML form."),
                     std::move(both));
    case ConflictReason::OneColourDrawing:
        return Error(ErrorKind::Setting,
                     QT_TRANSLATE_NOOP("karuvo", "%1 and %2 cannot be used together: colour glyphs keep their own colours, and %2 draws glyphs in one colour. Turn one of them off."),
                     std::move(both));
    }
    return Error(ErrorKind::Setting, "");
}

Error nothingWrittenError(const Error& why) {
    return Error(ErrorKind::Setting, QT_TRANSLATE_NOOP("karuvo", "%1 Nothing was written."), {}, 0, &why);
}

QString madeFoldersText(const QStringList& folders) {
    return translated(QT_TRANSLATE_NOOP("karuvo", "Made the folders that did not exist: %1")).arg(folders.join(QStringLiteral(", ")));
}

QString savedText(const QString& path, const QStringList& madeFolders) {
    QString said = translated(QT_TRANSLATE_NOOP("karuvo", "Saved the sheet: %1")).arg(path);
    if (!madeFolders.isEmpty()) said += u'\n' + madeFoldersText(madeFolders);
    return said;
}

QString exportText(const OutputResult& result, std::size_t files) {
    QStringList said;
    const QString sheet = result.paths.isEmpty() ? QString() : result.paths.front();
    said << translated(QT_TRANSLATE_NOOP("karuvo", "Exported %1 files: %2"))
                .arg(files)
                .arg(sheet + (result.paths.size() > 1 ? QStringLiteral(" …") : QString()));
    if (!result.madeFolders.isEmpty()) said << madeFoldersText(result.madeFolders);
    if (result.spillCell) {
        said << spillText(result.settings, result.geometry.cellWidth, result.geometry.cellHeight, *result.spillCell);
    }
    if (fieldDropsFill(result.settings)) said << fieldFillText();
    if (result.inkSpill) {
        QStringList names;
        for (const char32_t c : result.inkSpill->chars) names << QStringLiteral("「%1」").arg(codePointText(c));
        said << translated(QT_TRANSLATE_NOOP("karuvo", "The ink of %1 reaches past cells of %2 x %3 pixels, and the descriptors' rectangles stop at the cell's edge; cells of %4 x %5 would hold it"))
                    .arg(names.join(QString()))
                    .arg(result.geometry.cellWidth)
                    .arg(result.geometry.cellHeight)
                    .arg(result.inkSpill->cell.width)
                    .arg(result.inkSpill->cell.height);
    }
    if (!result.leftOverPages.empty()) {
        said << translated(QT_TRANSLATE_NOOP("karuvo", "Pages an earlier export left, which no replaced descriptor names, are kept: %1"))
                    .arg(QStringList(result.leftOverPages.begin(), result.leftOverPages.end()).join(QStringLiteral(", ")));
    }
    return said.join(u'\n');
}

namespace {

// One character another face drew or none had, with what became of it.
QString missingCharText(const SheetFindings& f, const FallbackChar& m) {
    const QString name = QStringLiteral("U+%1 %2")
                             .arg(QString::number(static_cast<std::uint32_t>(m.codePoint), 16).toUpper().rightJustified(4, u'0'),
                                  codePointText(m.codePoint));
    return f.leftEmpty        ? translated(QT_TRANSLATE_NOOP("karuvo", "%1 left empty")).arg(name)
           : m.face.isEmpty() ? translated(QT_TRANSLATE_NOOP("karuvo", "%1: no installed face has it, so its cell shows the missing-glyph box")).arg(name)
                              : translated(QT_TRANSLATE_NOOP("karuvo", "%1 drawn with \"%2\"")).arg(name, m.face);
}

}  // namespace

QString missingCharactersText(const SheetFindings& f) {
    QStringList lines;
    for (const FallbackChar& m : f.missing) lines << missingCharText(f, m);
    return lines.join(u'\n');
}

QString findingsText(const SheetFindings& f, const SheetSettings& settings, const Sheet& sheet) {
    QStringList said;
    if (f.textureMissing) {
        said << translated(QT_TRANSLATE_NOOP("karuvo", "No image is chosen for the image fill (画像), so the glyphs are white."));
    }
    if (f.missing.empty()) {
        said << translated(QT_TRANSLATE_NOOP("karuvo", "Every character is in \"%1\"; no other face drew any.")).arg(f.face);
    } else {
        constexpr std::size_t kFirstFew = 3;
        QStringList which;
        for (std::size_t i = 0; i < std::min(f.missing.size(), kFirstFew); ++i) which << missingCharText(f, f.missing[i]);
        if (f.missing.size() > kFirstFew)
            which << translated(QT_TRANSLATE_NOOP("karuvo", "and %1 more")).arg(f.missing.size() - kFirstFew);
        said << translated(QT_TRANSLATE_NOOP("karuvo", "%1 characters are not in \"%2\": %3"))
                    .arg(QString::number(f.missing.size()), f.face,
                         which.join(translated(QT_TRANSLATE_NOOP("karuvo", ", "))));
    }
    if (f.spillCell) said << spillText(settings, sheet.cellWidth, sheet.cellHeight, *f.spillCell);
    if (fieldDropsFill(settings)) said << fieldFillText();
    return said.join(u'\n');
}

}  // namespace karuvo::window
