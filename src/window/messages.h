#pragma once

#include <QString>

#include "export/outputs.h"
#include "platform/error.h"
#include "project/setting_checks.h"
#include "sheet/findings.h"

class QCoreApplication;

namespace karuvo::window {

// Makes the application speak Japanese whatever the locale: the window's own
// messages from the translation built into the program, Qt's own dialogs from the
// Japanese translations Qt ships (when installed), and the default locale Japanese. Call once, after the
// application object exists; the translators belong to `app`.
void installJapaneseTranslations(QCoreApplication& app);

// The text the window shows for an error: its translatable form translated, or, for
// an error made from a plain message, a translated lead naming what failed followed by
// the message as it was made.
QString userMessage(const Error& error);

// What the status bar says after a build of `sheet` from `settings`, a line a fact, at
// most two lines: that an image fill without an image leaves the glyphs white; how many
// characters another face drew and which (the first few, with their face) or that none
// did; the cell that would hold a spilling effect. The command line's report in Japanese,
// the counts and sizes first so that a line cut short keeps them.
QString findingsText(const SheetFindings& findings, const SheetSettings& settings, const Sheet& sheet);

// Every character of `findings` another face drew or none had, a line each, as the
// status bar names the first few.
QString missingCharactersText(const SheetFindings& findings);

// The line that says an edge effect or a distance field of `settings` reaches past cells
// of cellWidth x cellHeight, and the cell that would hold it.
// That a distance field does not hold the fill colour (fieldDropsFill).
QString fieldFillText();
QString spillText(const SheetSettings& settings, std::int32_t cellWidth, std::int32_t cellHeight, const CellSize& holding);

// What the status bar says after an export that wrote `files` files: how many and the
// first sheet file, the folders made, the cell that would hold a spill, and the pages of an earlier export
// that were kept.
QString exportText(const OutputResult& result, std::size_t files);

// The error shown for two settings that exclude each other, naming the window's controls.
Error conflictError(const SettingConflict& conflict);

// `why` followed by the news that nothing was written.
Error nothingWrittenError(const Error& why);

// The line that names the folders made for what was written.
QString madeFoldersText(const QStringList& folders);

// What the status bar says first after the sheet was saved as `path`, having made
// `madeFolders`.
QString savedText(const QString& path, const QStringList& madeFolders);

}  // namespace karuvo::window
