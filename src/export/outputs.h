#pragma once

// Writing a sheet's outputs as an output plan names them: the cell fitted when asked
// for, the sheet split into pages, its descriptors, and every file written all or
// nothing. Both front ends write through this, each naming the outputs and inputs in
// its own words.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "export/descriptors.h"
#include "export/output_plan.h"
#include "platform/file_output.h"
#include "platform/font.h"
#include "sheet/findings.h"
#include "sheet/pages.h"
#include "sheet/settings.h"

namespace karuvo {

// A file that a run reads or writes, with the name the user gave it by (an option, a
// project key).
struct NamedFile {
    QString name;
    QString path;
};

// Thrown when an output would replace an input: the user named the files wrongly.
struct OutputClash {
    QString message;
};

// The first output that is one of the inputs (as a file: through links, "./a" and "a"),
// as a message naming both; empty when there is none.
QString inputReplacedBy(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

// `file` as named from the folder of `fromFile`.
QString relativePath(const QString& file, const QString& fromFile);

// What a run of the outputs is asked for.
struct OutputRequest {
    // The characters in the text and the font description filled in; the cell size
    // too when `cellGiven`, otherwise it is fitted to the largest character.
    SheetSettings settings;
    bool cellGiven = false;
    const Font* font = nullptr;      // the font the builder draws with, made the same way
    std::int32_t pixelSize = 0;      // the font size the descriptors give
    OutputPlan plan;                 // outputPath must be set
    std::vector<NamedFile> inputs;   // no output may replace one of these
    // How the user names the outputs, for the messages.
    QString sheetName, fntName, jsonName;
    // How the user gives a cell size, completing "give a cell size" ("with -c WxH").
    QString cellHint;
    // What the caller keeps per character besides the build, counted in its budget.
    std::int64_t bytesPerCellOutside = 0;
    // A file written together with the outputs, all or nothing.
    std::optional<FileContents> extra;
    // How the user names the extra file and the font, for the messages ("-f"); the
    // files of the font's family and of the fallback faces that draw the text are
    // inputs too.
    QString extraName;
    QString fontName;
};

// What a run wrote and what it saw on the way.
struct OutputResult {
    SheetSettings settings;   // as built: the cell fitted
    SheetGeometry geometry;
    std::vector<Page> pages;
    QStringList paths;        // the sheet's files, one per page
    // The folders made for the outputs, which did not exist yet, outermost first.
    QStringList madeFolders;
    // Pages of an earlier run with more pages that no replaced descriptor named, kept.
    std::vector<QString> leftOverPages;
    // How many names of such pages were looked up on disk: those in the folder, however
    // many an old descriptor names.
    std::int64_t pagesLookedUp = 0;
    // The face name holds control characters, which the .fnt gives as U+FFFD.
    bool faceNameReplaced = false;
    // Set when the edge effect or the distance field reaches past the cells: the cell
    // size that would hold it (see spillingEffectCell).
    std::optional<CellSize> spillCell;
    // Set when a described character's ink reaches past its cell, where its rectangle stops.
    std::optional<InkSpill> inkSpill;
};

// Builds the sheet and writes every output of the plan, with the extra file, making the
// folders that do not exist yet. Throws OutputClash when an output would replace an
// input or the extra file is a page of the sheet, karuvo::Error otherwise; nothing is
// written then.
OutputResult writeOutputs(OutputRequest request);

}  // namespace karuvo
