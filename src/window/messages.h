#pragma once

#include <QString>

#include "platform/error.h"

class QCoreApplication;

namespace karuvo::window {

// Makes the application speak Japanese whatever the locale: the window's own
// messages from the translation built into the program, and Qt's own dialogs from
// the Japanese translations Qt ships (when installed). Call once, after the
// application object exists; the translators belong to `app`.
void installJapaneseTranslations(QCoreApplication& app);

// The text the window shows for an error: its translatable form translated, or, for
// an error made from a plain message, a translated lead naming what failed followed by
// the message as it was made.
QString userMessage(const Error& error);

}  // namespace karuvo::window
