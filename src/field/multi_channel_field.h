#pragma once

// Multi-channel distance fields: three channels that each measure the distance to the
// edges of their own colour, so that the median of the three keeps the outline's
// corners sharp when the field is drawn much larger than it was made.

#include <QRgb>
#include <cstdint>
#include <span>
#include <vector>

#include "sheet/distance_field.h"

namespace karuvo {

// The channels an edge's distance is kept in.
inline constexpr std::uint8_t kRedChannel = 1, kGreenChannel = 2, kBlueChannel = 4, kAllChannels = 7;

// One straight piece of an outline and the channels it counts in.
struct ColouredSegment {
    FieldSegment line;
    std::uint8_t channels = kAllChannels;
};

// The outline of the shape that `segments` fill (closed contours, non-zero winding, so
// strokes that overlap make one shape), as closed contours that do not cross, each
// segment with the filled side on its right going forward (y grows downward) and
// coloured by corners: where a contour turns sharply, the segments on either side share
// exactly one channel; a contour without corners is white. An edge is a longest run of
// one colour along its contour; edges that come within a pixel of each other differ in
// colour where the corners leave a choice.
std::vector<std::vector<ColouredSegment>> colouredOutline(std::span<const FieldSegment> segments);

// The field of the glyph outlined by `segments` over a width x height region whose
// top-left corner is (0, 0), row after row, as 0xAARRGGBB. For each pixel's centre and
// channel, d is the signed pseudo-distance to the nearest edge of colourOutline's
// outline that counts in the channel (positive inside; past an edge's end, the distance
// to the line of its end piece), and the level is round(255 * clamp(0.5 + d / range,
// 0, 1)). A channel with no such edge within (range + 1) / 2 holds 0 or 255 as the pixel
// lies outside or inside. Pixels whose channels would draw a false edge between them and
// a neighbour take the true signed distance in all three channels. Alpha is 255; range
// is 1 to kMaxDistanceRange.
std::vector<QRgb> multiChannelField(std::span<const FieldSegment> segments, std::int32_t range, std::int32_t width,
                                    std::int32_t height);

}  // namespace karuvo
