#include "multi_channel_field.h"

#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

namespace karuvo {
namespace {

// A closed contour by its corners in order; the last joins the first.
using Contour = std::vector<QPointF>;

// Where a contour turns by more than this, in radians, it has a corner. A curve
// flattened to 1/32 pixel turns far less from one piece to the next, but for the
// tightest curves of small type.
constexpr double kCornerTurn = 0.6;

// The two-channel colours that follow each other around a contour's corners: any two
// share exactly one channel.
constexpr std::uint8_t kCyan = kGreenChannel | kBlueChannel, kMagenta = kRedChannel | kBlueChannel,
                         kYellow = kRedChannel | kGreenChannel;

std::vector<Contour> contoursOf(std::span<const FieldSegment> segments) {
    std::vector<Contour> contours;
    bool open = false;
    for (const FieldSegment& s : segments) {
        const QPointF a(s.x0, s.y0), b(s.x1, s.y1);
        if (!open || contours.back().back() != a) contours.push_back({a}), open = true;
        if (b == contours.back().front()) {
            open = false;
        } else {
            contours.back().push_back(b);
        }
    }
    std::erase_if(contours, [](const Contour& c) { return c.size() < 3; });
    return contours;
}

double cross(QPointF a, QPointF b) { return a.x() * b.y() - a.y() * b.x(); }

// The places after and before i round a contour of n (without dividing, which is slow).
std::size_t after(std::size_t i, std::size_t n) { return i + 1 == n ? 0 : i + 1; }
std::size_t before(std::size_t i, std::size_t n) { return i == 0 ? n - 1 : i - 1; }

// Whether the closed segments ab and cd have a point in common.
bool touch(QPointF a, QPointF b, QPointF c, QPointF d) {
    const double d1 = cross(d - c, a - c), d2 = cross(d - c, b - c), d3 = cross(b - a, c - a), d4 = cross(b - a, d - a);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
    const auto within = [](QPointF p, QPointF q, QPointF r) {
        return std::min(p.x(), q.x()) <= r.x() && r.x() <= std::max(p.x(), q.x()) && std::min(p.y(), q.y()) <= r.y() &&
               r.y() <= std::max(p.y(), q.y());
    };
    return (d1 == 0 && within(c, d, a)) || (d2 == 0 && within(c, d, b)) || (d3 == 0 && within(a, b, c)) ||
           (d4 == 0 && within(a, b, d));
}

// Whether two contours meet, or one meets itself anywhere but where its neighbouring
// segments join: then the fill is not simply the contours' insides.
bool contoursMeet(const std::vector<Contour>& contours) {
    struct Piece {
        QPointF a, b;
        double left, right;
        std::size_t contour, index;
    };
    std::vector<Piece> pieces;
    for (std::size_t c = 0; c < contours.size(); ++c) {
        const Contour& k = contours[c];
        for (std::size_t i = 0; i < k.size(); ++i) {
            const QPointF a = k[i], b = k[after(i, k.size())];
            pieces.push_back({a, b, std::min(a.x(), b.x()), std::max(a.x(), b.x()), c, i});
        }
    }
    std::sort(pieces.begin(), pieces.end(), [](const Piece& p, const Piece& q) { return p.left < q.left; });
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        for (std::size_t j = i + 1; j < pieces.size() && pieces[j].left <= p.right; ++j) {
            const Piece& q = pieces[j];
            if (std::max(p.a.y(), p.b.y()) < std::min(q.a.y(), q.b.y()) ||
                std::max(q.a.y(), q.b.y()) < std::min(p.a.y(), p.b.y()))
                continue;
            if (p.contour == q.contour) {
                const std::size_t n = contours[p.contour].size(), gap = (q.index + n - p.index) % n;
                if (gap == 1 || gap == n - 1) continue;
            }
            if (touch(p.a, p.b, q.a, q.b)) return true;
        }
    }
    return false;
}

// The contours of the shape the contours fill with non-zero winding, by Qt's union.
std::vector<Contour> unionOf(const std::vector<Contour>& contours) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const Contour& c : contours) {
        path.addPolygon(QPolygonF(QList<QPointF>(c.begin(), c.end())));
        path.closeSubpath();
    }
    const QPainterPath simple = path.simplified();
    std::vector<Contour> out;
    for (int i = 0; i < simple.elementCount(); ++i) {
        const QPainterPath::Element e = simple.elementAt(i);
        if (e.isMoveTo() || out.empty()) out.emplace_back();
        if (out.back().empty() || out.back().back() != QPointF(e)) out.back().push_back(e);
    }
    for (Contour& c : out) {
        while (c.size() > 1 && c.back() == c.front()) c.pop_back();
    }
    std::erase_if(out, [](const Contour& c) { return c.size() < 3; });
    return out;
}

// How many times the contours wind around p.
int windingAt(const std::vector<Contour>& contours, QPointF p) {
    int winding = 0;
    for (const Contour& k : contours) {
        for (std::size_t i = 0, j = k.size() - 1; i < k.size(); j = i++) {
            const QPointF b = k[i], a = k[j];
            const bool up = a.y() <= p.y() && p.y() < b.y(), down = b.y() <= p.y() && p.y() < a.y();
            if ((up || down) && a.x() + (p.y() - a.y()) * (b.x() - a.x()) / (b.y() - a.y()) > p.x()) winding += up ? 1 : -1;
        }
    }
    return winding;
}

// Keeps the contours that part the filled from the empty, each turned to have the filled
// side on its right; `oddEven` says how the winding fills.
std::vector<Contour> boundaries(std::vector<Contour> contours, bool oddEven) {
    const auto filled = [&](QPointF p) {
        const int w = windingAt(contours, p);
        return oddEven ? (w & 1) != 0 : w != 0;
    };
    std::vector<int> turn(contours.size(), 0);  // keep as it is (1), reversed (-1) or not at all (0)
    for (std::size_t k = 0; k < contours.size(); ++k) {
        const Contour& c = contours[k];
        std::size_t longest = 0;
        double most = -1;
        for (std::size_t i = 0; i < c.size(); ++i) {
            const QPointF d = c[after(i, c.size())] - c[i];
            if (const double len = std::hypot(d.x(), d.y()); len > most) most = len, longest = i;
        }
        const QPointF d = c[(longest + 1) % c.size()] - c[longest];
        const QPointF mid = c[longest] + d / 2, side = QPointF(-d.y(), d.x()) * (std::min(1e-3, most / 4) / most);
        const bool right = filled(mid + side), left = filled(mid - side);
        turn[k] = right == left ? 0 : right ? 1 : -1;
    }
    std::vector<Contour> kept;
    for (std::size_t k = 0; k < contours.size(); ++k) {
        if (turn[k] < 0) std::reverse(contours[k].begin(), contours[k].end());
        if (turn[k] != 0) kept.push_back(std::move(contours[k]));
    }
    return kept;
}

// Colours a contour's segments (segment i runs from corner i to i + 1) by its corners.
std::vector<std::uint8_t> colours(const Contour& c) {
    const std::size_t n = c.size();
    std::vector<std::size_t> corners;
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF in = c[i] - c[before(i, n)], out = c[after(i, n)] - c[i];
        if (std::abs(std::atan2(cross(in, out), QPointF::dotProduct(in, out))) > kCornerTurn) corners.push_back(i);
    }
    std::vector<std::uint8_t> colour(n, kAllChannels);
    if (corners.empty()) return colour;
    if (corners.size() == 1) {
        // A teardrop: the contour from its one corner round to it again in thirds, the
        // first and last sharing one channel at the corner.
        std::vector<double> along(n + 1, 0);
        for (std::size_t k = 0; k < n; ++k) {
            const QPointF d = c[(corners[0] + k + 1) % n] - c[(corners[0] + k) % n];
            along[k + 1] = along[k] + std::hypot(d.x(), d.y());
        }
        for (std::size_t k = 0; k < n; ++k) {
            const double middle = (along[k] + along[k + 1]) / 2;
            colour[(corners[0] + k) % n] = middle < along[n] / 3 ? kMagenta : middle < 2 * along[n] / 3 ? kAllChannels : kYellow;
        }
        return colour;
    }
    // Edge e runs from corners[e] to corners[e + 1]; the last meets the first again.
    const std::size_t edges = corners.size();
    for (std::size_t e = 0; e < edges; ++e) {
        const std::uint8_t paint = e + 1 == edges && edges % 2 == 1 ? kYellow : e % 2 == 0 ? kCyan : kMagenta;
        for (std::size_t i = corners[e]; i != corners[after(e, edges)]; i = after(i, n)) colour[i] = paint;
    }
    return colour;
}

// Whether the closed segments ab and cd come nearer each other than `within`.
bool closerThan(QPointF a, QPointF b, QPointF c, QPointF d, double within) {
    const auto toSegment = [](QPointF p, QPointF q, QPointF r) {
        const QPointF d = r - q;
        const double len2 = QPointF::dotProduct(d, d);
        const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - q, d) / len2, 0.0, 1.0) : 0;
        const QPointF e = p - q - t * d;
        return QPointF::dotProduct(e, e);
    };
    const double w2 = within * within;
    return toSegment(a, c, d) < w2 || toSegment(b, c, d) < w2 || toSegment(c, a, b) < w2 || toSegment(d, a, b) < w2 ||
           touch(a, b, c, d);
}

// A box, left, top, right and bottom, grown by a margin.
struct Box {
    double left = std::numeric_limits<double>::max(), top = left, right = -left, bottom = -left;
    void add(QPointF p, double margin) {
        left = std::min(left, p.x() - margin), right = std::max(right, p.x() + margin);
        top = std::min(top, p.y() - margin), bottom = std::max(bottom, p.y() + margin);
    }
    bool meets(const Box& o) const { return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom; }
};

// Edges nearer than this to each other, in pixels, are drawn apart only where they differ
// in colour: two edges of one colour across a gap or a stroke thinner than a pixel
// measure it in the same channels, which then cannot tell it from what lies either side.
constexpr double kFacing = 1.0;

// Recolours the edges of contours with two corners or more, one after another, each with
// the colour that differs from the edge before it (and the last from the first) and is
// shared with the fewest edges already coloured within kFacing of it.
void facingApart(const std::vector<Contour>& contours, std::vector<std::vector<std::uint8_t>>& colour) {
    struct Edge {
        std::size_t contour, first, count;  // its segments first .. first + count - 1, round the contour
        Box box;                            // grown by half of kFacing
    };
    std::vector<Edge> edges;
    std::vector<std::size_t> firstEdge;  // each contour's first edge
    for (std::size_t k = 0; k < contours.size(); ++k) {
        const std::vector<std::uint8_t>& c = colour[k];
        const std::size_t n = c.size();
        std::size_t start = 0;
        while (start < n && c[start] == c[before(start, n)]) ++start;
        firstEdge.push_back(edges.size());
        if (start == n || std::find(c.begin(), c.end(), kAllChannels) != c.end()) continue;  // no corners, or a teardrop
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = (start + i) % n;
            if (i == 0 || c[at] != c[before(at, n)]) edges.push_back({k, at, 0, {}});
            ++edges.back().count;
            edges.back().box.add(contours[k][at], kFacing / 2), edges.back().box.add(contours[k][after(at, n)], kFacing / 2);
        }
    }
    const auto near = [&](const Edge& e, const Edge& f) {
        const Contour &ce = contours[e.contour], &cf = contours[f.contour];
        for (std::size_t i = 0, si = e.first; i < e.count; ++i, si = after(si, ce.size())) {
            const QPointF a = ce[si], b = ce[after(si, ce.size())];
            Box around;
            around.add(a, kFacing), around.add(b, kFacing);
            for (std::size_t j = 0, sj = f.first; j < f.count; ++j, sj = after(sj, cf.size())) {
                const QPointF c = cf[sj], d = cf[after(sj, cf.size())];
                Box piece;
                piece.add(c, 0), piece.add(d, 0);
                if (around.meets(piece) && closerThan(a, b, c, d, kFacing)) return true;
            }
        }
        return false;
    };
    // The pairs of edges near each other, found over the edges in order of their left
    // sides, each as (the later edge, the earlier), in order.
    // Whether two edges follow each other round their contour: they differ already.
    const auto alongside = [&](std::size_t p, std::size_t q) {
        const std::size_t c = edges[p].contour, later = std::max(p, q), earlier = std::min(p, q);
        const std::size_t end = c + 1 < firstEdge.size() ? firstEdge[c + 1] : edges.size();
        return edges[q].contour == c && (later == earlier + 1 || (earlier == firstEdge[c] && later + 1 == end));
    };
    std::vector<std::size_t> byLeft(edges.size());
    std::iota(byLeft.begin(), byLeft.end(), 0);
    std::sort(byLeft.begin(), byLeft.end(), [&](std::size_t p, std::size_t q) { return edges[p].box.left < edges[q].box.left; });
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    std::vector<Box> boxes(edges.size());
    for (std::size_t p = 0; p < byLeft.size(); ++p) boxes[p] = edges[byLeft[p]].box;
    for (std::size_t p = 0; p < byLeft.size(); ++p) {
        for (std::size_t q = p + 1; q < byLeft.size() && boxes[q].left <= boxes[p].right; ++q) {
            if (boxes[q].top <= boxes[p].bottom && boxes[p].top <= boxes[q].bottom && !alongside(byLeft[p], byLeft[q]) &&
                near(edges[byLeft[p]], edges[byLeft[q]]))
                pairs.emplace_back(std::max(byLeft[p], byLeft[q]), std::min(byLeft[p], byLeft[q]));
        }
    }
    std::sort(pairs.begin(), pairs.end());
    auto pair = pairs.begin();
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const Edge& e = edges[i];
        const std::size_t first = firstEdge[e.contour];
        const bool last = i + 1 == edges.size() || edges[i + 1].contour != e.contour;
        const auto colourOf = [&](std::size_t j) { return colour[edges[j].contour][edges[j].first]; };
        const auto from = pair;
        while (pair != pairs.end() && pair->first == i) ++pair;
        std::uint8_t best = colour[e.contour][e.first];
        std::ptrdiff_t fewest = std::numeric_limits<std::ptrdiff_t>::max();
        for (const std::uint8_t paint : {best, kCyan, kMagenta, kYellow}) {
            if ((i > first && colourOf(i - 1) == paint) || (last && i > first && colourOf(first) == paint)) continue;
            const auto shared = std::count_if(from, pair, [&](const auto& p) { return colourOf(p.second) == paint; });
            if (shared < fewest) fewest = shared, best = paint;
        }
        for (std::size_t k = 0; k < e.count; ++k) colour[e.contour][(e.first + k) % colour[e.contour].size()] = best;
    }
}

// The median of three.
float median(float a, float b, float c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// Up to three places, from 0 at a to 1 at b, where the median of three channels, each
// running straight from a to b, crosses the level 0; the rest are NaN. It crosses where a
// channel does while the other two lie on either side of it.
std::array<float, 3> medianCrossings(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    std::array<float, 3> crossings;
    crossings.fill(std::numeric_limits<float>::quiet_NaN());
    for (std::size_t c = 0; c < 3; ++c) {
        if ((a[c] > 0) == (b[c] > 0)) continue;
        const float t = a[c] / (a[c] - b[c]);
        const std::size_t p = (c + 1) % 3, q = (c + 2) % 3;
        if ((a[p] + t * (b[p] - a[p]) > 0) != (a[q] + t * (b[q] - a[q]) > 0)) crossings[c] = t;
    }
    return crossings;
}

}  // namespace

std::vector<std::vector<ColouredSegment>> colouredOutline(std::span<const FieldSegment> segments) {
    std::vector<Contour> contours = contoursOf(segments);
    const bool meet = contoursMeet(contours);
    if (meet) contours = unionOf(contours);
    // Qt's union fills odd-even, with its contours turned either way.
    contours = boundaries(std::move(contours), meet);
    std::vector<std::vector<std::uint8_t>> colour;
    for (const Contour& c : contours) colour.push_back(colours(c));
    facingApart(contours, colour);
    std::vector<std::vector<ColouredSegment>> out;
    for (std::size_t n = 0; n < contours.size(); ++n) {
        const Contour& c = contours[n];
        std::vector<ColouredSegment>& k = out.emplace_back();
        for (std::size_t i = 0; i < c.size(); ++i) {
            const QPointF a = c[i], b = c[after(i, c.size())];
            k.push_back({{static_cast<float>(a.x()), static_cast<float>(a.y()), static_cast<float>(b.x()), static_cast<float>(b.y())},
                         colour[n][i]});
        }
    }
    return out;
}

std::vector<QRgb> multiChannelField(std::span<const FieldSegment> segments, std::int32_t range, std::int32_t width,
                                    std::int32_t height) {
    const std::size_t w = static_cast<std::size_t>(std::max(width, 0));
    const std::size_t h = static_cast<std::size_t>(std::max(height, 0));
    std::vector<QRgb> field(w * h, 0xFF000000u);
    if (field.empty()) return field;

    struct Piece {
        FieldSegment s;
        float dx, dy, len2, length;
        std::uint8_t channels;
        bool opens, closes;  // whether its start (end) is its edge's end: there the distance runs on along its line
    };
    std::vector<Piece> pieces;
    for (const std::vector<ColouredSegment>& k : colouredOutline(segments)) {
        for (std::size_t i = 0; i < k.size(); ++i) {
            const ColouredSegment& c = k[i];
            const float dx = c.line.x1 - c.line.x0, dy = c.line.y1 - c.line.y0;
            pieces.push_back({c.line, dx, dy, dx * dx + dy * dy, std::sqrt(dx * dx + dy * dy), c.channels, k[before(i, k.size())].channels != c.channels,
                              k[after(i, k.size())].channels != c.channels});
        }
    }

    // Each piece measures the pixels within reach of it; the nearest piece of each channel
    // wins, and of two at one distance (meeting at a corner), the one the pixel faces more
    // squarely.
    const float reach = 0.5f * static_cast<float>(range) + 0.5f;
    // Each channel's nearest piece (-1, none within reach) and its squared distance, pixel by pixel.
    std::array<std::vector<float>, 3> nearD2;
    std::array<std::vector<std::int32_t>, 3> nearPiece;
    for (int c = 0; c < 3; ++c) nearD2[c].assign(w * h, reach * reach), nearPiece[c].assign(w * h, -1);
    const auto square = [](const Piece& p, float ex, float ey) {
        return std::abs(p.dx * ey - p.dy * ex) / std::sqrt(p.len2 * (ex * ex + ey * ey));
    };
    const auto offset = [&](const Piece& p, float cx, float cy, float& ex, float& ey) {
        const float along = (cx - p.s.x0) * p.dx + (cy - p.s.y0) * p.dy;
        // The ends measured straight from the corner, so that two pieces meeting there tie exactly.
        if (along <= 0) {
            ex = cx - p.s.x0, ey = cy - p.s.y0;
        } else if (along >= p.len2) {
            ex = cx - p.s.x1, ey = cy - p.s.y1;
        } else {
            const float t = along / p.len2;
            ex = cx - p.s.x0 - t * p.dx, ey = cy - p.s.y0 - t * p.dy;
        }
    };
    std::vector<float> rowD2(w);  // a piece's squared distances along one row
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        if (p.len2 <= 0) continue;
        const auto first = [&](float low) { return std::max<std::int64_t>(0, std::llround(std::ceil(low - reach - 0.5f))); };
        const auto last = [&](float high, std::size_t size) {
            return std::min<std::int64_t>(static_cast<std::int64_t>(size) - 1, std::llround(std::floor(high + reach - 0.5f)));
        };
        const auto xa = static_cast<std::int32_t>(first(std::min(p.s.x0, p.s.x1)));
        const auto xb = static_cast<std::int32_t>(last(std::max(p.s.x0, p.s.x1), w));
        const std::int64_t ya = first(std::min(p.s.y0, p.s.y1)), yb = last(std::max(p.s.y0, p.s.y1), h);
        for (std::int64_t y = ya; y <= yb; ++y) {
            const float cy = static_cast<float>(y) + 0.5f, ay = cy - p.s.y0, by = cy - p.s.y1;
            // The distances first, as offset() finds them but with every value worked out
            // and then chosen, so that they are worked out several at a time.
            const float x0 = p.s.x0, x1 = p.s.x1, dx = p.dx, dy = p.dy, len2 = p.len2, ayDy = ay * dy;
            float* out = rowD2.data();
            for (std::int32_t x = xa; x <= xb; ++x) {
                const float cx = static_cast<float>(x) + 0.5f, ax = cx - x0, bx = cx - x1;
                const float along = ax * dx + ayDy, t = along / len2, mx = ax - t * dx, my = ay - t * dy;
                const bool before = along <= 0, beyond = along >= len2;
                const float ex = before ? ax : beyond ? bx : mx, ey = before ? ay : beyond ? by : my;
                out[x - xa] = ex * ex + ey * ey;
            }
            // Then each channel of the piece's takes it where it is nearer, again several
            // at a time; a tie is rare, and settled as above.
            const auto piece = static_cast<std::int32_t>(i);
            for (int c = 0; c < 3; ++c) {
                if (!(p.channels & (1 << c))) continue;
                float* d2 = nearD2[c].data() + static_cast<std::size_t>(y) * w;
                std::int32_t* holder = nearPiece[c].data() + static_cast<std::size_t>(y) * w;
                std::int32_t tie = 0;
                for (std::int32_t x = xa; x <= xb; ++x) {
                    // As masks of all ones or none, which the compiler takes several at a time.
                    const float d = out[x - xa], was = d2[x];
                    const std::int32_t nearer = -static_cast<std::int32_t>(d < was);
                    tie |= -static_cast<std::int32_t>(d == was);
                    d2[x] = nearer ? d : was;
                    holder[x] = (piece & nearer) | (holder[x] & ~nearer);
                }
                if (tie == 0) continue;
                for (std::int32_t x = xa; x <= xb; ++x) {
                    if (out[x - xa] != d2[x] || holder[x] == piece) continue;
                    if (holder[x] >= 0) {
                        const float cx = static_cast<float>(x) + 0.5f;
                        float ex, ey, fx, fy;
                        const Piece& q = pieces[static_cast<std::size_t>(holder[x])];
                        offset(p, cx, cy, ex, ey);
                        offset(q, cx, cy, fx, fy);
                        if (d2[x] == 0 || square(p, ex, ey) <= square(q, fx, fy)) continue;
                    }
                    holder[x] = piece;
                }
            }
        }
    }

    // Each row of points at y = y0 + j * step, j < ny, crosses the outline at known x; a
    // point is inside where the crossings to its left wind around it. The rows' crossings
    // in order, each with the winding to its right.
    struct Crossing {
        float x;
        int winding;  // the turn of this crossing, then the winding to its right
        bool operator<(const Crossing& o) const { return x < o.x; }
    };
    struct CrossingRows {
        std::vector<Crossing> all;
        std::vector<std::uint32_t> first;  // row j's crossings are all[first[j]] .. all[first[j + 1] - 1]
    };
    const auto crossingRows = [&](float y0, float step, std::size_t ny) {
        CrossingRows rows{{}, std::vector<std::uint32_t>(ny + 1, 0)};
        // Counted into their rows first, then placed, then each row sorted on its own.
        const auto eachCrossing = [&](const auto& f) {
            for (const Piece& p : pieces) {
                const float low = std::min(p.s.y0, p.s.y1), high = std::max(p.s.y0, p.s.y1);
                const auto first = static_cast<std::size_t>(std::clamp(std::ceil((low - y0) / step), 0.0f, static_cast<float>(ny)));
                for (std::size_t j = first; j < ny; ++j) {
                    const float cy = y0 + static_cast<float>(j) * step;
                    if (cy >= high) break;
                    if (cy >= low) f(j, p, cy);
                }
            }
        };
        eachCrossing([&](std::size_t j, const Piece&, float) { ++rows.first[j + 1]; });
        std::partial_sum(rows.first.begin(), rows.first.end(), rows.first.begin());
        rows.all.resize(rows.first.back());
        std::vector<std::uint32_t> next(rows.first.begin(), rows.first.end() - 1);
        eachCrossing([&](std::size_t j, const Piece& p, float cy) {
            rows.all[next[j]++] = {p.s.x0 + (cy - p.s.y0) * p.dx / p.dy, p.s.y0 < p.s.y1 ? 1 : -1};
        });
        for (std::size_t j = 0; j < ny; ++j) {
            const auto begin = rows.all.begin() + rows.first[j], end = rows.all.begin() + rows.first[j + 1];
            // A row has few crossings: sorted by insertion. Crossings at one x may come in
            // either order; the winding past both is the same.
            for (auto c = begin + (begin != end); c < end; ++c) {
                const Crossing moving = *c;
                auto to = c;
                for (; to != begin && moving < *(to - 1); --to) *to = *(to - 1);
                *to = moving;
            }
            int winding = 0;
            for (auto c = begin; c != end; ++c) c->winding = winding += c->winding;
        }
        return rows;
    };
    const auto insideAt = [](const CrossingRows& rows, std::size_t j, float x) {
        // A row has few crossings: counted, not searched.
        std::uint32_t left = 0;
        for (std::uint32_t k = rows.first[j]; k < rows.first[j + 1]; ++k) left += rows.all[k].x < x;
        return left != 0 && rows.all[rows.first[j] + left - 1].winding != 0;
    };
    std::vector<std::uint8_t> inside(w * h);
    const CrossingRows centreRows = crossingRows(0.5f, 1, h);
    for (std::size_t y = 0; y < h; ++y) {
        // Along the row, past the crossings to the left of each centre in turn.
        std::uint32_t k = centreRows.first[y];
        for (std::size_t x = 0; x < w; ++x) {
            const float cx = static_cast<float>(x) + 0.5f;
            while (k < centreRows.first[y + 1] && centreRows.all[k].x < cx) ++k;
            inside[y * w + x] = k != centreRows.first[y] && centreRows.all[k - 1].winding != 0;
        }
    }

    // Each channel's signed pseudo-distance as a level about 0 (-127.5 to 127.5), and the
    // true signed distance in pixels.
    const float scale = 255.0f / static_cast<float>(range);
    const auto level = [&](float d) {
        return static_cast<float>(static_cast<int>(std::clamp(127.5f + d * scale, 0.0f, 255.0f) + 0.5f)) - 127.5f;
    };
    std::vector<std::array<float, 3>> levels(w * h);
    std::vector<float> trueDistance(w * h);
    for (std::size_t i = 0, x = 0, y = 0; i < w * h; ++i, x = x + 1 == w ? (++y, 0) : x + 1) {
        const bool in = inside[i] != 0;
        const float cx = static_cast<float>(x) + 0.5f, cy = static_cast<float>(y) + 0.5f;
        for (int c = 0; c < 3; ++c) {
            const std::int32_t holder = nearPiece[c][i];
            if (holder < 0) {
                levels[i][c] = in ? 127.5f : -127.5f;
                continue;
            }
            if (c > 0 && holder == nearPiece[c - 1][i]) {  // an edge of two channels, measured once
                levels[i][c] = levels[i][c - 1];
                continue;
            }
            const Piece& p = pieces[static_cast<std::size_t>(holder)];
            const float side = p.dx * (cy - p.s.y0) - p.dy * (cx - p.s.x0);
            const float t = ((cx - p.s.x0) * p.dx + (cy - p.s.y0) * p.dy) / p.len2;
            const float d = (t < 0 && p.opens) || (t > 1 && p.closes) ? std::abs(side) / p.length : std::sqrt(nearD2[c][i]);
            levels[i][c] = level(side > 0 || (side == 0 && in) ? d : -d);
        }
        const float d = std::sqrt(std::min({nearD2[0][i], nearD2[1][i], nearD2[2][i]}));
        trueDistance[i] = in ? d : -d;
    }

    // The pieces within kNear of each pixel's square, to find whether a point lies that
    // near the outline.
    constexpr float kNear = 0.1f;
    std::vector<std::uint32_t> firstNear(w * h + 1, 0), near;
    const auto eachSquare = [&](const Piece& p, const auto& f) {
        const auto span = [](float a, float b, std::size_t size) {
            return std::pair(std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(std::min(a, b) - kNear)), 0, static_cast<std::int64_t>(size)),
                             std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(std::max(a, b) + kNear)) + 1, 0, static_cast<std::int64_t>(size)));
        };
        const auto [xa, xb] = span(p.s.x0, p.s.x1, w);
        const auto [ya, yb] = span(p.s.y0, p.s.y1, h);
        for (std::int64_t y = ya; y < yb; ++y)
            for (std::int64_t x = xa; x < xb; ++x) f(static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x));
    };
    for (const Piece& p : pieces) eachSquare(p, [&](std::size_t i) { ++firstNear[i + 1]; });
    std::partial_sum(firstNear.begin(), firstNear.end(), firstNear.begin());
    near.resize(firstNear.back());
    std::vector<std::uint32_t> fill(firstNear.begin(), firstNear.end() - 1);
    for (std::uint32_t k = 0; k < pieces.size(); ++k) eachSquare(pieces[k], [&](std::size_t i) { near[fill[i]++] = k; });
    const auto farFromOutline = [&](float px, float py) {
        const std::size_t i = static_cast<std::size_t>(py) * w + static_cast<std::size_t>(px);
        for (std::uint32_t k = firstNear[i]; k < firstNear[i + 1]; ++k) {
            float ex, ey;
            offset(pieces[near[k]], px, py, ex, ey);
            if (ex * ex + ey * ey <= kNear * kNear) return false;
        }
        return true;
    };

    // Where the channels clash, they draw an edge where the outline is not. A pixel whose
    // median lies on the other side from the pixel takes the true distance. Then wherever
    // the median drawn between pixels (straight between neighbours, bilinear within a
    // square of four) lies on the other side more than a tenth of a pixel from the
    // outline, the first of those pixels that mends it on its own takes the true distance,
    // or else all of them do.
    // Which channels of each pixel lie inside, a bit each.
    const auto sidesOf = [&](std::size_t i) {
        return static_cast<std::uint8_t>((levels[i][0] > 0) | (levels[i][1] > 0) << 1 | (levels[i][2] > 0) << 2);
    };
    std::vector<std::uint8_t> sides(w * h);
    const auto mend = [&](std::size_t i) {
        levels[i].fill(level(trueDistance[i]));
        sides[i] = sidesOf(i);
    };
    std::vector<std::size_t> mended;  // the pixels repair changed, in turn
    const auto repair = [&](std::span<const std::size_t> involved, const auto& wrong) {
        if (!wrong()) return;
        for (const std::size_t k : involved) {
            const std::array<float, 3> kept = levels[k];
            mend(k);
            if (!wrong()) return mended.push_back(k);
            levels[k] = kept;
            sides[k] = sidesOf(k);
        }
        for (const std::size_t k : involved) {
            const std::array<float, 3> kept = levels[k];
            mend(k);
            if (levels[k] != kept) mended.push_back(k);
        }
    };
    for (std::size_t i = 0; i < w * h; ++i) {
        const float m = median(levels[i][0], levels[i][1], levels[i][2]);
        sides[i] = sidesOf(i);
        if (std::abs(trueDistance[i]) > 1.0f / 16 && (m > 0) != (inside[i] != 0)) mend(i);
    }
    // Where the median running from pixel i to its neighbour j crosses one half where the
    // true distance running straight between them does (as a one-channel field draws
    // it), or near the outline, it draws no false edge.
    const auto falseEdge = [&](std::size_t i, std::size_t j, float x0, float y0, float x1, float y1) {
        const float di = trueDistance[i], dj = trueDistance[j];
        for (const float t : medianCrossings(levels[i], levels[j])) {
            if (std::isnan(t) || ((di > 0) != (dj > 0) && std::abs(t - di / (di - dj)) < 0.05f)) continue;
            if (farFromOutline(x0 + t * (x1 - x0), y0 + t * (y1 - y0))) return true;
        }
        return false;
    };
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t i = y * w + x;
            const float cx = static_cast<float>(x) + 0.5f, cy = static_cast<float>(y) + 0.5f;
            // Where no channel changes side, neither does the median.
            const auto oneSide = [&](std::size_t j) { return sides[j] == sides[i]; };
            if (x + 1 < w && !oneSide(i + 1)) repair(std::array{i, i + 1}, [&] { return falseEdge(i, i + 1, cx, cy, cx + 1, cy); });
            if (y + 1 < h && !oneSide(i + w)) repair(std::array{i, i + w}, [&] { return falseEdge(i, i + w, cx, cy, cx, cy + 1); });
        }
    }
    // Within each square of four pixel centres, the median drawn at the four points
    // halfway between its middle and its corners, against the outline itself; where
    // all four corners lie on one side, anywhere in the square.
    if (w > 1 && h > 1) {
        const CrossingRows sampleRows = crossingRows(0.75f, 0.5f, 2 * (h - 1));
        constexpr unsigned kTwoOrMore = 1 << 3 | 1 << 5 | 1 << 6 | 1 << 7;  // the sets of two channels or three
        // Over the pieces near the square of pixel (x, y), for a point (px, py) in it: whether
        // the point lies inside, by the winding at the pixel's centre and the turns of the
        // pieces crossed on the way from there; and the least squared distance to one. The
        // rows count the centre's winding as though it lay a hair to the left and far less
        // than a hair lower: where the centre lies on a piece, or a piece's end on the way,
        // it is taken so here too.
        const auto nearPieces = [&](std::size_t x, std::size_t y, float px, float py) {
            const std::size_t i = y * w + x;
            const float cx = static_cast<float>(x) + 0.5f, cy = static_cast<float>(y) + 0.5f;
            const auto away = [&](float sx, float sy) {  // the side of the way from the point to the centre that (sx, sy) lies on
                const float t = (cx - px) * (sy - py) - (cy - py) * (sx - px);
                return t > 0 || (t == 0 && (sy < py || (sy == py && sx < px)));
            };
            int turns = 0;  // the winding at the centre, then at the point
            for (std::uint32_t k = centreRows.first[y]; k < centreRows.first[y + 1] && centreRows.all[k].x < cx; ++k) turns = centreRows.all[k].winding;
            float least = std::numeric_limits<float>::infinity();
            for (std::uint32_t n = firstNear[i]; n < firstNear[i + 1]; ++n) {
                const Piece& q = pieces[near[n]];
                float ex, ey;
                offset(q, px, py, ex, ey);
                least = std::min(least, ex * ex + ey * ey);
                const float s0 = q.dx * (py - q.s.y0) - q.dy * (px - q.s.x0), s1 = q.dx * (cy - q.s.y0) - q.dy * (cx - q.s.x0);
                const bool centreRight = s1 > 0 || (s1 == 0 && (q.dy > 0 || (q.dy == 0 && q.dx > 0)));
                if ((s0 > 0) != centreRight && away(q.s.x0, q.s.y0) != away(q.s.x1, q.s.y1)) turns += (px - cx) * q.dy > (py - cy) * q.dx ? 1 : -1;
            }
            return std::pair(turns != 0, least);
        };
        // Between the points looked at, the median is held to the outline only farther
        // than this from it: nearer, mending costs sharper corners than it is worth.
        constexpr float kAway = 0.25f;
        // Whether the point (u, v) from the square's first corner lies on the side that
        // all four corners lie on, away from the outline: nearer a corner than that
        // corner is to the outline less kAway, or else inside where the corner whose pixel
        // it lies in is and farther than kAway from the pieces near that pixel.
        const auto onCornersSide = [&](const std::array<std::size_t, 4>& four, std::size_t x, std::size_t y, float u, float v) {
            for (std::size_t k = 0; k < 4; ++k) {
                const float du = u - static_cast<float>(k % 2), dv = v - static_cast<float>(k / 2), r = std::abs(trueDistance[four[k]]) - kAway;
                if (r > 0 && du * du + dv * dv < r * r) return true;
            }
            const std::size_t corner = (v >= 0.5f ? 2 : 0) + (u >= 0.5f ? 1 : 0);
            const auto [in, least] = nearPieces(x + corner % 2, y + corner / 2, static_cast<float>(x) + 0.5f + u, static_cast<float>(y) + 0.5f + v);
            return least > kAway * kAway && in == (inside[four[corner]] != 0);
        };
        // Whether two channels both lie on the other side from all four corners at some
        // point of the square, so that the median draws it there, away from the outline:
        // a sliver between the points looked at below. The points are an eighth of a pixel
        // apart; only pairs of channels that each lie on the other side at some corner,
        // never both at one, are looked at, and a row of points only where both can lie
        // on the other side at one of its ends.
        const auto sliver = [&](const std::array<std::size_t, 4>& four, std::size_t x, std::size_t y, bool in) {
            unsigned other[4], any = 0;
            for (std::size_t k = 0; k < 4; ++k) any |= other[k] = (in ? ~sides[four[k]] : sides[four[k]]) & kAllChannels;
            if ((kTwoOrMore >> any & 1) == 0) return false;
            const float sign = in ? -1.0f : 1.0f;  // on the other side where sign * level > 0
            for (const auto& [ca, cb] : {std::pair{0, 1}, {0, 2}, {1, 2}}) {
                const unsigned pair = 1u << ca | 1u << cb;
                if ((any & pair) != pair || std::any_of(other, other + 4, [&](unsigned o) { return (o & pair) == pair; })) continue;
                const auto at = [&](int c, std::size_t k) { return sign * levels[four[k]][c]; };
                for (int j = 0; j <= 8; ++j) {
                    const float v = static_cast<float>(j) / 8;
                    const float a0 = at(ca, 0) + (at(ca, 2) - at(ca, 0)) * v, a1 = at(ca, 1) + (at(ca, 3) - at(ca, 1)) * v;
                    const float b0 = at(cb, 0) + (at(cb, 2) - at(cb, 0)) * v, b1 = at(cb, 1) + (at(cb, 3) - at(cb, 1)) * v;
                    if (std::max(a0, a1) <= 0 || std::max(b0, b1) <= 0) continue;
                    for (int i = 0; i <= 8; ++i) {
                        const float u = static_cast<float>(i) / 8;
                        if (a0 + (a1 - a0) * u > 0 && b0 + (b1 - b0) * u > 0 && onCornersSide(four, x, y, u, v)) return true;
                    }
                }
            }
            return false;
        };
        const auto wrong = [&](std::size_t x, std::size_t y) {
            const std::size_t i = y * w + x;
            const std::array<std::size_t, 4> four{i, i + 1, i + w, i + w + 1};
            // Each point looked at lies 0.36 from its corner: corners farther than that from
            // the outline and on one side of it put the four points there, and two channels
            // that lie on that side at all four corners keep the median there.
            // Corners whose channels are alike draw as a one-channel field, which is mended.
            const bool in = inside[i] != 0;
            unsigned all = kAllChannels, any = 0;
            for (const std::size_t k : four) all &= sides[k], any |= sides[k];
            const unsigned onSide = in ? all : ~any & kAllChannels;
            if ((kTwoOrMore >> onSide & 1) != 0 && std::all_of(four.begin(), four.end(), [&](std::size_t k) {
                    return (inside[k] != 0) == in && std::abs(trueDistance[k]) > 0.36f;
                }))
                return false;
            if (std::all_of(four.begin(), four.end(), [&](std::size_t k) { return levels[k][0] == levels[k][1] && levels[k][1] == levels[k][2]; }))
                return false;
            const bool oneSide = std::all_of(four.begin(), four.end(), [&](std::size_t k) { return (inside[k] != 0) == in; });
            if (oneSide && sliver(four, x, y, in)) return true;
            for (std::size_t corner = 0; corner < 4; ++corner) {
                // The point lies 0.36 from its corner: farther from the outline, the corner
                // says on which side, and where all four corners lie on that side, the
                // sliver search has looked at the point.
                const std::size_t k = four[corner];
                if (oneSide && std::abs(trueDistance[k]) > 0.36f) continue;
                const float fu = corner % 2 == 0 ? 0.25f : 0.75f, fv = corner < 2 ? 0.25f : 0.75f;
                std::array<float, 3> l;
                for (int c = 0; c < 3; ++c) {
                    l[c] = (1 - fv) * ((1 - fu) * levels[i][c] + fu * levels[i + 1][c]) +
                           fv * ((1 - fu) * levels[i + w][c] + fu * levels[i + w + 1][c]);
                }
                const float px = static_cast<float>(x) + 0.5f + fu, py = static_cast<float>(y) + 0.5f + fv;
                const bool truth = std::abs(trueDistance[k]) > 0.36f ? inside[k] != 0 : insideAt(sampleRows, 2 * y + corner / 2, px);
                if ((median(l[0], l[1], l[2]) > 0) != truth && farFromOutline(px, py)) return true;
            }
            return false;
        };
        const auto repairSquare = [&](std::size_t x, std::size_t y) {
            const std::size_t i = y * w + x;
            repair(std::array{i, i + 1, i + w, i + w + 1}, [&] { return wrong(x, y); });
        };
        mended.clear();
        for (std::size_t y = 0; y + 1 < h; ++y) {
            for (std::size_t x = 0; x + 1 < w; ++x) repairSquare(x, y);
        }
        // A pixel mended for one square can make a false edge in a square met before it:
        // the squares around each pixel mended are looked at again, until none is wrong.
        // A pixel mended stays so, so this ends.
        for (std::size_t next = 0; next < mended.size(); ++next) {
            const std::size_t x = mended[next] % w, y = mended[next] / w;
            for (std::size_t v = y - std::min<std::size_t>(y, 1); v <= std::min(y, h - 2); ++v) {
                for (std::size_t u = x - std::min<std::size_t>(x, 1); u <= std::min(x, w - 2); ++u) repairSquare(u, v);
            }
        }
    }

    for (std::size_t i = 0; i < w * h; ++i) {
        const std::array<float, 3>& l = levels[i];
        const auto byte = [](float v) { return static_cast<QRgb>(v + 127.5f); };  // whole already
        field[i] = 0xFF000000u | byte(l[0]) << 16 | byte(l[1]) << 8 | byte(l[2]);
    }
    return field;
}

}  // namespace karuvo
