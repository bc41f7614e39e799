#pragma once
#include <immintrin.h>
#include <cstdint>
#include "framework/graphics/raster_util.h"
#include "platform/simd_target.h"

// The normal blend of eight pixels at once, for the row blends and for the
// loops that blend their samples as they make them (the callers check for
// AVX2). The lanes give blend::Normal's pixels.
namespace Zephra::raster {

// s[0..7] blended normally onto d[0..7] pixel by pixel: the rare case, kept
// out of the loops.
[[gnu::noinline]] inline void NormalOver8Pixelwise(uint32_t* d, const uint32_t* s) {
    for (int j = 0; j < 8; ++j) d[j] = NormalFast(d[j], s[j]);
}

PEMBERLY_AVX2_BEGIN

// The constants of NormalOver8, made once before a loop. Their values are
// hidden from the compiler, which would otherwise make them again inside it.
struct NormalOverLanes {
    __m256i zero, opaque, k255, inverse255, alphaLo, alphaHi;
};
inline NormalOverLanes MakeNormalOverLanes() {
    NormalOverLanes k{
        _mm256_setzero_si256(), _mm256_set1_epi32(int(0xFF000000u)), _mm256_set1_epi16(255),
        _mm256_set1_epi16(short(0x8081)),
        _mm256_setr_epi8(3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1, 3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7,
                         -1, 7, -1, 7, -1),
        _mm256_setr_epi8(11, -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1, 11, -1, 11, -1, 11, -1, 11,
                         -1, 15, -1, 15, -1, 15, -1, 15, -1)};
    __asm__("" : "+x"(k.opaque), "+x"(k.k255), "+x"(k.inverse255), "+x"(k.alphaLo), "+x"(k.alphaHi));
    return k;
}

// Eight source pixels sv blended normally onto d[0..7]; any alphas. Over an
// opaque destination in lanes, else pixel by pixel.
inline void NormalOver8(uint32_t* d, __m256i sv, const NormalOverLanes& k) {
    __m256i* out = reinterpret_cast<__m256i*>(d);
    const __m256i dv = _mm256_loadu_si256(out);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(dv, k.opaque), k.opaque)) != -1) {
        alignas(32) uint32_t s[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(s), sv);
        NormalOver8Pixelwise(d, s);
        return;
    }
    // Div255(s x a + d x (255 - a)) per channel; alpha 0 and 255 come out as
    // the destination and the source. Each pixel's alpha byte goes over its
    // four 16-bit lanes, as unpacking lays them out.
    const __m256i alo = _mm256_shuffle_epi8(sv, k.alphaLo), ahi = _mm256_shuffle_epi8(sv, k.alphaHi);
    auto div255 = [&](__m256i v) { return _mm256_srli_epi16(_mm256_mulhi_epu16(v, k.inverse255), 7); };
    auto channels = [&](__m256i s, __m256i dst, __m256i a) {
        return div255(_mm256_add_epi16(_mm256_mullo_epi16(s, a), _mm256_mullo_epi16(dst, _mm256_sub_epi16(k.k255, a))));
    };
    const __m256i lo = channels(_mm256_unpacklo_epi8(sv, k.zero), _mm256_unpacklo_epi8(dv, k.zero), alo);
    const __m256i hi = channels(_mm256_unpackhi_epi8(sv, k.zero), _mm256_unpackhi_epi8(dv, k.zero), ahi);
    _mm256_storeu_si256(out, _mm256_or_si256(_mm256_packus_epi16(lo, hi), k.opaque));
}

PEMBERLY_AVX2_END

} // namespace Zephra::raster
