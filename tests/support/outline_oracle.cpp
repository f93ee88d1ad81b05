#include "outline_oracle.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace karuvo::oracle {

static bool hasColour(const std::uint8_t* p, Colour c) {
    return p[0] == blueOf(c) && p[1] == greenOf(c) && p[2] == redOf(c);
}

static void setColour(std::uint8_t* p, Colour c) {
    p[0] = std::uint8_t(blueOf(c)), p[1] = std::uint8_t(greenOf(c)), p[2] = std::uint8_t(redOf(c));
}

void cleanGlyphs(const PixelRows& px, Colour glyphColour) {
    for (std::int32_t i = 0; i < px.width * px.height; ++i)
        if (std::uint8_t* p = px.row(i / px.width) + 3 * (i % px.width); !hasColour(p, kBlack)) setColour(p, glyphColour);
}

void ring(const PixelRows& px, Colour glyphColour, Colour outlineColour, std::int32_t r) {
    std::int32_t halfWidths[11] = {};
    for (std::int32_t d = 0; d <= r; ++d) halfWidths[d] = std::int32_t(std::lround(std::sqrt(double(r * r - d * d))));
    std::vector<std::uint8_t> marked(std::size_t(px.width) * px.height, 0);
    auto at = [&](std::int32_t y, std::int32_t x) { return px.row(y) + 3 * x; };
    auto isGlyph = [&](std::int32_t y, std::int32_t x) {
        return !marked[std::size_t(y) * px.width + x] && hasColour(at(y, x), glyphColour);
    };
    auto foundInDisk = [&](std::int32_t y, std::int32_t x) {
        for (std::int32_t v = std::max(0, y - r); v <= std::min(px.height - 1, y + r); ++v)
            for (std::int32_t h = halfWidths[std::abs(y - v)], u = std::max(0, x - h); u <= std::min(px.width - 1, x + h); ++u)
                if (isGlyph(v, u)) return true;
        return false;
    };
    for (std::int32_t y = 0; y < px.height; ++y)
        for (std::int32_t x = 0; x < px.width; ++x)
            if (hasColour(at(y, x), kBlack) && foundInDisk(y, x)) setColour(at(y, x), outlineColour), marked[std::size_t(y) * px.width + x] = 1;
    for (std::int32_t i = 0; i < px.width * px.height; ++i)
        if (isGlyph(i / px.width, i % px.width)) setColour(at(i / px.width, i % px.width), kBlack);
}

}  // namespace karuvo::oracle
