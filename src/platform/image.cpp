#include "image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <string>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "error.h"
#include "parallel.h"

namespace karuvo {

ImageView ImageView::sub(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) const {
    const std::int64_t x0 = std::clamp<std::int64_t>(x, 0, width);
    const std::int64_t y0 = std::clamp<std::int64_t>(y, 0, height);
    const std::int64_t x1 = std::clamp<std::int64_t>(std::int64_t{x} + w, x0, width);
    const std::int64_t y1 = std::clamp<std::int64_t>(std::int64_t{y} + h, y0, height);
    ImageView v;
    v.stride = stride;
    v.width = static_cast<std::int32_t>(x1 - x0);
    v.height = static_cast<std::int32_t>(y1 - y0);
    v.data = (v.width > 0 && v.height > 0) ? data + y0 * stride + x0 : nullptr;
    return v;
}

Image::Image(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) {
        throw Error(ErrorKind::InvalidSize, QT_TRANSLATE_NOOP("karuvo", "A picture of %1 x %2 pixels cannot be made"),
                    {std::to_string(width), std::to_string(height)});
    }
    width_ = width;
    height_ = height;
    if (width == 0 || height == 0) return;
    image_ = QImage(width, height, QImage::Format_RGB32);
    if (image_.isNull()) {
        width_ = height_ = 0;
        throw Error(ErrorKind::TooLarge, QT_TRANSLATE_NOOP("karuvo", "A picture of %1 x %2 pixels does not fit in memory"),
                    {std::to_string(width), std::to_string(height)});
    }
    image_.fill(0xff000000u);
}

Image Image::takeRows(std::int32_t top, std::int32_t count) {
    Image part;
    if (count <= 0 || isEmpty()) {
        *this = Image();
        return part;
    }
    // The whole picture lives on, out of sight, for as long as the part uses its pixels.
    auto* whole = new QImage(std::move(image_));
    *this = Image();
    const qsizetype stride = whole->bytesPerLine();
    part.image_ = QImage(whole->bits() + stride * top, whole->width(), count, stride, whole->format(),
                         [](void* owner) { delete static_cast<QImage*>(owner); }, whole);
    part.width_ = whole->width();
    part.height_ = count;
    return part;
}

Image Image::fromQImage(const QImage& image) {
    Image out;
    if (image.isNull()) return out;
    out.image_ = image.convertToFormat(QImage::Format_RGB32);
    if (out.image_.isNull()) {
        throw Error(ErrorKind::TooLarge, QT_TRANSLATE_NOOP("karuvo", "A picture of %1 x %2 pixels does not fit in memory"),
                    {std::to_string(image.width()), std::to_string(image.height())});
    }
    out.width_ = out.image_.width();
    out.height_ = out.image_.height();
    return out;
}

ImageView Image::view() {
    ImageView v;
    if (isEmpty()) return v;
    v.data = row(0);
    v.width = width_;
    v.height = height_;
    v.stride = image_.bytesPerLine() / 4;
    return v;
}

bool Image::operator==(const Image& o) const {
    if (width_ != o.width_ || height_ != o.height_) return false;
    for (std::int32_t y = 0; y < height_; ++y) {
        const QRgb* a = row(y);
        const QRgb* b = o.row(y);
        for (std::int32_t x = 0; x < width_; ++x)
            if ((a[x] ^ b[x]) & 0xffffffu) return false;
    }
    return true;
}

void bitBlt(ImageView dst, std::int32_t dx, std::int32_t dy, std::int32_t w, std::int32_t h,
            const ImageView* src, std::int32_t sx, std::int32_t sy, RasterOp op) {
    // Clip in 64 bits so that no coordinate sum can wrap.
    std::int64_t x0 = dx, y0 = dy, x1 = std::int64_t{dx} + w, y1 = std::int64_t{dy} + h;
    std::int64_t offX = std::int64_t{sx} - dx, offY = std::int64_t{sy} - dy;
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    x1 = std::min<std::int64_t>(x1, dst.width);
    y1 = std::min<std::int64_t>(y1, dst.height);
    if (op != RasterOp::Blackness) {
        if (!src || !src->data) return;
        x0 = std::max(x0, -offX);
        y0 = std::max(y0, -offY);
        x1 = std::min<std::int64_t>(x1, src->width - offX);
        y1 = std::min<std::int64_t>(y1, src->height - offY);
    }
    if (x0 >= x1 || y0 >= y1 || !dst.data) return;
    const std::int64_t n = x1 - x0;
    // Rows of pictures that share no memory do not depend on each other; a copy within
    // one picture may read rows that it writes, so it goes in order.
    const auto span = [](const QRgb* first, const QRgb* last) {
        return std::pair(reinterpret_cast<std::uintptr_t>(first), reinterpret_cast<std::uintptr_t>(last));
    };
    const auto [d0, d1] = span(dst.data + y0 * dst.stride + x0, dst.data + (y1 - 1) * dst.stride + x1);
    bool apart = op == RasterOp::Blackness;
    if (!apart) {
        const auto [s0, s1] = span(src->data + (y0 + offY) * src->stride + (x0 + offX),
                                   src->data + (y1 - 1 + offY) * src->stride + (x1 + offX));
        apart = s1 <= d0 || d1 <= s0;
    }
    const auto rows = [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t y = first; y < last; ++y) {
            QRgb* d = dst.data + y * dst.stride + x0;
            if (op == RasterOp::Blackness) {
                std::fill_n(d, n, 0xff000000u);
                continue;
            }
            const QRgb* s = src->data + (y + offY) * src->stride + (x0 + offX);
            switch (op) {
            case RasterOp::SrcCopy:
                std::memmove(d, s, static_cast<std::size_t>(n) * sizeof(QRgb));
                break;
            case RasterOp::SrcAnd:
                for (std::int64_t i = 0; i < n; ++i) d[i] = (d[i] & s[i]) | 0xff000000u;
                break;
            case RasterOp::SrcPaint:
                for (std::int64_t i = 0; i < n; ++i) d[i] = d[i] | s[i] | 0xff000000u;
                break;
            case RasterOp::Blackness:
                break;
            }
        }
    };
    if (apart) {
        forRowBands(y0, y1, n, rows);
    } else {
        rows(y0, y1);
    }
}

void keepFreedPicturesForReuse() {
#if defined(__GLIBC__)
    // Below this size an allocation comes from the heap and goes back to it, which is
    // given back to the system only when this much lies free at its top.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
#endif
}

}  // namespace karuvo
