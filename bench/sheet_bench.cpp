// The sheet builder against the bare drawing of the same characters with QPainter.
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <benchmark/benchmark.h>

#include "bench_main.h"
#include "platform/font.h"
#include "platform/image.h"
#include "sheet/builder.h"
#include "sheet/grid.h"

using namespace karuvo;

namespace {

constexpr int kCharacters = 7000;
constexpr int kPerLine = 100;
constexpr int kCell = 32;

// The first 7000 CJK ideographs from U+4E00 that IPAGothic has, in lines of 100. (About
// half of the code points from U+4E00 on are not in it, and would all draw the same
// missing-glyph box.)
QString cjkText() {
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(24);
    const QRawFont face = QRawFont::fromFont(f);
    QString text;
    int count = 0;
    for (char16_t c = 0x4E00; c <= 0x9FFF && count < kCharacters; ++c) {
        if (!face.supportsCharacter(QChar(c))) continue;
        if (count > 0 && count % kPerLine == 0) text += u'\n';
        text += QChar(c);
        ++count;
    }
    return text;
}

SheetSettings cjkSettings(EffectKind effect) {
    SheetSettings s;
    s.text = cjkText();
    s.cellWidth = kCell;
    s.cellHeight = kCell;
    FontDescription d;
    d.height = -24;
    d.weight = 400;
    d.faceName = "IPAGothic";
    s.font = d;
    s.effect = effect;
    s.shadowDx = 2;
    s.shadowDy = 2;
    return s;
}

void BM_BuildSheet(benchmark::State& state, EffectKind effect) {
    const SheetSettings s = cjkSettings(effect);
    for (auto _ : state) {
        Sheet sheet = buildSheet(s);
        benchmark::DoNotOptimize(sheet.image.row(0));
    }
    state.SetItemsProcessed(state.iterations() * kCharacters);
}

// The same characters at the same positions, straight onto a same-size picture.
void BM_BareQPainter(benchmark::State& state) {
    const SheetSettings s = cjkSettings(EffectKind::None);
    const auto font = Font::create(*s.font);
    struct Placed {
        QString text;
        QPoint at;
    };
    std::vector<Placed> placed;
    const int ascent = font->metrics().ascent();
    for (const GridCell& c : gridCells(s.text)) {
        const CellPlacement p = placeInCell(c.column, c.row, kCell, kCell, font->measure(c.codePoint), 0, 0);
        placed.push_back({codePointText(c.codePoint), QPoint(p.mainX, p.mainY + ascent)});
    }
    const GridSize grid = scanGrid(s.text);
    for (auto _ : state) {
        QImage image(grid.columns * kCell, grid.rows * kCell, QImage::Format_RGB32);
        image.fill(0xff000000u);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(font->qfont());
        painter.setPen(Qt::white);
        for (const Placed& p : placed) painter.drawText(p.at, p.text);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kCharacters);
}

}  // namespace

BENCHMARK_CAPTURE(BM_BuildSheet, no_effect, EffectKind::None)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildSheet, shadow, EffectKind::Shadow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareQPainter)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    keepFreedPicturesForReuse();  // as the window does
    return runBenchmarks(argc, argv);
}
