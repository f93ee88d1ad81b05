#include "batch_draw.h"

#include "parallel.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace karuvo {
namespace {

constexpr std::size_t kCharsPerThread = 256;  // below this a second thread does not pay
constexpr int kMaxThreads = kMaxParallel;

// Draws `chars` onto `image`, whose top row is row `top` of the whole picture.
void drawOnto(QImage& image, std::int32_t top, const Font& font, Colour colour,
              const std::vector<PlacedChar>& chars) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(QColor(toQRgb(colour & 0xFFFFFF)));
    painter.setFont(font.qfont());
    const int ascent = font.metrics().ascent();
    for (const PlacedChar& c : chars)
        painter.drawText(QPoint(c.x, c.y - top + ascent), codePointText(c.codePoint));
}

// Copies of `font` for threads 1 .. n - 1 (thread 0 uses `font` itself), made before
// any thread starts: a font object is used by one thread only.
std::vector<std::unique_ptr<Font>> fontsForThreads(const Font& font, int n) {
    std::vector<std::unique_ptr<Font>> fonts(static_cast<std::size_t>(n));
    for (int i = 1; i < n; ++i) fonts[static_cast<std::size_t>(i)] = font.copy();
    return fonts;
}

}  // namespace

int batchThreads(std::size_t count, int requested) {
    if (requested > 0) return std::min(requested, kMaxThreads);
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int worth = static_cast<int>(std::min<std::size_t>(count / kCharsPerThread, kMaxThreads));
    return std::max(1, std::min(cores, worth));
}

std::vector<CharBox> measureChars(const Font& font, const std::vector<char32_t>& codePoints, int threads) {
    std::vector<CharBox> boxes(codePoints.size());
    threads = std::clamp(threads, 1, kMaxThreads);
    if (threads == 1 || codePoints.size() < 2) {
        for (std::size_t i = 0; i < codePoints.size(); ++i) boxes[i] = font.measure(codePoints[i]);
        return boxes;
    }
    const std::size_t share = (codePoints.size() + threads - 1) / threads;
    const std::vector<std::unique_ptr<Font>> fonts = fontsForThreads(font, threads);
    runParallel(threads, [&](int t) {
        const std::size_t begin = std::min(codePoints.size(), share * static_cast<std::size_t>(t));
        const std::size_t end = std::min(codePoints.size(), begin + share);
        const Font& f = t == 0 ? font : *fonts[static_cast<std::size_t>(t)];
        for (std::size_t i = begin; i < end; ++i) boxes[i] = f.measure(codePoints[i]);
    });
    return boxes;
}

void drawPasses(const Font& font, const std::vector<DrawPass>& passes, int threads) {
    if (passes.empty() || passes.front().target->isEmpty()) return;
    const std::int32_t height = passes.front().target->height();
    threads = std::clamp(threads, 1, std::min(kMaxThreads, static_cast<int>(height)));
    if (threads == 1) {
        for (const DrawPass& pass : passes) drawOnto(pass.target->qimage(), 0, font, pass.colour, *pass.chars);
        return;
    }
    const std::int64_t lineHeight = font.metrics().height();
    // Taken before any thread starts: bits() may detach, which must not race.
    std::vector<uchar*> bits;
    for (const DrawPass& pass : passes) bits.push_back(pass.target->qimage().bits());
    const std::vector<std::unique_ptr<Font>> fonts = fontsForThreads(font, threads);
    // Pictures drawn one after another are often bands of one sheet, in order up or
    // down. Each call turns the bands round by one thread, so that with two threads the
    // one that drew the band at a picture's edge draws the band beside it in the next:
    // the characters that reach across are found in its own glyph cache.
    static std::atomic<unsigned> turn{0};
    const unsigned rotation = turn.fetch_add(1, std::memory_order_relaxed);
    runParallel(threads, [&](int t) {
        const int part = static_cast<int>((static_cast<unsigned>(t) + rotation) % static_cast<unsigned>(threads));
        const std::int32_t top = static_cast<std::int32_t>(std::int64_t{height} * part / threads);
        const std::int32_t bottom = static_cast<std::int32_t>(std::int64_t{height} * (part + 1) / threads);
        const Font& own = t == 0 ? font : *fonts[static_cast<std::size_t>(t)];
        std::vector<PlacedChar> mine;
        for (std::size_t i = 0; i < passes.size(); ++i) {
            const QImage& whole = passes[i].target->qimage();
            mine.clear();
            for (const PlacedChar& c : *passes[i].chars) {
                if (inkMayReach(c, lineHeight, top, bottom)) mine.push_back(c);
            }
            QImage band(bits[i] + whole.bytesPerLine() * top, whole.width(), bottom - top, whole.bytesPerLine(),
                        whole.format());
            drawOnto(band, top, own, passes[i].colour, mine);
        }
    });
}

}  // namespace karuvo
