#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/font.h"
#include "platform/image.h"
#include "sheet/grid.h"
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
    // With colour glyphs: the glyph colour of each pixel (the fill colour where no
    // colour glyph lies), as tall as `glyph`; empty otherwise.
    Image glyphColours;
    // A distance field: red, green and blue hold the field as alpha does, whatever the glyph colour.
    bool field = false;
    // A multi-channel distance field: `glyph` holds its pixels as 0xAARRGGBB, to be
    // written as they are; the rest is empty.
    bool multiChannel = false;
    // With `multiChannel`: every pixel's alpha is 255.
    bool opaque = false;
};

// A character as the font sets it in its first cell: the top-left corner of its box
// (advance x line height) on the sheet, and its advance in the face that drew it.
struct SheetChar {
    char32_t codePoint = 0;
    std::int32_t column = 0, row = 0;
    std::int32_t x = 0, y = 0;
    std::int32_t advance = 0;
    // The pixels its glyph covers, from the box's top-left corner, wherever they reach;
    // empty for a glyph without ink, one left undrawn, or when not asked for.
    QRect ink;
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
// keeps its glyph pixels black inside the ring. Throws Error: InvalidSize for a cell
// side below 1 or a font that cannot be made, TooLarge for a sheet side beyond
// kMaxSheetSide or a build beyond kMaxBuildBytes, Overflow when a size or position
// leaves the signed 32-bit range, Image when the texture cannot be loaded. Nothing is
// allocated for a sheet that is refused.
Sheet buildSheet(const SheetSettings& settings);

// A sheet being built: everything but its pixels, which are drawn band by band, each
// band exactly those rows of the whole sheet, so that a large sheet can be written
// without ever being held whole.
class SheetBuild {
public:
    // Checks the settings, makes the font, loads the texture, measures and places every
    // character. Throws as buildSheet, before any layer of the sheet is allocated. With
    // `bandPixels` above 0 the caller draws bands of rowsPerBand(bandPixels) rows and
    // never more at once, and the memory budget counts one such band, not the sheet.
    explicit SheetBuild(const SheetSettings& settings, std::int64_t bandPixels = 0);
    ~SheetBuild();
    SheetBuild(const SheetBuild&) = delete;
    SheetBuild& operator=(const SheetBuild&) = delete;

    // The sheet without its pixels: sizes, characters, metrics and kerning.
    const Sheet& sheet() const { return sheet_; }

    // Rows of cells firstRow .. firstRow + rowCount - 1 of the sheet (clipped to it):
    // a sheet as wide as the whole, as tall as those rows, with their pixels and, when
    // kept, their coverage; its character list is empty. Bands of a sheet whose cells
    // are drawn on several threads are drawn one at a time.
    Sheet band(std::int32_t firstRow, std::int32_t rowCount) const;

    // Whether the bands keep their coverage.
    bool keepsCoverage() const;

    // How many rows of cells make a band of about `pixels` pixels (at least one).
    std::int32_t rowsPerBand(std::int64_t pixels) const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    Sheet sheet_;
};

// The largest sheet side the painter is known to draw into correctly.
inline constexpr std::int64_t kMaxSheetSide = 4 * 1024 * 1024;
// The most memory that one build and the making of its file may hold at once (the
// text itself and a fixed few MiB of fonts, buffers and program aside).
inline constexpr std::int64_t kMaxBuildBytes = 3ll * 1024 * 1024 * 1024;

// What making a sheet's file holds per pixel: a 24-bit bitmap is written a few rows at
// a time and holds nothing that grows with the sheet; a PNG encoder holds its compressed
// pieces until they are written, up to the 4 bytes a pixel of stored (incompressible)
// RGBA rows.
inline constexpr std::int64_t kBmpFileBytes = 0;
inline constexpr std::int64_t kPngFileBytes = 4;

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
    // Two coverage layers kept besides the sheet (for a PNG, or the ring of black glyphs).
    bool coverage = false;
    // What the sheet's file holds per pixel while it is made (kBmpFileBytes or kPngFileBytes).
    std::int64_t fileBytesPerPixel = kBmpFileBytes;
    // A distance field: each drawing thread measures up to a cell at a time.
    bool distanceField = false;
    // A layer of the glyphs' own colours besides the coverage (colour glyphs kept for a PNG).
    bool glyphColours = false;
    // The pictures of the colour glyphs drawn so far, held for the whole build.
    std::int64_t colourGlyphBytes = 0;
    // For a sheet drawn band by band as its files are written (SheetBuild with a band
    // size), the pixels of a band; 0 for a sheet held whole.
    std::int64_t bandPixels = 0;
    // Rows of pixels that a band draws beyond its own on either side: the outline's
    // radius and the shadow's vertical offset.
    std::int32_t haloRows = 0;
};

// The plan of building `settings` in cells of the given size on a grid of `grid`
// (the sides need not fit in 32 bits).
BuildPlan buildPlan(const SheetSettings& settings, const GridSize& grid, std::int64_t cellWidth,
                    std::int64_t cellHeight);

// The rows of pixels a plan holds at once: the whole sheet's, or one band's with the
// rows it draws beyond itself (never more than the sheet's).
std::int64_t heldRows(const BuildPlan& plan);

// Bytes the plan holds at its peak: every layer of the sheet (or of a band), what making the sheet's file holds,
// the per-character data of the build and of the front end, the texture and its one-cell
// sample, the colour glyphs' pictures. Every buffer that grows with the sheet or the text is counted here.
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
