#include "coverage_shading.h"

#include <array>
#include <memory>
#include <vector>

#include "platform/batch_draw.h"
#include "platform/parallel.h"

namespace karuvo {
namespace {

// The painter's product of the four bytes of x with a coverage a, each rounded as it
// rounds them.
std::uint32_t timesCoverage(std::uint32_t x, std::uint32_t a) {
    std::uint32_t t = (x & 0xff00ffu) * a;
    t = ((t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    x = ((x >> 8) & 0xff00ffu) * a;
    x = (x + ((x >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return x | t;
}

// Colour c drawn with coverage a over black.
QRgb colourOverBlack(Colour c, std::uint32_t a) {
    return 0xff000000u | (timesCoverage(toQRgb(c & 0xFFFFFF), a) & 0xffffffu);
}

// Black drawn with coverage a over d.
QRgb blackOver(QRgb d, std::uint32_t a) { return 0xff000000u | (timesCoverage(d, 255 - a) & 0xffffffu); }

}  // namespace

void shadeFromCoverage(Image& out, std::int32_t top, const Image& cover, std::int32_t coverTop,
                       const CoverageShade& shade, Image* shadowOut) {
    std::array<QRgb, 256> glyph;
    for (std::uint32_t a = 0; a < 256; ++a) glyph[a] = colourOverBlack(shade.glyph, a);
    // The shadow's pixel for each pair of shadow and glyph coverage: the shadow drawn,
    // then cut out under the glyph.
    std::unique_ptr<std::array<QRgb, 256 * 256>> shadow;
    if (shade.shadow) {
        shadow = std::make_unique<std::array<QRgb, 256 * 256>>();
        for (std::uint32_t s = 0; s < 256; ++s) {
            const QRgb drawn = colourOverBlack(shade.shadowColour, s);
            for (std::uint32_t a = 0; a < 256; ++a) (*shadow)[s * 256 + a] = blackOver(drawn, a);
        }
    }
    const std::int32_t width = out.width();
    forRowBands(0, out.height(), width, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t row = first; row < last; ++row) {
            const std::int32_t y = top + static_cast<std::int32_t>(row);
            QRgb* to = out.row(static_cast<std::int32_t>(row));
            const auto coverRow = [&](std::int64_t sheetY) -> const QRgb* {
                const std::int64_t r = sheetY - coverTop;
                return r >= 0 && r < cover.height() ? cover.row(static_cast<std::int32_t>(r)) : nullptr;
            };
            const QRgb* a = coverRow(y);
            if (!shadow) {
                for (std::int32_t x = 0; x < width; ++x) to[x] = a ? glyph[a[x] & 0xffu] : glyph[0];
                continue;
            }
            const QRgb* s = coverRow(std::int64_t{y} - shade.dy);
            // Columns whose shadow coverage lies within the picture: x - dx in 0 .. width - 1.
            const std::int32_t from = std::clamp<std::int64_t>(shade.dx, 0, width);
            const std::int32_t until = std::clamp<std::int64_t>(std::int64_t{width} + shade.dx, 0, width);
            QRgb* apart = shadowOut ? shadowOut->row(static_cast<std::int32_t>(row)) : nullptr;
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint32_t g = a ? a[x] & 0xffu : 0;
                const std::uint32_t under = s && x >= from && x < until ? s[x - shade.dx] & 0xffu : 0;
                if (apart) {
                    to[x] = glyph[g];
                    apart[x] = (*shadow)[under * 256 + g];
                } else {
                    to[x] = glyph[g] | (*shadow)[under * 256 + g];
                }
            }
        }
    });
}

bool painterFollowsCoverageRules(const Font& font, char32_t sample) {
    const std::int32_t side = 3 * std::max(font.metrics().height(), 8);
    const std::vector<PlacedChar> at{{side / 3, side / 3, sample}};
    Image white(side, side), coloured(side, side), cut(side, side);
    for (std::int32_t y = 0; y < side; ++y)
        for (std::int32_t x = 0; x < side; ++x) cut.setPixel(x, y, qRgb(x * 37 + y, y * 53 + 7 * x, (x ^ y) * 29));
    const Image pattern = cut;
    const Colour colour = colourFromRgb(200, 30, 90);
    drawPasses(font, {{&white, kWhite, &at}, {&coloured, colour, &at}, {&cut, kBlack, &at}}, 1);
    bool inked = false;
    for (std::int32_t y = 0; y < side; ++y) {
        for (std::int32_t x = 0; x < side; ++x) {
            const std::uint32_t a = white.pixel(x, y) & 0xffu;
            inked = inked || (a > 0 && a < 255);
            if (coloured.pixel(x, y) != colourOverBlack(colour, a)) return false;
            if (cut.pixel(x, y) != (a == 0 ? pattern.pixel(x, y) : blackOver(pattern.pixel(x, y), a))) return false;
        }
    }
    return inked || font.description().quality == kNonAntialiasedQuality;
}

}  // namespace karuvo
