// A small paged run over the descriptor of an earlier run that claims 2,000,000 pages:
// the pages are looked for in the folder, so the run costs what is there. Arg: how many
// earlier pages past the run's own the folder holds (0, or 2 named by the descriptor,
// which is then read whole). The counter gives the pages looked up.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "bench_main.h"
#include "export/outputs.h"
#include "platform/font.h"

using namespace karuvo;

namespace {

void BM_ThreePagesOverAnOldDescriptor(benchmark::State& state) {
    QTemporaryDir dir;
    QByteArray old = "info face=\"A\" size=12\ncommon lineHeight=8 base=6 scaleW=8 scaleH=8 pages=2000000 packed=0\n";
    for (int k = 0; k < 2000000; ++k) old += "page id=" + QByteArray::number(k) + " file=\"x_" + QByteArray::number(k) + ".png\"\n";
    const std::unique_ptr<Font> font = Font::createDefaultSheetFont();
    OutputRequest r;
    r.font = font.get();
    r.settings.text = QStringLiteral("A\nB\nC");
    r.plan.outputPath = dir.filePath("x.png");
    r.plan.maxPageSide = 16;
    r.plan.fntPath = dir.filePath("x.fnt");
    std::int64_t lookedUp = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile fnt(r.plan.fntPath);
        if (!fnt.open(QIODevice::WriteOnly) || fnt.write(old) != old.size()) state.SkipWithError("cannot write the descriptor");
        fnt.close();
        for (std::int64_t k = 3; k < 3 + state.range(0); ++k) QFile(dir.filePath(QStringLiteral("x_%1.png").arg(k))).open(QIODevice::WriteOnly);
        state.ResumeTiming();
        lookedUp = writeOutputs(r).pagesLookedUp;
    }
    state.counters["looked_up"] = static_cast<double>(lookedUp);
}
BENCHMARK(BM_ThreePagesOverAnOldDescriptor)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks(argc, argv); }
