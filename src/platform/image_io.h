#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "file_output.h"
#include "image.h"

namespace karuvo {

// The largest picture file that is decoded, in pixels (256 MiB of 32-bit pixels).
inline constexpr std::int64_t kMaxDecodedPixels = 64ll * 1024 * 1024;

// The file formats that loadPicture reads, as lower-case suffixes ("bmp", "png", ...),
// sorted, from the image readers the platform has.
QStringList readablePictureFormats();

// Loads a picture file of any readable format (bitmap, icon, GIF, JPEG, PNG, ...). The empty path gives an empty picture.
// A missing file, a folder, a pipe, socket or device (never opened), an unreadable,
// empty, truncated or undecodable file, and an image larger than kMaxDecodedPixels
// (with kPictureTooLarge as its source) throw Error(Image) with a message naming the
// file and carrying what the decoder said.
Image loadPicture(const QString& path);

// The marked text of loadPicture's error for an image of too many pixels: %1 the path,
// %2 x %3 its size, %4 kMaxDecodedPixels.
extern const char* const kPictureTooLarge;

// The top-left width x height of `image` as an uncompressed 24-bit Windows bitmap
// file (bottom-up rows, blue-green-red, rows padded to 4 bytes). Throws
// Error(InvalidSize) for a region of no area and Error(TooLarge) when the file would
// exceed 4 GiB.
QByteArray encodeBmp24(const Image& image, std::int32_t width, std::int32_t height);

// The same file for the w x h region at (x, y) of `image`, put through `put` a row at
// a time instead of held whole; false when `put` was. Throws as encodeBmp24, and
// Error(InvalidSize) for a region outside the picture, before anything is put.
bool writeBmp24(const Image& image, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                const ByteSink& put);

// The same file in parts, for a picture made a band at a time: the header of a file of
// width x height, then the rows of each band, the bottom band first, each band's rows
// (the w x h region at (x, y) of `image`) bottom-up. Throw as writeBmp24.
bool putBmp24Header(std::int32_t width, std::int32_t height, const ByteSink& put);
bool putBmp24Rows(const Image& image, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  const ByteSink& put);

}  // namespace karuvo
