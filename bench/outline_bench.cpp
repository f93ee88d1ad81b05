// The outline ring pass against the direct disk search and against a plain copy of
// the sheet's bytes, on 4096 x 4096 sheets of CJK text in 32 x 32 cells (24 px and 28 px
// glyphs) and on a sparse one with a few dozen glyphs, at radius 1, 5 and 10. Ratios are printed at
// the end, all taken from this one run. The direct search takes seconds on the sparse
// sheet at the larger radii, so it runs once per case, on the whole sheet.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/font.h"
#include "sheet/ds_mod.h"
#include "sheet/outline.h"
#include "support/outline_oracle.h"

using namespace karuvo;

namespace {

constexpr std::int32_t kSide = 4096;
constexpr std::int32_t kCell = 32;

// The cleaned pixel bytes of a sheet, as the ring pass receives them.
struct SheetBytes {
    std::int32_t stride = 0;
    std::vector<std::uint8_t> bytes;
};

// The sheets: CJK text at 24 px in every cell (as in the builder benchmark), the same at
// 28 px (more ink, so the direct search finds a glyph sooner), and a few dozen glyphs.
enum SheetKind { kDense, kDenseInky, kSparse };

SheetBytes drawSheet(SheetKind kind) {
    const bool dense = kind != kSparse;
    FontDescription d;
    d.height = kind == kDenseInky ? -28 : -24;
    d.faceName = QStringLiteral("IPAGothic");
    const std::unique_ptr<Font> font = Font::create(d);
    Image sheet(kSide, kSide);
    {
        DrawingContext dc(&sheet, font.get());
        dc.setBackgroundMode(BackgroundMode::Transparent);
        dc.setTextColour(kWhite);
        const std::int32_t cells = kSide / kCell;
        char32_t next = 0x4E00;  // the common ideographs, in turn
        std::mt19937 rng(5);
        for (std::int32_t row = 0; row < cells; ++row) {
            for (std::int32_t col = 0; col < cells; ++col) {
                // Sparse: one glyph in each 512 x 512 block, somewhere inside it.
                if (!dense && (row % 16 != 0 || col % 16 != 0)) continue;
                const std::int32_t x = col * kCell + (dense ? 0 : std::int32_t(rng() % 480));
                const std::int32_t y = row * kCell + (dense ? 0 : std::int32_t(rng() % 480));
                const CharBox box = dc.measureChar(next);
                dc.drawChar(x + (kCell - box.width) / 2, y + (kCell - box.height) / 2, next);
                if (++next > 0x9FA0) next = 0x4E00;
            }
        }
        dc.flush();
    }
    PixelSurface s = CreatePixelSurface(24, kSide, kSide);
    bitBlt(*s.MemDC, 0, 0, kSide, kSide, sheet.view(), 0, 0, RasterOp::SrcCopy);
    ReadSurfacePixels(s);
    cleanGlyphs(s.pixelRows(), kWhite);
    return {s.Stride, std::move(s.Pixels)};
}

const SheetBytes& sheetBytes(SheetKind kind) {
    static const SheetBytes sheets[] = {drawSheet(kDense), drawSheet(kDenseInky), drawSheet(kSparse)};
    return sheets[kind];
}

// Work bytes for one benchmark, reset from the sheet outside the timed part.
void runPass(benchmark::State& state, SheetKind dense, bool direct) {
    const std::int32_t radius = std::int32_t(state.range(0));
    const SheetBytes& src = sheetBytes(dense);
    std::vector<std::uint8_t> work(src.bytes);
    const PixelRows rows{work.data(), kSide, kSide, src.stride};
    std::size_t ink = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), src.bytes.data(), work.size());
        state.ResumeTiming();
        if (direct) {
            oracle::ring(rows, kWhite, 0x0000FF, radius);
        } else {
            buildRing(rows, kWhite, 0x0000FF, radius);
        }
        benchmark::DoNotOptimize(work.data());
    }
    for (std::int32_t y = 0; y < kSide; ++y)
        for (std::int32_t x = 0; x < kSide; ++x) ink += rows.row(y)[3 * x + 2] != 0;
    state.counters["ring_pixels"] = double(ink);
}

void BM_Ring(benchmark::State& state, SheetKind dense) { runPass(state, dense, false); }
void BM_Direct(benchmark::State& state, SheetKind dense) { runPass(state, dense, true); }

void BM_Memcpy(benchmark::State& state, SheetKind dense) {
    const SheetBytes& src = sheetBytes(dense);
    std::vector<std::uint8_t> work(src.bytes.size());
    for (auto _ : state) {
        std::memcpy(work.data(), src.bytes.data(), src.bytes.size());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
}

// Keeps the real (wall) time per iteration of every run for the ratios: the ring pass
// works a large sheet on two threads where there are two cores, so the processor time
// of the timing thread would leave out half of its work.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration) seconds_[r.benchmark_name()] = r.real_accumulated_time / double(r.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    double at(const std::string& name) const {
        auto it = seconds_.find(name);
        return it == seconds_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace

BENCHMARK_CAPTURE(BM_Memcpy, dense, kDense)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Memcpy, dense28, kDenseInky)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Memcpy, sparse, kSparse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Ring, dense, kDense)->Arg(1)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Ring, dense28, kDenseInky)->Arg(1)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Ring, sparse, kSparse)->Arg(1)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Direct, dense, kDense)->Arg(1)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_Direct, dense28, kDenseInky)->Arg(1)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_Direct, sparse, kSparse)->Arg(1)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    sheetBytes(kDense);  // draw every sheet before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nRatios of real time (the ring pass may use two threads):\n");
    for (const char* sheet : {"dense", "dense28", "sparse"}) {
        const double copy = reporter.at(std::string("BM_Memcpy/") + sheet + "/real_time");
        for (int r : {1, 5, 10}) {
            const std::string run = std::string(sheet) + "/" + std::to_string(r);
            const double ring = reporter.at("BM_Ring/" + run + "/real_time");
            const double direct = reporter.at("BM_Direct/" + run + "/iterations:1/real_time");
            if (ring <= 0 || copy <= 0) continue;
            // The last figure bounds what any pass that reads and writes every byte
            // of the sheet once can reach against the direct search.
            std::printf("  %-6s r=%-2d  ring %6.2f ms = %4.2f x memcpy (%.2f ms); direct search %7.1f ms"
                        " = %5.0f x ring, %5.1f x memcpy\n",
                        sheet, r, ring * 1e3, ring / copy, copy * 1e3, direct * 1e3, direct / ring, direct / copy);
        }
    }
    benchmark::Shutdown();
    return 0;
}
