// Every character of JIS X 0208 (or every Nth: field_sweep N) in IPAGothic at 32 px,
// range 4: the multi-channel field drawn four times larger through the median against a
// plain drawing at 128 px, counting the glyphs that stray more than a sheet pixel and
// more than a quarter of one from the outline (the one-channel field's count beside
// it, and how many stray past a quarter where the one-channel field does not, or stray
// farther than it does at all), and the CPU time of both fields made from the same outlines.
// Then both fields against the outline itself, which the drawing at 128 px blurs where
// it is finer than its pixels, and for each glyph that strays past a quarter there, where
// its worst pixel lies: background between two contours less than a pixel apart,
// background inside one contour, or ink.

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "sheet/char_source.h"
#include "support/field_drawing.h"

using namespace karuvo;

namespace {

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// What lies where a field strays most from the outline: ink, or background between two
// contours less than a pixel apart, or background inside one contour. `contour` numbers
// each segment's contour.
enum class Where { Between, Inside, Ink };
Where whereStray(const std::vector<FieldSegment>& segments, const std::vector<int>& contour, const fakes::Stray& stray) {
    if (stray.ink) return Where::Ink;
    std::vector<double> nearest(static_cast<std::size_t>(contour.back() + 1), 1e9);
    for (std::size_t j = 0; j < segments.size(); ++j) {
        const FieldSegment& s = segments[j];
        const QLineF line(s.x0, s.y0, s.x1, s.y1);
        const double len2 = line.dx() * line.dx() + line.dy() * line.dy();
        const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(stray.at - line.p1(), line.p2() - line.p1()) / len2, 0.0, 1.0) : 0;
        const QPointF q = line.pointAt(t);
        double& d = nearest[static_cast<std::size_t>(contour[j])];
        d = std::min(d, std::hypot(q.x() - stray.at.x(), q.y() - stray.at.y()));
    }
    std::sort(nearest.begin(), nearest.end());
    return nearest.size() > 1 && nearest[1] < 1 ? Where::Between : Where::Inside;
}

// Each segment's contour, counted from 0: a contour ends where a segment comes back to
// its first point.
std::vector<int> contoursOf(const std::vector<FieldSegment>& segments) {
    std::vector<int> contour(segments.size());
    for (std::size_t i = 0, start = 0, k = 0; i < segments.size(); ++i) {
        contour[i] = static_cast<int>(k);
        if (std::hypot(segments[i].x1 - segments[start].x0, segments[i].y1 - segments[start].y0) < 1e-4) ++k, start = i + 1;
    }
    return contour;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int every = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    CodePointSet jis;
    addCharset(u"jis-x-0208", jis);
    const std::unique_ptr<Font> font = Font::create(fakes::faceDescription(QStringLiteral("IPAGothic"), 32));
    int glyphs = 0, pastPixel = 0, pastQuarter = 0, onePastQuarter = 0, onlyMultiPastQuarter = 0, fartherThanOne = 0, k = 0;
    double worst = 0, multiCpu = 0, oneCpu = 0, outlineCpu = 0;
    char32_t worstAt = 0;
    int exactPast[3] = {}, oneExactPast[3] = {}, where[3] = {};  // past a sheet pixel, a half and a quarter
    for (const char32_t c : jis) {
        if (k++ % every != 0) continue;
        ++glyphs;
        double t = cpuSeconds();
        const std::vector<FieldSegment> segments = glyphSegments(*font, c, QPointF(8, 36));
        outlineCpu += cpuSeconds() - t;
        t = cpuSeconds();
        const std::vector<std::uint8_t> one = distanceField(segments, 4, 48, 48);
        oneCpu += cpuSeconds() - t;
        t = cpuSeconds();
        const std::vector<QRgb> multi = multiChannelField(segments, 4, 48, 48);
        multiCpu += cpuSeconds() - t;
        const double miss = fakes::fieldMiss(QStringLiteral("IPAGothic"), c, FieldType::Msdf, 4);
        const double oneMiss = fakes::fieldMiss(QStringLiteral("IPAGothic"), c, FieldType::Sdf, 4);
        pastPixel += miss > 1;
        pastQuarter += miss > 0.25;
        onePastQuarter += oneMiss > 0.25;
        onlyMultiPastQuarter += miss > 0.25 && oneMiss <= 0.25;
        fartherThanOne += miss > oneMiss;
        if (miss > worst) worst = miss, worstAt = c;

        if (segments.empty()) continue;
        std::vector<QRgb> grey(one.size());
        for (std::size_t i = 0; i < one.size(); ++i) grey[i] = 0x010101u * one[i];
        const fakes::Stray stray = fakes::outlineMiss(segments, multi, 48, 4);
        const double oneStrays = fakes::outlineMiss(segments, grey, 48, 4).distance;
        for (int j = 0; j < 3; ++j) {
            constexpr double bounds[] = {1, 0.5, 0.25};
            exactPast[j] += stray.distance > bounds[j];
            oneExactPast[j] += oneStrays > bounds[j];
        }
        if (stray.distance > 0.25) ++where[static_cast<int>(whereStray(segments, contoursOf(segments), stray))];
    }
    std::printf("%d glyphs: %d stray past a sheet pixel, %d past a quarter (one channel: %d); worst %.3f at U+%04X\n",
                glyphs, pastPixel, pastQuarter, onePastQuarter, worst, static_cast<unsigned>(worstAt));
    std::printf("past a quarter where one channel is not: %d; farther than one channel: %d\n", onlyMultiPastQuarter, fartherThanOne);
    std::printf("against the outline itself: %d stray past a sheet pixel, %d past a half, %d past a quarter (one channel: %d, %d, %d)\n",
                exactPast[0], exactPast[1], exactPast[2], oneExactPast[0], oneExactPast[1], oneExactPast[2]);
    std::printf("where they stray most: background between two contours less than a pixel apart %d, inside one contour %d; "
                "ink %d\n", where[0], where[1], where[2]);
    std::printf("CPU: outlines %.2f s; then multi-channel %.2f s, one-channel %.2f s; with the outlines %.2f times\n",
                outlineCpu, multiCpu, oneCpu, (outlineCpu + multiCpu) / (outlineCpu + oneCpu));
    return pastPixel == 0 ? 0 : 1;
}
