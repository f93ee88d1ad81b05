#pragma once

#include <QImage>
#include <QRgb>
#include <cstdint>

namespace karuvo {

// A non-owning view of 24-bit colour pixels held one to a 32-bit word (0xffRRGGBB),
// rows top to bottom, `stride` words apart. A cell of a sheet is a view of the sheet.
struct ImageView {
    QRgb* data = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    qsizetype stride = 0;  // in pixels

    QRgb* row(std::int32_t y) const { return data + y * stride; }
    // The part of this view from (x, y), w x h, clipped to the view.
    ImageView sub(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) const;
};

// An owning 24-bit picture: every pixel opaque, starting black. A picture with a
// width or height of 0 holds no pixels.
class Image {
public:
    Image() = default;
    // Throws Error(InvalidSize) for a negative size and Error(TooLarge) when the
    // pixels cannot be allocated.
    Image(std::int32_t width, std::int32_t height);
    // Takes any Qt image, converted to this picture's pixel format.
    static Image fromQImage(const QImage& image);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    bool isEmpty() const { return width_ == 0 || height_ == 0; }

    QRgb pixel(std::int32_t x, std::int32_t y) const { return row(y)[x] | 0xff000000u; }
    void setPixel(std::int32_t x, std::int32_t y, QRgb p) { row(y)[x] = p | 0xff000000u; }
    QRgb* row(std::int32_t y) { return reinterpret_cast<QRgb*>(image_.scanLine(y)); }
    const QRgb* row(std::int32_t y) const { return reinterpret_cast<const QRgb*>(image_.constScanLine(y)); }

    // Rows top .. top + count - 1 (within the picture) as a picture of their own over
    // the same pixels, without a copy; this picture is left empty.
    Image takeRows(std::int32_t top, std::int32_t count);

    ImageView view();
    // Qt's image over the same pixels (Format_RGB32), for painting and display.
    QImage& qimage() { return image_; }
    const QImage& qimage() const { return image_; }

    bool operator==(const Image& o) const;

private:
    QImage image_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

// The bit-block transfer operations.
enum class RasterOp {
    Blackness,  // the destination becomes black; no source
    SrcCopy,    // destination = source
    SrcAnd,     // destination = destination AND source, per channel
    SrcPaint,   // destination = destination OR source, per channel
};

// Combines the w x h rectangle of `src` at (sx, sy) into `dst` at (dx, dy). The
// rectangle is clipped to both pictures; nothing outside them is read or written.
// `src` is ignored for Blackness and may be null then.
void bitBlt(ImageView dst, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h,
            const ImageView* src, std::int32_t sx, std::int32_t sy, RasterOp op);

inline void bitBlt(Image& dst, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h,
                   Image* src, std::int32_t sx, std::int32_t sy, RasterOp op) {
    ImageView s = src ? src->view() : ImageView{};
    bitBlt(dst.view(), dx, dy, w, h, src ? &s : nullptr, sx, sy, op);
}

// Keeps the memory of freed pictures in the process's heap for the next ones, instead of
// handing it back to the system at once: a sheet's layers and bands are pictures of a few
// to a few hundred MiB, made again at every build or band, and fresh memory from the
// system costs a page fault and a clearing for every 4 KiB of it. Called once, at the
// start of a program.
void keepFreedPicturesForReuse();

}  // namespace karuvo
