#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "image.h"

namespace karuvo {

// The largest picture file that is decoded, in pixels (256 MiB of 32-bit pixels).
inline constexpr std::int64_t kMaxDecodedPixels = 64ll * 1024 * 1024;

// The file formats that loadPicture reads, as lower-case suffixes ("bmp", "png", ...),
// sorted, from the image readers the platform has.
QStringList readablePictureFormats();

// Loads a picture file of any readable format (bitmap, icon, GIF, JPEG, PNG, ...). The empty path gives an empty picture.
// A missing file, a folder, an unreadable, empty, truncated or undecodable file, and
// an image larger than kMaxDecodedPixels throw Error(Image) with a message naming
// the file.
Image loadPicture(const QString& path);

// The top-left width x height of `image` as an uncompressed 24-bit Windows bitmap
// file (bottom-up rows, blue-green-red, rows padded to 4 bytes). Throws
// Error(InvalidSize) for a region of no area and Error(TooLarge) when the file would
// exceed 4 GiB.
QByteArray encodeBmp24(const Image& image, std::int32_t width, std::int32_t height);

// Writes `bytes` to `path` through a temporary file in the same folder that is renamed
// over the target only when complete: a failed write leaves any existing file as it
// was and leaves no partial file behind. Throws Error(Io) naming the file.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// A file to write: where, and its whole contents.
struct FileContents {
    QString path;
    QByteArray bytes;
};

// Writes several files as one step: every file goes to its own temporary file first,
// and only when all of them are complete are they renamed over their targets, so a
// failure while writing leaves every existing file as it was. (A rename that fails
// after another has succeeded cannot be undone; renames within one folder do not
// fail in practice.) Throws Error(Io) naming the file that failed.
void writeFilesAtomically(const std::vector<FileContents>& files);

}  // namespace karuvo
