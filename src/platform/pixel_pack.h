#pragma once

// Rows of pixels between a picture's 32-bit words (0xffRRGGBB) and the three bytes a
// pixel (blue, green, red) of bitmap files and pixel surfaces.

#include <QRgb>
#include <cstdint>

namespace karuvo {

// The n pixels at `from` as 3n bytes at `to`; nothing past them is written.
void packBgr(const QRgb* from, std::uint8_t* to, std::int64_t n);

// The 3n bytes at `from` as n opaque pixels at `to`, or ORed into the pixels there when
// `orInto`; nothing past them is read.
void widenBgr(const std::uint8_t* from, QRgb* to, std::int64_t n, bool orInto);

}  // namespace karuvo
