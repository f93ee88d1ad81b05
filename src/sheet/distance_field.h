#pragma once

// Signed distance fields: a glyph's shape as each pixel's distance to its outline.

#include <QPointF>
#include <QRect>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/batch_draw.h"
#include "platform/font.h"
#include "platform/image.h"

namespace karuvo {

// The widest distance range a field may have, in pixels.
inline constexpr std::int32_t kMaxDistanceRange = 64;

// The room a field of `range` pixels takes beside a glyph on every side: half the
// range, rounded up.
inline std::int32_t fieldRoom(std::int32_t range) { return (range + 1) / 2; }

// One straight piece of an outline, in pixels.
struct FieldSegment {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// How far a flattened curve may stray from the outline, in pixels.
inline constexpr double kFieldFlatness = 1.0 / 32;

// The outline of the glyphs that draw `codePoint` alone with the pen at `pen` (on the
// baseline), from the face that draws it (a fallback face included), as closed
// contours of straight segments within kFieldFlatness of the curves. Unhinted: the
// face's own outline at the font's pixel size; for a character no installed face has,
// the outline of the missing-glyph box drawn for it. Empty for one with no outline (a space).
std::vector<FieldSegment> glyphSegments(const Font& font, char32_t codePoint, QPointF pen);

// The alpha of a distance field over a width x height region whose top-left corner is
// (0, 0), row after row: for the centre of each pixel, d is the Euclidean distance to
// the nearest segment, positive where the contours wind non-zero around it (inside),
// and alpha is round(255 * clamp(0.5 + d / range, 0, 1)). range is 1 to
// kMaxDistanceRange.
std::vector<std::uint8_t> distanceField(std::span<const FieldSegment> segments, std::int32_t range,
                                        std::int32_t width, std::int32_t height);

// A character whose field fills its cell.
struct FieldChar {
    PlacedChar at;  // the top-left corner of its box
    QRect cell;     // the cell it is cut to, on the sheet
    // For a character no installed face has: the pixels of the missing-glyph box drawn
    // for it, from its box's corner. Where no face's outline gives that box (a script no
    // face has), the painter draws it as a frame one pixel wide, and the field is made
    // from the frame's edges.
    QRect missingBox;
};

// Writes the fields of `chars` into `layer`, whose first row is row `top` of the sheet:
// each the field of its character's glyph (its pen at the box's left edge, on the
// ascent below the box's top) over the part of its cell within the layer, as a grey
// level; the rest of the layer is left alone. Cells must not overlap. Runs on up to
// `threads` threads.
void drawFields(const Font& font, std::span<const FieldChar> chars, std::int32_t range, Image& layer,
                std::int32_t top, int threads);

}  // namespace karuvo
