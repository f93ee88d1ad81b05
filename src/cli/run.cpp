#include "run.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <new>

#include "cli/arguments.h"
#include "cli/descriptors.h"
#include "cli/report.h"
#include "cli/text_input.h"
#include "export/sheet_file.h"
#include "platform/error.h"
#include "platform/image_io.h"
#include "sheet/builder.h"
#include "sheet/grid.h"

namespace karuvo::cli {
namespace {

const QString kPrefix = QStringLiteral("karuvo-cli: ");

// What to change, for the errors whose own message names only what went wrong.
QString hintFor(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::TooLarge: return QStringLiteral("; give a smaller cell (-c) or font (-s), or a shorter text");
    case ErrorKind::Image: return QStringLiteral("; give --texture a whole image file of a readable format");
    case ErrorKind::Overflow: return QStringLiteral("; give a smaller cell (-c) or shadow offset, or a shorter text");
    default: return {};
    }
}

// The font the builder will draw with, made the same way, so that the fitted cell,
// the report and the descriptors describe what is on the sheet. Fills in
// settings.font when a font option was given.
std::unique_ptr<Font> chooseFont(CliOptions& o, QTextStream& err) {
    if (!o.font.given) return Font::createDefaultSheetFont();
    const FontDescription d = o.font.description(Font::createDefaultSheetFont()->resolvedFamily());
    std::unique_ptr<Font> font = Font::create(d);
    if (!font) {
        throw Error(ErrorKind::InvalidSize, "Cannot make the font \"" + d.faceName.toStdString() + "\" at " +
                                                std::to_string(o.font.pixelSize) + " pixels");
    }
    // A family may be installed under a localised name too ("IPAゴシック").
    if (!o.font.family.isEmpty() && !QFontDatabase::hasFamily(o.font.family) &&
        font->resolvedFamily().compare(o.font.family, Qt::CaseInsensitive) != 0) {
        err << kPrefix << "warning: the font family \"" << o.font.family << "\" is not installed; using \""
            << font->resolvedFamily() << "\" instead\n";
    }
    o.settings.font = d;
    return font;
}

void fitCell(SheetSettings& s, const Font& font) {
    CharBox cell;
    try {
        cell = fittedCellSize(s.text, font, effectAllowance(s.effect, s.shadowDx, s.shadowDy, s.outlineRadius));
    } catch (const Error& e) {
        throw Error(ErrorKind::InvalidSize,
                    std::string(e.what()) + "; give a smaller shadow offset or a cell size with -c WxH");
    }
    if (cell.width < 1 || cell.height < 1) {
        throw Error(ErrorKind::InvalidSize,
                    "The cell fitted to the text is " + std::to_string(cell.width) + " x " +
                        std::to_string(cell.height) + " pixels, which has no area; " +
                        (largestCharBox(s.text, font).width == 0 ? "give a text with characters to draw"
                                                                 : "give a cell size with -c WxH"));
    }
    s.cellWidth = cell.width;
    s.cellHeight = cell.height;
}

QString relativeTo(const QString& file, const QString& fromFile) {
    return QDir(QFileInfo(fromFile).absolutePath()).relativeFilePath(QFileInfo(file).absoluteFilePath());
}

int build(CliOptions& o, QTextStream& err) {
    SheetSettings& s = o.settings;
    if (o.textFile) s.text = readTextFile(*o.textFile);
    const std::unique_ptr<Font> font = chooseFont(o, err);
    if (!o.cellGiven) fitCell(s, *font);

    const SheetFileFormat format = *sheetFileFormat(o.outputPath);
    const bool describing = !o.fntPath.isEmpty() || !o.jsonPath.isEmpty();
    s.keepCoverage = needsCoverage(format);
    s.findKerning = describing && o.pitch == Pitch::Font;
    const Sheet sheet = buildSheet(s);
    if (sheet.width <= 0 || sheet.height <= 0) {
        throw Error(ErrorKind::InvalidSize, "The sheet is " + std::to_string(sheet.width) + " x " +
                                                std::to_string(sheet.height) +
                                                " pixels and has no area; give a text with characters to draw");
    }
    const SheetGeometry geometry{sheet.width, sheet.height, sheet.columns, sheet.rows, sheet.cellWidth,
                                 sheet.cellHeight};

    // Everything is encoded before anything is written, so a failure writes nothing.
    std::vector<FileContents> files{{o.outputPath, encodeSheet(sheet, format, 0, 0, sheet.width, sheet.height)}};
    if (describing) {
        const DescriptorFont df{font->resolvedFamily(), o.font.pixelSize, o.font.bold, o.font.italic};
        // The page is named from the descriptor's folder; the JSON names no page.
        const QString page = relativeTo(o.outputPath, o.fntPath.isEmpty() ? o.jsonPath : o.fntPath);
        Descriptor d;
        if (o.pitch == Pitch::Cell) {
            const QFontMetrics& m = font->metrics();
            d = cellPitchDescriptor(sheet, df,
                                    cellBaseline(sheet.cellHeight, m.height(), m.ascent(),
                                                 s.effect == EffectKind::Shadow ? s.shadowDy : 0),
                                    page);
        } else {
            const EffectRoom room = s.effect == EffectKind::Shadow    ? shadowRoom(s.shadowDx, s.shadowDy)
                                    : s.effect == EffectKind::Outline ? outlineRoom(s.outlineRadius)
                                                                      : EffectRoom{};
            d = fontPitchDescriptor(sheet, df, room, page);
        }
        if (!o.fntPath.isEmpty()) {
            files.push_back({o.fntPath, o.fntFormat == FntFormat::Xml      ? fntXml(d)
                                        : o.fntFormat == FntFormat::Binary ? fntBinary(d)
                                                                           : fntText(d)});
        }
        if (!o.jsonPath.isEmpty()) files.push_back({o.jsonPath, jsonDescriptor(d, o.pitch == Pitch::Font)});
    }
    writeFilesAtomically(files);

    if (!o.quiet) {
        err << reportText(geometry, gridCells(s.text).size(), font->resolvedFamily(), o.font.pixelSize,
                          missingCharacters(s.text, *font));
    }
    return kExitOk;
}

}  // namespace

int run(const QStringList& args, QTextStream& out, QTextStream& err) {
    ParseOutcome parsed = parseArguments(args);
    switch (parsed.action) {
    case ParseOutcome::Action::Help:
        out << helpText();
        return kExitOk;
    case ParseOutcome::Action::Version:
        out << versionText();
        return kExitOk;
    case ParseOutcome::Action::Usage:
        err << kPrefix << parsed.message << '\n' << kPrefix << "see karuvo-cli --help for the options\n";
        return kExitUsage;
    case ParseOutcome::Action::Run:
        break;
    }
    try {
        return build(parsed.options, err);
    } catch (const Error& e) {
        err << kPrefix << QString::fromStdString(e.what()) << hintFor(e.kind()) << '\n';
    } catch (const std::bad_alloc&) {
        err << kPrefix << "out of memory; give a shorter text or a smaller cell\n";
    }
    return kExitFailure;
}

}  // namespace karuvo::cli
