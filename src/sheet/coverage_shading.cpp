#include "coverage_shading.h"

#include <algorithm>
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
    // Columns whose shadow coverage lies within the picture: x - dx in 0 .. width - 1.
    const std::int32_t from = static_cast<std::int32_t>(std::clamp<std::int64_t>(shade.dx, 0, width));
    const std::int32_t until = static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{width} + shade.dx, 0, width));
    const auto coverRow = [&](std::int64_t sheetY) -> const QRgb* {
        const std::int64_t r = sheetY - coverTop;
        return r >= 0 && r < cover.height() ? cover.row(static_cast<std::int32_t>(r)) : nullptr;
    };
    forRowBands(0, out.height(), width, [&](std::int64_t first, std::int64_t last) {
        const std::vector<QRgb> none(static_cast<std::size_t>(width), 0);
        for (std::int64_t row = first; row < last; ++row) {
            const std::int64_t y = top + row;
            QRgb* to = out.row(static_cast<std::int32_t>(row));
            const QRgb* a = coverRow(y);
            if (!a) a = none.data();
            if (!shadow) {
                for (std::int32_t x = 0; x < width; ++x) to[x] = glyph[a[x] & 0xffu];
                continue;
            }
            const QRgb* s = coverRow(y - shade.dy);
            QRgb* apart = shadowOut ? shadowOut->row(static_cast<std::int32_t>(row)) : to;
            const QRgb* cut = shadow->data();
            // Left and right of the shadow's columns, and rows without shadow coverage:
            // the shadow coverage is 0 there.
            const std::int32_t shadowFrom = s ? from : width, shadowUntil = s ? until : width;
            const auto plain = [&](std::int32_t x0, std::int32_t x1) {
                for (std::int32_t x = x0; x < x1; ++x) {
                    const std::uint32_t g = a[x] & 0xffu;
                    const QRgb under = cut[g];
                    if (shadowOut) {
                        to[x] = glyph[g];
                        apart[x] = under;
                    } else {
                        to[x] = glyph[g] | under;
                    }
                }
            };
            plain(0, shadowFrom);
            if (shadowOut) {
                for (std::int32_t x = shadowFrom; x < shadowUntil; ++x) {
                    const std::uint32_t g = a[x] & 0xffu;
                    to[x] = glyph[g];
                    apart[x] = cut[(s[x - shade.dx] & 0xffu) << 8 | g];
                }
            } else {
                for (std::int32_t x = shadowFrom; x < shadowUntil; ++x) {
                    const std::uint32_t g = a[x] & 0xffu;
                    to[x] = glyph[g] | cut[(s[x - shade.dx] & 0xffu) << 8 | g];
                }
            }
            plain(std::max(shadowFrom, shadowUntil), width);
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
