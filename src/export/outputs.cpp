#include "outputs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <dirent.h>
#include <map>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

#include "export/sheet_file.h"
#include "platform/checked.h"
#include "platform/error.h"
#include "platform/file_input.h"
#include "platform/font_files.h"
#include "sheet/builder.h"
#include "sheet/distance_field.h"
#include "sheet/findings.h"
#include "sheet/grid.h"

namespace karuvo {
namespace {

// What the descriptors keep per character at most: its place and its lines in both files.
constexpr std::int64_t kDescriptorBytesPerCell = 1024;

// Refuses a build of `cell`-sized cells that would not fit, before anything is allocated.
void checkPlan(const OutputRequest& r, const GridSize& grid, std::int64_t cellWidth, std::int64_t cellHeight) {
    if (cellWidth < 1 || cellHeight < 1 || cellWidth > INT32_MAX || cellHeight > INT32_MAX) return;
    BuildPlan plan = buildPlan(r.settings, grid, cellWidth, cellHeight);
    plan.bandPixels = kBandPixels;  // the sheet is drawn a band at a time as its files are written
    if (!r.plan.fntPath.isEmpty() || !r.plan.jsonPath.isEmpty()) plan.bytesPerCellOutside += kDescriptorBytesPerCell;
    plan.bytesPerCellOutside += r.bytesPerCellOutside;
    checkBuild(plan);
}

void fitCell(OutputRequest& r, const GridSize& grid) {
    SheetSettings& s = r.settings;
    const CharBox allowance = sheetAllowance(s);
    // A sheet already too large with the characters measured so far is refused at once.
    const auto grown = [&](const CharBox& largest) {
        checkPlan(r, grid, std::int64_t{largest.width} + allowance.width, std::int64_t{largest.height} + allowance.height);
    };
    const std::string cellSize = "a cell size" + r.cellHint.toStdString();
    CharBox cell;
    try {
        cell = fittedCellSize(s.text, *r.font, allowance, grown);
    } catch (const Error& e) {
        if (e.kind() != ErrorKind::Overflow) throw;
        throw Error(ErrorKind::InvalidSize, std::string(e.what()) + "; give a smaller shadow offset or " + cellSize);
    }
    if (cell.width < 1 || cell.height < 1) {
        throw Error(ErrorKind::InvalidSize,
                    "The cell fitted to the text is " + std::to_string(cell.width) + " x " +
                        std::to_string(cell.height) + " pixels, which has no area; " +
                        (largestCharBox(s.text, *r.font).width == 0 ? "give a text with characters to draw"
                                                                    : "give " + cellSize));
    }
    s.cellWidth = cell.width;
    s.cellHeight = cell.height;
}

// Page k of the sheet `output`: its name with "_k" before the suffix (".png" alone gives
// "_k.png").
QString pagePath(const QString& output, qint64 k) {
    const qsizetype slash = output.lastIndexOf(u'/');
    qsizetype dot = output.lastIndexOf(u'.');
    if (dot <= slash) dot = output.size();
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

// Refuses outputs that would replace an input and a sheet that the .fnt descriptor
// cannot name (OutputClash), and a descriptor that would replace a page of the sheet.
// Each name is looked up once.
void checkOutputs(const OutputRequest& r, const QStringList& sheetFiles) {
    const OutputPlan& o = r.plan;
    std::vector<NamedFile> outputs;
    for (const QString& file : sheetFiles) outputs.push_back({r.sheetName, file});
    if (!o.fntPath.isEmpty()) outputs.push_back({r.fntName, o.fntPath});
    if (!o.jsonPath.isEmpty()) outputs.push_back({r.jsonName, o.jsonPath});
    const QString replaced = inputReplacedBy(r.inputs, outputs);
    if (!replaced.isEmpty()) throw OutputClash{replaced};
    // The descriptor names the sheet in double quotes, which have no escape there.
    if (!o.fntPath.isEmpty() && relativePath(o.outputPath, o.fntPath).contains(u'"')) {
        throw OutputClash{QStringLiteral("%1: the sheet's name as the %2 descriptor gives it, \"%3\", holds a double "
                                         "quote, which a descriptor cannot hold; give the sheet a name without one")
                              .arg(r.sheetName, r.fntName, relativePath(o.outputPath, o.fntPath))};
    }
    std::unordered_set<FileKey, FileKeyHash> pages;
    for (const QString& page : sheetFiles) pages.insert(fileKey(page));
    if (r.extra && sheetFiles.size() > 1 && pages.count(fileKey(r.extra->path))) {
        throw OutputClash{QStringLiteral("%1 and %2 name the same file (\"%3\", a page of the sheet); give each a name "
                                         "of its own")
                              .arg(r.sheetName, r.extraName, r.extra->path)};
    }
    for (const QString& descriptor : {o.fntPath, o.jsonPath}) {
        if (!descriptor.isEmpty() && pages.count(fileKey(descriptor)))
            throw Error(ErrorKind::Io, "The descriptor \"" + descriptor.toStdString() +
                                           "\" would replace a page of the sheet; give it a name of its own");
    }
}

// The pages of a split `output` present in its folder, by index: regular files,
// links and anything else named as pagePaths names them. The folder is read once, so
// that the work follows what is there, not what an old descriptor claims.
std::map<qint64, QString> pagesPresent(const QString& output) {
    const QString stem = QFileInfo(pagePath(output, 0)).absoluteFilePath();  // ".../NAME_0.png"
    const qsizetype at = stem.lastIndexOf(QLatin1String("_0"));
    const QString folder = QFileInfo(stem).absolutePath();
    const QString before = stem.first(at + 1).sliced(folder.size() + 1), after = stem.sliced(at + 2);
    std::map<qint64, QString> pages;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return pages;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name.size() <= before.size() + after.size() || !name.startsWith(before) || !name.endsWith(after)) continue;
        const QString digits = name.sliced(before.size(), name.size() - before.size() - after.size());
        bool ok = false;
        const qint64 k = digits.toLongLong(&ok);
        if (ok && QString::number(k) == digits) pages.emplace(k, QDir::cleanPath(folder + u'/' + name));
    }
    ::closedir(dir);
    return pages;
}

// Pages of an earlier run past this run's own (NAME_3.png after a run of three pages,
// or every page after a run of one whole sheet). Those that a descriptor being replaced
// named are added to `files` to be removed with the commit; those that none named are
// given back, to be warned of. An input, a file this run writes and anything but a
// regular file or a link are left alone. Counts in `lookedUp` the pages looked up.
std::vector<QString> stalePages(const OutputRequest& r, const QStringList& paths, std::vector<FileContents>& files,
                                std::int64_t& lookedUp) {
    const OutputPlan& o = r.plan;
    const qint64 own = o.maxPageSide > 0 ? paths.size() : 0;
    std::map<qint64, QString> present = pagesPresent(o.outputPath);
    present.erase(present.begin(), present.lower_bound(own));
    if (present.empty()) return {};
    std::unordered_set<FileKey, FileKeyHash> kept;
    for (const NamedFile& in : r.inputs) kept.insert(fileKey(in.path));
    for (const FileContents& f : files) kept.insert(fileKey(f.path));
    const auto removable = [&](const QString& page) {
        ++lookedUp;
        struct stat st {};
        return ::lstat(QFile::encodeName(page).constData(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) &&
               !kept.count(fileKey(page));
    };
    std::unordered_map<QString, qint64> indexOf;
    std::unordered_set<QString> names;  // to pass over the others without working out their paths
    for (const auto& [k, page] : present) indexOf.emplace(page, k), names.insert(QFileInfo(page).fileName());
    // Read before anything is written: the descriptors that this run replaces.
    std::unordered_set<qint64> named;
    for (const QString& descriptor : {o.fntPath, o.jsonPath}) {
        if (descriptor.isEmpty() || specialFileKind(descriptor)) continue;
        QFile old(descriptor);
        if (old.size() > kMaxDescriptorBytes || !old.open(QIODevice::ReadOnly)) continue;
        const QDir folder = QFileInfo(descriptor).absoluteDir();
        for (const QString& page : pageFilesOf(old.readAll())) {
            if (!names.count(page.sliced(page.lastIndexOf(u'/') + 1))) continue;
            const auto hit = indexOf.find(QDir::cleanPath(folder.absoluteFilePath(page)));
            if (hit == indexOf.end() || named.count(hit->second) || !removable(hit->first)) continue;
            named.insert(hit->second);
            files.push_back({hit->first, {}, nullptr, true});
        }
    }
    // Pages are numbered from 0 without gaps; the earlier run's end at the first missing one.
    std::vector<QString> unnamed;
    qint64 next = own;
    for (const auto& [k, page] : present) {
        if (k != next++) break;
        if (!named.count(k) && removable(page)) unnamed.push_back(page);
    }
    return unnamed;
}

}  // namespace

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
            .arg(out.name, out.path, hit->second->name, hit->second->path);
    }
    return {};
}

QString relativePath(const QString& file, const QString& fromFile) {
    return QDir(QFileInfo(fromFile).absolutePath()).relativeFilePath(QFileInfo(file).absoluteFilePath());
}

OutputResult writeOutputs(OutputRequest r) {
    SheetSettings& s = r.settings;
    const OutputPlan& o = r.plan;
    const Font& font = *r.font;
    const SheetFileFormat format = *sheetFileFormat(o.outputPath);
    const bool describing = !o.fntPath.isEmpty() || !o.jsonPath.isEmpty();
    s.keepCoverage = needsCoverage(format);
    s.findKerning = describing && o.pitch == Pitch::Font;
    s.findInk = s.findKerning;
    const GridSize grid = scanGrid(s.text, s.wrapColumns);
    if (!r.cellGiven) fitCell(r, grid);
    checkPlan(r, grid, s.cellWidth, s.cellHeight);
    OutputResult result;
    // Split first, so that a row too wide for a page stops the run before the build.
    result.pages = splitPages(checkedMul(grid.columns, s.cellWidth, "the sheet width"), grid.rows, s.cellWidth,
                              s.cellHeight, o.maxPageSide);
    const std::vector<Page>& pages = result.pages;
    result.paths = pagePaths(o.outputPath, pages.size(), o.maxPageSide > 0);
    const QStringList& paths = result.paths;
    for (const FaceFile& f : drawingFontFiles(font, s.text)) {
        r.inputs.push_back({f.fallback ? QStringLiteral("the fallback face \"%1\"").arg(f.family)
                                       : QStringLiteral("%1 \"%2\"").arg(r.fontName, f.family),
                            f.path});
    }
    checkOutputs(r, paths);
    const SheetBuild build(s, kBandPixels);
    const Sheet& sheet = build.sheet();
    if (sheet.width <= 0 || sheet.height <= 0) {
        throw Error(ErrorKind::InvalidSize, "The sheet is " + std::to_string(sheet.width) + " x " +
                                                std::to_string(sheet.height) +
                                                " pixels and has no area; give a text with characters to draw");
    }
    result.geometry = {sheet.width, sheet.height, sheet.columns, sheet.rows, sheet.cellWidth, sheet.cellHeight};

    // Everything is built before anything is written, and every file goes to a
    // temporary file first, so a failure leaves every output as it was. The sheet is
    // drawn a band at a time as its files are written, never held whole.
    std::vector<FileContents> files;
    if (r.extra) files.push_back(std::move(*r.extra));
    for (std::size_t i = 0; i < pages.size(); ++i)
        files.push_back(sheetFileContents(build, format, paths[i], pages[i].firstRow, pages[i].rowCount));
    if (describing) {
        const FontDescription& fd = font.description();
        const DescriptorFont df{font.resolvedFamily(), r.pixelSize, fd.weight >= 600, fd.italic != 0};
        result.faceNameReplaced = !o.fntPath.isEmpty() && fntFaceName(df.face) != df.face;
        Descriptor d;
        if (o.pitch == Pitch::Cell) {
            const QFontMetrics& m = font.metrics();
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
        d.fieldType = s.fieldType;
        // Each descriptor names the pages from its own folder.
        const auto paged = [&](const QString& descriptor) {
            QStringList names;
            for (const QString& path : paths) names << relativePath(path, descriptor);
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
    // Pages of an earlier run are looked for while the folder is held, so that a run
    // writing there meanwhile is seen whole.
    result.madeFolders = writeFilesMakingFolders(files, [&](std::vector<FileContents>& all) {
        result.leftOverPages = stalePages(r, paths, all, result.pagesLookedUp);
    });
    result.spillCell = spillingEffectCell(s, sheet);
    result.inkSpill = inkSpill(s, sheet);
    result.settings = s;
    return result;
}

}  // namespace karuvo
