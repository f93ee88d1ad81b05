#pragma once

// Multi-channel distance fields cut to the cells of a sheet.

#include <span>

#include "sheet/distance_field.h"
#include "sheet/settings.h"

namespace karuvo {

// Writes the fields of `chars` into `layer` as drawFields writes one-channel fields,
// each pixel as 0xAARRGGBB: red, green and blue those of multiChannelField, alpha 255
// (type Msdf) or distanceField's level (Mtsdf). Pixels beyond the reach of every glyph's
// field are left alone, to be cleared first to black with the alpha of the far outside
// (255 for Msdf, 0 for Mtsdf).
void drawMultiChannelFields(const Font& font, std::span<const FieldChar> chars, FieldType type, std::int32_t range,
                            Image& layer, std::int32_t top, int threads);

}  // namespace karuvo
