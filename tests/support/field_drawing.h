#pragma once

#include <QImage>
#include <QPainter>
#include <cmath>

#include "field/multi_channel_field.h"
#include "sheet/settings.h"
#include "support/fixtures.h"

namespace karuvo::fakes {

// How far, in sheet pixels, a glyph drawn from its field `scale` times larger strays from
// a plain unhinted drawing at that size. The field (32 px type, range 4, pen at (8, 36)
// of a 48 px cell) is sampled as a GPU samples (bilinear between pixel centres, edges
// clamped), its median (its grey for Sdf) held at one half; each pixel that disagrees with
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
    const auto texel = [&](double u, double v, int shift) {
        const int x = std::clamp(static_cast<int>(u), 0, kCell - 1), y = std::clamp(static_cast<int>(v), 0, kCell - 1);
        return (field[static_cast<std::size_t>(y * kCell + x)] >> shift & 0xFF) / 255.0;
    };
    double worst = 0;
    for (int y = 0; y < big; ++y) {
        for (int x = 0; x < big; ++x) {
            const double u = (x + 0.5) / scale - 0.5, v = (y + 0.5) / scale - 0.5, u0 = std::floor(u), v0 = std::floor(v);
            const double fu = u - u0, fv = v - v0;
            double c[3];
            for (int k = 0; k < 3; ++k) {
                c[k] = (1 - fv) * ((1 - fu) * texel(u0, v0, 8 * k) + fu * texel(u0 + 1, v0, 8 * k)) +
                       fv * ((1 - fu) * texel(u0, v0 + 1, 8 * k) + fu * texel(u0 + 1, v0 + 1, 8 * k));
            }
            const bool in = std::max(std::min(c[0], c[1]), std::min(std::max(c[0], c[1]), c[2])) > 0.5;
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

}  // namespace karuvo::fakes
