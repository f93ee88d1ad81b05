#pragma once

#include <QStringList>
#include <QTextStream>

namespace karuvo::cli {

// The whole program on its arguments (without the program name): reads them, builds
// the sheet, writes the bitmap and descriptors together only when everything has
// been built, and reports on `err`; --help and --version go to `out`. Every message
// starts with "karuvo-cli: ". Returns the exit status (kExitOk, kExitFailure,
// kExitUsage). Needs a QGuiApplication for its fonts.
int run(const QStringList& args, QTextStream& out, QTextStream& err);

}  // namespace karuvo::cli
