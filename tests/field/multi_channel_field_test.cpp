#include <gtest/gtest.h>

#include <QPainterPath>
#include <QPainterPathStroker>

#include "export/sheet_file.h"
#include "sheet/builder.h"
#include "sheet/char_source.h"
#include "support/field_drawing.h"

using namespace karuvo;

static std::string nameOf(const char* family, char32_t c) { return std::string(family) + " U+" + QString::number(c, 16).toStdString(); }

// Glyphs with corners drawn eight times larger from their fields: the multi-channel
// field strays at most an eighth of a sheet pixel from the outline, corners included,
// where the one-channel field of the same range cuts acute corners by more than 3/8;
// IPAGothic's * too, whose six arms meet in a knot finer than a pixel. One place asks more
// than three channels can hold, and is held to less: the stroke end of 門, whose two
// corners lie 1.5 pixels apart.
TEST(MultiChannelField, KeepsTheCornersThatOneChannelRounds) {
    double oneChannel = 0;
    for (const char* family : {"DejaVu Sans", "IPAGothic"}) {
        for (const char32_t c : std::u32string_view(U"ELMVWZ4*<口門人a")) {
            const double multi = fakes::fieldMiss(family, c, FieldType::Msdf, 8), one = fakes::fieldMiss(family, c, FieldType::Sdf, 8);
            EXPECT_LE(multi, c == U'門' ? 3.0 / 16 : 1.0 / 8) << nameOf(family, c);
            oneChannel = std::max(oneChannel, one);
        }
    }
    EXPECT_GT(oneChannel, 3.0 / 8);
}

// Each channel against its definition by brute force: the signed distance to the nearest
// edge (a run of one colour along a contour) that counts in the channel, running on along
// the line of the edge's end piece past its ends. Held where that edge lies within half
// the range and a twentieth of a pixel nearer than any other of the channel; a pixel
// mended to the true distance holds it in all three channels, and few are.
TEST(MultiChannelField, EachChannelIsTheDistanceToItsNearestEdge) {
    constexpr int kRange = 4, kCell = 48;
    for (const auto& [family, c] : {std::pair{"DejaVu Sans", U'E'}, {"DejaVu Sans", U'g'}, {"IPAGothic", U'あ'}, {"IPAGothic", U'鬱'}}) {
        const std::vector<FieldSegment> segments =
            glyphSegments(*Font::create(fakes::faceDescription(family, 32)), c, QPointF(8, 36));
        const std::vector<QRgb> field = multiChannelField(segments, kRange, kCell, kCell);
        struct Edge { std::vector<FieldSegment> pieces; std::uint8_t channels; bool ends; };  // ends: where the colour changes
        std::vector<Edge> edges;
        for (const std::vector<ColouredSegment>& k : colouredOutline(segments)) {
            std::size_t start = 0;
            while (start < k.size() && k[start].channels == k[(start + k.size() - 1) % k.size()].channels) ++start;
            for (std::size_t i = 0; i < k.size(); ++i) {
                const ColouredSegment& s = k[(start + i) % k.size()];
                if (i == 0 || s.channels != edges.back().channels) edges.push_back({{}, s.channels, start < k.size()});
                edges.back().pieces.push_back(s.line);
            }
        }
        int checked = 0, mended = 0;
        for (int i = 0; i < kCell * kCell; ++i) {
            const QPointF p(i % kCell + 0.5, i / kCell + 0.5);
            for (int channel = 0; channel < 3; ++channel) {
                double best = 1e9, second = 1e9, signedDistance = 0;
                for (const Edge& e : edges) {
                    if (!(e.channels & (1 << channel))) continue;
                    double near = 1e9, side = 0;
                    for (std::size_t k = 0; k < e.pieces.size(); ++k) {
                        const QPointF a(e.pieces[k].x0, e.pieces[k].y0), d = QPointF(e.pieces[k].x1, e.pieces[k].y1) - a;
                        const double t = QPointF::dotProduct(p - a, d) / QPointF::dotProduct(d, d);
                        const QPointF q = a + std::clamp(t, 0.0, 1.0) * d;
                        const double cross = d.x() * (p - a).y() - d.y() * (p - a).x(), along = std::hypot(p.x() - q.x(), p.y() - q.y());
                        if (along >= near) continue;
                        near = along;
                        const bool past = e.ends && ((k == 0 && t < 0) || (k + 1 == e.pieces.size() && t > 1));
                        side = (cross > 0 ? 1 : -1) * (past ? std::abs(cross) / std::hypot(d.x(), d.y()) : along);
                    }
                    if (near < best) second = best, best = near, signedDistance = side;
                    else second = std::min(second, near);
                }
                if (best > kRange / 2.0 || second - best < 0.05) continue;
                const int want = static_cast<int>(std::lround(255 * std::clamp(0.5 + signedDistance / kRange, 0.0, 1.0)));
                const int got = field[i] >> (16 - 8 * channel) & 0xFF;
                const bool grey = qRed(field[i]) == qGreen(field[i]) && qGreen(field[i]) == qBlue(field[i]);
                ++checked, mended += std::abs(got - want) > 1;
                ASSERT_TRUE(std::abs(got - want) <= 1 || grey) << nameOf(family, c) << " pixel " << i << " channel " << channel;
            }
        }
        EXPECT_TRUE(checked > 500 && mended < checked / 8) << nameOf(family, c) << ": " << mended << " of " << checked;
    }
}

// Every 25th character of JIS X 0208 drawn four times larger against a plain drawing at
// 128 px: no pixel more than a sheet pixel from the outline disagrees, and where strokes
// or gaps narrower than a pixel leave more than a quarter of one, the multi-channel
// field does so in far fewer glyphs than the one-channel field.
TEST(MultiChannelField, KanjiWithOverlappingStrokesHaveNoArtefacts) {
    CodePointSet jis;
    addCharset(u"jis-x-0208", jis);
    int k = 0, multi = 0, one = 0;
    for (const char32_t c : jis) {
        if (k++ % 25 != 0) continue;
        const double miss = fakes::fieldMiss("IPAGothic", c, FieldType::Msdf, 4);
        EXPECT_LE(miss, 1.0) << nameOf("IPAGothic", c);
        multi += miss > 0.25;
        one += fakes::fieldMiss("IPAGothic", c, FieldType::Sdf, 4) > 0.25;
    }
    EXPECT_LT(multi * 4, one * 3);
}

// Kanji where, inside a stroke, two channels both cross one half in a sliver between the
// points the pixels' squares are looked at: drawn four times larger, no pinhole lies
// deeper than half a sheet pixel inside the outline, as the one-channel field's none do.
TEST(MultiChannelField, LeavesNoPinholesBetweenPixels) {
    const std::unique_ptr<Font> font = Font::create(fakes::faceDescription("IPAGothic", 32));
    for (const char32_t c : std::u32string_view(U"\u958B\u6E9C\u9394\u7DF4\u88D5\u83C5")) {
        const std::vector<FieldSegment> segments = glyphSegments(*font, c, QPointF(8, 36));
        EXPECT_LE(fakes::outlineMiss(segments, multiChannelField(segments, 4, 48, 48), 48, 4).distance, 0.5) << nameOf("IPAGothic", c);
    }
}

// Each cell of a multi-channel sheet, whole or a band of one row, on two threads, holds
// its glyph's field measured over the whole cell: red, green and blue those of its
// multi-channel field, alpha 255 or (Mtsdf) the one-channel field's, to the cell's edge.
TEST(MultiChannelField, EachCellHoldsItsGlyphsField) {
    constexpr int cell = 30, range = 8;
    for (const FieldType type : {FieldType::Msdf, FieldType::Mtsdf}) {
        const SheetSettings s{.text = QStringLiteral("gW\n口E"), .cellWidth = cell, .cellHeight = cell,
                              .font = fakes::faceDescription(QStringLiteral("DejaVu Sans"), 32), .texturePath = {},
                              .keepCoverage = true, .distanceRange = range, .fieldType = type, .threads = 2};
        const Sheet whole = buildSheet(s);
        const SheetBuild build(s);
        ASSERT_TRUE(whole.coverage && whole.coverage->multiChannel);
        for (const SheetChar& c : whole.chars) {
            const int left = c.column * cell, top = c.row * cell;
            const std::vector<FieldSegment> outline =
                glyphSegments(*Font::create(*s.font), c.codePoint, QPointF(c.x - left, c.y + whole.ascent - top));
            const std::vector<QRgb> rgb = multiChannelField(outline, range, cell, cell);
            const std::vector<std::uint8_t> alpha = distanceField(outline, range, cell, cell);
            const Sheet band = build.band(c.row, 1);
            for (int i = 0; i < cell * cell; ++i) {
                const QRgb want = type == FieldType::Msdf ? rgb[i] : (rgb[i] & 0xFFFFFF) | QRgb{alpha[i]} << 24;
                ASSERT_EQ(whole.coverage->glyph.row(top + i / cell)[left + i % cell], want) << nameOf("", c.codePoint) << i;
                ASSERT_EQ(band.coverage->glyph.row(i / cell)[left + i % cell], want) << nameOf("", c.codePoint) << i;
                ASSERT_EQ(whole.image.row(top + i / cell)[left + i % cell], want | 0xFF000000u) << "the sheet shows the field opaque";
            }
        }
        // The PNG reads back as the field; an MSDF's alpha, 255 throughout, is left out.
        const QByteArray png = encodePng(whole, 0, 0, whole.width, whole.height);
        EXPECT_EQ(png.at(25), type == FieldType::Msdf ? 2 : 6);
        const QImage back = QImage::fromData(png).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(back.size(), QSize(whole.width, whole.height));
        for (int y = 0; y < whole.height; ++y) {
            const QRgb* row = whole.coverage->glyph.row(y);
            ASSERT_TRUE(std::equal(row, row + whole.width, reinterpret_cast<const QRgb*>(back.constScanLine(y)))) << y;
        }
    }
}

// Shapes of rectangles (left, top, right, bottom; right < left turns one round): each
// segment of the outline has the shape (Qt's own fill) on its right and none on its left,
// so strokes that overlap or meet along an edge (above or below the other) are joined.
TEST(MultiChannelField, TheOutlineBoundsTheFilledShape) {
    const std::vector<std::array<float, 4>> shapes[] = {
        {{2, 8, 18, 12}, {8, 2, 12, 18}}, {{2, 2, 10, 10}, {10, 4, 18, 8}}, {{2, 2, 10, 10}, {4, 10, 8, 18}},
        {{6, 2, 10, 10}, {2, 10, 18, 14}}, {{2, 2, 8, 8}, {8, 8, 14, 14}}, {{2, 2, 18, 18}, {14, 6, 6, 14}}};
    for (const auto& rects : shapes) {
        std::vector<FieldSegment> given;
        for (const auto& [l, t, r, b] : rects) given.insert(given.end(), {{l, t, r, t}, {r, t, r, b}, {r, b, l, b}, {l, b, l, t}});
        const QPainterPath shape = fakes::filledBy(given);
        std::size_t segments = 0;
        for (const std::vector<ColouredSegment>& contour : colouredOutline(given)) {
            for (const ColouredSegment& c : contour) {
                const QLineF l(c.line.x0, c.line.y0, c.line.x1, c.line.y1);
                const QPointF left = QPointF(l.dy(), -l.dx()) / l.length() / 100;  // y grows downward
                EXPECT_TRUE(shape.contains(l.center() - left) && !shape.contains(l.center() + left)) << &rects - shapes;
                ++segments;
            }
        }
        EXPECT_GE(segments, 4u) << &rects - shapes;
    }
}

// Kanji (every 100th of JIS X 0208) and corners: the median drawn bilinearly at the four
// points halfway between the middle and the corners of each square of four pixels lies on
// the side of the outline that Qt's fill says, wherever the outline is farther than a
// tenth of a pixel, but where all four pixels are grey and draw as a one-channel field does.
TEST(MultiChannelField, TheMedianDrawsNoFalseEdge) {
    CodePointSet jis;
    addCharset(u"jis-x-0208", jis);
    std::u32string text = U"ELMVWZ4*<口門";
    for (std::size_t k = 0; k < jis.size(); k += 100) text += *std::next(jis.begin(), k);
    for (const char32_t c : text) {
        const std::vector<FieldSegment> segments = glyphSegments(*Font::create(fakes::faceDescription("IPAGothic", 32)), c, QPointF(8, 36));
        const std::vector<QRgb> field = multiChannelField(segments, 4, 48, 48);
        const QPainterPath shape = fakes::filledBy(segments);
        QPainterPath outline;
        for (const FieldSegment& s : segments) outline.moveTo(s.x0, s.y0), outline.lineTo(s.x1, s.y1);
        QPainterPathStroker stroker;  // the points within a tenth of a pixel of the outline
        stroker.setWidth(0.2), stroker.setCapStyle(Qt::RoundCap);
        const QPainterPath near = stroker.createStroke(outline);
        int wrong = 0;
        for (int i = 0; i < 47 * 47 * 4; ++i) {
            const int x = i / 4 % 47, y = i / 4 / 47;
            const double u = i % 2 ? 0.75 : 0.25, v = i % 4 < 2 ? 0.25 : 0.75;
            const auto at = [&](int k, int c) { return (field[(y + k / 2) * 48 + x + k % 2] >> (16 - 8 * c) & 0xFF) - 127.5; };
            double l[3], grey = 0;
            for (int c = 0; c < 3; ++c) l[c] = (1 - v) * ((1 - u) * at(0, c) + u * at(1, c)) + v * ((1 - u) * at(2, c) + u * at(3, c));
            for (int k = 0; k < 4; ++k) grey += at(k, 0) == at(k, 1) && at(k, 1) == at(k, 2);
            const QPointF p(x + 0.5 + u, y + 0.5 + v);
            const double median = std::max(std::min(l[0], l[1]), std::min(std::max(l[0], l[1]), l[2]));
            wrong += grey < 4 && !near.contains(p) && (median > 0) != shape.contains(p);
        }
        EXPECT_EQ(wrong, 0) << nameOf("IPAGothic", c);
    }
}
