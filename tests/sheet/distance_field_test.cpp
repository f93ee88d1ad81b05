#include <QPainterPath>
#include <QRawFont>
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
    std::string name() const { return "U+" + QString::number(codePoint, 16).toStdString(); }
};
const Glyph kGlyphs[] = {{"DejaVu Sans", U'g', "DejaVu Sans"},
                         {"IPAGothic", U'あ', "IPAGothic"},
                         {"IPAGothic", U'鬱', "IPAGothic"},
                         {"DejaVu Sans", U'字', "IPAGothic"},
                         {"IPAGothic", U'\u05D0', "DejaVu Sans"}};  // right to left, from the fallback face

double pointSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a, ap = p - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(ap, ab) / len2, 0.0, 1.0) : 0.0;
    const QPointF q = ap - t * ab;
    return std::hypot(q.x(), q.y());
}

int alphaOf(double d, int range) { return static_cast<int>(std::lround(255 * std::clamp(0.5 + d / range, 0.0, 1.0))); }

}  // namespace

// For each glyph, three things. The fast field splats each segment's neighbourhood and
// takes the sign from scanline crossings; it must give what brute force over all
// segments gives, within float rounding: a level at most, on a pixel whose distance lies
// on a rounding boundary. Every point of every curve of the face's outline lies within
// 1/32 of a pixel of those segments. And the sheet's field, read as the coverage of
// pixels that its edge crosses straight, has its ink where plain QPainter draws the
// glyph, to a tenth of a pixel.
TEST(DistanceField, IsBruteForceOverSegmentsCloseToTheCurvesAndLiesWhereAPainterDraws) {
    for (const Glyph& g : kGlyphs) {
        const QPointF pen(7.25, 37.5);
        const std::unique_ptr<Font> font = Font::create(fakes::faceDescription(g.sheetFace, kPixels));
        const std::vector<FieldSegment> segments = glyphSegments(*font, g.codePoint, pen);
        ASSERT_GT(segments.size(), 8u);
        const auto nearest = [&](QPointF p) {
            double best = 1e9;
            for (const FieldSegment& s : segments) best = std::min(best, pointSegment(p, {s.x0, s.y0}, {s.x1, s.y1}));
            return best;
        };
        // Each segment and its start on one side of a far line: the path winds as the contours do.
        QPainterPath shape;
        shape.setFillRule(Qt::WindingFill);
        for (const FieldSegment& s : segments) shape.addPolygon(QPolygonF{{s.x0, s.y0}, {s.x1, s.y1}, {s.x1, -100}, {s.x0, -100}});
        // Brute force: each pixel centre's distance to every segment, inside where the path holds it.
        std::vector<double> d(kCell * kCell);
        for (std::size_t i = 0; i < d.size(); ++i) {
            const QPointF p(i % kCell + 0.5, i / kCell + 0.5);
            d[i] = shape.contains(p) ? nearest(p) : -nearest(p);
        }
        for (const int range : {1, kRange, kMaxDistanceRange}) {
            const std::vector<std::uint8_t> field = distanceField(segments, range, kCell, kCell);
            int off = 0;
            for (std::size_t i = 0; i < field.size(); ++i) {
                const int want = alphaOf(d[i], range);
                ASSERT_LE(std::abs(field[i] - want), 1) << g.name() << " pixel " << i;
                off += field[i] != want;
            }
            EXPECT_LE(off, 2) << g.name() << " range " << range;
        }

        // The glyph's outline straight from the face that draws it, as Qt gives it.
        const QRawFont face = QRawFont::fromFont(fakes::plainFace(g.drawingFace, kPixels));
        const QList<quint32> glyphs = face.glyphIndexesForString(QString::fromUcs4(&g.codePoint, 1));
        ASSERT_EQ(glyphs.size(), 1);
        const QPainterPath path = face.pathForGlyph(glyphs[0]).translated(pen);
        double worst = 0;
        int curves = 0;
        QPointF from;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            if (!e.isCurveTo()) {
                from = e;
                continue;
            }
            const QPointF c1 = e, c2 = path.elementAt(i + 1), to = path.elementAt(i + 2);
            for (int k = 1; k < 64; ++k) {
                const double t = k / 64.0, u = 1 - t;
                worst = std::max(worst, nearest(u * u * u * from + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * to));
            }
            from = to, i += 2, ++curves;
        }
        EXPECT_GT(curves, 4) << g.name();
        EXPECT_LE(worst, 1.0 / 32 + 1e-5) << g.name();

        const SheetSettings s{.text = QString::fromUcs4(&g.codePoint, 1), .cellWidth = kCell, .cellHeight = kCell,
                              .font = fakes::faceDescription(g.sheetFace, kPixels), .texturePath = {},
                              .keepCoverage = true, .distanceRange = kRange};
        const Sheet sheet = buildSheet(s);
        ASSERT_TRUE(sheet.coverage);
        // Drawn unhinted, as the field is made: hinting moves stems by up to a quarter pixel.
        QFont unhinted = fakes::plainFace(g.sheetFace, kPixels);
        unhinted.setHintingPreference(QFont::PreferNoHinting);
        const QImage plain = fakes::drawnSheet(s.text, unhinted, kCell, kCell, 0xFFFFFF);
        double ink = 0, inkX = 0, inkY = 0, sum = 0, sumX = 0, sumY = 0;
        for (int y = 0; y < kCell; ++y) {
            for (int x = 0; x < kCell; ++x) {
                const double c = qRed(plain.pixel(x, y)) / 255.0;
                const double f = std::clamp(0.5 + (qRed(sheet.coverage->glyph.pixel(x, y)) / 255.0 - 0.5) * kRange, 0.0, 1.0);
                ink += c, inkX += c * x, inkY += c * y, sum += f, sumX += f * x, sumY += f * y;
            }
        }
        EXPECT_GT(ink, 50) << g.name();
        EXPECT_NEAR(sumX / sum, inkX / ink, 0.1) << g.name();
        EXPECT_NEAR(sumY / sum, inkY / ink, 0.1) << g.name();
    }
}

// Cells smaller than a glyph and its field: each cell of the sheet, drawn whole or a
// band of one row at a time, on two threads, is the field measured over the whole cell
// from the glyph's outline at its pen, to the last pixel of every edge.
TEST(DistanceField, EachCellIsTheFieldOfTheWholeCell) {
    constexpr int cell = 30, range = 16;
    const SheetSettings s{.text = QStringLiteral("gWあ\n鬱Q字"), .cellWidth = cell, .cellHeight = cell,
                          .font = fakes::faceDescription(QStringLiteral("DejaVu Sans"), kPixels), .texturePath = {},
                          .keepCoverage = true, .distanceRange = range, .threads = 2};
    const Sheet whole = buildSheet(s);
    const SheetBuild build(s);
    const std::unique_ptr<Font> font = Font::create(*s.font);
    ASSERT_TRUE(whole.coverage && font);
    ASSERT_EQ(whole.chars.size(), 6u);
    int edgeInk = 0;
    for (const SheetChar& c : whole.chars) {
        const int left = c.column * cell, top = c.row * cell;
        const std::vector<std::uint8_t> want = distanceField(
            glyphSegments(*font, c.codePoint, QPointF(c.x - left, c.y + whole.ascent - top)), range, cell, cell);
        const Sheet band = build.band(c.row, 1);
        ASSERT_TRUE(band.coverage);
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x) {
                const int w = want[static_cast<std::size_t>(y * cell + x)];
                ASSERT_EQ(qRed(whole.coverage->glyph.pixel(left + x, top + y)), w) << c.column << "," << c.row << ": " << x << "," << y;
                ASSERT_EQ(qRed(band.coverage->glyph.pixel(left + x, y)), w) << c.column << "," << c.row << ": " << x << "," << y;
                edgeInk += (x == 0 || y == 0 || x == cell - 1 || y == cell - 1) && w > 0;
            }
    }
    EXPECT_GT(edgeInk, 50);
}

// A character no installed face has: the field's inside is the missing-glyph box, pixel
// for pixel as plain QPainter draws it unhinted: the outline of the face's own box, or,
// for a script no face has, the painter's frame.
TEST(DistanceField, AMissingCharacterIsTheBoxAPainterDraws) {
    for (const char32_t c : {U'\U0010FFFD', U'\u0915'}) {
        const SheetSettings s{.text = QString::fromUcs4(&c, 1), .cellWidth = 96, .cellHeight = 96,
                              .font = fakes::faceDescription("DejaVu Sans", 48), .texturePath = {}, .keepCoverage = true, .distanceRange = kRange};
        QFont unhinted = Font::create(*s.font)->qfont();
        unhinted.setHintingPreference(QFont::PreferNoHinting);
        const QImage plain = fakes::drawnSheet(s.text, unhinted, 96, 96, 0xFFFFFF), field = buildSheet(s).coverage->glyph.qimage();
        int ink = 0, off = 0;
        for (int i = 0; i < 96 * 96; ++i)
            ink += qRed(plain.pixel(i % 96, i / 96)) >= 128, off += (qRed(plain.pixel(i % 96, i / 96)) >= 128) != (qRed(field.pixel(i % 96, i / 96)) >= 128);
        EXPECT_TRUE(ink > 40 && off == 0) << ink << " " << off;
    }
}
