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
#include "cli/report.h"
#include "cli/text_input.h"
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
#include "sheet/grid.h"
#include "sheet/pages.h"

namespace karuvo::cli {
namespace {

const QString kPrefix = QStringLiteral("karuvo-cli: ");

// Arguments found wrong once files were looked at: a usage error like those of the parser.
struct UsageError {
    QString message;
};

// A file that the run reads or writes, with the option that names it.
struct NamedFile {
    QString option;
    QString path;
};

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

// The first output that is one of the inputs (as a file: through links, "./a" and "a"),
// as a usage message naming both; empty when there is none.
QString inputReplacedBy(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs) {
    std::unordered_map<FileKey, const NamedFile*, FileKeyHash> read;
    for (const NamedFile& in : inputs) read.emplace(fileKey(in.path), &in);
    if (read.empty()) return {};
    for (const NamedFile& out : outputs) {
        const auto hit = read.find(fileKey(out.path));
        if (hit == read.end()) continue;
        return QStringLiteral("%1 \"%2\" is the file that %3 reads (\"%4\"); an output must not replace an input, "
                              "give it another name")
            .arg(out.option, out.path, hit->second->option, hit->second->path);
    }
    return {};
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
    file = std::move(made.file);
    // A family may be installed under a localised name too ("IPAゴシック").
    const QString& family = o.font.family;
    if (!file && !family.isEmpty() && !QFontDatabase::hasFamily(family) &&
        made.font->resolvedFamily().compare(family, Qt::CaseInsensitive) != 0) {
        err << kPrefix << "warning: the font family \"" << visible(family) << "\" is not installed; using \""
            << visible(made.font->resolvedFamily()) << "\" instead\n";
    }
    o.settings.font = made.description;
    return std::move(made.font);
}

// What the descriptors keep per character at most: its place and its lines in both files.
constexpr std::int64_t kDescriptorBytesPerCell = 1024;
// What the report keeps per character at most: the lines of a character the face lacks,
// and the search for the face that has it.
constexpr std::int64_t kReportBytesPerCell = 1024;

// Refuses a build of `cell`-sized cells that would not fit, before anything is allocated.
void checkPlan(const CliOptions& o, const GridSize& grid, std::int64_t cellWidth, std::int64_t cellHeight) {
    if (cellWidth < 1 || cellHeight < 1 || cellWidth > INT32_MAX || cellHeight > INT32_MAX) return;
    BuildPlan plan = buildPlan(o.settings, grid, cellWidth, cellHeight);
    plan.bandPixels = kBandPixels;  // the sheet is drawn a band at a time as its files are written
    if (!o.fntPath.isEmpty() || !o.jsonPath.isEmpty()) plan.bytesPerCellOutside += kDescriptorBytesPerCell;
    if (!o.quiet) plan.bytesPerCellOutside += kReportBytesPerCell;
    checkBuild(plan);
}

void fitCell(CliOptions& o, const GridSize& grid, const Font& font) {
    SheetSettings& s = o.settings;
    const CharBox allowance = sheetAllowance(s);
    // A sheet already too large with the characters measured so far is refused at once.
    const auto grown = [&](const CharBox& largest) {
        checkPlan(o, grid, std::int64_t{largest.width} + allowance.width, std::int64_t{largest.height} + allowance.height);
    };
    CharBox cell;
    try {
        cell = fittedCellSize(s.text, font, allowance, grown);
    } catch (const Error& e) {
        if (e.kind() != ErrorKind::Overflow) throw;
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

// Warns when the edge effect reaches past the cells into their neighbours, naming the
// cell that would hold it. The sheet's characters carry the advances the build measured.
void warnOfSpill(const SheetSettings& s, const Sheet& sheet, QTextStream& err) {
    if ((s.effect == EffectKind::None && s.distanceRange == 0) || sheet.chars.empty()) return;
    CharBox largest{0, sheet.lineHeight};
    for (const SheetChar& c : sheet.chars) largest.width = std::max(largest.width, c.advance);
    const CharBox allowance = sheetAllowance(s);
    const std::int64_t width = largest.width + std::abs(std::int64_t{allowance.width});
    const std::int64_t height = largest.height + std::abs(std::int64_t{allowance.height});
    if ((allowance.width == 0 || width <= s.cellWidth) && (allowance.height == 0 || height <= s.cellHeight)) return;
    err << kPrefix << "warning: the "
        << (s.distanceRange > 0 ? "distance field" : s.effect == EffectKind::Shadow ? "shadow" : "outline")
        << " reaches past cells of " << s.cellWidth << " x " << s.cellHeight
        << (s.distanceRange > 0 ? " pixels and is cut at their edges" : " pixels into their neighbours") << "; cells of " << std::max<std::int64_t>(width, s.cellWidth) << " x "
        << std::max<std::int64_t>(height, s.cellHeight) << " would hold it (-c)\n";
}

QString relativeTo(const QString& file, const QString& fromFile) {
    return QDir(QFileInfo(fromFile).absolutePath()).relativeFilePath(QFileInfo(file).absoluteFilePath());
}

// Page k of the sheet `output`: its name with "_k" before the suffix.
QString pagePath(const QString& output, qint64 k) {
    const qsizetype slash = output.lastIndexOf(u'/');
    qsizetype dot = output.lastIndexOf(u'.');
    if (dot <= slash + 1) dot = output.size();
    return output.first(dot) + u'_' + QString::number(k) + output.sliced(dot);
}

// Where the pages go: the output itself for a sheet that is not split, otherwise its
// pages' names.
QStringList pagePaths(const QString& output, std::size_t count, bool split) {
    if (!split) return {output};
    QStringList paths;
    for (std::size_t i = 0; i < count; ++i) paths << pagePath(output, static_cast<qint64>(i));
    return paths;
}

// The largest earlier descriptor read for the pages it names.
constexpr qint64 kMaxDescriptorBytes = 256ll * 1024 * 1024;

// Refuses outputs that would replace an input (a usage error) and a descriptor that
// would replace a page of the sheet. Each name is looked up once.
void checkOutputs(const CliOptions& o, const QStringList& sheetFiles) {
    std::vector<NamedFile> outputs;
    for (const QString& file : sheetFiles) outputs.push_back({QStringLiteral("-o"), file});
    if (!o.fntPath.isEmpty()) outputs.push_back({QStringLiteral("--fnt"), o.fntPath});
    if (!o.jsonPath.isEmpty()) outputs.push_back({QStringLiteral("--json"), o.jsonPath});
    const QString replaced = inputReplacedBy(inputFiles(o), outputs);
    if (!replaced.isEmpty()) throw UsageError{replaced};
    std::unordered_set<FileKey, FileKeyHash> pages;
    for (const QString& page : sheetFiles) pages.insert(fileKey(page));
    for (const QString& descriptor : {o.fntPath, o.jsonPath}) {
        if (!descriptor.isEmpty() && pages.count(fileKey(descriptor)))
            throw Error(ErrorKind::Io, "The descriptor \"" + descriptor.toStdString() +
                                           "\" would replace a page of the sheet; give it a name of its own");
    }
}

// The index k of a page named as pagePaths names page k of `output`, or -1.
qint64 pageIndexOf(const QString& file, const QString& output) {
    const QString stem = pagePath(output, 0);  // "NAME_0.png"
    const qsizetype at = stem.lastIndexOf(QLatin1String("_0"));
    const QString before = QFileInfo(stem.first(at + 1)).absoluteFilePath(), after = stem.sliced(at + 2);
    const QString name = QFileInfo(file).absoluteFilePath();
    if (!name.startsWith(before) || !name.endsWith(after) || name.size() <= before.size() + after.size()) return -1;
    const QString digits = name.sliced(before.size(), name.size() - before.size() - after.size());
    bool ok = false;
    const qint64 k = digits.toLongLong(&ok);
    return ok && QString::number(k) == digits ? k : -1;
}

// Pages of an earlier run past this run's own (NAME_3.png after a run of three pages,
// or every page after a run of one whole sheet). Those that a descriptor being replaced
// named are added to `files` to be removed with the commit; those that none named are
// given back, to be warned of. An input, a file this run writes and anything but a
// regular file or a link are left alone.
std::vector<QString> stalePages(const CliOptions& o, const QStringList& paths, std::vector<FileContents>& files) {
    const qint64 own = o.maxPageSide > 0 ? paths.size() : 0;
    std::unordered_set<FileKey, FileKeyHash> kept;
    for (const NamedFile& in : inputFiles(o)) kept.insert(fileKey(in.path));
    for (const FileContents& f : files) kept.insert(fileKey(f.path));
    const auto removable = [&](const QString& page) {
        struct stat st {};
        return ::lstat(QFile::encodeName(page).constData(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) &&
               !kept.count(fileKey(page));
    };
    // Read before anything is written: the descriptors that this run replaces.
    std::unordered_set<QString> named;
    for (const QString& descriptor : {o.fntPath, o.jsonPath}) {
        if (descriptor.isEmpty() || specialFileKind(descriptor)) continue;
        QFile old(descriptor);
        if (old.size() > kMaxDescriptorBytes || !old.open(QIODevice::ReadOnly)) continue;
        const QString folder = QFileInfo(descriptor).absolutePath();
        for (const QString& page : pageFilesOf(old.readAll())) {
            const QString file = QDir::cleanPath(QDir(folder).absoluteFilePath(page));
            if (pageIndexOf(file, o.outputPath) >= own && removable(file) && named.insert(file).second)
                files.push_back({file, {}, nullptr, true});
        }
    }
    // Pages are numbered from 0 without gaps; the earlier run's end at the first missing one.
    std::vector<QString> unnamed;
    for (qint64 k = own;; ++k) {
        const QString page = pagePath(o.outputPath, k);
        if (named.count(QDir::cleanPath(QFileInfo(page).absoluteFilePath()))) continue;
        if (!QFileInfo::exists(page)) break;
        if (removable(page)) unnamed.push_back(page);
    }
    return unnamed;
}

// Builds the sheet and writes its files, and `project` with them.
int build(CliOptions& o, QTextStream& err, std::optional<FileContents> project) {
    SheetSettings& s = o.settings;
    if (o.textFile) s.text = readTextFile(*o.textFile);
    if (!o.chars.empty() || !o.charsets.isEmpty()) {
        CodePointSet chars = o.chars;
        for (const QString& name : o.charsets) addCharset(name, chars);
        s.text = textOf(chars);
    }
    std::unique_ptr<FontFile> fontFile;
    const std::unique_ptr<Font> font = chooseFont(o, fontFile, err);
    const SheetFileFormat format = *sheetFileFormat(o.outputPath);
    const bool describing = !o.fntPath.isEmpty() || !o.jsonPath.isEmpty();
    s.keepCoverage = needsCoverage(format);
    s.findKerning = describing && o.pitch == Pitch::Font;
    const GridSize grid = scanGrid(s.text, s.wrapColumns);
    if (!o.cellGiven) fitCell(o, grid, *font);
    checkPlan(o, grid, s.cellWidth, s.cellHeight);
    // Split first, so that a row too wide for a page stops the run before the build.
    const std::vector<Page> pages =
        splitPages(checkedMul(grid.columns, s.cellWidth, "the sheet width"), grid.rows, s.cellWidth, s.cellHeight,
                   o.maxPageSide);
    const QStringList paths = pagePaths(o.outputPath, pages.size(), o.maxPageSide > 0);
    checkOutputs(o, paths);
    const SheetBuild build(s, kBandPixels);
    const Sheet& sheet = build.sheet();
    if (sheet.width <= 0 || sheet.height <= 0) {
        throw Error(ErrorKind::InvalidSize, "The sheet is " + std::to_string(sheet.width) + " x " +
                                                std::to_string(sheet.height) +
                                                " pixels and has no area; give a text with characters to draw");
    }
    const SheetGeometry geometry{sheet.width, sheet.height, sheet.columns, sheet.rows, sheet.cellWidth,
                                 sheet.cellHeight};

    // Everything is built before anything is written, and every file goes to a
    // temporary file first, so a failure leaves every output as it was. The sheet is
    // drawn a band at a time as its files are written, never held whole.
    std::vector<FileContents> files;
    if (project) files.push_back(std::move(*project));
    for (std::size_t i = 0; i < pages.size(); ++i)
        files.push_back(sheetFileContents(build, format, paths[i], pages[i].firstRow, pages[i].rowCount));
    if (describing) {
        const FontDescription& fd = font->description();
        const DescriptorFont df{font->resolvedFamily(), o.font.pixelSize, fd.weight >= 600, fd.italic != 0};
        if (!o.fntPath.isEmpty() && fntFaceName(df.face) != df.face) {
            err << kPrefix << "warning: the face name \"" << visible(df.face)
                << "\" holds control characters, which a .fnt descriptor cannot hold; the .fnt gives each as U+FFFD"
                << (o.jsonPath.isEmpty() ? "" : " and the JSON keeps the name whole") << '\n';
        }
        Descriptor d;
        if (o.pitch == Pitch::Cell) {
            const QFontMetrics& m = font->metrics();
            d = cellPitchDescriptor(sheet, df,
                                    cellBaseline(sheet.cellHeight, m.height(), m.ascent(),
                                                 s.effect == EffectKind::Shadow ? s.shadowDy : 0),
                                    {});
        } else {
            const EffectRoom room = s.distanceRange > 0               ? outlineRoom(fieldRoom(s.distanceRange))
                                    : s.effect == EffectKind::Shadow  ? shadowRoom(s.shadowDx, s.shadowDy)
                                    : s.effect == EffectKind::Outline ? outlineRoom(s.outlineRadius)
                                                                      : EffectRoom{};
            d = fontPitchDescriptor(sheet, df, room, {});
        }
        d.distanceRange = s.distanceRange;
        // Each descriptor names the pages from its own folder.
        const auto paged = [&](const QString& descriptor) {
            QStringList names;
            for (const QString& path : paths) names << relativeTo(path, descriptor);
            Descriptor split = d;
            splitIntoPages(split, pages, names);
            return split;
        };
        if (!o.fntPath.isEmpty()) {
            const Descriptor fnt = paged(o.fntPath);
            files.push_back({o.fntPath, o.fntFormat == FntFormat::Xml      ? fntXml(fnt)
                                        : o.fntFormat == FntFormat::Binary ? fntBinary(fnt)
                                                                           : fntText(fnt)});
        }
        if (!o.jsonPath.isEmpty()) files.push_back({o.jsonPath, jsonDescriptor(paged(o.jsonPath), o.pitch == Pitch::Font)});
    }
    const std::vector<QString> leftOver = stalePages(o, paths, files);
    writeFilesAtomically(files);
    warnOfSpill(s, sheet, err);
    if (!leftOver.empty()) {
        err << kPrefix << "warning: " << (leftOver.size() == 1 ? "a page" : "pages")
            << " of an earlier run with more pages " << (leftOver.size() == 1 ? "is" : "are")
            << " still there and no descriptor being replaced names " << (leftOver.size() == 1 ? "it" : "them")
            << ", so " << (leftOver.size() == 1 ? "it was" : "they were") << " kept: ";
        for (std::size_t i = 0; i < leftOver.size(); ++i) err << (i ? ", \"" : "\"") << visible(leftOver[i]) << '"';
        err << "; remove " << (leftOver.size() == 1 ? "it" : "them") << " before packing the pages\n";
    }

    if (!o.quiet) {
        err << reportText(geometry, gridCells(s.text).size(), font->resolvedFamily(), o.font.pixelSize,
                          missingCharacters(s.text, *font), font->description().noFallback);
        if (o.maxPageSide > 0) {
            err << kPrefix << pages.size() << (pages.size() == 1 ? " page" : " pages") << " of " << sheet.width
                << " x at most " << pages[0].height << " pixels: " << paths.join(QStringLiteral(", ")) << '\n';
        }
    }
    return kExitOk;
}

// What is wrong with the outputs as named, or nothing: two that lead to one file, or
// a sheet the descriptor cannot name.
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
        std::erase_if(others, [](const NamedFile& f) { return f.option == QLatin1String("--project"); });
        const QString replaced = inputReplacedBy(others, {{QStringLiteral("--save-project"), o.saveProjectPath}});
        if (!replaced.isEmpty()) return replaced;
    }
    // The descriptor names the sheet in double quotes, which have no escape there.
    if (!o.fntPath.isEmpty() && relativeTo(o.outputPath, o.fntPath).contains(u'"')) {
        return QStringLiteral("-o: the sheet's name as the --fnt descriptor gives it, \"%1\", holds a double quote, "
                              "which a descriptor cannot hold; give the sheet a name without one")
            .arg(relativeTo(o.outputPath, o.fntPath));
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
    } catch (const UsageError& e) {
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
