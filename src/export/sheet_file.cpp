#include "sheet_file.h"

#include <QBuffer>
#include <new>
#include <string>

#include "platform/error.h"
#include "platform/image_io.h"

namespace karuvo {
namespace {

void checkRegion(const Sheet& sheet, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0 || x < 0 || y < 0 || x > sheet.width - w || y > sheet.height - h) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "A region of %1 x %2 pixels at %3, %4 is not a part of the sheet with some area to write"),
                    {std::to_string(w), std::to_string(h), std::to_string(x), std::to_string(y)});
    }
}

// One channel of the glyph (colour g, coverage a) over the layer under it (colour u,
// coverage b), with both coverages out of 255: the covered amount times 255 * 255.
inline int overChannel(int g, int a, int u, int b) { return g * a * 255 + u * b * (255 - a); }

}  // namespace

std::optional<SheetFileFormat> sheetFileFormat(const QString& path) {
    if (path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) return SheetFileFormat::Bmp;
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) return SheetFileFormat::Png;
    return std::nullopt;
}

QImage transparentImage(const Sheet& sheet, std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h) {
    checkRegion(sheet, x0, y0, w, h);
    if (!sheet.coverage) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "The sheet was built without its coverage, so it has no transparency to write"), {});
    }
    const SheetCoverage& c = *sheet.coverage;
    QImage out(w, h, QImage::Format_ARGB32);
    if (out.isNull()) {
        throw Error(ErrorKind::TooLarge,
                    QT_TRANSLATE_NOOP("karuvo", "A picture of %1 x %2 pixels with transparency does not fit in memory"),
                    {std::to_string(w), std::to_string(h)});
    }
    const bool under = !c.under.isEmpty();
    const bool textured = !c.textureCell.isEmpty();
    const int ur = redOf(c.underColour), ug = greenOf(c.underColour), ub = blueOf(c.underColour);
    for (std::int32_t y = 0; y < h; ++y) {
        const QRgb* glyph = c.glyph.row(y0 + y) + x0;
        const QRgb* below = under ? c.under.row(y0 + y) + x0 : nullptr;
        const QRgb* tex = textured ? c.textureCell.row((y0 + y) % sheet.cellHeight) : nullptr;
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (std::int32_t x = 0; x < w; ++x) {
            const int a = qRed(glyph[x]);
            const int b = below ? qRed(below[x]) : 0;
            const int covered = a * 255 + b * (255 - a);  // out of 255 * 255
            if (covered == 0) {
                line[x] = 0;
                continue;
            }
            const Colour g = tex ? fromQRgb(tex[(x0 + x) % sheet.cellWidth]) : c.glyphColour;
            const auto channel = [&](int gc, int uc) { return (2 * overChannel(gc, a, uc, b) + covered) / (2 * covered); };
            line[x] = qRgba(channel(redOf(g), ur), channel(greenOf(g), ug), channel(blueOf(g), ub),
                            (2 * covered + 255) / (2 * 255));
        }
    }
    return out;
}

QByteArray encodePng(const Sheet& sheet, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    const QImage image = transparentImage(sheet, x, y, w, h);
    QByteArray bytes;
    try {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            throw Error(ErrorKind::TooLarge, QT_TRANSLATE_NOOP("karuvo", "A PNG file of %1 x %2 pixels could not be made"),
                        {std::to_string(w), std::to_string(h)});
        }
    } catch (const std::bad_alloc&) {
        throw Error(ErrorKind::TooLarge, QT_TRANSLATE_NOOP("karuvo", "A PNG file of %1 x %2 pixels does not fit in memory"),
                    {std::to_string(w), std::to_string(h)});
    }
    return bytes;
}

QByteArray encodeSheet(const Sheet& sheet, SheetFileFormat format, std::int32_t x, std::int32_t y,
                       std::int32_t w, std::int32_t h) {
    if (format == SheetFileFormat::Png) return encodePng(sheet, x, y, w, h);
    checkRegion(sheet, x, y, w, h);
    if (x == 0 && y == 0) return encodeBmp24(sheet.image, w, h);
    return encodeBmp24(Image::fromQImage(sheet.image.qimage().copy(x, y, w, h)), w, h);
}

}  // namespace karuvo
