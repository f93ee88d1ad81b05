#pragma once

#include <cstdint>

#include "platform/font.h"
#include "platform/image.h"
#include "sheet/settings.h"

namespace karuvo {

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
};

// Builds the sheet of `settings`: every character of the text centred in its own
// cell in the fill colour (white under a texture), with the shadow or the texture laid
// in when chosen. Throws Error: InvalidSize for a cell side below 1 or a font that
// cannot be made, TooLarge for a sheet side beyond kMaxSheetSide or a build beyond
// kMaxBuildBytes, Overflow when a size or position leaves the signed 32-bit range,
// Image when the texture cannot be loaded. Nothing is allocated for a sheet that is
// refused.
Sheet buildSheet(const SheetSettings& settings);

// The largest sheet side the painter is known to draw into correctly.
inline constexpr std::int64_t kMaxSheetSide = 4 * 1024 * 1024;
// The most memory that one build and its 24-bit file may hold at once (the text
// itself and a fixed few MiB of fonts and program aside).
inline constexpr std::int64_t kMaxBuildBytes = 3ll * 1024 * 1024 * 1024;

// What a build will hold, known before anything is allocated. Sides are 64-bit so
// that a plan can be judged while a cell is still being fitted.
struct BuildPlan {
    std::int64_t sheetWidth = 0;
    std::int64_t sheetHeight = 0;
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    std::int64_t cells = 0;          // characters that take a cell
    FillKind fill = FillKind::Colour;
    EffectKind effect = EffectKind::None;
    std::int64_t texturePixels = 0;  // the loaded texture, once it is known
    std::int64_t bytesPerCellOutside = 0;  // what the front end keeps per character (descriptors)
};

// Bytes the plan holds at its peak: every layer of the sheet, the sheet's 24-bit file,
// the per-character data of the build and of the front end, the texture and its one-cell
// sample. Every buffer that grows with the sheet or the text is counted here.
std::int64_t buildBytes(const BuildPlan& plan);

// Refuses a cell side below 1, a sheet side beyond kMaxSheetSide and a plan beyond
// kMaxBuildBytes, with a message naming the sizes.
void checkBuild(const BuildPlan& plan);

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
