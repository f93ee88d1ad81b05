#include <gtest/gtest.h>

#include <vector>

#include "sheet/ds_mod.h"
#include "support/fixtures.h"

using namespace karuvo;

TEST(PixelSurface, RefusesSizesThatCannotMakeABitmap) {
    const struct { std::int32_t bpp, width, height; ErrorKind kind; } refused[] = {
        {24, 0, 5, ErrorKind::InvalidSize}, {24, 5, -1, ErrorKind::InvalidSize}, {0, 5, 5, ErrorKind::InvalidSize},
        {24, 100'000'000, 1, ErrorKind::Overflow},  // width x bpp
        {24, 30'000, 30'000, ErrorKind::Overflow},  // Stride x Height
    };
    for (const auto& c : refused) {
        const auto e = fakes::thrownBy([&] { CreatePixelSurface(c.bpp, c.width, c.height); });
        ASSERT_TRUE(e) << c.width << " x " << c.height << " at " << c.bpp << " bpp was made";
        EXPECT_EQ(e->kind(), c.kind) << e->what();
    }
}

// Copies onto and off a surface large enough to be worked in bands, at an offset and
// clipped: every pixel lands where it belongs, read back through the surface's own
// bytes, and an OR back onto a picture gives each pixel's OR.
TEST(PixelSurface, LargeCopiesPlaceEveryPixelAndCombineIt) {
    const std::int32_t w = 1201, h = 1001;
    Image pattern = fakes::patterned(w, h), back = fakes::patterned(w, h);
    PixelSurface s = CreatePixelSurface(24, w, h);
    bitBlt(*s.MemDC, 3, 2, w, h, pattern.view(), 0, 0, RasterOp::SrcCopy);
    ReadSurfacePixels(s);
    bitBlt(back.view(), 0, 0, w, h, *s.MemDC, 0, 0, RasterOp::SrcPaint);
    std::int64_t misplaced = 0, wrong = 0;
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* row = s.Pixels.data() + std::int64_t{h - 1 - y} * s.Stride;  // bottom-up
        for (std::int32_t x = 0; x < w; ++x) {
            const QRgb want = x >= 3 && y >= 2 ? pattern.pixel(x - 3, y - 2) : qRgb(0, 0, 0);
            misplaced += qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]) != want;
            wrong += back.pixel(x, y) != (pattern.pixel(x, y) | want | 0xff000000u);
        }
    }
    EXPECT_EQ(std::pair(misplaced, wrong), std::pair(std::int64_t{0}, std::int64_t{0}));
}
