#pragma once
// SSE2 pieces shared by the fast surface loops (x86-64 baseline; nothing wider).
#include <emmintrin.h>
#include <cstdint>
#include "framework/display/surface_format.h"
#include "platform/simd_target.h"

namespace Zephra::surface::simd {

// The processor runs the AVX2 forms (chosen at run time; the build is SSE2).
inline bool HasAvx2() { return CpuHasAvx2(); }

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// Lanes of `keep` where the mask is set, else of `v`.
inline __m128i Keep(__m128i v, __m128i keep, __m128i mask) {
    return _mm_or_si128(_mm_and_si128(mask, keep), _mm_andnot_si128(mask, v));
}

// Four 32-bit lanes in reverse order; eight 16-bit lanes in reverse order.
inline __m128i Reverse32(__m128i v) { return _mm_shuffle_epi32(v, 0x1B); }
inline __m128i Reverse16(__m128i v) {
    v = _mm_shufflelo_epi16(v, 0x1B);
    v = _mm_shufflehi_epi16(v, 0x1B);
    return _mm_shuffle_epi32(v, 0x4E);
}

// Each 32-bit lane's value (at most 0xFFFF) repeated in the four 16-bit lanes
// of its pixel: lanes of pixels 0, 1 (lo) and 2, 3 (hi).
inline void Broadcast4(__m128i v32, __m128i& lo, __m128i& hi) {
    __m128i x = _mm_or_si128(v32, _mm_slli_epi32(v32, 16));
    lo = _mm_unpacklo_epi32(x, x);
    hi = _mm_unpackhi_epi32(x, x);
}

// The low 16 bits of each of eight 32-bit lanes (two registers) as 16-bit lanes.
inline __m128i Low16(__m128i a, __m128i b) {
    a = _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
    b = _mm_srai_epi32(_mm_slli_epi32(b, 16), 16);
    return _mm_packs_epi32(a, b);
}
// Eight 32-bit lanes' values that fit 0..32767 as 16-bit lanes.
inline __m128i Narrow(__m128i a, __m128i b) { return _mm_packs_epi32(a, b); }

// Exact v / 255 for v < 65535 in 16-bit lanes.
inline __m128i Div255(__m128i v) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(v, _mm_set1_epi16(1)), _mm_srli_epi16(v, 8)), 8);
}

// Full 32-bit products modulo 2^32 per lane (what scalar unsigned arithmetic gives).
inline __m128i MulLo32(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_si128(a, 4), _mm_srli_si128(b, 4));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
}

// Four 16-bit pixels as 32-bit lanes and back.
inline __m128i Load4x16(const uint16_t* d) {
    return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d)), _mm_setzero_si128());
}
inline void Store4x16(uint16_t* d, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), Low16(v, _mm_setzero_si128()));
}

// Channel layout of a 16-bit surface: field shift and width mask, per channel.
struct Fields16 {
    int shift[3];
    __m128i max[3];
    explicit Fields16(const PixelFormat& f) {
        for (int c = 0; c < 3; ++c) {
            shift[c] = f.shift[c];
            max[c] = _mm_set1_epi16(short((1 << f.bits[c]) - 1));
        }
    }
    __m128i Get(__m128i d, int c) const {
        return _mm_and_si128(_mm_srl_epi16(d, _mm_cvtsi32_si128(shift[c])), max[c]);
    }
    __m128i Put(__m128i v, int c) const { return _mm_sll_epi16(v, _mm_cvtsi32_si128(shift[c])); }
};

} // namespace Zephra::surface::simd
