#pragma once

#include <QRgb>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace karuvo {

// A colour laid out 0x00BBGGRR: red in the low byte, blue in the third.
using Colour = std::uint32_t;

inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kBlack = 0;

inline constexpr int redOf(Colour c) { return static_cast<int>(c & 0xFF); }
inline constexpr int greenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int blueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
inline constexpr Colour colourFromRgb(int r, int g, int b) {
    return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// The opaque Qt pixel value of a colour (only its low 24 bits count).
inline constexpr QRgb toQRgb(Colour c) { return qRgb(redOf(c), greenOf(c), blueOf(c)); }
inline constexpr Colour fromQRgb(QRgb p) { return colourFromRgb(qRed(p), qGreen(p), qBlue(p)); }

// The read-out of a colour: upper-case hexadecimal digits, no prefix, no leading
// zeros (white "FFFFFF", pure red "FF", black "0").
QString colourReadout(Colour c);

// Reads a read-out back: the leading hexadecimal digits of the caption, either case,
// as a signed 32-bit value; reading stops at the first other character; no leading
// digit gives 0. More than eight digits throw Error(Overflow).
std::int32_t readColourCaption(QStringView caption);

}  // namespace karuvo
