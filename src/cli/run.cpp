#include "run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <algorithm>
#include <cstdlib>
#include <new>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

#include "cli/arguments.h"
#include "export/descriptors.h"
#include "export/outputs.h"
#include "cli/report.h"
#include "project/text_input.h"
#include "export/sheet_file.h"
#include "platform/checked.h"
#include "platform/error.h"
#include "platform/file_input.h"
#include "platform/file_output.h"
#include "platform/image_io.h"
#include "project/project_file.h"
#include "sheet/builder.h"
#include "sheet/char_source.h"
#include "sheet/distance_field.h"
#include "sheet/findings.h"
#include "sheet/grid.h"
#include "sheet/pages.h"

namespace karuvo::cli {
namespace {

const QString kPrefix = QStringLiteral("karuvo-cli: ");

// The files the run reads. Each new kind of input joins this list, and is then kept
// from being replaced by any output.
std::vector<NamedFile> inputFiles(const CliOptions& o) {
    std::vector<NamedFile> inputs;
    if (o.font.given && looksLikeFontPath(o.font.family)) inputs.push_back({QStringLiteral("-f"), o.font.family});
    if (o.textFile && *o.textFile != QLatin1String("-")) inputs.push_back({QStringLiteral("-T"), *o.textFile});
    if (!o.projectPath.isEmpty()) inputs.push_back({QStringLiteral("--project"), o.projectPath});
    if (o.settings.fill == FillKind::Texture && !o.settings.texturePath.isEmpty())
        inputs.push_back({QStringLiteral("--texture"), o.settings.texturePath});
    return inputs;
}

// What to change, for the errors whose own message names only what went wrong.
QString hintFor(const Error& e) {
    switch (e.kind()) {
    case ErrorKind::TooLarge: return QStringLiteral("; give a smaller cell (-c) or font (-s), or a shorter text");
    case ErrorKind::Image:
        if (e.source() == kPictureTooLarge) return QStringLiteral("; give --texture a smaller picture");
        return "; give --texture a whole image file of a readable format (" +
               readablePictureFormats().join(QStringLiteral(", ")) + ")";
    case ErrorKind::Overflow: return QStringLiteral("; give a smaller cell (-c) or shadow offset, or a shorter text");
    default: return {};
    }
}

// The font the builder will draw with, made the same way, so that the fitted cell,
// the report and the descriptors describe what is on the sheet. Fills in
// settings.font when a font option was given. A font file is loaded into `file`, which
// must outlive every use of the font.
std::unique_ptr<Font> chooseFont(CliOptions& o, std::unique_ptr<FontFile>& file, QTextStream& err) {
    if (!o.font.given) return Font::createDefaultSheetFont();
    if (o.font.faceIndex != 0 && !looksLikeFontPath(o.font.family)) {
        throw Error(ErrorKind::Io, "--face-index picks a face of a font file, but \"" + o.font.family.toStdString() +
                                       "\" is a family name; give -f a font file or drop --face-index");
    }
    MadeFont made = makeFont(o.font);
    if (const auto family = substitutedFamily(o.font, made)) {
        err << kPrefix << "warning: the font family \"" << visible(*family) << "\" is not installed; using \""
            << visible(made.font->resolvedFamily()) << "\" instead\n";
    }
    file = std::move(made.file);
    o.settings.font = made.description;
    return std::move(made.font);
}

// What the report keeps per character at most: the lines of a character the face lacks,
// and the search for the face that has it.
constexpr std::int64_t kReportBytesPerCell = 1024;

// Builds the sheet and writes its files, and `project` with them.
int build(CliOptions& o, QTextStream& err, std::optional<FileContents> project) {
    SheetSettings& s = o.settings;
    if (o.textFile) s.text = readTextFile(*o.textFile);
    if (o.listsCharacters()) s.text = o.listedText();
    std::unique_ptr<FontFile> fontFile;
    const std::unique_ptr<Font> font = chooseFont(o, fontFile, err);
    if (fontFile) checkFontFileGlyphs(o.font, *fontFile, font->description(), s.text);
    OutputRequest request{s, o.cellGiven, font.get(), o.font.pixelSize, o, inputFiles(o),
                          QStringLiteral("-o"), QStringLiteral("--fnt"), QStringLiteral("--json"),
                          QStringLiteral(" with -c WxH"), o.quiet ? 0 : kReportBytesPerCell, std::move(project),
                          QStringLiteral("--save-project"),
                          o.font.given ? QStringLiteral("-f") : QStringLiteral("the default font")};
    const OutputResult done = writeOutputs(std::move(request));
    const SheetSettings& built = done.settings;

    if (done.faceNameReplaced) {
        err << kPrefix << "warning: the face name \"" << visible(font->resolvedFamily())
            << "\" holds control characters, which a .fnt descriptor cannot hold; the .fnt gives each as U+FFFD"
            << (o.jsonPath.isEmpty() ? "" : " and the JSON keeps the name whole") << '\n';
    }
    if (done.spillCell) {
        err << kPrefix << "warning: the "
            << (built.distanceRange > 0 ? "distance field" : built.effect == EffectKind::Shadow ? "shadow" : "outline")
            << " reaches past cells of " << built.cellWidth << " x " << built.cellHeight
            << (built.distanceRange > 0 ? " pixels and is cut at their edges" : " pixels into their neighbours");
        // A cell is never recommended that a run refuses.
        if (std::max(done.spillCell->width, done.spillCell->height) > kMaxSheetSide)
            err << "; no cell that -c takes would hold it (each side at most " << kMaxSheetSide << " pixels)\n";
        else
            err << "; cells of " << done.spillCell->width << " x " << done.spillCell->height << " would hold it (-c)\n";
    }
    if (fieldDropsFill(built)) {
        err << kPrefix << "warning: a distance field's colour is set in the shader, so the fill colour is not "
                          "written; red, green, blue and alpha all hold the field\n";
    }
    if (done.inkSpill) {
        QStringList names;
        for (const char32_t c : done.inkSpill->chars) names << QStringLiteral("\"%1\"").arg(visible(codePointText(c)));
        err << kPrefix << "warning: the ink of " << names.join(QStringLiteral(", ")) << " reaches past cells of "
            << built.cellWidth << " x " << built.cellHeight
            << " pixels, and the descriptors' rectangles stop at the cell's edge; cells of " << done.inkSpill->cell.width
            << " x " << done.inkSpill->cell.height << " would hold it (-c)\n";
    }
    const std::vector<QString>& leftOver = done.leftOverPages;
    if (!leftOver.empty()) {
        err << kPrefix << "warning: " << (leftOver.size() == 1 ? "a page" : "pages")
            << " of an earlier run with more pages " << (leftOver.size() == 1 ? "is" : "are")
            << " still there and no descriptor being replaced names " << (leftOver.size() == 1 ? "it" : "them")
            << ", so " << (leftOver.size() == 1 ? "it was" : "they were") << " kept: ";
        for (std::size_t i = 0; i < leftOver.size(); ++i) err << (i ? ", \"" : "\"") << visible(leftOver[i]) << '"';
        err << "; remove " << (leftOver.size() == 1 ? "it" : "them") << " before packing the pages\n";
    }

    if (!o.quiet) {
        for (const QString& folder : done.madeFolders) err << kPrefix << "made the folder \"" << visible(folder) << "\"\n";
        err << reportText(done.geometry, gridCells(s.text).size(), font->resolvedFamily(), o.font.pixelSize,
                          missingCharacters(s.text, *font), font->description().noFallback);
        if (o.maxPageSide > 0) {
            err << kPrefix << done.pages.size() << (done.pages.size() == 1 ? " page" : " pages") << " of "
                << done.geometry.width << " x at most " << done.pages[0].height
                << " pixels: " << done.paths.join(QStringLiteral(", ")) << '\n';
        }
    }
    return kExitOk;
}

// What is wrong with the outputs as named, or nothing: two that lead to one file, or an
// input they would replace.
QString outputProblem(const CliOptions& o) {
    const struct {
        const char* option;
        const QString& path;
    } outputs[] = {{"-o", o.outputPath}, {"--fnt", o.fntPath}, {"--json", o.jsonPath},
                   {"--save-project", o.saveProjectPath}};
    for (std::size_t i = 0; i < std::size(outputs); ++i) {
        for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
            if (outputs[i].path.isEmpty() || outputs[j].path.isEmpty()) continue;
            if (sameFile(outputs[i].path, outputs[j].path)) {
                return QStringLiteral("%1 and %2 name the same file; give each a name of its own")
                    .arg(QLatin1String(outputs[i].option), QLatin1String(outputs[j].option));
            }
        }
    }
    std::vector<NamedFile> named{{QStringLiteral("--fnt"), o.fntPath}, {QStringLiteral("--json"), o.jsonPath}};
    if (o.maxPageSide == 0) named.push_back({QStringLiteral("-o"), o.outputPath});
    std::erase_if(named, [](const NamedFile& f) { return f.path.isEmpty(); });
    if (const QString replaced = inputReplacedBy(inputFiles(o), named); !replaced.isEmpty()) return replaced;
    // A saved project may take the place of the project it was read from, and of no other input.
    if (!o.saveProjectPath.isEmpty()) {
        std::vector<NamedFile> others = inputFiles(o);
        std::erase_if(others, [](const NamedFile& f) { return f.name == QLatin1String("--project"); });
        const QString replaced = inputReplacedBy(others, {{QStringLiteral("--save-project"), o.saveProjectPath}});
        if (!replaced.isEmpty()) return replaced;
    }
    return {};
}

}  // namespace

int run(const QStringList& args, QTextStream& out, QTextStream& err) {
    // A project gives the settings that the arguments start from.
    std::optional<CliOptions> base;
    if (const std::optional<QString> project = projectArgument(args)) {
        try {
            static_cast<Project&>(base.emplace()) = readProject(*project);
        } catch (const Error& e) {
            err << kPrefix << QString::fromStdString(e.what()) << '\n';
            return kExitFailure;
        }
    }
    ParseOutcome parsed = parseArguments(args, base ? &*base : nullptr);
    if (parsed.action == ParseOutcome::Action::Run) {
        parsed.message = outputProblem(parsed.options);
        if (!parsed.message.isEmpty()) parsed.action = ParseOutcome::Action::Usage;
    }
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
        const CliOptions& o = parsed.options;
        std::optional<FileContents> project;
        if (!o.saveProjectPath.isEmpty()) {
            project = FileContents{o.saveProjectPath, projectFileContents(o, o.saveProjectPath)};
            if (o.outputPath.isEmpty()) {
                writeFilesAtomically({*project});
                if (!o.quiet) err << kPrefix << "project written to " << o.saveProjectPath << '\n';
                return kExitOk;
            }
        }
        return build(parsed.options, err, std::move(project));
    } catch (const OutputClash& e) {
        err << kPrefix << e.message << '\n' << kPrefix << "see karuvo-cli --help for the options\n";
        return kExitUsage;
    } catch (const Error& e) {
        err << kPrefix << QString::fromStdString(e.what()) << hintFor(e) << '\n';
    } catch (const std::bad_alloc&) {
        err << kPrefix << "out of memory; give a shorter text or a smaller cell\n";
    }
    return kExitFailure;
}

}  // namespace karuvo::cli
