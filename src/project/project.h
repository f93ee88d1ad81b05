#pragma once

// A sheet's settings as the user asks for them, before they are made: the builder's
// settings value plus where its characters and font come from, and its outputs.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

#include "export/output_plan.h"
#include "platform/font.h"
#include "sheet/char_source.h"
#include "sheet/settings.h"

namespace karuvo {

// Cells in a row of a sheet of listed characters when no column count is given.
inline constexpr std::int32_t kDefaultCharColumns = 16;

// The font asked for, before it is made: the family may be left to the default sheet font.
struct FontRequest {
    QString family;                // empty: the default sheet font's family; may be a file
    std::int32_t faceIndex = 0;    // the face of a font file
    bool noFallback = false;       // characters the face lacks stay undrawn
    bool mono = false;             // glyphs without anti-aliasing
    std::int32_t pixelSize = 12;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    std::int32_t weight = 0;       // 0: 700 when bold, otherwise 400

    // True when any font setting was given; otherwise the builder's own default
    // sheet font is used unchanged.
    bool given = false;

    // The description that makes this font, with `defaultFamily` standing in for an
    // empty family.
    FontDescription description(const QString& defaultFamily) const;
};

// A requested font as made: the font file it comes from (loaded for as long as this
// lives), the font and the description that made it.
struct MadeFont {
    std::unique_ptr<FontFile> file;
    std::unique_ptr<Font> font;
    FontDescription description;
};

// Makes the font `request` asks for; a family that names a file loads that file and
// takes its face's family, weight and slant. Throws Error(Io) for a font file that
// cannot be loaded and Error(InvalidSize) for a font that cannot be made.
MadeFont makeFont(const FontRequest& request);

// The family `request` names when no installed face has it and `made` draws with another
// face instead (a family may be installed under a localised name too); none for a font
// file or an installed family.
std::optional<QString> substitutedFamily(const FontRequest& request, const MadeFont& made);

// Refuses a font file that some glyph of `text` cannot be drawn from (see
// checkGlyphsRasterise), before anything is drawn: `file` was loaded for `request` and
// made the font of `description`.
void checkFontFileGlyphs(const FontRequest& request, const FontFile& file, const FontDescription& description,
                         const QString& text);

// Everything a sheet is asked for with: `settings` is the builder's settings value with
// the font and, when no cell size was given, the cell size still to be filled in; its
// text holds a typed text. The characters come from one of: that text, `textFile`, or
// `chars` and `charsets` together. The outputs are the inherited plan.
struct Project : OutputPlan {
    SheetSettings settings;
    FontRequest font;
    bool cellGiven = false;           // false: the cell is fitted to the largest character
    std::optional<QString> textFile;  // "-" is standard input; unset: the text is in settings
    CodePointSet chars;               // listed characters, with charsets instead of a text
    QStringList charsets;             // names of charsetNames()

    // Whether the characters come from lists rather than a text.
    bool listsCharacters() const { return !chars.empty() || !charsets.isEmpty(); }
    // The listed characters and those of the named sets, in increasing order.
    QString listedText() const;
};

}  // namespace karuvo
