#include "outline.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <exception>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define KARUVO_RING_SSSE3 1
#include <tmmintrin.h>
#endif

#include "platform/error.h"
#include "platform/number.h"
#include "platform/parallel.h"
#include "platform/pixel_pack.h"

namespace karuvo {

namespace {

using Word = std::uint64_t;
constexpr int kWordBits = 64;

// Input rows read in one go by the ring pass.
constexpr std::int32_t kReadAhead = 8;

// Sheets from this size on are worked in two bands at once where there are two cores.
constexpr std::size_t kBandedBytes = std::size_t{1} << 18;

std::int32_t clampRadius(std::int32_t radius) { return std::clamp(radius, 0, kMaxOutlineRadius); }

// For 12 byte flags (4 pixels of 3 bytes), one bit per pixel that has any byte set.
struct PixelsOfByteFlags {
    std::array<std::uint8_t, 4096> bits{};
    constexpr PixelsOfByteFlags() {
        for (unsigned f = 0; f < 4096; ++f)
            for (unsigned p = 0; p < 4; ++p)
                if ((f >> (3 * p)) & 7u) bits[f] |= static_cast<std::uint8_t>(1u << p);
    }
};
constexpr PixelsOfByteFlags kPixelsOfByteFlags;

#if defined(__SSE2__)
// SSE2 belongs to every x86-64 processor, so this needs no run-time test.
__m128i load128(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

bool allZero192(const std::uint8_t* p) {
    __m128i any = load128(p);
    for (int i = 1; i < 12; ++i) any = _mm_or_si128(any, load128(p + 16 * i));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF;
}

// One bit per byte of the 48 bytes at `p`, set when the byte is not zero.
Word nonZeroBytes48(const std::uint8_t* p) {
    const __m128i zero = _mm_setzero_si128();
    const auto zeros = [&](int i) {
        return static_cast<Word>(_mm_movemask_epi8(_mm_cmpeq_epi8(load128(p + 16 * i), zero)));
    };
    return ~(zeros(0) | zeros(1) << 16 | zeros(2) << 32) & 0xFFFFFFFFFFFFULL;
}
#else
Word load64(const std::uint8_t* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

bool allZero192(const std::uint8_t* p) {
    Word any = 0;
    for (int i = 0; i < 24; ++i) any |= load64(p + 8 * i);
    return any == 0;
}

// One bit per byte of `w` (bit i for byte i), set when the byte is not zero.
Word nonZeroBytes8(Word w) {
    constexpr Word low7 = 0x7F7F7F7F7F7F7F7FULL;
    const Word high = (((w & low7) + low7) | w) & ~low7;
    return ((high >> 7) * 0x0102040810204080ULL) >> 56;
}

Word nonZeroBytes48(const std::uint8_t* p) {
    Word flags = 0;
    for (int i = 0; i < 6; ++i) flags |= nonZeroBytes8(load64(p + 8 * i)) << (8 * i);
    return flags;
}
#endif

// Bit i set when pixel i of the 64 pixels at `p` is not black. An all-black run is
// found with one test, and a run with ink is worked out without further branches,
// which dense text would mispredict.
Word nonBlackPixels64(const std::uint8_t* p) {
    if (allZero192(p)) return 0;
    Word bits = 0;
    for (int g = 0; g < 4; ++g) {
        const Word flags = nonZeroBytes48(p + 48 * g);
        for (int q = 0; q < 4; ++q)
            bits |= Word{kPixelsOfByteFlags.bits[flags >> (12 * q) & 0xFFF]} << (16 * g + 4 * q);
    }
    return bits;
}

bool isBlack(const std::uint8_t* p) { return (p[0] | p[1] | p[2]) == 0; }

// Byte shuffles that pick one byte of each of 16 pixels out of their 48 bytes: entry c
// moves the picked bytes found in bytes 16c to 16c + 15 to the lanes of their pixels.
using PickShuffles = std::array<std::array<std::uint8_t, 16>, 3>;

PickShuffles pickShuffles(std::int32_t byteOfPixel) {
    PickShuffles s;
    for (std::int32_t c = 0; c < 3; ++c)
        for (std::int32_t j = 0; j < 16; ++j) {
            const std::int32_t at = 3 * j + byteOfPixel - 16 * c;
            s[c][j] = at >= 0 && at < 16 ? std::uint8_t(at) : std::uint8_t{0x80};
        }
    return s;
}

#if defined(KARUVO_RING_SSSE3)
// The glyph masks of the first `words` x 64 pixels of a row, from one byte of each pixel
// that is never zero in the glyph colour (the pixels are cleaned, so that byte alone
// tells a glyph pixel from a black one). Byte shuffles do in a few instructions what
// plain SSE2 needs a table for.
__attribute__((target("ssse3"))) void glyphMaskSsse3(const std::uint8_t* row, std::int32_t words,
                                                     const PickShuffles& pick, Word* mask) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pick[0].data()));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pick[1].data()));
    const __m128i s2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pick[2].data()));
    const __m128i zero = _mm_setzero_si128();
    for (std::int32_t i = 0; i < words; ++i) {
        Word bits = 0;
        for (int g = 0; g < 4; ++g) {
            const std::uint8_t* p = row + 192 * i + 48 * g;
            const __m128i picked =
                _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(load128(p), s0), _mm_shuffle_epi8(load128(p + 16), s1)),
                             _mm_shuffle_epi8(load128(p + 32), s2));
            bits |= Word(~_mm_movemask_epi8(_mm_cmpeq_epi8(picked, zero)) & 0xFFFF) << (16 * g);
        }
        mask[i] = bits;
    }
}

const bool kHasSsse3 = __builtin_cpu_supports("ssse3");
#endif

void putColour(std::uint8_t* p, Colour c) {
    p[0] = static_cast<std::uint8_t>(blueOf(c));
    p[1] = static_cast<std::uint8_t>(greenOf(c));
    p[2] = static_cast<std::uint8_t>(redOf(c));
}

// The ring pass on a bit mask of the glyph pixels, one row at a time. Each input row
// is widened once per distinct half-width (OR of its bits shifted by up to h either
// way); an output row is the OR of the 2r + 1 widened rows around it, less the glyphs.
// Only word ranges that hold glyph bits are touched, so empty parts of a sheet cost
// almost nothing beyond the one read of their bytes.
class RingPass {
public:
    RingPass(const PixelRows& px, Colour glyph, Colour outline, std::int32_t radius)
        : px_(px),
          pick_(pickShuffles(blueOf(glyph) ? 0 : greenOf(glyph) ? 1 : 2)),
          words_((px.width + kWordBits - 1) / kWordBits),
          radius_(radius),
          window_(2 * radius + kReadAhead),
          halfWidths_(HalfWidths(radius)) {
        for (std::int32_t d = radius_; d >= 0; --d) {
            const std::int32_t h = halfWidths_[d];
            if (levels_.empty() || levels_.back() != h) levels_.push_back(h);
            levelOf_[d] = static_cast<std::int32_t>(levels_.size()) - 1;
        }
        // A chunk of 8 pixels as bytes, ring colour where the mask byte has a bit.
        std::uint8_t colour[3];
        putColour(colour, outline);
        for (unsigned m = 0; m < 256; ++m)
            for (unsigned p = 0; p < 8; ++p)
                if (m >> p & 1u) std::memcpy(&chunkBytes_[m][3 * p], colour, 3);
        ringColour_ = outline;
    }

    // Rows that another band writes while this one runs: copies of rows
    // [belowFirst, lo) and [hi, hi + r) taken before either band starts.
    struct Halo {
        const std::uint8_t* below = nullptr;
        std::int32_t belowFirst = 0;
        const std::uint8_t* above = nullptr;
    };

    // Writes output rows [lo, hi), reading input rows up to r beyond them; rows outside
    // [lo, hi) are read from `halo` when it has them.
    void run(std::int32_t lo, std::int32_t hi, const Halo& halo) {
        lo_ = lo;
        hi_ = hi;
        halo_ = halo;
        const std::size_t window = static_cast<std::size_t>(window_);
        glyph_.assign(window * words_, 0);
        glyphRange_.assign(window, {0, 0});
        widened_.assign(window * levels_.size() * words_, 0);
        widenedRange_.assign(window, {0, 0});
        scratch_.assign(2 * (static_cast<std::size_t>(words_) + 2), 0);
        acc_.assign(static_cast<std::size_t>(words_), 0);
        zeros_.assign(static_cast<std::size_t>(words_), 0);
        // Input rows are read a few at a time, a little ahead of the output row, so that
        // the reads run as one long stream and the bytes of an output row are still in
        // the cache when they are overwritten.
        const std::int32_t end = std::min(px_.height, hi + radius_);
        std::int32_t next = std::max(0, lo - radius_);
        for (std::int32_t y = lo; y < hi; ++y) {
            if (next < std::min(y + radius_ + 1, end)) {
                const std::int32_t stop = std::min(y + radius_ + kReadAhead, end);
                for (std::int32_t v = next; v < stop; ++v) readMask(v);
                for (std::int32_t v = next; v < stop; ++v) widen(v);
                next = stop;
            }
            const std::int32_t first = std::max(0, y - radius_);
            const std::int32_t last = std::min(px_.height - 1, y + radius_);
            bool ink = false;
            for (std::int32_t v = first; v <= last && !ink; ++v) ink = !rangeOf(v).empty();
            if (ink) writeRow(y, accumulate(y, first, last));
        }
    }

private:
    struct Range {
        std::int32_t lo, hi;  // words [lo, hi)
        bool empty() const { return lo >= hi; }
    };

    // Input row y, from the halo when another band writes it.
    const std::uint8_t* inputRow(std::int32_t y) const {
        if (y < lo_ && halo_.below) return halo_.below + std::ptrdiff_t{y - halo_.belowFirst} * px_.stride;
        if (y >= hi_ && halo_.above) return halo_.above + std::ptrdiff_t{y - hi_} * px_.stride;
        return px_.row(y);
    }

    // Input rows live in window_ slots, taken in turn.
    std::size_t slotOf(std::int32_t y) const { return static_cast<std::size_t>(y % window_); }
    Word* glyphRow(std::int32_t y) { return glyph_.data() + slotOf(y) * words_; }
    Range rangeOf(std::int32_t y) const { return glyphRange_[slotOf(y)]; }
    Word* widenedRow(std::int32_t y, std::size_t level) {
        return widened_.data() + (slotOf(y) * levels_.size() + level) * words_;
    }

    // Reads row y's glyph mask.
    void readMask(std::int32_t y) {
        const std::int32_t w = px_.width;
        const std::int32_t fullWords = w / kWordBits;
        const std::uint8_t* row = inputRow(y);
        Word* mask = glyphRow(y);
        Range r{words_, 0};
#if defined(KARUVO_RING_SSSE3)
        if (kHasSsse3) {
            glyphMaskSsse3(row, fullWords, pick_, mask);
        } else
#endif
        {
            for (std::int32_t i = 0; i < fullWords; ++i) mask[i] = nonBlackPixels64(row + 3 * kWordBits * i);
        }
        for (std::int32_t i = 0; i < fullWords; ++i)
            if (mask[i]) r = {std::min(r.lo, i), i + 1};
        if (fullWords < words_) {
            mask[fullWords] = 0;
            for (std::int32_t x = kWordBits * fullWords; x < w; ++x)
                if (!isBlack(row + 3 * x)) mask[fullWords] |= Word{1} << (x % kWordBits);
            if (mask[fullWords]) r = {std::min(r.lo, fullWords), fullWords + 1};
        }
        glyphRange_[slotOf(y)] = r.empty() ? Range{0, 0} : r;
    }

    // Widens input row y by each distinct half-width into its slot. Widened rows hold
    // zeros outside their range, so that rows can be ORed over any range without
    // looking at each one's own.
    void widen(std::int32_t y) {
        const Range g = rangeOf(y);
        const std::size_t slot = slotOf(y);
        const Range old = widenedRange_[slot];
        for (std::size_t level = 0; level < levels_.size(); ++level)
            std::fill(widenedRow(y, level) + old.lo, widenedRow(y, level) + old.hi, 0);
        if (g.empty()) {
            widenedRange_[slot] = g;
            return;
        }
        // A half-width below 64 spreads bits at most into the next word either side.
        const Range r{std::max(g.lo - 1, 0), std::min(g.hi + 1, words_)};
        widenedRange_[slot] = r;
        // Two buffers with a zero guard word at each end, so neighbours need no test.
        Word* cur = scratch_.data();
        Word* next = cur + words_ + 2;
        cur[r.lo] = next[r.lo] = 0;
        cur[r.hi + 1] = next[r.hi + 1] = 0;
        std::copy(glyphRow(y) + r.lo, glyphRow(y) + r.hi, cur + r.lo + 1);
        std::size_t level = 0;
        for (std::int32_t h = 0;; ++h) {
            if (levels_[level] == h) {
                std::copy(cur + r.lo + 1, cur + r.hi + 1, widenedRow(y, level) + r.lo);
                if (++level == levels_.size()) break;
            }
            for (std::int32_t i = r.lo + 1; i <= r.hi; ++i)
                next[i] = cur[i] | cur[i] << 1 | cur[i] >> 1 | cur[i - 1] >> 63 | cur[i + 1] << 63;
            std::swap(cur, next);
        }
    }

    // The ring bits of output row y (in acc_), given the rows first..last around it.
    Range accumulate(std::int32_t y, std::int32_t first, std::int32_t last) {
        Range out{words_, 0};
        std::array<const Word*, 2 * kMaxOutlineRadius + 4> rows;
        std::size_t n = 0;
        for (std::int32_t v = first; v <= last; ++v) {
            const Range r = widenedRange_[slotOf(v)];
            if (r.empty()) continue;
            out = {std::min(out.lo, r.lo), std::max(out.hi, r.hi)};
            rows[n++] = widenedRow(v, static_cast<std::size_t>(levelOf_[std::abs(v - y)]));
        }
        // Four rows at a time, padded with a row of zeros: simple loops that the
        // compiler turns into vector code, with acc_ loaded and stored once per four.
        while (n % 4) rows[n++] = zeros_.data();
        std::fill(acc_.begin() + out.lo, acc_.begin() + out.hi, 0);
        for (std::size_t k = 0; k < n; k += 4) {
            const Word *a = rows[k], *b = rows[k + 1], *c = rows[k + 2], *d = rows[k + 3];
            for (std::int32_t i = out.lo; i < out.hi; ++i) acc_[i] |= a[i] | b[i] | c[i] | d[i];
        }
        const Word* g = glyphRow(y);
        for (std::int32_t i = out.lo; i < out.hi; ++i) acc_[i] &= ~g[i];
        return out;
    }

    // Row y's glyph pixels become black and its ring pixels take the ring colour; the
    // other pixels of the row are black already. Bits past the row's last pixel are
    // never written out.
    void writeRow(std::int32_t y, Range range) {
        std::uint8_t* row = px_.row(y);
        const Word* g = glyphRow(y);
        const std::int32_t fullWords = px_.width / kWordBits;
        for (std::int32_t i = range.lo; i < range.hi; ++i) {
            const Word ring = acc_[i];
            if (!(g[i] | ring)) continue;
            std::uint8_t* out = row + 3 * kWordBits * i;
            if (i < fullWords) {
                for (int b = 0; b < 8; ++b) std::memcpy(out + 24 * b, chunkBytes_[ring >> (8 * b) & 0xFF].data(), 24);
            } else {
                for (std::int32_t x = kWordBits * i; x < px_.width; ++x)
                    putColour(row + 3 * x, (ring >> (x % kWordBits) & 1u) ? ringColour_ : kBlack);
            }
        }
    }

    PixelRows px_;
    std::int32_t lo_ = 0, hi_ = 0;
    Halo halo_;
    PickShuffles pick_;
    std::int32_t words_;
    std::int32_t radius_;
    std::int32_t window_;  // rows y - r to y + r + kReadAhead - 1 are held at once
    HalfWidthTable halfWidths_;
    Colour ringColour_ = kBlack;
    std::vector<std::int32_t> levels_;  // distinct half-widths, narrowest first
    std::array<std::int32_t, kMaxOutlineRadius + 1> levelOf_{};  // |dy| -> index in levels_
    std::array<std::array<std::uint8_t, 24>, 256> chunkBytes_{};
    std::vector<Word> glyph_;    // (2r + 1) slots x words
    std::vector<Range> glyphRange_;
    std::vector<Word> widened_;  // (2r + 1) slots x levels x words
    std::vector<Range> widenedRange_;
    std::vector<Word> scratch_;
    std::vector<Word> acc_;
    std::vector<Word> zeros_;
};

}  // namespace

OutlineRadius readOutlineRadius(QStringView text) {
    if (!isNumeric(text)) return {0, true};
    const double v = numberValue(text);
    // Holding the value in range first keeps the rounding away from huge numbers; it
    // gives the same result as rounding first, since both steps are monotone.
    const double held = std::isnan(v) ? 0.0 : std::clamp(v, 0.0, double{kMaxOutlineRadius});
    return {roundHalfEven(held, "the outline radius"), false};
}

HalfWidthTable HalfWidths(std::int32_t radius) {
    const std::int32_t r = clampRadius(radius);
    HalfWidthTable t{};
    for (std::int32_t d = 0; d <= r; ++d)
        t[d] = static_cast<std::int32_t>(std::lround(std::sqrt(static_cast<double>(r * r - d * d))));
    return t;
}

void cleanGlyphs(const PixelRows& pixels, Colour glyphColour) {
    forRowBands(0, pixels.height, pixels.width, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t y = first; y < last; ++y) {
            std::uint8_t* row = pixels.row(static_cast<std::int32_t>(y));
            std::int32_t x = 0;
            // 64 pixels at a time: a black run is passed over with one test, and only
            // the pixels with ink are written.
            for (; x + 64 <= pixels.width; x += 64) {
                for (Word ink = nonBlackPixels64(row + 3 * x); ink != 0; ink &= ink - 1)
                    putColour(row + 3 * (x + std::countr_zero(ink)), glyphColour);
            }
            for (; x < pixels.width; ++x)
                if (!isBlack(row + 3 * x)) putColour(row + 3 * x, glyphColour);
        }
    });
}

void buildRing(const PixelRows& pixels, Colour glyphColour, Colour outlineColour,
               std::int32_t radius) {
    if (pixels.width <= 0 || pixels.height <= 0) return;
    if ((glyphColour & 0xFFFFFF) == kBlack) {
        // Every pixel is black and a glyph pixel at once, so each is in its own disk.
        for (std::int32_t y = 0; y < pixels.height; ++y)
            for (std::int32_t x = 0; x < pixels.width; ++x) putColour(pixels.row(y) + 3 * x, outlineColour);
        return;
    }
    try {
        const std::int32_t r = clampRadius(radius);
        const bool split = std::thread::hardware_concurrency() > 1 && pixels.height >= 2 &&
                           std::size_t(pixels.stride) * std::size_t(pixels.height) >= kBandedBytes;
        if (!split) {
            RingPass(pixels, glyphColour, outlineColour, r).run(0, pixels.height, {});
            return;
        }
        // Two bands of rows on two threads. Each band reads up to r rows of the other,
        // which that one may already have rewritten, so those rows are read from copies.
        const std::int32_t mid = pixels.height / 2;
        const std::int32_t belowFirst = std::max(0, mid - r);
        const std::int32_t aboveEnd = std::min(pixels.height, mid + r);
        const std::vector<std::uint8_t> below(pixels.row(belowFirst), pixels.row(mid));
        const std::vector<std::uint8_t> above(pixels.row(mid), pixels.row(aboveEnd));
        std::exception_ptr failure;
        std::thread upper;
        try {
            upper = std::thread([&] {
                try {
                    RingPass(pixels, glyphColour, outlineColour, r).run(mid, pixels.height, {below.data(), belowFirst, nullptr});
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            RingPass(pixels, glyphColour, outlineColour, r).run(0, pixels.height, {});  // no thread to be had
            return;
        }
        try {
            RingPass(pixels, glyphColour, outlineColour, r).run(0, mid, {nullptr, 0, above.data()});
        } catch (...) {
            upper.join();
            throw;
        }
        upper.join();
        if (failure) std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        throw Error(ErrorKind::TooLarge,
                    QT_TRANSLATE_NOOP("karuvo", "The outline of a sheet %1 pixels wide does not fit in memory"),
                    {std::to_string(pixels.width)});
    }
}

void ApplyGlyphEffects(PixelSurface& surface, Image& sheet, const OutlineStyle& style) {
    if (surface.BitsPerPixel != 24) {
        throw Error(ErrorKind::InvalidSize, "The outline works on 24-bit pixels, not " +
                                                std::to_string(surface.BitsPerPixel) + "-bit ones");
    }
    ReadSurfacePixels(surface);
    cleanGlyphs(surface.pixelRows(), style.glyphColour);
    WriteSurfacePixels(surface);
    bitBlt(sheet.view(), 0, 0, surface.Width, surface.Height, *surface.MemDC, 0, 0, RasterOp::SrcCopy);
    buildRing(surface.pixelRows(), style.glyphColour, style.outlineColour, style.radius);
    WriteSurfacePixels(surface);
}

PixelSurface outlineHandOff(Image& sheet, const OutlineStyle& style) {
    if (sheet.isEmpty()) return {};
    PixelSurface surface = CreatePixelSurface(24, sheet.width(), sheet.height());
    // What copying the sheet in and ApplyGlyphEffects give, with the first steps in one
    // pass: each sheet pixel cleaned in place and into the surface's bytes, then the ring.
    const PixelRows pixels = surface.pixelRows();
    const QRgb glyph = toQRgb(style.glyphColour & 0xFFFFFF) | 0xff000000u;
    forRowBands(0, pixels.height, pixels.width, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t y = first; y < last; ++y) {
            QRgb* row = sheet.row(static_cast<std::int32_t>(y));
            for (std::int32_t x = 0; x < pixels.width; ++x) row[x] = (row[x] & 0xFFFFFFu) ? glyph : 0xff000000u;
            packBgr(row, pixels.row(static_cast<std::int32_t>(pixels.height - 1 - y)), pixels.width);
        }
    });
    buildRing(pixels, style.glyphColour, style.outlineColour, style.radius);
    WriteSurfacePixels(surface);
    return surface;
}

void outlineCompositing(Image& sheet, PixelSurface& surface) {
    if (!surface.hasBitmap()) return;
    bitBlt(sheet.view(), 0, 0, surface.Width, surface.Height, *surface.MemDC, 0, 0, RasterOp::SrcPaint);
    DestroyPixelSurface(surface);
}

}  // namespace karuvo
