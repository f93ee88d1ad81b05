#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/font.h"
#include "sheet/builder.h"
#include "sheet/settings.h"

// What a finished sheet hides from a look at it, worked out once for both front ends
// to tell in their own words.
namespace karuvo {

// A character that the chosen face lacks, with the face that draws it instead (empty
// when no installed face has it).
struct FallbackChar {
    char32_t codePoint;
    QString face;
};

// Every distinct character of the text, in text order, that the font's own face does
// not draw (with no face when the font asks for no fallback). Line breaks and other
// control and format characters, which no face draws, are left out.
std::vector<FallbackChar> missingCharacters(QStringView text, const Font& font);

// A cell size, wider than 32 bits so that it can name what an effect would need.
struct CellSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// When the edge effect or the distance field of `settings` reaches past the sheet's cells into their
// neighbours: the cell that would hold it (each side at least the sheet's own); none
// when the effect keeps to its cells or the sheet has no character. The sheet's
// characters carry the advances the build measured.
std::optional<CellSize> spillingEffectCell(const SheetSettings& settings, const Sheet& sheet);

// Characters whose ink reaches past their own cell, in code point order, and the
// cell that would hold the ink of every one of them (each side at least the sheet's).
struct InkSpill {
    std::vector<char32_t> chars;
    CellSize cell;
};
// The sheet's characters carry their ink (SheetSettings::findInk); none when every
// character's ink keeps to its cell.
std::optional<InkSpill> inkSpill(const SheetSettings& settings, const Sheet& sheet);

// Whether a distance field is asked for in a fill colour other than white, which it
// does not hold: a field's colour is set in the shader.
bool fieldDropsFill(const SheetSettings& settings);

// Everything a front end tells after a build besides the sheet's sizes.
struct SheetFindings {
    QString face;                           // the face the sheet's font resolves to
    std::vector<FallbackChar> missing;      // characters that face lacks
    bool leftEmpty = false;                 // those are left empty, not drawn by another face
    std::optional<CellSize> spillCell;      // see spillingEffectCell
    bool textureMissing = false;            // an image fill without an image: the glyphs stay white
};

// The findings of `sheet`, built from `settings` with `font` (the font the builder made
// from them).
SheetFindings sheetFindings(const SheetSettings& settings, const Sheet& sheet, const Font& font);

}  // namespace karuvo
