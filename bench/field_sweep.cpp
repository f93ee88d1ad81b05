// Every character of JIS X 0208 (or every Nth: field_sweep N) in IPAGothic at 32 px,
// range 4: the multi-channel field drawn four times larger through the median against a
// plain drawing at 128 px, counting the glyphs that stray more than a sheet pixel and
// more than a quarter of one from the outline (the one-channel field's count beside
// it, and how many stray past a quarter where the one-channel field does not, or stray
// farther than it does at all), and the CPU time of both fields made from the same outlines.

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "sheet/char_source.h"
#include "support/field_drawing.h"

using namespace karuvo;

namespace {

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

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
    }
    std::printf("%d glyphs: %d stray past a sheet pixel, %d past a quarter (one channel: %d); worst %.3f at U+%04X\n",
                glyphs, pastPixel, pastQuarter, onePastQuarter, worst, static_cast<unsigned>(worstAt));
    std::printf("past a quarter where one channel is not: %d; farther than one channel: %d\n", onlyMultiPastQuarter, fartherThanOne);
    std::printf("CPU: outlines %.2f s; then multi-channel %.2f s, one-channel %.2f s; with the outlines %.2f times\n",
                outlineCpu, multiCpu, oneCpu, (outlineCpu + multiCpu) / (outlineCpu + oneCpu));
    return pastPixel == 0 ? 0 : 1;
}
