#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "field/multi_channel_field.h"
#include "sheet/settings.h"
#include "support/fixtures.h"

namespace karuvo::fakes {

// Which pixels of a `cell` x `cell` field drawn `scale` times larger lie inside, row by
// row: the field sampled as a GPU samples (bilinear between pixel centres, edges clamped),
// its median held at one half.
inline std::vector<char> drawnInside(const std::vector<QRgb>& field, int cell, int scale) {
    const int big = cell * scale;
    const auto texel = [&](double u, double v, int shift) {
        const int x = std::clamp(static_cast<int>(u), 0, cell - 1), y = std::clamp(static_cast<int>(v), 0, cell - 1);
        return (field[static_cast<std::size_t>(y * cell + x)] >> shift & 0xFF) / 255.0;
    };
    std::vector<char> in(static_cast<std::size_t>(big * big));
    for (int y = 0; y < big; ++y) {
        for (int x = 0; x < big; ++x) {
            const double u = (x + 0.5) / scale - 0.5, v = (y + 0.5) / scale - 0.5, u0 = std::floor(u), v0 = std::floor(v);
            const double fu = u - u0, fv = v - v0;
            double c[3];
            for (int k = 0; k < 3; ++k) {
                c[k] = (1 - fv) * ((1 - fu) * texel(u0, v0, 8 * k) + fu * texel(u0 + 1, v0, 8 * k)) +
                       fv * ((1 - fu) * texel(u0, v0 + 1, 8 * k) + fu * texel(u0 + 1, v0 + 1, 8 * k));
            }
            in[static_cast<std::size_t>(y * big + x)] = std::max(std::min(c[0], c[1]), std::min(std::max(c[0], c[1]), c[2])) > 0.5;
        }
    }
    return in;
}

// How far, in sheet pixels, a glyph drawn from its field `scale` times larger strays from
// a plain unhinted drawing at that size. The field (32 px type, range 4, pen at (8, 36)
// of a 48 px cell) is drawn as above (its grey for Sdf); each pixel that disagrees with
// the plain drawing about inside counts as far as the nearest pixel of the other kind
// there, less half a pixel.
inline double fieldMiss(const QString& family, char32_t codePoint, FieldType type, int scale) {  // Sdf or Msdf
    constexpr int kPixels = 32, kRange = 4, kCell = 48;
    const QPointF pen(8, 36);
    const std::vector<FieldSegment> segments = glyphSegments(*Font::create(faceDescription(family, kPixels)), codePoint, pen);
    std::vector<QRgb> field = multiChannelField(segments, kRange, kCell, kCell);
    if (type == FieldType::Sdf) {
        const std::vector<std::uint8_t> grey = distanceField(segments, kRange, kCell, kCell);
        for (std::size_t i = 0; i < grey.size(); ++i) field[i] = 0x010101u * grey[i];
    }
    const int big = kCell * scale;
    QImage plain(big, big, QImage::Format_Grayscale8);
    plain.fill(0);
    QFont face = plainFace(family, kPixels * scale);
    face.setHintingPreference(QFont::PreferNoHinting);
    QPainter painter(&plain);
    painter.setFont(face);
    painter.setPen(Qt::white);
    painter.drawText(pen * scale, QString::fromUcs4(&codePoint, 1));
    painter.end();
    const auto ref = [&](int x, int y) { return plain.constScanLine(y)[x] > 127; };
    const std::vector<char> drawn = drawnInside(field, kCell, scale);
    double worst = 0;
    for (int y = 0; y < big; ++y) {
        for (int x = 0; x < big; ++x) {
            const bool in = drawn[static_cast<std::size_t>(y * big + x)];
            if (in == ref(x, y)) continue;
            double nearest = 1e9;
            for (int k = 1; k < big && nearest > k; ++k) {
                for (int j = -k; j <= k; ++j) {
                    for (const auto& [px, py] : {std::pair{x + j, y - k}, {x + j, y + k}, {x - k, y + j}, {x + k, y + j}}) {
                        if (px >= 0 && py >= 0 && px < big && py < big && ref(px, py) != ref(x, y))
                            nearest = std::min(nearest, std::hypot(px - x, py - y));
                    }
                }
            }
            worst = std::max(worst, nearest - 0.5);
        }
    }
    return worst / scale;
}

// The shape that segments fill by non-zero winding, by Qt: each segment with the strip
// above it to far above the cell, so that no contour needs closing.
inline QPainterPath filledBy(const std::vector<FieldSegment>& segments) {
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    for (const FieldSegment& s : segments) shape.addPolygon(QPolygonF{{s.x0, s.y0}, {s.x1, s.y1}, {s.x1, -100}, {s.x0, -100}});
    return shape;
}

// Where a `cell` x `cell` field drawn `scale` times larger (as drawnInside draws it) strays
// farthest from the segments it was made from: of its pixels on the other side from Qt's
// fill of the segments there (unsmoothed, at the pixel's centre), the one farthest from
// the nearest segment, in sheet pixels; `at` is that pixel's centre, `ink` whether it lies
// inside the outline.
struct Stray {
    double distance = 0;
    QPointF at;
    bool ink = false;
};
inline Stray outlineMiss(const std::vector<FieldSegment>& segments, const std::vector<QRgb>& field, int cell, int scale) {
    const int big = cell * scale;
    QImage filled(big, big, QImage::Format_Grayscale8);
    filled.fill(0);
    QPainter painter(&filled);
    painter.scale(scale, scale);
    painter.fillPath(filledBy(segments), Qt::white);
    painter.end();
    const std::vector<char> drawn = drawnInside(field, cell, scale);
    Stray worst;
    for (int i = 0; i < big * big; ++i) {
        const bool ink = filled.constScanLine(i / big)[i % big] != 0;
        if (ink == (drawn[static_cast<std::size_t>(i)] != 0)) continue;
        const QPointF p((i % big + 0.5) / scale, (i / big + 0.5) / scale);
        double nearest = 1e9;
        for (const FieldSegment& s : segments) {
            const QPointF a(s.x0, s.y0), d = QPointF(s.x1, s.y1) - a;
            const QPointF q = a + std::clamp(QPointF::dotProduct(p - a, d) / QPointF::dotProduct(d, d), 0.0, 1.0) * d;
            nearest = std::min(nearest, std::hypot(p.x() - q.x(), p.y() - q.y()));
        }
        if (nearest > worst.distance) worst = {nearest, p, ink};
    }
    return worst;
}

}  // namespace karuvo::fakes
