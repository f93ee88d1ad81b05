#pragma once

// The outline effect: glyph pixels cleaned to one colour, and a ring of a given
// radius laid around them on a separate layer that is ORed onto the sheet last.

#include <QStringView>
#include <array>
#include <cstdint>

#include "platform/colour.h"
#include "platform/image.h"
#include "sheet/ds_mod.h"

namespace karuvo {

inline constexpr std::int32_t kMaxOutlineRadius = 10;

// The radius typed into the outline-radius box.
struct OutlineRadius {
    std::int32_t radius = 0;   // 0 to 10
    bool replaceText = false;  // the box does not hold a number and must show "0"
};
// A text that is not a number gives radius 0 and asks for "0" in the box; a number is
// rounded to the nearest whole number (halves to even) and held within 0 to 10; the
// box keeps such a text as typed.
OutlineRadius readOutlineRadius(QStringView text);

// Half-widths of the outline disk: entry d (0 <= d <= radius) is sqrt(radius^2 - d^2)
// rounded to the nearest whole number; entries above the radius are 0 and unused. The
// disk is every offset (dy, dx) with |dy| <= radius and |dx| <= entry |dy|. The radius
// is held within 0 to 10.
using HalfWidthTable = std::array<std::int32_t, kMaxOutlineRadius + 1>;
HalfWidthTable HalfWidths(std::int32_t radius);

// What the outline is made of. Only the low 24 bits of a colour count.
struct OutlineStyle {
    Colour glyphColour = kWhite;    // the fill colour, or white for a texture fill
    Colour outlineColour = kWhite;
    std::int32_t radius = 0;        // held within 0 to 10
};

// Gives every pixel that is not black exactly the glyph colour. Row padding is left alone.
void cleanGlyphs(const PixelRows& pixels, Colour glyphColour);

// The ring pass on cleaned pixels (each black or the glyph colour): afterwards the
// pixels that were black and have a glyph pixel within the disk of `radius` hold the
// outline colour, and every other pixel is black. With a black glyph colour every
// pixel is a glyph pixel, so the whole picture takes the outline colour. Disk points
// outside the picture are skipped. Row padding is left alone. A large picture is worked
// in two bands on two threads where the processor has two cores.
void buildRing(const PixelRows& pixels, Colour glyphColour, Colour outlineColour,
               std::int32_t radius);

// The pixel work of the outline on a 24-bit surface holding the sheet as drawn (the
// same size as `sheet`): cleans the glyphs and copies the cleaned picture into `sheet`,
// then leaves the ring in the surface's bitmap on black. The surface stays alive.
// Throws Error(InvalidSize) for a surface that is not a live 24-bit one.
void ApplyGlyphEffects(PixelSurface& surface, Image& sheet, const OutlineStyle& style);

// Outline hand-off, after every glyph is drawn and before texture or shadow: makes a
// surface the size of the sheet, copies the sheet into it and applies the glyph
// effects. A sheet of no area gets no outline: the surface handed back has no bitmap.
// Drawing into `sheet` must have been flushed.
PixelSurface outlineHandOff(Image& sheet, const OutlineStyle& style);

// Outline compositing, last step of a build: ORs the surface's ring onto the sheet and
// destroys the surface. A surface without a bitmap changes nothing.
void outlineCompositing(Image& sheet, PixelSurface& surface);

}  // namespace karuvo
