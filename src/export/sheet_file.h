#pragma once

// Sheet files: a finished sheet, or a region of it, encoded as the bytes of a file.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/file_output.h"
#include "sheet/builder.h"

namespace karuvo {

enum class SheetFileFormat {
    Bmp,  // 24-bit Windows bitmap: the sheet's pixels as they are
    Png,  // PNG with straight alpha: 8-bit RGBA, or a palette with alpha for one colour
};

// The format a file name asks for by its ending, ".bmp" or ".png" in either case;
// nothing for any other name.
std::optional<SheetFileFormat> sheetFileFormat(const QString& path);

// Whether the sheet must be built with its coverage kept to be written in `format`.
inline bool needsCoverage(SheetFileFormat format) { return format == SheetFileFormat::Png; }

// The w x h region at (x, y) of the sheet with straight alpha (Format_ARGB32): the
// background fully transparent; every pixel the colour of what is drawn there and as
// opaque as it is covered: the glyph's coverage in the glyph colour (the texture's
// colour under an image fill), the shadow's coverage or 255 on the ring, and the glyph
// over the shadow or ring where both are. Composited over black it gives the sheet's
// own pixels. Needs the sheet's coverage (Error(InvalidSize) without it) and a region
// inside the sheet with some area (Error(InvalidSize) otherwise).
QImage transparentImage(const Sheet& sheet, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

// The region as a PNG file with straight alpha: 8-bit red, green, blue and alpha, or,
// when glyphs of one colour are all there is, an 8-bit palette of that colour at every
// alpha (the same pixels read back, a quarter of the data). Throws as
// transparentImage, and Error(TooLarge) when the pixels or the file do not fit in memory.
QByteArray encodePng(const Sheet& sheet, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);

// The region as the file at `path` in `format`, for writeFilesAtomically: made while
// the file is written, a bitmap a few rows at a time and a PNG from its compressed
// pieces, so that neither is held whole; `sheet` must outlive the write. Throws as
// encodeSheet (a region outside the sheet, a PNG of a sheet without coverage) here,
// and whatever else when the file is written.
FileContents sheetFileContents(const Sheet& sheet, SheetFileFormat format, const QString& path, std::int32_t x,
                               std::int32_t y, std::int32_t w, std::int32_t h);

// The rows of cells firstRow .. firstRow + rowCount - 1 of a build (clipped to the
// sheet) as the file at `path` in `format`, drawn band by band while the file is
// written, so that the sheet is never held whole; the bytes are those of the built
// sheet's region. `build` must outlive the write. Throws Error(InvalidSize) here for
// rows without area, or a PNG of a build that keeps no coverage.
FileContents sheetFileContents(const SheetBuild& build, SheetFileFormat format, const QString& path,
                               std::int32_t firstRow, std::int32_t rowCount);

// Pixels in a band of a sheet drawn while its file is written: 4 MiB a 32-bit layer.
inline constexpr std::int64_t kBandPixels = 1 << 20;

// The PNG file of encodePng put through `put` as it is made; false when `put` was.
// Throws as encodePng, before anything is put.
bool writePng(const Sheet& sheet, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
              const ByteSink& put);

// The region as a file of `format`.
QByteArray encodeSheet(const Sheet& sheet, SheetFileFormat format, std::int32_t x, std::int32_t y,
                       std::int32_t w, std::int32_t h);

}  // namespace karuvo
