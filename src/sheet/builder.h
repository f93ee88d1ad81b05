#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/font.h"
#include "platform/image.h"
#include "sheet/settings.h"

namespace karuvo {

// How much of each sheet pixel is covered, kept apart from colour. Each layer is a
// picture the size of the sheet holding its coverage as a grey level (0: none, 255:
// whole), read from any one channel.
struct SheetCoverage {
    // The glyphs as drawn; with the outline, 255 on every pixel the ring counts as glyph.
    Image glyph;
    // What lies under the glyphs: the shadow's coverage (not cut out under the glyphs),
    // or 255 on the ring's pixels; empty when there is neither.
    Image under;
    Colour glyphColour = kWhite;   // the colour fill's colour; white for an image fill
    Colour underColour = kBlack;   // the shadow or ring colour
    // For an image fill with its texture: one cell of it; the glyph colour of pixel
    // (x, y) is its pixel (x mod cell width, y mod cell height).
    Image textureCell;
};

// A character as the font sets it in its first cell: the top-left corner of its box
// (advance x line height) on the sheet, and its advance in the face that drew it.
struct SheetChar {
    char32_t codePoint = 0;
    std::int32_t column = 0, row = 0;
    std::int32_t x = 0, y = 0;
    std::int32_t advance = 0;
};

// A finished glyph sheet. `image` is exactly width x height pixels; a text without
// any character that takes a cell has width 0 and an empty image.
struct Sheet {
    Image image;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t columns = 0;
    std::int32_t rows = 1;
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;

    // Metrics of the font that drew the sheet: one entry per distinct character at its
    // first cell, in increasing code point order; the line height and ascent.
    std::vector<SheetChar> chars;
    std::int32_t lineHeight = 0;
    std::int32_t ascent = 0;
    // Pairs of the sheet's characters the font kerns; found only when asked for.
    std::vector<KerningPair> kerning;
    // Kept only when asked for, and only for a sheet of some area.
    std::optional<SheetCoverage> coverage;
};

// Builds the sheet of `settings`: every character of the text centred in its own
// cell (rows wrapped after settings.wrapColumns cells when above 0) in the fill colour
// (white under a texture), with the shadow or the texture laid in when chosen. A
// character the face lacks stays an empty cell when the font asks for no fallback. The
// outline's ring goes around the pixels the glyphs are drawn on; a black glyph colour
// keeps its glyph pixels black inside the ring. Throws Error: InvalidSize for a cell side below 1 or a font that
// cannot be made, TooLarge for a sheet side beyond kMaxSheetSide or layers beyond
// kMaxBuildBytes,
// Overflow when a size or position leaves the signed 32-bit range, Image when the
// texture cannot be loaded. Nothing is allocated for a sheet that is refused.
Sheet buildSheet(const SheetSettings& settings);

// The largest sheet side the painter is known to draw into correctly.
inline constexpr std::int32_t kMaxSheetSide = 4 * 1024 * 1024;
// The most memory that the layers of one build may hold at once.
inline constexpr std::int64_t kMaxBuildBytes = 3ll * 1024 * 1024 * 1024;

// Bytes the layers of one build hold at once: the sheet, and the shadow layer or the
// outline's work buffers, and the one-cell texture sample; when coverage is kept, its
// two layers of 4 bytes a pixel besides (the outline builds its ring from the glyph
// layer for a black glyph colour, whether or not coverage is kept for the caller).
std::int64_t buildBytes(std::int32_t sheetWidth, std::int32_t sheetHeight, std::int32_t cellWidth,
                        std::int32_t cellHeight, FillKind fill, EffectKind effect, bool coverage = false);

// Refuses a cell side below 1, a sheet side beyond kMaxSheetSide and a build beyond
// kMaxBuildBytes, with a message naming the sizes.
void checkSheetSize(std::int32_t sheetWidth, std::int32_t sheetHeight, std::int32_t cellWidth,
                    std::int32_t cellHeight, FillKind fill, EffectKind effect, bool coverage = false);

// The top-left corners of a character box in its cell: the main position and the
// shadow position, exactly the shadow offsets apart and centred in the cell as a pair.
// Halves truncate toward zero. Throws Error(Overflow) when a position leaves the range.
struct CellPlacement {
    std::int32_t mainX = 0;
    std::int32_t mainY = 0;
    std::int32_t shadowX = 0;
    std::int32_t shadowY = 0;
};
CellPlacement placeInCell(std::int32_t column, std::int32_t row, std::int32_t cellWidth,
                          std::int32_t cellHeight, const CharBox& glyph, std::int32_t shadowDx,
                          std::int32_t shadowDy);

// One cell of texture: copies of `texture` side by side from (0, 0), a copy at every
// x from 0 while x <= cellWidth and every y from 0 while y <= cellHeight, clipped to
// the cell. An empty texture gives a black cell.
Image tileTextureSample(const Image& texture, std::int32_t cellWidth, std::int32_t cellHeight);

}  // namespace karuvo
