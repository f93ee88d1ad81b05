// What the kerning scan adds to a sheet's build: each iteration builds the same sheet
// without and with the pairs, interleaved, and the counters give the time added (wall
// time, and the processor time of all threads, which a busy machine does not stretch)
// and its share of the plain build.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <optional>

#include "bench_main.h"
#include "platform/error.h"
#include "platform/font.h"
#include "sheet/builder.h"
#include "sheet/char_source.h"

using namespace karuvo;

namespace {

QString charsText(const char* list, const char* charset) {
    CodePointSet set;
    if (list) addCharList(QString::fromLatin1(list), set);
    if (charset) addCharset(QString::fromLatin1(charset), set);
    return textOf(set);
}

// Latin-1, Greek and Cyrillic: 597 code points.
constexpr const char* kEuropean = "U+0020-U+007E,U+00A0-U+00FF,U+0370-U+03FF,U+0400-U+04FF";

void BM_KerningScan(benchmark::State& state, const char* face, const char* list, const char* charset, int px) {
    // A face given by file is loaded for the benchmark's life, as karuvo-cli loads it.
    std::optional<FontFile> file;
    QString family = QString::fromLatin1(face);
    try {
        if (looksLikeFontPath(family)) family = file.emplace(family, 0).family();
    } catch (const Error& e) {
        state.SkipWithError(e.what());
        return;
    }
    SheetSettings s;
    s.text = charsText(list, charset);
    s.wrapColumns = 64;
    s.cellWidth = s.cellHeight = px * 2;
    s.font = FontDescription{.height = -px, .weight = 400, .faceName = family};
    double plain = 0, kerned = 0, plainCpu = 0, kernedCpu = 0;
    std::size_t pairs = 0;
    for (auto _ : state) {
        for (bool kerning : {false, true}) {
            s.findKerning = kerning;
            const auto start = std::chrono::steady_clock::now();
            const std::clock_t startCpu = std::clock();
            const Sheet sheet = buildSheet(s);
            (kerning ? kernedCpu : plainCpu) += double(std::clock() - startCpu) / CLOCKS_PER_SEC;
            (kerning ? kerned : plain) += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            pairs = sheet.kerning.size();
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["plain_ms"] = plain / n * 1e3;
    state.counters["added_ms"] = (kerned - plain) / n * 1e3;
    state.counters["added_share"] = (kerned - plain) / plain;
    state.counters["added_cpu_ms"] = (kernedCpu - plainCpu) / n * 1e3;
    state.counters["added_cpu_share"] = (kernedCpu - plainCpu) / plainCpu;
    state.counters["pairs"] = static_cast<double>(pairs);
}

}  // namespace

BENCHMARK_CAPTURE(BM_KerningScan, european_comfortaa, "Comfortaa", kEuropean, nullptr, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KerningScan, european_nimbus_sans, "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf",
                  kEuropean, nullptr, 32)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KerningScan, european_dejavu_sans, "DejaVu Sans", kEuropean, nullptr, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KerningScan, jis_x_0208_ipagothic, "IPAGothic", nullptr, "jis-x-0208", 24)->Unit(benchmark::kMillisecond);
// Its Greek and Cyrillic drawn by a face that kerns them, the rest by IPAGothic.
BENCHMARK_CAPTURE(BM_KerningScan, jis_x_0208_comfortaa, "Comfortaa", nullptr, "jis-x-0208", 24)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return runBenchmarks(argc, argv);
}
