#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "platform/error.h"
#include "sheet/ds_mod.h"

using namespace karuvo;

namespace {

ErrorKind refusal(std::int32_t bpp, std::int32_t w, std::int32_t h,
                  std::span<const std::uint32_t> table = {}) {
    try {
        CreatePixelSurface(bpp, w, h, table);
    } catch (const Error& e) {
        return e.kind();
    }
    ADD_FAILURE() << "a surface of " << w << " x " << h << " at " << bpp << " bpp was made";
    return ErrorKind::Io;
}

std::vector<std::uint8_t> bitmapBytes(const PixelSurface& s) {
    return {s.Bits, s.Bits + std::size_t(s.Stride) * s.Height};
}

}  // namespace

TEST(PixelSurface, StrideRoundsRowsUpToFourBytes) {
    EXPECT_EQ(surfaceStride(24, 1), 4);
    EXPECT_EQ(surfaceStride(24, 4), 12);
    EXPECT_EQ(surfaceStride(24, 5), 16);
    EXPECT_EQ(surfaceStride(24, 100), 300);
    EXPECT_EQ(surfaceStride(1, 33), 8);
    EXPECT_EQ(surfaceStride(1, 32), 4);
    EXPECT_EQ(surfaceStride(32, 7), 28);
    EXPECT_EQ(surfaceStride(24, 0), 4);  // (0 - 1) \ 32 truncates to 0

    const PixelSurface s = CreatePixelSurface(24, 5, 2);
    EXPECT_EQ(s.Stride, 16);
    EXPECT_EQ(s.Pixels.size(), 32u);
    EXPECT_EQ(std::accumulate(s.Pixels.begin(), s.Pixels.end(), 0), 0);
    EXPECT_EQ(s.DIBSection->stride(), 16);
    EXPECT_EQ(s.Bits, s.DIBSection->bits());
    EXPECT_EQ(s.MemDC->bitmap(), s.DIBSection.get());
}

TEST(PixelSurface, RowsRunBottomUpWithBlueGreenRedPixels) {
    Image sheet(5, 2);
    sheet.setPixel(0, 0, qRgb(1, 2, 3));  // top-left
    sheet.setPixel(0, 1, qRgb(4, 5, 6));  // bottom-left
    sheet.setPixel(4, 0, qRgb(7, 8, 9));  // top-right
    PixelSurface s = CreatePixelSurface(24, 5, 2);
    bitBlt(*s.MemDC, 0, 0, 5, 2, sheet.view(), 0, 0, RasterOp::SrcCopy);
    ReadSurfacePixels(s);
    const std::vector<std::uint8_t> expected = {
        6, 5, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // bottom row, then padding
        3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 8, 7, 0};  // top row
    EXPECT_EQ(s.Pixels, expected);

    // Edited bytes come back out through the context, ORed or copied.
    s.Pixels[16 + 3] = 0x80;  // blue of the top row's second pixel
    WriteSurfacePixels(s);
    Image out(5, 2);
    out.setPixel(1, 0, qRgb(0x10, 0, 0x01));
    bitBlt(out.view(), 0, 0, 5, 2, *s.MemDC, 0, 0, RasterOp::SrcPaint);
    EXPECT_EQ(out.pixel(1, 0), qRgb(0x10, 0, 0x81));
    EXPECT_EQ(out.pixel(4, 0), qRgb(7, 8, 9));
    bitBlt(out.view(), 0, 0, 5, 2, *s.MemDC, 0, 0, RasterOp::SrcCopy);
    EXPECT_EQ(out.pixel(1, 0), qRgb(0, 0, 0x80));
    EXPECT_EQ(out.pixel(0, 1), qRgb(4, 5, 6));

    // Clipped to both sides; blackness reads no source and is clipped by the target alone.
    bitBlt(*s.MemDC, 3, -1, 9, 9, sheet.view(), 0, 0, RasterOp::SrcCopy);
    ReadSurfacePixels(s);
    EXPECT_EQ(s.Pixels[16 + 9], 6);  // top row, pixel 3: the sheet's (0, 1)
    EXPECT_EQ(s.Pixels[9], 0);       // the bottom row would need a third sheet row
    Image white(5, 2);
    white.qimage().fill(0xffffffffu);
    bitBlt(*s.MemDC, 0, 0, 5, 2, white.view(), 0, 0, RasterOp::SrcCopy);
    bitBlt(*s.MemDC, 4, 1, 5, 5, ImageView{}, 0, 0, RasterOp::Blackness);
    ReadSurfacePixels(s);
    EXPECT_EQ(s.Pixels[12], 0);  // bottom row, pixel 4
    EXPECT_EQ(s.Pixels[9], 255);
    EXPECT_EQ(s.Pixels[16 + 12], 255);
    Image wide(9, 4);
    wide.setPixel(8, 3, qRgb(1, 1, 1));
    bitBlt(wide.view(), 0, 0, 9, 4, *s.MemDC, 0, 0, RasterOp::Blackness);
    EXPECT_EQ(wide.pixel(8, 3), qRgb(0, 0, 0));
}

TEST(PixelSurface, ReadAndWriteCopyWholeRowsPaddingIncluded) {
    PixelSurface s = CreatePixelSurface(24, 7, 3);  // 21 pixel bytes + 3 padding a row
    std::mt19937 rng(7);
    for (std::int32_t i = 0; i < s.Stride * s.Height; ++i) s.Bits[i] = std::uint8_t(rng());
    const auto before = bitmapBytes(s);
    ReadSurfacePixels(s);
    EXPECT_EQ(s.Pixels, before);
    WriteSurfacePixels(s);
    EXPECT_EQ(bitmapBytes(s), before);

    s.Pixels[23] ^= 0xFF;  // a padding byte
    WriteSurfacePixels(s);
    EXPECT_EQ(s.Bits[23], std::uint8_t(before[23] ^ 0xFF));
}

TEST(PixelSurface, PixelsOutliveTheDrawingObjects) {
    PixelSurface s = CreatePixelSurface(24, 2, 2);
    s.Bits[0] = 42;
    ReadSurfacePixels(s);
    DestroyPixelSurface(s);
    EXPECT_FALSE(s.hasBitmap());
    EXPECT_EQ(s.MemDC, nullptr);
    EXPECT_EQ(s.Pixels.size(), 16u);
    EXPECT_EQ(s.Pixels[0], 42);
    // No copy runs through the missing bitmap, and a second destroy is harmless.
    EXPECT_THROW(ReadSurfacePixels(s), Error);
    EXPECT_THROW(WriteSurfacePixels(s), Error);
    DestroyPixelSurface(s);
    PixelSurface never;
    EXPECT_THROW(ReadSurfacePixels(never), Error);

    // A byte array resized behind the surface's back is not copied through.
    PixelSurface t = CreatePixelSurface(24, 2, 2);
    t.Pixels.resize(4);
    EXPECT_THROW(ReadSurfacePixels(t), Error);
}

TEST(PixelSurface, RefusesSizesThatCannotMakeABitmap) {
    EXPECT_EQ(refusal(24, 0, 5), ErrorKind::InvalidSize);
    EXPECT_EQ(refusal(24, 5, 0), ErrorKind::InvalidSize);
    EXPECT_EQ(refusal(24, -3, 5), ErrorKind::InvalidSize);
    EXPECT_EQ(refusal(24, 5, -1), ErrorKind::InvalidSize);
    EXPECT_EQ(refusal(0, 5, 5), ErrorKind::InvalidSize);
    EXPECT_EQ(refusal(24, 100'000'000, 1), ErrorKind::Overflow);  // width x bpp
    EXPECT_EQ(refusal(24, 30'000, 30'000), ErrorKind::Overflow);   // Stride x Height
    EXPECT_EQ(refusal(24, 1, INT32_MAX), ErrorKind::Overflow);
    EXPECT_EQ(refusal(40'000, 1, 1), ErrorKind::Overflow);         // depth beyond 16 bits
    try {
        CreatePixelSurface(24, 30'000, 30'000);
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("30000"), std::string::npos) << e.what();
    }
}

TEST(PixelSurface, TakesTheColourTableOnlyAtEightBitsOrLess) {
    std::vector<std::uint32_t> table(256);
    std::iota(table.begin(), table.end(), 0x00102030u);

    const PixelSurface s8 = CreatePixelSurface(8, 3, 3, table);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), s8.DIBSection->colourTable().begin()));
    EXPECT_EQ(s8.Stride, 4);

    const PixelSurface s4 = CreatePixelSurface(4, 3, 3, table);
    EXPECT_EQ(s4.DIBSection->colourTable()[15], table[15]);
    EXPECT_EQ(s4.DIBSection->colourTable()[16], 0u);
    const PixelSurface s1 = CreatePixelSurface(1, 33, 1, std::span(table).first(2));
    EXPECT_EQ(s1.DIBSection->colourTable()[1], table[1]);
    EXPECT_EQ(s1.DIBSection->colourTable()[2], 0u);
    EXPECT_EQ(s1.Stride, 8);

    // Above 8 bits the table is not read, so none is needed.
    const PixelSurface s24 = CreatePixelSurface(24, 3, 3, table);
    EXPECT_EQ(s24.DIBSection->colourTable()[0], 0u);
    EXPECT_NO_THROW(CreatePixelSurface(16, 3, 3));
    EXPECT_NO_THROW(CreatePixelSurface(32, 3, 3));

    EXPECT_EQ(refusal(8, 3, 3, std::span(table).first(255)), ErrorKind::InvalidSize);
    EXPECT_EQ(refusal(4, 3, 3), ErrorKind::InvalidSize);
}
