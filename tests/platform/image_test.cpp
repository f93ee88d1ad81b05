#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/error.h"
#include "platform/image.h"
#include "platform/image_io.h"
#include "platform/pixel_pack.h"
#include "support/fixtures.h"

using namespace karuvo;

// Small pictures: each operation on the overlap of both pictures only, and across
// their edges.
TEST(BitBlt, CombinesChannelsBitwiseAndClipsToBothPictures) {
    Image dst(4, 4), src(2, 2);
    dst.qimage().fill(qRgb(0xF0, 0x0F, 0xAA));
    src.qimage().fill(qRgb(0x3C, 0xFF, 0x55));
    const QRgb anded = qRgb(0x30, 0x0F, 0x00), orred = qRgb(0xFC, 0xFF, 0xFF), old = qRgb(0xF0, 0x0F, 0xAA);
    bitBlt(dst, 0, 0, 2, 2, &src, 0, 0, RasterOp::SrcAnd);
    bitBlt(dst, 2, 2, 5, 5, &src, 0, 0, RasterOp::SrcPaint);   // clipped to 2 x 2
    bitBlt(dst, -1, -1, 2, 2, &src, 0, 0, RasterOp::SrcCopy);  // only (0, 0) lands
    bitBlt(dst, 1, 0, 2, 1, nullptr, 0, 0, RasterOp::Blackness);
    EXPECT_EQ(QList<QRgb>({dst.pixel(0, 0), dst.pixel(1, 0), dst.pixel(2, 0), dst.pixel(3, 0), dst.pixel(1, 1),
                           dst.pixel(2, 1), dst.pixel(3, 3)}),
              QList<QRgb>({qRgb(0x3C, 0xFF, 0x55), qRgb(0, 0, 0), qRgb(0, 0, 0), old, anded, old, orred}));
}

// Pictures large enough to be combined in bands give every pixel its own result; a copy
// within one picture onto rows it reads still goes row after row, as a single band would.
TEST(BitBlt, LargeAreasCombineEveryPixelAndCopiesWithinOnePictureKeepTheirOrder) {
    const int w = 1100, h = 1000;
    const auto pattern = [](int x, int y, int k) { return qRgb((x * 7 + k) & 255, (y * 3 + k) & 255, (x ^ y) & 255); };
    Image a(w, h), b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) a.setPixel(x, y, pattern(x, y, 0)), b.setPixel(x, y, pattern(x, y, 91));
    Image orred = a, anded = a;
    bitBlt(orred, 0, 0, w, h, &b, 0, 0, RasterOp::SrcPaint);
    bitBlt(anded, 1, 2, w, h, &b, 0, 0, RasterOp::SrcAnd);
    std::int64_t wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            wrong += orred.pixel(x, y) != (a.pixel(x, y) | b.pixel(x, y));
            const QRgb under = x >= 1 && y >= 2 ? b.pixel(x - 1, y - 2) : 0xffffffffu;
            wrong += anded.pixel(x, y) != (a.pixel(x, y) & under);
        }
    EXPECT_EQ(wrong, 0);

    // One row down onto itself: each row reads the row above after that row was written,
    // so the top row runs all the way down.
    Image self = a;
    bitBlt(self, 0, 1, w, h - 1, &self, 0, 0, RasterOp::SrcCopy);
    std::int64_t unlike = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) unlike += self.pixel(x, y) != a.pixel(x, 0);
    EXPECT_EQ(unlike, 0);
}

// Rows of every length up to 40 packed into three bytes a pixel and widened back,
// copied and ORed: each byte where a byte-by-byte loop puts it, and the guard bytes
// around the rows untouched.
TEST(PixelPack, PacksAndWidensRowsOfAnyLengthWithinThemselves) {
    std::mt19937 rng(5);
    for (std::int64_t n = 0; n <= 40; ++n) {
        std::vector<QRgb> words(n + 8), before(n + 8);
        for (QRgb& w : words) w = rng();
        for (QRgb& w : before) w = rng();
        std::vector<std::uint8_t> bytes(3 * n + 16, 0xA5), packed = bytes;
        for (std::int64_t i = 0; i < n; ++i)
            packed[8 + 3 * i] = qBlue(words[4 + i]), packed[9 + 3 * i] = qGreen(words[4 + i]), packed[10 + 3 * i] = qRed(words[4 + i]);
        packBgr(words.data() + 4, bytes.data() + 8, n);
        ASSERT_EQ(bytes, packed) << n;
        for (const bool orInto : {false, true}) {
            std::vector<QRgb> to = before, want = before;
            for (std::int64_t i = 4; i < 4 + n; ++i) want[i] = (orInto ? before[i] : 0) | words[i] | 0xff000000u;
            widenBgr(bytes.data() + 8, to.data() + 4, n, orInto);
            ASSERT_EQ(to, want) << n << " " << orInto;
        }
    }
}

// Picture files written byte by byte, so that the loader is judged by the formats' own
// layout rather than by its own encoder.
TEST(LoadPicture, ReadsTheOldBitmapHeaderAndPng) {
    QTemporaryDir dir;
    const QString os2 = dir.filePath("os2.bmp"), png = dir.filePath("a.png");
    // 2 x 1 pixels, 24-bit, left blue-green-red 10 20 30, right 40 50 60, a 2-byte pad.
    ASSERT_TRUE(fakes::writeFile(os2, QByteArray::fromHex("424d20000000000000001a000000" "0c000000" "0200" "0100" "0100" "1800"
                                                          "1e140a" "3c3228" "0000")));
    ASSERT_TRUE(fakes::writeFile(png, QByteArray::fromHex(
        "89504e470d0a1a0a0000000d49484452000000020000000108020000007b40e8dd"
        "0000000f4944415478da63e01291d330b20100023700d3e22ded9f0000000049454e44ae426082")));
    for (const QString& path : {os2, png}) {
        const Image img = loadPicture(path);
        ASSERT_EQ(std::pair(img.width(), img.height()), std::pair(2, 1)) << path.toStdString();
        EXPECT_EQ(std::pair(img.pixel(0, 0), img.pixel(1, 0)), std::pair(qRgb(10, 20, 30), qRgb(40, 50, 60))) << path.toStdString();
    }
}
