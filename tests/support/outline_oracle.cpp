#include "outline_oracle.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace karuvo::oracle {

namespace {

bool hasColour(const std::uint8_t* p, Colour c) {
    return p[0] == blueOf(c) && p[1] == greenOf(c) && p[2] == redOf(c);
}

void setColour(std::uint8_t* p, Colour c) {
    p[0] = static_cast<std::uint8_t>(blueOf(c));
    p[1] = static_cast<std::uint8_t>(greenOf(c));
    p[2] = static_cast<std::uint8_t>(redOf(c));
}

}  // namespace

void cleanGlyphs(const PixelRows& px, Colour glyphColour) {
    for (std::int32_t y = 0; y < px.height; ++y)
        for (std::int32_t x = 0; x < px.width; ++x)
            if (!hasColour(px.row(y) + 3 * x, kBlack)) setColour(px.row(y) + 3 * x, glyphColour);
}

void ring(const PixelRows& px, Colour glyphColour, Colour outlineColour, std::int32_t r) {
    std::int32_t halfWidths[11] = {};
    for (std::int32_t d = 0; d <= r; ++d)
        halfWidths[d] = static_cast<std::int32_t>(std::lround(std::sqrt(double(r * r - d * d))));

    std::vector<std::uint8_t> marked(static_cast<std::size_t>(px.width) * px.height, 0);
    auto at = [&](std::int32_t y, std::int32_t x) { return px.row(y) + 3 * x; };
    auto isMarked = [&](std::int32_t y, std::int32_t x) {
        return marked[static_cast<std::size_t>(y) * px.width + x];
    };

    for (std::int32_t y = 0; y < px.height; ++y) {
        for (std::int32_t x = 0; x < px.width; ++x) {
            if (!hasColour(at(y, x), kBlack)) continue;
            bool found = false;
            for (std::int32_t v = y - r; v <= y + r && !found; ++v) {
                if (v < 0 || v >= px.height) continue;
                const std::int32_t h = halfWidths[std::abs(y - v)];
                for (std::int32_t u = x - h; u <= x + h; ++u) {
                    if (u < 0 || u >= px.width) continue;
                    if (!isMarked(v, u) && hasColour(at(v, u), glyphColour)) {
                        found = true;
                        break;
                    }
                }
            }
            if (found) {
                setColour(at(y, x), outlineColour);
                marked[static_cast<std::size_t>(y) * px.width + x] = 1;
            }
        }
    }

    for (std::int32_t y = 0; y < px.height; ++y)
        for (std::int32_t x = 0; x < px.width; ++x)
            if (!isMarked(y, x) && hasColour(at(y, x), glyphColour)) setColour(at(y, x), kBlack);
}

}  // namespace karuvo::oracle
