#include "ds_mod.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "platform/checked.h"
#include "platform/error.h"
#include "platform/pixel_pack.h"
#include "platform/parallel.h"

namespace karuvo {

namespace {

std::string sizeText(std::int32_t bitsPerPixel, std::int32_t width, std::int32_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels at " +
           std::to_string(bitsPerPixel) + " bits per pixel";
}

// The rectangle of a transfer after clipping to both sides, in destination
// coordinates; the source pixel of destination (x, y) is (x + offX, y + offY).
struct Clip {
    std::int64_t x0, y0, x1, y1, offX, offY;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
};

Clip clipTransfer(std::int32_t dstW, std::int32_t dstH, std::int32_t dx, std::int32_t dy,
                  std::int32_t w, std::int32_t h, std::int32_t srcW, std::int32_t srcH,
                  std::int32_t sx, std::int32_t sy) {
    Clip c;
    c.offX = std::int64_t{sx} - dx;
    c.offY = std::int64_t{sy} - dy;
    c.x0 = std::max<std::int64_t>({dx, 0, -c.offX});
    c.y0 = std::max<std::int64_t>({dy, 0, -c.offY});
    c.x1 = std::min<std::int64_t>({std::int64_t{dx} + w, dstW, srcW - c.offX});
    c.y1 = std::min<std::int64_t>({std::int64_t{dy} + h, dstH, srcH - c.offY});
    return c;
}

DibSection& transferBitmap(const MemoryContext& context) {
    DibSection* b = context.bitmap();
    if (!b || b->bitsPerPixel() != 24) {
        throw Error(ErrorKind::InvalidSize,
                    "A bit-block transfer needs a 24-bit bitmap in the memory context");
    }
    return *b;
}

// Row of a bitmap counted from the top of the picture.
std::uint8_t* topDownRow(DibSection& b, std::int64_t y) {
    return b.bits() + (b.height() - 1 - y) * std::int64_t{b.stride()};
}

constexpr QRgb combine(QRgb d, QRgb s, RasterOp op) {
    switch (op) {
    case RasterOp::Blackness: return 0;
    case RasterOp::SrcCopy: return s;
    case RasterOp::SrcAnd: return d & s;
    case RasterOp::SrcPaint: return d | s;
    }
    return s;
}

// Calls f with the operation as a compile-time constant, so that each operation gets a
// loop of its own with nothing to decide per pixel.
template <class F>
void withOp(RasterOp op, F&& f) {
    switch (op) {
    case RasterOp::Blackness: f(std::integral_constant<RasterOp, RasterOp::Blackness>{}); return;
    case RasterOp::SrcCopy: f(std::integral_constant<RasterOp, RasterOp::SrcCopy>{}); return;
    case RasterOp::SrcAnd: f(std::integral_constant<RasterOp, RasterOp::SrcAnd>{}); return;
    case RasterOp::SrcPaint: f(std::integral_constant<RasterOp, RasterOp::SrcPaint>{}); return;
    }
}

// The byte count of a surface's one block copy, once it is sure that both the bitmap
// and `Pixels` hold that many bytes.
std::size_t copySize(const PixelSurface& s, const char* what) {
    if (!s.hasBitmap()) {
        throw Error(ErrorKind::InvalidSize,
                    std::string("The pixel surface has no bitmap to ") + what +
                        " (it was never made or has been destroyed)");
    }
    const DibSection& b = *s.DIBSection;
    const auto n = static_cast<std::size_t>(checkedMul(b.stride(), b.height(), "the bytes of a surface"));
    if (s.Pixels.size() != n || s.Bits != b.bits()) {
        throw Error(ErrorKind::InvalidSize, std::string("The pixel surface's byte array no longer "
                                                        "matches its bitmap; nothing to ") + what);
    }
    return n;
}

// Copies `rows` rows of `stride` bytes from `from` to `to`, or zeroes them when `from`
// is null, in two bands on two threads for a large picture of `width` pixels a row.
void copyRows(std::uint8_t* to, const std::uint8_t* from, std::int32_t stride, std::int32_t rows, std::int32_t width) {
    forRowBands(0, rows, width, [&](std::int64_t first, std::int64_t last) {
        const std::size_t at = static_cast<std::size_t>(first) * static_cast<std::size_t>(stride);
        const std::size_t n = static_cast<std::size_t>(last - first) * static_cast<std::size_t>(stride);
        if (from) {
            std::memcpy(to + at, from + at, n);
        } else {
            std::memset(to + at, 0, n);
        }
    });
}

}  // namespace

DibSection::DibSection(std::int32_t bitsPerPixel, std::int32_t width, std::int32_t height,
                       std::int32_t stride)
    : bitsPerPixel_(bitsPerPixel),
      width_(width),
      height_(height),
      stride_(stride),
      bits_(new std::uint8_t[static_cast<std::size_t>(stride) * static_cast<std::size_t>(height)]) {
    copyRows(bits_.get(), nullptr, stride, height, width);
}

DibSection* MemoryContext::selectBitmap(DibSection* bitmap) {
    DibSection* old = bitmap_;
    bitmap_ = bitmap;
    return old;
}

void bitBlt(MemoryContext& dst, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h,
            const ImageView& src, std::int32_t sx, std::int32_t sy, RasterOp op) {
    DibSection& b = transferBitmap(dst);
    // Blackness reads no source, so only the bitmap's own edges clip it.
    const bool blackness = op == RasterOp::Blackness;
    const Clip c = blackness ? clipTransfer(b.width(), b.height(), dx, dy, w, h, b.width(), b.height(), dx, dy)
                             : clipTransfer(b.width(), b.height(), dx, dy, w, h, src.width, src.height, sx, sy);
    if (c.empty() || (!blackness && !src.data)) return;
    withOp(op, [&](auto constant) {
        constexpr RasterOp kOp = decltype(constant)::value;
        forRowBands(c.y0, c.y1, c.x1 - c.x0, [&](std::int64_t first, std::int64_t last) {
            for (std::int64_t y = first; y < last; ++y) {
                std::uint8_t* d = topDownRow(b, y) + 3 * c.x0;
                const QRgb* s = kOp == RasterOp::Blackness ? nullptr : src.data + (y + c.offY) * src.stride + c.offX;
                std::int64_t x = c.x0;
                if constexpr (kOp == RasterOp::SrcCopy) {
                    packBgr(s + x, d, c.x1 - x);
                    continue;
                }
                for (; x < c.x1; ++x, d += 3) {
                    const QRgb old = kOp == RasterOp::SrcCopy ? 0 : qRgb(d[2], d[1], d[0]);
                    const QRgb p = combine(old, s ? s[x] : 0, kOp);
                    d[0] = static_cast<std::uint8_t>(qBlue(p));
                    d[1] = static_cast<std::uint8_t>(qGreen(p));
                    d[2] = static_cast<std::uint8_t>(qRed(p));
                }
            }
        });
    });
}

void bitBlt(const ImageView& dst, std::int32_t dx, std::int32_t dy, std::int32_t w,
            std::int32_t h, const MemoryContext& src, std::int32_t sx, std::int32_t sy,
            RasterOp op) {
    DibSection& b = transferBitmap(src);
    const Clip c = op == RasterOp::Blackness
                       ? clipTransfer(dst.width, dst.height, dx, dy, w, h, dst.width, dst.height, dx, dy)
                       : clipTransfer(dst.width, dst.height, dx, dy, w, h, b.width(), b.height(), sx, sy);
    if (c.empty() || !dst.data) return;
    withOp(op, [&](auto constant) {
        constexpr RasterOp kOp = decltype(constant)::value;
        forRowBands(c.y0, c.y1, c.x1 - c.x0, [&](std::int64_t first, std::int64_t last) {
            for (std::int64_t y = first; y < last; ++y) {
                QRgb* d = dst.data + y * dst.stride;
                if (kOp == RasterOp::Blackness) {
                    std::fill(d + c.x0, d + c.x1, 0xff000000u);
                    continue;
                }
                const std::uint8_t* s = topDownRow(b, y + c.offY) + 3 * (c.x0 + c.offX);
                std::int64_t x = c.x0;
                if constexpr (kOp == RasterOp::SrcCopy || kOp == RasterOp::SrcPaint) {
                    widenBgr(s, d + x, c.x1 - x, kOp == RasterOp::SrcPaint);
                    continue;
                }
                // Four bytes read a pixel, the fourth (the next pixel's blue) dropped; the
                // last pixel of the row, whose fourth byte may lie past the bitmap, byte by byte.
                for (; x + 1 < c.x1; ++x, s += 3) {
                    std::uint32_t le;
                    std::memcpy(&le, s, 4);
                    d[x] = combine(d[x], qFromLittleEndian(le) & 0xffffffu, kOp) | 0xff000000u;
                }
                for (; x < c.x1; ++x, s += 3) d[x] = combine(d[x], qRgb(s[2], s[1], s[0]), kOp) | 0xff000000u;
            }
        });
    });
}

std::int32_t surfaceStride(std::int32_t bitsPerPixel, std::int32_t width) {
    const std::int32_t rowBits = checkedMul(width, bitsPerPixel, "the bits of a surface row");
    const std::int32_t words = checkedAdd(checkedSub(rowBits, 1, "the bits of a surface row") / 32, 1,
                                          "the words of a surface row");
    return checkedMul(words, 4, "the bytes of a surface row");
}

PixelSurface CreatePixelSurface(std::int32_t bitsPerPixel, std::int32_t width,
                                std::int32_t height, std::span<const std::uint32_t> colourTable) {
    if (width < 1 || height < 1 || bitsPerPixel < 1) {
        throw Error(ErrorKind::InvalidSize, "A pixel surface of " +
                                                sizeText(bitsPerPixel, width, height) +
                                                " cannot be made");
    }
    const std::int32_t stride = surfaceStride(bitsPerPixel, width);
    const std::int32_t lastIndex = checkedSub(checkedMul(stride, height, "the bytes of a surface"), 1,
                                              "the bytes of a surface");
    if (bitsPerPixel > INT16_MAX) throwOverflow("the bits per pixel of a surface", "", bitsPerPixel, 0);
    std::size_t tableEntries = 0;
    if (bitsPerPixel <= 8) {
        tableEntries = std::size_t{1} << bitsPerPixel;
        if (colourTable.size() < tableEntries) {
            throw Error(ErrorKind::InvalidSize,
                        "A surface at " + std::to_string(bitsPerPixel) + " bits per pixel needs " +
                            std::to_string(tableEntries) + " colour-table entries, not " +
                            std::to_string(colourTable.size()));
        }
    }

    PixelSurface s;
    try {
        s.Pixels.assign(static_cast<std::size_t>(lastIndex) + 1, 0);
        s.DIBSection = std::make_unique<DibSection>(bitsPerPixel, width, height, stride);
    } catch (const std::bad_alloc&) {
        throw Error(ErrorKind::TooLarge, "A pixel surface of " +
                                             sizeText(bitsPerPixel, width, height) +
                                             " does not fit in memory");
    }
    s.MemDC = std::make_unique<MemoryContext>();
    s.BitsPerPixel = bitsPerPixel;
    s.Width = width;
    s.Height = height;
    s.Stride = stride;
    std::copy_n(colourTable.begin(), tableEntries, s.DIBSection->colourTable().begin());
    s.Bits = s.DIBSection->bits();
    s.OldBitmap = s.MemDC->selectBitmap(s.DIBSection.get());
    return s;
}

void DestroyPixelSurface(PixelSurface& surface) {
    if (surface.MemDC) surface.MemDC->selectBitmap(surface.OldBitmap);
    surface.DIBSection.reset();
    surface.MemDC.reset();
    surface.Bits = nullptr;
    surface.OldBitmap = nullptr;
}

void ReadSurfacePixels(PixelSurface& surface) {
    copySize(surface, "read");
    copyRows(surface.Pixels.data(), surface.Bits, surface.Stride, surface.Height, surface.Width);
}

void WriteSurfacePixels(PixelSurface& surface) {
    copySize(surface, "write");
    copyRows(surface.Bits, surface.Pixels.data(), surface.Stride, surface.Height, surface.Width);
}

}  // namespace karuvo
