#include "builder.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/batch_draw.h"
#include "platform/checked.h"
#include "platform/colour_glyphs.h"
#include "platform/error.h"
#include "platform/image_io.h"
#include "platform/parallel.h"
#include "sheet/coverage_shading.h"
#include "sheet/distance_field.h"
#include "sheet/multi_channel_cells.h"
#include "sheet/grid.h"
#include "sheet/outline.h"

namespace karuvo {
namespace {

// Bytes per sheet pixel of each buffer that a build holds at once.
constexpr std::int64_t kLayerBytes = 4;        // a 32-bit layer: the sheet, the shadow
constexpr std::int64_t kOutlineWorkBytes = 10;  // the outline's masks and distances
constexpr std::int64_t kFieldWorkBytes = 5;     // a distance field's distance and level
// Bytes per character that takes a cell: its grid place, code point, box and
// placements, its entry in the sheet's character list, and the vectors' spare room.
// Measured at about 220 bytes a character on a sheet of every code point.
constexpr std::int64_t kCellBytes = 256;

std::unique_ptr<Font> sheetFont(const SheetSettings& s) {
    if (!s.font) return Font::createDefaultSheetFont();
    std::unique_ptr<Font> font = Font::create(*s.font);
    if (!font) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "The font \"%1\" cannot be made at height %2 and width %3"),
                    {s.font->faceName.toStdString(), std::to_string(s.font->height), std::to_string(s.font->width)});
    }
    return font;
}

// Makes `mask` white where `picture` is not black and black elsewhere.
void markNonBlack(const Image& picture, Image& mask) {
    for (std::int32_t y = 0; y < picture.height(); ++y) {
        const QRgb* from = picture.row(y);
        QRgb* to = mask.row(y);
        for (std::int32_t x = 0; x < picture.width(); ++x) to[x] = (from[x] & 0xFFFFFFu) ? 0xFFFFFFFFu : 0xFF000000u;
    }
}

// Gives the ring pixels (white) of an outline surface the ring colour: the same bytes
// as a ring built in that colour.
void recolourRing(PixelSurface& surface, Colour colour) {
    const PixelRows rows = surface.pixelRows();
    for (std::int32_t y = 0; y < rows.height; ++y) {
        std::uint8_t* p = rows.row(y);
        for (std::int32_t x = 0; x < rows.width; ++x, p += 3) {
            if ((p[0] | p[1] | p[2]) == 0) continue;
            p[0] = static_cast<std::uint8_t>(blueOf(colour));
            p[1] = static_cast<std::uint8_t>(greenOf(colour));
            p[2] = static_cast<std::uint8_t>(redOf(colour));
        }
    }
    WriteSurfacePixels(surface);
}

// The pixels `codePoint` covers drawn alone with its box's top-left corner at (0, 0),
// drawn as the sheet draws it. `box` is its measured box; with its ink known, only that
// is drawn, otherwise room for ink reaching far beyond the box.
QRect inkOf(const Font& font, char32_t codePoint, const CharBox& box) {
    const std::int32_t far = 2 * box.height + 16;
    const QRect area = !box.ink.isEmpty() ? box.ink : QRect(-far, -far, box.width + 2 * far, box.height + 2 * far);
    Image scratch(area.width(), area.height());
    const std::vector<PlacedChar> one{{-area.left(), -area.top(), codePoint, -1}};
    drawPasses(font, {{&scratch, kWhite, &one}}, 1);
    std::int32_t left = scratch.width(), right = -1, top = -1, bottom = -1;
    for (std::int32_t y = 0; y < scratch.height(); ++y) {
        const QRgb* row = scratch.row(y);
        for (std::int32_t x = 0; x < scratch.width(); ++x) {
            if (!(row[x] & 0xFFFFFFu)) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            if (top < 0) top = y;
            bottom = y;
        }
    }
    if (right < 0) return QRect();
    return QRect(QPoint(left, top), QPoint(right, bottom)).translated(area.topLeft());
}

// Lays `glyph` (premultiplied) with its top-left corner at `at` source-over onto
// `image`, clipped to it; and onto the grey coverage of `coverage` and the straight
// colours of `colours` where given, so that the colour and coverage composited over
// black give the image's pixels.
void laySourceOver(const QImage& glyph, QPoint at, Image& image, Image* coverage, Image* colours) {
    const QRect area = QRect(at, glyph.size()).intersected(QRect(0, 0, image.width(), image.height()));
    for (std::int32_t y = area.top(); y <= area.bottom(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(glyph.constScanLine(y - at.y()));
        QRgb* to = image.row(y);
        for (std::int32_t x = area.left(); x <= area.right(); ++x) {
            const QRgb s = from[x - at.x()];
            const int a = qAlpha(s), rest = 255 - a;
            if (a == 0) continue;
            const auto over = [&](int src, int dst) { return src + (dst * rest + 127) / 255; };
            to[x] = qRgb(over(qRed(s), qRed(to[x])), over(qGreen(s), qGreen(to[x])), over(qBlue(s), qBlue(to[x])));
            if (!coverage) continue;
            const int g = qRed(coverage->row(y)[x]);
            if (colours) {
                // Straight colour: both premultiplied colours over their joint coverage.
                QRgb& c = colours->row(y)[x];
                const int joint = a * 255 + g * rest;
                const auto straight = [&](int src, int dst) {
                    return std::min(255, (src * 65025 + dst * g * rest + joint / 2) / joint);
                };
                c = qRgb(straight(qRed(s), qRed(c)), straight(qGreen(s), qGreen(c)), straight(qBlue(s), qBlue(c)));
            }
            const int covered = over(a, g);
            coverage->row(y)[x] = qRgb(covered, covered, covered);
        }
    }
}

void checkCellSize(std::int32_t cellWidth, std::int32_t cellHeight) {
    if (cellWidth < 1 || cellHeight < 1) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "A cell of %1 x %2 pixels cannot be used: its width and height must be at least 1"),
                    {std::to_string(cellWidth), std::to_string(cellHeight)});
    }
}

}  // namespace

// Black glyphs cannot be told from the black background, so their ring is built from
// a layer where they are drawn white.
bool ringFromLayer(const SheetSettings& s) {
    return s.effect == EffectKind::Outline && s.fill == FillKind::Colour && (s.fillColour & 0xFFFFFF) == kBlack;
}

BuildPlan buildPlan(const SheetSettings& s, const GridSize& grid, std::int64_t cellWidth, std::int64_t cellHeight) {
    BuildPlan p{grid.columns * cellWidth, grid.rows * cellHeight,
                static_cast<std::int32_t>(std::clamp<std::int64_t>(cellWidth, INT32_MIN, INT32_MAX)),
                static_cast<std::int32_t>(std::clamp<std::int64_t>(cellHeight, INT32_MIN, INT32_MAX)),
                grid.cells, s.fill, s.effect};
    p.coverage = s.keepCoverage || ringFromLayer(s);
    p.glyphColours = s.keepCoverage && s.colourGlyphs;
    p.fileBytesPerPixel = s.keepCoverage ? kPngFileBytes : kBmpFileBytes;
    p.distanceField = s.distanceRange > 0;
    const std::int64_t halo = s.effect == EffectKind::Outline  ? std::clamp(s.outlineRadius, 0, kMaxOutlineRadius)
                              : s.effect == EffectKind::Shadow ? std::abs(std::int64_t{s.shadowDy})
                                                               : 0;
    p.haloRows = static_cast<std::int32_t>(std::min<std::int64_t>(halo, INT32_MAX));
    return p;
}

std::int64_t heldRows(const BuildPlan& p) {
    const std::int64_t rowPixels = p.sheetWidth * p.cellHeight;
    if (p.bandPixels <= 0 || rowPixels <= 0 || p.cellHeight <= 0) return p.sheetHeight;
    const std::int64_t rows = std::max<std::int64_t>(1, p.bandPixels / rowPixels);
    return std::min(p.sheetHeight, rows * p.cellHeight + 2 * std::int64_t{p.haloRows});
}

std::int64_t buildBytes(const BuildPlan& p) {
    std::int64_t perPixel = kLayerBytes + p.fileBytesPerPixel;
    if (p.coverage) perPixel += 2 * kLayerBytes;
    if (p.glyphColours) perPixel += kLayerBytes;
    if (p.effect == EffectKind::Shadow) perPixel += kLayerBytes;
    if (p.effect == EffectKind::Outline) perPixel += kOutlineWorkBytes;
    // Sides up to kMaxSheetSide and counts up to 2^31 keep every product within 64 bits.
    std::int64_t bytes = p.sheetWidth * heldRows(p) * perPixel + p.cells * (kCellBytes + p.bytesPerCellOutside) +
                         p.colourGlyphBytes;
    if (p.distanceField && p.sheetWidth > 0) {
        // A distance and a level a pixel of the cell, on each thread at once.
        bytes += std::min(std::int64_t{p.cellWidth} * p.cellHeight, p.sheetWidth * p.sheetHeight) * kFieldWorkBytes *
                 kMaxParallel;
    }
    if (p.fill == FillKind::Texture && p.sheetWidth > 0) {
        bytes += (std::int64_t{p.cellWidth} * p.cellHeight + p.texturePixels) * kLayerBytes;
    }
    return bytes;
}

void checkBuild(const BuildPlan& p) {
    checkCellSize(p.cellWidth, p.cellHeight);
    if (p.sheetWidth > kMaxSheetSide || p.sheetHeight > kMaxSheetSide) {
        throw Error(ErrorKind::TooLarge,
                    QT_TRANSLATE_NOOP("karuvo", "A sheet of %1 x %2 pixels is too large: each side can be at most %3 pixels"),
                    {std::to_string(p.sheetWidth), std::to_string(p.sheetHeight), std::to_string(kMaxSheetSide)});
    }
    const std::int64_t bytes = buildBytes(p);
    if (bytes > kMaxBuildBytes) {
        constexpr std::int64_t mib = 1024 * 1024;
        throw Error(ErrorKind::TooLarge,
                    p.cells == 1 ? QT_TRANSLATE_NOOP("karuvo", "A sheet of %1 x %2 pixels does not fit in memory: with its "
                                                               "file and %3 cell it needs %4 MiB, at most %5 MiB can be used")
                                 : QT_TRANSLATE_NOOP("karuvo", "A sheet of %1 x %2 pixels does not fit in memory: with its "
                                                               "file and %3 cells it needs %4 MiB, at most %5 MiB can be used"),
                    {std::to_string(p.sheetWidth), std::to_string(p.sheetHeight), std::to_string(p.cells),
                     std::to_string((bytes + mib - 1) / mib), std::to_string(kMaxBuildBytes / mib)});
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

struct SheetBuild::Parts {
    SheetSettings s;
    GridSize grid;
    std::unique_ptr<Font> font;
    bool shadowOn = false, outlineOn = false, ringFromLayer = false;
    bool textureMissing = false;
    bool shadowLayer = false;  // whether a shadow is drawn at all
    // Whether the sheet is worked out from one drawing of the glyphs in white (their ink
    // keeps to their own cells, so none overlaps another).
    bool fromCoverage = false;
    Colour glyphColour = kWhite;
    Image textureCell;         // one cell of the texture, for an image fill that has one
    // Main positions, kept for the shadow cut-out (the same font measures the same box).
    std::vector<PlacedChar> mainChars, shadowChars;
    std::vector<FieldChar> fieldChars;  // with a distance field: each character and its cell
    // Characters drawn in their own colours instead, each by the top-left corner of its
    // box, and their glyphs by code point (none: drawn in the fill colour).
    struct ColourChar {
        std::int32_t x = 0, y = 0;
        const ColourGlyph* glyph = nullptr;
    };
    std::vector<ColourChar> colourChars;
    std::unordered_map<char32_t, std::optional<ColourGlyph>> colourGlyphs;
    int threads = 1;
};

SheetBuild::SheetBuild(const SheetSettings& s, std::int64_t bandPixels) : parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    p.s = s;
    const bool field = s.distanceRange > 0;
    p.shadowOn = !field && s.effect == EffectKind::Shadow;
    p.outlineOn = !field && s.effect == EffectKind::Outline;
    const std::int32_t dx = p.shadowOn ? s.shadowDx : 0;
    const std::int32_t dy = p.shadowOn ? s.shadowDy : 0;
    // A field's colour is the shader's tint: its every channel holds the field.
    p.glyphColour = s.fill == FillKind::Colour && !field ? s.fillColour & 0xFFFFFF : kWhite;
    p.ringFromLayer = karuvo::ringFromLayer(s);

    Sheet& sheet = sheet_;
    p.grid = scanGrid(s.text, s.wrapColumns);
    const GridSize& grid = p.grid;
    sheet.columns = grid.columns;
    sheet.rows = grid.rows;
    sheet.cellWidth = s.cellWidth;
    sheet.cellHeight = s.cellHeight;
    checkCellSize(s.cellWidth, s.cellHeight);
    sheet.width = checkedMul(grid.columns, s.cellWidth, "the sheet width");
    sheet.height = checkedMul(grid.rows, s.cellHeight, "the sheet height");
    BuildPlan plan = buildPlan(s, grid, s.cellWidth, s.cellHeight);
    plan.bandPixels = bandPixels;
    checkBuild(plan);

    p.font = sheetFont(s);
    Font& font = *p.font;
    // Loaded before any layer is made so that a bad file stops the build before any
    // large allocation; the result is the same as loading it after the glyphs.
    const Image texture = s.fill == FillKind::Texture ? loadPicture(s.texturePath) : Image();
    plan.texturePixels = std::int64_t{texture.width()} * texture.height();
    checkBuild(plan);
    p.textureMissing = s.fill == FillKind::Texture && texture.isEmpty();
    if (s.fill == FillKind::Texture && !p.textureMissing)
        p.textureCell = tileTextureSample(texture, s.cellWidth, s.cellHeight);
    // A shadow right under its glyph is cut away whole. Drawing it and cutting it out
    // would leave the anti-aliased edges faintly tinted (shadow x coverage x (1 - coverage)).
    // Without its texture an image fill never lays the shadow in, so none is drawn.
    p.shadowLayer = p.shadowOn && (dx != 0 || dy != 0) && !p.textureMissing;

    const std::vector<GridCell> cells = gridCells(s.text, s.wrapColumns);
    std::vector<char32_t> codePoints;
    codePoints.reserve(cells.size());
    for (const GridCell& cell : cells) codePoints.push_back(cell.codePoint);
    p.threads = batchThreads(cells.size(), s.threads);
    const std::vector<CharBox> boxes = measureChars(font, codePoints, p.threads);

    // Glyphs stay within their own boxes where those are known, and the own face's
    // within its box of all glyphs; a fallback face's may reach anywhere.
    const std::optional<std::int32_t> ownReach = font.ownInkReach();
    // Colour glyphs stand on one-colour drawing of no other layer.
    std::optional<ColourGlyphs> colours;
    if (s.colourGlyphs && !field && s.effect == EffectKind::None && s.fill == FillKind::Colour)
        colours.emplace(font, p.glyphColour);
    const auto colourGlyph = [&](char32_t c) -> const ColourGlyph* {
        if (!colours) return nullptr;
        auto [at, added] = p.colourGlyphs.try_emplace(c);
        if (added && (at->second = colours->glyph(c))) {
            plan.colourGlyphBytes += at->second->image.sizeInBytes();
            checkBuild(plan);
        }
        return at->second ? &*at->second : nullptr;
    };
    p.mainChars.reserve(cells.size());
    if (p.shadowLayer) p.shadowChars.reserve(cells.size());
    std::unordered_set<char32_t> described;
    // Without fallback a character the face lacks keeps an empty cell.
    const bool ownFaceOnly = s.font && s.font->noFallback;
    bool inkInCells = true;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const GridCell& cell = cells[i];
        const CellPlacement at = placeInCell(cell.column, cell.row, s.cellWidth, s.cellHeight, boxes[i], dx, dy);
        const bool own = font.hasGlyph(cell.codePoint);
        const ColourGlyph* colour = !ownFaceOnly || own ? colourGlyph(cell.codePoint) : nullptr;
        CharBox box = boxes[i];
        if (colour) box.ink = colour->box(font.ascent());
        if (inkInCells && (!ownFaceOnly || own)) {
            const QRect ink = box.ink.translated(at.mainX, at.mainY);
            inkInCells = !ink.isEmpty() &&
                         QRect(cell.column * s.cellWidth, cell.row * s.cellHeight, s.cellWidth, s.cellHeight).contains(ink);
        }
        if (colour) {
            p.colourChars.push_back({at.mainX, at.mainY, colour});
        } else if (!ownFaceOnly || own) {
            const std::int32_t reach = boxes[i].reach() >= 0 ? boxes[i].reach() : own && ownReach ? *ownReach : -1;
            p.mainChars.push_back({at.mainX, at.mainY, cell.codePoint, reach});
            if (field) {
                p.fieldChars.push_back({p.mainChars.back(), QRect(cell.column * s.cellWidth, cell.row * s.cellHeight,
                                                                  s.cellWidth, s.cellHeight)});
                if (!own && font.drawingFamily(cell.codePoint).isEmpty())
                    p.fieldChars.back().missingBox = inkOf(font, cell.codePoint, boxes[i]);
            }
            if (p.shadowLayer) p.shadowChars.push_back({at.shadowX, at.shadowY, cell.codePoint, reach});
        }
        if (described.insert(cell.codePoint).second) {
            sheet.chars.push_back({cell.codePoint, cell.column, cell.row, at.mainX, at.mainY, boxes[i].width});
            if (s.findInk && (!ownFaceOnly || own))
                sheet.chars.back().ink = colour ? box.ink : inkOf(font, cell.codePoint, boxes[i]);
        }
    }
    std::sort(sheet.chars.begin(), sheet.chars.end(),
              [](const SheetChar& a, const SheetChar& b) { return a.codePoint < b.codePoint; });
    sheet.lineHeight = font.metrics().height();
    sheet.ascent = font.ascent();
    // Worth it where the glyphs would be drawn more than once: with a shadow, or their
    // coverage kept; the outline works on its own.
    p.fromCoverage = !field && inkInCells && !p.mainChars.empty() && !p.outlineOn && (p.shadowLayer || s.keepCoverage) &&
                     painterFollowsCoverageRules(font, p.mainChars.front().codePoint);
    if (s.findKerning) {
        std::vector<char32_t> distinct;
        distinct.reserve(sheet.chars.size());
        for (const SheetChar& c : sheet.chars) distinct.push_back(c.codePoint);
        sheet.kerning = font.kerningPairs(distinct);
    }
}

SheetBuild::~SheetBuild() = default;

bool SheetBuild::keepsCoverage() const { return parts_->s.keepCoverage; }

std::int32_t SheetBuild::rowsPerBand(std::int64_t pixels) const {
    const std::int64_t rowPixels = std::int64_t{sheet_.width} * sheet_.cellHeight;
    if (rowPixels <= 0) return std::max(1, sheet_.rows);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(pixels / rowPixels, 1, std::max(1, sheet_.rows)));
}

namespace {

// The rows top .. bottom - 1 of `picture`, whose first row is row `from` of the sheet.
Image rowsOf(Image& picture, std::int32_t from, std::int32_t top, std::int32_t bottom) {
    if (from == top && picture.height() == bottom - top) return std::move(picture);
    return picture.takeRows(top - from, bottom - top);
}

}  // namespace

Sheet SheetBuild::band(std::int32_t firstRow, std::int32_t rowCount) const {
    const Parts& p = *parts_;
    const SheetSettings& s = p.s;
    const std::int64_t cellHeight = s.cellHeight;
    const std::int32_t width = sheet_.width;
    const auto onSheet = [&](std::int64_t y) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(y, 0, sheet_.height)); };
    const std::int32_t top = onSheet(firstRow * cellHeight);
    const std::int32_t bottom = std::max(top, onSheet((std::int64_t{firstRow} + rowCount) * cellHeight));
    // The ring of a row depends on the glyphs within its radius, so the band is drawn
    // with that many rows more on either side, and they are dropped at the end.
    const std::int32_t halo = p.outlineOn ? std::clamp(s.outlineRadius, 0, kMaxOutlineRadius) : 0;
    const std::int32_t from = onSheet(std::int64_t{top} - halo);
    const std::int32_t to = onSheet(std::int64_t{bottom} + halo);

    Sheet band;
    band.width = width;
    band.height = bottom - top;
    band.columns = sheet_.columns;
    band.rows = static_cast<std::int32_t>((band.height + cellHeight - 1) / cellHeight);
    band.cellWidth = s.cellWidth;
    band.cellHeight = s.cellHeight;
    band.lineHeight = sheet_.lineHeight;
    band.ascent = sheet_.ascent;
    const bool keep = s.keepCoverage && sheet_.width > 0 && sheet_.height > 0;
    if (s.distanceRange > 0) {
        // The field as a grey level, over black and with its coverage alike.
        Image field(width, bottom - top);
        std::vector<FieldChar> chars;
        for (const FieldChar& c : p.fieldChars) {
            if (c.cell.bottom() >= top && c.cell.top() < bottom) chars.push_back(c);
        }
        if (s.fieldType != FieldType::Sdf) {
            // The field's own pixels, its colours on the sheet as they are.
            const QRgb far = s.fieldType == FieldType::Msdf ? 0xFF000000u : 0;
            for (std::int32_t y = 0; y < field.height(); ++y) std::fill_n(field.row(y), width, far);
            drawMultiChannelFields(*p.font, chars, s.fieldType, s.distanceRange, field, top, p.threads);
            band.image = Image(width, field.height());
            for (std::int32_t y = 0; y < field.height(); ++y)
                std::transform(field.row(y), field.row(y) + width, band.image.row(y), [](QRgb c) { return c | 0xFF000000u; });
            if (keep) {
                band.coverage.emplace();
                band.coverage->glyph = std::move(field);
                band.coverage->multiChannel = true;
                band.coverage->opaque = s.fieldType == FieldType::Msdf;
            }
            return band;
        }
        drawFields(*p.font, chars, s.distanceRange, field, top, p.threads);
        band.image = Image(width, field.height());
        for (std::int32_t y = 0; y < field.height(); ++y) {
            const QRgb* from = field.row(y);
            QRgb* to = band.image.row(y);
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint32_t a = from[x] & 0xFF;
                const auto scaled = [a](int c) { return (static_cast<std::uint32_t>(c) * a + 127) / 255; };
                to[x] = 0xFF000000u | scaled(redOf(p.glyphColour)) << 16 | scaled(greenOf(p.glyphColour)) << 8 |
                        scaled(blueOf(p.glyphColour));
            }
        }
        if (keep) {
            band.coverage.emplace();
            band.coverage->glyph = std::move(field);
            band.coverage->glyphColour = p.glyphColour;
            band.coverage->field = true;
        }
        return band;
    }
    Image image(width, to - from);
    std::optional<Image> shadowLayer;
    // Worked out from coverage, the shadow needs a layer of its own only to be laid in
    // after the texture.
    if (p.shadowLayer && (!p.fromCoverage || !p.textureCell.isEmpty())) shadowLayer.emplace(width, to - from);
    std::optional<Image> glyphLayer;
    if (keep || p.ringFromLayer) glyphLayer.emplace(width, to - from);
    std::optional<Image> underLayer;
    if (keep && (p.shadowLayer || p.outlineOn)) underLayer.emplace(width, to - from);

    // The characters whose ink may reach rows first .. last - 1, placed on a picture
    // whose top row is `first`.
    const Font& font = *p.font;
    const auto onRows = [&](const std::vector<PlacedChar>& all, std::int32_t first, std::int32_t last) {
        std::vector<PlacedChar> chars;
        for (const PlacedChar& c : all) {
            if (inkMayReach(c, sheet_.lineHeight, first, last)) chars.push_back({c.x, c.y - first, c.codePoint, c.reach});
        }
        return chars;
    };
    if (p.fromCoverage) {
        // The glyphs once in white, over these rows and the rows their shadow comes from.
        const std::int32_t sdx = p.shadowLayer ? s.shadowDx : 0, sdy = p.shadowLayer ? s.shadowDy : 0;
        const std::int32_t coverFrom = onSheet(std::min<std::int64_t>(from, std::int64_t{from} - sdy));
        const std::int32_t coverTo = onSheet(std::max<std::int64_t>(to, std::int64_t{to} - sdy));
        Image cover(width, coverTo - coverFrom);
        const std::vector<PlacedChar> chars = onRows(p.mainChars, coverFrom, coverTo);
        drawPasses(font, {{&cover, kWhite, &chars}}, p.threads);
        shadeFromCoverage(image, from, cover, coverFrom, {p.glyphColour, p.shadowLayer, s.shadowColour, sdx, sdy},
                          shadowLayer ? &*shadowLayer : nullptr);
        if (glyphLayer) bitBlt(*glyphLayer, 0, coverFrom - from, width, cover.height(), &cover, 0, 0, RasterOp::SrcCopy);
        if (underLayer) bitBlt(*underLayer, sdx, coverFrom + sdy - from, width, cover.height(), &cover, 0, 0, RasterOp::SrcCopy);
    } else {
        const std::vector<PlacedChar> mainChars = onRows(p.mainChars, from, to);
        const std::vector<PlacedChar> shadowChars = onRows(p.shadowChars, from, to);
        std::vector<DrawPass> passes{{&image, p.glyphColour, &mainChars}};
        // The coverage layers: the same glyphs drawn once more, in white on black.
        if (glyphLayer) passes.push_back({&*glyphLayer, kWhite, &mainChars});
        if (underLayer && shadowLayer) passes.push_back({&*underLayer, kWhite, &shadowChars});
        if (shadowLayer) {
            passes.push_back({&*shadowLayer, s.shadowColour, &shadowChars});
            // Cut the characters out, so the shadow shows only beside them.
            passes.push_back({&*shadowLayer, kBlack, &mainChars});
        }
        drawPasses(font, passes, p.threads);
    }

    // Colour glyphs over what is drawn, over black on the sheet and as coverage and colour.
    std::optional<Image> colourLayer;
    if (keep && !p.colourChars.empty()) {
        colourLayer.emplace(width, to - from);
        for (std::int32_t y = 0; y < colourLayer->height(); ++y)
            std::fill_n(colourLayer->row(y), width, toQRgb(p.glyphColour));
    }
    for (const Parts::ColourChar& c : p.colourChars) {
        const QRect at = c.glyph->box(sheet_.ascent).translated(c.x, c.y - from);
        if (at.bottom() >= 0 && at.top() < to - from)
            laySourceOver(c.glyph->image, at.topLeft(), image, glyphLayer ? &*glyphLayer : nullptr,
                          colourLayer ? &*colourLayer : nullptr);
    }

    // Outline hand-off: every glyph is drawn and neither texture nor shadow has reached
    // the sheet yet. The glyphs are replaced with their cleaned form and the ring waits
    // in the surface; an early return below destroys the surface with it. Black glyphs
    // hand off their white layer instead, so the sheet keeps them black.
    PixelSurface outline;
    if (p.outlineOn) {
        // With coverage kept the ring is made white, so that it can be read as a mask
        // even in a black outline colour, and then given its colour.
        const Colour ringColour = keep ? kWhite : s.outlineColour;
        if (p.ringFromLayer) {
            outline = outlineHandOff(*glyphLayer, {kWhite, ringColour, s.outlineRadius});
        } else {
            outline = outlineHandOff(image, {p.glyphColour, ringColour, s.outlineRadius});
            if (keep) markNonBlack(image, *glyphLayer);
        }
        if (keep && outline.hasBitmap()) {
            bitBlt(underLayer->view(), 0, 0, outline.Width, outline.Height, *outline.MemDC, 0, 0, RasterOp::SrcCopy);
            recolourRing(outline, s.outlineColour);
        }
    }

    // The texture is ANDed into every cell of these rows, empty cells included: black
    // stays black, white glyphs take on the texture.
    if (!p.textureCell.isEmpty()) {
        Image& sample = const_cast<Image&>(p.textureCell);  // only read from
        for (std::int64_t y = from / cellHeight * cellHeight; y < to; y += cellHeight) {
            for (std::int32_t c = 0; c < sheet_.columns; ++c) {
                const std::int32_t x = checkedMul(c, s.cellWidth, "a cell's left edge");
                bitBlt(image, x, static_cast<std::int32_t>(y - from), s.cellWidth, s.cellHeight, &sample, 0, 0,
                       RasterOp::SrcAnd);
            }
        }
    }

    if (keep) {
        SheetCoverage& c = band.coverage.emplace();
        c.glyph = rowsOf(*glyphLayer, from, top, bottom);
        c.glyphColour = p.glyphColour;
        // Without its texture an image fill has no ring or shadow.
        if (underLayer && !p.textureMissing) {
            c.under = rowsOf(*underLayer, from, top, bottom);
            c.underColour = (p.outlineOn ? s.outlineColour : s.shadowColour) & 0xFFFFFF;
        }
        c.textureCell = p.textureCell;
        if (colourLayer) c.glyphColours = rowsOf(*colourLayer, from, top, bottom);
    }
    // Without a texture the sheet keeps its white glyphs: no texture, shadow or outline.
    if (!p.textureMissing) {
        if (shadowLayer) bitBlt(image, 0, 0, width, image.height(), &*shadowLayer, 0, 0, RasterOp::SrcPaint);
        // Outline compositing, the very last step: the ring is ORed onto the sheet.
        outlineCompositing(image, outline);
    }
    band.image = rowsOf(image, from, top, bottom);
    return band;
}

Sheet buildSheet(const SheetSettings& s) {
    const SheetBuild build(s);
    Sheet sheet = build.band(0, build.sheet().rows);
    sheet.rows = build.sheet().rows;
    sheet.chars = build.sheet().chars;
    sheet.kerning = build.sheet().kerning;
    return sheet;
}

}  // namespace karuvo
