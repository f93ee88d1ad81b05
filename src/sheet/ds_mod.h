#pragma once

// The pixel surface: an off-screen picture usable both through bit-block transfers
// and as a plain array of pixel bytes.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/image.h"

namespace karuvo {

// A device-independent bitmap: `height` rows of `stride` bytes, row 0 at the bottom
// of the picture, rows padded to a multiple of 4 bytes; at 24 bits per pixel each
// pixel is blue, green, red. Owns its bytes, which start zero.
class DibSection {
public:
    // The sizes must be valid: `stride` x `height` bytes are allocated (std::bad_alloc
    // when memory runs out).
    DibSection(std::int32_t bitsPerPixel, std::int32_t width, std::int32_t height,
               std::int32_t stride);
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;

    std::int32_t bitsPerPixel() const { return bitsPerPixel_; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t stride() const { return stride_; }
    std::uint8_t* bits() { return bits_.get(); }
    const std::uint8_t* bits() const { return bits_.get(); }
    // The 256 colour-table entries (0x00RRGGBB) that travel with the bitmap; only
    // the first 2^bitsPerPixel count, and only at 8 bits per pixel or less.
    std::array<std::uint32_t, 256>& colourTable() { return colourTable_; }
    const std::array<std::uint32_t, 256>& colourTable() const { return colourTable_; }

private:
    std::int32_t bitsPerPixel_;
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t stride_;
    std::unique_ptr<std::uint8_t[]> bits_;
    std::array<std::uint32_t, 256> colourTable_{};
};

// A memory drawing context: bit-block transfers between the bitmap selected into it
// and a sheet picture. A new context has no bitmap selected.
class MemoryContext {
public:
    MemoryContext() = default;
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;

    // Selects a bitmap (not owned; may be null) and hands back the one selected before.
    DibSection* selectBitmap(DibSection* bitmap);
    DibSection* bitmap() const { return bitmap_; }

private:
    DibSection* bitmap_ = nullptr;
};

// Combines the w x h rectangle of the picture `src` at (sx, sy) into the bitmap
// selected into `dst` at (dx, dy); and the other way round. Coordinates count from
// the top-left corner in both (the bitmap's bottom-up rows are turned here). The
// rectangle is clipped to both sides. Throws Error(InvalidSize) when no 24-bit bitmap
// is selected.
void bitBlt(MemoryContext& dst, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h,
            const ImageView& src, std::int32_t sx, std::int32_t sy, RasterOp op);
void bitBlt(const ImageView& dst, std::int32_t dx, std::int32_t dy, std::int32_t w,
            std::int32_t h, const MemoryContext& src, std::int32_t sx, std::int32_t sy,
            RasterOp op);

// The pixel bytes of a 24-bit picture in bitmap order: `height` rows of `stride`
// bytes, row 0 at the bottom, blue, green, red per pixel. Not owning.
struct PixelRows {
    std::uint8_t* data = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;

    std::uint8_t* row(std::int32_t y) const { return data + std::ptrdiff_t{y} * stride; }
};

// An off-screen picture with a memory context, a bitmap selected into it and a byte
// mirror of the bitmap's pixels. Move-only; the drawing objects are released by
// DestroyPixelSurface or, at the latest, when the surface goes away. A default
// surface has no drawing objects and no pixels.
struct PixelSurface {
    std::unique_ptr<MemoryContext> MemDC;
    std::unique_ptr<DibSection> DIBSection;
    std::uint8_t* Bits = nullptr;       // the bitmap's bytes; null while there is no bitmap
    DibSection* OldBitmap = nullptr;    // selected into MemDC before DIBSection
    std::int32_t BitsPerPixel = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t Stride = 0;            // bytes per row, a multiple of 4
    std::vector<std::uint8_t> Pixels;   // Stride x Height bytes, bitmap order

    // Whether the drawing objects are alive (made and not yet destroyed).
    bool hasBitmap() const { return DIBSection != nullptr; }
    // `Pixels` as rows of a 24-bit picture.
    PixelRows pixelRows() { return {Pixels.data(), Width, Height, Stride}; }
};

// Bytes per row: ((width x bitsPerPixel - 1) \ 32 + 1) x 4, every step checked.
// Throws Error(Overflow) when a step leaves the signed 32-bit range.
std::int32_t surfaceStride(std::int32_t bitsPerPixel, std::int32_t width);

// Makes a surface of the given depth and size with `Pixels` zero-filled. At 8 bits
// per pixel or less the first 2^bitsPerPixel entries of `colourTable` go into the
// bitmap's colour table; otherwise `colourTable` is not read. Refused before anything
// is made: a width, height or depth below 1 and a table too short (Error(InvalidSize)),
// a size whose arithmetic overflows or a depth above 32767 (Error(Overflow)), bytes
// that do not fit in memory (Error(TooLarge)).
PixelSurface CreatePixelSurface(std::int32_t bitsPerPixel, std::int32_t width,
                                std::int32_t height,
                                std::span<const std::uint32_t> colourTable = {});

// Releases the surface's context and bitmap; `Pixels` and the sizes stay. Safe to
// call again, or on a default surface.
void DestroyPixelSurface(PixelSurface& surface);

// Copies the whole bitmap, row padding included, into `Pixels`; and back. Throw
// Error(InvalidSize) when the surface has no bitmap.
void ReadSurfacePixels(PixelSurface& surface);
void WriteSurfacePixels(PixelSurface& surface);

}  // namespace karuvo
