#pragma once

// Sheets worked out from where their glyphs cover, for glyphs whose ink never overlaps.
// The painter draws a glyph of colour c with coverage a over black as c x a, and black
// with coverage a over a pixel d as d x (255 - a), each channel's product rounded as it
// rounds them; so one drawing of the glyphs in white gives what drawing them in their
// colour, their shadow and the shadow's cut-out would.

#include <cstdint>

#include "platform/colour.h"
#include "platform/font.h"
#include "platform/image.h"

namespace karuvo {

// Every pixel of rows top .. top + out.height() - 1 of the sheet: the glyph colour at the
// coverage there, and, with a shadow, ORed with the shadow colour at the coverage dx, dy
// back, cut out where the glyphs cover. `cover` holds the coverage (white glyphs on
// black, any channel) of the sheet's rows coverTop .. coverTop + cover.height() - 1,
// and must hold every row that is read; elsewhere the coverage is taken to be 0. Given
// `shadowOut` (as large as `out`), the shadow goes there instead of into `out`.
struct CoverageShade {
    Colour glyph = kWhite;
    bool shadow = false;
    Colour shadowColour = kBlack;
    std::int32_t dx = 0, dy = 0;
};
void shadeFromCoverage(Image& out, std::int32_t top, const Image& cover, std::int32_t coverTop,
                       const CoverageShade& shade, Image* shadowOut = nullptr);

// Whether the painter draws as those rules say here, tried on `sample` drawn with `font`:
// in white, in a colour over black, and in black over a patterned picture.
bool painterFollowsCoverageRules(const Font& font, char32_t sample);

}  // namespace karuvo
