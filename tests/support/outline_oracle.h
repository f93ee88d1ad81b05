#pragma once

// The outline's pixel work done the slow, direct way, as a reference for the
// shipped pass: a search of the disk around every black pixel.

#include <cstdint>

#include "platform/colour.h"
#include "sheet/ds_mod.h"

namespace karuvo::oracle {

// Every pixel that is not black gets the glyph colour.
void cleanGlyphs(const PixelRows& pixels, Colour glyphColour);

// In place, rows from 0 upward and columns left to right: a black pixel takes the
// outline colour when the first glyph-coloured pixel found in its disk (searched row
// by row) exists. Pixels given the outline colour are marked in a side array and never
// count as glyph pixels, whatever their colour. Then every unmarked glyph-coloured
// pixel becomes black.
void ring(const PixelRows& pixels, Colour glyphColour, Colour outlineColour, std::int32_t radius);

}  // namespace karuvo::oracle
