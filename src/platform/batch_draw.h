#pragma once

#include <cstdint>
#include <vector>

#include "colour.h"
#include "font.h"
#include "image.h"

namespace karuvo {

// One character to draw: the top-left corner of its box and its code point, and how
// far its ink may reach above or below its box (negative: not known).
struct PlacedChar {
    std::int32_t x = 0;
    std::int32_t y = 0;
    char32_t codePoint = 0;
    std::int32_t reach = -1;
};

// Whether the ink of `c`, drawn in a font of `lineHeight`, may touch rows top ..
// bottom - 1: its box widened by its reach, or, when that is not known, by three line
// heights and 16 pixels.
inline bool inkMayReach(const PlacedChar& c, std::int64_t lineHeight, std::int64_t top, std::int64_t bottom) {
    const std::int64_t reach = c.reach >= 0 ? c.reach : 3 * lineHeight + 16;
    return c.y + lineHeight + reach > top && std::int64_t{c.y} - reach < bottom;
}

// How many threads a batch of `count` characters is worth: 1 for small batches or a
// single core, otherwise the cores there are, at most 4. `requested` > 0 overrides it.
int batchThreads(std::size_t count, int requested = 0);

// The boxes of `codePoints`, each exactly what font.measure gives it, measured on up
// to `threads` threads (each with its own copy of the font).
std::vector<CharBox> measureChars(const Font& font, const std::vector<char32_t>& codePoints, int threads);

// One pass of drawing: characters in one colour onto one picture.
struct DrawPass {
    Image* target = nullptr;
    Colour colour = kBlack;
    const std::vector<PlacedChar>* chars = nullptr;
};

// Draws the passes one after another, each pass's characters in order in its colour
// with a transparent background, unclipped but for the picture's edges: the pixels are
// exactly those of drawing them one by one with DrawingContext::drawChar. Characters
// whose glyph is known without shaping (Font::loneGlyph) are drawn from it; when the
// passes draw each character one and a half times or more on average, each thread
// shapes each other code point once and draws from the glyphs it keeps. Every target
// must be as tall as the first. With threads > 1 the pictures are cut into horizontal
// bands, one a thread, each band running every pass in the same order with its own
// copy of the font (so its glyph cache serves all passes); a band draws every character
// whose ink may reach it (inkMayReach).
void drawPasses(const Font& font, const std::vector<DrawPass>& passes, int threads);

}  // namespace karuvo
