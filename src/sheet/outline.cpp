#include "outline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/number.h"

namespace karuvo {

namespace {

using Word = std::uint64_t;
constexpr int kWordBits = 64;

std::int32_t clampRadius(std::int32_t radius) { return std::clamp(radius, 0, kMaxOutlineRadius); }

Word load64(const std::uint8_t* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// One bit per byte of `w` (bit i for byte i), set when the byte is not zero.
unsigned nonZeroBytes(Word w) {
    constexpr Word low7 = 0x7F7F7F7F7F7F7F7FULL;
    const Word high = (((w & low7) + low7) | w) & ~low7;
    return static_cast<unsigned>(((high >> 7) * 0x0102040810204080ULL) >> 56);
}

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

// Bit i set when pixel i of the 8 pixels at `p` is not black.
unsigned nonBlackPixels8(const std::uint8_t* p) {
    const Word a = load64(p), b = load64(p + 8), c = load64(p + 16);
    if ((a | b | c) == 0) return 0;
    const unsigned flags = nonZeroBytes(a) | (nonZeroBytes(b) << 8) | (nonZeroBytes(c) << 16);
    return kPixelsOfByteFlags.bits[flags & 0xFFF] | (kPixelsOfByteFlags.bits[flags >> 12] << 4);
}

bool isBlack(const std::uint8_t* p) { return (p[0] | p[1] | p[2]) == 0; }

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
    RingPass(const PixelRows& px, Colour outline, std::int32_t radius)
        : px_(px),
          words_((px.width + kWordBits - 1) / kWordBits),
          radius_(radius),
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

    void run() {
        readGlyphMask();
        const std::int32_t window = 2 * radius_ + 1;
        const std::size_t slotWords = levels_.size() * static_cast<std::size_t>(words_);
        widened_.assign(static_cast<std::size_t>(window) * slotWords, 0);
        widenedRange_.assign(static_cast<std::size_t>(window), {0, 0});
        scratch_.assign(2 * (static_cast<std::size_t>(words_) + 2), 0);
        acc_.assign(static_cast<std::size_t>(words_), 0);
        for (std::int32_t y = 0; y < std::min(radius_, px_.height); ++y) widen(y);
        for (std::int32_t y = 0; y < px_.height; ++y) {
            if (y + radius_ < px_.height) widen(y + radius_);
            const std::int32_t first = std::max(0, y - radius_);
            const std::int32_t last = std::min(px_.height - 1, y + radius_);
            if (nonEmptyBefore_[last + 1] == nonEmptyBefore_[first]) continue;
            writeRow(y, accumulate(y, first, last));
        }
    }

private:
    struct Range {
        std::int32_t lo, hi;  // words [lo, hi); empty when lo == hi
    };

    Word* glyphRow(std::int32_t y) { return glyph_.data() + static_cast<std::size_t>(y) * words_; }
    Word* widenedRow(std::int32_t y, std::size_t level) {
        const std::size_t slot = static_cast<std::size_t>(y % (2 * radius_ + 1));
        return widened_.data() + (slot * levels_.size() + level) * words_;
    }

    void readGlyphMask() {
        const std::int32_t w = px_.width, h = px_.height;
        glyph_.assign(static_cast<std::size_t>(w == 0 ? 0 : words_) * h, 0);
        glyphRange_.assign(static_cast<std::size_t>(h), {0, 0});
        nonEmptyBefore_.assign(static_cast<std::size_t>(h) + 1, 0);
        const std::int32_t fullChunks = w / 8;
        for (std::int32_t y = 0; y < h; ++y) {
            const std::uint8_t* row = px_.row(y);
            Word* mask = glyphRow(y);
            for (std::int32_t k = 0; k < fullChunks; ++k) {
                const unsigned bits = nonBlackPixels8(row + 24 * k);
                if (bits) mask[k / 8] |= Word{bits} << (8 * (k % 8));
            }
            for (std::int32_t x = 8 * fullChunks; x < w; ++x)
                if (!isBlack(row + 3 * x)) mask[x / kWordBits] |= Word{1} << (x % kWordBits);
            Range r{0, 0};
            for (std::int32_t i = 0; i < words_; ++i) {
                if (!mask[i]) continue;
                if (r.lo == r.hi) r.lo = i;
                r.hi = i + 1;
            }
            glyphRange_[y] = r;
            nonEmptyBefore_[y + 1] = nonEmptyBefore_[y] + (r.lo != r.hi ? 1 : 0);
        }
    }

    // Widens input row y by each distinct half-width into its slot.
    void widen(std::int32_t y) {
        const Range g = glyphRange_[y];
        const std::size_t slot = static_cast<std::size_t>(y % (2 * radius_ + 1));
        if (g.lo == g.hi) {
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
        for (std::int32_t v = first; v <= last; ++v) {
            const Range r = widenedRange_[static_cast<std::size_t>(v % (2 * radius_ + 1))];
            if (r.lo == r.hi) continue;
            if (out.lo >= out.hi) {
                std::fill(acc_.begin() + r.lo, acc_.begin() + r.hi, 0);
                out = r;
            } else {
                if (r.lo < out.lo) std::fill(acc_.begin() + r.lo, acc_.begin() + out.lo, 0);
                if (r.hi > out.hi) std::fill(acc_.begin() + out.hi, acc_.begin() + r.hi, 0);
                out = {std::min(out.lo, r.lo), std::max(out.hi, r.hi)};
            }
            const Word* src = widenedRow(v, static_cast<std::size_t>(levelOf_[std::abs(v - y)]));
            for (std::int32_t i = r.lo; i < r.hi; ++i) acc_[i] |= src[i];
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
        for (std::int32_t i = range.lo; i < range.hi; ++i) {
            const Word touched = g[i] | acc_[i];
            if (!touched) continue;
            for (std::int32_t b = 0; b < 8; ++b) {
                if (!(touched >> (8 * b) & 0xFF)) continue;
                const unsigned ring = static_cast<unsigned>(acc_[i] >> (8 * b) & 0xFF);
                const std::int32_t x = i * kWordBits + 8 * b;
                if (x + 8 <= px_.width) {
                    std::memcpy(row + 3 * x, chunkBytes_[ring].data(), 24);
                } else {
                    for (std::int32_t p = x; p < px_.width; ++p)
                        putColour(row + 3 * p, (ring >> (p - x) & 1u) ? ringColour_ : kBlack);
                }
            }
        }
    }

    PixelRows px_;
    std::int32_t words_;
    std::int32_t radius_;
    HalfWidthTable halfWidths_;
    Colour ringColour_ = kBlack;
    std::vector<std::int32_t> levels_;  // distinct half-widths, narrowest first
    std::array<std::int32_t, kMaxOutlineRadius + 1> levelOf_{};  // |dy| -> index in levels_
    std::array<std::array<std::uint8_t, 24>, 256> chunkBytes_{};
    std::vector<Word> glyph_;
    std::vector<Range> glyphRange_;
    std::vector<std::int32_t> nonEmptyBefore_;  // rows with glyph bits above row y
    std::vector<Word> widened_;                 // (2r + 1) slots x levels x words
    std::vector<Range> widenedRange_;
    std::vector<Word> scratch_;
    std::vector<Word> acc_;
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
    for (std::int32_t y = 0; y < pixels.height; ++y) {
        std::uint8_t* row = pixels.row(y);
        for (std::int32_t x = 0; x < pixels.width; ++x)
            if (!isBlack(row + 3 * x)) putColour(row + 3 * x, glyphColour);
    }
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
    RingPass(pixels, outlineColour, clampRadius(radius)).run();
}

void ApplyGlyphEffects(PixelSurface& surface, Image& sheet, const OutlineStyle& style) {
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
    bitBlt(*surface.MemDC, 0, 0, sheet.width(), sheet.height(), sheet.view(), 0, 0, RasterOp::SrcCopy);
    ApplyGlyphEffects(surface, sheet, style);
    return surface;
}

void outlineCompositing(Image& sheet, PixelSurface& surface) {
    if (!surface.hasBitmap()) return;
    bitBlt(sheet.view(), 0, 0, surface.Width, surface.Height, *surface.MemDC, 0, 0, RasterOp::SrcPaint);
    DestroyPixelSurface(surface);
}

}  // namespace karuvo
