#include "builder.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/checked.h"
#include "platform/context.h"
#include "platform/error.h"
#include "platform/image_io.h"
#include "sheet/grid.h"
#include "sheet/outline.h"

namespace karuvo {
namespace {

// Bytes per sheet pixel of each layer that a build holds at once.
constexpr std::int64_t kLayerBytes = 4;
constexpr std::int64_t kOutlineWorkBytes = 10;

std::string sizeText(std::int64_t w, std::int64_t h) { return std::to_string(w) + " x " + std::to_string(h); }

std::unique_ptr<Font> sheetFont(const SheetSettings& s) {
    if (!s.font) return Font::createDefaultSheetFont();
    std::unique_ptr<Font> font = Font::create(*s.font);
    if (!font) {
        throw Error(ErrorKind::InvalidSize, "The font \"" + s.font->faceName.toStdString() +
                                                "\" cannot be made at height " + std::to_string(s.font->height) +
                                                " and width " + std::to_string(s.font->width));
    }
    return font;
}

// ANDs the one-cell sample into every cell of the grid, empty cells included: black
// stays black, white glyphs take on the texture.
void layInTexture(Image& sheet, const Image& texture, const GridSize& grid, std::int32_t cellWidth,
                  std::int32_t cellHeight) {
    if (grid.columns == 0) return;
    Image sample = tileTextureSample(texture, cellWidth, cellHeight);
    for (std::int32_t c = 0; c < grid.columns; ++c) {
        const std::int32_t x = checkedMul(c, cellWidth, "a cell's left edge");
        for (std::int32_t r = 0; r < grid.rows; ++r) {
            const std::int32_t y = checkedMul(r, cellHeight, "a cell's top edge");
            bitBlt(sheet, x, y, cellWidth, cellHeight, &sample, 0, 0, RasterOp::SrcAnd);
        }
    }
}

void checkCellSize(std::int32_t cellWidth, std::int32_t cellHeight) {
    if (cellWidth < 1 || cellHeight < 1) {
        throw Error(ErrorKind::InvalidSize, "A cell of " + sizeText(cellWidth, cellHeight) +
                                                " pixels cannot be used: its width and height must be at least 1");
    }
}

}  // namespace

std::int64_t buildBytes(std::int32_t sheetWidth, std::int32_t sheetHeight, std::int32_t cellWidth,
                        std::int32_t cellHeight, FillKind fill, EffectKind effect) {
    const std::int64_t pixels = std::int64_t{sheetWidth} * sheetHeight;
    std::int64_t perPixel = kLayerBytes;
    if (effect == EffectKind::Shadow) perPixel += kLayerBytes;
    if (effect == EffectKind::Outline) perPixel += kOutlineWorkBytes;
    std::int64_t bytes = pixels * perPixel;
    if (fill == FillKind::Texture && sheetWidth > 0) bytes += std::int64_t{cellWidth} * cellHeight * kLayerBytes;
    return bytes;
}

void checkSheetSize(std::int32_t sheetWidth, std::int32_t sheetHeight, std::int32_t cellWidth,
                    std::int32_t cellHeight, FillKind fill, EffectKind effect) {
    checkCellSize(cellWidth, cellHeight);
    if (sheetWidth > kMaxSheetSide || sheetHeight > kMaxSheetSide) {
        throw Error(ErrorKind::TooLarge, "A sheet of " + sizeText(sheetWidth, sheetHeight) +
                                             " pixels is too large: each side can be at most " +
                                             std::to_string(kMaxSheetSide) + " pixels");
    }
    const std::int64_t bytes = buildBytes(sheetWidth, sheetHeight, cellWidth, cellHeight, fill, effect);
    if (bytes > kMaxBuildBytes) {
        constexpr std::int64_t mib = 1024 * 1024;
        throw Error(ErrorKind::TooLarge, "A sheet of " + sizeText(sheetWidth, sheetHeight) +
                                             " pixels does not fit in memory: its layers need " +
                                             std::to_string((bytes + mib - 1) / mib) + " MiB, at most " +
                                             std::to_string(kMaxBuildBytes / mib) + " MiB can be used");
    }
}

CellPlacement placeInCell(std::int32_t column, std::int32_t row, std::int32_t cellWidth,
                          std::int32_t cellHeight, const CharBox& glyph, std::int32_t shadowDx,
                          std::int32_t shadowDy) {
    // x = c * cw + (cw - gw) div 2, then the main position moves back by half the
    // offset and the shadow forward by the rest, so the pair stays centred.
    const auto axis = [](std::int32_t index, std::int32_t cell, std::int32_t glyphSide, std::int32_t offset,
                         std::int32_t& main, std::int32_t& shadow) {
        const std::int32_t origin = checkedMul(index, cell, "a cell position");
        const std::int32_t centred =
            checkedAdd(origin, divTrunc(checkedSub(cell, glyphSide, "a cell margin"), 2), "a character position");
        const std::int32_t back = divTrunc(offset, 2);
        main = checkedSub(centred, back, "a character position");
        shadow = checkedAdd(centred, checkedSub(offset, back, "a shadow offset"), "a shadow position");
    };
    CellPlacement p;
    axis(column, cellWidth, glyph.width, shadowDx, p.mainX, p.shadowX);
    axis(row, cellHeight, glyph.height, shadowDy, p.mainY, p.shadowY);
    return p;
}

Image tileTextureSample(const Image& texture, std::int32_t cellWidth, std::int32_t cellHeight) {
    Image sample(cellWidth, cellHeight);
    if (texture.isEmpty() || sample.isEmpty()) return sample;
    const std::int32_t tileW = texture.width();
    const std::int32_t tileH = texture.height();
    // The view is only read from; Image hands out views of non-const pictures alone.
    const ImageView src = const_cast<Image&>(texture).view();
    const ImageView dst = sample.view();
    for (std::int32_t x = 0; x <= cellWidth; x = checkedAdd(x, tileW, "a texture tile position")) {
        for (std::int32_t y = 0; y <= cellHeight; y = checkedAdd(y, tileH, "a texture tile position")) {
            bitBlt(dst, x, y, tileW, tileH, &src, 0, 0, RasterOp::SrcCopy);
        }
    }
    return sample;
}

Sheet buildSheet(const SheetSettings& s) {
    const bool shadowOn = s.effect == EffectKind::Shadow;
    const std::int32_t dx = shadowOn ? s.shadowDx : 0;
    const std::int32_t dy = shadowOn ? s.shadowDy : 0;

    Sheet sheet;
    const GridSize grid = scanGrid(s.text, s.wrapColumns);
    sheet.columns = grid.columns;
    sheet.rows = grid.rows;
    sheet.cellWidth = s.cellWidth;
    sheet.cellHeight = s.cellHeight;
    checkCellSize(s.cellWidth, s.cellHeight);
    sheet.width = checkedMul(grid.columns, s.cellWidth, "the sheet width");
    sheet.height = checkedMul(grid.rows, s.cellHeight, "the sheet height");
    checkSheetSize(sheet.width, sheet.height, s.cellWidth, s.cellHeight, s.fill, s.effect);

    const std::unique_ptr<Font> font = sheetFont(s);
    // Loaded before the layers are made so that a bad file stops the build before any
    // large allocation; the result is the same as loading it after the glyphs.
    const Image texture = s.fill == FillKind::Texture ? loadPicture(s.texturePath) : Image();
    const bool textureMissing = s.fill == FillKind::Texture && texture.isEmpty();

    sheet.image = Image(sheet.width, sheet.height);
    // A shadow right under its glyph is cut away whole. Drawing it and cutting it out
    // would leave the anti-aliased edges faintly tinted (shadow x coverage x (1 - coverage)).
    // Without its texture an image fill never lays the shadow in, so none is drawn.
    std::optional<Image> shadowLayer;
    if (shadowOn && (dx != 0 || dy != 0) && !textureMissing) shadowLayer.emplace(sheet.width, sheet.height);

    DrawingContext sheetContext(&sheet.image, font.get());
    sheetContext.setBackgroundMode(BackgroundMode::Transparent);
    sheetContext.setTextColour(s.fill == FillKind::Colour ? s.fillColour : kWhite);

    std::vector<GridCell> cells = gridCells(s.text, s.wrapColumns);
    // Without fallback a character the face lacks keeps an empty cell.
    if (s.font && s.font->noFallback)
        std::erase_if(cells, [&](const GridCell& c) { return !font->hasGlyph(c.codePoint); });
    // Main positions, kept for the shadow cut-out (the same font measures the same box).
    std::vector<CellPlacement> placements;
    placements.reserve(cells.size());
    for (const GridCell& cell : cells) {
        const CharBox box = sheetContext.measureChar(cell.codePoint);
        placements.push_back(placeInCell(cell.column, cell.row, s.cellWidth, s.cellHeight, box, dx, dy));
        sheetContext.drawChar(placements.back().mainX, placements.back().mainY, cell.codePoint);
    }
    sheetContext.flush();

    if (shadowLayer) {
        DrawingContext shadowContext(&*shadowLayer, font.get());
        shadowContext.setBackgroundMode(BackgroundMode::Transparent);
        shadowContext.setTextColour(s.shadowColour);
        for (std::size_t i = 0; i < cells.size(); ++i)
            shadowContext.drawChar(placements[i].shadowX, placements[i].shadowY, cells[i].codePoint);
        // Cut the characters out, so the shadow shows only beside them.
        shadowContext.setTextColour(kBlack);
        for (std::size_t i = 0; i < cells.size(); ++i)
            shadowContext.drawChar(placements[i].mainX, placements[i].mainY, cells[i].codePoint);
        shadowContext.flush();
    }

    // Outline hand-off: every glyph is drawn and neither texture nor shadow has reached
    // the sheet yet. The glyphs are replaced with their cleaned form and the ring waits
    // in the surface; an early return below destroys the surface with it.
    PixelSurface outline;
    if (s.effect == EffectKind::Outline) {
        const OutlineStyle style{s.fill == FillKind::Colour ? s.fillColour : kWhite, s.outlineColour,
                                 s.outlineRadius};
        outline = outlineHandOff(sheet.image, style);
    }

    if (s.fill == FillKind::Texture) {
        // Without a texture the sheet keeps its white glyphs: no texture, shadow or outline.
        if (textureMissing) return sheet;
        layInTexture(sheet.image, texture, grid, s.cellWidth, s.cellHeight);
    }

    if (shadowLayer) {
        bitBlt(sheet.image, 0, 0, sheet.width, sheet.height, &*shadowLayer, 0, 0, RasterOp::SrcPaint);
    }

    // Outline compositing, the very last step: the ring is ORed onto the sheet.
    outlineCompositing(sheet.image, outline);

    return sheet;
}

}  // namespace karuvo
