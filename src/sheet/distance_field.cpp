#include "distance_field.h"

#include <QGlyphRun>
#include <QPainterPath>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/parallel.h"

namespace karuvo {
namespace {

// Appends the straight pieces of `path`, moved by `offset`, closing every contour.
void flatten(const QPainterPath& path, QPointF offset, std::vector<FieldSegment>& out) {
    QPointF start, last;
    const auto lineTo = [&](QPointF p) {
        if (p != last) {
            out.push_back({static_cast<float>(last.x()), static_cast<float>(last.y()), static_cast<float>(p.x()),
                           static_cast<float>(p.y())});
        }
        last = p;
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = QPointF(e.x, e.y) + offset;
        if (e.isMoveTo()) {
            lineTo(start);
            start = last = p;
        } else if (e.isLineTo()) {
            lineTo(p);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPointF c1 = p;
            const QPointF c2 = QPointF(path.elementAt(i + 1).x, path.elementAt(i + 1).y) + offset;
            const QPointF end = QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y) + offset;
            i += 2;
            // Equal steps in t stray at most |B''| / (8 n^2), and |B''| is at most six
            // times the larger second difference of the control points.
            const QPointF a = last - 2 * c1 + c2, b = c1 - 2 * c2 + end;
            const double bend = 6 * std::max(std::hypot(a.x(), a.y()), std::hypot(b.x(), b.y()));
            const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(bend / (8 * kFieldFlatness)))), 1, 256);
            const QPointF from = last;
            for (int k = 1; k < n; ++k) {
                const double t = double(k) / n, u = 1 - t;
                lineTo(u * u * u * from + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * end);
            }
            lineTo(end);
        }
    }
    lineTo(start);
}

}  // namespace

std::vector<FieldSegment> glyphSegments(const Font& font, char32_t codePoint, QPointF pen) {
    std::vector<FieldSegment> segments;
    if (const std::optional<quint32> glyph = font.loneGlyph(codePoint)) {
        flatten(font.ownFace().pathForGlyph(*glyph), pen, segments);
        return segments;
    }
    // Laid out as drawText lays it out, so that the face and the glyphs' places are the
    // ones drawn: the layout puts the baseline at its line's ascent.
    QTextLayout layout(codePointText(codePoint), font.qfont());
    QTextOption option;
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) return segments;
    const QPointF baseline(line.x(), line.y() + line.ascent());
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QRawFont face = run.rawFont();
        if (!face.isValid() || face.pixelSize() <= 0) continue;
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        // Glyph 0 too: the face's missing-glyph box, drawn for a character no face has.
        for (qsizetype i = 0; i < std::min(glyphs.size(), positions.size()); ++i)
            flatten(face.pathForGlyph(glyphs[i]), positions[i] - baseline + pen, segments);
    }
    return segments;
}

std::vector<std::uint8_t> distanceField(std::span<const FieldSegment> segments, std::int32_t range,
                                        std::int32_t width, std::int32_t height) {
    const std::size_t w = static_cast<std::size_t>(std::max(width, 0));
    const std::size_t h = static_cast<std::size_t>(std::max(height, 0));
    std::vector<std::uint8_t> alpha(w * h, 0);
    if (alpha.empty() || segments.empty()) return alpha;
    // Beyond half the range a pixel is 0 or 255 whatever its distance, so each segment
    // only measures the pixels whose centres lie within that of its bounding box.
    const float reach = 0.5f * static_cast<float>(range);
    const float far2 = reach * reach;
    std::vector<float> best(w * h, far2);
    for (const FieldSegment& s : segments) {
        const float dx = s.x1 - s.x0, dy = s.y1 - s.y0;
        const float len2 = dx * dx + dy * dy;
        const float inv = len2 > 0 ? 1.0f / len2 : 0.0f;
        const auto first = [&](float low) { return std::max<std::int64_t>(0, std::llround(std::ceil(low - reach - 0.5f))); };
        const auto last = [&](float high, std::size_t size) {
            return std::min<std::int64_t>(static_cast<std::int64_t>(size) - 1, std::llround(std::floor(high + reach - 0.5f)));
        };
        const std::int64_t xa = first(std::min(s.x0, s.x1)), xb = last(std::max(s.x0, s.x1), w);
        const std::int64_t ya = first(std::min(s.y0, s.y1)), yb = last(std::max(s.y0, s.y1), h);
        for (std::int64_t y = ya; y <= yb; ++y) {
            float* row = best.data() + static_cast<std::size_t>(y) * w;
            const float py = static_cast<float>(y) + 0.5f - s.y0;
            for (std::int64_t x = xa; x <= xb; ++x) {
                const float px = static_cast<float>(x) + 0.5f - s.x0;
                const float t = std::clamp((px * dx + py * dy) * inv, 0.0f, 1.0f);
                const float ex = px - t * dx, ey = py - t * dy;
                row[x] = std::min(row[x], ex * ex + ey * ey);
            }
        }
    }
    // The sign: each row's centre line crosses the contours at known x, each crossing
    // turning the winding number by one; a pixel is inside where it is not zero.
    struct Crossing {
        float x;
        int turn;
    };
    std::vector<Crossing> crossings;
    const float scale = 255.0f / static_cast<float>(range);
    for (std::size_t y = 0; y < h; ++y) {
        const float cy = static_cast<float>(y) + 0.5f;
        crossings.clear();
        for (const FieldSegment& s : segments) {
            const bool up = s.y0 <= cy && cy < s.y1, down = s.y1 <= cy && cy < s.y0;
            if (!up && !down) continue;
            crossings.push_back({s.x0 + (cy - s.y0) * (s.x1 - s.x0) / (s.y1 - s.y0), up ? 1 : -1});
        }
        std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        const float* dist = best.data() + y * w;
        std::uint8_t* out = alpha.data() + y * w;
        std::size_t next = 0;
        int winding = 0;
        for (std::size_t x = 0; x < w; ++x) {
            const float cx = static_cast<float>(x) + 0.5f;
            while (next < crossings.size() && crossings[next].x < cx) winding += crossings[next++].turn;
            const bool inside = winding != 0;
            if (dist[x] >= far2) {
                out[x] = inside ? 255 : 0;
                continue;
            }
            const float d = std::sqrt(dist[x]);
            const float level = std::clamp(127.5f + (inside ? d : -d) * scale, 0.0f, 255.0f);
            out[x] = static_cast<std::uint8_t>(std::lround(level));
        }
    }
    return alpha;
}

namespace {

// The edges of a frame one pixel wide over the pixels of `box`: the outer contour one
// way round and the inner one the other, so that only the frame winds non-zero.
std::vector<FieldSegment> frameSegments(const QRectF& box) {
    std::vector<FieldSegment> segments;
    const auto contour = [&](QRectF r, bool clockwise) {
        const QPointF p[4] = {r.topLeft(), clockwise ? r.topRight() : r.bottomLeft(), r.bottomRight(),
                              clockwise ? r.bottomLeft() : r.topRight()};
        for (int i = 0; i < 4; ++i)
            segments.push_back({float(p[i].x()), float(p[i].y()), float(p[(i + 1) % 4].x()), float(p[(i + 1) % 4].y())});
    };
    contour(box, true);
    if (box.width() > 2 && box.height() > 2) contour(box.adjusted(1, 1, -1, -1), false);
    return segments;
}

}  // namespace

void drawFields(const Font& font, std::span<const FieldChar> chars, std::int32_t range, Image& layer,
                std::int32_t top, int threads) {
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
            // Measured from the cell's corner, so that floats keep their precision on any sheet.
            std::vector<FieldSegment> segments = glyphSegments(
                own, c.at.codePoint, QPointF(c.at.x - c.cell.x(), std::int64_t{c.at.y} + ascent - c.cell.y()));
            if (segments.empty() && !c.missingBox.isEmpty())
                segments = frameSegments(QRectF(c.missingBox.translated(c.at.x - c.cell.x(), c.at.y - c.cell.y())));
            if (segments.empty()) continue;
            // Pixels beyond half the range of the outline's box are 0: only the rest is measured.
            QRectF box(QPointF(segments[0].x0, segments[0].y0), QSizeF());
            for (const FieldSegment& s : segments) box |= QRectF(QPointF(s.x0, s.y0), QPointF(s.x1, s.y1)).normalized();
            const double margin = range / 2.0 + 1;
            const QRect near = box.adjusted(-margin, -margin, margin, margin).toAlignedRect();
            const QRect part = (near & QRect(QPoint(), c.cell.size()) & bounds.translated(-c.cell.topLeft()));
            if (part.isEmpty()) continue;
            for (FieldSegment& s : segments) {
                s = {s.x0 - static_cast<float>(part.x()), s.y0 - static_cast<float>(part.y()),
                     s.x1 - static_cast<float>(part.x()), s.y1 - static_cast<float>(part.y())};
            }
            const std::vector<std::uint8_t> field = distanceField(segments, range, part.width(), part.height());
            for (std::int32_t y = 0; y < part.height(); ++y) {
                const std::uint8_t* from = field.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(part.width());
                QRgb* to = pixels.row(c.cell.y() + part.y() + y - top) + c.cell.x() + part.x();
                for (std::int32_t x = 0; x < part.width(); ++x) to[x] = 0xFF000000u | 0x010101u * from[x];
            }
        }
    });
}

}  // namespace karuvo
