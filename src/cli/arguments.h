#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "sheet/char_source.h"
#include "sheet/settings.h"

namespace karuvo::cli {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the build or a read or write failed
inline constexpr int kExitUsage = 2;    // the arguments are wrong

// Cells in a row of --chars and --charset sheets when --columns is not given.
inline constexpr std::int32_t kDefaultCharColumns = 16;

// The font the arguments ask for, before it is made: the family may be left to the
// default sheet font.
struct FontRequest {
    QString family;                // empty: the default sheet font's family; may be a file
    std::int32_t faceIndex = 0;    // the face of a font file
    bool noFallback = false;       // characters the face lacks stay undrawn
    bool mono = false;             // glyphs without anti-aliasing
    std::int32_t pixelSize = 12;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    std::int32_t weight = 0;       // 0: 700 when bold, otherwise 400

    // True when any font option was given; otherwise the builder's own default
    // sheet font is used unchanged.
    bool given = false;

    // The description that makes this font, with `defaultFamily` standing in for an
    // empty family.
    FontDescription description(const QString& defaultFamily) const;
};

// How a descriptor places the characters.
enum class Pitch {
    Font,  // as the font sets them: their own boxes, advances and kerning
    Cell,  // on a fixed pitch: the whole cell each, the cell width as advance
};

// The form of the .fnt descriptor.
enum class FntFormat { Text, Xml, Binary };

// Everything the arguments say. `settings` is the builder's settings value with the
// font and, when no cell size was given, the cell size still to be filled in.
struct CliOptions {
    SheetSettings settings;
    FontRequest font;
    bool cellGiven = false;
    std::optional<QString> textFile;  // "-" is standard input; unset: the text is in settings
    CodePointSet chars;               // --chars, and with --charset instead of a text
    QStringList charsets;             // names of charsetNames()
    QString outputPath;
    std::int32_t maxPageSide = 0;     // 0: the whole sheet in outputPath
    QString fntPath;                  // empty: no descriptor
    QString jsonPath;
    Pitch pitch = Pitch::Font;
    FntFormat fntFormat = FntFormat::Text;
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
ParseOutcome parseArguments(const QStringList& args);

// The --help text and the --version line.
QString helpText();
QString versionText();

}  // namespace karuvo::cli
