#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "project/project.h"

namespace karuvo::cli {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the build or a read or write failed
inline constexpr int kExitUsage = 2;    // the arguments are wrong

// Everything the arguments say: the project they make (its font, and when no cell
// size was given its cell size, still to be filled in), and how to run.
struct CliOptions : Project {
    QString projectPath;      // --project: the file the settings start from
    QString saveProjectPath;  // --save-project: where the settings are written as a project
    bool quiet = false;
};

struct ParseOutcome {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    CliOptions options;  // valid for Run
    QString message;     // for Usage: what is wrong and what to change, without prefix
};

// Reads the arguments (without the program name). Pure: touches no file and no font.
// Option values follow the next argument ("-c 16x20") or an equals sign after a long
// name ("--cell=16x20"); a value is taken as it is even when it starts with "-".
// With `base` (a project's settings, which name their characters) the arguments
// change only what they give: a text, list or set replaces the base's characters,
// and -o, --fnt or --json its outputs, all of them.
ParseOutcome parseArguments(const QStringList& args, const CliOptions* base = nullptr);

// The value of --project among the arguments, when it is given once and neither --help
// nor --version is; nothing otherwise (parseArguments then says what is wrong, or helps).
std::optional<QString> projectArgument(const QStringList& args);

// The --help text and the --version line.
QString helpText();
QString versionText();

}  // namespace karuvo::cli
