#pragma once

#include <QString>

#include "platform/error.h"
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

// What the status bar says after a build of `sheet` with `effect`: which characters
// another face drew (the first few, with their face, and how many in all) or that none
// did; the cell that would hold a spilling effect; that an image fill without an image
// leaves the glyphs white. The command line's report in Japanese.
QString findingsText(const SheetFindings& findings, EffectKind effect, const Sheet& sheet);

}  // namespace karuvo::window
