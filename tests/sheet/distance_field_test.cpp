#include <QPainterPath>
#include <QRawFont>
#include <QTransform>
#include <cmath>
#include <gtest/gtest.h>

#include "sheet/builder.h"
#include "sheet/distance_field.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

constexpr int kPixels = 32, kRange = 8, kCell = 48;

// The glyphs under test: Latin, kana and a dense kanji from the sheet's own face, and
// a kanji that DejaVu Sans lacks, drawn by the fallback face.
struct Glyph {
    const char* sheetFace;
    char32_t codePoint;
    const char* drawingFace;
};
const Glyph kGlyphs[] = {{"DejaVu Sans", U'g', "DejaVu Sans"},
                         {"IPAGothic", U'あ', "IPAGothic"},
                         {"IPAGothic", U'鬱', "IPAGothic"},
                         {"DejaVu Sans", U'字', "IPAGothic"}};

double pointSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a, ap = p - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(ap, ab) / len2, 0.0, 1.0) : 0.0;
    const QPointF q = ap - t * ab;
    return std::hypot(q.x(), q.y());
}

// Brute force: every pixel's distance to every edge of `polygons`, inside where the
// path (non-zero winding) holds the pixel's centre.
std::vector<double> signedDistances(const QList<QPolygonF>& polygons, const QPainterPath& shape, int w, int h) {
    std::vector<double> d(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QPointF p(x + 0.5, y + 0.5);
            double best = 1e9;
            for (const QPolygonF& poly : polygons) {
                for (qsizetype i = 0; i + 1 < poly.size(); ++i) best = std::min(best, pointSegment(p, poly[i], poly[i + 1]));
                if (!poly.isEmpty()) best = std::min(best, pointSegment(p, poly.last(), poly.first()));
            }
            d[static_cast<std::size_t>(y * w + x)] = shape.contains(p) ? best : -best;
        }
    }
    return d;
}

int alphaOf(double d, int range) { return static_cast<int>(std::lround(255 * std::clamp(0.5 + d / range, 0.0, 1.0))); }

}  // namespace

// The fast field splats each segment's neighbourhood and takes the sign from scanline
// crossings; it must give what brute force over all segments gives, within float
// rounding: a level at most, on a pixel whose distance lies on a rounding boundary.
TEST(DistanceField, IsBruteForceOverTheSameSegments) {
    for (const Glyph& g : kGlyphs) {
        const std::unique_ptr<Font> font = Font::create(fakes::faceDescription(g.sheetFace, kPixels));
        for (const int range : {1, kRange, kMaxDistanceRange}) {
            const std::vector<FieldSegment> segments = glyphSegments(*font, g.codePoint, QPointF(7.25, 37.5));
            ASSERT_GT(segments.size(), 8u);
            QList<QPolygonF> polygons;
            QPainterPath shape;
            shape.setFillRule(Qt::WindingFill);
            for (const FieldSegment& s : segments) {
                polygons.append(QPolygonF{{s.x0, s.y0}, {s.x1, s.y1}});
                // Each segment and its start on one side of a far line: the path winds as the contours do.
                shape.addPolygon(QPolygonF{{s.x0, s.y0}, {s.x1, s.y1}, {s.x1, -100}, {s.x0, -100}});
            }
            const std::vector<double> d = signedDistances(polygons, shape, kCell, kCell);
            const std::vector<std::uint8_t> field = distanceField(segments, range, kCell, kCell);
            int off = 0;
            for (std::size_t i = 0; i < field.size(); ++i) {
                const int want = alphaOf(d[i], range);
                ASSERT_LE(std::abs(field[i] - want), 1) << "U+" << std::hex << std::uint32_t(g.codePoint) << " pixel " << std::dec << i;
                off += field[i] != want;
            }
            EXPECT_LE(off, 2) << "U+" << std::hex << std::uint32_t(g.codePoint) << " range " << std::dec << range;
        }
    }
}

// The sheet's field against the glyph's outline taken straight from its face and
// flattened by Qt at 64x, at the pen the sheet's metrics give: within 1/8 of a pixel
// over the edge pixels. Its ink lies where plain QPainter draws the glyph.
TEST(DistanceField, FollowsTheOutlineWithinAnEighthOfAPixel) {
    for (const Glyph& g : kGlyphs) {
        SheetSettings s;
        s.text = QString::fromUcs4(&g.codePoint, 1);
        s.font = fakes::faceDescription(g.sheetFace, kPixels);
        s.cellWidth = s.cellHeight = kCell;
        s.keepCoverage = true;
        s.distanceRange = kRange;
        const Sheet sheet = buildSheet(s);
        ASSERT_TRUE(sheet.coverage);
        const Image& field = sheet.coverage->glyph;

        const QRawFont face = QRawFont::fromFont(fakes::plainFace(g.drawingFace, kPixels));
        const QList<quint32> glyphs = face.glyphIndexesForString(s.text);
        ASSERT_EQ(glyphs.size(), 1);
        QPainterPath path = face.pathForGlyph(glyphs[0]).translated(sheet.chars[0].x, sheet.chars[0].y + sheet.ascent);
        path.setFillRule(Qt::WindingFill);
        QList<QPolygonF> polygons;
        for (const QPolygonF& p : path.toSubpathPolygons(QTransform::fromScale(64, 64)))
            polygons.append(QTransform::fromScale(1.0 / 64, 1.0 / 64).map(p));
        const std::vector<double> d = signedDistances(polygons, path, kCell, kCell);

        // Drawn unhinted, as the field is made: hinting moves stems by up to a quarter pixel.
        QFont unhinted = fakes::plainFace(g.sheetFace, kPixels);
        unhinted.setHintingPreference(QFont::PreferNoHinting);
        const QImage plain = fakes::drawnSheet(s.text, unhinted, kCell, kCell, 0xFFFFFF);
        double worst = 0, inkX = 0, inkY = 0, ink = 0, fieldX = 0, fieldY = 0, fieldInk = 0;
        int edge = 0;
        for (int y = 0; y < kCell; ++y) {
            for (int x = 0; x < kCell; ++x) {
                const int a = qRed(field.pixel(x, y));
                if (a >= 51 && a <= 204) {
                    worst = std::max(worst, std::abs((a / 255.0 - 0.5) * kRange - d[static_cast<std::size_t>(y * kCell + x)]));
                    ++edge;
                }
                const double c = qRed(plain.pixel(x, y)) / 255.0;
                ink += c, inkX += c * x, inkY += c * y;
                // The field as the coverage of a pixel that its edge crosses straight.
                const double f = std::clamp(0.5 + (a / 255.0 - 0.5) * kRange, 0.0, 1.0);
                fieldInk += f, fieldX += f * x, fieldY += f * y;
            }
        }
        const std::string what = "U+" + QString::number(g.codePoint, 16).toStdString();
        EXPECT_GT(edge, 100) << what;
        EXPECT_LE(worst, 1.0 / 8) << what;
        EXPECT_NEAR(fieldX / fieldInk, inkX / ink, 0.1) << what;
        EXPECT_NEAR(fieldY / fieldInk, inkY / ink, 0.1) << what;
    }
}
