#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "platform/colour.h"
#include "platform/font.h"

namespace karuvo {

enum class FillKind { Colour, Texture };
enum class EffectKind { None, Shadow, Outline };

// What a distance field holds in each pixel.
enum class FieldType {
    Sdf,    // the signed distance to the outline
    Msdf,   // in red, green and blue the distances to the edges of three colours (their
            // median draws the outline with its corners); alpha 255
    Mtsdf,  // Msdf, and in alpha the signed distance as Sdf holds it
};
// The field types' names in files, in the order of FieldType.
inline constexpr std::array<const char*, 3> kFieldTypeNames{"sdf", "msdf", "mtsdf"};
inline const char* fieldTypeName(FieldType t) { return kFieldTypeNames[static_cast<std::size_t>(t)]; }

// Everything a sheet is made from. Both front ends fill this value; the builder
// reads nothing else.
struct SheetSettings {
    QString text;                          // taken exactly as typed
    std::int32_t wrapColumns = 0;          // cells per row at most; 0: a row per line
    std::int32_t cellWidth = 0;            // pixels, must be at least 1
    std::int32_t cellHeight = 0;
    std::optional<FontDescription> font;   // none: the default sheet font
    FillKind fill = FillKind::Colour;
    Colour fillColour = kWhite;            // colour fill only
    QString texturePath;                   // texture fill; empty gives white glyphs
    EffectKind effect = EffectKind::None;
    std::int32_t shadowDx = 0;             // shadow only
    std::int32_t shadowDy = 0;
    Colour shadowColour = kWhite;
    std::int32_t outlineRadius = 0;        // outline only, 0 to 10
    Colour outlineColour = kWhite;
    // Also keep what each pixel is covered by apart from its colour (Sheet::coverage),
    // for a file with transparency.
    bool keepCoverage = false;
    // Also find the kerning between the characters (Sheet::kerning), for a descriptor.
    bool findKerning = false;
    // Also find where each character's ink lies (SheetChar::ink), for a descriptor.
    bool findInk = false;
    // Above 0: the sheet is a signed distance field of this range in pixels (1 to
    // kMaxDistanceRange) instead of the glyphs' coverage; no edge effect or texture is
    // drawn, and the field is cut at each character's cell.
    std::int32_t distanceRange = 0;
    FieldType fieldType = FieldType::Sdf;  // distance fields only
    // Glyphs that carry their own colours (COLR, CBDT, sbix) are drawn in them, the
    // others in the fill colour; not with a distance field, texture, shadow or outline.
    bool colourGlyphs = false;
    std::int32_t threads = 0;              // glyph drawing threads; 0: as many as pay
};

}  // namespace karuvo
