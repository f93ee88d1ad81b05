#include "multi_channel_cells.h"

#include <algorithm>
#include <memory>

#include "field/multi_channel_field.h"
#include "platform/parallel.h"

namespace karuvo {

void drawMultiChannelFields(const Font& font, std::span<const FieldChar> chars, FieldType type, std::int32_t range,
                            Image& layer, std::int32_t top, int threads) {
    if (chars.empty() || layer.isEmpty()) return;
    threads = std::clamp(threads, 1, static_cast<int>(std::min<std::size_t>(chars.size(), kMaxParallel)));
    // A font object is used by one thread only; the copies are made before any starts.
    std::vector<std::unique_ptr<Font>> copies;
    for (int t = 1; t < threads; ++t) copies.push_back(font.copy());
    const ImageView pixels = layer.view();  // taken before the threads: view() may detach
    const QRect bounds(0, top, layer.width(), layer.height());
    const std::int32_t ascent = font.ascent();
    runParallel(threads, [&](int t) {
        const Font& own = t == 0 ? font : *copies[static_cast<std::size_t>(t - 1)];
        for (std::size_t i = static_cast<std::size_t>(t); i < chars.size(); i += static_cast<std::size_t>(threads)) {
            const FieldChar& c = chars[i];
            if (!c.cell.intersects(bounds)) continue;
            // Measured from the corner of the part of the cell that the field reaches.
            const std::vector<FieldSegment> outline = glyphSegments(
                own, c.at.codePoint, QPointF(c.at.x - c.cell.x(), std::int64_t{c.at.y} + ascent - c.cell.y()));
            if (outline.empty()) continue;
            QRectF box(QPointF(outline[0].x0, outline[0].y0), QSizeF());
            for (const FieldSegment& s : outline) box |= QRectF(QPointF(s.x0, s.y0), QPointF(s.x1, s.y1)).normalized();
            const double margin = range / 2.0 + 1;
            const QRect part = box.adjusted(-margin, -margin, margin, margin).toAlignedRect() & QRect(QPoint(), c.cell.size()) &
                               bounds.translated(-c.cell.topLeft());
            if (part.isEmpty()) continue;
            std::vector<FieldSegment> segments;
            for (const FieldSegment& s : outline) {
                const auto x = static_cast<float>(part.x()), y = static_cast<float>(part.y());
                segments.push_back({s.x0 - x, s.y0 - y, s.x1 - x, s.y1 - y});
            }
            const std::vector<QRgb> field = multiChannelField(segments, range, part.width(), part.height());
            const std::vector<std::uint8_t> alpha =
                type == FieldType::Mtsdf ? distanceField(segments, range, part.width(), part.height()) : std::vector<std::uint8_t>();
            for (std::int32_t y = 0; y < part.height(); ++y) {
                const std::size_t from = static_cast<std::size_t>(y) * static_cast<std::size_t>(part.width());
                QRgb* to = pixels.row(c.cell.y() + part.y() + y - top) + c.cell.x() + part.x();
                for (std::int32_t x = 0; x < part.width(); ++x) {
                    const std::size_t k = from + static_cast<std::size_t>(x);
                    to[x] = alpha.empty() ? field[k] : (field[k] & 0xFFFFFFu) | QRgb{alpha[k]} << 24;
                }
            }
        }
    });
}

}  // namespace karuvo
