#include "pixel_pack.h"

#include <QtEndian>
#include <cstring>

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define KARUVO_PACK_SSSE3 1
#include <tmmintrin.h>
#endif

namespace karuvo {
namespace {

// The pixels from `i` on, one at a time: four bytes moved a pixel where the fourth is
// overwritten by the next pixel or lies within the pixels, the last pixel byte by byte.
void packTail(const QRgb* from, std::uint8_t* to, std::int64_t i, std::int64_t n) {
    for (; i + 1 < n; ++i) {
        const std::uint32_t le = qToLittleEndian(static_cast<std::uint32_t>(from[i]));
        std::memcpy(to + 3 * i, &le, 4);
    }
    if (i < n) {
        to[3 * i] = static_cast<std::uint8_t>(qBlue(from[i]));
        to[3 * i + 1] = static_cast<std::uint8_t>(qGreen(from[i]));
        to[3 * i + 2] = static_cast<std::uint8_t>(qRed(from[i]));
    }
}

void widenTail(const std::uint8_t* from, QRgb* to, std::int64_t i, std::int64_t n, bool orInto) {
    for (; i + 1 < n; ++i) {
        std::uint32_t le;
        std::memcpy(&le, from + 3 * i, 4);
        const QRgb p = (qFromLittleEndian(le) & 0xffffffu) | 0xff000000u;
        to[i] = orInto ? to[i] | p : p;
    }
    if (i < n) {
        const QRgb p = qRgb(from[3 * i + 2], from[3 * i + 1], from[3 * i]);
        to[i] = orInto ? to[i] | p : p;
    }
}

#if defined(KARUVO_PACK_SSSE3)
const bool kHasSsse3 = __builtin_cpu_supports("ssse3");

// Four pixels a step, each step reading or writing 16 bytes at 3i, of which 12 are the
// pixels'; steps are taken while those 16 bytes lie within the n pixels' bytes. Gives
// the pixels done.
__attribute__((target("ssse3"))) std::int64_t packSsse3(const QRgb* from, std::uint8_t* to, std::int64_t n) {
    const __m128i pick = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    std::int64_t i = 0;
    for (; i + 6 <= n; i += 4) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 3 * i), _mm_shuffle_epi8(words, pick));
    }
    return i;
}

__attribute__((target("ssse3"))) std::int64_t widenSsse3(const std::uint8_t* from, QRgb* to, std::int64_t n,
                                                          bool orInto) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
    std::int64_t i = 0;
    for (; i + 6 <= n; i += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * i));
        __m128i words = _mm_or_si128(_mm_shuffle_epi8(bytes, spread), opaque);
        __m128i* at = reinterpret_cast<__m128i*>(to + i);
        if (orInto) words = _mm_or_si128(words, _mm_loadu_si128(at));
        _mm_storeu_si128(at, words);
    }
    return i;
}
#endif

}  // namespace

void packBgr(const QRgb* from, std::uint8_t* to, std::int64_t n) {
    std::int64_t i = 0;
#if defined(KARUVO_PACK_SSSE3)
    if (kHasSsse3) i = packSsse3(from, to, n);
#endif
    packTail(from, to, i, n);
}

void widenBgr(const std::uint8_t* from, QRgb* to, std::int64_t n, bool orInto) {
    std::int64_t i = 0;
#if defined(KARUVO_PACK_SSSE3)
    if (kHasSsse3) i = widenSsse3(from, to, n, orInto);
#endif
    widenTail(from, to, i, n, orInto);
}

}  // namespace karuvo
